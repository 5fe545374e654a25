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
class QFileSystemWatcher;
class QMenu;
class QTableWidget;
class QThread;
class TrdDeviceManage;
class TrdGetPrinterStatus;

struct stToolForm {
    QTableWidget *tableDeviceManage = nullptr;
};

class OrvoPrinterToolWidget : public QWidget
{
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
    QFileSystemWatcher *FileWatcher() const { return pWatcher; }

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
    // A watched file changed: its reader looks at once.
    void SlotFileChanged(const QString &path);
    // The status folder changed: files that appeared are watched and read at once.
    void SlotFolderChanged();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

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
    void InitWatcher();
    // Watches every wanted file that exists and is not watched yet; returns those.
    QStringList WatchFiles();
    void WakeReader(const QString &path);
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
    QFileSystemWatcher *pWatcher = nullptr;
    stToolPrinterList stPrinterList;
    QHash<QString, stPrinterState> hashAnnounced;   // per queue: the state its last balloon saw
    QHash<QString, QList<int>> hashStatusFileRows;  // status file path -> rows showing it
    int iStatusThreadCount = 0;
    int iLanguageIndex = 0;
};
