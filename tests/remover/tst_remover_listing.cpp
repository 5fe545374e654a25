// Queue names from the lines of "lpstat -v", in English and in the translated form.
#include "RemoverListing.h"

#include <QTest>

class TstRemoverListing : public QObject {
    Q_OBJECT
private slots:
    void names_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("name");
        QTest::newRow("english") << "device for K20NW_USB: usb://Orvo/K20NW?serial=AB12\n"
                                 << "K20NW_USB";
        QTest::newRow("english, letter case") << "Device For K40N_NET: socket://127.0.0.1:9100"
                                              << "K40N_NET";
        QTest::newRow("english, runs of spaces") << "device for   Q1:  ipp://h/p"
                                                 << "Q1";
        QTest::newRow("english, shell characters") << "device for x;touch${IFS}pwned: socket://h"
                                                   << "x;touch${IFS}pwned";
        QTest::newRow("english, too short") << "device for Q1:"
                                            << "";
        QTest::newRow("chinese")
            << QString::fromUtf8("用于 K40N_NET 的设备：socket://127.0.0.1:9100/?snmp=false\n") << "K40N_NET";
        QTest::newRow("other, too short") << QString::fromUtf8("用于 K40N_NET") << "";
        QTest::newRow("empty line") << "\n"
                                    << "";
    }

    void names()
    {
        QFETCH(QString, line);
        QFETCH(QString, name);
        QCOMPARE(ListingQueueName(line), name);
    }
};

QTEST_GUILESS_MAIN(TstRemoverListing)
#include "tst_remover_listing.moc"
