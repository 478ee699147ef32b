// Program start-up: reads the command line, opens the console for the "debug" tail, and shows
// the setup dialog, from which "process_" runs the engine.
#include "startup/program.h"

#include "author/check.h"
#include "author/inspect.h"
#include "base/console.h"
#include "base/platform.h"
#include "base/trace.h"
#include "engine/engine.h"
#include "engine/options.h"
#include "resources/dialog_template.h"
#include "script/script.h"
#include "startup/dialog_proc.h"
#include "state/engine_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
bool wantsDialog(const EngineOptions &options) {
    return !options.noDialog && options.captureDir[0] == '\0' && options.videoPath[0] == '\0' && !options.check &&
           !options.inspect;
}

// A script that cannot be read would play black frames for ever (or hang on a FIFO): said on
// stderr before any window opens. False then.
bool scriptReadable(const char *path, bool check) {
    char reason[128];
    if (!script_FileProblem(path, reason, sizeof reason)) return true;
    fprintf(stderr, "vortan: cannot read script '%s': %s\n", path, reason);
    if (!platform_StderrSeen()) { // started from a desktop: the reason in a window
        char text[ENGINE_PATH_SIZE + 160];
        snprintf(text, sizeof text, "cannot read script '%s': %s", path, reason);
        startup_Notice(text, "_Vortan_", false);
    }
    if (!check) {
        char detail[ENGINE_PATH_SIZE + 160];
        snprintf(detail, sizeof detail, "cannot read '%s': %s", path, reason);
        trace_ErrorLogOnly("script_Load", detail);
    }
    return false;
}

} // namespace

int startup_Main(int argc, char **argv) {
    platform_AttachParentConsole();
    const int parsed = options_Parse(argc, argv, &engine, stdout, stderr);
    if (parsed != OPTIONS_RUN) return parsed;
    if (engine.options.inspect) {
        // The tail is the files; a "--json" among them counts as the option.
        int count = 0;
        for (int i = engine.options.tailFirst; i < argc; i++) {
            if (!strcmp(argv[i], "--json")) engine.options.json = true;
            else argv[engine.options.tailFirst + count++] = argv[i];
        }
        return inspect_Files(count, argv + engine.options.tailFirst, engine.options.json, stdout);
    }
    if (engine.options.debugTail) console_Open();
    if (!platform_StderrSeen()) engine_SetNoticeHook(startup_Notice); // start-up failures in a window
    if (!scriptReadable(engine.options.scriptPath, engine.options.check)) {
        return engine.options.check ? 1 : STARTUP_EXIT_SCRIPT;
    }
    if (engine.options.check) {
        // No window: the script is compiled and read back, and the findings go to stdout.
        const CheckReport report = check_Script(engine.options.scriptPath, stdout);
        fprintf(stderr, "%s: %d error%s, %d warning%s\n", engine.options.scriptPath, report.errors,
                report.errors == 1 ? "" : "s", report.warnings, report.warnings == 1 ? "" : "s");
        return report.errors > 0 ? 1 : 0;
    }
    if (!wantsDialog(engine.options)) return engine_RunShow();

    if (!startup_OpenDisplay()) return -1;
    engine_SetNoticeHook(startup_Notice);
    setup_RegisterControls();
    setup_SetEngineStart(engine_Run);
    return int(setup_DialogBox(DIALOG_SETUP, setup_DialogProc));
}
