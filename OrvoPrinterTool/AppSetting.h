// The autostart dialog: the option is the presence of the autostart entry in the desktop's
// autostart directory, copied there from the directory of the tool's executable.
#pragma once
#include <QWidget>

class QCheckBox;
class QPushButton;

QString AutoStartDirPath();      // "/opt/apps/orvo-printer-k500/entries/autostart/"
QString AutoStartFileName();     // "orvo-k500-tool-autostart.desktop"

struct stAppSettingForm {
    QCheckBox *checkBoxAutoStart = nullptr;
    QPushButton *pushButtonOK = nullptr;
    QPushButton *pushButtonCancel = nullptr;
};

class AppSetting : public QWidget
{
    Q_OBJECT
public:
    // sourceDir holds the installed entry file: the executable's directory.
    explicit AppSetting(const QString &sourceDir, QWidget *parent = nullptr);
    ~AppSetting() override;

    bool ReadAutoStartOption();
    bool SaveAutoStartOption(bool enable);
    void InitOption();
    void SaveOption();

    const stAppSettingForm &Form() const { return *pForm; }

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonCancel_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    stAppSettingForm *pForm;
    QString strSourceDir;
};
