// The JPEG decoder over libjpeg, from memory, with the size cap checked on the
// header before any decompression.
#include "draw/picture_jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>

namespace {
// libjpeg reports errors through error_exit, which must not return: jump back to the decoder.
// A warning (a truncated or corrupt stream) jumps back too, so half a picture never shows and a
// damaged one is not decoded to its end for nothing.
struct JpegError {
    jpeg_error_mgr manager;
    jmp_buf jump;
    char *reason; // the caller's PICTUREBOX_ERROR_SIZE buffer
};

void jpegFail(j_common_ptr cinfo) {
    JpegError *error = reinterpret_cast<JpegError *>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    snprintf(error->reason, PICTUREBOX_ERROR_SIZE, "damaged JPEG: %.140s", text);
    longjmp(error->jump, 1);
}

void jpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0) jpegFail(cinfo);
}

// The plain-C part of decoding: no C++ object with a destructor lives across the setjmp.
unsigned char *decodeRaw(const unsigned char *bytes, size_t size, int &width, int &height, char *reason) {
    jpeg_decompress_struct cinfo;
    JpegError error;
    unsigned char *volatile pixels = nullptr;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFail;
    error.manager.emit_message = jpegMessage;
    error.reason = reason;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        free(pixels);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.num_components != 1 && cinfo.num_components != 3) {
        snprintf(reason, PICTUREBOX_ERROR_SIZE, "%d colour components (only grey and RGB pictures are shown)",
                 cinfo.num_components);
        longjmp(error.jump, 1);
    }
    // Checked on the header: decompression would allocate for the declared size first.
    const long pixelCount = long(cinfo.image_width) * long(cinfo.image_height);
    if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > PICTUREBOX_MAX_EDGE ||
        cinfo.image_height > PICTUREBOX_MAX_EDGE || pixelCount > PICTUREBOX_MAX_PIXELS) {
        snprintf(reason, PICTUREBOX_ERROR_SIZE, "the picture is %ux%u pixels; at most 4096x4096 are shown",
                 unsigned(cinfo.image_width), unsigned(cinfo.image_height));
        longjmp(error.jump, 1);
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    size_t stride = size_t(cinfo.output_width) * 3;
    pixels = static_cast<unsigned char *>(malloc(stride * cinfo.output_height));
    if (!pixels) {
        snprintf(reason, PICTUREBOX_ERROR_SIZE, "not enough memory for the picture");
        longjmp(error.jump, 1);
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    width = int(cinfo.output_width);
    height = int(cinfo.output_height);
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}
} // namespace

bool PictureBox_DecodeJpeg(const unsigned char *bytes, size_t size, PictureBoxImage &image) {
    image = PictureBoxImage{};
    if (!bytes || size == 0) {
        snprintf(image.error, sizeof image.error, "the picture is empty");
        return false;
    }
    int width = 0, height = 0;
    unsigned char *raw = decodeRaw(bytes, size, width, height, image.error);
    if (!raw) return false;
    size_t count = size_t(width) * height * 3;
    image.rgb.reset(new (std::nothrow) unsigned char[count]);
    if (image.rgb) {
        memcpy(image.rgb.get(), raw, count);
        image.width = width;
        image.height = height;
    } else {
        snprintf(image.error, sizeof image.error, "not enough memory for the picture");
    }
    free(raw);
    return image.rgb != nullptr;
}
