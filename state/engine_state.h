// The engine state: every value the setup dialog, the command line and the command handlers
// write and the frame loop reads, in one record. No GL here, so the sound and script sides
// can read it too.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int ENGINE_LAYERS = 20;          // layers 0..19 are drawn
constexpr int ENGINE_RENDER_TARGETS = 5;   // render target n is layers entry 20 + n
constexpr int ENGINE_LAYER_RECORDS = ENGINE_LAYERS + ENGINE_RENDER_TARGETS;
constexpr int ENGINE_TEXTURE_SLOTS = 20;   // slot n is GL texture name n
constexpr int ENGINE_COLORS = 4;
constexpr int ENGINE_SCENE_SLOTS = 20;
constexpr size_t ENGINE_PATH_SIZE = 1024;  // resource directory and every file path built from it
constexpr size_t ENGINE_SLOT_NAME_SIZE = 256; // texture slot names are kept whole up to this

// The two window modes, with GLFW 2's values so scripts and settings files read the same.
constexpr int ENGINE_WINDOW = 0x00010001;
constexpr int ENGINE_FULLSCREEN = 0x00010002;

// A 2D picture layer, or (entries 20..24) a render target. Fifteen four-byte fields.
struct Layer {
    int texture;      // GL texture name; a slot number for layers, -1 = none
    int visible;      // 0: skipped (not drawn, not advanced)
    float fade;       // brightness 0..1; a render target's composite alpha
    float blend;      // exactly 1.0: additive; anything else: darkening
    float fadeSpeed;  // change of fade per second
    float repeatU;    // texture repeats across the quad
    float repeatV;    // texture repeats up the quad
    float x, y;       // centre, layer units (640 across the window)
    float width;      // full width, layer units; a render target's edge in pixels
    float height;     // full height, layer units
    float speedX, speedY; // drift, layer units per second
    float extraA, extraB; // stored by "@glsetlayerparamex"; nothing reads them
};
static_assert(sizeof(Layer) == 15 * 4, "a Layer is fifteen four-byte fields");

struct TextureSlot {
    int id;                              // slot number = GL texture name
    char name[ENGINE_SLOT_NAME_SIZE];    // file name as the script wrote it
};

struct Color {
    float red, green, blue;
};

// What the command line asked for. Defaults give the show as the dialog would start it.
struct EngineOptions {
    bool noDialog = false;            // start the show at once
    char scriptPath[ENGINE_PATH_SIZE] = "datas/opal.qlo";
    char captureDir[ENGINE_PATH_SIZE] = ""; // non-empty: frame-exact capture into this folder
    double fps = 60.0;                // the capture clock's frames per second
    double duration = -1.0;           // >= 0: end before the first frame at or past it
    double start = 0.0;               // script time the show starts at
    char startName[256] = "";         // --start given as a sync-point name, resolved at the run
    char loopSpan[512] = "";          // --loop A:B as given (numbers or sync-point names)
    bool watch = false;               // reload the script when it changes
    bool check = false;               // compile and report, open no window
    bool inspect = false;             // describe the files of the tail, open no window
    bool json = false;                // --inspect writes JSON
    int tailFirst = 0;                // argv index of the first word of the tail
    char videoPath[ENGINE_PATH_SIZE] = ""; // non-empty: make a video of the capture
    int videoQuality = 18;            // x264's crf, 0 (best) .. 51
    char videoPreset[16] = "medium";  // x264's speed preset
    bool overwrite = false;           // --video may replace a file that is not a video
    bool timedemo = false;            // draw on the capture clock as fast as possible, write nothing
    long frameFirst = -1;             // --frames A:B: frames A .. B-1 of the capture clock (-1: all)
    long frameEnd = -1;
    int videoCodec = 0;               // --video-codec, a place in capture's codec table
    char soundtrackPath[ENGINE_PATH_SIZE] = ""; // non-empty: only the soundtrack, nothing drawn
    bool glInfo = false;              // print the version and the GL renderer, then end
    int samples = 0;                  // multisampling of the window (0: none)
    int supersample = 1;              // drawn at this multiple of the size, scaled down in the video
    bool debugTail = false;           // the command-line tail was "debug"
    int presetWidth = 0;              // a settings file's resolution (0: none), offered first
    int presetHeight = 0;             // and selected by the setup dialog
    int refreshRate = 0;              // full screen's refresh rate in Hz (0: the highest)
    bool loadAhead = true;            // files of load lines decoded ahead on the loader thread
    char frameTimesPath[ENGINE_PATH_SIZE] = ""; // non-empty: each frame's time into this CSV file
};

struct EngineState {
    int screenWidth = 640;            // window size in pixels
    int screenHeight = 480;
    int windowMode = ENGINE_WINDOW;   // ENGINE_WINDOW or ENGINE_FULLSCREEN
    int swapInterval = 1;             // 0 with "NoVsync"
    int debugMode = 0;                // nonzero: echoes and the per-frame status line
    int runStatus = 0;                // -1 ends the frame loop
    double demoStart = 0.0;           // timer value at script time 0
    int glowEnabled = 0;              // nonzero: glow capture and composite run
    int currentScene = -1;            // -1: the main pass is skipped
    Color colors[ENGINE_COLORS] = {}; // gradient top, gradient bottom, clear colour, spare
    int backgroundEnabled = 0;
    int backgroundMode = 0;           // 1: gradient; other: layer 0's picture
    int backgroundArg = 0;            // stored, read by nothing
    int cinemascopeEnabled = 0;
    int cinemascopeBar = 0;           // height of each bar, pixels
    int cinemascopeHeight = 0;        // height of the picture strip, pixels
    float cinemascopePercent = 0.0f;  // each bar's share of the window height (a ramp moves it)
    Layer layers[ENGINE_LAYER_RECORDS] = {};
    TextureSlot textureSlots[ENGINE_TEXTURE_SLOTS] = {};
    char resourceDir[ENGINE_PATH_SIZE] = ""; // prefix of every texture, scene and music path
    EngineOptions options;
};

extern EngineState engine;

// Puts the whole engine state back to its values at process start (tests, live reload).
void engine_ResetState();

// Range check for an index that came from a script. Out of range: writes the error trace line
// "- _Vortan_ \terror on <operation> : <what> <value> out of range (<low>..<high>)\n" and
// returns false; the caller then changes nothing.
bool engine_CheckIndex(int value, int low, int high, const char *operation, const char *what);

// Script parameter k as an integer (atoi's reading) in low..high, by default any int. A value
// outside, or one too large for an int, writes the same range error line (with the digits as
// written) and gives false; the caller then changes nothing.
bool engine_ParamInt(int k, const char *operation, const char *what, int *value, int low = INT_MIN,
                     int high = INT_MAX);

// Joins dir and name into path with nothing in between. A path that does not fit is refused
// whole (path emptied) and false is returned.
bool engine_JoinPath(char *path, size_t pathSize, const char *dir, const char *name);

// Builds resourceDir + name into path. A path that does not fit is refused with an error trace
// line for operation, and false is returned.
bool engine_BuildPath(char *path, size_t pathSize, const char *name, const char *operation);

// Reads the whole file at path into bytes (texture, scene, music and picture files all come in
// whole). False when it cannot be opened or read, when memory runs out, or when it holds more
// than maxBytes (then *tooLarge is set, when given): such a file is refused, not cut.
// A FIFO, device or folder is refused before it is opened (script_FileKindProblem), so nothing
// waits on it.
bool engine_ReadFile(const char *path, size_t maxBytes, std::vector<uint8_t> *bytes, bool *tooLarge = nullptr);

// Why this thread's last engine_ReadFile failed, in one line ("No such file or directory", "a FIFO, not
// a file", "larger than N bytes (M bytes)"); "" after a success.
const char *engine_ReadProblem();

// The show clock in seconds: the GLFW timer, or in capture mode the virtual clock (frame / fps).
// Set by the engine run; until then it reads 0.
double engine_Time();
using EngineClock = double (*)();
void engine_SetClock(EngineClock clock);

// A file as it was when read: size (-1: not there) and modification time. Decoded assets are
// kept by path and stamp; --watch replays the show when a file it loaded gets another stamp.
struct EngineFileStamp {
    long long size = -1, seconds = 0, nanoseconds = 0;
    bool operator==(const EngineFileStamp &other) const {
        return size == other.size && seconds == other.seconds && nanoseconds == other.nanoseconds;
    }
};
EngineFileStamp engine_FileStamp(const char *path);

// The texture, scene and music files the running show loaded, with their stamps then (at most
// ENGINE_MAX_ASSETS; later ones are not watched). engine_ChangedAsset gives the path of one
// whose stamp differs now, or null.
constexpr int ENGINE_MAX_ASSETS = 64;
void engine_NoteAsset(const char *path, const EngineFileStamp &stamp);
const char *engine_ChangedAsset();
void engine_ForgetAssets();
