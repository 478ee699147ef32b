// Texture slots: 20 named slots loaded from TGA files (slot n is GL texture name n), our own
// TGA reader (GLFW 3 has no image loader), power-of-two resampling and mipmaps.
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

// Enlarges each dimension that is not a power of two to the next one, bilinearly.
void tga_ResampleToPowerOfTwo(TgaImage *image);

// Handler of "@glloadtextureslot" (file name, slot, mipmaps).
void glLoadTextureSlot();

// Binds textureName, sets its parameters, reads the TGA at path and uploads it (with mipmaps
// when mipmaps == 1). Needs a current GL context. Returns whether the image was loaded.
bool LoadTextureFile(const char *path, int textureName, int mipmaps);

// Slot lookups: by exact name, first match; by name without regard to case, last match.
// Both give 0 when nothing matches.
int texture_FindExact(const char *name);
int texture_FindNoCase(const char *name);
