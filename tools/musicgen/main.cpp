// musicgen command line: writes the show's track as a WAV with its section cues, or with cue
// markers at the times and names given by --cue, and lists the cues it wrote.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/musicgen/musicgen.h"

namespace {

const char USAGE[] =
    "usage: musicgen [--cue NAME=SECONDS]... OUT.wav [SECONDS]\n"
    "  writes the bundled show's track (120 BPM, 44100 Hz stereo, 16-bit WAV), SECONDS long\n"
    "  (default 75, at most 3600), with a named cue marker (a sync point) at each section:\n"
    "  intro 0, build 8, drop 24, break 40, drop2 52, outro 68; given --cue, the cues are\n"
    "  exactly those given instead (musicgen --cue drop=24 --cue break=40 out.wav)\n"
    "  musicgen --help   this text\n";

int usageError(const char *message, const char *word) {
    fprintf(stderr, "musicgen: %s%s\n%s", message, word, USAGE);
    return 2;
}

// "NAME=SECONDS" into a name and a time; false when it is not of that form.
bool parseCue(const char *text, std::string *name, double *seconds) {
    const char *equals = strrchr(text, '=');
    if (!equals || equals == text) return false;
    char *end = nullptr;
    *seconds = strtod(equals + 1, &end);
    if (end == equals + 1 || *end != '\0' || !std::isfinite(*seconds) || *seconds < 0) return false;
    name->assign(text, size_t(equals - text));
    return true;
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> names;
    std::vector<double> times;
    const char *out = nullptr;
    const char *secondsText = nullptr;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--help") == 0) {
            fputs(USAGE, stdout);
            return 0;
        }
        if (strcmp(argv[i], "--cue") == 0) {
            std::string name;
            double at = 0;
            if (i + 1 >= argc || !parseCue(argv[i + 1], &name, &at))
                return usageError("--cue takes NAME=SECONDS: ", i + 1 < argc ? argv[i + 1] : "");
            names.push_back(name);
            times.push_back(at);
            i++;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return usageError("unknown option ", argv[i]);
        } else if (!out) {
            out = argv[i];
        } else if (!secondsText) {
            secondsText = argv[i];
        } else {
            return usageError("too many words: ", argv[i]);
        }
    }
    if (!out) return usageError("no output file", "");
    double seconds = secondsText ? atof(secondsText) : MUSICGEN_DEFAULT_SECONDS;
    if (!(seconds > 0.0 && seconds <= 3600.0)) {
        fprintf(stderr, "musicgen: seconds must be between 0 and 3600\n");
        return 2;
    }
    MusicTrack track = musicgen_RenderTrack(seconds);
    const size_t frames = track.samples.size() / 2;
    if (!names.empty()) {
        track.cues.clear();
        for (size_t k = 0; k < names.size(); k++) {
            const double frame = std::floor(times[k] * track.rate + 0.5);
            if (frame >= double(frames)) {
                fprintf(stderr, "musicgen: cue '%s' at %g s lies past the end of the %g s track\n", names[k].c_str(),
                        times[k], seconds);
                return 2;
            }
            track.cues.push_back({uint32_t(frame), names[k]});
        }
    }
    std::string bytes = musicgen_WavBytes(track.samples.data(), frames, 2, track.rate, track.cues);
    if (!musicgen_WriteFile(out, bytes)) {
        fprintf(stderr, "musicgen: cannot write %s\n", out);
        return 1;
    }
    for (const MusicCue &cue : track.cues) printf("%8.3f s  %s\n", double(cue.frame) / track.rate, cue.name.c_str());
    return 0;
}
