// The printer table: one row per record of the printer list, one status worker per row.
#include "orvoprintertoolwidget.h"
#include "ToolBalloon.h"
#include "TrdGetPrinterStatus.h"
#include "TrdStatusWatch.h"
#include "orvo-log.h"
#include "orvo-paths.h"
#include "orvo-statustext.h"
#include "orvo-statusview.h"

#include <QHeaderView>
#include <QMutexLocker>
#include <QResizeEvent>
#include <QStringList>
#include <QTableWidget>
#include <QThread>

#define TOOL_LOG(fn, ...) WriteStringLog("OrvoPrinterTool/orvoprintertoolwidget", __LINE__, fn, __VA_ARGS__)

namespace {
QString JoinCodes(const QList<enErrorStatus> &codes)
{
    QStringList parts;
    for (enErrorStatus code : codes)
        parts << QString::number(int(code));
    return parts.join(",");
}

// The English ink line is too long for one line of the ink column: it takes two, broken
// where the third ink begins (after the second double space), whatever the level words.
QString InkCellText(const stPrinterState &state, int language)
{
    QString line = GetInkLineText(state, language);
    if (language == c_iLanguageEnglish) {
        const int cut = line.indexOf("  ", line.indexOf("  ") + 2);
        if (cut > 0)
            line.replace(cut, 2, '\n');
    }
    return line;
}
}  // namespace

void OrvoPrinterToolWidget::InitDeviceTable()
{
    TOOL_LOG("InitDeviceTable", "InitDeviceTable start");
    QTableWidget *table = pForm->tableDeviceManage;
    table->setColumnCount(4);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setSectionsClickable(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setHorizontalHeaderLabels({tr("打印机名称"), tr("连接方式"),
                                      tr("剩余墨水量"), tr("状态")});
    // English words are wider than the Chinese characters, in a window of the same size: the
    // English ink line takes two lines of a narrower ink column, and the status column
    // stretches over the rest (about 280 pixels), where the longest error text takes three
    // lines. English rows take their texts' height. The last width is the status column's
    // least: more would push it past the table's edge once the scroll bar comes.
    const bool english = iLanguageIndex == c_iLanguageEnglish;
    table->setColumnWidth(0, english ? 110 : 120);
    table->setColumnWidth(1, english ? 190 : 150);
    table->setColumnWidth(2, english ? 225 : 345);
    table->setColumnWidth(3, 185);
    if (english) {
        // Rows fitted to their text keep at least the height of a one-line row.
        table->verticalHeader()->setMinimumSectionSize(table->verticalHeader()->defaultSectionSize());
        // The status column narrows with the table's view (see eventFilter).
        table->viewport()->installEventFilter(this);
    }
    TOOL_LOG("InitDeviceTable", "InitDeviceTable end");
}

// The table's view narrows when more rows than the window holds bring the scroll bar, and
// the stretching status column with it: a status text may then take another line. The rows
// are fitted again once the table has laid its columns out for the new width.
bool OrvoPrinterToolWidget::eventFilter(QObject *watched, QEvent *event)
{
    // Only the table's view is watched (InitDeviceTable, English only): the table is its parent.
    auto *table = qobject_cast<QTableWidget *>(watched->parent());
    if (table && event->type() == QEvent::Resize) {
        const auto *resize = static_cast<const QResizeEvent *>(event);
        if (resize->size().width() != resize->oldSize().width())
            QMetaObject::invokeMethod(table, &QTableWidget::resizeRowsToContents, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

void OrvoPrinterToolWidget::AddStatusWorker(int index)
{
    auto *worker = new TrdGetPrinterStatus;
    auto *thread = new QThread;
    worker->moveToThread(thread);
    worker->Init(index, &stPrinterList);
    connect(this, &OrvoPrinterToolWidget::SgnStatusThreadStart, worker, &TrdGetPrinterStatus::SlotTaskStart);
    connect(this, &OrvoPrinterToolWidget::SgnThreadQuit, worker, &TrdGetPrinterStatus::SlotThreadQuit);
    connect(worker, &TrdGetPrinterStatus::SgnUpdatePrinterStatus, this, &OrvoPrinterToolWidget::SlotUpdatePrinterStatus);
    // Set up completely before its thread runs: starting the thread hands the worker over.
    thread->start(QThread::InheritPriority);
    emit SgnStatusThreadStart();
    listStatusWorker.append(worker);
    listStatusThread.append(thread);
}

void OrvoPrinterToolWidget::SlotUpdatePrinterList()
{
    QList<stPrinterManager> list;
    {
        QMutexLocker lock(&stPrinterList.mutexList);
        list = stPrinterList.listPrinter;
    }
    const int n = list.size();
    QTableWidget *table = pForm->tableDeviceManage;
    table->clearContents();
    table->setRowCount(n);
    const stPrinterState offline;
    for (int i = 0; i < n; ++i) {
        const stPrinterInfo &info = list.at(i).stInfo;
        table->setItem(i, 0, new QTableWidgetItem(info.strPrinterName));
        table->setItem(i, 1, new QTableWidgetItem(GetConnectText(info, iLanguageIndex)));
        table->setItem(i, 2, new QTableWidgetItem(InkCellText(offline, iLanguageIndex)));
        table->setItem(i, 3, new QTableWidgetItem(GetStatusText(PS_OFFLINE, iLanguageIndex)));
    }
    // Every row has new texts: English rows take their height (two lines of ink at least).
    if (iLanguageIndex == c_iLanguageEnglish)
        table->resizeRowsToContents();
    // Workers are never removed: surplus ones idle and serve their row again when the list
    // grows back, so there are never more workers than the longest list seen.
    for (int i = int(listStatusWorker.size()); i < n; ++i)
        AddStatusWorker(i);
    iStatusThreadCount = n;
    QList<stWatchRow> rows;
    for (int i = 0; i < n; ++i)
        rows.append({StatusFilePath(list.at(i).stInfo.strPrinterName), listStatusWorker.at(i)});
    pStatusWatch->SetRows(rows);
    DebugOutputPrinterInfo();
}

void OrvoPrinterToolWidget::SlotUpdatePrinterStatus(int row)
{
    stPrinterManager record;
    if (!ToolPrinterAt(stPrinterList, row, record))
        return;
    QTableWidget *table = pForm->tableDeviceManage;
    if (row >= table->rowCount() || !table->item(row, 2) || !table->item(row, 3))
        return;

    table->item(row, 2)->setText(InkCellText(record.stState, iLanguageIndex));
    // Only errors and warnings that were not there at the printer's last update are announced.
    const stTrayBalloon balloon = GetStatusBalloon(record.stState, hashAnnounced.value(record.stInfo.strPrinterName),
                                                   iLanguageIndex);
    hashAnnounced.insert(record.stInfo.strPrinterName, record.stState);
    if (balloon.bShow)
        ShowTrayMessage(record.stInfo.strPrinterName, balloon.strText, balloon.enIcon, c_iBalloonMs);
    // Its tip shows the status text whole, should a desktop's font still make it too long.
    const QString status = GetStatusCellText(record.stState, iLanguageIndex);
    QTableWidgetItem *cell = table->item(row, 3);
    const bool changed = cell->text() != status;
    cell->setText(status);
    cell->setToolTip(status);
    // An English status can take up to three lines: the row takes its texts' height when the
    // status text changes (one row's cells measured, not the table's; the ink line keeps its
    // two lines whatever its words).
    if (changed && iLanguageIndex == c_iLanguageEnglish)
        table->resizeRowToContents(row);
    DebugOutputPrinterStatus(row);
}

void OrvoPrinterToolWidget::DebugOutputPrinterInfo()
{
    QMutexLocker lock(&stPrinterList.mutexList);
    const QList<stPrinterManager> &list = stPrinterList.listPrinter;
    TOOL_LOG("DebugOutputPrinterInfo", "printer number=%d", int(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        const QByteArray name = list.at(i).stInfo.strPrinterName.toLocal8Bit();
        const QByteArray port = list.at(i).stInfo.strPort.toLocal8Bit();
        const QByteArray model = list.at(i).stInfo.strModelName.toLocal8Bit();
        TOOL_LOG("DebugOutputPrinterInfo", "printer[%d] %s=%s", i, name.constData(), port.constData());
        TOOL_LOG("DebugOutputPrinterInfo", "%s: enType=%s", name.constData(), model.constData());
        TOOL_LOG("DebugOutputPrinterInfo", "%s: iConnectType=%d", name.constData(), list.at(i).stInfo.iConnectType);
    }
}

void OrvoPrinterToolWidget::DebugOutputPrinterStatus(int row)
{
    stPrinterManager record;
    if (!ToolPrinterAt(stPrinterList, row, record))
        return;
    const stPrinterState &s = record.stState;
    const QByteArray name = record.stInfo.strPrinterName.toLocal8Bit();
    const char *n = name.constData();
    const char *fn = "DebugOutputPrinterStatus";
    TOOL_LOG(fn, "printer[%d]=%s", row, n);
    TOOL_LOG(fn, "%s: strPrinterSerialNumber=%s", n, s.strPrinterSerialNumber.toLocal8Bit().constData());
    TOOL_LOG(fn, "%s: enCurrentStatus=%d", n, int(s.enCurrentStatus));
    TOOL_LOG(fn, "%s: strFWVersion=%s", n, s.strFWVersion.toLocal8Bit().constData());
    TOOL_LOG(fn, "%s: strVenderName=%s", n, s.strVenderName.toLocal8Bit().constData());
    TOOL_LOG(fn, "%s: strProductName=%s", n, s.strProductName.toLocal8Bit().constData());
    TOOL_LOG(fn, "%s: iNumberOfError=%d", n, int(s.listError.size()));
    TOOL_LOG(fn, "%s: iNumberOfWarning=%d", n, int(s.listWarning.size()));
    TOOL_LOG(fn, "%s: error code=%s", n, JoinCodes(s.listError).toLocal8Bit().constData());
    TOOL_LOG(fn, "%s: warning code=%s", n, JoinCodes(s.listWarning).toLocal8Bit().constData());
    TOOL_LOG(fn, "%s: strSupplySerialNumber=%s", n, s.strSupplySerialNumber.toLocal8Bit().constData());
    TOOL_LOG(fn, "%s: enSpplyType=%d", n, s.enSpplyType);
    const struct {
        const char *key;
        uint64_t value;
    } counters[] = {
        {"dwRemainingToner", s.dwRemainingToner},
        {"dwWasteToner", s.dwWasteToner},
        {"dwBlackInkRemainer", s.dwBlackInkRemainer},
        {"dwBlueInkRemainer", s.dwBlueInkRemainer},
        {"dwRedInkRemainer", s.dwRedInkRemainer},
        {"dwYellowInkRemainer", s.dwYellowInkRemainer},
        {"dwOPCRotation", s.dwOPCRotation},
        {"dwNumberOfPages", s.dwNumberOfPages},
        {"dwNumberOfPrint", s.dwNumberOfPrint},
        {"dwPrintDotsCount", s.dwPrintDotsCount},
        {"dwPrinterNumOfPages", s.dwPrinterNumOfPages},
        {"dwPrinterNumOfPrint", s.dwPrinterNumOfPrint},
    };
    for (const auto &c : counters)
        TOOL_LOG(fn, "%s: %s=%lu", n, c.key, (unsigned long)c.value);
}
