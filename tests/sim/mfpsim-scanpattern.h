// The test pattern the simulated scanner delivers, so that a test can predict every byte
// of a page. Header-only: the simulator and the tests that check pages include it.
//
// A raw page is `height` rows of `width` pixels, top to bottom, rows back to back:
//   24-bit: R G B per pixel, R = x, G = y, B = x + y + 64 * page   (each mod 256)
//   8-bit:  one gray byte per pixel, x + y + 64 * page               (mod 256)
//   1-bit:  8 pixels per byte, most significant bit first, 1 = black, each row padded
//           to whole bytes with 0 bits; black where (x / 8 + y / 8 + page) is odd
// x, y count from 0 within the page; page counts the pages of one scan from 0.
#pragma once

#include <cstddef>
#include <cstdint>

inline size_t ScanPatternRowBytes(int depth, uint32_t width)
{
    return depth == 24 ? size_t(width) * 3 : depth == 8 ? size_t(width)
                                                        : (size_t(width) + 7) / 8;
}

inline uint8_t ScanPatternByte(int depth, uint32_t width, int page, uint64_t offset)
{
    const size_t rowBytes = ScanPatternRowBytes(depth, width);
    const uint32_t y = uint32_t(offset / rowBytes);
    const size_t inRow = size_t(offset % rowBytes);
    if (depth == 24) {
        const uint32_t x = uint32_t(inRow / 3);
        const size_t ch = inRow % 3;
        return uint8_t(ch == 0 ? x : ch == 1 ? y
                                             : x + y + 64u * unsigned(page));
    }
    if (depth == 8)
        return uint8_t(uint32_t(inRow) + y + 64u * unsigned(page));
    uint8_t b = 0;
    for (uint32_t bit = 0; bit < 8; ++bit) {
        const uint32_t x = uint32_t(inRow) * 8 + bit;
        if (x < width && ((x / 8 + y / 8 + unsigned(page)) & 1))
            b = uint8_t(b | (0x80u >> bit));
    }
    return b;
}

// Fills len bytes of the page starting at offset.
inline void ScanPatternFill(int depth, uint32_t width, int page, uint64_t offset, uint8_t *out, size_t len)
{
    for (size_t i = 0; i < len; ++i)
        out[i] = ScanPatternByte(depth, width, page, offset + i);
}
