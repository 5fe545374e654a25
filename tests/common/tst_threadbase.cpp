// Pauses of the worker base: 500 ms slices and how fast a quit request ends them.
#include "UtilThreadBase.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

class TestThreadBase : public QObject {
    Q_OBJECT
private slots:
    void slicesWithoutQuit()
    {
        UtilThreadBase base;
        QElapsedTimer t;
        t.start();
        QVERIFY(!base.WaitForSleep(1250));
        QVERIFY2(t.elapsed() >= 1245 && t.elapsed() < 1450, qPrintable(QString::number(t.elapsed())));
        t.restart();
        QVERIFY(!base.WaitForSleep(300));
        QVERIFY(t.elapsed() >= 295 && t.elapsed() < 450);
    }

    void quitEndsPauseWithinOneSlice()
    {
        UtilThreadBase base;
        QThread *quitter = QThread::create([&base] {
            QThread::msleep(700);
            base.RequestQuit();
        });
        QElapsedTimer t;
        t.start();
        quitter->start();
        QVERIFY(base.WaitForSleep(5000));
        QVERIFY2(t.elapsed() >= 700 && t.elapsed() < 1250, qPrintable(QString::number(t.elapsed())));
        quitter->wait();
        delete quitter;
        // The remainder below one slice is slept without looking at the flag first.
        t.restart();
        QVERIFY(base.WaitForSleep(200));
        QVERIFY(t.elapsed() >= 195);
        t.restart();
        QVERIFY(base.WaitForSleep(2000));
        QVERIFY(t.elapsed() < 100);
    }
};

QTEST_GUILESS_MAIN(TestThreadBase)
#include "tst_threadbase.moc"
