// "--inspect": describes 3DS scenes, TGA pictures, music files and scripts as the engine sees
// them, one printer for the human-readable text and the JSON.
#include "author/inspect.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

#include <lib3ds/camera.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/node.h>

#include "author/check.h"
#include "author/probe.h"
#include "draw/picture.h"
#include "draw/tga.h"
#include "scene/scene_file.h"
#include "script/script.h"
#include "script/text.h"
#include "sound/sound.h"
#include "sound/sound_decoder.h"
#include "state/engine_state.h"

namespace {

constexpr int MAX_DEPTH = 8;
constexpr int MAX_ORDERS = 256;  // a module's order list is at most this long
constexpr size_t WHY_SIZE = SCENE_WHY_SIZE + 64;

// Writes one file's description either as indented text ("  camera 'A': position (1, 2, 3)")
// or as JSON; items are the entries of a list (cameras, lights, ...), fields their values.
struct Printer {
    FILE *out;
    bool json;
    int depth;                 // open JSON objects and arrays
    bool first[MAX_DEPTH];     // nothing written yet at that depth: no comma before the next
    bool inItem;               // text: fields go on the item's line
    bool itemHasField;
};

void separator(Printer &p) {
    if (!p.first[p.depth]) fputc(',', p.out);
    p.first[p.depth] = false;
}

void open(Printer &p, char bracket) {
    fputc(bracket, p.out);
    if (p.depth + 1 < MAX_DEPTH) p.depth++;
    p.first[p.depth] = true;
}

void close(Printer &p, char bracket) {
    fputc(bracket, p.out);
    if (p.depth > 0) p.depth--;
}

// The length of the well-formed UTF-8 character at c (1 to 4), 0 when it is not one.
int utf8Length(const unsigned char *c) {
    const int n = c[0] < 0x80 ? 1 : c[0] >= 0xC2 && c[0] < 0xE0 ? 2 : c[0] >= 0xE0 && c[0] < 0xF0 ? 3
                : c[0] >= 0xF0 && c[0] < 0xF5 ? 4 : 0;
    for (int i = 1; i < n; i++)
        if ((c[i] & 0xC0) != 0x80) return 0;
    if (n == 3 && ((c[0] == 0xE0 && c[1] < 0xA0) || (c[0] == 0xED && c[1] >= 0xA0))) return 0; // overlong, surrogate
    if (n == 4 && ((c[0] == 0xF0 && c[1] < 0x90) || (c[0] == 0xF4 && c[1] >= 0x90))) return 0;
    return n;
}

// Names come from files and command lines in any encoding: UTF-8 goes through, and any other
// byte is read as Latin-1 and escaped, so the document is valid JSON whatever the bytes.
void jsonString(FILE *out, const char *text) {
    fputc('"', out);
    for (const unsigned char *c = reinterpret_cast<const unsigned char *>(text); *c;) {
        const int n = utf8Length(c);
        if (*c == '"' || *c == '\\') fprintf(out, "\\%c", *c);
        else if (*c < 0x20 || n == 0) fprintf(out, "\\u%04x", *c);
        else fwrite(c, 1, size_t(n), out);
        c += n > 0 ? n : 1;
    }
    fputc('"', out);
}

// JSON keys are the text's names with '_' for each blank ("lens mm" -> "lens_mm").
void key(Printer &p, const char *name) {
    separator(p);
    fputc('"', p.out);
    for (const char *c = name; *c; c++) fputc(*c == ' ' ? '_' : *c, p.out);
    fputs("\":", p.out);
}

// The text form's lead-in of a field: on the item's line, or a line of its own.
void textKey(Printer &p, const char *name) {
    if (p.inItem) fprintf(p.out, "%s%s ", p.itemHasField ? ", " : ": ", name);
    else fprintf(p.out, "  %s: ", name);
    p.itemHasField = true;
}

void textEnd(Printer &p) {
    if (!p.inItem) fputc('\n', p.out);
}

void number(Printer &p, const char *name, double value) {
    if (!std::isfinite(value)) value = 0.0; // JSON has no inf or nan
    if (p.json) {
        key(p, name);
        fprintf(p.out, "%.6g", value);
        return;
    }
    textKey(p, name);
    fprintf(p.out, "%.6g", value);
    textEnd(p);
}

void text(Printer &p, const char *name, const char *value) {
    if (p.json) {
        key(p, name);
        jsonString(p.out, value);
        return;
    }
    textKey(p, name);
    fprintf(p.out, "'%s'", value);
    textEnd(p);
}

void word(Printer &p, const char *name, const char *value) {
    if (p.json) return text(p, name, value);
    textKey(p, name);
    fputs(value, p.out);
    textEnd(p);
}

void flag(Printer &p, const char *name, bool value) {
    if (p.json) {
        key(p, name);
        fputs(value ? "true" : "false", p.out);
        return;
    }
    textKey(p, name);
    fputs(value ? "yes" : "no", p.out);
    textEnd(p);
}

void values(Printer &p, const char *name, const float *values, int n) {
    if (p.json) key(p, name);
    else textKey(p, name);
    fputc(p.json ? '[' : '(', p.out);
    for (int i = 0; i < n; i++)
        fprintf(p.out, "%s%.6g", i ? (p.json ? "," : ", ") : "", std::isfinite(values[i]) ? double(values[i]) : 0.0);
    fputc(p.json ? ']' : ')', p.out);
    if (!p.json) textEnd(p);
}

void beginList(Printer &p, const char *name) {
    if (!p.json) return;
    key(p, name);
    open(p, '[');
}

void endList(Printer &p) {
    if (p.json) close(p, ']');
}

void beginItem(Printer &p, const char *label, const char *name) {
    if (p.json) {
        separator(p);
        open(p, '{');
        text(p, "name", name);
        return;
    }
    fprintf(p.out, "  %s '%s'", label, name);
    p.inItem = true;
    p.itemHasField = false;
}

void endItem(Printer &p) {
    if (p.json) {
        close(p, '}');
        return;
    }
    fputc('\n', p.out);
    p.inItem = false;
}

void beginFile(Printer &p, const char *path, const char *kind) {
    if (p.json) {
        separator(p);
        open(p, '{');
        text(p, "path", path);
        text(p, "kind", kind);
        return;
    }
    fprintf(p.out, "%s: %s\n", path, kind);
}

// Ends a file's description; problem (non-empty) is why the engine cannot use it.
void endFile(Printer &p, const char *problem) {
    if (p.json) {
        key(p, "ok");
        fputs(problem[0] ? "false" : "true", p.out);
        if (problem[0]) text(p, "problem", problem);
        close(p, '}');
        return;
    }
    if (problem[0]) fprintf(p.out, "  refused: %s\n", problem);
}

bool endsWith(const char *path, const char *suffix) {
    size_t length = strlen(path), n = strlen(suffix);
    return length >= n && strcasecmp(path + length - n, suffix) == 0;
}

// ---- Scenes --------------------------------------------------------------------------------

void describeScene(Printer &p, Lib3dsFile *file) {
    number(p, "first keyframe", 0);
    number(p, "last keyframe", file->frames);
    beginList(p, "cameras");
    for (const Lib3dsCamera *camera = file->cameras; camera; camera = camera->next) {
        beginItem(p, "camera", camera->name);
        values(p, "position", camera->position, 3);
        values(p, "target", camera->target, 3);
        number(p, "lens mm", camera->fov > 0 ? 2400.0 / double(camera->fov) : 0.0); // 3DS keeps fov = 2400 / lens
        number(p, "fov", camera->fov);
        // Without its nodes the camera is looked through as the file places it, unanimated.
        flag(p, "keyframed", lib3ds_file_node_by_name(file, camera->name, LIB3DS_CAMERA_NODE) != nullptr);
        endItem(p);
    }
    endList(p);
    if (!scene_HasCamera(file)) word(p, "no camera", "a default view frames the scene");
    if (!file->lights) word(p, "no lights", "default light");
    beginList(p, "lights");
    for (const Lib3dsLight *light = file->lights; light; light = light->next) {
        beginItem(p, "light", light->name);
        word(p, "kind", light->spot_light ? "spot" : "point");
        values(p, "position", light->position, 3);
        if (light->spot_light) values(p, "target", light->spot, 3);
        values(p, "colour", light->color, 3);
        endItem(p);
    }
    endList(p);
    beginList(p, "meshes");
    for (const Lib3dsMesh *mesh = file->meshes; mesh; mesh = mesh->next) {
        beginItem(p, "mesh", mesh->name);
        number(p, "faces", mesh->faces);
        number(p, "points", mesh->points);
        text(p, "material", mesh->faces > 0 ? mesh->faceL[0].material : ""); // the engine uses the first face's
        flag(p, "texture coordinates", mesh->texels > 0);
        flag(p, "keyframed", scene_MeshHasNode(file, mesh)); // if not, drawn where its points lie
        char why[SCENE_WHY_SIZE];
        if (!scene_CheckMesh(mesh, why, sizeof why)) text(p, "not drawn", why);
        endItem(p);
    }
    endList(p);
    beginList(p, "materials");
    for (const Lib3dsMaterial *material = file->materials; material; material = material->next) {
        beginItem(p, "material", material->name);
        values(p, "ambient", material->ambient, 3);
        values(p, "diffuse", material->diffuse, 3);
        values(p, "specular", material->specular, 3);
        number(p, "shininess", material->shininess);
        number(p, "transparency", material->transparency);
        text(p, "texture map", material->texture1_map.name);
        text(p, "reflection map", material->reflection_map.name);
        endItem(p);
    }
    endList(p);
}

// ---- TGA pictures --------------------------------------------------------------------------

const char *tgaTypeName(int type) {
    switch (type) {
    case 1: return "colour-mapped";
    case 2: return "true-colour";
    case 3: return "greyscale";
    case 9: return "colour-mapped, run-length encoded";
    case 10: return "true-colour, run-length encoded";
    case 11: return "greyscale, run-length encoded";
    default: return "unknown";
    }
}

void describeTga(Printer &p, const std::vector<uint8_t> &bytes, char *problem, size_t problemSize) {
    probe_Tga(bytes, problem, problemSize);
    if (bytes.size() < 18 || strcmp(problem, PROBE_NOT_A_TGA) == 0) return; // its header says nothing
    const uint8_t *h = bytes.data();
    int width = h[12] | (h[13] << 8), height = h[14] | (h[15] << 8);
    number(p, "type", h[2]);
    word(p, "type name", tgaTypeName(h[2]));
    number(p, "width", width);
    number(p, "height", height);
    number(p, "bits", h[16]);
    word(p, "origin", (h[17] & 0x20) ? "top left" : "bottom left");
    flag(p, "alpha", (h[2] & 7) == 2 ? h[16] == 32 : (h[2] & 7) == 1 && h[1] == 1 && h[7] == 32);
    if (problem[0]) return;
    number(p, "texture width", tga_NextPowerOfTwo(width));
    number(p, "texture height", tga_NextPowerOfTwo(height));
}

// PNG and JPEG pictures, as the texture loader decodes them.
void describePicture(Printer &p, const std::vector<uint8_t> &bytes, char *problem, size_t problemSize) {
    static TgaImage image;
    const char *reason = "damaged";
    if (!picture_Decode(bytes.data(), bytes.size(), &image, &reason)) {
        text_CopyBounded(problem, reason, problemSize);
        return;
    }
    number(p, "width", image.width);
    number(p, "height", image.height);
    word(p, "pixels", image.components == 4 ? "RGBA" : image.components == 3 ? "RGB" : "grey");
    number(p, "texture width", tga_NextPowerOfTwo(image.width));
    number(p, "texture height", tga_NextPowerOfTwo(image.height));
    image = TgaImage{};
}

// ---- Music ---------------------------------------------------------------------------------

void describeMusic(Printer &p, const std::vector<uint8_t> &bytes, char *problem, size_t problemSize) {
    static SoundDecoder decoder; // holds its scratch buffer: kept off the stack
    decoder = SoundDecoder{};
    if (!probe_Music(bytes, 44100, problem, problemSize)) return;
    sound_DecoderOpen(decoder, bytes.data(), bytes.size(), 44100);
    char format[128];
    sound_DecoderFormat(decoder, format, sizeof format);
    word(p, "format", format);
    number(p, "rate", decoder.rate);
    number(p, "channels", decoder.channels);
    number(p, "seconds", decoder.frames >= 0 ? double(decoder.frames) / decoder.rate : decoder.seconds);
    // The names time stamps accept: a sampled file's markers, a module's orders ("order0", ...).
    static SoundCueList cues;
    sound_ReadCues(bytes.data(), bytes.size(), cues);
    if (cues.bpm > 0.0) number(p, "tempo", cues.bpm); // what "@setbpm T|0" takes
    beginList(p, "sync points");
    int twice = 0; // names given before: a stamp finds the first
    for (int i = 0; i < cues.count && i < SOUND_MAX_MARKERS; i++) {
        beginItem(p, "sync point", cues.cues[i].name);
        number(p, "seconds", cues.cues[i].seconds);
        bool again = false;
        for (int j = 0; j < i && !again; ++j) again = strcmp(cues.cues[j].name, cues.cues[i].name) == 0;
        if (again) flag(p, "named before", true);
        twice += again;
        endItem(p);
    }
    endList(p);
    // What stamps cannot name as the file has it, said as --check says it.
    if (cues.cutNames > 0) number(p, "sync point names cut", cues.cutNames);
    if (cues.dropped > 0) number(p, "sync points not kept", cues.dropped);
    if (twice > 0) number(p, "sync point names given twice", twice);
    int patterns[MAX_ORDERS];
    int orders = sound_DecoderOrderList(decoder, patterns, MAX_ORDERS);
    if (orders > 0) {
        if (p.json) key(p, "orders"), fputc('[', p.out);
        else textKey(p, "order list");
        for (int i = 0; i < orders && i < MAX_ORDERS; i++) fprintf(p.out, "%s%d", i ? (p.json ? "," : " ") : "", patterns[i]);
        if (orders > MAX_ORDERS) fputs(p.json ? "" : " ...", p.out);
        if (p.json) fputc(']', p.out);
        else textEnd(p);
    }
    sound_DecoderClose(decoder);
}

// ---- Scripts -------------------------------------------------------------------------------

void describeScript(Printer &p, const char *path, char *problem, size_t problemSize) {
    static CheckSummary summary; // a path per loaded file: kept off the stack
    // Refused as --check refuses it: a FIFO would wait for a writer.
    char reason[128];
    if (script_FileProblem(path, reason, sizeof reason)) {
        snprintf(problem, problemSize, "cannot read the script: %s", reason);
        return;
    }
    CheckReport report = check_Script(path, nullptr, &summary);
    number(p, "errors", report.errors);
    number(p, "warnings", report.warnings);
    beginList(p, "sections");
    for (int i = 0; i < summary.sectionCount && i < CHECK_MAX_SECTIONS; i++) {
        const CheckSection &section = summary.sections[i];
        beginItem(p, "section", section.name);
        number(p, "line", section.fileLine);
        number(p, "command lines", section.lines);
        number(p, "from", section.first);
        number(p, "to", section.last);
        endItem(p);
    }
    endList(p);
    beginList(p, "ramps");
    for (int i = 0; i < summary.rampCount && i < CHECK_MAX_RAMPS; i++) {
        const CheckRamp &ramp = summary.ramps[i];
        beginItem(p, "ramp", ramp.command);
        number(p, "line", ramp.fileLine);
        number(p, "from", ramp.start);
        number(p, "to", ramp.end);
        word(p, "curve", script_CurveName(ramp.curve));
        endItem(p);
    }
    endList(p);
    beginList(p, "files");
    for (int i = 0; i < summary.fileCount; i++) {
        const CheckFile &file = summary.files[i];
        const char *kind = file.opcode == CHECK_OP_LOADSCENE ? "scene" : file.opcode == CHECK_OP_LOADTEXTURE ? "texture" : "music";
        beginItem(p, kind, file.path);
        number(p, "line", file.fileLine);
        if (file.slot >= 0) number(p, "slot", file.slot);
        endItem(p);
    }
    endList(p);
    const bool *tables[2] = {summary.textureSlots, summary.sceneSlots};
    const char *names[2] = {"texture slots", "scene slots"};
    for (int t = 0; t < 2; t++) {
        if (p.json) key(p, names[t]), open(p, '[');
        else textKey(p, names[t]);
        bool any = false;
        for (int slot = 0; slot < ENGINE_TEXTURE_SLOTS; slot++) {
            if (!tables[t][slot]) continue;
            fprintf(p.out, "%s%d", any ? (p.json ? "," : " ") : "", slot);
            any = true;
        }
        if (p.json) close(p, ']');
        else fputs(any ? "\n" : "none\n", p.out);
    }
    static_assert(ENGINE_TEXTURE_SLOTS == ENGINE_SCENE_SLOTS, "one loop walks both slot tables");
}

// One file: its kind from its name, then what its decoder sees. Returns whether it is usable.
bool describeFile(Printer &p, const char *path) {
    char problem[WHY_SIZE] = "";
    const bool scene = endsWith(path, ".3ds"), tga = endsWith(path, ".tga");
    const bool png = endsWith(path, ".png"), jpeg = endsWith(path, ".jpg") || endsWith(path, ".jpeg");
    const bool script = endsWith(path, ".qlo") || endsWith(path, ".txt");
    bool music = false;
    for (const char *ending : {".wav", ".wave", ".aif", ".aiff", ".flac", ".ogg", ".oga", ".opus", ".mp3", ".mod",
                               ".xm", ".s3m", ".it", ".mptm"})
        music = music || endsWith(path, ending);
    beginFile(p, path, scene ? "3DS scene" : tga ? "TGA picture" : png ? "PNG picture" : jpeg ? "JPEG picture"
                       : script ? "script" : music ? "music" : "unknown");
    static std::vector<uint8_t> bytes;
    if (!scene && !tga && !png && !jpeg && !script && !music) {
        text_CopyBounded(problem, "not a kind of file the engine reads: 3DS scenes (.3ds), pictures (.tga, .png, "
                                  ".jpg), scripts (.qlo, .txt) and music (.wav, .aiff, .flac, .ogg, .opus, .mp3, "
                                  ".mod, .xm, .s3m, .it)", sizeof problem);
    } else if (script) {
        describeScript(p, path, problem, sizeof problem);
    } else if (!engine_ReadFile(path, scene ? SCENE_MAX_FILE_BYTES : PROBE_MAX_FILE_BYTES, &bytes)) {
        snprintf(problem, sizeof problem, "cannot read the file: %s", engine_ReadProblem());
    } else if (scene) {
        Lib3dsFile *file = scene_Read3ds(bytes.data(), bytes.size(), problem, sizeof problem);
        if (file) describeScene(p, file);
        if (file) lib3ds_file_free(file);
    } else if (tga) {
        describeTga(p, bytes, problem, sizeof problem);
    } else if (png || jpeg) {
        describePicture(p, bytes, problem, sizeof problem);
    } else {
        describeMusic(p, bytes, problem, sizeof problem);
    }
    endFile(p, problem);
    return problem[0] == '\0';
}

} // namespace

int inspect_Files(int count, char **paths, bool json, FILE *out) {
    Printer p{out, json, 0, {true}, false, false};
    if (json) {
        open(p, '{');
        key(p, "files");
        open(p, '[');
    }
    bool allUsable = true;
    for (int i = 0; i < count; i++) allUsable = describeFile(p, paths[i]) && allUsable;
    if (json) {
        close(p, ']');
        close(p, '}');
        fputc('\n', out);
    }
    // A description that did not reach its reader (a full disk, a closed pipe) is a failure.
    if (fflush(out) != 0 || ferror(out)) {
        fprintf(stderr, "vortan: --inspect: cannot write the description: %s\n", strerror(errno));
        return 1;
    }
    return allUsable ? 0 : 1;
}
