#include "ToolEntry.h"
#include "orvo-translate.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    InstallOrvoTranslation();
    RegisterToolResources();
    return RunToolApplication(app, argc, argv, QCoreApplication::applicationName());
}
