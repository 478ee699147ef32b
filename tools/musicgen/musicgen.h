// musicgen: writes 16-bit WAV files with named cue markers (cue + LIST/adtl/labl), and
// synthesises the bundled show's music. Used as a library by the sound tests and benchmarks.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MusicCue {
    uint32_t frame;   // sample frame at which the marker sits
    std::string name; // its label
};

// The bytes of a WAV file: 'fmt ' (16-bit PCM), 'data', then 'cue ' and LIST/adtl/labl when
// there are cues. samples are interleaved, frames * channels of them.
std::string musicgen_WavBytes(const int16_t *samples, size_t frames, int channels, int rate,
                              const std::vector<MusicCue> &cues);
bool musicgen_WriteFile(const std::string &path, const std::string &bytes);

struct MusicTrack {
    int rate = 44100;
    int channels = 2;
    std::vector<int16_t> samples; // interleaved stereo
    std::vector<MusicCue> cues;   // one per section, in time order
};

constexpr double MUSICGEN_DEFAULT_SECONDS = 75.0;

// Section cues of the show's track, in seconds: intro, build, drop, break, drop2, outro.
struct MusicSection {
    const char *name;
    double seconds;
};
constexpr MusicSection MUSICGEN_SECTIONS[] = {
    {"intro", 0.0}, {"build", 8.0}, {"drop", 24.0}, {"break", 40.0}, {"drop2", 52.0}, {"outro", 68.0},
};

// The show's track: an electronic piece at 120 BPM in A minor (bass, pads, arpeggio, drums, all
// synthesised), seconds long, with a cue at each section that starts before its end.
MusicTrack musicgen_RenderTrack(double seconds = MUSICGEN_DEFAULT_SECONDS, int rate = 44100);
