#include "FWUpdateLock.h"
#include "orvo-fs.h"
#include "orvo-paths.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString FWUpdateLockPath()
{
    return OrvoTempPath() + "fwupdate.lock";
}

stFWUpdateLock::~stFWUpdateLock()
{
    if (iFd >= 0)
        close(iFd);
}

int TakeFWUpdateLock(stFWUpdateLock &lock)
{
    MakePathExist(OrvoTempPath());
    const QByteArray path = FWUpdateLockPath().toLocal8Bit();
    // The installed file is readable by every user; flock needs no write access.
    int fd = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return FWLOCK_UNAVAILABLE;
    // flock locks belong to the open file, so a second window of the same process is refused too.
    int rv;
    do {
        rv = flock(fd, LOCK_EX | LOCK_NB);
    } while (rv != 0 && errno == EINTR);
    if (rv != 0) {
        const int err = errno;
        close(fd);
        return err == EWOULDBLOCK ? FWLOCK_BUSY : FWLOCK_UNAVAILABLE;
    }
    lock.iFd = fd;
    return FWLOCK_TAKEN;
}
