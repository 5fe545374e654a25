// shot_fw WINDOW.png PROGRESS.png FILE: pictures of the updater for the README
// (scripts/screenshot-fw.sh runs it beside the simulator). Takes the window with the first
// printer selected and FILE chosen, then presses "一键升级" ("Update") and takes the progress dialog
// once the printer, which stops taking data part-way, has taken some of the image.
#include "FWProgressDialog.h"
#include "FWUpdateResources.h"
#include "orvo-translate.h"
#include "widget.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <cstdio>

namespace {
// The transfer gives up quickly once the printer stops: the picture is taken by then.
class ShotWidget : public Widget {
public:
    ShotWidget() { uiChunkTimeoutMs = 1500; }
};
}  // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        fprintf(stderr, "usage: shot_fw WINDOW.png PROGRESS.png FILE\n");
        return 2;
    }
    QApplication app(argc, argv);
    InstallOrvoTranslation();  // English under an English locale
    RegisterFWUpdateResources();
    ShotWidget w;
    w.findChild<QTableWidget *>("tablePrinterList")->selectRow(0);
    w.findChild<QLineEdit *>("lineFilePath")->setText(QString::fromLocal8Bit(argv[3]));
    w.show();
    bool windowSaved = false, progressSaved = false;
    QTimer hand;
    hand.setInterval(20);
    QObject::connect(&hand, &QTimer::timeout, [&]() {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<FWProgressDialog *>(modal)) {
            if (!progressSaved && dialog->isVisible() && dialog->findChild<QProgressBar *>()->value() > 0)
                progressSaved = dialog->grab().save(QString::fromLocal8Bit(argv[2]));
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            box->button(QMessageBox::Ok)->click();
        }
    });
    if (QTest::qWaitForWindowExposed(&w))
        windowSaved = w.grab().save(QString::fromLocal8Bit(argv[1]));
    hand.start();
    w.findChild<QPushButton *>("buttonOK")->click();  // returns once the transfer has given up
    if (!windowSaved || !progressSaved) {
        fprintf(stderr, "shot_fw: window %s, progress dialog %s\n", windowSaved ? "saved" : "not saved",
                progressSaved ? "saved" : "not saved");
        return 1;
    }
    return 0;
}
