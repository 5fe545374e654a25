#include "orvo-window.h"

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

void RemoveMaximizeButton(QWidget *w)
{
    const Qt::WindowFlags buttons = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                                    | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    w->setWindowFlags((w->windowFlags() | buttons) & ~Qt::WindowMaximizeButtonHint);
}
