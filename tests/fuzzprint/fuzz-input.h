// The printing side's file parsers read files: each input is written to a file of this
// process and parsed from there, as the programs read theirs.
#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

// Each input gets a file name of its own (the previous file is removed): QSettings keeps
// files it has read in a cache that a rewrite within the same second, same size, does not
// invalidate, so one name for all inputs would parse an earlier input again.
inline QString FuzzInputFile(const QByteArray &bytes)
{
    static QString previous;
    static quint64 serial = 0;
    if (!previous.isEmpty())
        QFile::remove(previous);
    const QString path = QDir::tempPath() + "/orvo-fuzz-" + QString::number(getpid()) + "-" + QString::number(++serial) + ".in";
    previous = path;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(bytes);
        f.close();
    }
    return path;
}
