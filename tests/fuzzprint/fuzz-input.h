// The printing side's file parsers read files: each input is written to a file of this
// process and parsed from there, as the programs read theirs.
#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

inline QString FuzzInputFile(const QByteArray &bytes)
{
    static const QString path = QDir::tempPath() + "/orvo-fuzz-" + QString::number(getpid()) + ".in";
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        f.write(bytes);
        f.close();
    }
    return path;
}
