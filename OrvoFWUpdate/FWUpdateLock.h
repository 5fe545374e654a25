// One firmware upload at a time: an exclusive lock on a file in the install root's "temp/",
// held for the whole transfer. The system drops it when its holder ends, however it ends.
#pragma once
#include <QString>

QString FWUpdateLockPath();  // root + "temp/" + "fwupdate.lock"

struct stFWUpdateLock {
    int iFd = -1;
    stFWUpdateLock() = default;
    stFWUpdateLock(const stFWUpdateLock &) = delete;
    stFWUpdateLock &operator=(const stFWUpdateLock &) = delete;
    ~stFWUpdateLock();  // releases the lock
};

enum { FWLOCK_TAKEN = 0,
       FWLOCK_BUSY = 1,
       FWLOCK_UNAVAILABLE = 2 };

// FWLOCK_TAKEN: this lock now holds it; FWLOCK_BUSY: another transfer (of this or another
// updater) holds it; FWLOCK_UNAVAILABLE: the lock file can neither be opened nor made, or
// the file system cannot lock it.
int TakeFWUpdateLock(stFWUpdateLock &lock);
