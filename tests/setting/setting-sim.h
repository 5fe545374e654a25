// Control of the device simulator from a test that runs under the umockdev preload: the
// control socket is spoken to directly, so no child process inherits the preload.
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

// One control command; returns its data lines. *ok (when given) is false on "ERR".
inline QStringList SimCtl(const QString &command, bool *ok = nullptr)
{
    if (ok)
        *ok = false;
    const QByteArray path = qgetenv("ORVO_SIM_SOCK");
    sockaddr_un sa{};
    sa.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof sa.sun_path)
        return {};
    memcpy(sa.sun_path, path.constData(), size_t(path.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    QByteArray reply;
    const QByteArray line = command.toUtf8() + "\n";
    if (::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0
        && write(fd, line.constData(), size_t(line.size())) == line.size()) {
        shutdown(fd, SHUT_WR);
        char buf[4096];
        for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
            reply.append(buf, int(n));
    }
    close(fd);
    QStringList lines = QString::fromUtf8(reply).split('\n', Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return {};
    const QString status = lines.takeLast();
    if (ok)
        *ok = status == "OK";
    return lines;
}

// Hex (upper case, no blanks) of a byte buffer, the form the simulator reports.
inline QString Hex(const unsigned char *p, int n)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(p), n).toHex().toUpper());
}
