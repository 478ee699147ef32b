// libFuzzer target: any bytes as a script file, read by the checker, then loaded and compiled by
// the script engine and run line by line with the engine's handlers that need no window, ramps
// moved to their ends.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "author/check.h"
#include "base/trace.h"
#include "draw/draw.h"
#include "engine/commands.h"
#include "ramp/ramp.h"
#include "scene/scene.h"
#include "script/script.h"

namespace {
// The handlers that open no file, window or audio device; lines of the others pass over.
constexpr ScriptHandler HANDLERS[] = {
    SetLayer, SetScene, SetCam, nullptr, nullptr, SetDemoStart, glSetClearColor, glSetCinemascope, SetDebug,
    SetBackground, SetColor, SetLayerParam, SetLayerPos, nullptr, nullptr, glSetCurrentScene, SetLayerFadeSpeed,
    glSetReplaySpeed, glSetReplayFrame, SetLayerParamEx, glFxGlow, nullptr, glFx_RenderTargetAlpha, glSetCamera,
    SetResourceDir, SetBpm,
};
static_assert(sizeof HANDLERS / sizeof HANDLERS[0] == 26, "one entry per engine command");

char scriptPath[] = "/tmp/vortan-script-fuzz-XXXXXX";
FILE *findings = nullptr;

double fixedClock() { return 12.5; }
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    int fd = mkstemp(scriptPath);
    if (fd < 0) abort();
    close(fd);
    findings = fopen("/dev/null", "w");
    engine_SetClock(fixedClock);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *file = fopen(scriptPath, "wb");
    if (!file) abort();
    if (size) fwrite(data, 1, size, file);
    fclose(file);
    trace_Reset(); // each input starts the trace log afresh, so it never grows

    CheckReport report = check_Script(scriptPath, findings);
    if (report.errors < 0 || report.warnings < 0) abort();

    engine_ResetState();
    engine_ResetLayers();
    script_Reset();
    script_Init();
    for (int op = 0; op < 26; op++) script_RegisterCommand(check_CommandName(op), HANDLERS[op], op);
    script_SetRunner(ramp_Run);
    ramp_Reset();
    script_Load(scriptPath);
    // Every line runs at most once; a line waiting for a later time (or the end line) stops it.
    for (int step = 0; step <= SCRIPT_MAX_LINES; step++) {
        if (script_Eval(1e6) != 0) break;
    }
    for (double t : {0.0, 0.5, 1e6}) ramp_Apply(t); // ramps begun on the way move and end
    for (Layer &layer : engine.layers) AdvanceLayer(layer, 0.02);
    return 0;
}
