// libFuzzer entry: any byte stream on the scan data connection is read record by record
// until the reader ends it with one of its codes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

#include "OrvoTcpRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65536)
        return 0;
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0)
        return 0;
    int bufSize = 1 << 18;
    setsockopt(sv[1], SOL_SOCKET, SO_SNDBUF, &bufSize, sizeof bufSize);
    setsockopt(sv[0], SOL_SOCKET, SO_RCVBUF, &bufSize, sizeof bufSize);
    const bool whole = write(sv[1], data, size) == ssize_t(size);
    close(sv[1]);
    OrvoSocket sock{sv[0], "127.0.0.1"};
    unsigned char *buf = nullptr;
    uint32_t bufSize32 = 0;
    for (int i = 0; whole && i < 1000; ++i) {
        int32_t status = 0;
        uint32_t len = 0;
        const int rc = orvo_tcp_ScanRecord(&sock, &status, &buf, &bufSize32, &len);
        if (len > bufSize32 || (rc != 0 && rc != 2 && rc != 5 && rc != 9 && rc != 10))
            __builtin_trap();
        if (rc != 0)
            break;
    }
    if (sock.tcpFromScanner >= 0)
        close(sock.tcpFromScanner);
    free(buf);
    return 0;
}
