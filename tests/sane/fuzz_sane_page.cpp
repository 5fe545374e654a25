// libFuzzer entry: any bytes as a page file, fed in pieces, must convert or fail cleanly and
// never give more or fewer bytes than the page's lines.
#include "orvo-sane-page.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    stOrvoGeometry g;
    g.iMode = data[0] % 3;
    g.iPixels = 1 + data[1] % 200;
    g.iLines = 1 + data[1] / 2;
    g.iDepth = g.iMode == MODE_LINEART ? 1 : 8;
    g.iBytesPerLine = g.iMode == MODE_COLOR ? g.iPixels * 3 : g.iMode == MODE_GRAY ? g.iPixels
                                                                                   : (g.iPixels + 7) / 8;
    stOrvoPage page;
    OrvoPageInit(page, g, false);
    data += 2;
    size -= 2;
    size_t at = 0, taken = 0;
    uint8_t buf[4096];
    for (int rounds = 0; rounds < 100000 && !OrvoPageDone(page); ++rounds) {
        const size_t piece = at < size ? 1 + (data[at] % 64) : 0;
        const size_t n = piece < size - at ? piece : size - at;
        OrvoPageFeed(page, data + at, n);
        at += n;
        if (at == size)
            OrvoPageEnd(page);
        if (!OrvoPageProduce(page))
            return 0;
        taken += OrvoPageTake(page, buf, sizeof buf);
        if (at == size && page.out.empty() && !OrvoPageDone(page) && page.bInputComplete && rounds > 10)
            __builtin_trap();  // neither done nor producing: sane_read would wait for ever
    }
    if (OrvoPageDone(page) && taken != size_t(page.geo.iBytesPerLine) * size_t(page.geo.iLines))
        __builtin_trap();
    return 0;
}
