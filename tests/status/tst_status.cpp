// Status response parser, code mappings, record filling and the status text tables.
#include "UtilPrinterStatus.h"
#include "orvo-statustext.h"
#include "mfpsim-statusreply.h"
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <chrono>
#include <random>
#include <set>
#include <vector>

namespace {

using Bytes = StatusBytes;

// A reply whose reserved fields carry values of their own, so that the parser is seen to
// store each where it belongs.
stStatusReply Reply()
{
    stStatusReply r;
    r.byReserved1 = 0x5A;
    r.wReserved2 = 0x1234;
    r.wReserved3 = 0x5678;
    r.wReserved4 = 0x9ABC;
    r.byReserved5 = 0x11;
    r.wReserved6 = 0x2222;
    r.wReserved7 = 0x3333;
    return r;
}

Bytes Be(uint64_t v, int n)
{
    return StatusNumber(v, n);
}

stStatusReply FullResponse()
{
    stStatusReply r = Reply();
    r.strVendor = "Orvo";
    r.strProduct = "K20NW";
    r.strSerial = "SN-0042";
    r.strFirmware = "V1.2.3";
    r.strFifthText = "extra";
    r.byStatus = 16;
    r.listErrors = {0x6151, 0x6157};
    r.listWarnings = {0x6163, 0x5201};
    r.listSupply = {
        SupplyText(0x0000, "SUP-77"),
        {0x0001, Be(7, 4)},
        {0x1000, Be(900, 2)},
        {0x1001, Be(901, 2)},
        {0x1002, Be(902, 2)},
        {0x1003, Be(70000, 4)},
        {0x1004, Be(70001, 4)},
        {0x1100, Be(903, 2)},
        {0x1101, Be(70002, 4)},
        {0x1102, Be(70003, 4)},
        {0x4043, Be(75, 2)},
        {0x4143, Be(60, 2)},
        {0x4243, Be(45, 2)},
        {0x4343, Be(30, 2)},
        SupplyText(0x7777, "skip me"),
    };
    return r;
}

// Parses from an allocation of exactly len bytes, so that any read past it is caught by ASan.
bool Parse(const Bytes &b, size_t len, UtilPrinterStatus &st)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[len ? len : 1]);
    if (len)
        memcpy(copy.get(), b.data(), len);
    return st.parseRecvBuf(copy.get(), len);
}

bool ParseState(const stStatusReply &r, stPrinterState &state)
{
    const Bytes b = EncodeUsbStatusReply(r);
    UtilPrinterStatus st;
    if (!Parse(b, b.size(), st))
        return false;
    FillPrinterState(st, state);
    return true;
}

uint64_t BlackInkOf(const Bytes &value)
{
    stStatusReply r = Reply();
    r.listSupply = {{0x4043, value}};
    stPrinterState state;
    if (!ParseState(r, state))
        return ~0ull;
    return state.dwBlackInkRemainer;
}

}  // namespace

class TestStatus : public QObject {
    Q_OBJECT
private slots:
    void minimalResponse();
    void statusCodes_data();
    void statusCodes();
    void statusCodeRange();
    void errorCodes_data();
    void errorCodes();
    void errorCodeSpace();
    void errorListsKeepOrder();
    void supplyValues();
    void supplyTags();
    void supplyCountShort();
    void fullResponseFillsRecord();
    void everyPrefixFails();
    void overlongTexts();
    void textStopsAtZero();
    void changeCheck();
    void statusFile();
    void randomBuffers();
    void statusTexts_data();
    void statusTexts();
    void errorTexts_data();
    void errorTexts();
    void textTablesShape();
};

void TestStatus::minimalResponse()
{
    const Bytes b = EncodeUsbStatusReply(Reply());
    QCOMPARE(b.size(), size_t(33));
    UtilPrinterStatus st;
    QVERIFY(Parse(b, 33, st));
    stPrinterState state;
    state.iFailCount = 4;
    state.strVenderName = "old";
    FillPrinterState(st, state);
    QVERIFY(state.strVenderName.isEmpty());
    QVERIFY(state.strProductName.isEmpty());
    QVERIFY(state.strPrinterSerialNumber.isEmpty());
    QVERIFY(state.strFWVersion.isEmpty());
    QVERIFY(state.strSupplySerialNumber.isEmpty());
    QVERIFY(state.listError.isEmpty() && state.listWarning.isEmpty());
    QCOMPARE(state.enCurrentStatus, PS_READY);
    QCOMPARE(state.iFailCount, 0);
    QCOMPARE(st.byReserved1, (unsigned char)0x5A);
    QCOMPARE(st.wReserved4, uint16_t(0x9ABC));
    QCOMPARE(st.wReserved7, uint16_t(0x3333));

    UtilPrinterStatus shortSt;
    QVERIFY(!Parse(b, 32, shortSt));
    UtilPrinterStatus tiny;
    QVERIFY(!tiny.parseRecvBuf(b.data(), 7));
    QVERIFY(!tiny.parseRecvBuf(nullptr, 100));
}

void TestStatus::statusCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    const int rows[][2] = {
        {0, 3},
        {1, 4},
        {2, 5},
        {3, 6},
        {4, 0},
        {15, 0},
        {16, 8},
        {17, 9},
        {18, 10},
        {19, 11},
        {20, 0},
        {31, 0},
        {32, 12},
        {33, 13},
        {34, 14},
        {35, 15},
        {36, 0},
        {255, 0},
    };
    for (const auto &row : rows)
        QTest::addRow("code %d", row[0]) << row[0] << row[1];
}

void TestStatus::statusCodes()
{
    QFETCH(int, code);
    QFETCH(int, value);
    QCOMPARE(int(GetPrinterStatusEnum(code)), value);
    stStatusReply r = Reply();
    r.byStatus = (unsigned char)code;
    stPrinterState state;
    QVERIFY(ParseState(r, state));
    QCOMPARE(int(state.enCurrentStatus), value);
}

void TestStatus::statusCodeRange()
{
    // Every status value a device can cause comes from exactly one code; 0, 1, 2, 7 from none.
    std::multiset<int> produced;
    for (unsigned long code = 0; code < 0x10000; ++code)
        produced.insert(GetPrinterStatusEnum(code));
    for (int v : {1, 2, 7})
        QCOMPARE(produced.count(v), size_t(0));
    for (int v : {3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15})
        QCOMPARE(produced.count(v), size_t(1));
    QCOMPARE(int(GetPrinterStatusEnum(0x100000000ul + 16)), 0);
}

void TestStatus::errorCodes_data()
{
    QTest::addColumn<qulonglong>("code");
    QTest::addColumn<int>("value");
    QTest::newRow("0x6151") << 0x6151ull << 32;
    QTest::newRow("0x6157") << 0x6157ull << 0;
    QTest::newRow("0x5200 first") << 0x5200ull << 1;
    QTest::newRow("0x120A") << 0x120Aull << 4;
    QTest::newRow("0x6170") << 0x6170ull << 23;
    QTest::newRow("0x6160") << 0x6160ull << 25;
    QTest::newRow("0x6163") << 0x6163ull << 28;
    QTest::newRow("0x615A") << 0x615Aull << 40;
    QTest::newRow("0x615B") << 0x615Bull << 41;
    QTest::newRow("0x6800") << 0x6800ull << 42;
    QTest::newRow("0x5201 last") << 0x5201ull << 45;
    QTest::newRow("zero") << 0x0ull << 0;
    QTest::newRow("0x6159 between") << 0x6159ull << 0;
    QTest::newRow("0x5202") << 0x5202ull << 0;
    QTest::newRow("0x120a+0x10000") << 0x1120Aull << 0;
    QTest::newRow("0xFFFF") << 0xFFFFull << 0;
}

void TestStatus::errorCodes()
{
    QFETCH(qulonglong, code);
    QFETCH(int, value);
    QCOMPARE(int(GetErrorStatusEnum((unsigned long)code)), value);
}

void TestStatus::errorCodeSpace()
{
    // Over all 16-bit codes, each value 1..45 has exactly one code and nothing exceeds 45.
    QVector<int> hits(ES_LAST + 1, 0);
    for (unsigned long code = 0; code < 0x10000; ++code) {
        const int v = GetErrorStatusEnum(code);
        QVERIFY(v >= 0 && v <= ES_LAST);
        ++hits[v];
    }
    for (int v = 1; v <= ES_LAST; ++v)
        QCOMPARE(hits[v], 1);
    QCOMPARE(hits[0], 0x10000 - ES_LAST);
    QCOMPARE(GetTonerTypeEnum(0), 0);
    QCOMPARE(GetTonerTypeEnum(7), 0);
    QCOMPARE(GetTonerTypeEnum(0xFFFFFFFFul), 0);
}

void TestStatus::errorListsKeepOrder()
{
    stStatusReply r = Reply();
    r.listErrors = {0x6157, 0x6151, 0x5200, 0x6151};
    r.listWarnings = {0x5201};
    const Bytes b = EncodeUsbStatusReply(r);
    UtilPrinterStatus st;
    QVERIFY(Parse(b, b.size(), st));
    QCOMPARE(st.listErrorCode, (QList<unsigned long>{0x6157, 0x6151, 0x5200, 0x6151}));
    QCOMPARE(st.listWarningCode, QList<unsigned long>{0x5201});
    stPrinterState state;
    FillPrinterState(st, state);
    QCOMPARE(state.listError, (QList<enErrorStatus>{enErrorStatus(0), enErrorStatus(32), enErrorStatus(1), enErrorStatus(32)}));
    QCOMPARE(state.listWarning, QList<enErrorStatus>{enErrorStatus(45)});
}

void TestStatus::supplyValues()
{
    QCOMPARE(BlackInkOf(Be(75, 1)), 75ull);
    QCOMPARE(BlackInkOf(Be(75, 2)), 75ull);
    QCOMPARE(BlackInkOf(Be(75, 3)), 75ull);
    QCOMPARE(BlackInkOf(Be(75, 4)), 75ull);
    QCOMPARE(BlackInkOf(Be(0x01020304, 4)), 0x01020304ull);
    QCOMPARE(BlackInkOf(Be(0xFFFFFFFFull, 4)), 0xFFFFFFFFull);
    QCOMPARE(BlackInkOf(Bytes()), 0ull);
    // Five bytes and more are read by their first byte, overlong values included.
    QCOMPARE(BlackInkOf(Bytes{0x09, 0x00, 0x00, 0x00, 0x4B}), 9ull);
    Bytes longValue(200, 0x01);
    longValue[0] = 0x33;
    QCOMPARE(BlackInkOf(longValue), 0x33ull);
    QCOMPARE(BlackInkOf(Bytes(255, 0x7F)), 0x7Full);
}

void TestStatus::supplyTags()
{
    stStatusReply r = Reply();
    r.listSupply = {{0x1003, Be(1234, 4)}};
    stPrinterState state;
    QVERIFY(ParseState(r, state));
    QCOMPARE(state.dwNumberOfPages, 1234ull);
    QCOMPARE(state.dwNumberOfPrint, 0ull);
    QCOMPARE(state.dwPrinterNumOfPages, 0ull);
    QCOMPARE(state.dwRemainingToner + state.dwWasteToner + state.dwOPCRotation + state.dwPrintDotsCount
                 + state.dwPrinterNumOfPrint + state.dwBlackInkRemainer + state.dwBlueInkRemainer
                 + state.dwRedInkRemainer + state.dwYellowInkRemainer,
             0ull);

    // Later records overwrite earlier ones; unknown tags are stepped over without effect.
    r.listSupply = {{0x4143, Be(10, 2)}, {0x2222, Be(0xFFFF, 2)}, {0x4143, Be(20, 2)}, {0x4344, Be(5, 2)}};
    QVERIFY(ParseState(r, state));
    QCOMPARE(state.dwBlueInkRemainer, 20ull);
    QCOMPARE(state.dwYellowInkRemainer, 0ull);
    QCOMPARE(state.dwNumberOfPages, 0ull);
}

void TestStatus::supplyCountShort()
{
    stStatusReply r = Reply();
    r.listSupply = {{0x4043, Be(1, 2)}, {0x4143, Be(2, 2)}};
    r.iAnnouncedSupplies = 3;
    stPrinterState state;
    QVERIFY(!ParseState(r, state));

    // Bytes after the last announced record are ignored.
    r.iAnnouncedSupplies = 1;
    QVERIFY(ParseState(r, state));
    QCOMPARE(state.dwBlackInkRemainer, 1ull);
    QCOMPARE(state.dwBlueInkRemainer, 0ull);
}

void TestStatus::fullResponseFillsRecord()
{
    stPrinterState state;
    state.iFailCount = 3;
    QVERIFY(ParseState(FullResponse(), state));
    QCOMPARE(state.strVenderName, QStringLiteral("Orvo"));
    QCOMPARE(state.strProductName, QStringLiteral("K20NW"));
    QCOMPARE(state.strPrinterSerialNumber, QStringLiteral("SN-0042"));
    QCOMPARE(state.strFWVersion, QStringLiteral("V1.2.3"));
    QCOMPARE(state.strSupplySerialNumber, QStringLiteral("SUP-77"));
    QCOMPARE(state.enCurrentStatus, PS_PRINTING);
    QCOMPARE(state.listError, (QList<enErrorStatus>{enErrorStatus(32), ES_UNKNOWN}));
    QCOMPARE(state.listWarning, (QList<enErrorStatus>{enErrorStatus(28), enErrorStatus(45)}));
    QCOMPARE(state.enSpplyType, 0);
    QCOMPARE(state.dwRemainingToner, 900ull);
    QCOMPARE(state.dwWasteToner, 901ull);
    QCOMPARE(state.dwOPCRotation, 902ull);
    QCOMPARE(state.dwNumberOfPages, 70000ull);
    QCOMPARE(state.dwNumberOfPrint, 70001ull);
    QCOMPARE(state.dwPrintDotsCount, 903ull);
    QCOMPARE(state.dwPrinterNumOfPages, 70002ull);
    QCOMPARE(state.dwPrinterNumOfPrint, 70003ull);
    QCOMPARE(state.dwBlackInkRemainer, 75ull);
    QCOMPARE(state.dwBlueInkRemainer, 60ull);
    QCOMPARE(state.dwRedInkRemainer, 45ull);
    QCOMPARE(state.dwYellowInkRemainer, 30ull);
    QCOMPARE(state.iFailCount, 0);

    const Bytes b = EncodeUsbStatusReply(FullResponse());
    UtilPrinterStatus st;
    QVERIFY(Parse(b, b.size(), st));
    QCOMPARE(st.dwSupplyType, 7ul);
    QCOMPARE(QByteArray(st.szFifthText), QByteArray("extra"));
    QCOMPARE(st.bySupplyCount, (unsigned char)15);
}

void TestStatus::everyPrefixFails()
{
    const Bytes b = EncodeUsbStatusReply(FullResponse());
    QVERIFY(b.size() > 150);
    for (size_t len = 0; len < b.size(); ++len) {
        UtilPrinterStatus st;
        if (Parse(b, len, st))
            QFAIL(qPrintable(QStringLiteral("prefix of %1 of %2 bytes parsed").arg(len).arg(b.size())));
    }
    UtilPrinterStatus st;
    QVERIFY(Parse(b, b.size(), st));
}

void TestStatus::overlongTexts()
{
    stStatusReply r = FullResponse();
    r.strVendor = std::string(1000, 'V');
    r.strProduct = std::string(259, 'P');  // fits exactly
    r.strSerial = std::string(260, 'S');  // one over
    r.strFirmware = std::string(300, 'F');
    r.strFifthText = std::string(65535, 'X');
    r.listSupply.insert(r.listSupply.begin(), SupplyText(0x0000, std::string(200, 'Z')));
    const Bytes b = EncodeUsbStatusReply(r);
    UtilPrinterStatus st;
    QVERIFY(Parse(b, b.size(), st));
    stPrinterState state;
    FillPrinterState(st, state);
    QCOMPARE(state.strVenderName, QString(259, 'V'));
    QCOMPARE(state.strProductName, QString(259, 'P'));
    QCOMPARE(state.strPrinterSerialNumber, QString(259, 'S'));
    QCOMPARE(state.strFWVersion, QString(254, 'F'));
    QCOMPARE(QByteArray(st.szFifthText), QByteArray(254, 'X'));
    // The full-response record with the same tag comes later and wins; the fields behind
    // the long texts are still found where the lengths put them.
    QCOMPARE(state.strSupplySerialNumber, QStringLiteral("SUP-77"));
    QCOMPARE(state.enCurrentStatus, PS_PRINTING);
    QCOMPARE(state.dwYellowInkRemainer, 30ull);

    stStatusReply only = Reply();
    only.listSupply = {SupplyText(0x0000, std::string(255, 'Q'))};
    QVERIFY(ParseState(only, state));
    QCOMPARE(state.strSupplySerialNumber, QString(63, 'Q'));
    only.listSupply = {SupplyText(0x0000, std::string(64, 'Q'))};
    QVERIFY(ParseState(only, state));
    QCOMPARE(state.strSupplySerialNumber, QString(63, 'Q'));
    only.listSupply = {SupplyText(0x0000, std::string(63, 'Q'))};
    QVERIFY(ParseState(only, state));
    QCOMPARE(state.strSupplySerialNumber, QString(63, 'Q'));

    // A text announcing more bytes than the buffer has still fails.
    r = Reply();
    r.strVendor = std::string(300, 'V');
    Bytes cut = EncodeUsbStatusReply(r);
    cut.resize(14 + 299);
    UtilPrinterStatus shortSt;
    QVERIFY(!Parse(cut, cut.size(), shortSt));
}

void TestStatus::textStopsAtZero()
{
    stStatusReply r = Reply();
    r.strVendor = std::string("Or\0vo", 5);
    r.strFirmware = "\xE9V1";
    r.listSupply = {SupplyText(0x0000, std::string("AB\0CD", 5))};
    stPrinterState state;
    QVERIFY(ParseState(r, state));
    QCOMPARE(state.strVenderName, QStringLiteral("Or"));
    QCOMPARE(state.strFWVersion, QString::fromLatin1("\xE9V1"));
    QCOMPARE(state.strSupplySerialNumber, QStringLiteral("AB"));
}

void TestStatus::changeCheck()
{
    stPrinterState a;
    QVERIFY(ParseState(FullResponse(), a));
    stPrinterState b = a;
    QVERIFY(!CheckStatusChange(a, b));
    b.strFWVersion = "V9";
    b.dwWasteToner = 1;
    b.strVenderName = "x";
    b.dwNumberOfPages = 5;
    b.iFailCount = 3;
    QVERIFY(!CheckStatusChange(a, b));

    auto differs = [&a](auto change) {
        stPrinterState c = a;
        change(c);
        return CheckStatusChange(a, c) && CheckStatusChange(c, a);
    };
    QVERIFY(differs([](stPrinterState &c) { c.enCurrentStatus = PS_READY; }));
    QVERIFY(differs([](stPrinterState &c) { c.dwRemainingToner++; }));
    QVERIFY(differs([](stPrinterState &c) { c.dwBlackInkRemainer++; }));
    QVERIFY(differs([](stPrinterState &c) { c.dwBlueInkRemainer++; }));
    QVERIFY(differs([](stPrinterState &c) { c.dwRedInkRemainer++; }));
    QVERIFY(differs([](stPrinterState &c) { c.dwYellowInkRemainer++; }));
    QVERIFY(differs([](stPrinterState &c) { c.listError.append(ES_UNKNOWN); }));
    QVERIFY(differs([](stPrinterState &c) { c.listWarning.clear(); }));
    QVERIFY(differs([](stPrinterState &c) { std::swap(c.listWarning[0], c.listWarning[1]); }));
}

void TestStatus::statusFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto write = [&dir](const QString &name, const Bytes &b) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(reinterpret_cast<const char *>(b.data()), qint64(b.size()));
        return f.fileName();
    };
    stPrinterState state;
    state.iFailCount = 2;
    QVERIFY(ParseStatusFile(write("Orvo-K20NW.dat", EncodeUsbStatusReply(FullResponse())), state));
    QCOMPARE(state.dwBlackInkRemainer, 75ull);
    QCOMPARE(state.listError.size(), 2);
    QCOMPARE(state.iFailCount, 0);

    stPrinterState untouched;
    untouched.strVenderName = "kept";
    QVERIFY(!ParseStatusFile(dir.filePath("missing.dat"), untouched));
    QVERIFY(!ParseStatusFile(write("eight.dat", Bytes(8, 0)), untouched));
    QCOMPARE(untouched.strVenderName, QStringLiteral("kept"));

    // Only the first 2048 bytes count: a response that needs more does not parse from a file.
    stStatusReply big = Reply();
    big.strVendor = std::string(2048 - 35, 'V');
    QCOMPARE(EncodeUsbStatusReply(big).size(), size_t(2046));
    QVERIFY(ParseStatusFile(write("fits.dat", EncodeUsbStatusReply(big)), state));
    QCOMPARE(state.strVenderName, QString(259, 'V'));
    big.strVendor.append("VVV");
    const Bytes over = EncodeUsbStatusReply(big);
    UtilPrinterStatus st;
    QVERIFY(Parse(over, over.size(), st));
    QVERIFY(!ParseStatusFile(write("over.dat", over), untouched));
}

void TestStatus::randomBuffers()
{
    std::mt19937 rng(20240611);
    const Bytes full = EncodeUsbStatusReply(FullResponse());
    stStatusReply minimalWithSupply = Reply();
    minimalWithSupply.listSupply = {{0x4043, Be(1, 2)}};
    const Bytes small = EncodeUsbStatusReply(minimalWithSupply);
    int parsed = 0;
    int failed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 200000; ++round) {
        Bytes b;
        const int kind = round % 4;
        if (kind == 0) {
            b.resize(rng() % 300);
            for (auto &c : b)
                c = (unsigned char)rng();
        } else {
            b = (kind == 3) ? small : full;
            const int flips = 1 + rng() % 4;
            for (int i = 0; i < flips; ++i)
                b[rng() % b.size()] = (unsigned char)rng();
            if (kind == 2)
                b.resize(rng() % (b.size() + 40), (unsigned char)rng());
        }
        UtilPrinterStatus st;
        if (!Parse(b, b.size(), st)) {
            ++failed;
            continue;
        }
        ++parsed;
        QVERIFY(strnlen(st.szVenderName, sizeof st.szVenderName) < sizeof st.szVenderName);
        QVERIFY(strnlen(st.szFWVersion, sizeof st.szFWVersion) < sizeof st.szFWVersion);
        QVERIFY(strnlen(st.szSupplySerialNumber, sizeof st.szSupplySerialNumber) < sizeof st.szSupplySerialNumber);
        stPrinterState state;
        FillPrinterState(st, state);
        QVERIFY(int(state.enCurrentStatus) >= 0 && int(state.enCurrentStatus) <= PS_DEBUG);
        for (enErrorStatus e : state.listError)
            QVERIFY(e >= 0 && e <= ES_LAST);
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    qInfo("random buffers: %d parsed, %d failed, %lld ms", parsed, failed, (long long)ms);
    QVERIFY(parsed > 1000);
    QVERIFY(failed > 1000);
}

void TestStatus::statusTexts_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    QTest::newRow("0") << 0 << "Unknown" << QString::fromUtf8("未知");
    QTest::newRow("2") << 2 << "Off-line" << QString::fromUtf8("脱机");
    QTest::newRow("3") << 3 << "Ready" << QString::fromUtf8("就绪");
    QTest::newRow("6") << 6 << "Canceling job" << QString::fromUtf8("正在取消任务");
    QTest::newRow("8") << 8 << "Printing" << QString::fromUtf8("正在打印");
    QTest::newRow("14") << 14 << "Busy with a task" << QString::fromUtf8("打印机任务中");
    QTest::newRow("15") << 15 << "Printing a debug report" << QString::fromUtf8("正在打印Debug报告");
    QTest::newRow("-1") << -1 << "Unknown" << QString::fromUtf8("未知");
    QTest::newRow("16") << 16 << "Unknown" << QString::fromUtf8("未知");
    QTest::newRow("1000") << 1000 << "Unknown" << QString::fromUtf8("未知");
}

void TestStatus::statusTexts()
{
    QFETCH(int, status);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    QCOMPARE(GetStatusText(status, c_iLanguageEnglish), english);
    QCOMPARE(GetStatusText(status, c_iLanguageChinese), chinese);
    QCOMPARE(GetStatusText(status, 7), english);
    if (status >= 0 && status <= PS_DEBUG)
        QCOMPARE(c_strStatusLanguageText[status][1], chinese);
}

void TestStatus::errorTexts_data()
{
    QTest::addColumn<qulonglong>("code");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    QTest::newRow("0x6151") << 0x6151ull << "Color ink is used up; please follow the steps on the printer"
                            << QString::fromUtf8("彩色墨水已用完，请在打印机上操作");
    QTest::newRow("0x5201") << 0x5201ull << "Network error (fault #5201); please switch the printer off and on again" << QString::fromUtf8("故障#5201，请断电重启");
    QTest::newRow("0x5200") << 0x5200ull << "Wi-Fi module failed to start (fault #5200); please switch the printer off and on again"
                            << QString::fromUtf8("故障#5200，请断电重启");
    QTest::newRow("0x6100") << 0x6100ull << "No paper in the input tray; please load paper"
                            << QString::fromUtf8("进纸托盘处无纸,请放入纸张");
    QTest::newRow("0x6203") << 0x6203ull << "Fatal error"
                            << "Fatal Error.";
    QTest::newRow("0x6163") << 0x6163ull << "Cyan ink is low" << QString();
    QTest::newRow("0x6155") << 0x6155ull << "Magenta ink is empty; please replace the ink bottle"
                            << QString::fromUtf8("品红色墨水空，请及时更换墨水瓶");
    QTest::newRow("0x6800") << 0x6800ull << QString() << QString();
    QTest::newRow("0") << 0x0ull << "Unknown error status" << QString::fromUtf8("错误状态未知");
    QTest::newRow("0x6157") << 0x6157ull << "Unknown error status" << QString::fromUtf8("错误状态未知");
}

void TestStatus::errorTexts()
{
    QFETCH(qulonglong, code);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    const int value = GetErrorStatusEnum((unsigned long)code);
    QCOMPARE(GetErrorDescText(value, c_iLanguageEnglish), english);
    QCOMPARE(GetErrorDescText(value, c_iLanguageChinese), chinese);
    QCOMPARE(c_strErrorDescText[value][0], english);
}

void TestStatus::textTablesShape()
{
    const QString unknown = QString::fromUtf8("错误状态未知");
    QCOMPARE(GetErrorDescText(-1, 1), unknown);
    QCOMPARE(GetErrorDescText(46, 1), unknown);
    QCOMPARE(GetErrorDescText(46, -3), QStringLiteral("Unknown error status"));
    QCOMPARE(GetErrorDescText(45, 2), c_strErrorDescText[45][0]);
    for (int s = 0; s <= PS_DEBUG; ++s)
        QVERIFY(!c_strStatusLanguageText[s][0].isEmpty() && !c_strStatusLanguageText[s][1].isEmpty());
    // Only value 42 has no English text; only 28..30 and 42 have no Chinese one.
    for (int e = 0; e <= ES_LAST; ++e) {
        QCOMPARE(c_strErrorDescText[e][0].isEmpty(), e == 42);
        QCOMPARE(c_strErrorDescText[e][1].isEmpty(), e == 42 || (e >= 28 && e <= 30));
    }
    // Each fault-number text names the device code that maps to its own row, in both columns.
    for (int e = 1; e <= ES_LAST; ++e) {
        const QString zh = c_strErrorDescText[e][1];
        const int hash = zh.indexOf(QLatin1Char('#'));
        if (hash < 0)
            continue;
        const unsigned long code = zh.mid(hash + 1, 4).toULong(nullptr, 16);
        QCOMPARE(int(GetErrorStatusEnum(code)), e);
        QVERIFY2(c_strErrorDescText[e][0].contains(zh.mid(hash, 5)), qPrintable(c_strErrorDescText[e][0]));
    }
}

QTEST_GUILESS_MAIN(TestStatus)
#include "tst_status.moc"
