// The TGA writer: every picture type the engine's reader takes (colour-mapped, true-colour,
// greyscale; raw or run-length encoded; either origin), for the generator and the tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct TgaWriteOptions {
    int imageType = 2;        // 1, 2, 3 (colour-mapped, true-colour, grey) or 9, 10, 11 (run-length)
    bool topFirst = false;    // rows stored top first (descriptor bit 5)
    bool rightToLeft = false; // columns stored right to left (descriptor bit 4)
    int mapFirst = 0;         // colour-mapped: index of the first map entry
    std::string imageId;      // optional image id field
};

// Encodes a picture given bottom row first, left to right, with components bytes a pixel
// (1 grey, 3 RGB, 4 RGBA). Colour-mapped types need 3 or 4 components and at most 256
// distinct colours (map entries of 24 or 32 bits); grey types need 1; true-colour 3 or 4.
// Empty result when the picture does not suit the type.
std::vector<uint8_t> tgawrite_Encode(const uint8_t *pixels, int width, int height, int components,
                                     const TgaWriteOptions &options);

// Encodes and writes to path; false when encoding or writing fails.
bool tgawrite_Save(const char *path, const uint8_t *pixels, int width, int height, int components,
                   const TgaWriteOptions &options);
