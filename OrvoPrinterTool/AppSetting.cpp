#include "AppSetting.h"
#include "orvo-window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>

QString AutoStartDirPath()
{
    return QStringLiteral("/opt/apps/orvo-printer-k500/entries/autostart/");
}

QString UserAutoStartDirPath()
{
    // The freedesktop autostart folder: the user's desktop starts what it holds at login.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config))
        config = QDir::homePath() + "/.config";
    return config + "/autostart/";
}

namespace {
QStringList AutoStartDirs()
{
    return {UserAutoStartDirPath(), AutoStartDirPath()};
}
}  // namespace

QString AutoStartFileName()
{
    return QStringLiteral("orvo-k500-tool-autostart.desktop");
}

AppSetting::AppSetting(const QString &sourceDir, QWidget *parent)
    : QWidget(parent), pForm(new stAppSettingForm), strSourceDir(sourceDir)
{
    if (objectName().isEmpty())
        setObjectName("AppSetting");
    resize(400, 300);
    pForm->checkBoxAutoStart = new QCheckBox(this);
    pForm->checkBoxAutoStart->setObjectName("checkBoxAutoStart");
    pForm->checkBoxAutoStart->setGeometry(70, 60, 130, 25);
    pForm->pushButtonOK = new QPushButton(this);
    pForm->pushButtonOK->setObjectName("pushButtonOK");
    pForm->pushButtonOK->setGeometry(70, 250, 80, 25);
    pForm->pushButtonCancel = new QPushButton(this);
    pForm->pushButtonCancel->setObjectName("pushButtonCancel");
    pForm->pushButtonCancel->setGeometry(250, 250, 80, 25);
    QMetaObject::connectSlotsByName(this);

    RemoveMaximizeButton(this);
    setFixedSize(size());
    setWindowTitle(tr("设置"));
    CentreOnDesktop(this);

    pForm->checkBoxAutoStart->setText(tr("开机启动"));
    pForm->pushButtonOK->setText(tr("确定"));
    pForm->pushButtonCancel->setText(tr("取消"));
    InitOption();
}

AppSetting::~AppSetting()
{
    delete pForm;
}

bool AppSetting::ReadAutoStartOption()
{
    for (const QString &dir : AutoStartDirs()) {
        if (QFile::exists(dir + AutoStartFileName()))
            return true;
    }
    return false;
}

bool AppSetting::SaveAutoStartOption(bool enable)
{
    const QString source = strSourceDir + "/" + AutoStartFileName();
    bool anyEntry = false;
    for (const QString &dir : AutoStartDirs()) {
        const QString target = dir + AutoStartFileName();
        if (enable) {
            // An existing entry is kept as it is.
            if (!QFile::exists(target) && QFile::exists(source) && QDir().mkpath(dir))
                QFile::copy(source, target);
        } else {
            QFile::remove(target);
        }
        anyEntry = anyEntry || QFile::exists(target);
    }
    return enable == anyEntry;
}

void AppSetting::InitOption()
{
    pForm->checkBoxAutoStart->setChecked(ReadAutoStartOption());
}

void AppSetting::SaveOption()
{
    const bool enable = pForm->checkBoxAutoStart->checkState() != Qt::Unchecked;
    if (!SaveAutoStartOption(enable)) {
        const QString head = enable ? tr("无法写入开机启动项：") : tr("无法删除开机启动项：");
        ShowSaveFailed(head + "\n" + AutoStartDirs().join('\n'));
    }
}

void AppSetting::ShowSaveFailed(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setObjectName("messageBoxAutoStart");
    box->show();
}

void AppSetting::on_pushButtonOK_clicked()
{
    hide();
    SaveOption();
    InitOption();
}

void AppSetting::on_pushButtonCancel_clicked()
{
    hide();
    InitOption();
}

void AppSetting::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
    InitOption();
}
