#include "orvo-driver.h"
#include "orvo-fileid.h"
#include "orvo-models.h"

#include <QFile>
#include <QHash>
#include <QMutex>

namespace {
// The service checks the PPD of every queue every few seconds; a PPD changes rarely.
struct stPPDAnswer {
    stFileIdentity stIdentity;
    bool bMatch = false;
    QString strModelName;
};
// Bounded: a path not asked for lately goes when the table is full.
constexpr int c_iPPDCacheMax = 4096;
QMutex s_mutexPPD;
QHash<QString, stPPDAnswer> s_hashPPD;
} // namespace

bool CheckPPDModel(const QString &ppdPath, QString &modelName)
{
    QFile ppd(ppdPath);
    if (!ppd.exists() || !ppd.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!ppd.atEnd()) {
        QByteArray raw = ppd.readLine();
        const qsizetype nul = raw.indexOf('\0');
        if (nul >= 0)
            raw.truncate(nul);
        const QString line = QString::fromUtf8(raw);
        if (!line.startsWith("*ModelName", Qt::CaseInsensitive))
            continue;
        const QStringList parts = line.split(':', Qt::SkipEmptyParts);
        if (parts.size() < 2)
            continue;
        QString value = parts.at(1).trimmed();
        if (value.startsWith('"'))
            value.remove(0, 1);
        if (value.endsWith('"'))
            value.chop(1);
        for (const stModelInfo &model : c_stModelInfoList) {
            if (value.compare(model.strModelName, Qt::CaseInsensitive) == 0) {
                modelName = value;
                return true;
            }
        }
    }
    return false;
}

bool CheckPPDModelCached(const QString &ppdPath, QString &modelName)
{
    stFileIdentity identity;
    if (!FileIdentityOf(ppdPath, identity))
        return false;
    {
        QMutexLocker lock(&s_mutexPPD);
        const auto it = s_hashPPD.constFind(ppdPath);
        if (it != s_hashPPD.cend() && it->stIdentity == identity && FileIdentitySettled(identity)) {
            if (it->bMatch)
                modelName = it->strModelName;
            return it->bMatch;
        }
    }
    // Identified before it is read: a change while it is read shows as a new identity next time.
    stPPDAnswer answer;
    answer.stIdentity = identity;
    answer.bMatch = CheckPPDModel(ppdPath, answer.strModelName);
    if (answer.bMatch)
        modelName = answer.strModelName;
    QMutexLocker lock(&s_mutexPPD);
    if (s_hashPPD.size() >= c_iPPDCacheMax && !s_hashPPD.contains(ppdPath))
        s_hashPPD.clear();
    s_hashPPD.insert(ppdPath, answer);
    return answer.bMatch;
}

bool CheckDriverMatch(const QString &queueName, QString &modelName)
{
    return CheckPPDModelCached("/etc/cups/ppd/" + queueName + ".ppd", modelName);
}
