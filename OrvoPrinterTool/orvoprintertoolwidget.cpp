#include "orvoprintertoolwidget.h"
#include "AppSetting.h"
#include "orvo-window.h"
#include "TrdDeviceManage.h"
#include "TrdGetPrinterStatus.h"
#include "orvo-log.h"
#include "orvo-paths.h"
#include "orvo-printerlist.h"
#include "orvo-spawn.h"
#include "orvo-statustext.h"
#include "orvo-translate.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QDir>
#include <QMenu>
#include <QMutexLocker>
#include <QTableWidget>
#include <QSet>
#include <QThread>

#define TOOL_LOG(fn, ...) WriteStringLog("OrvoPrinterTool/orvoprintertoolwidget", __LINE__, fn, __VA_ARGS__)

namespace {
// Waits for a worker thread that has been told to quit; its loop leaves within one 500 ms step.
// A thread still busy after the wait keeps its worker: both are left to the process's end
// rather than freed under a running loop.
bool StopThread(QThread *thread)
{
    thread->quit();
    if (!thread->wait(1000))
        return false;
    delete thread;
    return true;
}
} // namespace

OrvoPrinterToolWidget::OrvoPrinterToolWidget(QWidget *parent) : QWidget(parent), pForm(new stToolForm)
{
    if (objectName().isEmpty())
        setObjectName("OrvoPrinterToolWidget");
    resize(860, 300);
    pForm->tableDeviceManage = new QTableWidget(this);
    pForm->tableDeviceManage->setObjectName("tableDeviceManage");
    pForm->tableDeviceManage->setGeometry(20, 20, 820, 260);
    QMetaObject::connectSlotsByName(this);

    setWindowIcon(QIcon(":/Icon/Resource/Orvo.png"));
    RemoveMaximizeButton(this);
    setFixedSize(size());
    setWindowTitle(tr("Orvo喷墨打印机助手"));
    CentreOnDesktop(this);

    pAppSetting = new AppSetting(QCoreApplication::applicationDirPath());
    iStatusThreadCount = 0;

    InitLog();
    InitLanguage();
    InitDeviceTable();
    InitTrayIcon();
    InitThread();
    InitWatcher();
}

OrvoPrinterToolWidget::~OrvoPrinterToolWidget()
{
    // Normally the exit action has already asked them; a window destroyed otherwise asks here.
    if (pDeviceManage)
        pDeviceManage->RequestQuit();
    for (TrdGetPrinterStatus *worker : listStatusWorker)
        worker->RequestQuit();

    if (pDeviceManageThread && StopThread(pDeviceManageThread))
        delete pDeviceManage;
    for (int i = 0; i < listStatusWorker.size(); ++i) {
        const bool stopped = i >= listStatusThread.size() || !listStatusThread.at(i) || StopThread(listStatusThread.at(i));
        if (stopped)
            delete listStatusWorker.at(i);
    }
    delete pAppSetting;
    delete pForm;
}

void OrvoPrinterToolWidget::InitLog()
{
    SetLogTarget(OrvoToolPath(), "log_tool");
    SetLogEnable(false);
}

void OrvoPrinterToolWidget::InitLanguage()
{
    iLanguageIndex = OrvoUiIsEnglish() ? c_iLanguageEnglish : c_iLanguageChinese;
}

void OrvoPrinterToolWidget::InitTrayIcon()
{
    TOOL_LOG("InitTrayIcon", "InitTrayIcon start");
    pTrayIcon = new QSystemTrayIcon(this);
    pTrayIcon->setIcon(QIcon(":/Icon/Resource/Orvo.png"));
    pTrayIcon->setToolTip(tr("Orvo喷墨打印机助手"));
    connect(pTrayIcon, &QSystemTrayIcon::activated, this, &OrvoPrinterToolWidget::SlotActivatedTrayIcon);

    pActionShow = new QAction(tr("显示主界面"), this);
    pActionUpdate = new QAction(tr("打印机更新助手"), this);
    pActionSetting = new QAction(tr("设置"), this);
    pActionExit = new QAction(tr("退出"), this);
    connect(pActionShow, &QAction::triggered, this, &OrvoPrinterToolWidget::SlotTrayActionShow);
    connect(pActionUpdate, &QAction::triggered, this, &OrvoPrinterToolWidget::SlotTrayActionUpdateFW);
    connect(pActionSetting, &QAction::triggered, this, &OrvoPrinterToolWidget::SlotTrayActionSetting);
    connect(pActionExit, &QAction::triggered, this, &OrvoPrinterToolWidget::SlotTrayActionExit);

    pTrayMenu = new QMenu(this);
    pTrayMenu->addAction(pActionShow);
    pTrayMenu->addAction(pActionUpdate);
    pTrayMenu->addAction(pActionSetting);
    pTrayMenu->addAction(pActionExit);
    pTrayIcon->setContextMenu(pTrayMenu);
    pTrayIcon->show();
    TOOL_LOG("InitTrayIcon", "InitTrayIcon end");
}

void OrvoPrinterToolWidget::InitThread()
{
    TOOL_LOG("InitThread", "InitThread start");
    pDeviceManage = new TrdDeviceManage;
    pDeviceManageThread = new QThread;
    pDeviceManage->moveToThread(pDeviceManageThread);
    pDeviceManage->Init(&stPrinterList);
    connect(this, &OrvoPrinterToolWidget::SgnManageThreadStart, pDeviceManage, &TrdDeviceManage::SlotTaskStart);
    connect(this, &OrvoPrinterToolWidget::SgnThreadQuit, pDeviceManage, &TrdDeviceManage::SlotThreadQuit);
    connect(pDeviceManage, &TrdDeviceManage::SgnUpdatePrinterList, this, &OrvoPrinterToolWidget::SlotUpdatePrinterList);
    // Set up completely before its thread runs: starting the thread hands the worker over.
    pDeviceManageThread->start(QThread::InheritPriority);
    emit SgnManageThreadStart();
    TOOL_LOG("InitThread", "InitThread end");
}

// The service replaces a status file by renaming a new one over it, which ends the watch
// of the old file: the folder's change then adds the new one. The periodic checks of the
// workers stay as they were, for changes a watch misses.
void OrvoPrinterToolWidget::InitWatcher()
{
    pWatcher = new QFileSystemWatcher(this);
    connect(pWatcher, &QFileSystemWatcher::directoryChanged, this, &OrvoPrinterToolWidget::SlotFolderChanged);
    connect(pWatcher, &QFileSystemWatcher::fileChanged, this, &OrvoPrinterToolWidget::SlotFileChanged);
    // The folder may not exist before the service first runs.
    auto *retry = new QTimer(this);
    connect(retry, &QTimer::timeout, this, &OrvoPrinterToolWidget::SlotFolderChanged);
    retry->start(3000);
    WatchFiles();
}

// Linear in the rows: with hundreds of printers a change must not compare every wanted
// path with every watched one.
QStringList OrvoPrinterToolWidget::WatchFiles()
{
    if (!pWatcher)
        return {};
    QStringList wanted{QDir::cleanPath(OrvoCfgPath()), PrinterListFilePath()};
    wanted += hashStatusFileRows.keys();
    const QStringList files = pWatcher->files();
    const QStringList folders = pWatcher->directories();
    QSet<QString> watched(files.begin(), files.end());
    watched.unite(QSet<QString>(folders.begin(), folders.end()));
    QStringList add;
    for (const QString &path : wanted) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            add << path;
    }
    if (!add.isEmpty())
        pWatcher->addPaths(add);
    return add;
}

void OrvoPrinterToolWidget::WakeReader(const QString &path)
{
    if (path == PrinterListFilePath()) {
        pDeviceManage->Wake();
        return;
    }
    for (int row : hashStatusFileRows.value(path)) {
        if (row < listStatusWorker.size())
            listStatusWorker.at(row)->Wake();
    }
}

void OrvoPrinterToolWidget::SlotFileChanged(const QString &path)
{
    WakeReader(path);
    // A file replaced by a rename is no longer watched: watch the new one.
    if (!pWatcher->files().contains(path) && QFileInfo::exists(path))
        pWatcher->addPath(path);
}

void OrvoPrinterToolWidget::SlotFolderChanged()
{
    for (const QString &path : WatchFiles())
        WakeReader(path);
}

void OrvoPrinterToolWidget::SlotActivatedTrayIcon(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        SlotTrayActionShow();
}

void OrvoPrinterToolWidget::SlotTrayActionShow()
{
    if (isActiveWindow())
        return;
    setWindowFlags(Qt::Window);
    // Resetting the flags brings every title-bar button back: choose the set again.
    RemoveMaximizeButton(this);
    showNormal();
}

void OrvoPrinterToolWidget::SlotTrayActionUpdateFW()
{
    StartDetached(OrvoBinPath() + "orvo" + QStringLiteral("k500").toUpper() + "FW");
}

void OrvoPrinterToolWidget::SlotTrayActionSetting()
{
    pAppSetting->show();
}

void OrvoPrinterToolWidget::SlotTrayActionExit()
{
    pAppSetting->close();
    hide();
    pTrayIcon->hide();
    // The worker loops occupy their threads, so a queued quit would never be delivered:
    // set every quit flag directly.
    pDeviceManage->RequestQuit();
    for (TrdGetPrinterStatus *worker : listStatusWorker)
        worker->RequestQuit();
    emit SgnThreadQuit();
    QCoreApplication::quit();
}

void OrvoPrinterToolWidget::closeEvent(QCloseEvent *event)
{
    if (!IsTrayAvailable()) {
        event->accept();
        SlotTrayActionExit();
        return;
    }
    hide();
    event->ignore();
}

void OrvoPrinterToolWidget::changeEvent(QEvent *)
{
}

void OrvoPrinterToolWidget::ShowTrayMessage(const QString &title, const QString &text,
                                            QSystemTrayIcon::MessageIcon icon, int ms)
{
    pTrayIcon->showMessage(title, text, icon, ms);
}

bool OrvoPrinterToolWidget::IsTrayAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}
