// orvo-mfpsim: plays Orvo MFPs over emulated USB (umockdev) and UDP on loopback,
// driven by tests through a line protocol on a Unix socket.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "mfpsim-ctl.h"
#include "mfpsim-net.h"
#include "mfpsim-netscan.h"
#include "mfpsim-stream.h"
#include "mfpsim-usb.h"
#include "mfpsim-usbfwd.h"

namespace {

int g_iStopPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 1;
    ssize_t rc = write(g_iStopPipe[1], &c, 1);
    (void)rc;
}

bool SocketAddress(const std::string &path, sockaddr_un &sa)
{
    sa = {};
    sa.sun_family = AF_UNIX;
    if (path.size() >= sizeof sa.sun_path)
        return false;
    memcpy(sa.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int Usage()
{
    fprintf(stderr,
            "usage: orvo-mfpsim --ctl SOCKET [--usb ID:MODEL:SERIAL]... [--net ID:MODEL:IPADDR]... [--usbfwd SOCKET]\n"
            "       orvo-mfpsim ctl SOCKET COMMAND...\n"
            "       orvo-mfpsim env SOCKET\n");
    return 2;
}

// Client side: sends one command, prints the data lines, fails on "ERR".
int RunClient(const std::string &path, const std::string &command)
{
    sockaddr_un sa;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || !SocketAddress(path, sa) || connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        fprintf(stderr, "orvo-mfpsim: cannot connect to %s: %s\n", path.c_str(), strerror(errno));
        return 3;
    }
    const std::string line = command + "\n";
    if (write(fd, line.data(), line.size()) != ssize_t(line.size()))
        return 3;
    shutdown(fd, SHUT_WR);
    std::string reply;
    char buf[65536];
    for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;)
        reply.append(buf, size_t(n));
    close(fd);
    const size_t last = reply.rfind('\n', reply.size() >= 2 ? reply.size() - 2 : 0);
    const std::string status = reply.substr(last == std::string::npos ? 0 : last + 1);
    const std::string data = reply.substr(0, last == std::string::npos ? 0 : last + 1);
    fputs(data.c_str(), stdout);
    if (status == "OK\n")
        return 0;
    fputs(status.empty() ? "ERR no reply\n" : status.c_str(), stderr);
    return 1;
}

bool AddDevice(const std::string &devArg, bool usb, std::string &err)
{
    const size_t c1 = devArg.find(':'), c2 = devArg.find(':', c1 == std::string::npos ? 0 : c1 + 1);
    if (c1 == std::string::npos || c2 == std::string::npos) {
        err = "bad device " + devArg;
        return false;
    }
    auto dev = std::make_unique<stSimDevice>();
    dev->strId = devArg.substr(0, c1);
    dev->strModel = devArg.substr(c1 + 1, c2 - c1 - 1);
    dev->iProductId = LookupProductId(dev->strModel);
    dev->iVendorId = LookupVendorId(dev->strModel);
    dev->bUsb = usb;
    (usb ? dev->strSerial : dev->strAddr) = devArg.substr(c2 + 1);
    if (!usb)
        dev->strSerial = "NET" + dev->strId;
    if (dev->strId.empty() || dev->iProductId < 0) {
        err = "bad id or unknown model in " + devArg;
        return false;
    }
    for (auto &d : SimDevices())
        if (d->strId == dev->strId) {
            err = "duplicate id " + dev->strId;
            return false;
        }
    InitSimDevice(*dev);
    SimDevices().push_back(std::move(dev));
    return true;
}

struct stCtlClient {
    int iFd;
    std::string strIn;
};

// Serves the control socket and the UDP sockets until "quit" or a signal.
void ServeLoop(int listenFd)
{
    std::vector<stCtlClient> clients;
    bool quit = false;
    while (!quit) {
        std::vector<pollfd> fds{{g_iStopPipe[0], POLLIN, 0}, {listenFd, POLLIN, 0}};
        std::vector<stSimDevice *> netDevs;
        for (auto &d : SimDevices())
            if (d->iUdpFd >= 0) {
                fds.push_back({d->iUdpFd, POLLIN, 0});
                netDevs.push_back(d.get());
            }
        const size_t clientBase = fds.size();
        for (auto &c : clients)
            fds.push_back({c.iFd, POLLIN, 0});
        const size_t wakeIndex = fds.size();
        fds.push_back({StreamWakeFd(), POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        if (fds[wakeIndex].revents & POLLIN)
            StreamOnWake();
        for (size_t i = 0; i < netDevs.size(); ++i)
            if (fds[2 + i].revents & POLLIN)
                NetReceive(*netDevs[i]);
        std::vector<stCtlClient> keep;
        for (size_t i = 0; i < clients.size(); ++i) {
            stCtlClient c = clients[i];
            bool open = true;
            if (fds[clientBase + i].revents) {
                char buf[65536];
                const ssize_t n = read(c.iFd, buf, sizeof buf);
                if (n <= 0)
                    open = false;
                else
                    c.strIn.append(buf, size_t(n));
                for (size_t nl; (nl = c.strIn.find('\n')) != std::string::npos;) {
                    const std::string reply = RunControlCommand(c.strIn.substr(0, nl), quit);
                    c.strIn.erase(0, nl + 1);
                    size_t off = 0;
                    while (off < reply.size()) {
                        const ssize_t w = write(c.iFd, reply.data() + off, reply.size() - off);
                        if (w <= 0)
                            break;
                        off += size_t(w);
                    }
                }
            }
            if (open && !quit)
                keep.push_back(c);
            else
                close(c.iFd);
        }
        clients.swap(keep);
        if (fds[1].revents & POLLIN) {
            const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                clients.push_back({fd, ""});
        }
    }
    for (auto &c : clients)
        close(c.iFd);
}

// The testbed lives in a private directory under the caller's TMPDIR, removed on exit.
std::string MakePrivateTmp()
{
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/mfpsim.XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        return "";
    setenv("TMPDIR", buf.data(), 1);
    return buf.data();
}

int RunSimulator(int argc, char **argv)
{
    std::string ctlPath, fwdPath, err;
    std::vector<std::pair<std::string, bool>> specs;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc)
            return Usage();
        if (a == "--ctl")
            ctlPath = argv[++i];
        else if (a == "--usbfwd")
            fwdPath = argv[++i];
        else if (a == "--usb" || a == "--net")
            specs.emplace_back(argv[++i], a == "--usb");
        else
            return Usage();
    }
    for (auto &s : specs)
        if (!AddDevice(s.first, s.second, err)) {
            fprintf(stderr, "orvo-mfpsim: %s\n", err.c_str());
            return 2;
        }
    sockaddr_un sa;
    if (ctlPath.empty() || !SocketAddress(ctlPath, sa))
        return Usage();

    const std::string privateTmp = MakePrivateTmp();
    if (privateTmp.empty() || pipe2(g_iStopPipe, O_CLOEXEC) != 0) {
        fprintf(stderr, "orvo-mfpsim: cannot create a private temporary directory\n");
        return 1;
    }
    signal(SIGTERM, OnSignal);
    signal(SIGINT, OnSignal);
    signal(SIGPIPE, SIG_IGN);

    bool ok = UsbStart(err);
    int slot = 1;
    for (auto &d : SimDevices()) {
        if (!ok)
            break;
        if (d->bUsb) {
            d->iSlot = slot++;
            ok = UsbPlug(*d, err);
        } else {
            ok = NetOpen(*d, err) && NetScanOpen(*d, err);
        }
    }
    if (ok && !fwdPath.empty())
        ok = UsbFwdStart(fwdPath, err);
    const int listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    unlink(ctlPath.c_str());
    if (ok && (listenFd < 0 || bind(listenFd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0 || listen(listenFd, 16) != 0)) {
        err = "cannot listen on " + ctlPath + ": " + strerror(errno);
        ok = false;
    }
    if (ok) {
        printf("ready\n");
        fflush(stdout);
        ServeLoop(listenFd);
    } else {
        fprintf(stderr, "orvo-mfpsim: %s\n", err.c_str());
    }
    if (listenFd >= 0)
        close(listenFd);
    unlink(ctlPath.c_str());
    NetScanCloseAll();
    for (auto &d : SimDevices())
        if (d->iUdpFd >= 0)
            close(d->iUdpFd);
    UsbFwdStop();
    UsbStop();
    rmdir(privateTmp.c_str());
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::string(argv[1]) == "ctl") {
        if (argc < 4)
            return Usage();
        std::string command;
        for (int i = 3; i < argc; ++i)
            command += (i > 3 ? " " : "") + std::string(argv[i]);
        return RunClient(argv[2], command);
    }
    if (argc >= 2 && std::string(argv[1]) == "env")
        return argc == 3 ? RunClient(argv[2], "get env") : Usage();
    return RunSimulator(argc, argv);
}
