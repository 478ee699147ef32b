// Texture slots: 20 named slots loaded from TGA, PNG or JPEG files (slot n is GL texture name n),
// uploaded with mipmaps; the pictures come from picture.h, by their content.
#pragma once
#include "draw/tga.h"

// Uploads a power-of-two picture into the texture bound to GL_TEXTURE_2D (level 0, and every
// further level when mipmaps is set: by GL_SGIS_generate_mipmap when allowed and offered,
// otherwise by tga_HalveImage). Unpack alignment is 1 during the upload and restored after.
bool texture_Upload(const TgaImage &image, bool mipmaps, bool allowGenerateMipmap = true);

// Handler of "@glloadtextureslot" (file name, slot, mipmaps).
void glLoadTextureSlot();

// Binds textureName, sets its parameters, reads the picture at path and uploads it (with mipmaps
// when mipmaps == 1). Needs a current GL context. Returns whether the image was loaded.
bool LoadTextureFile(const char *path, int textureName, int mipmaps);

// While on (an engine run), a texture name that holds a file's picture is not read and uploaded
// again for the same file with the same size, modification time and mipmaps (a seek replays the
// show's loads). Switching it on or off forgets what the names hold.
void texture_SetCache(bool on);

// Slot lookups: by exact name, first match; by name without regard to case, last match; by file
// name without regard to case or folder (a 3DS map name often carries the exporter's folder),
// last match. All give 0 when nothing matches.
int texture_FindExact(const char *name);
int texture_FindNoCase(const char *name);
int texture_FindFileName(const char *name);
