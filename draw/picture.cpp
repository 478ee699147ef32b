// Texture pictures: the kind from the first bytes, then libpng's simplified reader, the JPEG
// decoder, or the TGA reader; rows turned bottom first as the texture upload takes them.
#include "draw/picture.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <png.h>
#include <utility>

#include "draw/picture_jpeg.h"

namespace {
bool fail(const char **error, const char *reason) {
    if (error) *error = reason;
    return false;
}

bool decodePng(const uint8_t *data, size_t size, TgaImage *image, const char **error) {
    thread_local char reason[160]; // the loader thread decodes too
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, data, size)) {
        snprintf(reason, sizeof reason, "damaged PNG: %.120s", png.message);
        return fail(error, reason);
    }
    if (!tga_FitsTexture(int(png.width), int(png.height))) {
        png_image_free(&png);
        return fail(error, "picture too large for a texture");
    }
    int components = 4;
    if (!(png.format & PNG_FORMAT_FLAG_ALPHA)) components = (png.format & PNG_FORMAT_FLAG_COLOR) ? 3 : 1;
    png.format = components == 4 ? PNG_FORMAT_RGBA : components == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    TgaImage decoded;
    const int stride = int(png.width) * components;
    try {
        decoded.pixels.resize(size_t(stride) * png.height);
    } catch (const std::bad_alloc &) {
        png_image_free(&png);
        return fail(error, "not enough memory for the picture");
    }
    // A negative stride asks for the rows bottom first.
    if (!png_image_finish_read(&png, nullptr, decoded.pixels.data(), -stride, nullptr)) {
        snprintf(reason, sizeof reason, "damaged PNG: %.120s", png.message);
        png_image_free(&png);
        return fail(error, reason);
    }
    decoded.width = int(png.width);
    decoded.height = int(png.height);
    decoded.components = components;
    *image = std::move(decoded);
    return true;
}

bool decodeJpeg(const uint8_t *data, size_t size, TgaImage *image, const char **error) {
    thread_local PictureBoxImage picture; // its error text outlives the call (one a thread)
    picture = PictureBoxImage{};
    if (!PictureBox_DecodeJpeg(data, size, picture)) return fail(error, picture.error);
    if (!tga_FitsTexture(picture.width, picture.height)) return fail(error, "picture too large for a texture");
    TgaImage decoded;
    const size_t row = size_t(picture.width) * 3;
    try {
        decoded.pixels.resize(row * size_t(picture.height));
    } catch (const std::bad_alloc &) {
        return fail(error, "not enough memory for the picture");
    }
    for (int y = 0; y < picture.height; ++y)
        memcpy(&decoded.pixels[size_t(picture.height - 1 - y) * row], picture.rgb.get() + size_t(y) * row, row);
    decoded.width = picture.width;
    decoded.height = picture.height;
    decoded.components = 3;
    *image = std::move(decoded);
    return true;
}
} // namespace

PictureKind picture_Kind(const uint8_t *data, size_t size) {
    static const uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && memcmp(data, PNG_SIGNATURE, 8) == 0) return PICTURE_PNG;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return PICTURE_JPEG;
    return PICTURE_TGA;
}

bool picture_Decode(const uint8_t *data, size_t size, TgaImage *image, const char **error) {
    switch (picture_Kind(data, size)) {
    case PICTURE_PNG: return decodePng(data, size, image, error);
    case PICTURE_JPEG: return decodeJpeg(data, size, image, error);
    default: return tga_Decode(data, size, image, error);
    }
}
