// A queue's address text read as the scheduler reads it: the numeric forms getaddrinfo
// takes (octal and hexadecimal parts, short forms), nothing else.
#include "orvo-ipv4-plain.h"

#include <QTest>

#include <string>

class TestIPv4 : public QObject {
    Q_OBJECT

    static QString Parsed(const std::string &text)
    {
        in_addr addr{};
        return ParseIPv4Address(text, addr) ? QString::fromStdString(IPv4AddressText(addr)) : QString("-");
    }

private slots:
    void numericForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address");
        QTest::newRow("leading zeros are octal") << "192.168.001.010"
                                                 << "192.168.1.8";
        QTest::newRow("loopback with zeros") << "127.000.000.010"
                                             << "127.0.0.8";
        QTest::newRow("hexadecimal part") << "0x7f.1"
                                          << "127.0.0.1";
        QTest::newRow("two parts") << "127.1"
                                   << "127.0.0.1";
        QTest::newRow("one number") << "3232235777"
                                    << "192.168.1.1";
        QTest::newRow("plain dotted") << "10.20.30.40"
                                      << "10.20.30.40";
        QTest::newRow("host name") << "printer.local"
                                   << "-";
        QTest::newRow("localhost") << "localhost"
                                   << "-";
        QTest::newRow("empty") << ""
                               << "-";
        QTest::newRow("trailing space") << "1.2.3.4 "
                                        << "-";
        QTest::newRow("leading space") << " 1.2.3.4"
                                       << "-";
        QTest::newRow("trailing junk") << "1.2.3.4x"
                                       << "-";
        QTest::newRow("port") << "1.2.3.4:9100"
                              << "-";
        QTest::newRow("part out of range") << "256.1.1.1"
                                           << "-";
        QTest::newRow("last part out of range") << "1.2.3.256"
                                                << "-";
        QTest::newRow("not octal") << "09.1.1.1"
                                   << "-";
        QTest::newRow("five parts") << "1.2.3.4.5"
                                    << "-";
        QTest::newRow("empty part") << "1.2.3."
                                    << "-";
        QTest::newRow("IPv6") << "::1"
                              << "-";
    }
    void numericForms()
    {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QCOMPARE(Parsed(text.toStdString()), address);
    }

    // The C library stops at a NUL; the text is all of it.
    void embeddedNul()
    {
        QCOMPARE(Parsed(std::string("1.2.3.4\0junk", 12)), QString("-"));
    }
};

QTEST_GUILESS_MAIN(TestIPv4)
#include "tst_ipv4.moc"
