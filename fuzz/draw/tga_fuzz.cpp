// libFuzzer target: the TGA reader, then the power-of-two resampling and one halving step of
// whatever it accepted. Sanitizers report any out-of-bounds access or overflow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "draw/tga.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TgaImage image;
    if (!tga_Decode(data, size, &image)) return 0;
    if (image.pixels.size() != static_cast<size_t>(image.width) * image.height * image.components) abort();
    if (!tga_ResampleToPowerOfTwo(&image)) return 0;
    if (image.pixels.size() != static_cast<size_t>(image.width) * image.height * image.components) abort();
    TgaImage half;
    tga_HalveImage(image, &half);
    return 0;
}
