#include "widget.h"
#include "FWUpdateResources.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    RegisterFWUpdateResources();
    Widget w;
    w.show();
    return a.exec();
}
