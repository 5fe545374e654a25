#include "AppSetting.h"
#include "orvo-window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QPushButton>

QString AutoStartDirPath()
{
    return QStringLiteral("/opt/apps/orvo-printer-k500/entries/autostart/");
}

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
    setWindowTitle(QStringLiteral("设置"));
    CentreOnDesktop(this);

    pForm->checkBoxAutoStart->setText(QStringLiteral("开机启动"));
    pForm->pushButtonOK->setText(QStringLiteral("确定"));
    pForm->pushButtonCancel->setText(QStringLiteral("取消"));
    InitOption();
}

AppSetting::~AppSetting()
{
    delete pForm;
}

bool AppSetting::ReadAutoStartOption()
{
    return QFile::exists(AutoStartDirPath() + AutoStartFileName());
}

bool AppSetting::SaveAutoStartOption(bool enable)
{
    const QString target = AutoStartDirPath() + AutoStartFileName();
    if (enable) {
        QDir().mkpath(AutoStartDirPath());
        // An existing entry is kept: the copy then fails and leaves it in place.
        return QFile::copy(strSourceDir + "/" + AutoStartFileName(), target);
    }
    return QFile::remove(target);
}

void AppSetting::InitOption()
{
    pForm->checkBoxAutoStart->setChecked(ReadAutoStartOption());
}

void AppSetting::SaveOption()
{
    SaveAutoStartOption(pForm->checkBoxAutoStart->checkState() != Qt::Unchecked);
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
