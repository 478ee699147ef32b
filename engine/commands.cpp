// Handlers of the engine's own commands: the three empty ones, the demo start, the debug
// switch and the resource directory.
#include "engine/commands.h"

#include <cstdlib>
#include <cstring>

#include "base/console.h"
#include "base/trace.h"
#include "script/script.h"
#include "script/text.h"
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
