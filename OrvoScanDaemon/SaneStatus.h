// Result codes returned to scan clients: the SANE status values.
#pragma once

enum SANE_Status {
    SANE_STATUS_GOOD = 0,
    SANE_STATUS_CANCELLED = 2,
    SANE_STATUS_DEVICE_BUSY = 3,
    SANE_STATUS_INVAL = 4,
    SANE_STATUS_EOF = 5,
    SANE_STATUS_JAMMED = 6,
    SANE_STATUS_IO_ERROR = 9,
    SANE_STATUS_NO_MEM = 10,
    SANE_STATUS_ACCESS_DENIED = 11
};
