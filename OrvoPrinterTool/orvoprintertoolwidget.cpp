#include "orvoprintertoolwidget.h"
#include "AppSetting.h"
#include "orvo-window.h"
#include "TrdDeviceManage.h"
#include "TrdGetPrinterStatus.h"
#include "TrdStatusWatch.h"
#include "orvo-log.h"
#include "orvo-paths.h"
#include "orvo-printerlist.h"
#include "orvo-spawn.h"
#include "orvo-statustext.h"
#include "orvo-translate.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMutexLocker>
#include <QTableWidget>
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
}  // namespace

OrvoPrinterToolWidget::OrvoPrinterToolWidget(QWidget *parent) : QWidget(parent), pForm(new stToolForm)
{
    if (objectName().isEmpty())
        setObjectName("OrvoPrinterToolWidget");
    // One size in every language: the English table holds its longer texts on more lines
    // (see InitDeviceTable).
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
    InitStatusWatch();
}

OrvoPrinterToolWidget::~OrvoPrinterToolWidget()
{
    // Normally the exit action has already asked them; a window destroyed otherwise asks here.
    if (pDeviceManage)
        pDeviceManage->RequestQuit();
    for (TrdGetPrinterStatus *worker : listStatusWorker)
        worker->RequestQuit();

    // The watch wakes the workers: it ends first (it is deleted in its thread as that ends).
    // While it still runs, the workers it holds are left to the process's end with it.
    const bool watchStopped = !pStatusWatchThread || StopThread(pStatusWatchThread);
    if (pDeviceManageThread && StopThread(pDeviceManageThread) && watchStopped)
        delete pDeviceManage;
    for (int i = 0; i < listStatusWorker.size(); ++i) {
        const bool stopped = i >= listStatusThread.size() || !listStatusThread.at(i) || StopThread(listStatusThread.at(i));
        if (stopped && watchStopped)
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

// Started after the device manager, which it wakes when the list file changes.
void OrvoPrinterToolWidget::InitStatusWatch()
{
    pStatusWatch = new TrdStatusWatch(&stPrinterList, pDeviceManage);
    pStatusWatchThread = new QThread;
    pStatusWatch->moveToThread(pStatusWatchThread);
    connect(pStatusWatchThread, &QThread::started, pStatusWatch, &TrdStatusWatch::SlotStart);
    // Its timers and file watch can only be ended in its own thread.
    connect(pStatusWatchThread, &QThread::finished, pStatusWatch, &QObject::deleteLater);
    pStatusWatchThread->start(QThread::InheritPriority);
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
    // A table filled while the window was never shown measured its English rows against
    // columns not yet laid out: now that they are, the rows take their texts' height.
    if (iLanguageIndex == c_iLanguageEnglish)
        pForm->tableDeviceManage->resizeRowsToContents();
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
