// Test pictures for the TGA tests: every channel varying, so swapped channels, rows or columns show.
#pragma once
#include <cstdint>

#include "runtime/texture.h"

inline TgaImage expect_Pattern(int w, int h, int c, unsigned seed = 1) {
    TgaImage img;
    img.width = w;
    img.height = h;
    img.components = c;
    unsigned s = seed;
    for (int i = 0; i < w * h * c; ++i) {
        s = s * 1103515245u + 12345u;
        img.pixels.push_back(static_cast<uint8_t>((s >> 16) & 0xFF));
    }
    return img;
}
