// The autostart dialog against the installed entry file and the real autostart directory.
#include "AppSetting.h"
#include "ToolEntry.h"
#include "orvo-paths.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QtTest>

class TstToolAutostart : public QObject
{
    Q_OBJECT
private slots:
    void form();
    void okCheckedCopies();
    void okUncheckedDeletes();
    void cancelAndCloseKeep();
    void existingEntryIsKept();

private:
    static QString Target() { return AutoStartDirPath() + AutoStartFileName(); }
    static QString Source() { return OrvoBinPath() + AutoStartFileName(); }
};

void TstToolAutostart::form()
{
    AppSetting dlg(OrvoBinPath());
    QCOMPARE(dlg.objectName(), QString("AppSetting"));
    QCOMPARE(dlg.size(), QSize(400, 300));
    QCOMPARE(dlg.maximumSize(), QSize(400, 300));
    QCOMPARE(dlg.windowTitle(), QString("设置"));
    QVERIFY(dlg.windowFlags() & Qt::CustomizeWindowHint);
    QVERIFY(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(dlg.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(dlg.windowFlags() & Qt::WindowMaximizeButtonHint));
    const stAppSettingForm &f = dlg.Form();
    QCOMPARE(f.checkBoxAutoStart->objectName(), QString("checkBoxAutoStart"));
    QCOMPARE(f.checkBoxAutoStart->geometry(), QRect(70, 60, 130, 25));
    QCOMPARE(f.checkBoxAutoStart->text(), QString("开机启动"));
    QCOMPARE(f.pushButtonOK->geometry(), QRect(70, 250, 80, 25));
    QCOMPARE(f.pushButtonOK->text(), QString("确定"));
    QCOMPARE(f.pushButtonCancel->geometry(), QRect(250, 250, 80, 25));
    QCOMPARE(f.pushButtonCancel->text(), QString("取消"));
    QCOMPARE(AutoStartDirPath(), QString("/opt/apps/orvo-printer-k500/entries/autostart/"));
    // The entry is installed next to the executable.
    QVERIFY(QFile::exists(Source()));
}

void TstToolAutostart::okCheckedCopies()
{
    QDir("/opt/apps").removeRecursively();
    AppSetting dlg(OrvoBinPath());
    QVERIFY(!dlg.Form().checkBoxAutoStart->isChecked());
    dlg.show();
    dlg.Form().checkBoxAutoStart->setChecked(true);
    QTest::mouseClick(dlg.Form().pushButtonOK, Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QVERIFY(QFile::exists(Target()));
    QFile a(Source()), b(Target());
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), a.readAll());
    QVERIFY(dlg.Form().checkBoxAutoStart->isChecked());
    // A new dialog starts from the file's presence.
    AppSetting again(OrvoBinPath());
    QVERIFY(again.Form().checkBoxAutoStart->isChecked());
}

void TstToolAutostart::okUncheckedDeletes()
{
    QDir().mkpath(AutoStartDirPath());
    QFile::remove(Target());
    QVERIFY(QFile::copy(Source(), Target()));
    AppSetting dlg(OrvoBinPath());
    QVERIFY(dlg.Form().checkBoxAutoStart->isChecked());
    dlg.show();
    dlg.Form().checkBoxAutoStart->setChecked(false);
    QTest::mouseClick(dlg.Form().pushButtonOK, Qt::LeftButton);
    QVERIFY(!QFile::exists(Target()));
    QVERIFY(!dlg.Form().checkBoxAutoStart->isChecked());
    // Deleting again fails quietly; the box stays unchecked.
    QVERIFY(!dlg.SaveAutoStartOption(false));
}

void TstToolAutostart::cancelAndCloseKeep()
{
    QFile::remove(Target());
    AppSetting dlg(OrvoBinPath());
    dlg.show();
    dlg.Form().checkBoxAutoStart->setChecked(true);
    QTest::mouseClick(dlg.Form().pushButtonCancel, Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QVERIFY(!QFile::exists(Target()));
    QVERIFY(!dlg.Form().checkBoxAutoStart->isChecked());

    dlg.show();
    dlg.Form().checkBoxAutoStart->setChecked(true);
    QVERIFY(!dlg.close());   // the close is refused: the dialog only hides
    QVERIFY(!dlg.isVisible());
    QVERIFY(!QFile::exists(Target()));
    QVERIFY(!dlg.Form().checkBoxAutoStart->isChecked());

    QDir().mkpath(AutoStartDirPath());
    QVERIFY(QFile::copy(Source(), Target()));
    dlg.InitOption();
    dlg.show();
    dlg.Form().checkBoxAutoStart->setChecked(false);
    QVERIFY(!dlg.close());
    QVERIFY(QFile::exists(Target()));
    QVERIFY(dlg.Form().checkBoxAutoStart->isChecked());
}

void TstToolAutostart::existingEntryIsKept()
{
    QDir().mkpath(AutoStartDirPath());
    QFile::remove(Target());
    QFile own(Target());
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.write("[Desktop Entry]\nType=Application\nName=mine\nExec=true\n");
    own.close();
    AppSetting dlg(OrvoBinPath());
    QVERIFY(!dlg.SaveAutoStartOption(true));
    QVERIFY(own.open(QIODevice::ReadOnly));
    QVERIFY(own.readAll().contains("Name=mine"));

    // Without the source file nothing is copied and the box falls back to unchecked.
    QFile::remove(Target());
    AppSetting nowhere("/opt/nowhere");
    nowhere.Form().checkBoxAutoStart->setChecked(true);
    QTest::mouseClick(nowhere.Form().pushButtonOK, Qt::LeftButton);
    QVERIFY(!QFile::exists(Target()));
    QVERIFY(!nowhere.Form().checkBoxAutoStart->isChecked());
}

QTEST_MAIN(TstToolAutostart)
#include "tst_tool_autostart.moc"
