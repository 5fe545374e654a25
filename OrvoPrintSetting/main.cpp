// orvoK500Setting: network settings, head cleaning and head alignment of the printers the
// print service has listed.
#include "UtilLibusb.h"
#include "Widget.h"
#include "orvo-translate.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    SetUsbLogSource("OrvoPrintSetting/UtilLibusb");
    QApplication app(argc, argv);
    InstallOrvoTranslation();
    Widget w;
    w.show();
    return app.exec();
}
