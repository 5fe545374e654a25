// The bounded randomized pass over the printing side's parsers (printers file, PPD model line,
// printer list file, removal helper's listing, status file): seeds from the corpus, cut, spliced and with
// random bytes, under the suite's sanitizers. The libFuzzer targets run the same checks.
#include "fuzz-parsers.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTest>

class TstFuzzPrint : public QObject {
    Q_OBJECT
    static QList<QByteArray> Seeds(const QString &target)
    {
        QList<QByteArray> seeds;
        QDirIterator it(QString(ORVO_FUZZ_CORPUS) + "/" + target, QDir::Files);
        while (it.hasNext()) {
            QFile f(it.next());
            if (f.open(QIODevice::ReadOnly))
                seeds << f.readAll();
        }
        return seeds;
    }
    static QByteArray Mutate(QRandomGenerator &rng, const QList<QByteArray> &seeds)
    {
        QByteArray b = seeds.at(int(rng.bounded(quint32(seeds.size()))));
        const int edits = int(rng.bounded(1u, 8u));
        for (int e = 0; e < edits; ++e) {
            const int at = b.isEmpty() ? 0 : int(rng.bounded(quint32(b.size())));
            switch (rng.bounded(5u)) {
            case 0:
                if (!b.isEmpty())
                    b[at] = char(rng.bounded(256u));
                break;
            case 1:
                b.truncate(at);
                break;
            case 2:
                b.insert(at, seeds.at(int(rng.bounded(quint32(seeds.size())))));
                break;
            case 3:
                b.insert(at, QByteArray(int(rng.bounded(1u, 64u)), char(rng.bounded(256u))));
                break;
            default:
                b.remove(at, int(rng.bounded(1u, 16u)));
                break;
            }
        }
        return b;
    }
    static void Run(const QString &target, void (*parse)(const QByteArray &))
    {
        const QList<QByteArray> seeds = Seeds(target);
        QVERIFY2(seeds.size() >= 2, qPrintable(target));
        for (const QByteArray &seed : seeds)
            parse(seed);
        QRandomGenerator rng(0x0A5 + quint32(qHash(target)));
        for (int i = 0; i < 1500; ++i)
            parse(Mutate(rng, seeds));
    }

private slots:
    void seedsParse()
    {
        // The seeds themselves give what a user's files give.
        QFile conf(QString(ORVO_FUZZ_CORPUS) + "/printersconf/two-queues.conf");
        QVERIFY(conf.open(QIODevice::ReadOnly));
        QStringList names;
        for (const stPrinterInfo &info : ParsePrintersConf(FuzzInputFile(conf.readAll()), false))
            names << info.strPrinterName + "|" + info.strPort;
        QCOMPARE(names, QStringList({"K20NW_USB|Orvo/K20NW?serial=AB12", "K40N_NET|127.0.0.2", "OWN|127.0.0.3"}));
        const QByteArray two = [] { QFile f(QString(ORVO_FUZZ_CORPUS) + "/printerlist/two.ini"); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }();
        QCOMPARE(ReadPrinterInfoFrom(FuzzInputFile(two)).size(), 2);
        // A missing group is skipped, a damaged count or a lone high group gives no empty printers.
        const QList<stPrinterInfo> holed =
            ReadPrinterInfoFrom(FuzzInputFile("[Main]\nCount=9\n[printer_0]\nName=A\n[printer_2]\nName=C\n[printer_9]\nName=D\n"));
        QCOMPARE(holed.size(), 2);
        QCOMPARE(holed.at(1).strPrinterName, QString("C"));
        QCOMPARE(ReadPrinterInfoFrom(FuzzInputFile("[Main]\nCount=1000000\n[printer_999999]\nName=x\n")).size(), 1);
        QString model;
        QFile ppd(QString(ORVO_FUZZ_CORPUS) + "/ppdmodel/k20nw.ppd");
        QVERIFY(ppd.open(QIODevice::ReadOnly));
        QVERIFY(CheckPPDModel(FuzzInputFile(ppd.readAll()), model));
        QCOMPARE(model, QString("Orvo K20NW"));
        QCOMPARE(ListingQueueName("device for K40N_NET: socket://127.0.0.2:9100"), QString("K40N_NET"));
        stPrinterState state;
        QVERIFY(ParseStatusFile(QString(ORVO_FUZZ_CORPUS) + "/statusfile/ready-inks.dat", state));
        QCOMPARE(state.enCurrentStatus, PS_READY);
        QCOMPARE(state.strProductName, QString("K20NW"));
        QCOMPARE(state.dwBlackInkRemainer, uint64_t(0x50));
        QCOMPARE(state.dwYellowInkRemainer, uint64_t(0x14));
        QVERIFY(ParseStatusFile(QString(ORVO_FUZZ_CORPUS) + "/statusfile/errors.dat", state));
        QCOMPARE(state.enCurrentStatus, PS_PRINTING);
        QCOMPARE(state.listError, QList<enErrorStatus>({enErrorStatus(1), enErrorStatus(2), ES_UNKNOWN}));
        // An over-long vendor text is cut to what its buffer keeps; the reply still reads.
        QVERIFY(ParseStatusFile(QString(ORVO_FUZZ_CORPUS) + "/statusfile/long-texts.dat", state));
        QCOMPARE(state.strVenderName, QString(int(c_dwNameTextSize) - 1, 'V'));
        // A reply running past the size a reader takes in does not parse, nor does a cut one;
        // either leaves the last state as it was.
        QVERIFY(!ParseStatusFile(QString(ORVO_FUZZ_CORPUS) + "/statusfile/past-limit.dat", state));
        QVERIFY(!ParseStatusFile(QString(ORVO_FUZZ_CORPUS) + "/statusfile/cut.dat", state));
        QCOMPARE(state.strVenderName, QString(int(c_dwNameTextSize) - 1, 'V'));
    }
    void printersConf() { Run("printersconf", FuzzPrintersConf); }
    void ppdModel() { Run("ppdmodel", FuzzPpdModel); }
    void printerList() { Run("printerlist", FuzzPrinterList); }
    void removerListing() { Run("removerlisting", FuzzRemoverListing); }
    void statusFile() { Run("statusfile", FuzzStatusFile); }
};

QTEST_GUILESS_MAIN(TstFuzzPrint)
#include "tst_fuzzprint.moc"
