// Texture pictures by their content: PNG (libpng), JPEG (libjpeg) or TGA (our own reader), all
// decoded into the TGA reader's picture, bottom row first. No GL, so the checker uses it too.
#pragma once
#include <cstddef>
#include <cstdint>

#include "draw/tga.h"

enum PictureKind { PICTURE_TGA, PICTURE_PNG, PICTURE_JPEG };

// The kind the bytes begin as: PNG's or JPEG's signature, anything else is taken for a TGA (which
// has none).
PictureKind picture_Kind(const uint8_t *data, size_t size);

// Decodes a picture held in memory into image: grey (1 byte a pixel), RGB (3) or RGBA (4; grey
// with alpha and palettes with transparency become RGBA, 16-bit channels 8-bit). The texture
// limits of the TGA reader hold for every kind, and a JPEG is at most 4096 x 4096 pixels. False
// (image untouched) with a short reason in error, when given, for anything it cannot decode.
bool picture_Decode(const uint8_t *data, size_t size, TgaImage *image, const char **error = nullptr);
