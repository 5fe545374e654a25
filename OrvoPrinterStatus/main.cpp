// Command-line status view: the printers the service publishes, with their connection,
// ink levels and status, once or refreshed every N seconds. Useful without a desktop.
#include "UtilPrinterStatus.h"
#include "orvo-paths.h"
#include "orvo-printerlist.h"
#include "orvo-statustext.h"
#include "orvo-statusview.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {
// Pads to a display width, counting CJK characters as two columns as terminals do.
QString Pad(const QString &text, int width)
{
    int used = 0;
    for (const QChar c : text)
        used += c.unicode() >= 0x1100 ? 2 : 1;
    return text + QString(qMax(1, width - used), ' ');
}

QString Render(int language)
{
    QString out;
    QTextStream s(&out);
    const QList<stPrinterInfo> printers = ReadPrinterInfo();
    s << Pad(QString::fromUtf8("打印机名称"), 22) << Pad(QString::fromUtf8("连接方式"), 24)
      << Pad(QString::fromUtf8("剩余墨水量"), 56) << QString::fromUtf8("状态") << "\n";
    for (const stPrinterInfo &info : printers) {
        stPrinterState state;
        // No status file, or one that does not parse: the printer is off-line.
        ParseStatusFile(StatusFilePath(info.strPrinterName), state);
        s << Pad(info.strPrinterName, 22) << Pad(GetConnectText(info), 24) << Pad(GetInkLineText(state), 56)
          << GetStatusCellText(state, language) << "\n";
    }
    if (printers.isEmpty())
        s << QString::fromUtf8("(没有打印机)") << "\n";
    return out;
}

int Usage()
{
    fprintf(stderr, "usage: orvoK500Status [-w SECONDS] [-e]\n"
                    "  prints the printers of %s once,\n"
                    "  or every SECONDS seconds with -w; -e shows English status texts\n",
            qPrintable(PrinterListFilePath()));
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int every = 0;
    int language = c_iLanguageChinese;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "-w" && i + 1 < args.size()) {
            bool ok = false;
            every = args[++i].toInt(&ok);
            if (!ok || every < 1)
                return Usage();
        } else if (args[i] == "-e") {
            language = c_iLanguageEnglish;
        } else {
            return Usage();
        }
    }
    QTextStream out(stdout);
    if (every == 0) {
        out << Render(language);
        return 0;
    }
    const bool tty = isatty(STDOUT_FILENO);
    for (;;) {
        if (tty)
            out << "\x1b[H\x1b[2J";
        out << QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss") << "\n" << Render(language) << "\n";
        out.flush();
        QThread::sleep(every);
    }
}
