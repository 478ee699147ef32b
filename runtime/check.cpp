// The script checker: the script engine compiles the file exactly as the show would, then every
// compiled line is read back against what its command's handler will do with it.
#include "runtime/check.h"

#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include "runtime/engine_state.h"
#include "script/script.h"
#include "script/text.h"

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
};
constexpr int COMMAND_COUNT = sizeof COMMANDS / sizeof COMMANDS[0];
static_assert(COMMAND_COUNT == 25, "the engine has 25 commands");

constexpr int OP_SETDEMOSTART = 5;
constexpr int OP_LOADTEXTURE = 13;
constexpr int OP_LOADSCENE = 14;
constexpr int OP_SETLAYERPARAM = 11;
constexpr int OP_GLSETCAMERA = 23;
constexpr int OP_SETRESOURCEDIR = 24;

// Registered so opcodes resolve; the checker never evaluates a line.
void noHandler() {}

struct Checker {
    const char *path;
    FILE *out;
    CheckReport report;
    char resourceDir[ENGINE_PATH_SIZE];
    char slotNames[ENGINE_TEXTURE_SLOTS][ENGINE_SLOT_NAME_SIZE];
    bool slotLoaded[ENGINE_TEXTURE_SLOTS];
};

void finding(Checker &c, int fileLine, bool error, const char *format, ...) __attribute__((format(printf, 4, 5)));
void finding(Checker &c, int fileLine, bool error, const char *format, ...) {
    char message[512];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    fprintf(c.out, "%s:%d: %s: %s\n", c.path, fileLine, error ? "error" : "warning", message);
    (error ? c.report.errors : c.report.warnings)++;
}

// The parameter without the line end the last parameter of a line carries.
void withoutLineEnd(const char *text, char (&clean)[SCRIPT_TEXT_SIZE]) {
    text_CopyBounded(clean, text);
    size_t length = strlen(clean);
    while (length > 0 && (clean[length - 1] == '\n' || clean[length - 1] == ' ')) clean[--length] = '\0';
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

bool fileExists(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

void checkFile(Checker &c, int fileLine, const char *what, const char *name) {
    if (name[0] == '\0') return;
    char full[ENGINE_PATH_SIZE];
    if (!engine_JoinPath(full, sizeof full, c.resourceDir, name)) {
        finding(c, fileLine, true, "%s path is too long", what);
        return;
    }
    if (!fileExists(full)) finding(c, fileLine, true, "%s '%s' not found", what, full);
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
            if (!isNumber(text, true)) {
                if (isNumber(text, false))
                    finding(c, fileLine, false, "%s: parameter %d (%s) '%s' is read as the integer %d", command.name, k,
                            param.what, text, atoi(text));
                else
                    finding(c, fileLine, true, "%s: parameter %d (%s) '%s' is not a number", command.name, k, param.what,
                            text);
            } else if (param.low <= param.high && (atoi(text) < param.low || atoi(text) > param.high)) {
                finding(c, fileLine, true, "%s: %s %d is out of range (%d..%d)", command.name, param.what, atoi(text),
                        param.low, param.high);
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
            checkFile(c, fileLine, param.what, name);
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
        if (length > 0 && dir[length - 1] != '/')
            finding(c, fileLine, false, "@setresourcedir: '%s' does not end with '/'; file names are appended "
                    "directly", dir);
        struct stat info;
        if (length > 0 && (stat(dir, &info) != 0 || !S_ISDIR(info.st_mode)))
            finding(c, fileLine, true, "@setresourcedir: directory '%s' not found", dir);
    } else if (opcode == OP_LOADTEXTURE) {
        if (atoi(script_Param(3)) != 1)
            finding(c, fileLine, false, "@glloadtextureslot: without mipmaps (parameter 3 is not 1) the texture is "
                    "incomplete and draws as if untextured; load it with 1");
        int slot = atoi(script_Param(2));
        if (slot >= 0 && slot < ENGINE_TEXTURE_SLOTS) {
            text_CopyBounded(c.slotNames[slot], p1);
            c.slotLoaded[slot] = true;
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
        if (length > 0 && p1[length - 1] == '\n')
            finding(c, fileLine, false, "@glsetcamera: the camera name carries the line end and will match no camera; "
                    "end the line with '|'");
    }
}

} // namespace

const char *check_CommandName(int opcode) {
    return opcode >= 0 && opcode < COMMAND_COUNT ? COMMANDS[opcode].name : "";
}

CheckReport check_Script(const char *path, FILE *out) {
    static Checker c; // large tables: kept off the stack
    c = Checker{};
    c.path = path;
    c.out = out;

    script_Reset();
    script_Init();
    for (int op = 0; op < COMMAND_COUNT; op++) script_RegisterCommand(COMMANDS[op].name, noHandler, op);
    int status = script_Load(path);
    if (status == SCRIPT_FILE_NOT_FOUND) {
        fprintf(out, "%s:1: error: cannot open the script\n", path);
        c.report.errors++;
        return c.report;
    }

    int count = script.lineCount < SCRIPT_MAX_LINES ? script.lineCount : SCRIPT_MAX_LINES;
    int lastFileLine = count > 0 ? script.fileLine[count - 1] : 0;
    bool sawEnd = false;
    bool openMacro = false;
    int macroLine = 0;
    double previousStamp = -INFINITY;
    for (int i = 0; i < count; i++) {
        const ScriptLine &line = script.lines[i];
        int fileLine = script.fileLine[i];
        if (line.token[0] == '\0') continue; // an ignored line
        if (line.opcode == OP_MACROSTART) {
            if (openMacro) finding(c, fileLine, false, "macro opened while the one of line %d is still open", macroLine);
            openMacro = true;
            macroLine = fileLine;
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
        double stamp = atof(script_Param(0));
        char stampText[SCRIPT_TEXT_SIZE];
        withoutLineEnd(script_Param(0), stampText);
        if (stampText[0] != '\0' && !isNumber(stampText, false))
            finding(c, fileLine, true, "time stamp '%s' is not a number", stampText);
        if (stamp < previousStamp)
            finding(c, fileLine, false, "time stamp %g is earlier than the line before (%g): lines run in file order",
                    stamp, previousStamp);
        previousStamp = stamp;

        if (line.opcode == OP_END) {
            sawEnd = true;
            break; // lines after the end line never run
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
    if (openMacro) finding(c, macroLine, false, "macro opened here is never closed with ')'");
    if (!sawEnd)
        finding(c, lastFileLine > 0 ? lastFileLine : 1, false,
                "the script has no \"@end\" line: the show plays on until it is closed");
    return c.report;
}
