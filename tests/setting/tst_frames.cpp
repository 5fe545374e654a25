// The maintenance frames byte for byte, the reply parser on every reply shape, a bounded
// randomized pass over the parser, and the message chosen for every USB result.
#include "UtilLibusb.h"
#include "orvo-ipconfig.h"
#include "orvo-maint.h"
#include "orvo-maintcmd.h"
#include "orvo-udp.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
QByteArray Hex(const unsigned char *p, int n)
{
    return QByteArray(reinterpret_cast<const char *>(p), n).toHex().toUpper();
}

QByteArray Bytes(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

void PutItem(QByteArray &b, int key, const QByteArray &value, int declared = -1)
{
    b.append(char(key >> 8)).append(char(key));
    b.append(QByteArray(key == 0x4010 ? 14 : 10, '\x11'));  // bytes the tool does not read
    const int n = declared < 0 ? int(value.size()) : declared;
    b.append(char(n >> 8)).append(char(n));
    b.append(value);
}

// A reply as the printer sends it: 64-byte packets, each behind A5 and four bytes.
QByteArray Packets(const QByteArray &payload)
{
    QByteArray raw;
    for (int at = 0; at < payload.size(); at += 59)
        raw.append(Bytes("A5 00 3D 50 E0")).append(payload.mid(at, 59));
    return raw;
}

QByteArray FullPayload(const char *source = "Static")
{
    QByteArray p = Bytes("50 E0 B2 02 00 08");
    PutItem(p, 0x4010, source);
    const char *addr[7] = {"10.1.2.3", "255.255.0.0", "10.1.0.1", "8.8.8.8", "8.8.4.4", "10.1.0.5", "010.001.000.006"};
    for (int i = 0; i < 7; ++i)
        PutItem(p, 0x4011 + i, addr[i]);
    return p;
}

bool Parse(const QByteArray &raw, stIPInfo &info)
{
    return ParseRecvData(reinterpret_cast<const unsigned char *>(raw.constData()), int(raw.size()), info);
}
}  // namespace

class TstFrames : public QObject {
    Q_OBJECT
private slots:
    void fixedCommands()
    {
        QCOMPARE(Hex(c_ucIPReadRequest, c_iIPReadRequestLen),
                 QByteArray("A5001950E0B20200000100084010401140124013401440154016"
                            "4017"));
        QCOMPARE(Hex(c_ucCleanFirst, c_iCleanFirstLen), QByteArray("A5000750E02E02010101"));
        QCOMPARE(Hex(c_ucCleanRepeat, c_iCleanRepeatLen), QByteArray("A5000850E02E0201011202"));
        QCOMPARE(Hex(c_ucAlignmentPrint, c_iAlignmentPrintLen), QByteArray("A5000750E02E02010152"));
    }

    void writeRequest()
    {
        stIPInfo info;
        info.iIPSource = 1;
        info.strIPAddress = "192.168.001.010";
        info.strSubnetMask = "255.255.255.0";
        info.strGateway = "192.168.1.1";
        info.strPrimaryDNS = "8.8.8.8";
        info.strSecondaryDNS = "0.0.0.0";
        info.strPrimaryWINS = "1.2.3.4";
        info.strSecondaryWINS = "5.6.7.8";
        unsigned char buf[c_iIPWriteRequestLen];
        int len = 0;
        QVERIFY(WriteSendData(info, buf, len));
        QCOMPARE(len, 75);
        QCOMPARE(Hex(buf, len), QByteArray("A5004850E0B2030009"
                                           "4010000101"
                                           "40110004C0A8010A"
                                           "40120004FFFFFF00"
                                           "40130004C0A80101"
                                           "4014000408080808"
                                           "4015000400000000"
                                           "4016000401020304"
                                           "4017000405060708"
                                           "401F000100"));
        info.iIPSource = 0;
        info.strSecondaryWINS = "5.6.7";  // one bad row spoils the request
        QVERIFY(!WriteSendData(info, buf, len));
        QCOMPARE(buf[13], 0);
    }

    void formatIPData()
    {
        unsigned char buf[6] = {9, 9, 9, 9, 9, 9};
        QVERIFY(FormatIPData("0.0.0.0", buf, 1));
        QCOMPARE(Hex(buf, 6), QByteArray("090000000009"));
        QVERIFY(!FormatIPData("256.1.1.1", buf, 1));
        QVERIFY(!FormatIPData("", buf, 1));
        QCOMPARE(Hex(buf, 6), QByteArray("090000000009"));
        // Leading zeros are decimal, for the request as for the form's fields (kept as typed).
        QVERIFY(FormatIPData("010.001.0.255", buf, 1));
        QCOMPARE(Hex(buf, 6), QByteArray("090A0100FF09"));
        QStringList octets{"x"};
        QVERIFY(!SplitIPAddress("1.2.3.4.5", octets));
        QCOMPARE(octets, QStringList{"x"});
        QVERIFY(SplitIPAddress("010.001.0.255", octets));
        QCOMPARE(octets, QStringList({"010", "001", "0", "255"}));
    }

    void alignmentFinish_data()
    {
        QTest::addColumn<QVector<int>>("values");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("all zero") << QVector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0}
                                  << QByteArray("A5002C50E02E110000000D") + QByteArray(72, '0');
        QTest::newRow("extremes") << QVector<int>{-12, 6, -6, 1, -1, 0, 2, -2, 1}
                                  << QByteArray("A5002C50E02E110000000D"
                                                "FFFFFFA0"
                                                "00000030"
                                                "FFFFFFD0"
                                                "00000008"
                                                "FFFFFFF8"
                                                "00000000"
                                                "00000200"
                                                "00000010"
                                                "FFFFFFF0");
        QTest::newRow("row 9 negative, rows 7 and 8 after it") << QVector<int>{12, 0, 0, 0, 0, 0, -6, 6, -6}
                                                               << QByteArray("A5002C50E02E110000000D"
                                                                             "00000060"
                                                                             "00000000"
                                                                             "00000000"
                                                                             "00000000"
                                                                             "00000000"
                                                                             "00000000"
                                                                             "FFFFF400"
                                                                             "FFFFFFD0"
                                                                             "00000030");
    }
    void alignmentFinish()
    {
        QFETCH(QVector<int>, values);
        QFETCH(QByteArray, hex);
        unsigned char out[c_iAlignmentFinishLen];
        BuildAlignmentFinish(values.constData(), out);
        QCOMPARE(Hex(out, c_iAlignmentFinishLen), hex);
    }

    void alignmentRanges()
    {
        QCOMPARE(AlignmentMin(1), -12);
        QCOMPARE(AlignmentMax(1), 12);
        for (int row = 2; row <= 9; ++row) {
            QCOMPARE(AlignmentMin(row), -6);
            QCOMPARE(AlignmentMax(row), 6);
        }
    }

    void ipValid_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("leading zeros") << "192.168.001.010" << true;
        QTest::newRow("zeros") << "0.0.0.0" << true;
        QTest::newRow("top") << "255.255.255.255" << true;
        QTest::newRow("256") << "256.1.1.1" << false;
        QTest::newRow("three octets") << "1.2.3" << false;
        QTest::newRow("trailing blank") << "1.2.3.4 " << false;
        QTest::newRow("five octets") << "1.2.3.4.5" << false;
        QTest::newRow("host name") << "printer.local" << false;
        QTest::newRow("empty octet") << "1..3.4" << false;
        QTest::newRow("four digits") << "1.2.3.0004" << false;
    }
    void ipValid()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(IsIPValid(text), valid);
    }

    void packetHeaders()
    {
        // A second packet beginning with A5 loses five bytes; one that does not is kept whole.
        QByteArray raw = Bytes("A5 01 02 03 04") + QByteArray(59, 'a') + Bytes("A5 05 06 07 08") + "bcd";
        unsigned char payload[c_iIPReplyMax];
        int n = 0;
        QVERIFY(FormatRecvData(reinterpret_cast<const unsigned char *>(raw.constData()), int(raw.size()), payload, n));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(payload), n), QByteArray(59, 'a') + "bcd");
        raw[64] = 'x';
        QVERIFY(FormatRecvData(reinterpret_cast<const unsigned char *>(raw.constData()), int(raw.size()), payload, n));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(payload), n), QByteArray(59, 'a') + "x" + Bytes("05060708") + "bcd");
        QVERIFY(!FormatRecvData(reinterpret_cast<const unsigned char *>("\xA5\1\2\3\4\5"), 6, payload, n));
        QVERIFY(!FormatRecvData(reinterpret_cast<const unsigned char *>("\xA4\1\2\3\4\5\6"), 7, payload, n));
        const QByteArray big = Bytes("A5") + QByteArray(c_iIPReplyMax, '\0');
        QVERIFY(!FormatRecvData(reinterpret_cast<const unsigned char *>(big.constData()), int(big.size()), payload, n));
    }

    void replyAccepted()
    {
        stIPInfo info;
        QVERIFY(Packets(FullPayload()).size() > 64);
        QVERIFY(Parse(Packets(FullPayload()), info));
        QCOMPARE(info.iIPSource, 1);
        QCOMPARE(info.strIPAddress, QString("10.1.2.3"));
        QCOMPARE(info.strSubnetMask, QString("255.255.0.0"));
        QCOMPARE(info.strGateway, QString("10.1.0.1"));
        QCOMPARE(info.strPrimaryDNS, QString("8.8.8.8"));
        QCOMPARE(info.strSecondaryDNS, QString("8.8.4.4"));
        QCOMPARE(info.strPrimaryWINS, QString("10.1.0.5"));
        QCOMPARE(info.strSecondaryWINS, QString("010.001.000.006"));
        QVERIFY(Parse(Packets(FullPayload("DHCP")), info));
        QCOMPARE(info.iIPSource, 0);

        // Any order, missing items, a repeated key overwrites; no source item leaves it unset.
        QByteArray p = Bytes("50 E0 B2 02 00 03");
        PutItem(p, 0x4013, "1.1.1.1");
        PutItem(p, 0x4011, "2.2.2.2");
        PutItem(p, 0x4013, "3.3.3.3");
        stIPInfo partial;
        QVERIFY(Parse(Packets(p), partial));
        QCOMPARE(partial.iIPSource, -1);
        QCOMPARE(partial.strIPAddress, QString("2.2.2.2"));
        QCOMPARE(partial.strGateway, QString("3.3.3.3"));
        QCOMPARE(partial.strSubnetMask, QString());
    }

    void replyRejected_data()
    {
        QTest::addColumn<QByteArray>("raw");
        const QByteArray full = FullPayload();
        QByteArray p;
        p = FullPayload("dhcp");
        QTest::newRow("dhcp in lower case") << Packets(p);
        p = FullPayload("Static ");
        QTest::newRow("source with a blank") << Packets(p);
        p = full;
        PutItem(p, 0x401F, QByteArray(1, '\0'));
        QTest::newRow("closing key") << Packets(p);
        p = full;
        PutItem(p, 0x4018, "1.1.1.1");
        QTest::newRow("unknown key") << Packets(p);
        p = full;
        PutItem(p, 0x4011, "1.1.1");
        QTest::newRow("bad address") << Packets(p);
        p = full;
        PutItem(p, 0x4012, "1.1.1.1", 8);
        QTest::newRow("length past the end") << Packets(p);
        p = full;
        PutItem(p, 0x4012, "1.1.1.1", 0xFFFF);
        QTest::newRow("length 65535") << Packets(p);
        p = Bytes("50 E0 B2 02 00 01");
        PutItem(p, 0x4011, QByteArray(400, '1'));
        QTest::newRow("value of 400 bytes") << Packets(p);
        p = full + Bytes("40 11 11 11");
        QTest::newRow("ends inside an item header") << Packets(p);
        p = full + Bytes("40");
        QTest::newRow("ends inside a key") << Packets(p);
        QTest::newRow("header only") << Packets(Bytes("50 E0 B2 02 00 00"));
        QTest::newRow("no start byte") << Packets(full).mid(1);
        QTest::newRow("empty") << QByteArray();
    }
    void replyRejected()
    {
        QFETCH(QByteArray, raw);
        stIPInfo info;
        info.iIPSource = 1;
        info.strIPAddress = "9.9.9.9";
        QVERIFY(!Parse(raw, info));
        QCOMPARE(info.iIPSource, 1);  // untouched
        QCOMPARE(info.strIPAddress, QString("9.9.9.9"));
    }

    // Mutated and random replies under the sanitizers: the parser never reads or writes out
    // of bounds, and what it accepts is a configuration.
    void randomReplies()
    {
        QRandomGenerator rng(20261208);
        const QByteArray seeds[] = {Packets(FullPayload()), Packets(FullPayload("DHCP")), FullPayload()};
        int accepted = 0;
        const int rounds = 30000;
        for (int round = 0; round < rounds; ++round) {
            QByteArray raw;
            if (round % 4 == 0) {
                raw.resize(int(rng.bounded(1100)));
                for (char &c : raw)
                    c = char(rng.bounded(256));
                if (!raw.isEmpty() && rng.bounded(2))
                    raw[0] = char(0xA5);
            } else {
                raw = seeds[rng.bounded(3)];
                const int edits = 1 + int(rng.bounded(6));
                for (int e = 0; e < edits && !raw.isEmpty(); ++e) {
                    const int at = int(rng.bounded(raw.size()));
                    switch (rng.bounded(4)) {
                    case 0:
                        raw[at] = char(rng.bounded(256));
                        break;
                    case 1:
                        raw.truncate(at);
                        break;
                    case 2:
                        raw.insert(at, QByteArray(int(rng.bounded(80)), char(rng.bounded(256))));
                        break;
                    default:
                        raw[at] = char(raw[at] ^ (1 << rng.bounded(8)));
                        break;
                    }
                }
            }
            // Exactly as long as the bytes: ASan sees any read beyond them.
            std::vector<unsigned char> exact(raw.begin(), raw.end());
            stIPInfo info;
            if (!ParseRecvData(exact.data(), int(exact.size()), info))
                continue;
            ++accepted;
            QVERIFY(info.iIPSource >= -1 && info.iIPSource <= 1);
            for (int i = 0; i < c_iIPAddressCount; ++i)
                QVERIFY(IPInfoAddress(info, i).isEmpty() || IsIPValid(IPInfoAddress(info, i)));
        }
        qInfo("randomized replies: %d, accepted: %d", rounds, accepted);
        QVERIFY(accepted > 0);
    }

    void usbMessages()
    {
        const QList<QPair<int, QString>> both = {
            {0, ""},
            {-1, "设备接口初始化失败！"},
            {-2, "连接打印机失败，请检查连接状态！"},
            {-3, "连接打印机失败，请检查连接状态！"},
            {-4, "连接打印机失败，请检查连接状态！"},
            {-5, "连接打印机失败，请检查连接状态！"},
            {-6, "与打印机通信失败，请检查打印机状态并重新尝试！"},
            {-8, "未知错误！"},
            {1, "未知错误！"},
        };
        for (const auto &c : both) {
            QCOMPARE(MaintText(UsbResultMessage(c.first, true)), c.second);
            QCOMPARE(MaintText(UsbResultMessage(c.first, false)), c.second);
        }
        // No reply: a failure only where the answer is needed (network settings).
        QCOMPARE(MaintText(UsbResultMessage(-7, true)), QString("与打印机通信失败，请检查打印机状态并重新尝试！"));
        QCOMPARE(UsbResultMessage(-7, false), MM_NONE);
        for (int id = MM_SELECT_PRINTER; id <= MM_ALIGN_DONE; ++id) {
            QVERIFY(!MaintText(enMaintMessage(id)).isEmpty());
            QVERIFY(MaintText(enMaintMessage(id)) != MaintText(enMaintMessage(id - 1)));
        }
    }
};

QTEST_GUILESS_MAIN(TstFrames)
#include "tst_frames.moc"
