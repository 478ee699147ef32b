// Texture slots: the "@glloadtextureslot" handler, loading a TGA file into a GL texture name
// with its mipmaps, and the two slot lookups by name.
#define GL_GLEXT_PROTOTYPES 1
#include "draw/texture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "base/console.h"
#include "base/trace.h"
#include "draw/picture.h"
#include "script/script.h"
#include "script/text.h"
#include "state/engine_state.h"

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

} // namespace

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
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    // Per texture unit, not per texture: this lands on whichever unit is active now.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);

    const EngineFileStamp stamp = engine_FileStamp(path);
    engine_NoteAsset(path, stamp);
    const bool cacheable = cache.on && textureName >= 0 && textureName < ENGINE_TEXTURE_SLOTS;
    if (cacheable) {
        CachedTexture &held = cache.names[textureName];
        if (held.valid && held.stamp == stamp && held.mipmaps == mipmaps && strcmp(held.path, path) == 0) return true;
        held.valid = false;
    }
    std::vector<uint8_t> bytes;
    TgaImage image;
    if (!engine_ReadFile(path, MAX_FILE_BYTES, &bytes) || !picture_Decode(bytes.data(), bytes.size(), &image)) return false;
    bytes = std::vector<uint8_t>();
    if (!tga_ResampleToPowerOfTwo(&image) || !texture_Upload(image, mipmaps == 1)) return false;
    if (cacheable) {
        CachedTexture &held = cache.names[textureName];
        held.valid = true;
        text_CopyBounded(held.path, path);
        held.stamp = stamp;
        held.mipmaps = mipmaps;
    }
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
    if (!LoadTextureFile(path, slot, mipmaps)) trace_Error("glLoadTextureSlot", path);
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
