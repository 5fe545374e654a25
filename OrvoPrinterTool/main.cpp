#include "ToolEntry.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    RegisterToolResources();
    return RunToolApplication(app, argc, argv, QCoreApplication::applicationName());
}
