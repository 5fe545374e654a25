// Takes the screenshots of the maintenance tool's four pages for the README
// (scripts/screenshot-setting.sh runs it under Xvfb beside the simulator).
#include "UtilLibusb.h"
#include "orvo-translate.h"
#include "setting-fixture.h"

#include <QApplication>
#include <QPainter>

int main(int argc, char *argv[])
{
    SetUsbLogSource("OrvoPrintSetting/UtilLibusb");
    QApplication app(argc, argv);
    // Under an English locale the pages are English and their pictures end in "-en".
    const QString suffix = InstallOrvoTranslation() ? "-en" : "";
    if (argc != 2) {
        fprintf(stderr, "usage: shot_pages OUTPUT-DIRECTORY\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    SavePrinterInfo({Printer("Office_K20NW", CONNECT_USB, "Orvo/K20NW?serial=AB1234"),
                     Printer("Lab_K40N", CONNECT_NET, "127.0.0.21")},
                    true);
    BaseForm::SetMessageBoxHook([](const QString &, bool) { return int(QMessageBox::Ok); });
    Widget w;
    w.show();
    const struct {
        int page;
        const char *name;
        const char *button;  // pressed before the shot
    } shots[] = {{0, "home", nullptr}, {3, "net", "buttonGet"}, {2, "clean", nullptr}, {1, "alignment", "buttonPrint"}};
    QList<QImage> images;
    for (const auto &s : shots) {
        BaseForm *form = EnterPage(w, s.page);
        if (s.button)
            form->findChild<QPushButton *>(s.button)->click();
        if (s.page == 1) {
            const int values[9] = {2, -1, 0, 1, 0, 0, -2, 0, 1};
            for (int n = 1; n <= 9; ++n)
                form->findChild<QSpinBox *>(QString("spinBox_%1").arg(n))->setValue(values[n - 1]);
        }
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        const QImage image = w.grab().toImage();
        images << image;
        if (!image.save(QString("%1/setting-%2%3.png").arg(dir, s.name, suffix)))
            return 1;
    }
    // All four side by side for the README.
    const int gap = 12;
    QImage all(4 * 400 + 3 * gap, 455, QImage::Format_RGB32);
    all.fill(Qt::white);
    QPainter p(&all);
    for (int i = 0; i < images.size(); ++i)
        p.drawImage(i * (400 + gap), 0, images[i]);
    p.end();
    return all.save(dir + "/setting-pages" + suffix + ".png") ? 0 : 1;
}
