// Whether a file read before is still the file it was: the work of reading and parsing it is
// done again only when it changed.
#pragma once
#include <QHash>
#include <QMutex>
#include <QString>
#include <QtGlobal>

struct stFileIdentity {
    quint64 iDevice = 0;
    quint64 iInode = 0;
    qint64 iMtimeSec = 0;
    qint64 iMtimeNsec = 0;
    // The inode's change time moves with its mode and owner too: a file made unreadable in
    // place is not the file that was read.
    qint64 iCtimeSec = 0;
    qint64 iCtimeNsec = 0;
    qint64 iSize = -1;  // -1: no file
    bool operator==(const stFileIdentity &o) const
    {
        return iDevice == o.iDevice && iInode == o.iInode && iMtimeSec == o.iMtimeSec && iMtimeNsec == o.iMtimeNsec
               && iCtimeSec == o.iCtimeSec && iCtimeNsec == o.iCtimeNsec && iSize == o.iSize;
    }
    bool operator!=(const stFileIdentity &o) const { return !(*this == o); }
};

// The identity of the file at path (symbolic links followed); false when there is none.
bool FileIdentityOf(const QString &path, stFileIdentity &id);

// Whether what is read from a file of this identity may be reused while the identity stays.
// A file modified moments ago may be modified again within the same tick of the file system's
// clock, its size unchanged, without its identity showing it: what is read from it then is
// not kept, until its modification time lies safely in the past.
bool FileIdentitySettled(const stFileIdentity &id);

// What was read from one file, with the identity the file had just before it was read. Only
// what was read from a settled file is kept.
template <typename T>
struct stFileCacheEntry {
    stFileIdentity stIdentity;
    T value;
};

// Values read from files, keyed by path, for the callers of CachedFileValue on any thread.
// At most iMaxEntries paths are kept: a full table is emptied before another path goes in.
template <typename T>
struct stFileCache {
    explicit stFileCache(int maxEntries) : iMaxEntries(maxEntries) {}
    const int iMaxEntries;
    QMutex mutex;
    QHash<QString, stFileCacheEntry<T>> hashEntries;
};

// The value of the file at path: the one kept from an earlier call while the file has the
// same settled identity, otherwise read(path), which is then kept. False, with value
// untouched and nothing read, when there is no file at path (a kept value is dropped).
template <typename T, typename Read>
bool CachedFileValue(stFileCache<T> &cache, const QString &path, T &value, Read read)
{
    stFileIdentity identity;
    if (!FileIdentityOf(path, identity)) {
        QMutexLocker lock(&cache.mutex);
        cache.hashEntries.remove(path);
        return false;
    }
    {
        QMutexLocker lock(&cache.mutex);
        const auto it = cache.hashEntries.constFind(path);
        if (it != cache.hashEntries.cend() && it->stIdentity == identity) {
            value = it->value;
            return true;
        }
    }
    // Identified before it is read: a change while it is read shows as a new identity next time.
    const bool settled = FileIdentitySettled(identity);
    value = read(path);
    QMutexLocker lock(&cache.mutex);
    if (!settled) {
        cache.hashEntries.remove(path);
        return true;
    }
    if (cache.hashEntries.size() >= cache.iMaxEntries && !cache.hashEntries.contains(path))
        cache.hashEntries.clear();
    cache.hashEntries.insert(path, stFileCacheEntry<T>{identity, value});
    return true;
}
