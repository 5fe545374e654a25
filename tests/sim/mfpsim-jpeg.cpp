#include "mfpsim-jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace {

struct stJpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void OnJpegError(j_common_ptr info)
{
    longjmp(reinterpret_cast<stJpegError *>(info->err)->jump, 1);
}

}  // namespace

Bytes EncodeJpeg(const Bytes &pixels, unsigned width, unsigned height, int components, int quality)
{
    if (width == 0 || height == 0 || pixels.size() < size_t(width) * height * unsigned(components))
        return {};
    jpeg_compress_struct c;
    stJpegError err;
    c.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnJpegError;
    unsigned char *out = nullptr;
    unsigned long outSize = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&c);
        free(out);
        return {};
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = width;
    c.image_height = height;
    c.input_components = components;
    c.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    const size_t stride = size_t(width) * unsigned(components);
    while (c.next_scanline < height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + c.next_scanline * stride);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes result(out, out + outSize);
    free(out);
    return result;
}

std::string JpegInfo(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return "ERR cannot open " + path;
    jpeg_decompress_struct d;
    stJpegError err;
    d.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnJpegError;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&d);
        fclose(f);
        return "ERR not a decodable JPEG";
    }
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, f);
    jpeg_read_header(&d, TRUE);
    const bool baseline = !d.progressive_mode && !d.arith_code;
    jpeg_start_decompress(&d);
    Bytes row(size_t(d.output_width) * unsigned(d.output_components));
    while (d.output_scanline < d.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&d, &r, 1);
    }
    const std::string info = std::to_string(d.output_width) + " " + std::to_string(d.output_height) + " "
                             + std::to_string(d.output_components) + (baseline ? " baseline" : " other");
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    fclose(f);
    return info;
}
