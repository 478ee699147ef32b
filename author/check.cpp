// The script checker: the script engine compiles the file exactly as the show would, then every
// compiled line is read back against what its command's handler will do with it, and every file
// it loads is opened with the engine's own decoders and validator.
#include "author/check.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>

#include <lib3ds/camera.h>
#include <lib3ds/material.h>
#include <lib3ds/node.h>

#include "author/cues.h"
#include "author/probe.h"
#include "base/platform.h"
#include "ramp/ramp_rules.h"
#include "scene/scene_file.h"
#include "script/script.h"
#include "script/text.h"
#include "sound/sound.h"
#include "state/engine_state.h"

namespace {

// How a handler reads one parameter.
enum ParamKind : char {
    P_NONE = 0,
    P_INT,     // atoi
    P_REAL,    // atof
    P_TEXT,    // used as it stands
    P_FILE,    // a file name under the resource directory
    P_DIR,     // the resource directory (last character dropped)
};

// What a parameter may hold, for the range checks.
struct ParamRule {
    ParamKind kind;
    bool required;
    int low, high; // integer range, when low <= high
    const char *what;
};

struct CommandRule {
    const char *name;
    ParamRule params[7];
};

constexpr ParamRule INT(const char *what, int low = 0, int high = -1) { return {P_INT, true, low, high, what}; }
constexpr ParamRule REAL(const char *what) { return {P_REAL, true, 0, -1, what}; }
constexpr ParamRule OPT_INT(const char *what) { return {P_INT, false, 0, -1, what}; }
constexpr ParamRule OPT_REAL(const char *what) { return {P_REAL, false, 0, -1, what}; }

constexpr int LAYER_HIGH = ENGINE_LAYER_RECORDS - 1;
constexpr int SLOT_HIGH = ENGINE_TEXTURE_SLOTS - 1;

// Opcode order: the slot of each command in the command table.
const CommandRule COMMANDS[] = {
    {"@setlayer", {}},
    {"@setscene", {}},
    {"@setcam", {}},
    {"@initsound", {{P_FILE, true, 0, -1, "music file"}, OPT_INT("mixing rate")}},
    {"@playsound", {}},
    {"@setdemostart", {}},
    {"@glsetclearcolor", {REAL("red"), REAL("green"), REAL("blue")}},
    {"@glsetcinemascope", {INT("on"), OPT_INT("bar height")}},
    {"@setdebug", {INT("debug mode")}},
    {"@glsetbackground", {INT("on"), OPT_INT("mode"), OPT_INT("argument")}},
    {"@glsetcolor", {INT("colour index", 0, ENGINE_COLORS - 1), REAL("red"), REAL("green"), REAL("blue")}},
    {"@glsetlayerparam", {INT("layer", 0, LAYER_HIGH), {P_TEXT, true, 0, -1, "texture slot name"}, INT("visible"),
                          REAL("fade"), REAL("repeat u"), REAL("repeat v")}},
    {"@glsetlayerpos", {INT("layer", 0, LAYER_HIGH), INT("blend"), REAL("fade speed"), REAL("x"), INT("y"),
                        REAL("width"), REAL("height")}},
    {"@glloadtextureslot", {{P_FILE, true, 0, -1, "image file"}, INT("texture slot", 0, SLOT_HIGH), OPT_INT("mipmaps")}},
    {"@glloadsceneslot", {INT("scene slot", 0, ENGINE_SCENE_SLOTS - 1), {P_FILE, true, 0, -1, "scene file"}}},
    {"@glsetcurrentscene", {INT("scene slot", -1, ENGINE_SCENE_SLOTS - 1)}},
    {"@glsetlayerfadespeed", {INT("layer", 0, LAYER_HIGH), REAL("fade speed")}},
    {"@glsetreplayspeed", {REAL("replay speed")}},
    {"@glsetreplayframe", {REAL("replay frame")}},
    {"@glsetlayerparamex", {INT("layer", 0, LAYER_HIGH), REAL("speed x"), REAL("speed y"), OPT_INT("extra a"),
                            OPT_REAL("extra b")}},
    {"@glfx_glow", {REAL("glow")}},
    {"@glfx_rtparam", {INT("render target", 0, ENGINE_RENDER_TARGETS - 1), INT("size", 1, 8192)}},
    {"@glfx_rtalpha", {INT("render target", 0, ENGINE_RENDER_TARGETS - 1), REAL("alpha")}},
    {"@glsetcamera", {{P_TEXT, true, 0, -1, "camera name"}}},
    {"@setresourcedir", {{P_DIR, true, 0, -1, "resource directory"}}},
    {"@setbpm", {REAL("beats per minute"), OPT_REAL("offset")}},
};
constexpr int COMMAND_COUNT = sizeof COMMANDS / sizeof COMMANDS[0];
static_assert(COMMAND_COUNT == 26, "the engine has 26 commands");
constexpr int OP_SETBPM = 25;

constexpr int OP_INITSOUND = CHECK_OP_INITSOUND;
constexpr int OP_SETDEMOSTART = 5;
constexpr int OP_CINEMASCOPE = 7;
constexpr int OP_LOADTEXTURE = CHECK_OP_LOADTEXTURE;
constexpr int OP_LOADSCENE = CHECK_OP_LOADSCENE;
constexpr int OP_SETCURRENTSCENE = 15;
constexpr int OP_SETLAYERPARAM = 11;
constexpr int OP_RTPARAM = 21;
constexpr int OP_GLSETCAMERA = 23;
constexpr int OP_SETRESOURCEDIR = 24;
static_assert(OP_LOADSCENE == 14 && OP_LOADTEXTURE == 13 && OP_INITSOUND == 3, "opcodes of the loading commands");
constexpr int RENDER_TARGET_MAX = 8192; // the glow's own limit on a target's edge

// Registered so opcodes resolve; the checker never evaluates a line.
void noHandler() {}

// The parameters a ramp cannot move, as the last plain line of their command and key set them.
struct CheckInForce {
    const RampCommand *command = nullptr;
    int key = 0;
    char values[RAMP_MAX_KEPT][SCRIPT_TEXT_SIZE] = {};
};

struct Checker {
    const char *path;
    FILE *out;
    CheckReport report;
    CheckSummary *summary; // null: nothing gathered
    char resourceDir[ENGINE_PATH_SIZE];
    char slotNames[ENGINE_TEXTURE_SLOTS][ENGINE_SLOT_NAME_SIZE];
    bool slotLoaded[ENGINE_TEXTURE_SLOTS];
    Lib3dsFile *scenes[ENGINE_SCENE_SLOTS]; // what each scene slot holds, as the validator read it
    int currentScene;
    std::vector<uint8_t> bytes;             // the file being probed
    char musicPath[ENGINE_PATH_SIZE]; // the music of the last "@initsound", for sync-point names
    bool musicReported;               // that music was reported unusable: its names are not again
    double beatSeconds, beatOffset;   // the tempo of "@setbpm" so far; 0: none
    int slashLine;                    // a resource directory without its '/' (0: none), said once
    char slashDir[ENGINE_PATH_SIZE];
    int filesBehindSlash;             // files found only with the '/' the directory lacks
    CheckInForce inForce[ENGINE_LAYER_RECORDS + 16]; // what a ramp must keep as it is
};

void finding(Checker &c, int fileLine, bool error, const char *format, ...) __attribute__((format(printf, 4, 5)));
void finding(Checker &c, int fileLine, bool error, const char *format, ...) {
    char message[512];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    if (c.out) fprintf(c.out, "%s:%d: %s: %s\n", c.path, fileLine, error ? "error" : "warning", message);
    if (error && !c.report.firstError[0]) { // cut to fit: it is shown on one line of a window
        snprintf(c.report.firstError, sizeof c.report.firstError, "%d: ", fileLine);
        text_AppendBounded(c.report.firstError, message);
    }
    (error ? c.report.errors : c.report.warnings)++;
}

// The parameter without the line end the last parameter of a line carries.
void withoutLineEnd(const char *text, char (&clean)[SCRIPT_TEXT_SIZE]) {
    text_CopyBounded(clean, text);
    size_t length = strlen(clean);
    while (length > 0 && (clean[length - 1] == '\n' || clean[length - 1] == ' ')) clean[--length] = '\0';
}

// Whether a number's value fits the int a handler reads it into.
bool fitsInt(const char *text) {
    errno = 0;
    double value = strtod(text, nullptr);
    return errno != ERANGE && value > double(INT_MIN) - 1.0 && value < double(INT_MAX) + 1.0;
}

bool isNumber(const char *text, bool integer) {
    if (*text == '\0') return false;
    char *end = nullptr;
    if (integer) {
        strtol(text, &end, 10);
    } else {
        double value = strtod(text, &end);
        if (!std::isfinite(value)) return false;
        if (strncmp(text, "0x", 2) == 0 || strncmp(text, "0X", 2) == 0) return false;
    }
    return end != text && *end == '\0';
}

// Anything under the name: a folder, FIFO or device is then refused by the probe, with its kind.
bool fileExists(const char *path) {
    struct stat info;
    return stat(path, &info) == 0;
}

// Lists the camera names of a scene, for a message.
void cameraNames(const Lib3dsFile *file, char (&list)[SCRIPT_TEXT_SIZE]) {
    list[0] = '\0';
    for (const Lib3dsCamera *camera = file->cameras; camera; camera = camera->next) {
        if (list[0]) text_AppendBounded(list, ", ");
        text_AppendBounded(list, "'");
        text_AppendBounded(list, camera->name);
        text_AppendBounded(list, "'");
    }
    if (!list[0]) text_CopyBounded(list, "none");
}

// Whether a texture slot loaded so far answers to a material's map name (by file name, without
// regard to case or folder, as the scene's compile step looks it up).
bool slotProvides(const Checker &c, const char *map) {
    for (int i = 0; i < ENGINE_TEXTURE_SLOTS; i++)
        if (c.slotLoaded[i] && strcasecmp(text_FileName(c.slotNames[i]), text_FileName(map)) == 0) return true;
    return false;
}

// The scene's meshes are compiled at load: a material map no slot answers to binds slot 0.
void checkMaps(Checker &c, int fileLine, const Lib3dsFile *file) {
    for (const Lib3dsMaterial *material = file->materials; material; material = material->next) {
        bool used = false;
        for (const Lib3dsMesh *mesh = file->meshes; mesh && !used; mesh = mesh->next)
            used = mesh->faces > 0 && strcmp(mesh->faceL[0].material, material->name) == 0;
        if (!used) continue;
        const char *maps[2] = {material->texture1_map.name, material->reflection_map.name};
        for (int k = 0; k < 2; k++)
            if (maps[k][0] && !slotProvides(c, maps[k]))
                finding(c, fileLine, false, "@glloadsceneslot: material '%s' names the %s map '%s', which no texture "
                        "slot loaded before this line provides; slot 0's picture will be used (load '%s' before "
                        "this line)", material->name, k == 0 ? "texture" : "reflection", maps[k],
                        text_FileName(maps[k]));
    }
}

// Sync points a stamp cannot name as the file has them: cut names, points past the table, and
// names given twice (a stamp finds the first).
void checkCues(Checker &c, int fileLine, const char *full) {
    static SoundCueList cues;
    if (!sound_ReadCues(c.bytes.data(), c.bytes.size(), cues)) return;
    if (cues.cutNames > 0)
        finding(c, fileLine, false, "music file '%s': %d sync point name%s longer than %d characters, cut there; "
                "stamps name %s by the cut name (--inspect lists them)", full, cues.cutNames,
                cues.cutNames == 1 ? " is" : "s are", int(SOUND_MARKER_NAME_SIZE - 1), cues.cutNames == 1 ? "it" : "them");
    if (cues.dropped > 0)
        finding(c, fileLine, false, "music file '%s' has %d sync points more than the %d kept; the later ones "
                "cannot be named", full, cues.dropped, SOUND_MAX_MARKERS);
    for (int i = 0; i < cues.count; ++i)
        for (int j = 0; j < i; ++j)
            if (strcmp(cues.cues[i].name, cues.cues[j].name) == 0) {
                finding(c, fileLine, false, "music file '%s': two sync points are called '%s' (%.3f s and %.3f s); "
                        "stamps name the first", full, cues.cues[i].name, cues.cues[j].seconds, cues.cues[i].seconds);
                break;
            }
}

// Opens a file that exists the way its loader will and reports why the engine could not use it.
void probeFile(Checker &c, int fileLine, int opcode, const char *full) {
    char why[SCENE_WHY_SIZE + 64] = "";
    size_t limit = opcode == OP_LOADSCENE ? SCENE_MAX_FILE_BYTES : PROBE_MAX_FILE_BYTES;
    if (!engine_ReadFile(full, limit, &c.bytes)) {
        finding(c, fileLine, true, "'%s' cannot be read: %s", full, engine_ReadProblem());
        return;
    }
    if (opcode == OP_LOADTEXTURE) {
        if (!probe_Picture(c.bytes, why, sizeof why))
            finding(c, fileLine, true, "image file '%s' cannot be decoded: %s", full, why);
    } else if (opcode == OP_INITSOUND) {
        int rate = atoi(script_Param(2));
        if (!probe_Music(c.bytes, rate > 0 ? rate : 44100, why, sizeof why)) {
            finding(c, fileLine, true, "music file '%s' cannot be decoded: %s", full, why);
        } else {
            c.musicReported = false;
            checkCues(c, fileLine, full);
        }
    } else if (opcode == OP_LOADSCENE) {
        int slot = atoi(script_Param(1));
        Lib3dsFile *file = scene_Read3ds(c.bytes.data(), c.bytes.size(), why, sizeof why);
        if (!file) {
            finding(c, fileLine, true, "scene file '%s' is refused: %s", full, why);
            return;
        }
        checkMaps(c, fileLine, file);
        if (!scene_HasCamera(file))
            finding(c, fileLine, false, "@glloadsceneslot: scene file '%s' has no camera: a default view frames the "
                    "scene", full);
        if (slot < 0 || slot >= ENGINE_SCENE_SLOTS) {
            lib3ds_file_free(file);
            return;
        }
        if (c.scenes[slot]) lib3ds_file_free(c.scenes[slot]);
        c.scenes[slot] = file;
    }
}

void checkFile(Checker &c, int fileLine, int opcode, const char *what, const char *name) {
    if (name[0] == '\0') return;
    if (opcode == OP_INITSOUND) c.musicReported = true; // until the file is found usable
    char full[ENGINE_PATH_SIZE];
    if (!engine_JoinPath(full, sizeof full, c.resourceDir, name)) {
        finding(c, fileLine, true, "%s path is too long", what);
        return;
    }
    if (opcode == OP_LOADSCENE) {
        // A load that fails leaves the slot empty.
        int slot = atoi(script_Param(1));
        if (slot >= 0 && slot < ENGINE_SCENE_SLOTS && c.scenes[slot]) {
            lib3ds_file_free(c.scenes[slot]);
            c.scenes[slot] = nullptr;
        }
    }
    if (c.summary && c.summary->fileCount < CHECK_MAX_FILES) {
        CheckFile &file = c.summary->files[c.summary->fileCount++];
        file.fileLine = fileLine;
        file.opcode = opcode;
        file.slot = opcode == OP_INITSOUND ? -1 : atoi(script_Param(opcode == OP_LOADSCENE ? 1 : 2));
        text_CopyBounded(file.path, full);
    }
    if (!fileExists(full)) {
        // Found with the '/' the directory lacks: one message says so for all of them.
        char dir[ENGINE_PATH_SIZE], slashed[ENGINE_PATH_SIZE];
        const size_t length = strlen(c.resourceDir);
        if (length > 0 && !platform_IsSeparator(c.resourceDir[length - 1]) &&
            engine_JoinPath(dir, sizeof dir, c.resourceDir, "/") &&
            engine_JoinPath(slashed, sizeof slashed, dir, name) && fileExists(slashed)) {
            c.filesBehindSlash++;
            return;
        }
        finding(c, fileLine, true, "%s '%s' not found", what, full);
        return;
    }
    probeFile(c, fileLine, opcode, full);
}

// Reads the parameters of one command line and reports what its handler would trip over.
void checkParams(Checker &c, int opcode, int fileLine) {
    const CommandRule &command = COMMANDS[opcode];
    for (int k = 1; k <= 7; k++) {
        const ParamRule &param = command.params[k - 1];
        if (param.kind == P_NONE) break;
        const char *raw = script_Param(k);
        char text[SCRIPT_TEXT_SIZE];
        withoutLineEnd(raw, text);
        if (text[0] == '\0') {
            if (param.required) finding(c, fileLine, true, "%s: parameter %d (%s) is missing", command.name, k, param.what);
            continue;
        }
        switch (param.kind) {
        case P_INT:
            if (isNumber(text, false) && !fitsInt(text)) {
                finding(c, fileLine, true, "%s: parameter %d (%s) '%s' does not fit an integer", command.name, k,
                        param.what, text);
            } else if (!isNumber(text, true)) {
                if (isNumber(text, false))
                    finding(c, fileLine, false, "%s: parameter %d (%s) '%s' is read as the integer %d", command.name, k,
                            param.what, text, atoi(text));
                else
                    finding(c, fileLine, true, "%s: parameter %d (%s) '%s' is not a number", command.name, k, param.what,
                            text);
            } else if (param.low <= param.high && (atoi(text) < param.low || atoi(text) > param.high)) {
                finding(c, fileLine, true, "%s: %s %d is out of range (%d..%d)", command.name, param.what, atoi(text),
                        param.low, param.high);
            } else if (param.high == LAYER_HIGH && atoi(text) >= ENGINE_LAYERS) {
                finding(c, fileLine, false, "%s: layer %d is render target %d's record: accepted, but never drawn as "
                        "a layer (layers are 0..%d)", command.name, atoi(text), atoi(text) - ENGINE_LAYERS,
                        ENGINE_LAYERS - 1);
            }
            break;
        case P_REAL:
            if (!isNumber(text, false))
                finding(c, fileLine, true, "%s: parameter %d (%s) '%s' is not a number", command.name, k, param.what, text);
            break;
        case P_FILE: {
            size_t length = strlen(raw);
            bool endsLine = raw[length - 1] == '\n';
            char name[SCRIPT_TEXT_SIZE];
            text_CopyBounded(name, raw);
            if (opcode == OP_LOADSCENE) {
                // The scene loader drops the last character, meant to be the line end.
                name[length - 1] = '\0';
                if (!endsLine)
                    finding(c, fileLine, false, "%s: '%s' does not end its line, so the loader drops its last "
                            "character", command.name, raw);
            } else if (endsLine) {
                finding(c, fileLine, true, "%s: %s '%s' ends the line, so its name would carry the line end; add a "
                        "trailing '|'", command.name, param.what, text);
                break;
            }
            checkFile(c, fileLine, opcode, param.what, name);
            break;
        }
        case P_DIR:
            if (raw[strlen(raw) - 1] != '\n')
                finding(c, fileLine, false, "%s: '%s' does not end its line, so its last character is dropped",
                        command.name, raw);
            break;
        case P_TEXT:
        case P_NONE:
            break;
        }
    }
}

// Follows the state that later lines depend on: resource directory and texture slot names.
void followState(Checker &c, int opcode, int fileLine) {
    const char *p1 = script_Param(1);
    if (opcode == OP_SETRESOURCEDIR) {
        char dir[SCRIPT_TEXT_SIZE];
        text_CopyBounded(dir, p1);
        if (strlen(dir) > 0) dir[strlen(dir) - 1] = '\0';
        text_CopyBounded(c.resourceDir, dir);
        size_t length = strlen(dir);
        if (length > 0 && !platform_IsSeparator(dir[length - 1]) && !c.slashLine) {
            c.slashLine = fileLine; // said once, at the end, with what it does to the files
            text_CopyBounded(c.slashDir, dir);
        }
        if (length > 0 && !platform_IsDir(dir))
            finding(c, fileLine, true, "@setresourcedir: directory '%s' not found", dir);
    } else if (opcode == OP_INITSOUND) {
        engine_JoinPath(c.musicPath, sizeof c.musicPath, c.resourceDir, p1);
    } else if (opcode == OP_SETBPM) {
        double bpm = atof(p1);
        if (bpm == 0.0 && !cue_MusicTempo(c.musicPath, &bpm))
            finding(c, fileLine, true, "@setbpm: tempo 0 takes the music's own, but %s%s%s gives none (sampled music "
                    "has none: give the beats a minute)", c.musicPath[0] ? "'" : "no \"@initsound\" before it",
                    c.musicPath, c.musicPath[0] ? "'" : "");
        else if (!(bpm > 0.0 && bpm <= 1000.0))
            finding(c, fileLine, true, "@setbpm: tempo %g out of range (above 0, at most 1000 beats a minute)", bpm);
        else
            c.beatSeconds = 60.0 / bpm, c.beatOffset = atof(script_Param(2));
    } else if (opcode == OP_LOADTEXTURE) {
        if (atoi(script_Param(3)) != 1)
            finding(c, fileLine, false, "@glloadtextureslot: without mipmaps (parameter 3 is not 1) the texture is "
                    "incomplete and draws as if untextured; load it with 1");
        int slot = atoi(script_Param(2));
        if (slot >= 0 && slot < ENGINE_TEXTURE_SLOTS) {
            text_CopyBounded(c.slotNames[slot], p1);
            c.slotLoaded[slot] = true;
            if (c.summary) c.summary->textureSlots[slot] = true;
        }
    } else if (opcode == OP_SETLAYERPARAM) {
        const char *name = script_Param(2);
        bool found = false;
        for (int i = 0; i < ENGINE_TEXTURE_SLOTS && !found; i++)
            found = c.slotLoaded[i] && strcmp(c.slotNames[i], name) == 0;
        if (!found && name[0] != '\0')
            finding(c, fileLine, false, "@glsetlayerparam: no texture slot is loaded as '%s' before this line; the "
                    "layer shows slot 0 (names match exactly, case included)", name);
    } else if (opcode == OP_GLSETCAMERA) {
        size_t length = strlen(p1);
        const Lib3dsFile *file = c.currentScene >= 0 ? c.scenes[c.currentScene] : nullptr;
        char names[SCRIPT_TEXT_SIZE];
        if (length > 0 && p1[length - 1] == '\n') {
            finding(c, fileLine, true, "@glsetcamera: the camera name carries the line end and will match no camera; "
                    "end the line with '|'");
        } else if (SceneView view; file && scene_FindView(const_cast<Lib3dsFile *>(file), p1, &view) == SCENE_VIEW_NONE) {
            cameraNames(file, names);
            finding(c, fileLine, true, "@glsetcamera: scene slot %d has no camera '%s', so it shows nothing; its "
                    "cameras: %s", c.currentScene, p1, names);
        }
    } else if (opcode == OP_SETCURRENTSCENE) {
        int slot = atoi(p1);
        c.currentScene = slot >= 0 && slot < ENGINE_SCENE_SLOTS ? slot : -1;
    } else if (opcode == OP_LOADSCENE) {
        int slot = atoi(p1);
        if (c.summary && slot >= 0 && slot < ENGINE_SCENE_SLOTS) c.summary->sceneSlots[slot] = true;
    } else if (opcode == OP_RTPARAM) {
        int size = atoi(script_Param(2));
        int window = engine.screenWidth < engine.screenHeight ? engine.screenWidth : engine.screenHeight;
        if (size > window && size <= RENDER_TARGET_MAX)
            finding(c, fileLine, true, "@glfx_rtparam: a render target of %d pixels is larger than the %dx%d window "
                    "(--resolution); the glow copies it from the window", size, engine.screenWidth,
                    engine.screenHeight);
    } else if (opcode == OP_CINEMASCOPE) {
        if (atoi(p1) != 0 && atoi(script_Param(2)) >= 50)
            finding(c, fileLine, false, "@glsetcinemascope: bars of %d %% of the window height each cover the whole "
                    "frame, which shows black", atoi(script_Param(2)));
    }
}

// Parameters the evaluation of a line would find (empty ones are skipped), time stamp included.
// The time of a stamp as the show reads it, with what is wrong with it said (then *sound, when
// given, is cleared).
double readStamp(Checker &c, int fileLine, const char *text, bool *sound = nullptr) {
    const int errors = c.report.errors;
    double stamp = atof(text);
    double beats = 0.0;
    char cueMessage[1024];
    if (script_ReadBeats(text, &beats)) {
        if (c.beatSeconds > 0.0)
            stamp = c.beatOffset + beats * c.beatSeconds;
        else
            finding(c, fileLine, true, "time stamp '%s' counts beats, but no \"@setbpm\" before it sets a tempo "
                    "(it reads as %g seconds)", text, beats);
    } else if (script_IsNameStamp(text)) {
        // One mistake, one message: names in a music file already reported unusable are not.
        if (!cue_CheckStamp(text, c.musicPath, &stamp, cueMessage, sizeof cueMessage) && !c.musicReported)
            finding(c, fileLine, true, "%s", cueMessage);
    } else if (text[0] != '\0' && !isNumber(text, false)) {
        finding(c, fileLine, true, "time stamp '%s' is not a number", text);
    }
    if (sound) *sound = c.report.errors == errors && c.musicReported == false;
    return stamp;
}

// The in-force record of a rampable command's line: its key and the parameters a ramp keeps.
CheckInForce *inForce(Checker &c, const RampCommand &command, bool make) {
    const int key = command.keyParam ? atoi(script_Param(command.keyParam)) : 0;
    for (CheckInForce &kept : c.inForce)
        if (kept.command == &command && kept.key == key) return &kept;
    if (!make) return nullptr;
    for (CheckInForce &kept : c.inForce)
        if (!kept.command) {
            kept.command = &command;
            kept.key = key;
            return &kept;
        }
    return nullptr; // more keys than any script sets: that one goes unchecked
}

// A plain line of a rampable command: the parameters it keeps are those in force from here on.
void keepInForce(Checker &c, const ScriptLine &line) {
    const RampCommand *command = ramp_FindCommand(line.token);
    CheckInForce *kept = command ? inForce(c, *command, true) : nullptr;
    for (int k = 0; kept && k < RAMP_MAX_KEPT && command->keptParams[k]; ++k)
        withoutLineEnd(script_Param(command->keptParams[k]), kept->values[k]);
}

// A ramp stamp: its end, its curve, its command, and the parameters it cannot move.
void checkRamp(Checker &c, const ScriptLine &line, int fileLine, const ScriptRampStamp &ramp, double start,
               bool startRead) {
    bool endRead = true;
    const double end = readStamp(c, fileLine, ramp.end, &endRead);
    if (ramp.curve == SCRIPT_CURVE_UNKNOWN)
        finding(c, fileLine, true, "ramp: no curve '%s' (linear, smooth, in, out, step)", ramp.curveName);
    if (startRead && endRead && !(end > start))
        finding(c, fileLine, true, "ramp %s..%s ends (%g s) before it starts (%g s)", ramp.start, ramp.end, end, start);
    const RampCommand *command = ramp_FindCommand(line.token);
    if (!command) {
        finding(c, fileLine, true, "%s cannot ramp: the line sets its values at once (%s can)", line.token,
                ramp_CommandNames());
        return;
    }
    const CheckInForce *kept = inForce(c, *command, false);
    for (int k = 0; k < RAMP_MAX_KEPT && command->keptParams[k]; ++k) {
        char value[SCRIPT_TEXT_SIZE];
        withoutLineEnd(script_Param(command->keptParams[k]), value);
        // Before any line sets them, numbers are 0 and no texture slot is named.
        const char *was = kept ? kept->values[k] : isNumber(value, true) ? "0" : "";
        const bool same = strcmp(value, was) == 0 || (isNumber(value, true) && atoi(value) == atoi(was));
        if (!same)
            finding(c, fileLine, true, "%s ramp: its %s '%s' differs from the one in force (%s%s%s); a ramp moves "
                    "numbers only, so set it on an earlier line", line.token, command->keptNames[k], value,
                    was[0] ? "'" : "none set", was, was[0] ? "'" : "");
    }
    if (c.summary && c.summary->rampCount < CHECK_MAX_RAMPS) {
        CheckRamp &listed = c.summary->ramps[c.summary->rampCount];
        listed.fileLine = fileLine;
        text_CopyBounded(listed.command, line.token);
        listed.start = start;
        listed.end = end;
        listed.curve = ramp.curve;
    }
    if (c.summary) c.summary->rampCount++;
}

int paramCount(const ScriptLine &line) {
    int count = 0;
    for (const char *p = line.params; *p;) {
        size_t piece = strcspn(p, script.delimiter);
        if (piece > 0) count++;
        p += piece;
        if (*p) p++;
    }
    return count;
}

void openSection(Checker &c, const ScriptLine &line, int fileLine) {
    if (!c.summary) return;
    int n = c.summary->sectionCount++;
    if (n >= CHECK_MAX_SECTIONS) return;
    CheckSection &section = c.summary->sections[n];
    text_CopyBounded(section.name, line.params);
    section.name[strcspn(section.name, "\n")] = '\0'; // the name keeps its line end in the table
    section.fileLine = fileLine;
    section.lines = 0;
    section.first = section.last = 0.0;
}

void freeScenes(Checker &c) {
    for (Lib3dsFile *&file : c.scenes) {
        if (file) lib3ds_file_free(file);
        file = nullptr;
    }
}

} // namespace

const char *check_CommandName(int opcode) {
    return opcode >= 0 && opcode < COMMAND_COUNT ? COMMANDS[opcode].name : "";
}

CheckReport check_Script(const char *path, FILE *out, CheckSummary *summary) {
    static Checker c; // large tables: kept off the stack
    c.path = path;
    c.out = out;
    c.report = CheckReport{};
    c.summary = summary;
    c.resourceDir[0] = '\0';
    memset(c.slotNames, 0, sizeof c.slotNames);
    memset(c.slotLoaded, 0, sizeof c.slotLoaded);
    c.currentScene = -1;
    c.musicPath[0] = '\0';
    c.musicReported = false;
    c.beatSeconds = c.beatOffset = 0.0;
    c.slashLine = c.filesBehindSlash = 0;
    for (CheckInForce &kept : c.inForce) kept = CheckInForce{};
    if (summary) *summary = CheckSummary{};

    script_Reset();
    script_Init();
    for (int op = 0; op < COMMAND_COUNT; op++) script_RegisterCommand(COMMANDS[op].name, noHandler, op);
    int status = script_Load(path);
    if (status == SCRIPT_FILE_NOT_FOUND) {
        char reason[256] = "";
        if (!script_FileProblem(path, reason, sizeof reason)) text_CopyBounded(reason, strerror(errno));
        finding(c, 1, true, "cannot open the script: %s", reason);
        return c.report;
    }

    int count = script.lineCount < SCRIPT_MAX_LINES ? script.lineCount : SCRIPT_MAX_LINES;
    int lastFileLine = count > 0 ? script.fileLine[count - 1] : 0;
    bool sawEnd = false;
    bool openMacro = false;
    int macroLine = 0;
    int macros = 0;
    double previousStamp = -INFINITY;
    for (int i = 0; i < count; i++) {
        const ScriptLine &line = script.lines[i];
        int fileLine = script.fileLine[i];
        if (i > 0 && fileLine == script.fileLine[i - 1] && (i < 2 || fileLine != script.fileLine[i - 2]))
            finding(c, fileLine, false, "the line is longer than %d characters: it is cut there and the rest reads "
                    "as the next line", SCRIPT_RAW_LINE);
        if (line.token[0] == '\0') continue; // an ignored line
        if (line.opcode == OP_MACROSTART) {
            if (openMacro) finding(c, fileLine, false, "macro opened while the one of line %d is still open", macroLine);
            if (++macros == SCRIPT_MAX_MACROS + 1)
                finding(c, fileLine, false, "the script holds at most %d macros: this one and those after it are not "
                        "recorded (their lines still run)", SCRIPT_MAX_MACROS);
            openMacro = true;
            macroLine = fileLine;
            openSection(c, line, fileLine);
            continue;
        }
        if (line.opcode == OP_MACROEND) {
            if (!openMacro) finding(c, fileLine, false, "')' closes no open macro");
            openMacro = false;
            continue;
        }
        if (line.opcode == OP_COMMENT || line.opcode == OP_CALL) continue;

        size_t tokenLength = strlen(line.token);
        bool known = line.opcode == OP_END || (line.opcode > 0 && line.opcode < COMMAND_COUNT) ||
                     strcmp(line.token, COMMANDS[0].name) == 0;
        if (tokenLength > 0 && line.token[tokenLength - 1] == '\n') {
            char bare[SCRIPT_NAME_SIZE];
            text_CopyBounded(bare, line.token);
            bare[tokenLength - 1] = '\0';
            finding(c, fileLine, true, "command '%s' has no blank and no parameters after it, so it matches no command",
                    bare);
            continue;
        }
        if (!known) {
            finding(c, fileLine, true, "unknown command '%s'", line.token);
            continue;
        }

        memset(script.params, 0, sizeof script.params);
        script_SplitParams(&line);
        char stampText[SCRIPT_TEXT_SIZE];
        withoutLineEnd(script_Param(0), stampText);
        ScriptRampStamp ramp;
        const bool ramped = script_SplitRamp(stampText, &ramp);
        bool startRead = true;
        const double stamp = readStamp(c, fileLine, ramped ? ramp.start : stampText, &startRead);
        if (ramped) checkRamp(c, line, fileLine, ramp, stamp, startRead);
        else keepInForce(c, line);
        if (stamp < previousStamp)
            finding(c, fileLine, false, "time stamp %g is earlier than the line before (%g): lines run in file order",
                    stamp, previousStamp);
        previousStamp = stamp;

        if (line.opcode == OP_END) {
            sawEnd = true;
            break; // lines after the end line never run
        }
        if (paramCount(line) > SCRIPT_MAX_PARAMS)
            finding(c, fileLine, false, "%s: the line has %d parameters (time stamp included); those after the "
                    "tenth are ignored", line.token, paramCount(line));
        if (openMacro && summary && summary->sectionCount <= CHECK_MAX_SECTIONS) {
            CheckSection &section = summary->sections[summary->sectionCount - 1];
            if (section.lines++ == 0) section.first = stamp;
            section.last = stamp;
        }
        checkParams(c, line.opcode, fileLine);
        followState(c, line.opcode, fileLine);
        if (line.opcode == OP_SETDEMOSTART) previousStamp = -INFINITY; // script time starts again
    }

    if (script.overflowLine >= 0) {
        int fileLine = script.fileLine[SCRIPT_MAX_LINES - 1] + 1;
        finding(c, fileLine, true, "the script holds at most %d lines; the lines from here on are not compiled",
                SCRIPT_MAX_LINES);
    }
    if (c.slashLine && c.filesBehindSlash > 0)
        finding(c, c.slashLine, true, "@setresourcedir: '%s' does not end with '/', so the %d file%s it names are "
                "not found (file names are appended directly); write '%s/'", c.slashDir, c.filesBehindSlash,
                c.filesBehindSlash == 1 ? "" : "s", c.slashDir);
    else if (c.slashLine)
        finding(c, c.slashLine, false, "@setresourcedir: '%s' does not end with '/'; file names are appended "
                "directly", c.slashDir);
    if (openMacro) finding(c, macroLine, false, "macro opened here is never closed with ')'");
    if (!sawEnd)
        finding(c, lastFileLine > 0 ? lastFileLine : 1, false,
                "the script has no \"@end\" line: the show plays on until it is closed");
    freeScenes(c);
    return c.report;
}
