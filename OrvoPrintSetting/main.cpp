// orvoK500Setting: network settings, head cleaning and head alignment of the printers the
// print service has listed.
#include "UtilLibusb.h"
#include "Widget.h"
#include "orvo-translate.h"

#include <QApplication>

const char *const c_szUtilLibusbSource = "OrvoPrintSetting/UtilLibusb";

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    InstallOrvoTranslation();
    Widget w;
    w.show();
    return app.exec();
}
