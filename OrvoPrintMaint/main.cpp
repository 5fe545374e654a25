// orvoK500Maint: the maintenance tool's tasks from the command line, for machines without a
// desktop and for scripts. Messages in Chinese under a Chinese locale, in English otherwise
// (the usage text is English in both).
#include "MaintCommands.h"
#include "UtilLibusb.h"
#include "orvo-translate.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

const char c_szUsage[] =
    "usage: orvoK500Maint list\n"
    "       orvoK500Maint clean [--repeat] PRINTER\n"
    "       orvoK500Maint align-print PRINTER\n"
    "       orvoK500Maint align-set PRINTER V1 V2 V3 V4 V5 V6 V7 V8 V9   (V1 -12..12, V2..V9 -6..6)\n"
    "       orvoK500Maint net-get PRINTER\n"
    "       orvoK500Maint net-set PRINTER dhcp|static ADDRESS MASK GATEWAY DNS1 DNS2 WINS1 WINS2\n"
    "PRINTER is a queue name of the printer list (any case). Exit status: 0 done, 1 the printer failed,\n"
    "2 wrong arguments, 3 no such printer or not usable for the task.\n";

void Put(FILE *f, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
}

}  // namespace

int main(int argc, char *argv[])
{
    SetUsbLogSource("OrvoPrintMaint/UtilLibusb");
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    InstallOrvoTerminalTranslation();
    stMaintOutput out;

    const QString task = args.value(0);
    if (task == "--help" || task == "-h") {
        Put(stdout, c_szUsage);
        return EXIT_DONE;
    }
    int status = EXIT_USAGE;
    bool usage = false;
    if (task == "clean") {
        const bool repeat = args.value(1) == "--repeat";
        if (args.size() == (repeat ? 3 : 2))
            status = RunClean(args.last(), repeat, out);
        else
            usage = true;
    } else if (task == "list" && args.size() == 1) {
        status = RunList(out);
    } else if (task == "align-print" && args.size() == 2) {
        status = RunAlignPrint(args[1], out);
    } else if (task == "align-set" && args.size() >= 2) {
        status = RunAlignSet(args[1], args.mid(2), out);
    } else if (task == "net-get" && args.size() == 2) {
        status = RunNetGet(args[1], out);
    } else if (task == "net-set" && args.size() >= 2) {
        status = RunNetSet(args[1], args.mid(2), out);
    } else {
        usage = true;
    }
    Put(stdout, out.strOut);
    Put(stderr, out.strErr);
    if (usage || status == EXIT_USAGE)
        Put(stderr, c_szUsage);
    return status;
}
