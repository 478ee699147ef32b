// musicgen OUT.wav [seconds]: writes the show's track with its section cues.
#include <cstdio>
#include <cstdlib>

#include "tools/musicgen/musicgen.h"

int main(int argc, char **argv) {
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: musicgen OUT.wav [seconds]\n");
        return 2;
    }
    double seconds = argc == 3 ? atof(argv[2]) : MUSICGEN_DEFAULT_SECONDS;
    if (!(seconds > 0.0 && seconds <= 3600.0)) {
        fprintf(stderr, "musicgen: seconds must be between 0 and 3600\n");
        return 2;
    }
    MusicTrack track = musicgen_RenderTrack(seconds);
    std::string bytes = musicgen_WavBytes(track.samples.data(), track.samples.size() / 2, 2, track.rate, track.cues);
    if (!musicgen_WriteFile(argv[1], bytes)) {
        fprintf(stderr, "musicgen: cannot write %s\n", argv[1]);
        return 1;
    }
    for (const MusicCue &cue : track.cues)
        printf("%8.3f s  %s\n", double(cue.frame) / track.rate, cue.name.c_str());
    return 0;
}
