#include "orvo-maintcmd.h"

#include <cstdint>
#include <cstring>

const unsigned char c_ucCleanFirst[c_iCleanFirstLen] = {0xA5, 0x00, 0x07, 0x50, 0xE0, 0x2E, 0x02, 0x01, 0x01, 0x01};
const unsigned char c_ucCleanRepeat[c_iCleanRepeatLen] = {0xA5, 0x00, 0x08, 0x50, 0xE0, 0x2E,
                                                          0x02, 0x01, 0x01, 0x12, 0x02};
const unsigned char c_ucAlignmentPrint[c_iAlignmentPrintLen] = {0xA5, 0x00, 0x07, 0x50, 0xE0,
                                                                0x2E, 0x02, 0x01, 0x01, 0x52};

int AlignmentMin(int row)
{
    return row == 1 ? -12 : -6;
}

int AlignmentMax(int row)
{
    return row == 1 ? 12 : 6;
}

int AlignmentScaled(int row, int value)
{
    return value * (row == 9 ? 512 : 8);
}

void BuildAlignmentFinish(const int values[c_iAlignmentRows], unsigned char out[c_iAlignmentFinishLen])
{
    static const unsigned char head[11] = {0xA5, 0x00, 0x2C, 0x50, 0xE0, 0x2E, 0x11, 0x00, 0x00, 0x00, 0x0D};
    // Row #9 is carried before rows #7 and #8.
    static const int rowAt[c_iAlignmentRows] = {11, 15, 19, 23, 27, 31, 39, 43, 35};
    memcpy(out, head, sizeof head);
    for (int i = 0; i < c_iAlignmentRows; ++i) {
        const uint32_t v = static_cast<uint32_t>(AlignmentScaled(i + 1, values[i]));  // two's complement
        unsigned char *p = out + rowAt[i];
        p[0] = static_cast<unsigned char>(v >> 24);
        p[1] = static_cast<unsigned char>(v >> 16);
        p[2] = static_cast<unsigned char>(v >> 8);
        p[3] = static_cast<unsigned char>(v);
    }
}
