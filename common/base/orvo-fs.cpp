#include "orvo-fs.h"
#include <QDir>

bool MakePathExist(const QString &path)
{
    QDir dir(path);
    if (dir.exists())
        return true;
    return dir.mkpath(path);
}
