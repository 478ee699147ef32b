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

// Largest picture the reader accepts: no edge above TGA_MAX_EDGE, and the power-of-two texture
// it becomes no larger than TGA_MAX_TEXELS texels (a demo never needs more; a damaged header
// asking for more is refused before anything is allocated).
constexpr int TGA_MAX_EDGE = 16384;
constexpr long long TGA_MAX_TEXELS = 8192LL * 8192LL;

// Enlarges each dimension that is not a power of two to the next one, bilinearly: output
// column i samples source column i * (W - 1) / (W' - 1), rows likewise, each channel rounded
// to the nearest integer. False (image emptied) only when the memory cannot be had.
bool tga_ResampleToPowerOfTwo(TgaImage *image);

// One mipmap step: each 2 x 2 block averaged as (sum + 2) / 4; a picture one pixel wide or
// high averages pairs as (sum + 1) / 2. The source must have power-of-two edges.
void tga_HalveImage(const TgaImage &source, TgaImage *half);

// Uploads a power-of-two picture into the texture bound to GL_TEXTURE_2D (level 0, and every
// further level when mipmaps is set: by GL_SGIS_generate_mipmap when allowed and offered,
// otherwise by tga_HalveImage). Unpack alignment is 1 during the upload and restored after.
bool texture_Upload(const TgaImage &image, bool mipmaps, bool allowGenerateMipmap = true);

// Handler of "@glloadtextureslot" (file name, slot, mipmaps).
void glLoadTextureSlot();

// Binds textureName, sets its parameters, reads the TGA at path and uploads it (with mipmaps
// when mipmaps == 1). Needs a current GL context. Returns whether the image was loaded.
bool LoadTextureFile(const char *path, int textureName, int mipmaps);

// While on (an engine run), a texture name that holds a file's picture is not read and uploaded
// again for the same file with the same size, modification time and mipmaps (a seek replays the
// show's loads). Switching it on or off forgets what the names hold.
void texture_SetCache(bool on);

// Slot lookups: by exact name, first match; by name without regard to case, last match.
// Both give 0 when nothing matches.
int texture_FindExact(const char *name);
int texture_FindNoCase(const char *name);
