// The transport keys of a window show and the HUD's text: all of it acts between frames,
// through the engine's seek (the same unseen replay as a late start).
#include "author/transport.h"

#include <GLFW/glfw3.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/console.h"
#include "base/trace.h"
#include "draw/hud.h"
#include "ramp/ramp.h"
#include "script/script.h"
#include "script/text.h"
#include "sound/sound.h"
#include "state/engine_state.h"

namespace {
constexpr int MAX_PENDING_KEYS = 16; // keys between two frames; more are dropped
constexpr double SEEK_STEP = 1.0, SEEK_BIG_STEP = 10.0;

struct PendingKey {
    int key, mods;
};

struct TransportState {
    bool interactive = false;
    bool holdAtEnd = false;    // --watch: "@end" holds the last frame
    bool paused = false;
    bool atEnd = false;        // paused by "@end"
    bool step = false;         // paused, but the frame at pausedClock is still to be played
    bool playing = true;       // this frame runs the script
    double pausedClock = 0.0;  // clock reading of the frame shown while paused
    bool hud = false;
    bool looping = false;
    double loopA = 0.0, loopB = 0.0; // script times
    PendingKey pending[MAX_PENDING_KEYS];
    int pendingCount = 0;
    TransportEngine run;       // the engine run's clock, seek and resume
    char error[HUD_TEXT_SIZE / 4] = ""; // the latest error line, on screen for a while
    double errorSince = -1.0;  // wall time it came (steady clock seconds); -1: none
};
TransportState transport;

constexpr double ERROR_SHOWN = 6.0; // seconds an error line stays on screen

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double scriptTimeAt(double clock) { return clock - engine.demoStart; }

void event(const char *what, double scriptTime) {
    trace_Printf("- _Vortan_ \ttransport %s at %.3f s\n", what, scriptTime);
    console_Printf("\ntransport %s at %.3f s\n", what, scriptTime);
}

// Goes to script time target; a paused show stays paused on the frame it lands on.
void seek(const char *what, double target) {
    if (target < 0.0) target = 0.0;
    const double landed = transport.run.seekTo(target);
    transport.atEnd = false;
    if (transport.paused) {
        transport.pausedClock = landed;
        transport.step = true;
    }
    sound_Pause(transport.paused);
    char text[96];
    snprintf(text, sizeof text, "%s to %.3f s", what, target);
    event(text, scriptTimeAt(landed));
}

void setPaused(bool paused) {
    if (paused == transport.paused) return;
    transport.paused = paused;
    if (paused) {
        transport.pausedClock = transport.run.lastClock();
        transport.step = false;
    } else {
        transport.run.resumeAt(transport.pausedClock);
    }
    sound_Pause(paused);
    event(paused ? "pause" : "resume", scriptTimeAt(transport.pausedClock));
}

// The line index of a section's first timed line (a command or "@end"); -1 without one.
int firstTimedLine(int m) {
    if (m < 0 || m >= SCRIPT_MAX_MACROS || !script.macros[m].name[0]) return -1;
    const ScriptMacro &macro = script.macros[m];
    for (int i = macro.firstLine + 1; i <= macro.lastLine && i < SCRIPT_MAX_LINES; ++i) {
        const int opcode = script.lines[i].opcode;
        if (opcode >= 0 && (opcode <= SCRIPT_MAX_ENGINE_OPCODE || opcode == OP_END)) return i;
    }
    return -1;
}

// The section the show is in: the last one whose first timed line has run; -1 before any (the
// script's opening lines are no section). A section that is only waiting for its first line's
// time is still to come.
int currentSection() {
    int found = -1;
    for (int m = 0; m < SCRIPT_MAX_MACROS && script.macros[m].name[0]; ++m) {
        const int first = firstTimedLine(m);
        if (first >= 0 && first <= script.currentLine) found = m;
    }
    return found;
}

// The time stamp of a section's first timed line; false for a section without one.
bool sectionStart(int m, double *start) {
    const int i = firstTimedLine(m);
    if (i < 0) return false;
    memset(script.params, 0, sizeof script.params);
    script_SplitParams(&script.lines[i]);
    *start = script_StampTime(script.params[0]);
    memset(script.params, 0, sizeof script.params);
    return true;
}

// The time of the "@end" line; false without one.
bool endTime(double *time) {
    for (int i = 0; i < SCRIPT_MAX_LINES && i < script.lineCount; ++i) {
        if (script.lines[i].opcode != OP_END) continue;
        script_SplitParams(&script.lines[i]);
        *time = script_StampTime(script.params[0]);
        memset(script.params, 0, sizeof script.params);
        return true;
    }
    return false;
}

// Page Down: the next section that has a timed line. Page Up: the one before the current, or
// the show's start from the first section or the opening lines.
void jumpSection(int direction) {
    int m = currentSection() + direction;
    double start = 0.0;
    if (direction < 0 && m < 0) return seek("previous section", 0.0);
    for (; m >= 0 && m < SCRIPT_MAX_MACROS && script.macros[m].name[0]; m += direction)
        if (sectionStart(m, &start)) return seek(direction < 0 ? "previous section" : "next section", start);
    if (direction < 0) seek("previous section", 0.0);
}

// Loops the current section: from its start to the next later section start, or to "@end".
void toggleLoop(double now) {
    if (transport.looping) {
        transport.looping = false;
        event("loop off", now);
        return;
    }
    const int m = currentSection();
    double a = 0.0, b = 0.0;
    if (!sectionStart(m, &a)) return;
    bool found = false;
    for (int next = m + 1; !found && sectionStart(next, &b); ++next) found = b > a;
    if (!found) found = endTime(&b) && b > a;
    if (!found) return;
    transport_SetLoop(a, b);
}

void applyKey(PendingKey k) {
    const double now = scriptTimeAt(transport.paused ? transport.pausedClock : transport.run.lastClock());
    const double step = (k.mods & GLFW_MOD_SHIFT) ? SEEK_BIG_STEP : SEEK_STEP;
    switch (k.key) {
    case GLFW_KEY_SPACE:
        if (transport.atEnd) seek("restart", 0.0);
        setPaused(!transport.paused);
        break;
    case GLFW_KEY_LEFT: seek("seek", now - step); break;
    case GLFW_KEY_RIGHT: seek("seek", now + step); break;
    case GLFW_KEY_PAGE_UP: jumpSection(-1); break;
    case GLFW_KEY_PAGE_DOWN: jumpSection(+1); break;
    case GLFW_KEY_HOME: seek("restart", 0.0); break;
    case GLFW_KEY_L: toggleLoop(now); break;
    case GLFW_KEY_F1:
        transport.hud = !transport.hud;
        event(transport.hud ? "hud on" : "hud off", now);
        break;
    default: break;
    }
}
// The script file's line number (1 = first) as written, line end dropped; read again only when
// another line is asked for.
const char *writtenLine(int number) {
    static int cached = -1;
    static char text[SCRIPT_TEXT_SIZE];
    if (number == cached) return text;
    cached = number;
    text[0] = '\0';
    static std::vector<uint8_t> bytes;
    if (number < 1 || !engine_ReadFile(engine.options.scriptPath, SCRIPT_MAX_FILE_BYTES, &bytes)) return text;
    size_t at = 0;
    for (int n = 1; n < number && at < bytes.size(); ++at)
        if (bytes[at] == '\n') ++n;
    size_t end = at;
    while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
    text_AppendBounded(text, reinterpret_cast<const char *>(bytes.data()) + at, end - at);
    return text;
}
} // namespace

void transport_Begin(bool interactive, bool holdAtEnd, const TransportEngine &run) {
    transport = TransportState();
    transport.run = run;
    // Keys that would seek with no engine behind them are not taken at all.
    transport.interactive = interactive && run.lastClock && run.seekTo && run.resumeAt;
    transport.holdAtEnd = holdAtEnd;
}

void transport_OnKey(int key, int mods) {
    if (!transport.interactive || transport.pendingCount == MAX_PENDING_KEYS) return;
    transport.pending[transport.pendingCount++] = {key, mods};
}

void transport_SetLoop(double a, double b) {
    transport.looping = true;
    transport.loopA = a;
    transport.loopB = b;
    char text[96];
    snprintf(text, sizeof text, "loop %.3f-%.3f s on", a, b);
    event(text, scriptTimeAt(transport.run.lastClock()));
}

void transport_Frame() {
    for (int i = 0; i < transport.pendingCount; ++i) applyKey(transport.pending[i]);
    transport.pendingCount = 0;
    if (transport.looping && !transport.paused && scriptTimeAt(engine_Time()) >= transport.loopB)
        seek("loop back", transport.loopA);
    transport.playing = !transport.paused || transport.step;
    transport.step = false;
}

double transport_Clock(double clock) { return transport.paused ? transport.pausedClock : clock; }

bool transport_Playing() { return transport.playing; }

bool transport_HoldAtEnd(double clock) {
    if (!transport.interactive || !transport.holdAtEnd) return false;
    if (!transport.atEnd) {
        transport.paused = transport.atEnd = true;
        transport.pausedClock = clock;
        sound_Pause(true);
        event("hold at the end", scriptTimeAt(clock));
    }
    return true;
}

void transport_Replayed() {
    if (transport.paused) transport.step = true;
}

void transport_ShowError(const char *text) {
    if (!transport.interactive || !text) return;
    text_CopyBounded(transport.error, text);
    transport.errorSince = wallSeconds();
}

void transport_DrawHud(double clock, double fps) {
    static char text[HUD_TEXT_SIZE];
    const bool error = transport.errorSince >= 0.0 && wallSeconds() - transport.errorSince < ERROR_SHOWN;
    if (!transport.hud) {
        // The latest error stays on screen a few seconds, HUD or not: a full-screen author sees it.
        if (!error) return;
        snprintf(text, sizeof text, "error: %s", transport.error);
        hud_Draw(text, engine.screenWidth, engine.screenHeight);
        return;
    }
    const double now = scriptTimeAt(clock);
    const int line = script.currentLine;
    const bool haveLine = line >= 0 && line < SCRIPT_MAX_LINES;
    const int m = currentSection();
    const SoundCueList &cues = sound_MusicCues();
    const char *cue = "-";
    for (int i = 0; i < cues.count; ++i)
        if (cues.cues[i].seconds <= now + 1e-9) cue = cues.cues[i].name;
    char state[64] = "";
    if (transport.paused) text_CopyBounded(state, transport.atEnd ? "  paused (end)" : "  paused");
    if (transport.looping) {
        char loop[48];
        snprintf(loop, sizeof loop, "  loop %.2f-%.2f", transport.loopA, transport.loopB);
        text_AppendBounded(state, loop);
    }
    char lineText[SCRIPT_TEXT_SIZE] = "", section[SCRIPT_MACRO_NAME_SIZE] = "-";
    if (haveLine) text_CopyBounded(lineText, writtenLine(script.fileLine[line]));
    if (m >= 0) text_CopyBounded(section, script.macros[m].name);
    // Parameters and names keep their line ends: blanks here, so the HUD's own lines stay three.
    for (char *p : {lineText, section})
        for (; *p; ++p)
            if (*p == '\n' || *p == '\r') *p = ' ';
    char ramps[HUD_TEXT_SIZE / 2];
    ramp_Describe(now, ramps, sizeof ramps);
    snprintf(text, sizeof text, "script %.2f s  show %.2f s  %.1f fps%s\nline %d: %s\nsection %s  sync point %s%s%s%s%s",
             now, clock, fps, state, haveLine ? script.fileLine[line] : 0, lineText, section, cue, ramps[0] ? "\n" : "",
             ramps, error ? "\nerror: " : "", error ? transport.error : "");
    hud_Draw(text, engine.screenWidth, engine.screenHeight);
}
