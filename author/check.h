// The script checker behind "--check": compiles a script without opening a window, opens the
// assets it loads with the engine's own decoders and validator, and reports what would go wrong
// in the show, one compiler-style line per finding.
#pragma once
#include <cstdio>

#include "script/script.h"
#include "state/engine_state.h"

struct CheckReport {
    int errors = 0;
    int warnings = 0;
    char firstError[320] = ""; // "LINE: message" of the first error, for a window to show
};

constexpr int CHECK_MAX_SECTIONS = 64;
constexpr int CHECK_MAX_FILES = SCRIPT_MAX_LINES;

// What a script uses, gathered while it is checked ("--inspect" prints it).
struct CheckSection {
    char name[SCRIPT_MACRO_NAME_SIZE];
    int fileLine;
    int lines;                   // command lines inside it
    double first, last;          // time stamps of its first and last command line
};
struct CheckFile {
    int fileLine;
    int opcode;                  // the command that loads it
    int slot;                    // texture or scene slot; -1 for the music
    char path[ENGINE_PATH_SIZE]; // resource directory + name, as the show opens it
};
constexpr int CHECK_MAX_RAMPS = 256;
struct CheckRamp {
    int fileLine;
    char command[SCRIPT_NAME_SIZE];
    double start, end;           // script times
    int curve;                   // a ScriptCurve
};
struct CheckSummary {
    int sectionCount = 0;        // sections beyond CHECK_MAX_SECTIONS are counted, not kept
    CheckSection sections[CHECK_MAX_SECTIONS];
    int fileCount = 0;
    CheckFile files[CHECK_MAX_FILES];
    bool textureSlots[ENGINE_TEXTURE_SLOTS];
    bool sceneSlots[ENGINE_SCENE_SLOTS];
    int rampCount = 0;           // ramps beyond CHECK_MAX_RAMPS are counted, not kept
    CheckRamp ramps[CHECK_MAX_RAMPS];
};

// Checks the script at path. Each finding is written to out (when non-null) as
// "PATH:LINE: error|warning: message\n", LINE being the 1-based line of the file. Files named by
// the script are looked up under the resource directory in force at their line, relative to the
// working directory, as the show would open them; glow targets are measured against the window
// size in the engine record (--resolution). When summary is given it is filled in too.
CheckReport check_Script(const char *path, FILE *out, CheckSummary *summary = nullptr);

// The engine's 25 command names in opcode order (the checker's table; the engine registers the
// same names).
const char *check_CommandName(int opcode);

// Opcodes of the commands that load files.
constexpr int CHECK_OP_INITSOUND = 3;
constexpr int CHECK_OP_LOADTEXTURE = 13;
constexpr int CHECK_OP_LOADSCENE = 14;
