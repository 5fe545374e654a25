// Start-up of the tray tool: "-hide", the single-instance check and its message box.
#pragma once
#include <QString>

class QApplication;

// True when any argument after the program name is "-hide", in any letter case.
bool CheckIsHide(int argc, char **argv);

// The window is shown unless hidden on request, and always when no tray could bring it back.
bool ShowWindowAtStart(bool hide, bool trayAvailable);

// Another copy of appName (cut to 15 characters) runs, by the process listing.
bool CheckIsRunning(const QString &appName);

QString ToolTitle();  // "Orvo喷墨打印机助手"

// The modal box a second start shows.
void ShowAlreadyRunningBox();

void RegisterToolResources();

// The whole program after the QApplication exists; returns the exit status.
int RunToolApplication(QApplication &app, int argc, char **argv, const QString &appName);
