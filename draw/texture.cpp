// Texture slots: the "@glloadtextureslot" handler, loading a picture into a GL texture name with
// its mipmaps (on the spot, or ahead on the loader thread), the slots' GL names and the lookups.
#define GL_GLEXT_PROTOTYPES 1
#include "draw/texture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <array>
#include <atomic>
#include <strings.h>

#include "base/console.h"
#include "base/trace.h"
#include "draw/picture.h"
#include "script/script.h"
#include "script/text.h"
#include "state/engine_state.h"
#include "state/loader.h"

namespace {

// No honest texture file comes near this; a bigger one is not read into memory at all.
constexpr size_t MAX_FILE_BYTES = size_t(512) << 20;

bool hasExtension(const char *name) {
    const char *list = reinterpret_cast<const char *>(glGetString(GL_EXTENSIONS));
    if (!list) return false;
    size_t length = strlen(name);
    for (const char *at = strstr(list, name); at; at = strstr(at + 1, name)) {
        bool starts = at == list || at[-1] == ' ';
        bool ends = at[length] == ' ' || at[length] == '\0';
        if (starts && ends) return true;
    }
    return false;
}

GLenum formatOf(int components) {
    return components == 1 ? GL_LUMINANCE : components == 3 ? GL_RGB : GL_RGBA;
}

void uploadLevel(int level, const TgaImage &image) {
    GLenum format = formatOf(image.components);
    glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(format), image.width, image.height, 0, format,
                 GL_UNSIGNED_BYTE, image.pixels.data());
}

// What a texture name holds, for the cache.
struct CachedTexture {
    bool valid = false;
    char path[ENGINE_PATH_SIZE] = "";
    EngineFileStamp stamp;
    int mipmaps = 0;
};
struct TextureCache {
    bool on = false;
    CachedTexture names[ENGINE_TEXTURE_SLOTS];
};
TextureCache cache;

// The GL texture name each slot's picture is in: its own number until a load made ahead hands
// over the texture it was uploaded into. Scene lists bind a slot through its bind list, which
// is compiled again when the name changes, so a list made earlier shows the slot's new picture.
constexpr std::array<GLuint, ENGINE_TEXTURE_SLOTS> ownNames() {
    std::array<GLuint, ENGINE_TEXTURE_SLOTS> names{};
    for (int slot = 0; slot < ENGINE_TEXTURE_SLOTS; ++slot) names[size_t(slot)] = GLuint(slot);
    return names;
}
struct SlotNames {
    std::array<GLuint, ENGINE_TEXTURE_SLOTS> names = ownNames();
    std::array<GLuint, ENGINE_TEXTURE_SLOTS> bindLists{}; // 0: not made (no GL yet); bind directly
};
SlotNames slots;
// Names the loader uploads into: far above the slots and render targets, which the engine
// names by number without asking GL.
constexpr GLuint PREPARED_NAME_BASE = 0x10000;
std::atomic<GLuint> nextPreparedName{PREPARED_NAME_BASE};

void compileBindList(int slot) {
    if (!slots.bindLists[size_t(slot)]) return;
    glNewList(slots.bindLists[size_t(slot)], GL_COMPILE);
    glBindTexture(GL_TEXTURE_2D, slots.names[size_t(slot)]);
    glEndList();
}

void setTextureParameters() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
}

// Per texture unit, not per texture: this lands on whichever unit is active now.
void setUnitModes() {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
}

bool readPicture(const char *path, TgaImage *image) {
    std::vector<uint8_t> bytes;
    if (!engine_ReadFile(path, MAX_FILE_BYTES, &bytes) || !picture_Decode(bytes.data(), bytes.size(), image)) return false;
    bytes = std::vector<uint8_t>();
    return tga_ResampleToPowerOfTwo(image);
}

// On the loader thread, in its GL context (shared with the window's): the picture read, made a
// power of two and uploaded with its mipmaps exactly as on the spot, into a name of its own.
void *preparePicture(const char *path, int mipmaps, size_t *bytes) {
    TgaImage image;
    if (!readPicture(path, &image)) return nullptr;
    const GLuint name = nextPreparedName++;
    glBindTexture(GL_TEXTURE_2D, name);
    setTextureParameters();
    const bool uploaded = texture_Upload(image, mipmaps == 1);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (!uploaded) {
        glDeleteTextures(1, &name);
        return nullptr;
    }
    glFinish(); // the drawing thread's context sees the texture whole
    // GL keeps 4 bytes a texel whatever the picture's; the mipmaps add a third.
    *bytes = size_t(image.width) * size_t(image.height) * 4 * (mipmaps == 1 ? 4 : 3) / 3;
    return new GLuint(name);
}

void discardPicture(void *data) {
    auto *name = static_cast<GLuint *>(data);
    glDeleteTextures(1, name);
    delete name;
}

bool cacheHolds(int slot, const char *path, const EngineFileStamp &stamp, int mipmaps) {
    if (!cache.on || slot < 0 || slot >= ENGINE_TEXTURE_SLOTS) return false;
    const CachedTexture &held = cache.names[slot];
    return held.valid && held.stamp == stamp && held.mipmaps == mipmaps && strcmp(held.path, path) == 0;
}

void noteCached(int slot, const char *path, const EngineFileStamp &stamp, int mipmaps) {
    if (!cache.on || slot < 0 || slot >= ENGINE_TEXTURE_SLOTS) return;
    CachedTexture &held = cache.names[slot];
    held.valid = true;
    text_CopyBounded(held.path, path);
    held.stamp = stamp;
    held.mipmaps = mipmaps;
}

// A slot's load: the picture made ahead for this line when there is one, else on the spot.
bool loadSlot(const char *path, int slot, int mipmaps) {
    const EngineFileStamp stamp = engine_FileStamp(path);
    if (cacheHolds(slot, path, stamp, mipmaps)) return LoadTextureFile(path, int(slots.names[size_t(slot)]), mipmaps);
    auto *prepared = static_cast<GLuint *>(loader_Take(script_CurrentLine(), &TEXTURE_LOADER_KIND, path, mipmaps));
    if (!prepared) return LoadTextureFile(path, int(slots.names[size_t(slot)]), mipmaps);
    const GLuint old = slots.names[size_t(slot)];
    slots.names[size_t(slot)] = *prepared;
    delete prepared;
    compileBindList(slot);
    glBindTexture(GL_TEXTURE_2D, slots.names[size_t(slot)]); // left bound, as a load on the spot leaves it
    setUnitModes();
    if (old != 0) glDeleteTextures(1, &old);
    engine_NoteAsset(path, stamp);
    noteCached(slot, path, stamp, mipmaps);
    return true;
}

} // namespace

const LoaderKind TEXTURE_LOADER_KIND = {"texture", preparePicture, discardPicture};

void texture_ResetNames() {
    slots = SlotNames();
    for (int slot = 0; slot < ENGINE_TEXTURE_SLOTS; ++slot) {
        slots.bindLists[size_t(slot)] = glGenLists(1);
        compileBindList(slot);
    }
}

void texture_ForgetNames() { slots = SlotNames(); }

void texture_Bind(int slot) {
    const bool known = slot >= 0 && slot < ENGINE_TEXTURE_SLOTS;
    glBindTexture(GL_TEXTURE_2D, known ? slots.names[size_t(slot)] : GLuint(slot));
}

void texture_BindInList(int slot) {
    if (slot >= 0 && slot < ENGINE_TEXTURE_SLOTS && slots.bindLists[size_t(slot)]) glCallList(slots.bindLists[size_t(slot)]);
    else texture_Bind(slot);
}

unsigned texture_GlName(int slot) { return slot >= 0 && slot < ENGINE_TEXTURE_SLOTS ? slots.names[size_t(slot)] : 0; }

bool texture_WouldReuse(int slot, const char *path, int mipmaps) {
    return cacheHolds(slot, path, engine_FileStamp(path), mipmaps);
}

void texture_SetCache(bool on) {
    cache = TextureCache();
    cache.on = on;
}

bool texture_Upload(const TgaImage &image, bool mipmaps, bool allowGenerateMipmap) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (image.width < 1 || image.height < 1 || image.width > maxSize || image.height > maxSize) return false;
    GLint previousAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &previousAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (mipmaps && allowGenerateMipmap && hasExtension("GL_SGIS_generate_mipmap")) {
        GLint previousGenerate = GL_FALSE;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, &previousGenerate);
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, GL_TRUE);
        uploadLevel(0, image);
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP_SGIS, previousGenerate);
    } else {
        uploadLevel(0, image);
        if (mipmaps) {
            TgaImage level = image, half;
            for (int n = 1; level.width > 1 || level.height > 1; ++n) {
                tga_HalveImage(level, &half);
                uploadLevel(n, half);
                level.width = half.width;
                level.height = half.height;
                level.pixels.swap(half.pixels);
            }
        }
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, previousAlignment);
    return true;
}

bool LoadTextureFile(const char *path, int textureName, int mipmaps) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(textureName));
    setTextureParameters();
    setUnitModes();
    const EngineFileStamp stamp = engine_FileStamp(path);
    engine_NoteAsset(path, stamp);
    // The cache knows slots by number; a slot's picture may live under another name.
    int slot = -1;
    for (int i = 0; i < ENGINE_TEXTURE_SLOTS; ++i)
        if (slots.names[size_t(i)] == GLuint(textureName)) slot = i;
    if (cacheHolds(slot, path, stamp, mipmaps)) return true;
    if (slot >= 0) cache.names[slot].valid = false;
    TgaImage image;
    if (!readPicture(path, &image) || !texture_Upload(image, mipmaps == 1)) return false;
    noteCached(slot, path, stamp, mipmaps);
    return true;
}

void glLoadTextureSlot() {
    const char *name = script_Param(1);
    int slot = 0, mipmaps = 0;
    if (!engine_ParamInt(2, "glLoadTextureSlot", "texture slot", &slot, 0, ENGINE_TEXTURE_SLOTS - 1) ||
        !engine_ParamInt(3, "glLoadTextureSlot", "mipmaps", &mipmaps))
        return;
    // A cut name would no longer find its slot again, so it is refused rather than shortened.
    if (strlen(name) >= ENGINE_SLOT_NAME_SIZE) {
        trace_Error("glLoadTextureSlot", "texture name too long");
        return;
    }
    char path[ENGINE_PATH_SIZE];
    if (!engine_BuildPath(path, sizeof path, name, "glLoadTextureSlot")) return;
    // The show goes on without the picture, but the demo maker learns which file failed.
    if (!loadSlot(path, slot, mipmaps)) trace_Error("glLoadTextureSlot", path);
    TextureSlot &record = engine.textureSlots[slot];
    record.id = slot;
    text_CopyBounded(record.name, name);
    if (engine.debugMode) console_Printf("\n#call glLoadTextureSlot \"%s\" %d\n\r", record.name, slot);
}

int texture_FindExact(const char *name) {
    // An empty name names no file; it must not find a slot that was never loaded.
    if (!name || !name[0]) return 0;
    for (int i = 0; i < ENGINE_TEXTURE_SLOTS; ++i)
        if (strcmp(engine.textureSlots[i].name, name) == 0) return i;
    return 0;
}

int texture_FindNoCase(const char *name) {
    if (!name || !name[0]) return 0;
    int found = 0;
    for (int i = 0; i < ENGINE_TEXTURE_SLOTS; ++i)
        if (strcasecmp(engine.textureSlots[i].name, name) == 0) found = i;
    return found;
}

int texture_FindFileName(const char *name) {
    const char *file = name ? text_FileName(name) : "";
    if (!file[0]) return 0;
    int found = 0;
    for (int i = 0; i < ENGINE_TEXTURE_SLOTS; ++i)
        if (strcasecmp(text_FileName(engine.textureSlots[i].name), file) == 0) found = i;
    return found;
}
