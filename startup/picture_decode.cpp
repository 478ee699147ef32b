// The picture box's JPEG decoder over bytes in memory (libjpeg), with libjpeg's errors caught.
#include "startup/picture_decode.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>

namespace {
// libjpeg reports errors through error_exit, which must not return: jump back to the decoder.
// Warnings (a truncated or corrupt stream) count as failure too, so half a picture never shows.
struct JpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
    bool damaged;
};

void jpegErrorExit(j_common_ptr cinfo) {
    JpegError *error = reinterpret_cast<JpegError *>(cinfo->err);
    longjmp(error->jump, 1);
}

void jpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0) reinterpret_cast<JpegError *>(cinfo->err)->damaged = true;
}

// The plain-C part of decoding: no C++ object with a destructor lives across the setjmp.
unsigned char *decodeRaw(const unsigned char *bytes, size_t size, int &width, int &height) {
    jpeg_decompress_struct cinfo;
    JpegError error;
    unsigned char *volatile pixels = nullptr;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegErrorExit;
    error.manager.emit_message = jpegMessage;
    error.damaged = false;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        free(pixels);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.num_components != 1 && cinfo.num_components != 3) longjmp(error.jump, 1); // CMYK: not shown
    if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > PICTUREBOX_MAX_EDGE ||
        cinfo.image_height > PICTUREBOX_MAX_EDGE)
        longjmp(error.jump, 1);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    size_t stride = size_t(cinfo.output_width) * 3;
    pixels = static_cast<unsigned char *>(malloc(stride * cinfo.output_height));
    if (!pixels) longjmp(error.jump, 1);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    width = int(cinfo.output_width);
    height = int(cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    if (error.damaged) {
        free(pixels);
        return nullptr;
    }
    return pixels;
}

} // namespace

bool PictureBox_DecodeJpeg(const unsigned char *bytes, size_t size, PictureBoxImage &image) {
    image = PictureBoxImage{};
    if (!bytes || size == 0) return false;
    int width = 0, height = 0;
    unsigned char *raw = decodeRaw(bytes, size, width, height);
    if (!raw) return false;
    size_t count = size_t(width) * height * 3;
    image.rgb.reset(new (std::nothrow) unsigned char[count]);
    if (image.rgb) {
        memcpy(image.rgb.get(), raw, count);
        image.width = width;
        image.height = height;
    }
    free(raw);
    return image.rgb != nullptr;
}
