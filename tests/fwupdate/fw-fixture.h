// Shared pieces of the firmware updater tests: printer list and firmware files under the
// install root, the simulated printer's control channel, and a hand that answers the
// window's modal boxes while the code under test waits in them.
#pragma once
#include "FWProgressDialog.h"
#include "orvo-paths.h"
#include "orvo-printerlist.h"
#include "orvo-spawn.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

// The simulated printer every transfer test talks to (tests/fwupdate/with-sim.sh).
const QString c_strSimId = "p1";
const QString c_strSimPort = "Orvo/K40N?serial=FW0001";

inline stPrinterInfo MakeFWInfo(const QString &name, const QString &model, int type, const QString &port)
{
    stPrinterInfo i;
    i.strPrinterName = name;
    i.strModelName = model;
    i.iConnectType = type;
    i.strPort = port;
    i.strDeviceURI = type == CONNECT_USB ? "usb://" + port : "socket://" + port + ":9100";
    return i;
}

inline void WriteFWPrinterList(const QList<stPrinterInfo> &infos)
{
    QFile::remove(PrinterListFilePath());
    SavePrinterInfo(infos, true);
}

// A file of n pseudo-random bytes; its content is returned too.
inline QByteArray MakeImageFile(const QString &path, qint64 n, quint32 seed)
{
    QByteArray data(int(n), '\0');
    QRandomGenerator gen(seed);
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(gen.generate() & 0xFF);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        return QByteArray("cannot write");
    return data;
}

inline QString Sha256Hex(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

// One control command of the simulator; its data lines, or a null list when it failed.
// The client never runs under the USB preload the test itself needs.
inline QStringList SimQuery(const QStringList &command)
{
    const QString bin = qEnvironmentVariable("ORVO_MFPSIM");
    const QString sock = qEnvironmentVariable("ORVO_SIM_SOCK");
    QTemporaryDir dir;
    const QString out = dir.filePath("reply");
    if (bin.isEmpty() || sock.isEmpty()
        || RunCommand(QStringList{"env", "-u", "LD_PRELOAD", bin, "ctl", sock} + command, out) != 0)
        return QStringList();
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly))
        return QStringList();
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    lines.prepend("OK");  // never empty on success
    return lines;
}

inline bool SimCtl(const QStringList &command)
{
    return !SimQuery(command).isEmpty();
}

// One attempt as the simulated printer saw it.
struct stSimAttempt {
    qint64 llBytes = -1;
    int iTransfers = -1;
    QString strSha256;
    QList<qint64> listSizes;
};

inline QList<stSimAttempt> SimAttempts()
{
    QList<stSimAttempt> list;
    QStringList lines = SimQuery({"stream", c_strSimId, "attempts"});
    if (lines.isEmpty())
        return list;
    lines.removeFirst();
    for (const QString &line : lines) {
        const QStringList w = line.split(' ');
        stSimAttempt a;
        if (w.size() == 4) {
            a.llBytes = w[0].toLongLong();
            a.iTransfers = w[1].toInt();
            a.strSha256 = w[2];
            if (w[3] != "-")
                for (const QString &s : w[3].split(','))
                    a.listSizes.append(s.toLongLong());
        }
        list.append(a);
    }
    return list;
}

// Answers every modal box the window opens while the test waits in a click: message boxes
// are recorded and closed (the confirmation with bConfirm's answer), the progress dialog's
// texts are recorded. fnDuringTransfer runs once, from the event loop, while the progress
// dialog is up.
class ModalHand : public QObject {
public:
    QStringList listMessages;
    QList<Qt::TextFormat> listFormats;  // of each message box, in the same order
    QStringList listProgress;
    bool bConfirm = true;
    std::function<void()> fnDuringTransfer;
    bool bDuringDone = false;
    // Longest pause of the GUI thread's event loop while the progress dialog was up.
    qint64 llMaxGapMs = 0;
    int iTicksDuringTransfer = 0;

    ModalHand()
    {
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, this, [this]() { Tick(); });
        timer.start();
    }

private:
    QTimer timer;
    QElapsedTimer lastTick;

    void Tick()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<FWProgressDialog *>(modal)) {
            if (lastTick.isValid())
                llMaxGapMs = qMax(llMaxGapMs, lastTick.elapsed());
            lastTick.start();
            ++iTicksDuringTransfer;
            const QString text = dialog->findChild<QLabel *>("labelProgress")->text();
            if (listProgress.isEmpty() || listProgress.last() != text)
                listProgress.append(text);
            if (fnDuringTransfer && !bDuringDone) {
                bDuringDone = true;
                // Not from this tick: a timer does not fire again while its own slot runs,
                // and the boxes that fnDuringTransfer opens need the hand.
                QTimer::singleShot(0, this, [this]() { fnDuringTransfer(); });
            }
            return;
        }
        lastTick.invalidate();
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box || !box->isVisible())
            return;
        if (!box->property("fwRecorded").toBool()) {
            box->setProperty("fwRecorded", true);
            listMessages.append(box->text());
            listFormats.append(box->textFormat());
        }
        const bool bAsk = box->button(QMessageBox::Cancel) != nullptr;
        box->button(bAsk && !bConfirm ? QMessageBox::Cancel : QMessageBox::Ok)->click();
    }
};
