#include "ToolBalloon.h"
#include "orvo-statustext.h"

#include <QStringList>

stTrayBalloon GetStatusBalloon(const stPrinterState &state, const stPrinterState &previous, int language)
{
    QStringList errors;
    for (enErrorStatus code : state.listError) {
        if (!previous.listError.contains(code))
            errors << GetErrorDescText(code, language);
    }
    QStringList warnings;
    for (enErrorStatus code : state.listWarning) {
        if (!previous.listWarning.contains(code))
            warnings << GetErrorDescText(code, language);
    }
    stTrayBalloon balloon;
    if (errors.isEmpty() && warnings.isEmpty())
        return balloon;
    balloon.bShow = true;
    balloon.enIcon = errors.isEmpty() ? QSystemTrayIcon::Warning : QSystemTrayIcon::Critical;
    // A code without a text in this language adds no empty line.
    QStringList lines = errors + warnings;
    lines.removeAll(QString());
    balloon.strText = lines.join('\n');
    return balloon;
}
