// The shared status reply encoder against the suite's parser: whatever the encoder is given
// comes back out of parseRecvBuf field for field, as USB reply, network datagram and file.
#include "UtilPrinterStatus.h"
#include "mfpsim-statusreply.h"
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <memory>
#include <random>

namespace {

// Parses from an allocation of exactly the reply's size, so ASan sees any read past it.
bool Parse(const StatusBytes &b, UtilPrinterStatus &st)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[b.size()]);
    memcpy(copy.get(), b.data(), b.size());
    return st.parseRecvBuf(copy.get(), b.size());
}

// What a parser text buffer of size bytes keeps of a counted text.
QByteArray Kept(const std::string &text, size_t size)
{
    const std::string counted = text.substr(0, 0xFFFF);
    return QByteArray(counted.c_str(), qsizetype(std::min(strnlen(counted.c_str(), counted.size()), size - 1)));
}

struct stNumberField {
    uint16_t wTag;
    uint64_t UtilPrinterStatus::*pField;
};

const stNumberField c_stNumberFields[] = {
    {c_wSupplyToner, &UtilPrinterStatus::dwRemainingToner},
    {c_wSupplyWaste, &UtilPrinterStatus::dwWasteToner},
    {c_wSupplyOpc, &UtilPrinterStatus::dwOPCRotation},
    {c_wSupplyPages, &UtilPrinterStatus::dwNumberOfPages},
    {c_wSupplyPrints, &UtilPrinterStatus::dwNumberOfPrint},
    {c_wSupplyDots, &UtilPrinterStatus::dwPrintDotsCount},
    {c_wSupplyPrinterPages, &UtilPrinterStatus::dwPrinterNumOfPages},
    {c_wSupplyPrinterPrints, &UtilPrinterStatus::dwPrinterNumOfPrint},
    {c_wSupplyBlack, &UtilPrinterStatus::dwBlackInkRemainer},
    {c_wSupplyCyan, &UtilPrinterStatus::dwBlueInkRemainer},
    {c_wSupplyRed, &UtilPrinterStatus::dwRedInkRemainer},
    {c_wSupplyYellow, &UtilPrinterStatus::dwYellowInkRemainer},
};

// The value the last record of tag carries, read as the big-endian number it was encoded
// as (records here are 2 or 4 bytes wide); 0 when no record has the tag.
uint64_t LastNumber(const stStatusReply &r, uint16_t tag)
{
    uint64_t v = 0;
    for (const stStatusSupply &s : r.listSupply) {
        if (s.wTag != tag)
            continue;
        v = 0;
        for (uint8_t c : s.value)
            v = v << 8 | c;
    }
    return v;
}

std::string LastText(const stStatusReply &r, uint16_t tag)
{
    std::string t;
    for (const stStatusSupply &s : r.listSupply)
        if (s.wTag == tag)
            t.assign(s.value.begin(), s.value.end());
    return t;
}

QList<unsigned long> Codes(const std::vector<uint16_t> &codes)
{
    QList<unsigned long> l;
    for (size_t i = 0; i < codes.size() && i < 0xFF; ++i)
        l.append(codes[i]);
    return l;
}

// Empty when the parse gives back every field of r; otherwise the first difference.
QString Mismatch(const stStatusReply &r, const UtilPrinterStatus &st)
{
    auto text = [](const char *name, const QByteArray &want, const char *got) {
        return want == QByteArray(got) ? QString() : QStringLiteral("%1: %2 bytes wanted, %3 got").arg(name).arg(want.size()).arg(strlen(got));
    };
    for (const QString &m : {text("vendor", Kept(r.strVendor, c_dwNameTextSize), st.szVenderName),
                             text("product", Kept(r.strProduct, c_dwNameTextSize), st.szProductName),
                             text("serial", Kept(r.strSerial, c_dwNameTextSize), st.szPrinterSerialNumber),
                             text("firmware", Kept(r.strFirmware, c_dwVersionTextSize), st.szFWVersion),
                             text("fifth text", Kept(r.strFifthText, c_dwVersionTextSize), st.szFifthText),
                             text("supply serial", Kept(LastText(r, c_wSupplySerial), c_dwSupplyTextSize),
                                  st.szSupplySerialNumber)})
        if (!m.isEmpty())
            return m;
    if (st.byReserved1 != r.byReserved1 || st.wReserved2 != r.wReserved2 || st.wReserved3 != r.wReserved3
        || st.wReserved4 != r.wReserved4 || st.byReserved5 != r.byReserved5 || st.wReserved6 != r.wReserved6
        || st.wReserved7 != r.wReserved7)
        return "reserved fields";
    if (st.byPrinterStatus != r.byStatus)
        return QStringLiteral("status %1, wanted %2").arg(st.byPrinterStatus).arg(r.byStatus);
    if (st.listErrorCode != Codes(r.listErrors))
        return "error codes";
    if (st.listWarningCode != Codes(r.listWarnings))
        return "warning codes";
    if (st.bySupplyCount != std::min<size_t>(r.listSupply.size(), 0xFF))
        return "supply count";
    if (st.dwSupplyType != LastNumber(r, c_wSupplyType))
        return "supply type";
    for (const stNumberField &f : c_stNumberFields)
        if (st.*f.pField != LastNumber(r, f.wTag))
            return QStringLiteral("supply 0x%1: %2, wanted %3").arg(f.wTag, 4, 16, QChar('0')).arg(st.*f.pField).arg(LastNumber(r, f.wTag));
    return QString();
}

std::string RandomText(std::mt19937 &rng, size_t maxLen)
{
    std::string t(rng() % (maxLen + 1), '\0');
    for (char &c : t)
        c = char(rng() % 8 == 0 ? 1 + rng() % 255 : 'A' + rng() % 26);  // any byte but zero
    return t;
}

stStatusReply RandomReply(std::mt19937 &rng)
{
    stStatusReply r;
    r.byReserved1 = uint8_t(rng());
    r.wReserved2 = uint16_t(rng());
    r.wReserved3 = uint16_t(rng());
    r.wReserved4 = uint16_t(rng());
    r.byReserved5 = uint8_t(rng());
    r.wReserved6 = uint16_t(rng());
    r.wReserved7 = uint16_t(rng());
    r.byStatus = uint8_t(rng());
    // Lengths around the parser's capacities, now and then far beyond them.
    const size_t lengths[] = {0, 8, 254, 255, 256, 259, 260, 261, 600};
    auto length = [&] { return lengths[rng() % (sizeof lengths / sizeof lengths[0])]; };
    r.strVendor = RandomText(rng, length());
    r.strProduct = RandomText(rng, length());
    r.strSerial = RandomText(rng, length());
    r.strFirmware = RandomText(rng, length());
    r.strFifthText = RandomText(rng, length());
    for (int n = int(rng() % 6); n > 0; --n)
        r.listErrors.push_back(uint16_t(rng()));
    for (int n = int(rng() % 6); n > 0; --n)
        r.listWarnings.push_back(uint16_t(rng()));
    // Any mix of the known tags and unknown ones, in any order, repeats included.
    for (int n = int(rng() % 20); n > 0; --n) {
        const int pick = int(rng() % 15);
        if (pick == 0)
            r.listSupply.push_back(SupplyText(c_wSupplySerial, RandomText(rng, 80)));
        else if (pick == 1)
            r.listSupply.push_back(SupplyNumber(c_wSupplyType, rng(), 4));
        else if (pick == 2)
            r.listSupply.push_back(SupplyText(uint16_t(0x2000 + rng() % 0x1000), RandomText(rng, 300)));
        else {
            const stNumberField &f = c_stNumberFields[pick - 3];
            const int width = rng() % 2 ? 2 : 4;
            r.listSupply.push_back(SupplyNumber(f.wTag, rng() & (width == 2 ? 0xFFFF : 0xFFFFFFFF), width));
        }
    }
    // Texts that hold a zero byte are cut there by the parser.
    if (rng() % 4 == 0 && !r.strVendor.empty())
        r.strVendor[rng() % r.strVendor.size()] = '\0';
    return r;
}

}  // namespace

class TestStatusReply : public QObject {
    Q_OBJECT
private slots:
    void randomReplies();
    void overlongTexts();
    void countsBeyondTheirField();
    void networkDatagram();
    void announcedSupplies();
    void commandLine();
};

void TestStatusReply::randomReplies()
{
    std::mt19937 rng(20261208);
    for (int round = 0; round < 3000; ++round) {
        const stStatusReply r = RandomReply(rng);
        const StatusBytes usb = EncodeUsbStatusReply(r);
        UtilPrinterStatus st;
        if (!Parse(usb, st))
            QFAIL(qPrintable(QStringLiteral("round %1: %2 bytes did not parse").arg(round).arg(usb.size())));
        const QString m = Mismatch(r, st);
        if (!m.isEmpty())
            QFAIL(qPrintable(QStringLiteral("round %1: %2").arg(round).arg(m)));
        // A reply is exactly as long as its fields: one byte less fails.
        UtilPrinterStatus cut;
        QVERIFY(!Parse(StatusBytes(usb.begin(), usb.end() - 1), cut));
    }
}

void TestStatusReply::overlongTexts()
{
    stStatusReply r;
    r.strVendor = std::string(70000, 'V');  // more than a 16-bit count says: sent as 65535
    r.strProduct = std::string(259, 'P');
    r.strSerial = std::string(260, 'S');
    r.strFirmware = std::string(255, 'F');
    r.strFifthText = std::string(254, 'X');
    r.listSupply = {SupplyText(c_wSupplySerial, std::string(300, 'Z')), SupplyNumber(c_wSupplyBlack, 42, 2)};
    r.byStatus = 16;
    const StatusBytes b = EncodeUsbStatusReply(r);
    QCOMPARE(b[12], uint8_t(0xFF));
    QCOMPARE(b[13], uint8_t(0xFF));
    UtilPrinterStatus st;
    QVERIFY(Parse(b, st));
    QCOMPARE(Mismatch(r, st), QString());
    QCOMPARE(strlen(st.szVenderName), size_t(259));
    QCOMPARE(strlen(st.szSupplySerialNumber), size_t(63));
    QCOMPARE(st.dwBlackInkRemainer, uint64_t(42));
    QCOMPARE(st.byPrinterStatus, uint8_t(16));
}

void TestStatusReply::countsBeyondTheirField()
{
    stStatusReply r;
    for (unsigned i = 0; i < 300; ++i)
        r.listErrors.push_back(uint16_t(0x6100 + i));
    r.listWarnings = {0x5201};
    for (unsigned i = 0; i < 300; ++i)
        r.listSupply.push_back(SupplyNumber(c_wSupplyCyan, i, 2));
    r.listSupply[254] = SupplyNumber(c_wSupplyCyan, 4711, 2);  // the last one sent
    const StatusBytes b = EncodeUsbStatusReply(r);
    UtilPrinterStatus st;
    QVERIFY(Parse(b, st));
    QCOMPARE(st.listErrorCode.size(), 255);
    QCOMPARE(st.listErrorCode.last(), 0x6100ul + 254);
    QCOMPARE(st.listWarningCode, QList<unsigned long>{0x5201});
    QCOMPARE(st.bySupplyCount, uint8_t(255));
    QCOMPARE(st.dwBlueInkRemainer, uint64_t(4711));
    // The bytes end with the 255th record: nothing is left over.
    QCOMPARE(b.size(), size_t(33 + 255 * 2 + 2 + 255 * 5));
}

void TestStatusReply::networkDatagram()
{
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        const stStatusReply r = RandomReply(rng);
        const StatusBytes body = EncodeStatusBody(r);
        const StatusBytes datagram = UdpStatusReply(body);
        QCOMPARE(datagram.size(), body.size() + 7);
        QCOMPARE(datagram[0], uint8_t(0xA5));
        QCOMPARE(size_t(datagram[1] << 8 | datagram[2]), datagram.size() - 3);
        QCOMPARE(StatusBytes(datagram.begin() + 3, datagram.begin() + 7), (StatusBytes{0x50, 0xE0, 0x74, 0x08}));
        UtilPrinterStatus st;
        QVERIFY(Parse(datagram, st));
        QCOMPARE(Mismatch(r, st), QString());
        // The USB form differs only in its header.
        const StatusBytes usb = EncodeUsbStatusReply(r);
        QCOMPARE(StatusBytes(usb.begin(), usb.begin() + 7), StatusBytes(7, 0));
        QVERIFY(std::equal(usb.begin() + 7, usb.end(), datagram.begin() + 7, datagram.end()));
    }
}

void TestStatusReply::announcedSupplies()
{
    stStatusReply r;
    SetInks(r, 10, 20, 30, 40);
    SetInks(r, 11, 21, 31, 41);  // sets the same four records again, no more
    QCOMPARE(r.listSupply.size(), size_t(4));
    r.iAnnouncedSupplies = 5;
    UtilPrinterStatus more;
    QVERIFY(!Parse(EncodeUsbStatusReply(r), more));
    r.iAnnouncedSupplies = 2;
    UtilPrinterStatus fewer;
    QVERIFY(Parse(EncodeUsbStatusReply(r), fewer));
    QCOMPARE(fewer.dwBlackInkRemainer, uint64_t(11));
    QCOMPARE(fewer.dwBlueInkRemainer, uint64_t(21));
    QCOMPARE(fewer.dwRedInkRemainer, uint64_t(0));
}

void TestStatusReply::commandLine()
{
    const QString tool = QStringLiteral(ORVO_STATUSREPLY_TOOL);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto run = [&](const QStringList &args, const QString &file) {
        QProcess p;
        p.setStandardOutputFile(dir.filePath(file));
        p.start(tool, args);
        return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QCOMPARE(run({"--status", "16", "--errors", "0x6151,0x6157", "--warnings", "0x6163", "--ink", "12,85,55,30",
                  "--serial", "XY99", "--firmware", "V2.0"},
                 "usb.dat"),
             0);
    stPrinterState state;
    QVERIFY(ParseStatusFile(dir.filePath("usb.dat"), state));
    QCOMPARE(state.enCurrentStatus, PS_PRINTING);
    QCOMPARE(state.listError, (QList<enErrorStatus>{enErrorStatus(32), ES_UNKNOWN}));
    QCOMPARE(state.listWarning, QList<enErrorStatus>{enErrorStatus(28)});
    QCOMPARE(state.dwBlackInkRemainer, 12ull);
    QCOMPARE(state.dwBlueInkRemainer, 85ull);
    QCOMPARE(state.dwRedInkRemainer, 55ull);
    QCOMPARE(state.dwYellowInkRemainer, 30ull);
    QCOMPARE(state.strVenderName, QStringLiteral("Orvo"));
    QCOMPARE(state.strPrinterSerialNumber, QStringLiteral("XY99"));
    QCOMPARE(state.strFWVersion, QStringLiteral("V2.0"));

    QCOMPARE(run({"--udp", "--status", "3"}, "net.dat"), 0);
    QFile net(dir.filePath("net.dat"));
    QVERIFY(net.open(QIODevice::ReadOnly));
    const QByteArray head = net.read(3);
    QCOMPARE(head.at(0), char(0xA5));
    QVERIFY(ParseStatusFile(dir.filePath("net.dat"), state));
    QCOMPARE(state.enCurrentStatus, PS_CANCELING_JOB);

    QCOMPARE(run({"--ink", "1,2,3"}, "bad.dat"), 2);
    QCOMPARE(run({"--status", "256"}, "bad.dat"), 2);
    QCOMPARE(run({"--errors", "0x10000"}, "bad.dat"), 2);
}

QTEST_GUILESS_MAIN(TestStatusReply)
#include "tst_statusreply.moc"
