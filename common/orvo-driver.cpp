#include "orvo-driver.h"
#include "orvo-models.h"

#include <QFile>

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

bool CheckDriverMatch(const QString &queueName, QString &modelName)
{
    return CheckPPDModel("/etc/cups/ppd/" + queueName + ".ppd", modelName);
}
