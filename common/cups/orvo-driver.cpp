#include "orvo-driver.h"
#include "orvo-fileid.h"
#include "orvo-models.h"

#include <QFile>

namespace {
// The service checks the PPD of every queue every few seconds; a PPD changes rarely.
struct stPPDAnswer {
    bool bMatch = false;
    QString strModelName;
};
// One path per queue: room for far more queues than one machine serves (hundreds), at a
// few hundred bytes each.
stFileCache<stPPDAnswer> s_cachePPD(4096);

stPPDAnswer ReadPPDAnswer(const QString &ppdPath)
{
    stPPDAnswer answer;
    answer.bMatch = CheckPPDModel(ppdPath, answer.strModelName);
    return answer;
}
}  // namespace

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
    stPPDAnswer answer;
    if (!CachedFileValue(s_cachePPD, ppdPath, answer, ReadPPDAnswer) || !answer.bMatch)
        return false;
    modelName = answer.strModelName;
    return true;
}

bool CheckDriverMatch(const QString &queueName, QString &modelName)
{
    return CheckPPDModelCached("/etc/cups/ppd/" + queueName + ".ppd", modelName);
}
