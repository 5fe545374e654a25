#include "orvo-fileid.h"

#include <QFile>

#include <sys/stat.h>
#include <time.h>

namespace {
// Far above any file system's timestamp granularity.
constexpr qint64 c_iSettleSeconds = 2;
}

bool FileIdentityOf(const QString &path, stFileIdentity &id)
{
    struct stat st {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0) {
        id = stFileIdentity();
        return false;
    }
    id.iDevice = st.st_dev;
    id.iInode = st.st_ino;
    id.iMtimeSec = st.st_mtim.tv_sec;
    id.iMtimeNsec = st.st_mtim.tv_nsec;
    id.iCtimeSec = st.st_ctim.tv_sec;
    id.iCtimeNsec = st.st_ctim.tv_nsec;
    id.iSize = st.st_size;
    return true;
}

bool FileIdentitySettled(const stFileIdentity &id)
{
    if (id.iSize < 0)
        return false;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // A modification time in the future (a clock set back) never settles: read every time.
    return id.iMtimeSec + c_iSettleSeconds < qint64(now.tv_sec);
}
