// Queue discovery from the CUPS printers file, the driver check and the printer list file,
// against real files under the sandbox's private /etc/cups and install root.
#include "orvo-driver.h"
#include "orvo-fileid.h"
#include "orvo-models.h"
#include "orvo-printerlist.h"
#include "orvo-registry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <sys/inotify.h>
#include <unistd.h>

namespace {
void WriteFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

void WritePPD(const QString &queue, const QByteArray &modelLine)
{
    QDir().mkpath("/etc/cups/ppd");
    WriteFile("/etc/cups/ppd/" + queue + ".ppd",
              "*PPD-Adobe: \"4.3\"\n*Manufacturer: \"Orvo\"\n" + modelLine + "\n*NickName: \"x\"\n");
}

// Sets the file's modification time secondsAgo in the past, where the readers trust it.
void Age(const QString &path, int secondsAgo)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo), QFileDevice::FileModificationTime));
}

QStringList Names(const QList<stPrinterInfo> &list)
{
    QStringList names;
    for (const stPrinterInfo &i : list)
        names << i.strPrinterName;
    return names;
}

const QByteArray c_conf =
    "# Printer configuration file for CUPS v2.4.2\n"
    "NextPrinterId 9\n"
    "<Printer ACME_P1>\nDeviceURI socket://127.0.0.1:9101\nState Idle\n</Printer>\n"
    "<Printer K20NW_IPP>\nDeviceURI ipp://127.0.0.1:8631/ipp/print\n</Printer>\n"
    "<DefaultPrinter K20NW_USB>\nInfo K20NW_USB\nDeviceURI usb://Orvo/K20NW?serial=AB12\n</DefaultPrinter>\n"
    "  <Printer K40N_NET>  \nDeviceURI socket://192.168.1.20:9100\n</Printer>\n"
    "<Printer K40W_OWN>\nDeviceURI orvok500socket://192.168.1.21\n</Printer>\n"
    "<Printer NoScheme>\nDeviceURI socket:192.168.1.22\n</Printer>\n"
    "<Printer NoUri>\nInfo x\n</Printer>\n"
    "<Printer Lost>\nDeviceURI usb://Orvo/K20N?serial=1\n"
    "<Printer Second>\nDeviceURI usb://Orvo/K20N?serial=2\n</Printer>\n"
    "<Printer Unclosed>\nDeviceURI usb://Orvo/K20N?serial=3\n";
}  // namespace

class TestRegistry : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        QDir("/etc/cups/ppd").removeRecursively();
        QFile::remove("/etc/cups/printers.conf");
        QFile::remove("/etc/cups/printers.conf.O");
        for (const char *q : {"ACME_P1", "K20NW_IPP"})
            WritePPD(q, "*ModelName: \"Orvo K20NW\"");
        WritePPD("ACME_P1", "*ModelName: \"Acme LaserWriter P1\"");
        WritePPD("K20NW_USB", "*ModelName: \"orvo k20nw\"");
        WritePPD("K40N_NET", "*ModelName: \"Other\"\n*ModelName: \"Orvo K40N\"");
        WritePPD("K40W_OWN", "*ModelName: \"Orvo K40W\"");
        WritePPD("NoScheme", "*ModelName: \"Orvo K20N\"");
        WritePPD("Second", "*ModelName: \"Orvo K20N\"");
        WritePPD("Unclosed", "*ModelName: \"Orvo K20N\"");
    }

    void queuesOfTheMaker()
    {
        WriteFile("/etc/cups/printers.conf", c_conf);
        const QList<stPrinterInfo> list = GetPrinterInfo(true);
        QCOMPARE(Names(list), QStringList({"K20NW_USB", "K40N_NET", "K40W_OWN", "Second"}));
        QCOMPARE(list[0].iConnectType, 1);
        QCOMPARE(list[0].strPort, QString("Orvo/K20NW?serial=AB12"));
        QCOMPARE(list[0].strDeviceURI, QString("usb://Orvo/K20NW?serial=AB12"));
        QCOMPARE(list[0].strModelName, QString("orvo k20nw"));
        QCOMPARE(list[1].iConnectType, 2);
        QCOMPARE(list[1].strPort, QString("192.168.1.20"));
        QCOMPARE(list[1].strModelName, QString("Orvo K40N"));
        QCOMPARE(list[2].strPort, QString("192.168.1.21"));
        QCOMPARE(list[2].strDeviceURI, QString("orvok500socket://192.168.1.21"));
    }

    void withoutDriverCheck()
    {
        WriteFile("/etc/cups/printers.conf", c_conf);
        const QList<stPrinterInfo> list = GetPrinterInfo(false);
        QCOMPARE(Names(list), QStringList({"ACME_P1", "K20NW_USB", "K40N_NET", "K40W_OWN", "Second"}));
        QVERIFY(list[0].strModelName.isEmpty());
    }

    void fallsBackToPreviousCopy()
    {
        WriteFile("/etc/cups/printers.conf.O", "<Printer K40W_OWN>\nDeviceURI orvok500socket://10.0.0.9\n</Printer>\n");
        QCOMPARE(Names(GetPrinterInfo(true)), QStringList({"K40W_OWN"}));
        // A printers file that cannot be opened (here: a directory) falls back the same way.
        QVERIFY(QDir().mkpath("/etc/cups/printers.conf"));
        QCOMPARE(Names(GetPrinterInfo(true)), QStringList({"K40W_OWN"}));
        QDir("/etc/cups/printers.conf").removeRecursively();
        QFile::remove("/etc/cups/printers.conf.O");
        QVERIFY(GetPrinterInfo(true).isEmpty());
    }

    void driverCheck()
    {
        QString model;
        QVERIFY(!CheckDriverMatch("ACME_P1", model));
        QVERIFY(!CheckDriverMatch("Missing", model));
        QVERIFY(model.isEmpty());
        QVERIFY(CheckDriverMatch("K40N_NET", model));
        QCOMPARE(model, QString("Orvo K40N"));
        WritePPD("Spaced", "*modelname:   Orvo K40NW  ");
        QVERIFY(CheckDriverMatch("Spaced", model));
        QCOMPARE(model, QString("Orvo K40NW"));
        WritePPD("Short", "*ModelName: \"Orvo K20\"");
        QVERIFY(!CheckDriverMatch("Short", model));
    }

    // The service asks every few seconds and the answers are kept: a settled file is read again
    // when it is rewritten in place (same size, new time) or replaced (new inode, same time).
    void keptAnswersFollowTheFiles()
    {
        const QString ppd = "/etc/cups/ppd/Kept.ppd";
        QString model;
        WritePPD("Kept", "*ModelName: \"Orvo K20N\"");
        Age(ppd, 100);
        QVERIFY(CheckDriverMatch("Kept", model));
        QCOMPARE(model, QString("Orvo K20N"));
        WritePPD("Kept", "*ModelName: \"Orvo K40N\"");
        Age(ppd, 50);
        QVERIFY(CheckDriverMatch("Kept", model));
        QCOMPARE(model, QString("Orvo K40N"));
        WriteFile("/etc/cups/ppd/new.ppd", "*ModelName: \"Orvo K40W\"\n*NickName: \"x\"\n*PPD-Adobe: \"4.3\"\n"
                                           "*Manufacturer: \"Orvo\"\n");
        QCOMPARE(QFileInfo("/etc/cups/ppd/new.ppd").size(), QFileInfo(ppd).size());
        Age("/etc/cups/ppd/new.ppd", 50);
        QVERIFY(::rename("/etc/cups/ppd/new.ppd", QFile::encodeName(ppd).constData()) == 0);
        QVERIFY(CheckDriverMatch("Kept", model));
        QCOMPARE(model, QString("Orvo K40W"));
        QFile::remove(ppd);
        QVERIFY(!CheckDriverMatch("Kept", model));

        const QByteArray one = "<Printer Kept>\nDeviceURI socket://10.0.0.1:9100\n</Printer>\n";
        WriteFile("/etc/cups/printers.conf", one);
        Age("/etc/cups/printers.conf", 100);
        WritePPD("Kept", "*ModelName: \"Orvo K40N\"");
        QCOMPARE(GetPrinterInfo(true).value(0).strPort, QString("10.0.0.1"));
        WriteFile("/etc/cups/printers.conf", QByteArray(one).replace("10.0.0.1", "10.0.0.2"));
        Age("/etc/cups/printers.conf", 50);
        QCOMPARE(GetPrinterInfo(true).value(0).strPort, QString("10.0.0.2"));
    }

    // The keyed cache under both: a file is read again when it changed, was replaced or is
    // still fresh; a removed file reads as none; no more paths are held than the bound.
    void fileCacheFollowsTheFiles()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("a"), b = dir.filePath("b"), c = dir.filePath("c");
        stFileCache<QByteArray> cache(2);
        int reads = 0;
        auto read = [&reads](const QString &path) {
            ++reads;
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QByteArray value;
        WriteFile(a, "one");
        QVERIFY(CachedFileValue(cache, a, value, read));
        QVERIFY(CachedFileValue(cache, a, value, read));
        QCOMPARE(reads, 2);  // modified moments ago: not kept yet
        Age(a, 100);
        QVERIFY(CachedFileValue(cache, a, value, read));
        QVERIFY(CachedFileValue(cache, a, value, read));
        QCOMPARE(value, QByteArray("one"));
        QCOMPARE(reads, 3);
        WriteFile(a, "two");
        Age(a, 50);
        QVERIFY(CachedFileValue(cache, a, value, read));
        QCOMPARE(value, QByteArray("two"));
        for (const QString &other : {b, c}) {
            WriteFile(other, other.toUtf8());
            Age(other, 100);
            QVERIFY(CachedFileValue(cache, other, value, read));
            QVERIFY(cache.hashEntries.size() <= cache.iMaxEntries);
        }
        QVERIFY(CachedFileValue(cache, c, value, read));
        QCOMPARE(value, c.toUtf8());
        QFile::remove(c);
        QVERIFY(!CachedFileValue(cache, c, value, read));
        QCOMPARE(value, c.toUtf8());
        QVERIFY(!cache.hashEntries.contains(c));
    }

    // The service asks for the queues every cycle: an unchanged printers file is not opened.
    void unchangedPrintersFileNotOpened()
    {
        const char *conf = "/etc/cups/printers.conf";
        WriteFile(conf, c_conf);
        Age(conf, 100);
        const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(fd >= 0);
        QVERIFY(inotify_add_watch(fd, conf, IN_OPEN) >= 0);
        auto opens = [fd] {
            alignas(inotify_event) char buf[4096];
            int n = 0;
            for (ssize_t got; (got = ::read(fd, buf, sizeof buf)) > 0;) {
                for (ssize_t at = 0; at < got; ++n)
                    at += ssize_t(sizeof(inotify_event)) + reinterpret_cast<inotify_event *>(buf + at)->len;
            }
            return n;
        };
        QCOMPARE(GetPrinterInfo(false).size(), 5);
        QCOMPARE(opens(), 1);
        QCOMPARE(GetPrinterInfo(false).size(), 5);
        QCOMPARE(GetPrinterInfo(true).size(), 4);
        QCOMPARE(opens(), 0);
        ::close(fd);
    }

    void usbIds()
    {
        int vid = 0, pid = 0;
        QVERIFY(GetPrinterVidPid("Orvo/K20N?serial=1", vid, pid));
        QCOMPARE(vid, 0x300E);
        QCOMPARE(pid, 0x2006);
        QVERIFY(GetPrinterVidPid("Orvo/K20NW?serial=1", vid, pid));
        QCOMPARE(pid, 0x2005);
        QVERIFY(GetPrinterVidPid("Orvo/K40W?serial=Z", vid, pid));
        QCOMPARE(pid, 0x200A);
        QVERIFY(!GetPrinterVidPid("Orvo/K20NW", vid, pid));
        QVERIFY(!GetPrinterVidPid("192.168.1.20", vid, pid));
        QVERIFY(!GetPrinterVidPid("Orvo/k20nw?serial=1", vid, pid));
    }

    void printerListFile()
    {
        QFile::remove(PrinterListFilePath());
        QVERIFY(ReadPrinterInfo().isEmpty());

        stPrinterInfo a{QString::fromUtf8("打印机-一"), "Orvo K20NW", 1, "Orvo/K20NW?serial=AB12", "usb://Orvo/K20NW?serial=AB12"};
        stPrinterInfo b{"Net;x,y", "Orvo K40N", 2, "127.0.0.2", "socket://127.0.0.2:9100/?snmp=false"};
        stPrinterInfo c{"Third", "Orvo K40W", 2, "127.0.0.3", "orvok500socket://127.0.0.3"};
        SavePrinterInfo({a, b, c}, false);
        QList<stPrinterInfo> back = ReadPrinterInfo();
        QCOMPARE(back.size(), 3);
        QCOMPARE(back[0].strPrinterName, a.strPrinterName);
        QCOMPARE(back[0].strPort, a.strPort);
        QCOMPARE(back[1].strPrinterName, b.strPrinterName);
        QCOMPARE(back[1].iConnectType, 2);
        QCOMPARE(back[2].strDeviceURI, c.strDeviceURI);
        QFile raw(PrinterListFilePath());
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray bytes = raw.readAll();
        QVERIFY(bytes.contains("Name=" + a.strPrinterName.toUtf8() + "\n"));
        QVERIFY(bytes.contains("ConnectType=1"));
        raw.close();

        // Not forced with the file present: untouched.
        SavePrinterInfo({a}, false);
        QCOMPARE(ReadPrinterInfo().size(), 3);
        // Forced and shorter: Count shrinks, the third group stays behind.
        SavePrinterInfo({a, b}, true);
        QCOMPARE(ReadPrinterInfo().size(), 2);
        QSettings s(PrinterListFilePath(), QSettings::IniFormat);
        QCOMPARE(s.value("Main/Count").toString(), QString("2"));
        QCOMPARE(s.value("printer_2/Name").toString(), QString("Third"));

        SavePrinterInfo({}, true);
        QVERIFY(ReadPrinterInfo().isEmpty());

        // A damaged count reads no further than the groups present.
        QSettings damaged(PrinterListFilePath(), QSettings::IniFormat);
        damaged.setValue("Main/Count", "2147483647");
        damaged.sync();
        QCOMPARE(ReadPrinterInfo().size(), 3);
        QCOMPARE(ReadPrinterInfo().at(2).strPrinterName, QString("Third"));
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
