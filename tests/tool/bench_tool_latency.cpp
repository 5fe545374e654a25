// Measures how long a change of a simulated printer takes to reach the tool's row: the
// service's poll, its status file, the tool's poll and the table update. With "file" first,
// how long a status file written as the service writes it (renamed over the old one) takes
// to reach the row, without service or simulator. Prints one line per change and then the
// median and the worst, in milliseconds.
#include "ToolEntry.h"
#include "tool-fixture.h"
#include "tool-sim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>
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
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    RegisterToolResources();
    const bool fileMode = argc > 1 && QByteArray(argv[1]) == "file";
    const int changes = argc > 1 + int(fileMode) ? atoi(argv[1 + int(fileMode)]) : 20;
    const QString printer = fileMode ? QString("Orvo-File") : QString("Orvo-USB");
    stSimPrinter file;
    const auto writeFile = [&] {
        const QString part = StatusFilePath(printer + ".part");
        return WriteStatusFile(printer + ".part", BuildResponse(file))
               && ::rename(QFile::encodeName(part).constData(), QFile::encodeName(StatusFilePath(printer)).constData()) == 0;
    };
    if (fileMode) {
        file.iBlack = 80;
        WritePrinterList({MakeInfo(printer, CONNECT_USB, "Orvo/K20NW?serial=F1")});
        if (!writeFile())
            return 1;
    }
    TestToolWidget w;
    if (!WaitFor([&] { return CellText(w, 0, 3) == QString("就绪"); }, 20000)) {
        fprintf(stderr, "the row never showed the printer ready\n");
        return 1;
    }
    QList<qint64> latencies;
    for (int i = 0; i < changes; ++i) {
        // Alternate black between high and low, at a random phase of both polling periods.
        const bool low = i % 2 == 0;
        const QString word = low ? QString("黑色：低") : QString("黑色：高");
        QThread::msleep(QRandomGenerator::global()->bounded(300, 1800));
        QCoreApplication::processEvents();
        QElapsedTimer t;
        t.start();
        file.iBlack = low ? 5 : 80;
        if (fileMode ? !writeFile() : !SimCtl({"set", "ink", "p1", low ? "5" : "80", "60", "40", "20"})) {
            fprintf(stderr, "simulator control failed\n");
            return 1;
        }
        if (!WaitFor([&] { return CellText(w, 0, 2).endsWith(word); }, 10000)) {
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
    printf("latency over %d changes: median %.0f ms, worst %lld ms\n", n, median, sorted.last());
    return 0;
}
