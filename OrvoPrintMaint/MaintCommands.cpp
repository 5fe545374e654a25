#include "MaintCommands.h"

#include "orvo-ipconfig.h"
#include "orvo-maint.h"
#include "orvo-maintcmd.h"
#include "orvo-printerlist.h"
#include "UtilLibusb.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <grp.h>
#include <sys/stat.h>

namespace {

int Fail(stMaintOutput &out, enMaintMessage message)
{
    out.strErr += MaintText(message) + "\n";
    return message == MM_SELECT_PRINTER || message == MM_USB_ONLY || message == MM_UNSUPPORTED_MODEL ? EXIT_PRINTER
                                                                                                     : EXIT_DEVICE;
}

// The queue of that name in the printer list file. CUPS takes queue names without regard
// to case, so a name that differs only in case finds its queue; an exact match goes first.
bool FindPrinter(const QString &name, stPrinterInfo &info, stMaintOutput &out)
{
    const QList<stPrinterInfo> printers = ReadPrinterInfo();
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (const stPrinterInfo &p : printers) {
            if (p.strPrinterName.compare(name, cs) == 0) {
                info = p;
                return true;
            }
        }
    }
    out.strErr += QCoreApplication::translate("MaintCommands", "未找到打印机：") + name + "\n";
    return false;
}

// How to get at a device node that could not be opened: who may open it now, and how to
// become one of them.
QString PermissionText(const QString &node)
{
    QString group = "?";
    struct stat st {};
    if (stat(node.toLocal8Bit().constData(), &st) == 0) {
        const struct group *gr = getgrgid(st.st_gid);
        group = gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(st.st_gid);
    }
    return QCoreApplication::translate("MaintCommands", "没有权限打开打印机的USB设备 %1（属组 %2）。请安装软件包 orvo-printer-k500-desktop"
                                                        "（其设备规则允许已登录的桌面用户使用打印机），或请管理员将您加入组 %2 后重新登录。")
               .arg(node, group)
           + "\n";
}

// Another program (CUPS's backend while it prints, the print service between its status
// queries) may hold the printer's interface for a moment: a claim refused as busy is tried
// again for up to this long.
constexpr int c_iBusyWaitMs = 5000;
constexpr int c_iBusyRetryMs = 200;

// One exchange with the printer; a USB printer that cannot be opened for lack of permission
// is reported with what to do, one held by another program is waited for.
int Exchange(const stPrinterInfo &info, const unsigned char *send, int sendLen, unsigned char *recv, int recvCap,
             int &recvSize, bool bReplyNeeded, stMaintOutput &out)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        stUsbFailure failure;
        const enMaintMessage message =
            MaintExchange(info, send, sendLen, recv, recvCap, recvSize, bReplyNeeded, &failure);
        if (message == MM_NONE)
            return EXIT_DONE;
        if (message == MM_CONNECT_FAILED && info.iConnectType == CONNECT_USB) {
            if (failure.iUsbError == LIBUSB_ERROR_ACCESS) {
                out.strErr += PermissionText(failure.strNode);
                return EXIT_DEVICE;
            }
            if (failure.iUsbError == LIBUSB_ERROR_BUSY) {
                if (waited.elapsed() < c_iBusyWaitMs) {
                    QThread::msleep(c_iBusyRetryMs);
                    continue;
                }
                out.strErr += QCoreApplication::translate("MaintCommands", "打印机忙，它正被其他程序使用，请稍后重试！") + "\n";
                return EXIT_DEVICE;
            }
        }
        return Fail(out, message);
    }
}

// A command that needs no answer; success reports `done`.
int SendCommand(const QString &printer, const unsigned char *command, int length, enMaintMessage done,
                stMaintOutput &out)
{
    stPrinterInfo info;
    if (!FindPrinter(printer, info, out))
        return EXIT_PRINTER;
    unsigned char recv[1024] = {};
    int recvSize = 0;
    const int status = Exchange(info, command, length, recv, int(sizeof recv), recvSize, false, out);
    if (status != EXIT_DONE)
        return status;
    out.strOut += MaintText(done) + "\n";
    return EXIT_DONE;
}

// The printer for the network settings: USB only.
bool FindUsbPrinter(const QString &printer, stPrinterInfo &info, stMaintOutput &out, int &status)
{
    if (!FindPrinter(printer, info, out)) {
        status = EXIT_PRINTER;
        return false;
    }
    if (info.iConnectType != CONNECT_USB) {
        status = Fail(out, MM_USB_ONLY);
        return false;
    }
    return true;
}

}  // namespace

int RunClean(const QString &printer, bool bRepeat, stMaintOutput &out)
{
    return bRepeat ? SendCommand(printer, c_ucCleanRepeat, c_iCleanRepeatLen, MM_CLEAN_SENT, out)
                   : SendCommand(printer, c_ucCleanFirst, c_iCleanFirstLen, MM_CLEAN_SENT, out);
}

int RunAlignPrint(const QString &printer, stMaintOutput &out)
{
    return SendCommand(printer, c_ucAlignmentPrint, c_iAlignmentPrintLen, MM_ALIGN_SENT, out);
}

int RunAlignSet(const QString &printer, const QStringList &values, stMaintOutput &out)
{
    if (values.size() != c_iAlignmentRows) {
        out.strErr += QCoreApplication::translate("MaintCommands", "需要9个校准值。") + "\n";
        return EXIT_USAGE;
    }
    int v[c_iAlignmentRows];
    for (int i = 0; i < c_iAlignmentRows; ++i) {
        bool ok = false;
        v[i] = values[i].toInt(&ok, 10);
        const int row = i + 1;
        if (!ok || v[i] < AlignmentMin(row) || v[i] > AlignmentMax(row)) {
            out.strErr += QCoreApplication::translate("MaintCommands", "#%1的值“%2”超出范围（%3 … %4）！")
                              .arg(row)
                              .arg(values[i])
                              .arg(AlignmentMin(row))
                              .arg(AlignmentMax(row))
                          + "\n";
            return EXIT_USAGE;
        }
    }
    unsigned char command[c_iAlignmentFinishLen];
    BuildAlignmentFinish(v, command);
    return SendCommand(printer, command, c_iAlignmentFinishLen, MM_ALIGN_DONE, out);
}

int RunNetGet(const QString &printer, stMaintOutput &out)
{
    stPrinterInfo info;
    int status = EXIT_DONE;
    if (!FindUsbPrinter(printer, info, out, status))
        return status;
    unsigned char recv[c_iIPReplyMax] = {};
    int recvSize = 0;
    status = Exchange(info, c_ucIPReadRequest, c_iIPReadRequestLen, recv, int(sizeof recv), recvSize, true, out);
    if (status != EXIT_DONE)
        return status;
    stIPInfo ip;
    if (!ParseRecvData(recv, recvSize, ip))
        return Fail(out, MM_READ_FAILED);
    static const char *const rows[c_iIPAddressCount] = {
        QT_TRANSLATE_NOOP("MaintCommands", "IP地址"), QT_TRANSLATE_NOOP("MaintCommands", "子网掩码"),
        QT_TRANSLATE_NOOP("MaintCommands", "网关地址"), QT_TRANSLATE_NOOP("MaintCommands", "主DNS服务器"),
        QT_TRANSLATE_NOOP("MaintCommands", "辅助DNS服务器"), QT_TRANSLATE_NOOP("MaintCommands", "主WINS服务器"),
        QT_TRANSLATE_NOOP("MaintCommands", "辅助WINS服务器")};
    const QString source = ip.iIPSource == 0   ? QString("DHCP")
                           : ip.iIPSource == 1 ? QCoreApplication::translate("MaintCommands", "静态")
                                               : QCoreApplication::translate("MaintCommands", "未知");
    out.strOut += QCoreApplication::translate("MaintCommands", "IP获取方式") + ": " + source + "\n";
    for (int i = 0; i < c_iIPAddressCount; ++i)
        out.strOut += QCoreApplication::translate("MaintCommands", rows[i]) + ": " + IPInfoAddress(ip, i) + "\n";
    return EXIT_DONE;
}

int RunNetSet(const QString &printer, const QStringList &args, stMaintOutput &out)
{
    if (args.size() != 1 + c_iIPAddressCount || (args[0] != "dhcp" && args[0] != "static")) {
        out.strErr += QCoreApplication::translate("MaintCommands", "需要 dhcp|static 和7个地址。") + "\n";
        return EXIT_USAGE;
    }
    stIPInfo ip;
    ip.iIPSource = args[0] == "static" ? 1 : 0;
    for (int i = 0; i < c_iIPAddressCount; ++i) {
        if (!IsIPValid(args[1 + i])) {
            out.strErr += MaintText(MM_BAD_ADDRESS) + " " + args[1 + i] + "\n";
            return EXIT_USAGE;
        }
        IPInfoAddress(ip, i) = args[1 + i];
    }
    stPrinterInfo info;
    int status = EXIT_DONE;
    if (!FindUsbPrinter(printer, info, out, status))
        return status;
    unsigned char request[c_iIPWriteRequestLen];
    int requestLen = 0;
    WriteSendData(ip, request, requestLen);
    unsigned char recv[c_iIPReplyMax] = {};
    int recvSize = 0;
    status = Exchange(info, request, requestLen, recv, int(sizeof recv), recvSize, true, out);
    if (status != EXIT_DONE)
        return status;
    out.strOut += MaintText(MM_NET_SET_DONE) + "\n";
    return EXIT_DONE;
}

int RunList(stMaintOutput &out)
{
    const QList<stPrinterInfo> printers = ReadPrinterInfo();
    if (printers.isEmpty()) {
        out.strOut += QCoreApplication::translate("MaintCommands", "打印机列表中没有打印机。") + "\n";
        return EXIT_DONE;
    }
    // Tab-separated, so that scripts can cut the columns apart and names keep their blanks.
    for (const stPrinterInfo &p : printers)
        out.strOut += p.strPrinterName + "\t" + p.strModelName + "\t"
                      + (p.iConnectType == CONNECT_USB ? QString("USB") : QCoreApplication::translate("MaintCommands", "网络")) + "\t"
                      + p.strPort + "\n";
    return EXIT_DONE;
}
