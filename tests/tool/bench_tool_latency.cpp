// Measures how long a change of a simulated printer takes to reach the tool's row: the
// service's poll, its status file, the tool's poll and the table update. With "file" first,
// how long a status file written as the service writes it (renamed over the old one) takes
// to reach the row, without service or simulator; "file CHANGES ROWS IDLE_SECONDS" does so
// with ROWS printers listed (each change on a random row) and then leaves the tool idle for
// IDLE_SECONDS and prints its CPU share and threads. Prints one line per change and then the
// median and the worst, in milliseconds.
#include "ToolEntry.h"
#include "tool-fixture.h"
#include "tool-sim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>
#include <QDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {
bool WaitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    return true;
}

// Nanoseconds every thread of this process has run (the scheduler's own clock).
qint64 RunTimeNs()
{
    qint64 total = 0;
    for (const QString &task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f("/proc/self/task/" + task + "/schedstat");
        if (f.open(QIODevice::ReadOnly))
            total += f.readAll().split(' ').value(0).toLongLong();
    }
    return total;
}

QByteArray ProcStatus(const QByteArray &key)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key + ":"))
            return line.mid(key.size() + 1).trimmed();
    }
    return {};
}
}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    RegisterToolResources();
    const bool fileMode = argc > 1 && QByteArray(argv[1]) == "file";
    const int changes = argc > 1 + int(fileMode) ? atoi(argv[1 + int(fileMode)]) : 20;
    const int rows = fileMode && argc > 3 ? qMax(1, atoi(argv[3])) : 1;
    const int idleSeconds = fileMode && argc > 4 ? atoi(argv[4]) : 0;
    const auto nameOf = [&](int row) {
        return fileMode ? (row ? QString("Orvo-File%1").arg(row) : QString("Orvo-File")) : QString("Orvo-USB");
    };
    stSimPrinter file;
    const auto writeFile = [&](int row) {
        const QString printer = nameOf(row);
        const QString part = StatusFilePath(printer + ".part");
        return WriteStatusFile(printer + ".part", BuildResponse(file))
               && ::rename(QFile::encodeName(part).constData(), QFile::encodeName(StatusFilePath(printer)).constData()) == 0;
    };
    if (fileMode) {
        file.iBlack = 80;
        QList<stPrinterInfo> infos;
        for (int row = 0; row < rows; ++row) {
            infos << MakeInfo(nameOf(row), CONNECT_USB, QString("Orvo/K20NW?serial=F%1").arg(row));
            if (!writeFile(row))
                return 1;
        }
        WritePrinterList(infos);
    }
    TestToolWidget w;
    if (!WaitFor([&] { return CellText(w, rows - 1, 3) == QString("就绪") && CellText(w, 0, 3) == QString("就绪"); },
                 30000)) {
        fprintf(stderr, "the rows never showed the printers ready\n");
        return 1;
    }
    QList<qint64> latencies;
    for (int i = 0; i < changes; ++i) {
        // Flip black between high and low on a random row (the only row without "file"), at a
        // random phase of both polling periods.
        QThread::msleep(QRandomGenerator::global()->bounded(300, 1800));
        QCoreApplication::processEvents();
        const int row = rows > 1 ? int(QRandomGenerator::global()->bounded(rows)) : 0;
        const bool low = !CellText(w, row, 2).endsWith(QString("黑色：低"));
        const QString want = low ? QString("黑色：低") : QString("黑色：高");
        QElapsedTimer t;
        t.start();
        file.iBlack = low ? 5 : 80;
        if (fileMode ? !writeFile(row) : !SimCtl({"set", "ink", "p1", low ? "5" : "80", "60", "40", "20"})) {
            fprintf(stderr, "simulator control failed\n");
            return 1;
        }
        if (!WaitFor([&] { return CellText(w, row, 2).endsWith(want); }, 10000)) {
            fprintf(stderr, "change %d never reached the row\n", i + 1);
            return 1;
        }
        latencies << t.elapsed();
        printf("change %2d: %lld ms\n", i + 1, latencies.last());
        fflush(stdout);
    }
    QList<qint64> sorted = latencies;
    std::sort(sorted.begin(), sorted.end());
    const int n = int(sorted.size());
    const double median = n % 2 ? double(sorted.at(n / 2)) : (sorted.at(n / 2 - 1) + sorted.at(n / 2)) / 2.0;
    printf("latency over %d changes (%d rows): median %.0f ms, worst %lld ms\n", n, rows, median, sorted.last());
    if (idleSeconds > 0) {
        // Idle: the event loop alone runs this thread, as in the installed tool.
        const qint64 ran = RunTimeNs();
        QElapsedTimer wall;
        wall.start();
        QTimer::singleShot(idleSeconds * 1000, &app, &QCoreApplication::quit);
        app.exec();
        const double share = 100.0 * double(RunTimeNs() - ran) / (double(wall.nsecsElapsed()));
        printf("tool idle %d s with %d rows: CPU %.3f %% of one core, %s threads, RSS %s\n", idleSeconds, rows, share,
               ProcStatus("Threads").constData(), ProcStatus("VmRSS").constData());
    }
    return 0;
}
