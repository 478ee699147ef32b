// Command-line parsing into the engine state: window settings, capture, script and run options.
#include "engine/options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "capture/capture.h"
#include "script/script.h"
#include "script/text.h"

#ifndef VORTAN_VERSION
#define VORTAN_VERSION "0.1.0"
#endif

namespace {
constexpr int MAX_WINDOW_EDGE = 16384;

struct Parser {
    int argc;
    char **argv;
    int next;            // index of the next word
    EngineState *state;
    FILE *err;
    const char *inlineValue; // the text after "=" in "--name=value", or null
};

int fail(Parser &p, const char *format, const char *a, const char *b = "") {
    fprintf(p.err, "vortan: ");
    fprintf(p.err, format, a, b);
    fputc('\n', p.err);
    options_PrintUsage(p.err);
    return OPTIONS_EXIT_USAGE;
}

// The value of the option just read: "--name=value" or the following word.
const char *takeValue(Parser &p) {
    if (p.inlineValue) return p.inlineValue;
    if (p.next < p.argc) return p.argv[p.next++];
    return nullptr;
}

bool readNumber(const char *text, double low, double high, double *value) {
    if (!text || !*text) return false;
    char *end = nullptr;
    errno = 0;
    const double v = strtod(text, &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < low || v > high) return false;
    *value = v;
    return true;
}

bool readResolution(const char *text, int *width, int *height) {
    if (!text) return false;
    char *end = nullptr;
    const long w = strtol(text, &end, 10);
    if (end == text || (*end != 'x' && *end != 'X')) return false;
    const char *second = end + 1;
    const long h = strtol(second, &end, 10);
    if (end == second || *end != '\0') return false;
    if (w < 1 || h < 1 || w > MAX_WINDOW_EDGE || h > MAX_WINDOW_EDGE) return false;
    *width = int(w);
    *height = int(h);
    return true;
}

template <size_t N> bool readPath(const char *text, char (&destination)[N]) {
    if (!text || !*text || strlen(text) >= N) return false;
    text_CopyBounded(destination, text);
    return true;
}

// "A:B", whole numbers with 0 <= A < B.
bool readFrames(const char *text, long *first, long *end) {
    const char *colon = strchr(text, ':');
    if (!colon) return false;
    char a[32];
    if (size_t(colon - text) >= sizeof a) return false;
    memcpy(a, text, size_t(colon - text));
    a[colon - text] = '\0';
    double low = -1, high = -1;
    if (!readNumber(a, 0, OPTIONS_MAX_FRAME, &low) || !readNumber(colon + 1, 0, OPTIONS_MAX_FRAME, &high)) return false;
    if (low != std::floor(low) || high != std::floor(high) || high <= low) return false;
    *first = long(low);
    *end = long(high);
    return true;
}

// A sync-point name (as a time stamp may hold), possibly with an offset: "drop", "build-2".
bool isName(const char *text) { return script_IsNameStamp(text); }

// One option; returns OPTIONS_RUN to go on, or an exit status.
int parseOption(Parser &p, const char *name, FILE *out) {
    EngineState &s = *p.state;
    EngineOptions &o = s.options;
    const bool takesValue = !strcmp(name, "--resolution") || !strcmp(name, "--capture") || !strcmp(name, "--fps") ||
                            !strcmp(name, "--duration") || !strcmp(name, "--script") ||
                            !strcmp(name, "--start") || !strcmp(name, "--video") || !strcmp(name, "--loop") ||
                            !strcmp(name, "--video-quality") || !strcmp(name, "--video-preset") ||
                            !strcmp(name, "--frames") || !strcmp(name, "--video-codec") ||
                            !strcmp(name, "--soundtrack") || !strcmp(name, "--samples") || !strcmp(name, "--supersample") ||
                            !strcmp(name, "--frame-times");
    if (!takesValue && p.inlineValue) return fail(p, "option %s takes no value", name);
    if (!strcmp(name, "--help")) {
        options_PrintUsage(out);
        return OPTIONS_EXIT_OK;
    }
    if (!strcmp(name, "--version")) {
        fprintf(out, "vortan %s\n", options_Version());
        return OPTIONS_EXIT_OK;
    }
    if (!strcmp(name, "--no-dialog")) { o.noDialog = true; return OPTIONS_RUN; }
    if (!strcmp(name, "--fullscreen")) { s.windowMode = ENGINE_FULLSCREEN; return OPTIONS_RUN; }
    if (!strcmp(name, "--windowed")) { s.windowMode = ENGINE_WINDOW; return OPTIONS_RUN; }
    if (!strcmp(name, "--novsync")) { s.swapInterval = 0; return OPTIONS_RUN; }
    if (!strcmp(name, "--check")) { o.check = true; return OPTIONS_RUN; }
    if (!strcmp(name, "--inspect")) { o.inspect = true; return OPTIONS_RUN; }
    if (!strcmp(name, "--json")) { o.json = true; return OPTIONS_RUN; }
    if (!strcmp(name, "--watch")) { o.watch = true; return OPTIONS_RUN; }
    if (!strcmp(name, "--overwrite")) { o.overwrite = true; return OPTIONS_RUN; }
    if (!strcmp(name, "--timedemo")) { o.timedemo = o.noDialog = true; return OPTIONS_RUN; }
    if (!strcmp(name, "--load-on-line")) { o.loadAhead = false; return OPTIONS_RUN; }
    if (!strcmp(name, "--gl-info")) { o.glInfo = o.noDialog = true; return OPTIONS_RUN; }
    if (!takesValue) return fail(p, "unknown option %s", name);

    const char *value = takeValue(p);
    if (!value) return fail(p, "option %s needs a value", name);
    bool ok = false;
    const char *range = ""; // what the option takes, said with a refused value
    if (!strcmp(name, "--resolution")) {
        ok = readResolution(value, &s.screenWidth, &s.screenHeight);
        range = "WIDTHxHEIGHT, each 1 to 16384";
    } else if (!strcmp(name, "--capture")) {
        ok = readPath(value, o.captureDir);
        o.noDialog = true;
    } else if (!strcmp(name, "--fps")) {
        ok = readNumber(value, 1e-3, 1000.0, &o.fps);
        range = "0.001 to 1000";
    } else if (!strcmp(name, "--duration")) {
        ok = readNumber(value, 0.0, 1e9, &o.duration);
        range = "0 to 1e9 seconds";
    } else if (!strcmp(name, "--start")) {
        o.startName[0] = '\0';
        ok = readNumber(value, 0.0, OPTIONS_MAX_START, &o.start); // every frame before it is played
        double beats = 0.0; // a sync point or beats ("16b"), found at the run
        if (!ok && (isName(value) || script_ReadBeats(value, &beats))) ok = readPath(value, o.startName);
        range = "0 to 3600 seconds, a sync-point name, or beats (16b)";
    } else if (!strcmp(name, "--loop")) {
        const char *colon = strchr(value, ':');
        ok = colon && colon != value && colon[1] && !strchr(colon + 1, ':') && readPath(value, o.loopSpan);
        range = "START:END, seconds or sync-point names";
    } else if (!strcmp(name, "--script")) {
        ok = readPath(value, o.scriptPath);
    } else if (!strcmp(name, "--video")) {
        ok = capture_IsVideoName(value) && readPath(value, o.videoPath);
        o.noDialog = true; // a video is made from a frame-exact capture
        range = "a file name ending in .mp4, .mkv, .mov or .webm";
    } else if (!strcmp(name, "--video-quality")) {
        double crf = -1;
        ok = readNumber(value, 0, 51, &crf) && crf == std::floor(crf);
        o.videoQuality = int(crf);
        range = "a whole number, 0 to 51";
    } else if (!strcmp(name, "--video-preset")) {
        ok = capture_PresetIndex(value) >= 0;
        if (ok) text_CopyBounded(o.videoPreset, value);
        range = "ultrafast, superfast, veryfast, faster, fast, medium, slow, slower, veryslow or placebo";
    } else if (!strcmp(name, "--frames")) {
        ok = readFrames(value, &o.frameFirst, &o.frameEnd);
        range = "FIRST:END, whole frame numbers from 0, END above FIRST: frames FIRST to END-1";
    } else if (!strcmp(name, "--video-codec")) {
        o.videoCodec = capture_CodecIndex(value);
        ok = o.videoCodec >= 0;
        range = "h264, ffv1 or x264rgb";
    } else if (!strcmp(name, "--soundtrack")) {
        ok = readPath(value, o.soundtrackPath);
        o.noDialog = true;
    } else if (!strcmp(name, "--frame-times")) {
        ok = readPath(value, o.frameTimesPath);
    } else if (!strcmp(name, "--samples")) {
        double n = 0;
        ok = readNumber(value, 2, 8, &n) && (n == 2 || n == 4 || n == 8);
        o.samples = int(n);
        range = "2, 4 or 8";
    } else if (!strcmp(name, "--supersample")) {
        double k = 0;
        ok = readNumber(value, 1, OPTIONS_MAX_SUPERSAMPLE, &k) && k == std::floor(k);
        o.supersample = int(k);
        range = "a whole number, 1 to 4";
    }
    if (ok) return OPTIONS_RUN;
    char message[256];
    snprintf(message, sizeof message, "bad value \"%%s\" for %%s%s%s%s", range[0] ? " (" : "", range, range[0] ? ")" : "");
    return fail(p, message, value, name);
}
// The options of a render that go together: a frame range, the video's codec, the soundtrack
// alone and the supersampling.
int checkRender(Parser &p) {
    EngineOptions &o = p.state->options;
    const bool writes = o.captureDir[0] || o.videoPath[0];
    if (o.frameFirst >= 0 && !writes && !o.timedemo && !o.soundtrackPath[0])
        return fail(p, "%s goes with --capture, --video, --soundtrack or --timedemo", "--frames");
    if (o.frameFirst >= 0 && (o.start > 0 || o.startName[0] || o.duration >= 0 || o.watch))
        return fail(p, "%s says where the run starts and ends: not with --start, --duration or --watch", "--frames");
    if (o.soundtrackPath[0] && (writes || o.timedemo))
        return fail(p, "%s writes the soundtrack alone: not with --capture, --video or --timedemo", "--soundtrack");
    if (o.videoCodec != 0 && !o.videoPath[0]) return fail(p, "%s goes with --video", "--video-codec");
    if (o.videoCodec != 0 && capture_CheckCodecName(o.videoCodec, o.videoPath) != nullptr)
        return fail(p, "--video-codec %s: %s", CAPTURE_CODECS[o.videoCodec], capture_CheckCodecName(o.videoCodec, o.videoPath));
    if (o.supersample > 1 && (!o.videoPath[0] || o.captureDir[0]))
        return fail(p, "%s is scaled down by the video's encoder: it goes with --video and not with --capture",
                    "--supersample");
    const long width = long(p.state->screenWidth) * o.supersample, height = long(p.state->screenHeight) * o.supersample;
    if (width > MAX_WINDOW_EDGE || height > MAX_WINDOW_EDGE) {
        char size[48];
        snprintf(size, sizeof size, "%ldx%ld", width, height);
        return fail(p, "%s: the window it draws (%s) is larger than 16384 pixels", "--supersample", size);
    }
    if (o.soundtrackPath[0]) p.state->swapInterval = 0;
    // The window is drawn at the multiple; the video's encoder scales it back down.
    p.state->screenWidth = int(width);
    p.state->screenHeight = int(height);
    return OPTIONS_RUN;
}
} // namespace

const char *options_Version() { return VORTAN_VERSION; }

void options_PrintUsage(FILE *stream) {
    fputs("usage: vortan [options] [debug]\n"
          "Plays the show of datas/opal.qlo (relative to the working directory).\n"
          "  --no-dialog          start the show at once\n"
          "  --resolution WxH     window size (default 640x480)\n"
          "  --fullscreen         full screen on the primary monitor\n"
          "  --windowed           in a window (over a release's full-screen default)\n"
          "  --novsync            do not wait for the vertical retrace\n"
          "  --capture DIR        render frame-exact, write every frame to DIR/frame-NNNNN.png\n"
          "  --fps N              frames per second of the capture clock (default 60)\n"
          "  --duration SECONDS   end the show before the first frame SECONDS after its start\n"
          "  --script PATH        the script to play (default datas/opal.qlo)\n"
          "  --check              compile the script, open the files it loads, print its errors\n"
          "                       and warnings, open no window\n"
          "  --inspect FILE...    describe 3DS, TGA, music and script files as the engine sees them\n"
          "                       (add --json for JSON); exit 1 when one cannot be used\n"
          "  --start SECONDS      start at this show time (at most 3600): the frames before it are\n"
          "                       played unseen and the music starts at the matching place;\n"
          "                       a sync-point name of the music (drop, drop+0.5) stands for its time\n"
          "  --watch              a session: reload the script and the files it loads when they\n"
          "                       change and play on from the time reached (a script with errors is\n"
          "                       reported and not loaded); \"@end\" holds the last frame until Esc\n"
          "  --loop A:B           in a window, play script times A to B over and over (seconds or\n"
          "                       sync-point names)\n"
          "  --video FILE.mp4     make an H.264 + AAC video with ffmpeg (frames piped into it;\n"
          "                       PNG files only with --capture); .mkv, .mov too, .webm for VP9 + Opus\n"
          "  --overwrite          let --video replace a file that is not a video\n"
          "  --video-quality CRF  x264 quality, 0 (best) to 51 (default 18)\n"
          "  --video-preset NAME  x264 preset, ultrafast .. placebo (default medium)\n"
          "  --video-codec NAME   h264 (default), ffv1 (lossless, .mkv) or x264rgb (lossless RGB H.264)\n"
          "  --frames A:B         with --capture, --video, --soundtrack or --timedemo: frames A to B-1\n"
          "                       of the capture clock only, each as an unbroken run draws it\n"
          "  --soundtrack FILE    write the soundtrack alone (WAV), drawing nothing\n"
          "  --frame-times FILE   write each frame's time and script line to a CSV file\n"
          "  --samples N          multisampled drawing (anti-aliasing): 2, 4 or 8 samples a pixel\n"
          "  --supersample K      with --video: draw at K times the size, scaled down in the video\n"
          "  --gl-info            print the version and the GL renderer, then end\n"
          "  --timedemo           play on the capture clock as fast as the machine draws, write\n"
          "                       nothing, and print the frame rate\n"
          "  --load-on-line       read and decode each file at its load line, not ahead on the\n"
          "                       loader thread (for comparison)\n"
          "  --help, --version    this text, the version\n"
          "A last word \"debug\" opens the debug console on standard output.\n",
          stream);
}

int options_Parse(int argc, char **argv, EngineState *state, FILE *out, FILE *err) {
    Parser p{argc, argv, 1, state, err, nullptr};
    while (p.next < argc) {
        const char *word = argv[p.next];
        if (!strcmp(word, "--")) {
            ++p.next;
            break;
        }
        if (word[0] != '-' || word[1] == '\0') break; // the tail starts here
        ++p.next;
        char name[64];
        const char *equals = strchr(word, '=');
        const size_t nameLength = equals ? size_t(equals - word) : strlen(word);
        if (nameLength >= sizeof name) return fail(p, "unknown option %s", word);
        memcpy(name, word, nameLength);
        name[nameLength] = '\0';
        p.inlineValue = equals ? equals + 1 : nullptr;
        const int result = parseOption(p, name, out);
        if (result != OPTIONS_RUN) return result;
    }
    const EngineOptions &o = state->options;
    if (o.timedemo && (o.captureDir[0] || o.videoPath[0]))
        return fail(p, "%s writes nothing: it does not go with --capture or --video", "--timedemo");
    if (o.videoPath[0] && o.duration == 0.0)
        return fail(p, "%s 0 makes no frames: a video needs at least one (--duration above 0 with %s)", "--duration",
                    "--video");
    if (o.loopSpan[0] && (o.captureDir[0] || o.videoPath[0] || o.timedemo))
        return fail(p, "%s works in a window, not with --capture, --video or --timedemo", "--loop");
    if (o.json && !o.inspect) return fail(p, "%s goes with --inspect only", "--json");
    if (const int refused = checkRender(p); refused != OPTIONS_RUN) return refused;
    if (o.captureDir[0] || o.videoPath[0] || o.timedemo) state->swapInterval = 0;
    // The tail is the remaining words; only exactly "debug" means something, any other tail
    // is ignored as it always was.
    const int tailWords = argc - p.next;
    state->options.tailFirst = p.next;
    if (state->options.inspect && tailWords == 0) return fail(p, "%s needs at least one file", "--inspect");
    state->options.debugTail = tailWords == 1 && !strcmp(argv[p.next], "debug");
    return OPTIONS_RUN;
}

int options_ReadSettings(const char *path, EngineState *state, FILE *err) {
    FILE *file = fopen(path, "rb");
    if (!file) return 0; // no settings: the engine's own defaults
    int bad = 0, lineNumber = 0;
    char line[256];
    while (fgets(line, sizeof line, file)) {
        ++lineNumber;
        line[strcspn(line, "\r\n")] = '\0';
        char *text = line + strspn(line, " \t");
        if (*text == '\0' || *text == '#') continue;
        char *equals = strchr(text, '=');
        if (equals) *equals = '\0';
        const char *value = equals ? equals + 1 : "";
        int width = 0, height = 0;
        double rate = 0;
        if (equals && !strcmp(text, "resolution") && readResolution(value, &width, &height)) {
            state->screenWidth = state->options.presetWidth = width;
            state->screenHeight = state->options.presetHeight = height;
        } else if (equals && !strcmp(text, "refresh") && readNumber(value, 1, 1000, &rate) && rate == std::floor(rate)) {
            state->options.refreshRate = int(rate);
        } else if (equals && !strcmp(text, "fullscreen") && (!strcmp(value, "yes") || !strcmp(value, "no"))) {
            state->windowMode = !strcmp(value, "yes") ? ENGINE_FULLSCREEN : ENGINE_WINDOW;
        } else {
            fprintf(err, "vortan: %s:%d: not a setting (resolution=WxH, fullscreen=yes|no or refresh=HZ): %s%s%s\n", path,
                    lineNumber, text, equals ? "=" : "", value);
            ++bad;
        }
    }
    fclose(file);
    return bad;
}
