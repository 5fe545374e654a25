#include "StatusJson.h"

#include "orvo-statustext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QJsonArray Codes(const QList<enErrorStatus> &codes, int language)
{
    QJsonArray out;
    for (const enErrorStatus code : codes)
        out.append(QJsonObject{{"code", int(code)}, {"text", GetErrorDescText(code, language)}});
    return out;
}

QJsonObject Ink(const char *colour, uint64_t value)
{
    return QJsonObject{{"colour", colour}, {"value", double(value)}};
}
}  // namespace

QByteArray StatusJson(const QList<stStatusRow> &rows, int language)
{
    QJsonArray printers;
    for (const stStatusRow &row : rows) {
        const stPrinterState &s = row.stState;
        QJsonArray ink;
        if (row.bOnline)
            ink = QJsonArray{Ink("black", s.dwBlackInkRemainer), Ink("cyan", s.dwBlueInkRemainer),
                             Ink("red", s.dwRedInkRemainer), Ink("yellow", s.dwYellowInkRemainer)};
        printers.append(QJsonObject{
            {"name", row.stInfo.strPrinterName},
            {"model", row.stInfo.strModelName},
            {"connection", row.stInfo.iConnectType == CONNECT_USB ? "usb" : "network"},
            {"online", row.bOnline},
            {"status", int(s.enCurrentStatus)},
            {"errors", Codes(s.listError, language)},
            {"warnings", Codes(s.listWarning, language)},
            {"ink", ink},
        });
    }
    return QJsonDocument(printers).toJson(QJsonDocument::Compact) + "\n";
}
