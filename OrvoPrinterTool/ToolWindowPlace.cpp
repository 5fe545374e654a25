#include "ToolWindowPlace.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void CentreOnDesktop(QWidget *w)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect desk = screen->geometry();
    w->move((desk.width() - w->width()) / 2, (desk.height() - w->height()) / 2);
}
