// A printer that starts cancelling makes its status worker cancel the queue's current job
// in the real cupsd, once per change to "cancelling".
#include "orvo-spawn.h"
#include "tool-fixture.h"

#include <QTemporaryDir>
#include <QtTest>

class TstToolCancel : public QObject {
    Q_OBJECT
private slots:
    void cancelOnTransition();
};

namespace {
// The queue's jobs that are not completed, one line each ("queue-id user size date").
QStringList OpenJobs(const QString &queue)
{
    QTemporaryDir dir;
    const QString out = dir.path() + "/lpstat.txt";
    RunCommand({"lpstat", "-o", queue}, out);
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList jobs;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (!line.trimmed().isEmpty())
            jobs << QString::fromUtf8(line.split(' ').first());
    }
    return jobs;
}
}  // namespace

void TstToolCancel::cancelOnTransition()
{
    const QString queue = qEnvironmentVariable("ORVO_TEST_QUEUE");
    QVERIFY(!queue.isEmpty());
    QStringList jobs = OpenJobs(queue);
    QCOMPARE(jobs.size(), 2);
    const QString secondJob = jobs.at(1);

    stToolPrinterList list;
    list.listPrinter = GetInitPrinterList({MakeInfo(queue, CONNECT_USB, "Orvo/K20NW?serial=C")});
    TrdGetPrinterStatus worker;
    worker.Init(0, &list);

    stSimPrinter p;
    p.byStatus = 0x10;  // printing
    QVERIFY(WriteStatusFile(queue, BuildResponse(p)));
    QVERIFY(worker.CheckPrinterStatusOnce());
    QCOMPARE(OpenJobs(queue), jobs);

    p.byStatus = 0x03;  // cancelling
    QVERIFY(WriteStatusFile(queue, BuildResponse(p)));
    QVERIFY(worker.CheckPrinterStatusOnce());
    QCOMPARE(list.listPrinter[0].stState.enCurrentStatus, PS_CANCELING_JOB);
    QTRY_COMPARE_WITH_TIMEOUT(OpenJobs(queue), QStringList({secondJob}), 5000);

    // Still cancelling, even with other changes: no further cancel.
    p.iBlack = 40;
    QVERIFY(WriteStatusFile(queue, BuildResponse(p)));
    QVERIFY(worker.CheckPrinterStatusOnce());
    QVERIFY(WriteStatusFile(queue, BuildResponse(p)));
    QVERIFY(!worker.CheckPrinterStatusOnce());
    // "cancel" runs to its end within the check: nothing more can come later.
    QCOMPARE(OpenJobs(queue), QStringList({secondJob}));

    // A new change to cancelling cancels the job that is now current.
    p.byStatus = 0x00;
    QVERIFY(WriteStatusFile(queue, BuildResponse(p)));
    QVERIFY(worker.CheckPrinterStatusOnce());
    QCOMPARE(OpenJobs(queue), QStringList({secondJob}));
    p.byStatus = 0x03;
    QVERIFY(WriteStatusFile(queue, BuildResponse(p)));
    QVERIFY(worker.CheckPrinterStatusOnce());
    QTRY_VERIFY_WITH_TIMEOUT(OpenJobs(queue).isEmpty(), 5000);
}

QTEST_MAIN(TstToolCancel)
#include "tst_tool_cancel.moc"
