#include "UtilThreadBase.h"
#include "orvo-fs.h"
#include <QThread>

UtilThreadBase::UtilThreadBase(QObject *parent) : QObject(parent) {}

bool UtilThreadBase::WaitForSleep(int ms)
{
    if (ms >= 500) {
        for (int i = 0; i < ms / 500; ++i) {
            if (bThreadQuit)
                return true;
            QThread::msleep(500);
        }
    }
    if (ms % 500 > 0)
        QThread::msleep(static_cast<unsigned long>(ms % 500));
    return bThreadQuit;
}

bool UtilThreadBase::MakePathExist(const QString &path)
{
    return ::MakePathExist(path);
}
