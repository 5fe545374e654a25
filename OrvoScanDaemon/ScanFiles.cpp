#include "ScanFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ScanLog.h"
#include "ScanPaths.h"
#include "ScanState.h"

namespace {

// Reads one or more decimal digits; returns the position after them, or null.
const char *Digits(const char *p)
{
    const char *start = p;
    while (*p >= '0' && *p <= '9')
        ++p;
    return p > start ? p : nullptr;
}

// "orvoscandata_<pid>_<scan>_<page>.tmp", nothing more.
bool IsPageFileName(const char *name)
{
    const size_t prefixLen = strlen(c_szScanDataPrefix);
    if (strncmp(name, c_szScanDataPrefix, prefixLen) != 0)
        return false;
    const char *p = Digits(name + prefixLen);
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

// Removes a regular file of the directory; a link or anything else stays.
bool RemoveRegular(int dirFd, const char *name)
{
    struct stat st;
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return false;
    return unlinkat(dirFd, name, 0) == 0;
}

}  // namespace

void ScanBaseName(char *out, size_t size, pid_t pid, int index)
{
    snprintf(out, size, "%s/%s%d_%d", c_szScanDir, c_szScanDataPrefix, int(pid), index);
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
    if (!file || !IsPageFileName(file)) {
        OrvoLogErr("[OrvoScanSDK] delete refused, not a page file:%s\n", name);
        return;
    }
    const int dirFd = open(c_szScanDir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dirFd < 0) {
        OrvoLogErr("[OrvoScanSDK] open dir err:%s\n", c_szScanDir);
        return;
    }
    struct stat st;
    if (fstatat(dirFd, file, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(st.st_mode))
            OrvoLogErr("[OrvoScanSDK] delete refused, not a regular file:%s\n", name);
        else if (unlinkat(dirFd, file, 0) != 0)
            OrvoLogErr("[OrvoScanSDK] delete file err:%s\n", name);
    }
    close(dirFd);
}
