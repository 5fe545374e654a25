// The autostart dialog: the option is the presence of the autostart entry, copied from the
// directory of the tool's executable into the autostart folder of the user's desktop and,
// where it is writable, into the suite's fixed autostart folder.
#pragma once
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QPushButton;

QString AutoStartDirPath();  // "/opt/apps/orvo-printer-k500/entries/autostart/"
QString UserAutoStartDirPath();  // "$XDG_CONFIG_HOME/autostart/", by default "~/.config/autostart/"
QString AutoStartFileName();  // "orvo-k500-tool-autostart.desktop"

struct stAppSettingForm {
    QCheckBox *checkBoxAutoStart = nullptr;
    QPushButton *pushButtonOK = nullptr;
    QPushButton *pushButtonCancel = nullptr;
};

class AppSetting : public QWidget {
    Q_OBJECT
public:
    // sourceDir holds the installed entry file: the executable's directory.
    explicit AppSetting(const QString &sourceDir, QWidget *parent = nullptr);
    ~AppSetting() override;

    bool ReadAutoStartOption();
    // Enabling: true when at least one folder holds the entry afterwards (an entry already
    // there is kept). Disabling: true when none holds it afterwards.
    bool SaveAutoStartOption(bool enable);
    void InitOption();
    void SaveOption();

    const stAppSettingForm &Form() const { return *pForm; }

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonCancel_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Says that the option could not be saved; a window of its own, so the caller goes on.
    virtual void ShowSaveFailed(const QString &text);

private:
    stAppSettingForm *pForm;
    QString strSourceDir;
};
