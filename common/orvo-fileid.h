// Whether a file read before is still the file it was: the work of reading and parsing it is
// done again only when it changed.
#pragma once
#include <QString>
#include <QtGlobal>

struct stFileIdentity {
    quint64 iDevice = 0;
    quint64 iInode = 0;
    qint64 iMtimeSec = 0;
    qint64 iMtimeNsec = 0;
    qint64 iSize = -1;   // -1: no file
    bool operator==(const stFileIdentity &o) const
    {
        return iDevice == o.iDevice && iInode == o.iInode && iMtimeSec == o.iMtimeSec && iMtimeNsec == o.iMtimeNsec
            && iSize == o.iSize;
    }
    bool operator!=(const stFileIdentity &o) const { return !(*this == o); }
};

// The identity of the file at path (symbolic links followed); false when there is none.
bool FileIdentityOf(const QString &path, stFileIdentity &id);

// Whether what was read from a file of this identity may be reused while the identity stays.
// A file modified moments ago may be modified again within the same tick of the file system's
// clock, its size unchanged, without its identity showing it: it is read again until its
// modification time lies safely in the past.
bool FileIdentitySettled(const stFileIdentity &id);
