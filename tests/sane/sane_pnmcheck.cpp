// Checks an image written by scanimage (--format=pnm) against the simulator's test pattern.
//   sane_pnmcheck FILE PAGE DPI L T X Y            RAW page: every byte equals the pattern
//   sane_pnmcheck FILE PAGE DPI L T X Y --jpeg SENT
//       JPEG page: every byte equals SENT (the bytes the scanner sent) decoded with libjpeg,
//       and the pattern within JPEG's tolerance
// L T X Y: scanimage's -l -t -x -y in whole millimetres; the image must have the size they
// give at DPI. Prints what differs and exits 1 on a mismatch.
#include "mfpsim-scanpattern.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <string>
#include <vector>

namespace {

struct stImage {
    int depth = 0;  // 24, 8 or 1
    int width = 0, height = 0;
    std::vector<uint8_t> data;
};

bool ReadPnm(const char *path, stImage &img)
{
    std::ifstream f(path, std::ios::binary);
    std::string magic;
    if (!(f >> magic))
        return false;
    img.depth = magic == "P6" ? 24 : magic == "P5" ? 8
                                 : magic == "P4"   ? 1
                                                   : 0;
    if (!img.depth)
        return false;
    int values[3] = {0, 0, 1};
    for (int i = 0; i < (img.depth == 1 ? 2 : 3); ++i) {
        f >> std::ws;
        while (f.peek() == '#') {
            std::string comment;
            std::getline(f, comment);
            f >> std::ws;
        }
        if (!(f >> values[i]))
            return false;
    }
    f.get();  // the single white-space character before the pixels
    img.width = values[0];
    img.height = values[1];
    img.data.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return values[2] == 255 || img.depth == 1;
}

int Pixels(int mm, int dpi)
{
    return mm * dpi * 10 / 254;
}

bool DecodeJpeg(const char *path, int depth, std::vector<uint8_t> &out, int &w, int &h)
{
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (bytes.empty())
        return false;
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, bytes.data(), bytes.size());
    jpeg_read_header(&c, TRUE);
    c.out_color_space = depth == 24 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_start_decompress(&c);
    w = int(c.output_width);
    h = int(c.output_height);
    out.resize(size_t(w) * size_t(h) * size_t(c.output_components));
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = &out[size_t(c.output_scanline) * size_t(w) * size_t(c.output_components)];
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 8 && argc != 10) {
        fprintf(stderr, "usage: %s FILE PAGE DPI L T X Y [--jpeg SENT]\n", argv[0]);
        return 2;
    }
    stImage img;
    if (!ReadPnm(argv[1], img)) {
        printf("%s: not a PNM image scanimage writes\n", argv[1]);
        return 1;
    }
    const int page = atoi(argv[2]), dpi = atoi(argv[3]);
    const int l = atoi(argv[4]), t = atoi(argv[5]), x = atoi(argv[6]), y = atoi(argv[7]);
    const int wantW = Pixels(l + x, dpi) - Pixels(l, dpi), wantH = Pixels(t + y, dpi) - Pixels(t, dpi);
    const size_t rowBytes = ScanPatternRowBytes(img.depth, uint32_t(img.width));
    if (img.width != wantW || img.height != wantH || img.data.size() != rowBytes * size_t(img.height)) {
        printf("size %dx%d with %zu bytes; expected %dx%d with %zu bytes\n", img.width, img.height,
               img.data.size(), wantW, wantH, ScanPatternRowBytes(img.depth, uint32_t(wantW)) * size_t(wantH));
        return 1;
    }
    if (argc == 8) {
        for (size_t i = 0; i < img.data.size(); ++i) {
            const uint8_t want = ScanPatternByte(img.depth, uint32_t(img.width), page, i);
            if (img.data[i] != want) {
                printf("byte %zu (row %zu) is %d, the pattern has %d\n", i, i / rowBytes, img.data[i], want);
                return 1;
            }
        }
        printf("ok %dx%d depth %d page %d: every byte equals the pattern\n", img.width, img.height, img.depth, page);
        return 0;
    }
    std::vector<uint8_t> decoded;
    int jw = 0, jh = 0;
    if (!DecodeJpeg(argv[9], img.depth, decoded, jw, jh) || jw != img.width || jh != img.height
        || decoded != img.data) {
        printf("the image is not the sent JPEG page decoded (%dx%d)\n", jw, jh);
        return 1;
    }
    // The pattern's channels wrap from 255 to 0 every 256 pixels; JPEG blurs those edges,
    // so most samples, not all, must lie close to it.
    size_t close = 0;
    double sum = 0;
    for (size_t i = 0; i < img.data.size(); ++i) {
        const int d = abs(int(img.data[i]) - int(ScanPatternByte(img.depth, uint32_t(img.width), page, i)));
        sum += d;
        close += d <= 24;
    }
    const double mean = sum / double(img.data.size()), share = double(close) / double(img.data.size());
    printf("%dx%d depth %d page %d: equals the sent JPEG; mean difference to the pattern %.2f, %.1f%% within 24\n",
           img.width, img.height, img.depth, page, mean, share * 100);
    return mean <= 6.0 && share >= 0.95 ? 0 : 1;
}
