// The script engine: command, line and macro tables, the loader, the evaluator and the
// Parameter buffers through which handlers receive their arguments. No GL, no I/O beyond
// the script file and the console listing.
#pragma once
#include <array>
#include <cstddef>
#include <cstdio>

constexpr int SCRIPT_MAX_COMMANDS = 56;      // slots 0..55; 55 is the end marker
constexpr int SCRIPT_MAX_ENGINE_OPCODE = 49; // engine commands live in 0..49
constexpr int SCRIPT_MAX_OPCODE = 54;        // the highest slot a registration may use
constexpr int SCRIPT_MAX_LINES = 1024;
constexpr int SCRIPT_MAX_MACROS = 25;
constexpr int SCRIPT_MAX_PARAMS = 10;
constexpr int SCRIPT_NAME_SIZE = 50;   // command names and tokens: 49 characters + terminator
constexpr int SCRIPT_TEXT_SIZE = 255;  // parameter texts, line and parameter buffers
constexpr int SCRIPT_MACRO_NAME_SIZE = 12;
constexpr int SCRIPT_RAW_LINE = 254;   // a physical line is read in pieces of this many characters
constexpr long SCRIPT_MAX_FILE_BYTES = 1L << 20; // 1 MiB: 1024 full lines are far less
// A line runs once the script time reaches its stamp, within this much: a clock reading and a
// stamp that name the same instant may differ in their last binary digits (0.7 - 0.2 < 0.5).
constexpr double SCRIPT_STAMP_TOLERANCE = 1e-6;

// Built-in keyword slots.
constexpr int OP_MACROSTART = 50;
constexpr int OP_MACROEND = 51;
constexpr int OP_CALL = 52;
constexpr int OP_COMMENT = 53;
constexpr int OP_END = 54;

// Status codes returned by the loader, the compile operations, parameter splitting and dumps.
enum ScriptStatus {
    SCRIPT_OK = 0,
    SCRIPT_UNDEFINED_ERROR = 1,
    SCRIPT_FILE_NOT_FOUND = 2,
    SCRIPT_ERROR_IN_SCRIPT = 3,
    SCRIPT_UNDEFINED_MACRO = 4,
    SCRIPT_UNDEFINED_FUNCTION = 5,
    SCRIPT_UNDEFINED_CL = 6,
};

using ScriptHandler = void (*)();
// Runs a due line's handler in the evaluator's place (the engine's ramps look at its time stamp
// first); null: the evaluator calls the handler itself.
using ScriptRunner = void (*)(ScriptHandler handler);
// Reads a time stamp that starts with a letter or '_' (a name the engine gives a time to).
using ScriptStampReader = double (*)(const char *text);

struct ScriptCommand {
    char name[SCRIPT_NAME_SIZE];  // lower-case token as written in scripts
    int opcode;                   // the slot number; -1 marks the end of the table
    ScriptHandler handler;        // null: the evaluator passes the line over
};

struct ScriptLine {
    char token[SCRIPT_NAME_SIZE];       // command word, or the loader's keyword
    char params[SCRIPT_TEXT_SIZE];      // each parameter followed by the delimiter
    int opcode;                         // command slot; 0 until compiled
};

struct ScriptMacro {
    char name[SCRIPT_MACRO_NAME_SIZE];
    int firstLine;
    int lastLine;
};

// All of the script engine's state in one record. The initialisers are the state at process
// start; script_Reset copies them back.
struct ScriptState {
    std::array<ScriptCommand, SCRIPT_MAX_COMMANDS> commands;
    std::array<ScriptLine, SCRIPT_MAX_LINES> lines;
    std::array<ScriptMacro, SCRIPT_MAX_MACROS> macros;
    char params[SCRIPT_MAX_PARAMS][SCRIPT_TEXT_SIZE]; // the Parameter buffers
    int verbose = 0;            // nonzero: console listing while loading, compiling, splitting
    int timed = 1;              // nonzero: command lines wait for their time stamp
    const char *delimiter = "|"; // set of separator characters, referenced, not copied
    int currentLine = -1;       // last line handled; -1 before the first
    int lineCount = 0;          // script lines the last load numbered, ignored lines and lines
                                // past the Line table included; the evaluator stops at the last
    ScriptStampReader stampReader = nullptr; // null: a name reads as 0, as any text
    int overflowLine = -1;      // first script line that did not fit in the Line table, or -1
    // 1-based physical file line on which each script line starts (a cut long line gives
    // two script lines with the same file line); filled by script_Load for checking tools.
    std::array<int, SCRIPT_MAX_LINES> fileLine;
    double beatSeconds = 0.0;   // "@setbpm": seconds a beat lasts; 0 while no tempo is set
    double beatOffset = 0.0;    // the script time of beat 0
    ScriptRunner runner = nullptr; // null: due handlers are called directly
};

// The easing curves of a ramp stamp "A..B:curve"; linear when none is named.
enum ScriptCurve { SCRIPT_CURVE_LINEAR, SCRIPT_CURVE_SMOOTH, SCRIPT_CURVE_IN, SCRIPT_CURVE_OUT, SCRIPT_CURVE_STEP, SCRIPT_CURVES };
constexpr int SCRIPT_CURVE_UNKNOWN = -1;

// A ramp stamp taken apart: its start and end stamps as written, and its curve.
struct ScriptRampStamp {
    char start[SCRIPT_TEXT_SIZE];
    char end[SCRIPT_TEXT_SIZE];
    char curveName[SCRIPT_NAME_SIZE]; // as written, "" when none is named
    int curve;                        // a ScriptCurve, or SCRIPT_CURVE_UNKNOWN
};

extern ScriptState script;

// Tables and flags. script_Reset puts every table and flag back to its state at process start
// (tests and the live reload use it); script_Init then lays out the command slots.
void script_Reset();
void script_Init();
int script_RegisterCommand(const char *name, ScriptHandler handler, int opcode);
int script_CompileCommand(char *lineText, ScriptLine *record);
int script_CompileLine(const char *keyword, const char *paramText, ScriptLine *record);
void script_SetVerbose(int flag);
void script_SetTimed(int flag);
void script_SetDelimiter(const char *text);
void script_SetStampReader(ScriptStampReader reader);
// The time of a time stamp text: a number as atof reads it, beats by the tempo in force (without
// one, "16b" reads as 16, as it always did), or a name through the stamp reader.
double script_StampTime(const char *text);
// A tempo for time stamps in beats ("16b", "16.5b": offset + beats x 60 / bpm seconds).
void script_SetTempo(double bpm, double offset);
// Whether text (blanks and the line end aside) is a count of beats: digits, an optional
// fraction, then 'b'. The count goes to beats.
bool script_ReadBeats(const char *text, double *beats);
// Whether text is a ramp stamp "A..B" or "A..B:curve" (the ".." outside quotes); its pieces go to
// ramp. Such a stamp's time is A's: the line runs then.
bool script_SplitRamp(const char *text, ScriptRampStamp *ramp);
// The curve's share of the way at u (0 at the start, 1 at the end; u is held to 0..1).
double script_Curve(int curve, double u);
const char *script_CurveName(int curve);
void script_SetRunner(ScriptRunner runner);
// Whether a time stamp is a name: it begins (after blanks) with a letter, '_', a byte of a
// non-ASCII letter, or '"' (a quoted name, which may hold blanks: "big drop"+2).
bool script_IsNameStamp(const char *text);
const char *script_StatusText(int code);
int script_DumpCommands();
int script_DumpMacros();
int script_DumpScript();

// Loading.
bool script_ReadLine(FILE *file, char (&buffer)[SCRIPT_TEXT_SIZE]);
// Loads the script at path; a file script_FileProblem refuses is "File not found".
int script_Load(const char *path);
// True when the file at path cannot be read as a script; reason then receives why ("No such
// file or directory", "Is a directory", a FIFO or device, too large). Opens nothing that could
// block.
bool script_FileProblem(const char *path, char *reason, size_t reasonSize);
// The same look for any file read whole (textures, scenes, music, pictures), with its own size
// limit (-1: none).
bool script_FileKindProblem(const char *path, long long maxBytes, char *reason, size_t reasonSize);

// Evaluation.
int script_Eval(double time);
int script_SplitParams(const ScriptLine *record);
int script_CurrentLine();

// Parameter access for handlers: "" for an index outside 0..9.
const char *script_Param(int k);
// Parameter k read as C's atoi reads it (blanks, sign, digits up to the first other character;
// no digits read 0). False when the value does not fit an int, which atoi would wrap: *value
// is then 0.
bool script_ParamInt(int k, int *value);
