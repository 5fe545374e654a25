// The autostart dialog against the installed entry file and the real autostart folders: the
// user's own and the suite's fixed one. The cases named "asUser" run as a user who is not
// root (tool_autostart_user), for whom the fixed folder under /opt is not writable.
#include "AppSetting.h"
#include "ToolEntry.h"
#include "orvo-paths.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <unistd.h>

class TstToolAutostart : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void form();
    void okCheckedCopies();
    void okUncheckedDeletes();
    void cancelAndCloseKeep();
    void existingEntryIsKept();
    void asUserWritesOwnFolder();
    void asUserFollowsXdgConfigHome();
    void asUserNeitherWritable();

private:
    static QString Target() { return AutoStartDirPath() + AutoStartFileName(); }
    static QString UserTarget() { return UserAutoStartDirPath() + AutoStartFileName(); }
    static QString Source() { return OrvoBinPath() + AutoStartFileName(); }
    static bool SameAsSource(const QString &path)
    {
        QFile a(Source()), b(path);
        return a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.readAll() == b.readAll();
    }
    // The message box that says the option could not be saved, when one is showing.
    static QMessageBox *FailureBox()
    {
        for (QWidget *w : QApplication::allWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (box && box->isVisible())
                return box;
        }
        return nullptr;
    }
    QByteArray strXdgConfigHome;
};

void TstToolAutostart::init()
{
    strXdgConfigHome = qgetenv("XDG_CONFIG_HOME");
    const bool asUser = QByteArray(QTest::currentTestFunction()).startsWith("asUser");
    if (asUser && getuid() == 0)
        QSKIP("runs as a user who is not root (tool_autostart_user)");
    if (!asUser && getuid() != 0)
        QSKIP("runs as root (tool_autostart)");
}

void TstToolAutostart::cleanup()
{
    qputenv("XDG_CONFIG_HOME", strXdgConfigHome);
    if (strXdgConfigHome.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    QFile::remove(UserTarget());
    if (getuid() == 0)
        QFile::remove(Target());
}

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
    // Both folders get the entry: the user's desktop reads its own, the fixed one is kept.
    QVERIFY(SameAsSource(Target()));
    QVERIFY(SameAsSource(UserTarget()));
    QVERIFY(dlg.Form().checkBoxAutoStart->isChecked());
    QVERIFY(!FailureBox());
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
    // Deleting again: nothing left to delete, nothing to report.
    QVERIFY(dlg.SaveAutoStartOption(false));
    QVERIFY(!FailureBox());

    // An entry in the user's folder alone also counts, and unchecking deletes it.
    QDir().mkpath(UserAutoStartDirPath());
    QVERIFY(QFile::copy(Source(), UserTarget()));
    AppSetting user(OrvoBinPath());
    QVERIFY(user.Form().checkBoxAutoStart->isChecked());
    user.Form().checkBoxAutoStart->setChecked(false);
    QTest::mouseClick(user.Form().pushButtonOK, Qt::LeftButton);
    QVERIFY(!QFile::exists(UserTarget()));
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
    QVERIFY(!dlg.close());  // the close is refused: the dialog only hides
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
    QVERIFY(dlg.SaveAutoStartOption(true));
    QVERIFY(own.open(QIODevice::ReadOnly));
    QVERIFY(own.readAll().contains("Name=mine"));
    QVERIFY(SameAsSource(UserTarget()));

    // Without the source file nothing is copied, the box falls back to unchecked, and a
    // message says so.
    QFile::remove(Target());
    QFile::remove(UserTarget());
    AppSetting nowhere("/opt/nowhere");
    nowhere.show();
    nowhere.Form().checkBoxAutoStart->setChecked(true);
    QTest::mouseClick(nowhere.Form().pushButtonOK, Qt::LeftButton);
    QVERIFY(!QFile::exists(Target()));
    QVERIFY(!QFile::exists(UserTarget()));
    QVERIFY(!nowhere.Form().checkBoxAutoStart->isChecked());
    QMessageBox *box = FailureBox();
    QVERIFY(box);
    QVERIFY(box->text().contains(UserAutoStartDirPath()));
    box->close();
}

void TstToolAutostart::asUserWritesOwnFolder()
{
    QVERIFY(!QFileInfo("/opt").isWritable());
    QCOMPARE(UserAutoStartDirPath(), QDir::homePath() + "/.config/autostart/");
    AppSetting dlg(OrvoBinPath());
    dlg.show();
    QVERIFY(!dlg.Form().checkBoxAutoStart->isChecked());
    dlg.Form().checkBoxAutoStart->setChecked(true);
    QTest::mouseClick(dlg.Form().pushButtonOK, Qt::LeftButton);
    QVERIFY(SameAsSource(UserTarget()));
    QVERIFY(!QFile::exists(Target()));
    QVERIFY(!FailureBox());
    AppSetting again(OrvoBinPath());
    QVERIFY(again.Form().checkBoxAutoStart->isChecked());
    again.show();
    again.Form().checkBoxAutoStart->setChecked(false);
    QTest::mouseClick(again.Form().pushButtonOK, Qt::LeftButton);
    QVERIFY(!QFile::exists(UserTarget()));
    QVERIFY(!again.Form().checkBoxAutoStart->isChecked());
    QVERIFY(!FailureBox());
}

void TstToolAutostart::asUserFollowsXdgConfigHome()
{
    const QString config = QDir::homePath() + "/elsewhere";
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
    QCOMPARE(UserAutoStartDirPath(), config + "/autostart/");
    AppSetting dlg(OrvoBinPath());
    dlg.show();
    dlg.Form().checkBoxAutoStart->setChecked(true);
    QTest::mouseClick(dlg.Form().pushButtonOK, Qt::LeftButton);
    QVERIFY(SameAsSource(config + "/autostart/" + AutoStartFileName()));
    QVERIFY(!QFile::exists(QDir::homePath() + "/.config/autostart/" + AutoStartFileName()));
    QVERIFY(dlg.Form().checkBoxAutoStart->isChecked());
}

void TstToolAutostart::asUserNeitherWritable()
{
    qputenv("XDG_CONFIG_HOME", "/opt/not-for-users");
    AppSetting dlg(OrvoBinPath());
    dlg.show();
    dlg.Form().checkBoxAutoStart->setChecked(true);
    QTest::mouseClick(dlg.Form().pushButtonOK, Qt::LeftButton);
    QVERIFY(!dlg.Form().checkBoxAutoStart->isChecked());
    QMessageBox *box = FailureBox();
    QVERIFY(box);
    QCOMPARE(box->icon(), QMessageBox::Warning);
    QVERIFY(box->text().startsWith("无法写入开机启动项"));
    QVERIFY(box->text().contains("/opt/not-for-users/autostart/"));
    QVERIFY(box->text().contains(AutoStartDirPath()));
    box->close();
}

QTEST_MAIN(TstToolAutostart)
#include "tst_tool_autostart.moc"
