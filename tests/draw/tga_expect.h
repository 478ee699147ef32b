// Test pictures for the TGA tests: every channel varying, so swapped channels, rows or columns show.
#pragma once
#include <cstdint>

#include "draw/tga.h"

inline TgaImage expect_Pattern(int w, int h, int c, unsigned seed = 1) {
    TgaImage img{w, h, c, {}};
    for (int i = 0; i < w * h * c; ++i) img.pixels.push_back(uint8_t((seed = seed * 1103515245u + 12345u) >> 16));
    return img;
}
