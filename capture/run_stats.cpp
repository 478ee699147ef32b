// Frame timing of a run: the progress line and the closing summary on standard error.
#include "capture/run_stats.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>

#include "base/trace.h"
#include "script/script.h"
#include "script/text.h"
#include "state/engine_state.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr double PROGRESS_INTERVAL = 0.25; // seconds of wall time between two progress lines
// Frame times are counted in steps of a tenth of a millisecond for the median; a slower frame
// counts in the last step.
constexpr int TIME_STEPS = 20000;
constexpr double TIME_STEP = 0.0001;

struct StatsState {
    double fps = 0.0;   // capture clock rate; 0 in a window
    double limit = -1.0;
    Clock::time_point start, last, lastShown;
    long frames = 0;
    double slowest = -1.0;   // seconds
    long slowestFrame = 0;
    int slowestLine = -1;
    char slowestCommand[SCRIPT_NAME_SIZE] = "";
    bool shown = false;      // a progress line is on the screen
    bool endKnown = false;   // end: the clock reading the show ends at, once read (-1: unknown)
    double end = -1.0;
    std::array<int, TIME_STEPS> steps{}; // frames that took each step's time
    FILE *times = nullptr;   // --frame-times: a CSV line a frame
    bool timesFailed = false;
    char timesPath[ENGINE_PATH_SIZE] = "";
};
StatsState stats;

// The frame-times file could not be opened or written: said once, on stderr and in the log.
void timesProblem(int problem) {
    if (stats.timesFailed) return;
    stats.timesFailed = true;
    fprintf(stderr, "vortan: cannot write the frame times %s: %s\n", stats.timesPath, strerror(problem));
    trace_ErrorLogOnly("frame times", stats.timesPath);
}

double medianFrame() {
    long seen = 0;
    for (int i = 0; i < TIME_STEPS; ++i) {
        seen += stats.steps[size_t(i)];
        if (2 * seen >= stats.frames) return (i + 0.5) * TIME_STEP;
    }
    return TIME_STEPS * TIME_STEP;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The clock reading the show ends at, when known: --duration's limit or the "@end" line's time
// stamp (a number or a sync point's name); -1 when neither is there. Read once, at the first
// progress line, so the frame total does not move while the show plays.
double showEnd() {
    if (stats.endKnown) return stats.end;
    stats.endKnown = true;
    stats.end = stats.limit;
    for (int i = 0; i < script.lineCount && i < SCRIPT_MAX_LINES; ++i) {
        if (script.lines[size_t(i)].opcode != OP_END) continue;
        char saved[SCRIPT_MAX_PARAMS][SCRIPT_TEXT_SIZE]; // the evaluator's buffers stay as they were
        memcpy(saved, script.params, sizeof saved);
        script_SplitParams(&script.lines[size_t(i)]);
        const double at = engine.demoStart + script_StampTime(script.params[0]);
        memcpy(script.params, saved, sizeof saved);
        if (stats.end < 0 || at < stats.end) stats.end = at;
        break;
    }
    return stats.end;
}

// An error line said on stderr while the progress line is open starts on a line of its own.
void endProgressLine() {
    if (stats.shown) fputc('\n', stderr);
    stats.shown = false;
}

void showProgress(long frame, double clock, double rate) {
    char total[64] = "", left[48] = "";
    const double end = showEnd();
    if (end >= clock) {
        const double framesLeft = std::floor((end - clock) * stats.fps);
        snprintf(total, sizeof total, "/%ld", frame + long(framesLeft) + 1);
        if (rate > 0) {
            const long remaining = long(framesLeft / rate + 0.5);
            snprintf(left, sizeof left, ", %ld:%02ld left", remaining / 60, remaining % 60);
        }
    }
    char showTotal[32] = "";
    if (end >= clock) snprintf(showTotal, sizeof showTotal, "/%.1f", end);
    fprintf(stderr, "\rvortan: frame %ld%s, show %.2f%s s, %.1f fps (%.2fx real time)%s   ", frame, total, clock,
            showTotal, rate, rate / stats.fps, left);
    fflush(stderr);
    stats.shown = true;
}
} // namespace

bool stats_Begin(double fps, double limit, const char *timesPath) {
    stats = StatsState();
    stats.fps = fps;
    stats.limit = limit;
    if (timesPath && timesPath[0]) {
        text_CopyBounded(stats.timesPath, timesPath);
        stats.times = fopen(timesPath, "w");
        if (!stats.times || fputs("frame,script_seconds,milliseconds,line,command\n", stats.times) < 0) {
            timesProblem(errno);
            if (stats.times) fclose(stats.times);
            stats.times = nullptr;
            return false;
        }
    }
    stats.start = stats.last = stats.lastShown = Clock::now();
    trace_SetEchoHook(endProgressLine);
    return true;
}

void stats_Frame(long frame, double clock) {
    const Clock::time_point now = Clock::now();
    const double took = seconds(now - stats.last);
    stats.last = now;
    ++stats.frames;
    stats.steps[size_t(std::min(long(took / TIME_STEP), long(TIME_STEPS - 1)))]++;
    // Named as editors and the checker count: the file's line, 1 for the first.
    const int line = script_CurrentLine();
    const bool known = line >= 0 && line < SCRIPT_MAX_LINES;
    const int fileLine = known ? script.fileLine[size_t(line)] : 0;
    const char *command = known ? script.lines[size_t(line)].token : "";
    if (took > stats.slowest) {
        stats.slowest = took;
        stats.slowestFrame = frame;
        stats.slowestLine = fileLine;
        text_CopyBounded(stats.slowestCommand, command);
    }
    if (stats.times && !stats.timesFailed &&
        fprintf(stats.times, "%ld,%.4f,%.3f,%d,%s\n", frame, clock - engine.demoStart, took * 1000.0, fileLine, command) < 0)
        timesProblem(errno);
    if (stats.fps > 0 && seconds(now - stats.lastShown) >= PROGRESS_INTERVAL) {
        stats.lastShown = now;
        showProgress(frame, clock, double(stats.frames) / seconds(now - stats.start));
    }
}

bool stats_End() {
    const double wall = seconds(Clock::now() - stats.start);
    if (stats.times) {
        const bool written = !ferror(stats.times);
        const int problem = errno;
        if (fclose(stats.times) != 0 || !written) timesProblem(written ? errno : problem);
        stats.times = nullptr;
    }
    const double rate = wall > 0 ? double(stats.frames) / wall : 0.0;
    endProgressLine();
    trace_SetEchoHook(nullptr);
    char realTime[32] = "";
    if (stats.fps > 0) snprintf(realTime, sizeof realTime, " (%.2fx real time)", rate / stats.fps);
    fprintf(stderr, "vortan: %ld frames drawn in %.1f s, %.1f fps on average%s", stats.frames, wall, rate, realTime);
    if (stats.frames > 0) {
        fprintf(stderr, "; slowest frame %ld (%.1f ms) at line %d of the script", stats.slowestFrame, stats.slowest * 1000.0,
                stats.slowestLine);
        if (stats.slowestCommand[0]) fprintf(stderr, " (%s)", stats.slowestCommand);
        fprintf(stderr, ", median frame %.2f ms", medianFrame() * 1000.0);
    }
    fputc('\n', stderr);
    return !stats.timesFailed;
}
