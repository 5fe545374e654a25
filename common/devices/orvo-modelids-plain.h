// The maker's USB vendor id and the supported models, without Qt, so that every program
// (the scan daemon and the SANE backend among them) takes them from this one table.
#pragma once
#include <cstdint>

constexpr uint16_t c_wOrvoVendorID = 0x300E;

struct stModelRow {
    const char *szShortName;  // model code as a USB device URI carries it
    const char *szModelName;  // "*ModelName" of the model's PPD
    const char *szPPDFile;
    uint16_t wProductID;
};

// Lookups take the first matching row, so the order matters (K20NW before K20N).
constexpr stModelRow c_stModelRows[] = {
    {"K20NW", "Orvo K20NW", "Orvo_K20NW.ppd", 0x2005},
    {"K20N", "Orvo K20N", "Orvo_K20N.ppd", 0x2006},
    {"K20W", "Orvo K20W", "Orvo_K20W.ppd", 0x2007},
    {"K40NW", "Orvo K40NW", "Orvo_K40NW.ppd", 0x2008},
    {"K40N", "Orvo K40N", "Orvo_K40N.ppd", 0x2009},
    {"K40W", "Orvo K40W", "Orvo_K40W.ppd", 0x200A},
};

// True when the ids are those of a supported model.
constexpr bool IsOrvoModelUsbId(uint16_t vid, uint16_t pid)
{
    if (vid != c_wOrvoVendorID)
        return false;
    for (const stModelRow &row : c_stModelRows)
        if (row.wProductID == pid)
            return true;
    return false;
}
