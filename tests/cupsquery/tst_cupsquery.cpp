// The scheduler's facts asked in-process give the decisions that the "lpstat" text gave:
// the text parser of the job monitor and of the CUPS check is kept here as the reference
// and run on the real output of the private scheduler, scenario by scenario.
#include "orvo-cupsevents.h"
#include "orvo-cupslink.h"
#include "orvo-cupsquery.h"
#include "orvo-jobstate.h"
#include "orvo-log.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cups/ipp.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {
struct stReference {
    QList<stJobState> listPrinting;
    QStringList listCancel;
};

// The job monitor's parser of "lpstat -u USER -W all -l -o QUEUE".
stReference ParseListing(const QByteArray &listing, const QList<stJobState> &previous)
{
    stReference ref;
    stJobState current;
    bool processingSeen = false;
    const auto isAlerts = [](const QString &l) { return l.startsWith("Alerts:") || l.startsWith(QString::fromUtf8("警告")); };
    const auto isStatus = [](const QString &l) { return l.startsWith("Status:") || l.startsWith(QString::fromUtf8("状态")); };
    for (const QByteArray &bytes : listing.split('\n')) {
        const QString raw = QString::fromUtf8(bytes);
        if (raw.isEmpty())
            continue;
        if (!raw.startsWith('\t')) {
            const QStringList fields = raw.trimmed().split(' ', Qt::SkipEmptyParts);
            if (fields.size() >= 4) {
                current.strJobID = fields.at(0);
                current.iJobState = JOB_LISTED;
                processingSeen = false;
            }
            continue;
        }
        const QString line = raw.trimmed();
        if (isAlerts(line)) {
            if (line.contains("none")) {
                current.iJobState = JOB_NO_ALERTS;
            } else if (line.contains("job-printing") || line.contains("processing-to-stop-point")) {
                current.iJobState = JOB_PRINTING;
                ref.listPrinting.append(current);
            } else if (line.contains("job-canceled-by-user")) {
                current.iJobState = JOB_CANCELED_BY_USER;
                for (const stJobState &seen : previous) {
                    if (seen.strJobID == current.strJobID && seen.iJobState == JOB_PRINTING) {
                        ref.listCancel << current.strJobID;
                        break;
                    }
                }
            } else if (processingSeen) {
                current.iJobState = JOB_PRINTING;
                ref.listPrinting.append(current);
            } else {
                current.iJobState = JOB_OTHER_ALERT;
            }
        } else if (isStatus(line) && line.contains("Processing")) {
            processingSeen = true;
        }
    }
    return ref;
}

// The CUPS check's reading of the first line of "lpstat -p QUEUE".
bool ParseSending(const QByteArray &output)
{
    const QString first = QString::fromUtf8(output.left(output.indexOf('\n')));
    for (const char *word : {"printing", "正在打印", "正在连接", "processing"}) {
        if (first.contains(QString::fromUtf8(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QByteArray Run(const QStringList &argv, bool *ok = nullptr)
{
    QProcess p;
    p.start(argv.first(), argv.mid(1));
    const bool done = p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok)
        *ok = done;
    return p.readAllStandardOutput();
}

QString Ids(const QList<stJobState> &jobs)
{
    QStringList s;
    for (const stJobState &j : jobs)
        s << j.strJobID + ":" + QString::number(j.iJobState);
    return s.join(' ');
}

QString HomeUser()
{
    const QString home = QDir::homePath();
    return home.mid(home.lastIndexOf('/') + 1);
}
}  // namespace

class TestCupsQuery : public QObject {
    Q_OBJECT
    QString harness = qEnvironmentVariable("ORVO_HARNESS");
    QProcess sink;
    QString doc;

    bool AddQueue(const QString &name, const QString &uri)
    {
        bool ok = false;
        Run({"lpadmin", "-p", name, "-E", "-v", uri, "-P", harness + "/ppd/Orvo_K20NW.ppd"}, &ok);
        return ok;
    }
    // Submits a document; returns the job number, or 0.
    int Submit(const QString &queue, const QStringList &extra = {})
    {
        const QString out = QString::fromUtf8(Run(QStringList{"lp", "-d", queue} + extra + QStringList{doc}));
        const QRegularExpressionMatch m = QRegularExpression(QRegularExpression::escape(queue) + "-([0-9]+)").match(out);
        return m.hasMatch() ? m.captured(1).toInt() : 0;
    }
    static stCupsJob JobOf(const QString &queue, int id)
    {
        QList<stCupsJob> jobs;
        GetCupsJobs(queue, jobs);
        for (const stCupsJob &j : jobs) {
            if (j.iJobId == id)
                return j;
        }
        return stCupsJob();
    }
    static bool HasReason(const QString &queue, int id, const QString &reason)
    {
        return JobOf(queue, id).listReasons.contains(reason);
    }

    // One check both ways, for the service's own user and for root (whose unfinished
    // jobs on every queue lead the listing); returns the in-process result.
    stJobCheck SameJobs(const QString &queue, const QList<stJobState> &previous = {})
    {
        QList<stCupsJob> jobs;
        const bool answered = GetCupsJobs(queue, jobs);
        const stJobCheck mine = DeriveJobStates(queue, jobs, previous);
        [&] { QVERIFY(answered); }();
        for (const QString &user : {HomeUser(), QString("root")}) {
            const QByteArray listing = Run({"lpstat", "-u", user, "-W", "all", "-l", "-o", queue});
            const stReference ref = ParseListing(listing, previous);
            [&] {
                QCOMPARE(Ids(mine.listPrinting), Ids(ref.listPrinting));
                QCOMPARE(mine.listCancel, ref.listCancel);
            }();
        }
        return mine;
    }
    bool SameSending(const QString &queue)
    {
        const bool mine = GetCupsPrinterSending(queue);
        [&] { QCOMPARE(mine, ParseSending(Run({"lpstat", "-p", queue}))); }();
        return mine;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!harness.isEmpty(), "run inside the sandbox with --cups");
        doc = QDir::tempPath() + "/doc.txt";
        QFile f(doc);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("side by side\n");
        f.close();
        sink.start("python3", {harness + "/slowsink.py", "127.0.0.1", "9111", QDir::tempPath()});
        QVERIFY(sink.waitForReadyRead(10000));
        QVERIFY(sink.readAllStandardOutput().contains("listening"));
    }
    void cleanupTestCase()
    {
        sink.kill();
        sink.waitForFinished();
    }

    // A pure check of the "Processing" rule, which needs a backend message the private
    // scheduler does not produce: the listing text lpstat would print for these records.
    void processingStatusRule()
    {
        stCupsJob a;
        a.iJobId = 7;
        a.bHasReasons = true;
        a.listReasons = QStringList{"job-hold-until-specified"};
        a.bHasPrinterMessage = true;
        a.strPrinterMessage = "Processing page 1";
        stCupsJob b = a;
        b.iJobId = 8;
        b.strPrinterMessage = "processing page 1";
        stCupsJob c = a;
        c.iJobId = 9;
        c.bHasReasons = false;
        const QByteArray text =
            "Q-7    root    1024   Tue Dec  8 00:14:27 2026\n\tStatus: Processing page 1\n\tAlerts: job-hold-until-specified\n\tqueued for Q\n"
            "Q-8    root    1024   Tue Dec  8 00:14:27 2026\n\tStatus: processing page 1\n\tAlerts: job-hold-until-specified\n\tqueued for Q\n"
            "Q-9    root    1024   Tue Dec  8 00:14:27 2026\n\tStatus: Processing page 1\n\tqueued for Q\n";
        const stJobCheck mine = DeriveJobStates("Q", {a, b, c}, {});
        QCOMPARE(Ids(mine.listPrinting), Ids(ParseListing(text, {}).listPrinting));
        QCOMPARE(Ids(mine.listPrinting), QString("Q-7:1"));
        QCOMPARE(Ids(mine.listAll), QString("Q-7:1 Q-8:2 Q-9:4"));
    }

    void idleQueue()
    {
        QVERIFY(AddQueue("IDLE", "socket://127.0.0.1:9111/?snmp=false"));
        QVERIFY(!SameSending("IDLE"));
        QVERIFY(SameJobs("IDLE").listAll.isEmpty());
        QVERIFY(!GetCupsPrinterSending("NO_SUCH_QUEUE"));
        QList<stCupsJob> none;
        // The scheduler's refusal is logged with its text, once while it stays the same.
        QTemporaryDir logs;
        SetLogTarget(logs.path(), "log_t");
        SetLogEnable(true);
        QVERIFY(!GetCupsJobs("NO_SUCH_QUEUE", none));
        QVERIFY(!GetCupsJobs("NO_SUCH_QUEUE", none));
        QFile log(CurrentLogFile());
        SetLogEnable(false);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QCOMPARE(text.count("scheduler refused Get-Jobs: client-error-not-found"), 1);
    }

    // A usb:// queue whose device the scheduler never finds keeps its job printing; it
    // is then cancelled, and the next check asks for exactly one printer cancel.
    void printingThenCancelled()
    {
        QVERIFY(AddQueue("UPRINT", "usb://Orvo/K20NW?serial=X1"));
        const int id = Submit("UPRINT");
        QVERIFY(id > 0);
        QTRY_VERIFY_WITH_TIMEOUT(HasReason("UPRINT", id, "job-printing"), 10000);
        QVERIFY(SameSending("UPRINT"));
        const stJobCheck printing = SameJobs("UPRINT");
        QCOMPARE(Ids(printing.listPrinting), QString("UPRINT-%1:1").arg(id));

        Run({"cancel", QString("UPRINT-%1").arg(id)});
        QTRY_VERIFY_WITH_TIMEOUT(HasReason("UPRINT", id, "job-canceled-by-user"), 10000);
        const stJobCheck cancelled = SameJobs("UPRINT", printing.listPrinting);
        QCOMPARE(cancelled.listCancel, QStringList{QString("UPRINT-%1").arg(id)});
        QVERIFY(cancelled.listPrinting.isEmpty());
        // In the check after that the job is no longer carried: no second cancel.
        QVERIFY(SameJobs("UPRINT", cancelled.listPrinting).listCancel.isEmpty());
        QVERIFY(!SameSending("UPRINT"));
    }

    void heldThenCancelledWhileQueued()
    {
        QVERIFY(AddQueue("HELD", "usb://Orvo/K20NW?serial=X2"));
        const int id = Submit("HELD", {"-H", "hold"});
        QVERIFY(id > 0);
        QTRY_VERIFY_WITH_TIMEOUT(JobOf("HELD", id).iJobState == 4, 10000);
        QVERIFY(!SameSending("HELD"));
        const stJobCheck held = SameJobs("HELD");
        QCOMPARE(Ids(held.listAll), QString("HELD-%1:2").arg(id));
        Run({"cancel", QString("HELD-%1").arg(id)});
        QTRY_VERIFY_WITH_TIMEOUT(JobOf("HELD", id).iJobState == 7, 10000);
        const stJobCheck cancelled = SameJobs("HELD", held.listPrinting);
        // The scheduler marks it processing-to-stop-point, which reads as printing.
        QCOMPARE(Ids(cancelled.listAll), QString("HELD-%1:1").arg(id));
        QVERIFY(cancelled.listCancel.isEmpty());
    }

    void disabledQueue()
    {
        QVERIFY(AddQueue("DIS", "usb://Orvo/K20NW?serial=X3"));
        const int id = Submit("DIS");
        QTRY_VERIFY_WITH_TIMEOUT(HasReason("DIS", id, "job-printing"), 10000);
        Run({"cupsdisable", "-r", "paused by test", "DIS"});
        QTRY_VERIFY_WITH_TIMEOUT(!GetCupsPrinterSending("DIS"), 10000);
        QVERIFY(!SameSending("DIS"));
        SameJobs("DIS");
        Run({"cancel", "-a", "DIS"});
    }

    // A held-open sink prints; released, the job completes with processing-to-stop-point,
    // which the listing's reading counts as printing.
    void completedAndOtherUsers()
    {
        QVERIFY(AddQueue("SINK", "socket://127.0.0.1:9111/?snmp=false"));
        const int mine = Submit("SINK");
        const int alice = Submit("SINK", {"-U", "alice"});
        const int aliceHeld = Submit("SINK", {"-U", "alice", "-H", "hold"});
        QVERIFY(mine > 0 && alice > 0 && aliceHeld > 0);
        QTRY_VERIFY_WITH_TIMEOUT(HasReason("SINK", mine, "job-printing"), 10000);
        QVERIFY(SameSending("SINK"));
        const stJobCheck busy = SameJobs("SINK");
        QCOMPARE(Ids(busy.listAll), QString("SINK-%1:1 SINK-%2:0 SINK-%3:2").arg(mine).arg(alice).arg(aliceHeld));

        ::kill(pid_t(sink.processId()), SIGUSR1);
        QTRY_VERIFY_WITH_TIMEOUT(JobOf("SINK", alice).iJobState == 9, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(!GetCupsPrinterSending("SINK"), 10000);
        QVERIFY(!SameSending("SINK"));
        const stJobCheck done = SameJobs("SINK", busy.listPrinting);
        QCOMPARE(Ids(done.listPrinting), QString("SINK-%1:1 SINK-%2:1").arg(mine).arg(alice));
        QVERIFY(done.listCancel.isEmpty());
    }

    // The scheduler's events keep the cached answers current: after every change the cached
    // jobs and state equal fresh ones within a few polls, and the decisions taken from them
    // equal the listing's; while nothing changes, nothing is asked again.
    void eventsKeepAnswersCurrent()
    {
        QVERIFY(AddQueue("EVT", "usb://Orvo/K20NW?serial=E1"));
        QTRY_VERIFY_WITH_TIMEOUT(CupsQueueGeneration("EVT") >= 0, 5000);
        stCupsQueueCache cache;
        QList<stCupsJob> cached;
        const auto key = [](const QList<stCupsJob> &jobs) {
            QStringList k;
            for (const stCupsJob &j : jobs)
                k << QString("%1:%2:%3:%4").arg(j.iJobId).arg(j.iJobState).arg(j.listReasons.join(',')).arg(j.strPrinterMessage);
            return k.join(' ');
        };
        const auto current = [&] {
            QList<stCupsJob> fresh;
            return GetCupsJobsCached(cache, "EVT", cached) && GetCupsJobs("EVT", fresh) && key(cached) == key(fresh)
                   && GetCupsPrinterSendingCached(cache, "EVT") == GetCupsPrinterSending("EVT");
        };
        QList<stJobState> previous;
        // One check from the cached jobs, side by side with the listing of the same moment.
        const auto decide = [&] {
            const stJobCheck mine = DeriveJobStates("EVT", cached, previous);
            const stReference ref = ParseListing(Run({"lpstat", "-u", "root", "-W", "all", "-l", "-o", "EVT"}), previous);
            [&] {
                QCOMPARE(Ids(mine.listPrinting), Ids(ref.listPrinting));
                QCOMPARE(mine.listCancel, ref.listCancel);
            }();
            previous = mine.listPrinting;
            return mine;
        };
        QVERIFY(current());
        // With no job pending or printing the events are fetched once a second.
        QTRY_COMPARE_WITH_TIMEOUT(CupsEventPollPeriodMs(), c_iCupsIdlePollMs, 5000);
        const qint64 idle = CupsQueueGeneration("EVT");
        const qint64 polls = CupsEventPolls();
        QTRY_VERIFY_WITH_TIMEOUT(CupsQueueGeneration("EVT") >= 0 && CupsEventPolls() >= polls + 4, 15000);
        QCOMPARE(CupsQueueGeneration("EVT"), idle);

        const int id = Submit("EVT");
        QTRY_VERIFY_WITH_TIMEOUT(HasReason("EVT", id, "job-printing"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(current(), 3000);
        QVERIFY(GetCupsPrinterSendingCached(cache, "EVT"));
        QCOMPARE(Ids(decide().listPrinting), QString("EVT-%1:1").arg(id));
        // A job printing: ten times a second, so that its cancel reaches the printer soon.
        QCOMPARE(CupsEventPollPeriodMs(), c_iCupsEventPollMs);

        const int held = Submit("EVT", {"-H", "hold"});
        QTRY_VERIFY_WITH_TIMEOUT(HasReason("EVT", held, "job-hold-until-specified"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(current(), 3000);
        decide();

        Run({"cancel", QString("EVT-%1").arg(id)});
        QTRY_VERIFY_WITH_TIMEOUT(HasReason("EVT", id, "job-canceled-by-user"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(current(), 3000);
        QCOMPARE(decide().listCancel, QStringList{QString("EVT-%1").arg(id)});

        Run({"cupsdisable", "EVT"});
        Run({"cancel", QString("EVT-%1").arg(held)});
        QTRY_VERIFY_WITH_TIMEOUT(JobOf("EVT", held).iJobState == IPP_JSTATE_CANCELED, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(current(), 3000);
        QVERIFY(decide().listCancel.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(CupsEventPollPeriodMs(), c_iCupsIdlePollMs, 5000);
        Run({"cupsenable", "EVT"});
    }

    // Many threads ask at once through the process's one client: it never holds more than
    // its few connections, requests wait in line for them, every answer reaches the thread
    // that asked (the printer named is the one it asked about) and a refused request fails
    // only its own asker.
    void sharedClientQueues()
    {
        const int c_iQueues = 6, c_iThreads = 24, c_iRounds = 25;
        for (int q = 0; q < c_iQueues; ++q)
            QVERIFY(AddQueue(QString("SHARED%1").arg(q), QString("usb://Orvo/K20NW?serial=S%1").arg(q)));
        const auto ask = [](const QString &queue, QByteArray &name) {
            static const char *const c_szAttrs[] = {"printer-name"};
            char uri[HTTP_MAX_URI];
            httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                             queue.toUtf8().constData());
            ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
            ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
            ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, c_szAttrs);
            ipp_status_t status = IPP_STATUS_OK;
            ipp_t *response = CupsSend(request, "/", &status);
            ipp_attribute_t *a = response ? ippFindAttribute(response, "printer-name", IPP_TAG_NAME) : nullptr;
            name = a ? QByteArray(ippGetString(a, 0, nullptr)) : QByteArray();
            ippDelete(response);
            return status;
        };
        QByteArray name;
        QCOMPARE(ask("SHARED0", name), IPP_STATUS_OK);
        const stCupsClientCounts before = CupsClientCounts();
        std::atomic<long> wrongAnswers{0}, rightAnswers{0}, refusedRight{0}, open{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < c_iThreads; ++t) {
            threads.emplace_back([&, t] {
                while (!go)
                    std::this_thread::yield();
                // Every fourth thread asks about a queue that does not exist.
                const bool missing = t % 4 == 3;
                const QString queue = missing ? QString("NO_SUCH_%1").arg(t) : QString("SHARED%1").arg(t % c_iQueues);
                for (int r = 0; r < c_iRounds; ++r) {
                    QByteArray got;
                    const ipp_status_t status = ask(queue, got);
                    if (missing)
                        (status == IPP_STATUS_ERROR_NOT_FOUND && got.isEmpty() ? refusedRight : wrongAnswers)++;
                    else
                        (status == IPP_STATUS_OK && got == queue.toUtf8() ? rightAnswers : wrongAnswers)++;
                    long now = CupsClientCounts().iOpen;
                    for (long seen = open; now > seen && !open.compare_exchange_weak(seen, now);) {
                    }
                }
            });
        }
        go = true;
        for (std::thread &t : threads)
            t.join();
        const stCupsClientCounts after = CupsClientCounts();
        qInfo("%ld answered, %ld refused, %ld requests waited in line, %ld connections made, at most %ld open, "
              "%ld failures to reach the scheduler",
              rightAnswers.load(), refusedRight.load(), after.iQueued - before.iQueued,
              after.iConnects - before.iConnects, open.load(), after.iFailures - before.iFailures);
        QCOMPARE(wrongAnswers.load(), 0L);
        QCOMPARE(rightAnswers.load(), long(c_iThreads - c_iThreads / 4) * c_iRounds);
        QCOMPARE(refusedRight.load(), long(c_iThreads / 4) * c_iRounds);
        QVERIFY(after.iQueued > before.iQueued);
        QVERIFY2(open.load() <= c_iCupsClientLinks, qPrintable(QString::number(open.load())));
        QVERIFY2(after.iConnects - before.iConnects <= c_iCupsClientLinks, qPrintable(QString::number(after.iConnects)));
    }

    // A scheduler that accepts the connection but never answers costs a request a bounded
    // time, once: the next ones give up at once, also after the client's own probe has
    // found it still hung; it answers again once resumed.
    void hungSchedulerIsBounded()
    {
        const pid_t cupsd = pid_t(qEnvironmentVariableIntValue("CUPSFX_PID"));
        QVERIFY(cupsd > 1);
        QVERIFY(AddQueue("HUNG", "socket://127.0.0.1:9112/?snmp=false"));
        QList<stCupsJob> jobs;
        QVERIFY(GetCupsJobs("HUNG", jobs));
        QCOMPARE(::kill(cupsd, SIGSTOP), 0);
        QElapsedTimer timer;
        timer.start();
        const bool first = GetCupsJobs("HUNG", jobs);
        const qint64 firstMs = timer.restart();
        const bool second = GetCupsPrinterSending("HUNG");
        const qint64 secondMs = timer.elapsed();
        const long failures = CupsClientCounts().iFailures;
        QTRY_VERIFY_WITH_TIMEOUT(CupsClientCounts().iFailures > failures, 10000);
        timer.restart();
        const bool third = GetCupsJobs("HUNG", jobs);
        const qint64 thirdMs = timer.elapsed();
        QCOMPARE(::kill(cupsd, SIGCONT), 0);
        QVERIFY(!first);
        QVERIFY(jobs.isEmpty());
        QVERIFY2(firstMs < 1000, qPrintable(QString::number(firstMs)));
        QVERIFY(!second);
        QVERIFY2(secondMs < firstMs, qPrintable(QString("%1 ms, then %2 ms").arg(firstMs).arg(secondMs)));
        QVERIFY(!third);
        QVERIFY2(thirdMs < firstMs, qPrintable(QString("%1 ms, after the probe %2 ms").arg(firstMs).arg(thirdMs)));
        qInfo("a request to the hung scheduler gave up after %lld ms, the next after %lld ms, one after the "
              "probe after %lld ms",
              firstMs, secondMs, thirdMs);
        QTRY_VERIFY_WITH_TIMEOUT(GetCupsJobs("HUNG", jobs), 5000);
    }

    // A thread waiting for a queue's events sleeps until the queue changes: with nothing
    // happening the wait lasts its time, a job submitted ends it, and so does a wake.
    void waitEndsOnEventOrWake()
    {
        QVERIFY(AddQueue("WAIT", "usb://Orvo/K20NW?serial=W1"));
        QTRY_VERIFY_WITH_TIMEOUT(CupsQueueGeneration("WAIT") >= 0, 5000);
        const qint64 seen = CupsQueueGeneration("WAIT");
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(WaitCupsQueueGeneration("WAIT", seen, 600), seen);
        QVERIFY2(timer.elapsed() >= 590, qPrintable(QString::number(timer.elapsed())));

        const qint64 polls = CupsEventPolls();
        QVERIFY(Submit("WAIT") > 0);
        timer.restart();
        const qint64 changed = WaitCupsQueueGeneration("WAIT", seen, 60000);
        QVERIFY2(changed >= 0 && changed != seen, qPrintable(QString("%1 -> %2").arg(seen).arg(changed)));
        QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(CupsEventPolls() > polls);  // fetched by the poller while this thread slept

        // Woken again and again until the wait has ended, so that a wake before it began
        // does not matter.
        std::atomic<bool> ended{false};
        std::thread waker([&] {
            while (!ended) {
                WakeCupsEventWaiters();
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        });
        timer.restart();
        const qint64 woken = WaitCupsQueueGeneration("WAIT", changed, 60000);
        ended = true;
        waker.join();
        QCOMPARE(woken, changed);
        QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
        Run({"cancel", "-a", "WAIT"});
    }
};

QTEST_GUILESS_MAIN(TestCupsQuery)
#include "tst_cupsquery.moc"
