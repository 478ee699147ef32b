// The engine state record and the helpers every handler uses on script input.
#include "state/engine_state.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/platform.h"
#include "base/trace.h"
#include "script/script.h"
#include "script/text.h"

EngineState engine;

namespace {
double zeroClock() { return 0.0; }
EngineClock showClock = zeroClock;
} // namespace

void engine_ResetState() {
    engine.~EngineState();
    new (&engine) EngineState();
}

bool engine_CheckIndex(int value, int low, int high, const char *operation, const char *what) {
    if (value >= low && value <= high) return true;
    char detail[160];
    snprintf(detail, sizeof detail, "%s %d out of range (%d..%d)", what, value, low, high);
    trace_Error(operation, detail);
    return false;
}

bool engine_ParamInt(int k, const char *operation, const char *what, int *value, int low, int high) {
    if (script_ParamInt(k, value)) return engine_CheckIndex(*value, low, high, operation, what);
    const char *text = script_Param(k);
    text += strspn(text, " \t\n\v\f\r");
    const size_t sign = *text == '+' || *text == '-' ? 1 : 0;
    const int length = int(sign + strspn(text + sign, "0123456789"));
    char detail[160];
    snprintf(detail, sizeof detail, "%s %.*s out of range (%d..%d)", what, length < 40 ? length : 40, text, low, high);
    trace_Error(operation, detail);
    return false;
}

bool engine_JoinPath(char *path, size_t pathSize, const char *dir, const char *name) {
    if (pathSize == 0) return false;
    size_t dirLength = text_CopyBounded(path, dir, pathSize);
    if (dirLength + strlen(name) + 1 > pathSize) {
        path[0] = '\0';
        return false;
    }
    text_AppendBounded(path, name, strlen(name), pathSize);
    return true;
}

bool engine_BuildPath(char *path, size_t pathSize, const char *name, const char *operation) {
    if (engine_JoinPath(path, pathSize, engine.resourceDir, name)) return true;
    trace_Error(operation, "path too long");
    return false;
}

namespace {
thread_local char readProblem[128] = ""; // why this thread's last engine_ReadFile failed
} // namespace

bool engine_ReadFile(const char *path, size_t maxBytes, std::vector<uint8_t> *bytes, bool *tooLarge) {
    if (tooLarge) *tooLarge = false;
    bytes->clear();
    readProblem[0] = '\0';
    // A FIFO would wait for a writer and a device might never end: refused before any open.
    if (script_FileKindProblem(path, -1, readProblem, sizeof readProblem)) return false;
    FILE *file = fopen(path, "rb");
    if (!file) {
        text_CopyBounded(readProblem, strerror(errno));
        return false;
    }
    bool ok = fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? ftell(file) : -1;
    ok = ok && size >= 0 && fseek(file, 0, SEEK_SET) == 0;
    if (ok && size_t(size) > maxBytes) {
        if (tooLarge) *tooLarge = true;
        snprintf(readProblem, sizeof readProblem, "larger than %zu bytes (%ld bytes)", maxBytes, size);
        ok = false;
    }
    if (ok) {
        try {
            bytes->resize(size_t(size));
        } catch (const std::bad_alloc &) {
            text_CopyBounded(readProblem, strerror(ENOMEM));
            ok = false;
        }
        if (ok && fread(bytes->data(), 1, bytes->size(), file) != bytes->size()) {
            text_CopyBounded(readProblem, ferror(file) ? strerror(errno) : "the file ended early");
            ok = false;
        }
    } else if (!readProblem[0]) {
        text_CopyBounded(readProblem, strerror(errno));
    }
    fclose(file);
    if (!ok) bytes->clear();
    return ok;
}

const char *engine_ReadProblem() { return readProblem; }

double engine_Time() { return showClock(); }
void engine_SetClock(EngineClock clock) { showClock = clock ? clock : zeroClock; }

namespace {
struct AssetTable {
    int count = 0;
    char paths[ENGINE_MAX_ASSETS][ENGINE_PATH_SIZE];
    EngineFileStamp stamps[ENGINE_MAX_ASSETS];
};
AssetTable assets;
} // namespace

EngineFileStamp engine_FileStamp(const char *path) {
    EngineFileStamp stamp;
    long nanoseconds = 0;
    if (!platform_FileStamp(path, stamp.seconds, nanoseconds, stamp.size)) stamp.size = -1;
    stamp.nanoseconds = nanoseconds;
    return stamp;
}

void engine_NoteAsset(const char *path, const EngineFileStamp &stamp) {
    for (int i = 0; i < assets.count; ++i)
        if (strcmp(assets.paths[i], path) == 0) {
            assets.stamps[i] = stamp;
            return;
        }
    if (assets.count == ENGINE_MAX_ASSETS) return;
    text_CopyBounded(assets.paths[assets.count], path);
    assets.stamps[assets.count++] = stamp;
}

const char *engine_ChangedAsset() {
    for (int i = 0; i < assets.count; ++i)
        if (!(engine_FileStamp(assets.paths[i]) == assets.stamps[i])) return assets.paths[i];
    return nullptr;
}

void engine_ForgetAssets() { assets.count = 0; }
