// The status watch: one thread with an event loop that watches the status folder, the
// printer list file and every shown printer's status file, and does the once-a-second
// check of every row's status file for all rows. A row's worker is woken only when its
// cycle can change something (the file changed, is missing or failed to parse, or the
// printer is shown off-line), so that idle rows cost one file-information query a second
// and no thread wake-up.
#pragma once
#include "ToolPrinterList.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include <atomic>

class QFileSystemWatcher;
class TrdDeviceManage;
class TrdGetPrinterStatus;

// The period of the status check.
constexpr int c_iStatusCheckMs = 1000;

struct stWatchRow {
    QString strPath;  // the row's status file
    TrdGetPrinterStatus *pWorker = nullptr;  // the row's status worker
};

class TrdStatusWatch : public QObject {
    Q_OBJECT
public:
    TrdStatusWatch(stToolPrinterList *pPrinterList, TrdDeviceManage *pDeviceManage);

    // From the GUI thread, once the table shows a new list: the rows to serve from now on.
    void SetRows(const QList<stWatchRow> &rows);
    // From another thread: the files and folders watched now.
    QStringList WatchedPaths();
    // Periodic checks of all rows made so far (read from any thread).
    int CheckCount() const { return iCheckCount; }

public slots:
    // In the watch's thread: sets up the file watch and the periodic check.
    void SlotStart();

private:
    struct stRowCheck {
        QByteArray strFile;  // the status file's path, encoded for the system
        TrdGetPrinterStatus *pWorker;
        qint64 llModifiedNs;  // at the last check; -1 missing, -2 not checked yet
    };

    // Watches every wanted file that exists and is not watched yet; returns those.
    QStringList WatchFiles();
    void WakeReaders(const QString &path);
    void CheckRows();
    void ApplyRows(const QList<stWatchRow> &rows);
    void SlotFileChanged(const QString &path);
    void SlotFolderChanged();

    stToolPrinterList *pPrinterList;
    TrdDeviceManage *pDeviceManage;
    QFileSystemWatcher *pWatcher = nullptr;
    QList<stRowCheck> listRow;  // index = row
    QHash<QString, QList<int>> hashStatusFileRows;  // status file path -> rows showing it
    std::atomic_int iCheckCount{0};
};
