#include "TrdStatusWatch.h"
#include "TrdDeviceManage.h"
#include "TrdGetPrinterStatus.h"
#include "orvo-paths.h"
#include "orvo-printerlist.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QMutexLocker>
#include <QSet>
#include <QTimer>
#include <QVector>

#include <sys/stat.h>

namespace {
// The file's modification time in nanoseconds; -1 when it cannot be queried (missing).
qint64 ModifiedNs(const QByteArray &path)
{
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return -1;
    return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}
}  // namespace

TrdStatusWatch::TrdStatusWatch(stToolPrinterList *list, TrdDeviceManage *deviceManage)
    : pPrinterList(list), pDeviceManage(deviceManage)
{
}

void TrdStatusWatch::SetRows(const QList<stWatchRow> &rows)
{
    QMetaObject::invokeMethod(
        this, [this, rows] { ApplyRows(rows); }, Qt::QueuedConnection);
}

QStringList TrdStatusWatch::WatchedPaths()
{
    QStringList paths;
    QMetaObject::invokeMethod(
        this, [this, &paths] { paths = pWatcher ? pWatcher->files() + pWatcher->directories() : QStringList(); },
        Qt::BlockingQueuedConnection);
    return paths;
}

// The service replaces a status file by renaming a new one over it, which ends the watch
// of the old file: the folder's change then adds the new one. The periodic check stays as
// it was, for changes a watch misses.
void TrdStatusWatch::SlotStart()
{
    pWatcher = new QFileSystemWatcher(this);
    connect(pWatcher, &QFileSystemWatcher::directoryChanged, this, &TrdStatusWatch::SlotFolderChanged);
    connect(pWatcher, &QFileSystemWatcher::fileChanged, this, &TrdStatusWatch::SlotFileChanged);
    // The folder may not exist before the service first runs.
    auto *retry = new QTimer(this);
    connect(retry, &QTimer::timeout, this, &TrdStatusWatch::SlotFolderChanged);
    retry->start(3000);
    auto *check = new QTimer(this);
    connect(check, &QTimer::timeout, this, &TrdStatusWatch::CheckRows);
    check->start(c_iStatusCheckMs);
    WatchFiles();
}

void TrdStatusWatch::ApplyRows(const QList<stWatchRow> &rows)
{
    listRow.clear();
    hashStatusFileRows.clear();
    for (int i = 0; i < rows.size(); ++i) {
        listRow.append({QFile::encodeName(rows.at(i).strPath), rows.at(i).pWorker, -2});
        hashStatusFileRows[rows.at(i).strPath] << i;
    }
    SlotFolderChanged();
    // A new list starts every printer off-line: each row rereads its file at once.
    CheckRows();
}

// Linear in the rows: with hundreds of printers a change must not compare every wanted
// path with every watched one.
QStringList TrdStatusWatch::WatchFiles()
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

void TrdStatusWatch::WakeReaders(const QString &path)
{
    if (path == PrinterListFilePath()) {
        pDeviceManage->Wake();
        return;
    }
    for (int row : hashStatusFileRows.value(path))
        listRow.at(row).pWorker->Wake();
}

void TrdStatusWatch::SlotFileChanged(const QString &path)
{
    WakeReaders(path);
    // A file replaced by a rename is no longer watched: watch the new one.
    if (!pWatcher->files().contains(path) && QFileInfo::exists(path))
        pWatcher->addPath(path);
}

void TrdStatusWatch::SlotFolderChanged()
{
    for (const QString &path : WatchFiles())
        WakeReaders(path);
}

// A row's cycle does nothing when its file is unchanged and was read without failure while
// the printer is shown on-line, nor when the file is missing for a printer already shown
// off-line with no error or warning left to clear: those rows are not woken. Every other
// row gets its counted cycle, as if its worker had looked itself.
void TrdStatusWatch::CheckRows()
{
    struct stShown {
        bool bOffline = true;
        bool bClear = true;  // no error, no warning shown
        bool bFailing = false;  // the last cycle failed
    };
    QVector<stShown> shown(listRow.size());
    {
        QMutexLocker lock(&pPrinterList->mutexList);
        const int n = qMin(int(listRow.size()), int(pPrinterList->listPrinter.size()));
        for (int i = 0; i < n; ++i) {
            const stPrinterState &s = pPrinterList->listPrinter.at(i).stState;
            shown[i] = {s.enCurrentStatus == PS_OFFLINE, s.listError.isEmpty() && s.listWarning.isEmpty(),
                        s.iFailCount > 0};
        }
    }
    for (int i = 0; i < listRow.size(); ++i) {
        stRowCheck &row = listRow[i];
        const stShown &s = shown.at(i);
        const qint64 modified = ModifiedNs(row.strFile);
        const bool changed = modified != row.llModifiedNs;
        row.llModifiedNs = modified;
        const bool idle = modified < 0 ? s.bOffline && s.bClear : !changed && !s.bOffline && !s.bFailing;
        if (!idle)
            row.pWorker->Wake(c_uWakeCycle);
    }
    ++iCheckCount;
}
