// The capture's PNG encoder: a plain function over pixels, no GL and no libpng.
#pragma once
#include <vector>

// How the pixels to encode lie in memory: 3 bytes R, G, B, or 4 bytes B, G, R, A (the order GL
// reads a frame back fastest); rows top first, or bottom first as GL reads them.
struct CapturePixels {
    const unsigned char *bytes;
    int width, height;
    bool bgra;
    bool bottomUp;
};

// Encodes the picture as an 8-bit RGB PNG file (alpha is dropped) into out, whose capacity is
// reused. Lossless; built for speed over size: about the size of zlib's fastest run-length
// setting. False for an empty or absurd size.
bool capture_EncodePng(std::vector<unsigned char> &out, const CapturePixels &pixels);
