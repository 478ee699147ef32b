// Our own TGA reader (GLFW 3 has no image loader): decoding from bytes, power-of-two
// resampling and mipmap halving. No GL, so the checker, --inspect and the fuzzer use it alone.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A decoded picture: bottom row first, left to right, 1 (grey), 3 (RGB) or 4 (RGBA) bytes a pixel.
struct TgaImage {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<uint8_t> pixels;
};

// Decodes a TGA file held in memory. False (and image untouched) for anything the reader does
// not accept or a damaged file; error, when non-null, gets a short reason.
bool tga_Decode(const uint8_t *data, size_t size, TgaImage *image, const char **error = nullptr);

// Largest picture the reader accepts: no edge above TGA_MAX_EDGE, and the power-of-two texture
// it becomes no larger than TGA_MAX_TEXELS texels (a demo never needs more; a damaged header
// asking for more is refused before anything is allocated).
constexpr int TGA_MAX_EDGE = 16384;
constexpr long long TGA_MAX_TEXELS = 8192LL * 8192LL;

// The power of two at or above n (1 for n below 1), and whether a picture of that size keeps to
// the limits above (every picture reader applies them).
int tga_NextPowerOfTwo(int n);
bool tga_FitsTexture(int width, int height);

// Enlarges each dimension that is not a power of two to the next one, bilinearly: output
// column i samples source column i * (W - 1) / (W' - 1), rows likewise, each channel rounded
// to the nearest integer. False (image emptied) only when the memory cannot be had.
bool tga_ResampleToPowerOfTwo(TgaImage *image);

// One mipmap step: each 2 x 2 block averaged as (sum + 2) / 4; a picture one pixel wide or
// high averages pairs as (sum + 1) / 2. The source must have power-of-two edges.
void tga_HalveImage(const TgaImage &source, TgaImage *half);
