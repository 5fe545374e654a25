// Fuzz target: the daemon's request dispatcher fed arbitrary client bytes on a connection.
// Input: a 2-byte little-endian length N, N bytes from the client, then the answers of the
// scanner behind the one handle the connection owns (c_iFakeDevFd).
#include <cstdint>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include "ScanHandles.h"
#include "ScanServer.h"
#include "ScanState.h"
#include "scan-fuzz-fakes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    size_t clientLen = size_t(data[0] | data[1] << 8);
    if (clientLen > size - 2)
        clientLen = size - 2;
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0)
        return 0;
    FakeLogsOpen();
    FakeDeviceSet(data + 2 + clientLen, size - 2 - clientLen);
    flag = 1;
    dataProcPid = 0;
    filename_index = 0;
    ScanHandleAdd(c_iFakeDevFd);
    // The client's bytes wait in the socket; its end of the stream ends the connection.
    size_t sent = 0;
    while (sent < clientLen) {
        const ssize_t n = send(sv[0], data + 2 + sent, clientLen - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += size_t(n);
    }
    shutdown(sv[0], SHUT_WR);
    ServeConnection(sv[1]);
    close(sv[0]);
    close(sv[1]);
    return 0;
}
