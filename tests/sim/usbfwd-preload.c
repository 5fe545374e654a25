/* usbfwd-preload: forwards the usbfs transfer calls (bulk, control, reset, reset-endpoint,
 * clear-halt) made on emulated USB device nodes to the simulator's forwarding socket
 * ($ORVO_USBFWD), one connection per call. umockdev's own preload serves one call per
 * descriptor at a time and shares that channel with every process that inherited the
 * descriptor; a daemon whose two processes use one descriptor at once needs calls that
 * run side by side. Everything else goes on to the next ioctl (umockdev's).
 * Load it before libumockdev-preload.so.0. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include "mfpsim-usbfwd-wire.h"

typedef int (*ioctl_fn)(int, unsigned long, ...);

/* The device node an emulated descriptor stands for, from the testbed file it opened. */
static int NodeOf(int fd, char *node, size_t size)
{
    const char *root = getenv("UMOCKDEV_DIR");
    char link[64], target[4096];
    if (!root || !*root)
        return 0;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const long n = syscall(SYS_readlinkat, AT_FDCWD, link, target, sizeof target - 1);
    if (n <= 0)
        return 0;
    target[n] = '\0';
    const size_t rootLen = strlen(root);
    if (strncmp(target, root, rootLen) != 0 || strncmp(target + rootLen, "/dev/bus/usb/", 13) != 0)
        return 0;
    return snprintf(node, size, "%s", target + rootLen) < (int)size;
}

static int WriteAll(int s, const void *buf, size_t len)
{
    size_t done = 0;
    while (done < len) {
        const ssize_t n = send(s, (const char *)buf + done, len - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        done += (size_t)n;
    }
    return 1;
}

static int ReadAll(int s, void *buf, size_t len)
{
    size_t got = 0;
    while (got < len) {
        const ssize_t n = recv(s, (char *)buf + got, len - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        got += (size_t)n;
    }
    return 1;
}

/* One call; returns the ioctl result with errno set as the simulator says. */
static int Forward(struct stUsbFwdRequest *req, const void *out, size_t outLen, void *in, size_t inMax)
{
    const char *path = getenv("ORVO_USBFWD");
    struct sockaddr_un sa;
    memset(&sa, 0, sizeof sa);
    sa.sun_family = AF_UNIX;
    if (!path || strlen(path) >= sizeof sa.sun_path) {
        errno = ENODEV;
        return -1;
    }
    strcpy(sa.sun_path, path);
    const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct stUsbFwdReply rep;
    int ok = s >= 0 && connect(s, (struct sockaddr *)&sa, sizeof sa) == 0 && WriteAll(s, req, sizeof *req)
             && (!outLen || WriteAll(s, out, outLen)) && ReadAll(s, &rep, sizeof rep) && rep.uLen <= inMax
             && (!rep.uLen || ReadAll(s, in, rep.uLen));
    const int saved = errno;
    if (s >= 0)
        close(s);
    if (!ok) {
        errno = saved ? saved : EIO;
        return -1;
    }
    if (rep.iResult < 0)
        errno = rep.iErrno;
    return rep.iResult;
}

int ioctl(int fd, unsigned long request, ...)
{
    static ioctl_fn next;
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (!next)
        next = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");

    struct stUsbFwdRequest req;
    memset(&req, 0, sizeof req);
    if (request == USBDEVFS_BULK)
        req.uOp = USBFWD_BULK;
    else if (request == USBDEVFS_CONTROL)
        req.uOp = USBFWD_CONTROL;
    else if (request == USBDEVFS_RESET)
        req.uOp = USBFWD_RESET;
    else if (request == USBDEVFS_RESETEP)
        req.uOp = USBFWD_RESETEP;
    else if (request == USBDEVFS_CLEAR_HALT)
        req.uOp = USBFWD_CLEAR_HALT;
    if (!req.uOp || !NodeOf(fd, req.szDevNode, sizeof req.szDevNode))
        return next(fd, request, arg);

    if (req.uOp == USBFWD_BULK) {
        struct usbdevfs_bulktransfer *bt = arg;
        if (bt->len > USBFWD_MAX_LEN) {
            errno = EINVAL;
            return -1;
        }
        req.uEp = bt->ep;
        req.uLen = bt->len;
        req.uTimeout = bt->timeout;
        if (bt->ep & 0x80)
            return Forward(&req, NULL, 0, bt->data, bt->len);
        return Forward(&req, bt->data, bt->len, NULL, 0);
    }
    if (req.uOp == USBFWD_CONTROL) {
        struct usbdevfs_ctrltransfer *ct = arg;
        const unsigned char setup[8] = {ct->bRequestType, ct->bRequest, (unsigned char)ct->wValue,
                                        (unsigned char)(ct->wValue >> 8), (unsigned char)ct->wIndex,
                                        (unsigned char)(ct->wIndex >> 8), (unsigned char)ct->wLength,
                                        (unsigned char)(ct->wLength >> 8)};
        memcpy(req.setup, setup, sizeof setup);
        req.uLen = ct->wLength;
        req.uTimeout = ct->timeout;
        if (ct->bRequestType & 0x80)
            return Forward(&req, NULL, 0, ct->data, ct->wLength);
        return Forward(&req, ct->data, ct->wLength, NULL, 0);
    }
    if (req.uOp != USBFWD_RESET)
        req.uEp = *(unsigned int *)arg;
    return Forward(&req, NULL, 0, NULL, 0);
}
