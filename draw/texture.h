// Texture slots: 20 named slots loaded from TGA, PNG or JPEG files (slot n is GL texture name n),
// uploaded with mipmaps; the pictures come from picture.h, by their content.
#pragma once
#include "draw/tga.h"
#include "state/loader.h"

// Uploads a power-of-two picture into the texture bound to GL_TEXTURE_2D (level 0, and every
// further level when mipmaps is set: by GL_SGIS_generate_mipmap when allowed and offered,
// otherwise by tga_HalveImage). Unpack alignment is 1 during the upload and restored after.
bool texture_Upload(const TgaImage &image, bool mipmaps, bool allowGenerateMipmap = true);

// Handler of "@glloadtextureslot" (file name, slot, mipmaps).
void glLoadTextureSlot();

// Binds textureName, sets its parameters, reads the picture at path and uploads it (with mipmaps
// when mipmaps == 1). Needs a current GL context. Returns whether the image was loaded.
bool LoadTextureFile(const char *path, int textureName, int mipmaps);

// While on (an engine run), a slot that holds a file's picture is not read and uploaded again
// for the same file with the same size, modification time and mipmaps (a seek replays the
// show's loads). Switching it on or off forgets what the slots hold.
void texture_SetCache(bool on);

// What the loader does for "@glloadtextureslot": the picture read, resampled and uploaded with
// its mipmaps in the loader's GL context, into a texture of its own that the slot takes over at
// its line (the slot's earlier texture is deleted then).
extern const LoaderKind TEXTURE_LOADER_KIND;

// Whether the slot already holds that file as it is now with those mipmaps (its line will not
// load it again).
bool texture_WouldReuse(int slot, const char *path, int mipmaps);

// The slots' GL names back to their own numbers and their bind lists made, for a new GL
// context; texture_ForgetNames drops them without GL (the context is gone).
void texture_ResetNames();
void texture_ForgetNames();

// Binds the texture of a slot (0..19; another number is bound as a GL name); texture_BindInList
// does it through the slot's bind list, for display lists that must follow the slot.
void texture_Bind(int slot);
void texture_BindInList(int slot);
unsigned texture_GlName(int slot);

// Slot lookups: by exact name, first match; by name without regard to case, last match; by file
// name without regard to case or folder (a 3DS map name often carries the exporter's folder),
// last match. All give 0 when nothing matches.
int texture_FindExact(const char *name);
int texture_FindNoCase(const char *name);
int texture_FindFileName(const char *name);
