// Fuzz target: the daemon's real request dispatcher, run in this process as a connection
// process, against the emulated scanner (umockdev with the simulator's forwarding channel)
// and the simulator's network MFP on 127.0.0.2. Nothing is stubbed: device searches open
// the emulated nodes, scans fork real data processes, network commands connect. The client
// is a process of its own that sends the input and reads every reply.
// Input: the client's bytes. A USB request whose handle field is 1 or 2 gets the handle of
// the first or second device the connection found (a search runs first), so that inputs
// reach the device commands; any other number goes as it is.
// Runs inside the sandbox with the simulator started (scan_fuzz_dispatch.sh).
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "OrvoUsb.h"
#include "ScanCommands.h"
#include "ScanHandles.h"
#include "ScanLog.h"
#include "ScanServer.h"
#include "ScanState.h"

namespace {

constexpr size_t c_iMaxInput = 16384;
int32_t g_iFound[2] = {-1, -1};

bool IsUsbHandleCommand(int32_t code)
{
    return (code >= USB_OPEN_DEV && code <= USB_SCAN_DEVPROPERTIES) || code == USB_REOPEN_DEV;
}

// The client's stream: the input with handle placeholders replaced, walked as the
// dispatcher reads it (a code, then its record).
std::vector<uint8_t> ClientStream(const uint8_t *data, size_t size)
{
    std::vector<uint8_t> out(data, data + size);
    for (size_t pos = 0; pos + 4 <= out.size();) {
        int32_t code;
        memcpy(&code, &out[pos], 4);
        pos += 4;
        const stScanCommand *cmd = FindScanCommand(code);
        if (!cmd)
            break;
        if (IsUsbHandleCommand(code) && pos + 4 <= out.size()) {
            int32_t fd;
            memcpy(&fd, &out[pos], 4);
            if (fd == 1 || fd == 2)
                memcpy(&out[pos], &g_iFound[fd - 1], 4);
        }
        pos += size_t(cmd->iReqSize);
    }
    return out;
}

// Finds the emulated scanners as a client's first search would, and keeps their handles.
void FindDevices()
{
    ORVO_USB_DEV devs[c_iMaxUsbDevices] = {};
    const int n = orvo_find_device(0x300E, 0, devs, false);
    for (int i = 0; i < n; ++i) {
        if (i < 2)
            g_iFound[i] = devs[i].fd;
        ScanHandleAdd(devs[i].fd);
    }
}

// The client: sends the stream, then reads replies until the connection ends.
pid_t StartClient(int sock, int daemonSide, const std::vector<uint8_t> &stream)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    close(daemonSide);
    size_t sent = 0;
    while (sent < stream.size()) {
        const ssize_t n = send(sock, stream.data() + sent, stream.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    shutdown(sock, SHUT_WR);
    char buf[65536];
    while (recv(sock, buf, sizeof buf, 0) > 0) {
    }
    _exit(0);
}

// Pages the scans of this input left behind.
void RemovePages()
{
    DIR *d = opendir(ORVO_SCAN_DIR);
    if (!d)
        return;
    for (dirent *e; (e = readdir(d));)
        if (strncmp(e->d_name, "orvoscandata_", 13) == 0)
            unlinkat(dirfd(d), e->d_name, 0);
    closedir(d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > c_iMaxInput)
        return 0;
    static bool begun = false;
    if (!begun) {
        OrvoInitDbg();
        ScanConnectionBegin();
        begun = true;
    }
    flag = 1;
    filename_index = 0;
    FindDevices();
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0)
        return 0;
    const pid_t client = StartClient(sv[0], sv[1], ClientStream(data, size));
    close(sv[0]);
    if (client > 0)
        ServeConnection(sv[1]);
    close(sv[1]);
    if (client > 0)
        while (waitpid(client, nullptr, 0) < 0 && errno == EINTR) {
        }
    RemovePages();
    return 0;
}
