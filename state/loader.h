// The loader: one thread that reads and decodes, in script order, the files the script's load
// lines name, so that a line's turn leaves only the drawing thread's share of its load.
#pragma once
#include <cstddef>

#include "script/script.h"
#include "state/engine_state.h"

// Decoded data waiting for its line is held under this many bytes unless told otherwise.
constexpr size_t LOADER_DEFAULT_CAP = size_t(512) << 20;
constexpr int LOADER_MAX_JOBS = SCRIPT_MAX_LINES; // at most one file a script line

// What one kind of asset (texture, scene, music) does ahead and how its result is given back.
// prepare runs on the loader thread (with the loader's GL context current when the engine gave
// one): it reads and decodes path, says in *bytes how much memory the result holds, and gives
// null for anything it cannot make (the line then loads on the spot and says why, as always).
// discard frees a result no line took; it runs on the thread that calls loader_Take/loader_Stop.
struct LoaderKind {
    const char *name;
    void *(*prepare)(const char *path, int variant, size_t *bytes);
    void (*discard)(void *data);
};

// A file to prepare for the script line `line` (an index of the Line table); variant tells
// apart loads of one file that decode differently (a texture's mipmaps).
struct LoaderJob {
    const LoaderKind *kind = nullptr;
    int line = -1;
    int variant = 0;
    char path[ENGINE_PATH_SIZE] = "";
};

// Runs on the loader thread before its first job and after its last (the engine makes its
// shared GL context current there and releases it).
using LoaderThreadHook = void (*)();

// Starts the thread on jobs[0..count) (in script order; at most LOADER_MAX_JOBS are kept),
// after stopping any earlier run. enter and leave may be null.
void loader_Start(const LoaderJob *jobs, int count, LoaderThreadHook enter = nullptr, LoaderThreadHook leave = nullptr);

// Stops the thread (a file being decoded is finished first) and discards every result no line
// took. Nothing happens when no run is going.
void loader_Stop();

// At line `line`: the result prepared for it, or null (nothing queued for this line, a job of
// another kind, file or variant, one that failed, or a file whose size or modification time is
// no longer what it was when it was read). Waits while the job is queued or being prepared.
// Results of earlier lines no line took any more are discarded, and their jobs dropped.
void *loader_Take(int line, const LoaderKind *kind, const char *path, int variant);

// The cap on decoded data waiting for its line. The thread starts a file only while the data
// waiting is below it; a result that takes the total past it is set aside and made again once
// lines have taken enough, and one larger than the cap alone is left to its line.
void loader_SetCap(size_t bytes);

// What the current (or last) run did: results made, results taken by their lines, jobs left to
// their lines, and the most decoded data that waited at once.
struct LoaderStats {
    int made = 0;
    int taken = 0;
    int left = 0;
    size_t peakHeld = 0;
};
LoaderStats loader_Stats();
