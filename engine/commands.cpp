// Handlers of the engine's own commands: the three empty ones, the demo start, the debug
// switch, the resource directory and the tempo.
#include "engine/commands.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/console.h"
#include "base/trace.h"
#include "script/script.h"
#include "script/text.h"
#include "sound/sound.h"
#include "state/engine_state.h"

// Slot 0 also receives every line whose command matched nothing, so these must do nothing.
void SetLayer() {}
void SetScene() {}
void SetCam() {}

void SetDemoStart() {
    engine.demoStart = engine_Time();
    if (engine.debugMode) console_Printf("\n#call SetDemoStart\n\r");
}

void SetDebug() {
    int mode = 0;
    if (!engine_ParamInt(1, "SetDebug", "debug mode", &mode)) return;
    engine.debugMode = mode;
    if (engine.debugMode) console_Printf("\n#call SetDebug\n\r");
}

void SetResourceDir() {
    const char *text = script_Param(1);
    size_t length = strlen(text);
    if (length > 0) --length; // the end-of-line character the last parameter carries
    if (length >= sizeof engine.resourceDir) {
        // Refused whole: a cut directory would send every later load to a wrong folder.
        trace_Error("SetResourceDir", "directory too long");
        return;
    }
    engine.resourceDir[0] = '\0';
    text_AppendBounded(engine.resourceDir, text, length);
    if (engine.debugMode) console_Printf("\n#call SetResourceDir\n\r");
}

// "@setbpm T|BPM|OFFSET": later stamps may count beats ("16b") from OFFSET seconds on. BPM 0 takes
// the tempo of the module the last "@initsound" opened.
void SetBpm() {
    const double given = atof(script_Param(1)), offset = atof(script_Param(2));
    const double bpm = given == 0.0 ? sound_MusicCues().bpm : given;
    if (!(bpm > 0.0 && bpm <= 1000.0) || !std::isfinite(offset)) {
        char detail[SCRIPT_TEXT_SIZE + 160];
        if (given == 0.0)
            snprintf(detail, sizeof detail, "tempo 0 takes the music's own, but no module opened by \"@initsound\" "
                     "gives one (sampled music has none: give the beats a minute)");
        else
            snprintf(detail, sizeof detail, "tempo %.6g out of range (above 0, at most 1000 beats a minute)", bpm);
        trace_Error("SetBpm", detail);
        return;
    }
    script_SetTempo(bpm, offset);
    if (engine.debugMode) console_Printf("\n#call SetBpm\n\r");
}
