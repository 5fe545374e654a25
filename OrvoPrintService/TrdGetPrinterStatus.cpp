#include "TrdGetPrinterStatus.h"
#include "TrdGetPrinterStatusRules.h"

#include "UtilPrinterStatus.h"
#include "UtilUsbPrinter.h"
#include "orvo-log.h"
#include "orvo-paths.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QTime>

#include <cstring>

namespace {
const char *c_szSource = "../OrvoPrintService/TrdGetPrinterStatus";
}

TrdGetPrinterStatus::TrdGetPrinterStatus(QObject *parent) : UtilThreadBase(parent) {}

void TrdGetPrinterStatus::Init(int index, QList<stPrinterManager> *list, QMutex *listLock)
{
    iIndex = index;
    pPrinterList = list;
    pListLock = listLock;
}

void TrdGetPrinterStatus::SlotThreadQuit()
{
    RequestQuit();
    WakeCupsEventWaiters();
}

QString TrdGetPrinterStatus::StatusFilePath() const
{
    return ::StatusFilePath(stPrinter.stInfo.strPrinterName);
}

bool TrdGetPrinterStatus::ReadServed(stPrinterInfo &info, int &status)
{
    QMutexLocker lock(pListLock);
    if (iIndex < 0 || iIndex >= pPrinterList->size())
        return false;
    info = pPrinterList->at(iIndex).stInfo;
    status = pPrinterList->at(iIndex).stState.enCurrentStatus;
    return true;
}

bool TrdGetPrinterStatus::DecideServed(const stPrinterInfo &info, int status, int &interval)
{
    return DecideNeedStatus(
        info.iConnectType, status,
        [&] { return GetCupsPrinterSendingCached(stCups, info.strPrinterName); }, interval);
}

bool TrdGetPrinterStatus::CheckNeedStatus(int &interval)
{
    stPrinterInfo info;
    int status = PS_OFFLINE;
    return ReadServed(info, status) && DecideServed(info, status, interval);
}

bool TrdGetPrinterStatus::CheckRecvBufChange(const unsigned char *buf, unsigned long len)
{
    if (len == iLastRecvLen && memcmp(buf, szLastRecvBuf, len) == 0)
        return false;
    const unsigned long kept = len < sizeof szLastRecvBuf ? len : sizeof szLastRecvBuf;
    iLastRecvLen = uint32_t(kept);
    memcpy(szLastRecvBuf, buf, kept);
    return true;
}

int TrdGetPrinterStatus::CheckPrinterStatus(const unsigned char *buf, unsigned long len)
{
    const QString path = StatusFilePath();
    // The cache always learns the reply, also when a missing file forces the write, so
    // that the next identical reply leaves the file and its modification time alone.
    const bool changed = CheckRecvBufChange(buf, len);
    if (changed || !QFile::exists(path)) {
        MakePathExist(OrvoCfgPath());
        // Replaced by rename, so a reader never sees a half-written reply. The temporary name
        // is the worker's own: right after a rebuild two workers may serve the same queue.
        const QString tmp = OrvoCfgPath() + QString(".status_%1.part").arg(iIndex);
        QFile out(tmp);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            const bool ok = out.write(reinterpret_cast<const char *>(buf), qint64(len)) == qint64(len);
            out.close();
            if (!ok || ::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0)
                QFile::remove(tmp);
        }
    }

    UtilPrinterStatus parser;
    if (!parser.parseRecvBuf(buf, len))
        return -1;
    stPrinterState state;
    FillPrinterState(parser, state);
    const auto now = [] { return QTime::currentTime().toString("hh:mm:ss.zzz"); };
    if (!parser.listErrorCode.isEmpty())
        qDebug().noquote() << now() << "error" << parser.listErrorCode.first();
    if (!parser.listWarningCode.isEmpty())
        qDebug().noquote() << now() << "warn" << parser.listWarningCode.first();
    stPrinter.stState = state;
    return 0;
}

void TrdGetPrinterStatus::SlotTaskStart()
{
    if (bTaskStarted)
        return;
    bTaskStarted = true;

    for (;;) {
        int interval = 1000;
        stPrinterInfo info;
        int status = PS_OFFLINE;
        if (!ReadServed(info, status)) {
            // No printer at this position: none is kept open for it either.
            ForgetUsbPrinter();
            if (WaitForSleep(1000))
                return;
            continue;
        }
        if (!DecideServed(info, status, interval)) {
            if (WaitIdle(interval))
                return;
            continue;
        }
        if (!TakeElement())
            continue;
        if (stPrinter.bInfoReady)
            QueryPrinter();
        RunJobChecks(interval);
        WriteBack();
    }
}

bool TrdGetPrinterStatus::WaitIdle(int interval)
{
    // An idle ready network printer is asked for again only when the scheduler starts sending
    // it a job, which its events announce, or when the list is rebuilt, which wakes the wait.
    const qint64 seen = stCups.iSendingGeneration;
    if (seen < 0)
        return WaitForSleep(interval);
    WaitCupsQueueGeneration(stCups.strQueue, seen, c_iIdleWaitMs);
    return IsQuitRequested();
}

void TrdGetPrinterStatus::RunJobChecks(int interval)
{
    QElapsedTimer cycle;
    cycle.start();
    int check = 0;
    while (check < 10) {
        CheckJobStatus();
        const qint64 seen = stCups.iJobsGeneration;
        if (seen >= 0 && !IsQuitRequested()) {
            // The scheduler's events serve: the queue's jobs change only with an event of the
            // queue, so the next check waits for one (or for the cycle's end) instead of
            // finding again what this one found.
            const qint64 left = interval - cycle.elapsed();
            if (left <= 0)
                break;
            WaitCupsQueueGeneration(stPrinter.stInfo.strPrinterName, seen, int(left));
            if (cycle.elapsed() >= interval)
                break;
            check = JobCheckIndex(interval, cycle.elapsed());
            continue;
        }
        // Each pause ends a tenth of the interval after the previous one, not after the job
        // check: time spent asking the scheduler does not stretch the printer's cycle.
        WaitForSleep(JobCheckPauseMs(interval, check, cycle.elapsed()));
        ++check;
    }
}

bool TrdGetPrinterStatus::TakeElement()
{
    QMutexLocker lock(pListLock);
    if (iIndex < 0 || iIndex >= pPrinterList->size())
        return false;
    stPrinter = pPrinterList->at(iIndex);
    return true;
}

void TrdGetPrinterStatus::QueryPrinter()
{
    const QByteArray name = stPrinter.stInfo.strPrinterName.toLocal8Bit();
    const auto logTry = [&name] {
        WriteStringLog(c_szSource, 716, "SlotTaskStart", "try to connect %s", name.constData());
    };
    int ret;
    if (stPrinter.stInfo.iConnectType == CONNECT_USB) {
        logTry();
        ret = GetPrinterStatusUSB(stPrinter.stInfo.strPort);
    } else {
        ForgetUsbPrinter();  // the position held a USB printer before the list was rebuilt
        // The line is written while the datagram is on its way: it is in the log before the
        // reply is handled, as if written before asking.
        ret = GetPrinterStatusUDP(stPrinter.stInfo.strPort, logTry);
    }
    if (ret < 0)
        HandleQueryFailure(ret);
}

void TrdGetPrinterStatus::HandleQueryFailure(int ret)
{
    WriteStringLog(c_szSource, 731, "SlotTaskStart", "connect %s fail, ret = %d",
                   stPrinter.stInfo.strPrinterName.toLocal8Bit().constData(), ret);
    // Readers take a missing status file for an off-line printer.
    if (ApplyQueryFailure(stPrinter.stState, stPrinter.stInfo.iConnectType, ret))
        QFile::remove(StatusFilePath());
}

void TrdGetPrinterStatus::WriteBack()
{
    QMutexLocker lock(pListLock);
    if (iIndex < 0 || iIndex >= pPrinterList->size())
        return;
    stPrinterManager &element = (*pPrinterList)[iIndex];
    // A list rebuilt for other printers meanwhile drops this cycle's results; the ready flag
    // is the device manager's, never the working copy's.
    if (IsSamePrinter(element.stInfo, stPrinter.stInfo)) {
        stPrinter.bInfoReady = element.bInfoReady;
        element = stPrinter;
    }
}
