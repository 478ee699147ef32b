// libFuzzer target over the JPEG decoder and the texture pictures by content (PNG through libpng,
// JPEG, TGA): any bytes give either a picture within the size caps with all its pixels, or a
// refusal with a reason, and never a read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "draw/picture.h"
#include "draw/picture_jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    PictureBoxImage image;
    if (!PictureBox_DecodeJpeg(data, size, image)) {
        if (image.rgb || image.error[0] == '\0') abort();
    } else {
        if (image.width < 1 || image.height < 1 || long(image.width) * image.height > PICTUREBOX_MAX_PIXELS) abort();
        // Touch the last pixel: the buffer must hold the whole picture.
        volatile unsigned char last = image.rgb[size_t(image.width) * image.height * 3 - 1];
        (void)last;
    }
    TgaImage texture;
    const char *why = nullptr;
    if (!picture_Decode(data, size, &texture, &why)) {
        if (!why || !texture.pixels.empty()) abort();
        return 0;
    }
    if (texture.width < 1 || texture.height < 1 || texture.width > TGA_MAX_EDGE || texture.height > TGA_MAX_EDGE ||
        texture.pixels.size() != size_t(texture.width) * size_t(texture.height) * size_t(texture.components))
        abort();
    return 0;
}
