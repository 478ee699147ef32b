// Expected values for the TGA tests, worked out here from the stated rule rather than taken
// from the reader: bilinear resampling at i * (W - 1) / (W' - 1), in exact fractions.
#pragma once
#include <cstdint>

#include "runtime/texture.h"

// Channel k of output pixel (i, j) when a w x h picture is enlarged to w2 x h2. Positions are
// kept as exact fractions; the two horizontal interpolations are combined vertically and the
// result rounded to nearest (halves up).
inline int expect_Resampled(const TgaImage &src, int w2, int h2, int i, int j, int k) {
    int w = src.width, h = src.height, c = src.components;
    long long dx = w2 == w ? 1 : w2 - 1, dy = h2 == h ? 1 : h2 - 1;
    long long sx = w2 == w ? static_cast<long long>(i) : static_cast<long long>(i) * (w - 1);
    long long sy = h2 == h ? static_cast<long long>(j) : static_cast<long long>(j) * (h - 1);
    int x0 = static_cast<int>(sx / dx), y0 = static_cast<int>(sy / dy);
    long long ax = sx - x0 * dx, ay = sy - y0 * dy; // fractional parts, in units of 1/dx, 1/dy
    int x1 = x0 < w - 1 ? x0 + 1 : x0, y1 = y0 < h - 1 ? y0 + 1 : y0;
    auto at = [&](int x, int y) { return static_cast<long long>(src.pixels[(static_cast<size_t>(y) * w + x) * c + k]); };
    long long lower = at(x0, y0) * (dx - ax) + at(x1, y0) * ax;  // times dx
    long long upper = at(x0, y1) * (dx - ax) + at(x1, y1) * ax;  // times dx
    long long both = lower * (dy - ay) + upper * ay;             // times dx * dy
    long long d = dx * dy;
    long long rounded = (both * 2 + d) / (2 * d);
    return static_cast<int>(rounded > 255 ? 255 : rounded);
}

// A picture with every channel varying, so swapped channels, rows or columns show.
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
