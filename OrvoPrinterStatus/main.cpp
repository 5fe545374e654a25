// Command-line status view: the printers the service publishes, with their connection,
// ink levels and status, once or refreshed every N seconds, as a table or as JSON for
// monitoring scripts. Useful without a desktop. Chinese under a Chinese locale, English
// otherwise.
#include "StatusJson.h"
#include "UtilPrinterStatus.h"
#include "orvo-paths.h"
#include "orvo-printerlist.h"
#include "orvo-statustext.h"
#include "orvo-statusview.h"
#include "orvo-translate.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include <cerrno>
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

QString Word(int language, const char *zh)
{
    return GetLanguageText(language, "StatusView", zh);
}

QList<stStatusRow> ReadRows()
{
    QList<stStatusRow> rows;
    for (const stPrinterInfo &info : ReadPrinterInfo()) {
        stStatusRow row;
        row.stInfo = info;
        // No status file, or one that does not parse: the printer is off-line.
        row.bOnline = ParseStatusFile(StatusFilePath(info.strPrinterName), row.stState);
        rows.append(row);
    }
    return rows;
}

QString Render(const QList<stStatusRow> &rows, int language)
{
    // Wide enough for the longest ink line: four "较低" (49 columns), four "Very low" (64).
    const int inkWidth = language == c_iLanguageChinese ? 56 : 66;
    QString out = Pad(Word(language, QT_TRANSLATE_NOOP("StatusView", "打印机名称")), 22)
                  + Pad(Word(language, QT_TRANSLATE_NOOP("StatusView", "连接方式")), 24)
                  + Pad(Word(language, QT_TRANSLATE_NOOP("StatusView", "剩余墨水量")), inkWidth)
                  + Word(language, QT_TRANSLATE_NOOP("StatusView", "状态")) + "\n";
    for (const stStatusRow &row : rows)
        out += Pad(row.stInfo.strPrinterName, 22) + Pad(GetConnectText(row.stInfo, language), 24)
               + Pad(GetInkLineText(row.stState, language), inkWidth) + GetStatusCellText(row.stState, language) + "\n";
    if (rows.isEmpty())
        out += Word(language, QT_TRANSLATE_NOOP("StatusView", "(没有打印机)")) + "\n";
    return out;
}

// The whole text in one write where the system allows, so that a reader of a pipe never
// sees half a document.
bool WriteAll(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(STDOUT_FILENO, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

int Usage()
{
    fprintf(stderr,
            "usage: orvoK500Status [-w SECONDS] [-e] [--json]\n"
            "  prints the printers of %s once,\n"
            "  or every SECONDS seconds with -w; -e shows English texts under any locale;\n"
            "  --json prints a JSON array instead of the table (one line per refresh)\n",
            qPrintable(PrinterListFilePath()));
    return 2;
}
}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int every = 0;
    bool english = false;
    bool json = false;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "-w" && i + 1 < args.size()) {
            bool ok = false;
            every = args[++i].toInt(&ok);
            if (!ok || every < 1)
                return Usage();
        } else if (args[i] == "-e" || args[i] == "--english") {
            english = true;
        } else if (args[i] == "--json") {
            json = true;
        } else {
            return Usage();
        }
    }
    const int language = InstallOrvoTerminalTranslation(english) ? c_iLanguageEnglish : c_iLanguageChinese;
    const bool clear = !json && isatty(STDOUT_FILENO);
    for (;;) {
        const QList<stStatusRow> rows = ReadRows();
        QByteArray text;
        if (json)
            text = StatusJson(rows, language);
        else if (every == 0)
            text = Render(rows, language).toUtf8();
        else
            text = QByteArray(clear ? "\x1b[H\x1b[2J" : "")
                   + QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss").toUtf8() + "\n"
                   + Render(rows, language).toUtf8() + "\n";
        if (!WriteAll(text))
            return 1;
        if (every == 0)
            return 0;
        QThread::sleep(every);
    }
}
