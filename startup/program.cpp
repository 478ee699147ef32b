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
#include "script/text.h"
#include "startup/dialog_proc.h"
#include "state/engine_state.h"

#include <cerrno>
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

// The settings file beside the program: a release's defaults, read before the command line.
void readProgramSettings() {
    char dir[ENGINE_PATH_SIZE], path[ENGINE_PATH_SIZE];
    if (!platform_ProgramDir(dir, sizeof dir)) return;
    if (snprintf(path, sizeof path, "%s/%s", dir, OPTIONS_SETTINGS_FILE) >= int(sizeof path)) return;
    options_ReadSettings(path, &engine, stderr);
}

// A path the user gave relative to the working directory, kept pointing there after it changes.
template <size_t N> bool anchor(char (&path)[N], const char *oldDir) {
    if (!path[0] || platform_RootLength(path) > 0 || platform_IsSeparator(path[0])) return true;
    char joined[N];
    if (snprintf(joined, sizeof joined, "%s/%s", oldDir, path) >= int(sizeof joined)) return false;
    text_CopyBounded(path, joined);
    return true;
}

// A release started from elsewhere (a double-click, a file manager, a shortcut) plays the show
// beside its program: when the working directory has no datas/opal.qlo and the program's folder
// does, that folder becomes the working directory (the script's paths, the trace log). False
// with a line on stderr when the move fails.
bool playFromProgramDir(EngineOptions &options) {
    const char *const defaultScript = "datas/opal.qlo"; // EngineOptions' own default
    if (strcmp(options.scriptPath, defaultScript) != 0 || !script_FileProblem(defaultScript, nullptr, 0)) return true;
    char dir[ENGINE_PATH_SIZE], script[ENGINE_PATH_SIZE], here[ENGINE_PATH_SIZE];
    if (!platform_ProgramDir(dir, sizeof dir) || !platform_CurrentDir(here, sizeof here)) return true;
    if (snprintf(script, sizeof script, "%s/%s", dir, defaultScript) >= int(sizeof script) ||
        script_FileProblem(script, nullptr, 0))
        return true; // nothing there either: the usual message about datas/opal.qlo follows
    if (!anchor(options.captureDir, here) || !anchor(options.videoPath, here) || !platform_ChangeDir(dir)) {
        fprintf(stderr, "vortan: cannot play the show beside the program in '%s': %s\n", dir, strerror(errno));
        return false;
    }
    return true;
}

} // namespace

int startup_Main(int argc, char **argv) {
    platform_AttachParentConsole();
    readProgramSettings();
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
    if (!playFromProgramDir(engine.options)) return STARTUP_EXIT_SCRIPT;
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
