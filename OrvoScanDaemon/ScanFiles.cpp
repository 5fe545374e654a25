#include "ScanFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ScanLog.h"
#include "ScanPaths.h"
#include "ScanState.h"

namespace {

constexpr int c_iKeyBytes = 8;
char s_szKey[2 * c_iKeyBytes + 1];

// Reads one or more decimal digits; returns the position after them, or null.
const char *Digits(const char *p)
{
    const char *start = p;
    while (*p >= '0' && *p <= '9')
        ++p;
    return p > start ? p : nullptr;
}

const char *HexKey(const char *p)
{
    for (int i = 0; i < 2 * c_iKeyBytes; ++i, ++p)
        if (!((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f')))
            return nullptr;
    return p;
}

// "orvoscandata_<pid>_<key>_<scan>_<page>.tmp", nothing more.
bool IsPageFileName(const char *name)
{
    const size_t prefixLen = strlen(c_szScanDataPrefix);
    if (strncmp(name, c_szScanDataPrefix, prefixLen) != 0)
        return false;
    const char *p = Digits(name + prefixLen);
    p = p && *p == '_' ? HexKey(p + 1) : nullptr;
    for (int i = 0; p && i < 2; ++i)
        p = *p == '_' ? Digits(p + 1) : nullptr;
    return p && strcmp(p, ".tmp") == 0;
}

// The file part of a path inside the scan directory, or null for any other path.
const char *NameInScanDir(const char *path)
{
    const size_t dirLen = strlen(c_szScanDir);
    if (strncmp(path, c_szScanDir, dirLen) == 0 && path[dirLen] == '/')
        path += dirLen + 1;
    return strchr(path, '/') ? nullptr : path;
}

// A page file of one of this connection's scans: its base name is one this process gave out.
bool IsOwnPageFile(const char *name)
{
    if (!IsPageFileName(name))
        return false;
    char base[ORVO_SCAN_NAME_LEN];
    ScanBaseName(base, sizeof base, getpid(), 0);
    const char *file = NameInScanDir(base);
    const size_t stemLen = strlen(file) - 1;  // up to the scan counter
    if (strncmp(name, file, stemLen) != 0)
        return false;
    return atoi(name + stemLen) < filename_index;
}

// Removes a regular file of the directory; a link or anything else stays.
bool RemoveRegular(int dirFd, const char *name)
{
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return false;
    return unlinkat(dirFd, name, 0) == 0;
}

int OpenScanDir()
{
    const int dirFd = open(c_szScanDir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0)
        OrvoLogErr("[OrvoScanSDK] open dir err:%s\n", c_szScanDir);
    return dirFd;
}

}  // namespace

bool ScanNewConnectionKey()
{
    unsigned char raw[c_iKeyBytes];
    size_t got = 0;
    while (got < sizeof raw) {
        const ssize_t n = getrandom(raw + got, sizeof raw - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            OrvoLogErr("[OrvoScanSDK] getrandom err:%s\n", strerror(errno));
            s_szKey[0] = '\0';
            return false;
        }
        got += size_t(n);
    }
    for (int i = 0; i < c_iKeyBytes; ++i)
        snprintf(s_szKey + 2 * i, 3, "%02x", raw[i]);
    return true;
}

void ScanBaseName(char *out, size_t size, pid_t pid, int index)
{
    if (!s_szKey[0])
        ScanNewConnectionKey();
    snprintf(out, size, "%s/%s%d_%s_%d", c_szScanDir, c_szScanDataPrefix, int(pid), s_szKey, index);
}

bool ScanIsOwnBaseName(const char *text)
{
    for (int i = 0; i < filename_index; ++i) {
        char base[ORVO_SCAN_NAME_LEN];
        ScanBaseName(base, sizeof base, getpid(), i);
        if (strcmp(base, text) == 0)
            return true;
    }
    return false;
}

// Only "<base>_<page>.tmp" goes: a plain substring test would also take the pages of
// scan 10 when scan 1 is named, or every file for a short text.
int deleteFileList(const char *dir, const char *text)
{
    if (!text || !*text) {
        OrvoLogInfo("[OrvoScanSDK] subStr isEmpty\n");
        return 0;
    }
    const int dirFd = open(dir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR *d = dirFd >= 0 ? fdopendir(dirFd) : nullptr;
    if (!d) {
        if (dirFd >= 0)
            close(dirFd);
        OrvoLogErr("[OrvoScanSDK] open dir err:%s\n", dir);
        return -1;
    }
    const char *slash = strrchr(text, '/');
    const char *base = slash ? slash + 1 : text;
    const size_t baseLen = strlen(base);
    for (dirent *e; (e = readdir(d));) {
        const char *name = e->d_name;
        if (strncmp(name, base, baseLen) != 0 || name[baseLen] != '_' || !IsPageFileName(name))
            continue;
        const char *p = Digits(name + baseLen + 1);
        if (!p || strcmp(p, ".tmp") != 0)
            continue;
        char path[4096];
        snprintf(path, sizeof path, "%s/%s", dir, name);
        OrvoLogInfo("[OrvoScanSDK] delete file:%s\n", path);
        if (!RemoveRegular(dirfd(d), name))
            OrvoLogErr("[OrvoScanSDK] delete file err:%s\n", path);
    }
    closedir(d);
    return 0;
}

void ScanDeletePageFile(const char *name)
{
    const char *file = NameInScanDir(name);
    if (!file || !IsOwnPageFile(file)) {
        OrvoLogErr("[OrvoScanSDK] delete refused, not a page file of this connection:%s\n", name);
        return;
    }
    const int dirFd = OpenScanDir();
    if (dirFd < 0)
        return;
    struct stat st;
    if (fstatat(dirFd, file, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(st.st_mode))
            OrvoLogErr("[OrvoScanSDK] delete refused, not a regular file:%s\n", name);
        else if (unlinkat(dirFd, file, 0) != 0)
            OrvoLogErr("[OrvoScanSDK] delete file err:%s\n", name);
    }
    close(dirFd);
}

FILE *ScanCreatePage(const char *base, int page)
{
    char path[ORVO_SCAN_NAME_LEN + 32];
    snprintf(path, sizeof path, "%s_%d.tmp", base, page);
    // Pages stay readable by every user: the client may run as any user, and it learns
    // the unguessable name only from its own start reply.
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        OrvoLogErr("[OrvoScanSDK] create page err:%s:%s\n", path, strerror(errno));
        return nullptr;
    }
    FILE *f = fdopen(fd, "wb");
    if (!f)
        close(fd);
    return f;
}

void ScanDeleteLastPage(const char *base)
{
    for (int page = 0;; ++page) {
        char next[ORVO_SCAN_NAME_LEN + 32];
        snprintf(next, sizeof next, "%s_%d.tmp", base, page + 1);
        struct stat st;
        if (lstat(next, &st) == 0)
            continue;
        char path[ORVO_SCAN_NAME_LEN + 32];
        snprintf(path, sizeof path, "%s_%d.tmp", base, page);
        if (lstat(path, &st) == 0 && S_ISREG(st.st_mode)) {
            OrvoLogInfo("[OrvoScanSDK] delete file:%s\n", path);
            unlink(path);
        }
        return;
    }
}

void ScanPrivateDir()
{
    const int dirFd = OpenScanDir();
    if (dirFd < 0)
        return;
    struct stat st;
    if (fstat(dirFd, &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 066) != 0
        && fchmod(dirFd, (st.st_mode & 07777) & ~mode_t(066)) != 0)
        OrvoLogErr("[OrvoScanSDK] chmod scan dir err:%s\n", strerror(errno));
    close(dirFd);
}
