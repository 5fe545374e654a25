/* The forwarding channel between usbfwd-preload and the simulator: one usbfs call per
 * connection, so that calls on one descriptor from several processes run side by side.
 * Plain C: the preload is C. A request is followed by the OUT data (bulk OUT, control
 * OUT), a reply by the IN data. */
#ifndef MFPSIM_USBFWD_WIRE_H
#define MFPSIM_USBFWD_WIRE_H

#include <stdint.h>

enum { USBFWD_BULK = 1,
       USBFWD_CONTROL = 2,
       USBFWD_RESET = 3,
       USBFWD_RESETEP = 4,
       USBFWD_CLEAR_HALT = 5 };

#define USBFWD_MAX_LEN 65536

struct stUsbFwdRequest {
    char szDevNode[64]; /* "/dev/bus/usb/BBB/DDD" */
    uint32_t uOp;
    uint32_t uEp; /* bulk, reset-endpoint, clear-halt */
    uint32_t uLen; /* bulk length, control wLength */
    uint32_t uTimeout; /* ms, 0 = none */
    uint8_t setup[8]; /* control */
};

struct stUsbFwdReply {
    int32_t iResult; /* the ioctl's result */
    int32_t iErrno; /* errno when iResult < 0 */
    uint32_t uLen; /* IN bytes that follow */
};

#endif
