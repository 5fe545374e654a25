#include "ToolEntry.h"
#include "orvo-running.h"
#include "orvoprintertoolwidget.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

bool CheckIsHide(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (QString::fromLocal8Bit(argv[i]).compare("-hide", Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool ShowWindowAtStart(bool hide, bool trayAvailable)
{
    return !hide || !trayAvailable;
}

bool CheckIsRunning(const QString &appName)
{
    return CheckIsRunning(ToolSelfCheck(appName));
}

QString ToolTitle()
{
    return QCoreApplication::translate("ToolEntry", "Orvo喷墨打印机助手");
}

void ShowAlreadyRunningBox()
{
    QMessageBox box(QMessageBox::Information, ToolTitle(), QCoreApplication::translate("ToolEntry", "%1已经处于运行中！").arg(ToolTitle()),
                    QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QCoreApplication::translate("ToolEntry", "确  定"));
    box.exec();
}

void RegisterToolResources()
{
    Q_INIT_RESOURCE(OrvoPrinterTool);
}

int RunToolApplication(QApplication &app, int argc, char **argv, const QString &appName)
{
    if (CheckIsRunning(appName)) {
        ShowAlreadyRunningBox();
        return 0;
    }
    OrvoPrinterToolWidget window;
    if (ShowWindowAtStart(CheckIsHide(argc, argv), QSystemTrayIcon::isSystemTrayAvailable()))
        window.show();
    return app.exec();
}
