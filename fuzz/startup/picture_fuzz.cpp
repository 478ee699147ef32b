// libFuzzer target over the picture box's JPEG decoder: any bytes give either a picture within
// the size cap with all its pixels, or a refusal with a reason, and never a read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "startup/picture_jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    PictureBoxImage image;
    if (!PictureBox_DecodeJpeg(data, size, image)) {
        if (image.rgb || image.error[0] == '\0') abort();
        return 0;
    }
    if (image.width < 1 || image.height < 1 || long(image.width) * image.height > PICTUREBOX_MAX_PIXELS) abort();
    // Touch the last pixel: the buffer must hold the whole picture.
    volatile unsigned char last = image.rgb[size_t(image.width) * image.height * 3 - 1];
    (void)last;
    return 0;
}
