// The tray tool's main window: the printer table, the tray icon and its menu, and the
// workers that keep the printer list current.
#pragma once
#include "ToolPrinterList.h"

#include <QHash>
#include <QList>
#include <QSystemTrayIcon>
#include <QWidget>

class AppSetting;
class QAction;
class QMenu;
class QTableWidget;
class QThread;
class TrdDeviceManage;
class TrdGetPrinterStatus;
class TrdStatusWatch;

struct stToolForm {
    QTableWidget *tableDeviceManage = nullptr;
};

class OrvoPrinterToolWidget : public QWidget {
    Q_OBJECT
public:
    explicit OrvoPrinterToolWidget(QWidget *parent = nullptr);
    ~OrvoPrinterToolWidget() override;

    QTableWidget *DeviceTable() const { return pForm->tableDeviceManage; }
    QSystemTrayIcon *TrayIcon() const { return pTrayIcon; }
    QMenu *TrayMenu() const { return pTrayMenu; }
    AppSetting *SettingDialog() const { return pAppSetting; }
    TrdDeviceManage *DeviceManager() const { return pDeviceManage; }
    const QList<TrdGetPrinterStatus *> &StatusWorkers() const { return listStatusWorker; }
    const QList<QThread *> &StatusThreads() const { return listStatusThread; }
    QThread *DeviceManagerThread() const { return pDeviceManageThread; }
    int StatusWorkerCount() const { return iStatusThreadCount; }
    stToolPrinterList &PrinterList() { return stPrinterList; }
    TrdStatusWatch *StatusWatch() const { return pStatusWatch; }

signals:
    void SgnManageThreadStart();
    void SgnStatusThreadStart();
    void SgnThreadQuit();

public slots:
    void SlotActivatedTrayIcon(QSystemTrayIcon::ActivationReason reason);
    void SlotTrayActionShow();
    void SlotTrayActionUpdateFW();
    void SlotTrayActionSetting();
    void SlotTrayActionExit();
    void SlotUpdatePrinterStatus(int row);
    void SlotUpdatePrinterList();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // Every tray notification goes through here.
    virtual void ShowTrayMessage(const QString &title, const QString &text,
                                 QSystemTrayIcon::MessageIcon icon, int ms);
    // Without a tray host a hidden window could never be reached again.
    virtual bool IsTrayAvailable() const;

private:
    void InitLog();
    void InitLanguage();
    void InitDeviceTable();
    void InitTrayIcon();
    void InitThread();
    void AddStatusWorker(int index);
    void InitStatusWatch();
    void DebugOutputPrinterInfo();
    void DebugOutputPrinterStatus(int row);

    stToolForm *pForm;
    QSystemTrayIcon *pTrayIcon = nullptr;
    QMenu *pTrayMenu = nullptr;
    QAction *pActionShow = nullptr;
    QAction *pActionUpdate = nullptr;
    QAction *pActionSetting = nullptr;
    QAction *pActionExit = nullptr;
    QList<TrdGetPrinterStatus *> listStatusWorker;
    QList<QThread *> listStatusThread;
    TrdDeviceManage *pDeviceManage = nullptr;
    QThread *pDeviceManageThread = nullptr;
    AppSetting *pAppSetting = nullptr;
    TrdStatusWatch *pStatusWatch = nullptr;
    QThread *pStatusWatchThread = nullptr;
    stToolPrinterList stPrinterList;
    QHash<QString, stPrinterState> hashAnnounced;  // per queue: the state its last balloon saw
    int iStatusThreadCount = 0;
    int iLanguageIndex = 0;
};
