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
    return QStringLiteral("Orvo喷墨打印机助手");
}

void ShowAlreadyRunningBox()
{
    QMessageBox box(QMessageBox::Information, ToolTitle(), ToolTitle() + QStringLiteral("已经处于运行中！"),
                    QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确  定"));
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
