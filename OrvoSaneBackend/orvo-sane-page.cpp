#include "orvo-sane-page.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

struct stOrvoJpeg {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    jpeg_source_mgr src;
    jmp_buf jump;
    size_t skipPending = 0;
    std::vector<uint8_t> decoded;  // one row as libjpeg gives it
    int stage = 0;  // 0 header, 1 start, 2 scanlines, 3 finished
    bool created = false;
    ~stOrvoJpeg()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }
};

namespace {

const uint8_t c_fakeEoi[2] = {0xFF, JPEG_EOI};
const size_t c_compactAt = 256 * 1024;
// A progressive page keeps all its coefficients; more than this is refused.
const long c_maxJpegMemory = 1024L * 1024 * 1024;

stOrvoPage *PageOf(j_decompress_ptr cinfo)
{
    return static_cast<stOrvoPage *>(cinfo->client_data);
}

void JpegErrorExit(j_common_ptr cinfo)
{
    char msg[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, msg);
    fprintf(stderr, "[orvo] JPEG page: %s\n", msg);
    longjmp(static_cast<stOrvoPage *>(cinfo->client_data)->jpeg->jump, 1);
}

void JpegOutputMessage(j_common_ptr) {}

void JpegInitSource(j_decompress_ptr) {}

// Suspends the decoder while more of the page is still to come; after the page's end a
// truncated stream is closed with an end marker and libjpeg fills the rest itself.
boolean JpegFillInput(j_decompress_ptr cinfo)
{
    stOrvoPage *page = PageOf(cinfo);
    if (!page->bInputComplete)
        return FALSE;
    cinfo->src->next_input_byte = c_fakeEoi;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void JpegSkipInput(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr *src = cinfo->src;
    const size_t n = size_t(count);
    if (n <= src->bytes_in_buffer) {
        src->next_input_byte += n;
        src->bytes_in_buffer -= n;
    } else {
        PageOf(cinfo)->jpeg->skipPending += n - src->bytes_in_buffer;
        src->next_input_byte += src->bytes_in_buffer;
        src->bytes_in_buffer = 0;
    }
}

void JpegTermSource(j_decompress_ptr) {}

size_t InAvail(const stOrvoPage &page)
{
    return page.in.size() - page.inPos;
}

void Consume(stOrvoPage &page, size_t n)
{
    page.inPos += std::min(n, InAvail(page));
    if (page.inPos == page.in.size()) {
        page.in.clear();
        page.inPos = 0;
    } else if (page.inPos >= c_compactAt) {
        page.in.erase(page.in.begin(), page.in.begin() + long(page.inPos));
        page.inPos = 0;
    }
}

uint8_t WhiteByte(const stOrvoGeometry &geo)
{
    return geo.iMode == MODE_LINEART ? 0x00 : 0xFF;  // lineart: a set bit is black
}

void EmitRow(stOrvoPage &page, const uint8_t *data, size_t len)
{
    const size_t bpl = size_t(page.geo.iBytesPerLine);
    const size_t n = std::min(len, bpl);
    page.out.insert(page.out.end(), data, data + n);
    page.out.insert(page.out.end(), bpl - n, WhiteByte(page.geo));
    ++page.iLinesOut;
}

void ProduceRaw(stOrvoPage &page)
{
    const size_t stride = size_t(page.iRawStride);
    while (page.iLinesOut < page.geo.iLines && InAvail(page) >= stride) {
        EmitRow(page, page.in.data() + page.inPos, stride);
        Consume(page, stride);
    }
    if (page.iLinesOut == page.geo.iLines)
        Consume(page, InAvail(page));  // rows past the asked area are dropped
}

// One decoded JPEG row (RGB or gray), converted straight into the output.
void EmitJpegRow(stOrvoPage &page, const uint8_t *src, int width, int comps)
{
    const stOrvoGeometry &geo = page.geo;
    const size_t at = page.out.size();
    page.out.resize(at + size_t(geo.iBytesPerLine), WhiteByte(geo));
    uint8_t *dst = page.out.data() + at;
    const int n = std::min(width, geo.iPixels);
    if (geo.iMode == MODE_LINEART) {
        for (int x = 0; x < n; ++x) {
            const int gray = comps == 3 ? (src[3 * x] * 30 + src[3 * x + 1] * 59 + src[3 * x + 2] * 11) / 100
                                        : src[x];
            if (gray < 128)
                dst[x / 8] = uint8_t(dst[x / 8] | (0x80 >> (x % 8)));
        }
    } else if (geo.iMode == MODE_GRAY && comps == 3) {
        for (int x = 0; x < n; ++x)
            dst[x] = uint8_t((src[3 * x] * 30 + src[3 * x + 1] * 59 + src[3 * x + 2] * 11) / 100);
    } else if (geo.iMode == MODE_COLOR && comps == 1) {
        for (int x = 0; x < n; ++x)
            memset(dst + 3 * x, src[x], 3);
    } else {
        memcpy(dst, src, size_t(n * comps));
    }
    ++page.iLinesOut;
}

// The calls into libjpeg, each under its own error return; no object with a destructor
// lives in these frames.
bool JpegStep(stOrvoPage &page)
{
    stOrvoJpeg *j = page.jpeg.get();
    jpeg_decompress_struct *c = &j->cinfo;
    if (setjmp(j->jump))
        return false;
    if (j->stage == 0) {
        const int r = jpeg_read_header(c, TRUE);
        if (r == JPEG_SUSPENDED)
            return true;
        if (r != JPEG_HEADER_OK)
            return false;
        // The scanner was asked for the front end's area; a page far larger than that is
        // refused before libjpeg sets aside memory for it.
        if (c->image_width > JDIMENSION(page.geo.iPixels) * 2 + 64
            || c->image_height > JDIMENSION(page.geo.iLines) * 2 + 64) {
            fprintf(stderr, "[orvo] JPEG page of %ux%u pixels where %dx%d were asked\n", c->image_width,
                    c->image_height, page.geo.iPixels, page.geo.iLines);
            return false;
        }
        c->out_color_space = (page.geo.iMode == MODE_COLOR && c->num_components != 1) ? JCS_RGB : JCS_GRAYSCALE;
        j->stage = 1;
    }
    if (j->stage == 1) {
        if (!jpeg_start_decompress(c))
            return true;
        if (c->output_width == 0 || c->output_height == 0 || c->output_width > 65535 || c->output_height > 65535)
            return false;
        // The page's own size is what the front end gets during the scan.
        page.geo.iPixels = int(c->output_width);
        page.geo.iLines = int(c->output_height);
        page.geo.iBytesPerLine = page.geo.iMode == MODE_COLOR  ? page.geo.iPixels * 3
                                 : page.geo.iMode == MODE_GRAY ? page.geo.iPixels
                                                               : (page.geo.iPixels + 7) / 8;
        j->decoded.resize(size_t(c->output_width) * size_t(c->output_components));
        j->stage = 2;
    }
    while (j->stage == 2 && c->output_scanline < c->output_height) {
        JSAMPROW rows[1] = {j->decoded.data()};
        if (jpeg_read_scanlines(c, rows, 1) != 1)
            return true;
        EmitJpegRow(page, j->decoded.data(), int(c->output_width), c->output_components);
    }
    if (j->stage == 2 && c->output_scanline >= c->output_height) {
        jpeg_abort_decompress(c);
        j->stage = 3;
    }
    return true;
}

bool JpegCreate(stOrvoPage &page)
{
    page.jpeg = std::make_shared<stOrvoJpeg>();
    stOrvoJpeg *const j = page.jpeg.get();
    j->cinfo.err = jpeg_std_error(&j->err);
    j->err.error_exit = JpegErrorExit;
    j->err.output_message = JpegOutputMessage;
    j->cinfo.client_data = &page;
    if (setjmp(j->jump))
        return false;
    jpeg_create_decompress(&j->cinfo);
    j->created = true;
    j->cinfo.mem->max_memory_to_use = c_maxJpegMemory;
    j->src.init_source = JpegInitSource;
    j->src.fill_input_buffer = JpegFillInput;
    j->src.skip_input_data = JpegSkipInput;
    j->src.resync_to_restart = jpeg_resync_to_restart;
    j->src.term_source = JpegTermSource;
    j->src.next_input_byte = nullptr;
    j->src.bytes_in_buffer = 0;
    j->cinfo.src = &j->src;
    return true;
}

bool ProduceJpeg(stOrvoPage &page)
{
    if (!page.jpeg && !JpegCreate(page))
        return false;
    stOrvoJpeg *const j = page.jpeg.get();
    j->cinfo.client_data = &page;  // the page record may have moved
    const size_t skip = std::min(j->skipPending, InAvail(page));
    Consume(page, skip);
    j->skipPending -= skip;
    j->src.next_input_byte = page.in.data() + page.inPos;
    j->src.bytes_in_buffer = InAvail(page);
    const bool ok = JpegStep(page);
    // What libjpeg took: up to where it stands in the input, or all of it once it has moved
    // on to the end marker that JpegFillInput supplies after the page's end.
    const uintptr_t base = uintptr_t(page.in.data() + page.inPos), at = uintptr_t(j->src.next_input_byte);
    Consume(page, at >= base && at <= base + InAvail(page) ? size_t(at - base) : InAvail(page));
    j->src.next_input_byte = nullptr;
    j->src.bytes_in_buffer = 0;
    return ok;
}

}  // namespace

void OrvoPageInit(stOrvoPage &page, const stOrvoGeometry &geo, bool bRawOnly)
{
    page = stOrvoPage();
    page.geo = geo;
    page.bRawOnly = bRawOnly;
    page.iRawStride = geo.iBytesPerLine;
    page.kind = bRawOnly ? PAGE_RAW : PAGE_UNKNOWN;
}

void OrvoPageFeed(stOrvoPage &page, const uint8_t *data, size_t len)
{
    page.in.insert(page.in.end(), data, data + len);
    page.iBytesIn += int64_t(len);
}

void OrvoPageEnd(stOrvoPage &page)
{
    page.bInputComplete = true;
}

bool OrvoPageProduce(stOrvoPage &page)
{
    if (page.bFailed)
        return false;
    if (page.kind == PAGE_UNKNOWN) {
        if (InAvail(page) >= 2)
            page.kind = (page.in[page.inPos] == 0xFF && page.in[page.inPos + 1] == 0xD8) ? PAGE_JPEG : PAGE_RAW;
        else if (page.bInputComplete)
            page.kind = PAGE_RAW;
    }
    if (page.kind == PAGE_RAW)
        ProduceRaw(page);
    else if (page.kind == PAGE_JPEG && !ProduceJpeg(page))
        page.bFailed = true;
    if (page.bFailed)
        return false;
    // A page that ended early is completed with white lines, so the image keeps the
    // size the front end was told.
    if (page.bInputComplete && OrvoPageReady(page)) {
        if (page.kind == PAGE_RAW && InAvail(page) > 0 && page.iLinesOut < page.geo.iLines) {
            EmitRow(page, page.in.data() + page.inPos, InAvail(page));
            Consume(page, InAvail(page));
        }
        const std::vector<uint8_t> white(size_t(page.geo.iBytesPerLine), WhiteByte(page.geo));
        while (page.iLinesOut < page.geo.iLines)
            EmitRow(page, white.data(), white.size());
    }
    return true;
}

bool OrvoPageReady(const stOrvoPage &page)
{
    return page.kind == PAGE_RAW || (page.kind == PAGE_JPEG && page.jpeg && page.jpeg->stage >= 2);
}

size_t OrvoPageTake(stOrvoPage &page, uint8_t *dst, size_t max)
{
    const size_t n = std::min(max, page.out.size() - page.outPos);
    if (n == 0)
        return 0;
    memcpy(dst, page.out.data() + page.outPos, n);
    page.outPos += n;
    if (page.outPos == page.out.size()) {
        page.out.clear();
        page.outPos = 0;
    }
    return n;
}

bool OrvoPageDone(const stOrvoPage &page)
{
    return OrvoPageReady(page) && page.iLinesOut >= page.geo.iLines && page.outPos == page.out.size();
}
