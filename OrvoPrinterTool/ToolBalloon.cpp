#include "ToolBalloon.h"
#include "orvo-statustext.h"

stTrayBalloon GetStatusBalloon(const stPrinterState &state, int language)
{
    stTrayBalloon balloon;
    if (!state.listError.isEmpty()) {
        balloon.bShow = true;
        balloon.enIcon = QSystemTrayIcon::Critical;
        balloon.strText = GetErrorDescText(state.listError.first(), language);
    } else if (!state.listWarning.isEmpty()) {
        balloon.bShow = true;
        balloon.enIcon = QSystemTrayIcon::Warning;
        balloon.strText = GetErrorDescText(state.listWarning.first(), language);
    }
    return balloon;
}
