#include "RemoverListing.h"

#include <QStringList>

QString ListingQueueName(const QString &line)
{
    const QStringList parts = line.split(' ', Qt::SkipEmptyParts);
    if (line.startsWith("device for", Qt::CaseInsensitive)) {
        if (parts.size() < 4)
            return QString();
        // The colon that ends the name goes.
        QString name = parts.at(2).trimmed();
        name.chop(1);
        return name;
    }
    if (parts.size() < 3)
        return QString();
    return parts.at(1).trimmed();
}
