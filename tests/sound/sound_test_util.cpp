// Shared pieces of the sound tests.
#include "tests/sound/sound_test_util.h"

#include <cmath>
#include <cstdlib>
#include <sndfile.h>

#include "runtime/engine_state.h"
#include "script/script.h"
#include "script/text.h"
#include "sound/sound.h"
#include "startup/console.h"
#include "startup/trace.h"

void SoundTest::SetUp() {
    setenv("SDL_AUDIODRIVER", "dummy", 0); // tests never play aloud; the suite sets it too
    sound_Reset();
    engine_ResetState();
    script_Reset();
    trace_Reset();
    console_SetCapture(&console);
}

void SoundTest::TearDown() {
    sound_Reset();
    console_SetCapture(nullptr);
}

void soundtest_SetParams(const char *file, const char *rate) {
    text_CopyBounded(script.params[1], file);
    text_CopyBounded(script.params[2], rate);
}

std::vector<int16_t> soundtest_Signal(size_t frames, uint32_t seed) {
    std::vector<int16_t> out(frames * 2);
    uint32_t state = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < out.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        out[i] = int16_t(int32_t(state >> 16) - 32768);
    }
    if (out[0] == 0) out[0] = 1;
    return out;
}

std::vector<int16_t> soundtest_Chord(size_t frames, int rate) {
    std::vector<int16_t> out(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        double t = double(i) / rate;
        double v = 0.25 * std::sin(2 * M_PI * 440 * t) + 0.2 * std::sin(2 * M_PI * 660 * t);
        out[2 * i] = int16_t(std::lrint(v * 32767));
        out[2 * i + 1] = int16_t(std::lrint(v * 0.8 * 32767));
    }
    return out;
}

void soundtest_WriteWav(const std::string &path, const std::vector<int16_t> &stereo, int rate,
                        const std::vector<MusicCue> &cues) {
    musicgen_WriteFile(path, musicgen_WavBytes(stereo.data(), stereo.size() / 2, 2, rate, cues));
}

void soundtest_WriteBytes(const std::string &path, const std::string &bytes) { musicgen_WriteFile(path, bytes); }

std::vector<int16_t> soundtest_ReadSound(const std::string &path, int *rate) {
    SF_INFO info = {};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    *rate = 0;
    std::vector<int16_t> out;
    if (!file) return out;
    *rate = info.samplerate;
    std::vector<int16_t> frame(size_t(info.channels));
    while (sf_readf_short(file, frame.data(), 1) == 1) {
        out.push_back(frame[0]);
        out.push_back(info.channels > 1 ? frame[1] : frame[0]);
    }
    sf_close(file);
    return out;
}

CaptureRun soundtest_Capture(const char *file, const char *rate, double fps, long frames, long playFrame,
                             const std::string &console) {
    CaptureRun run;
    sound_CaptureBegin("soundtrack.wav", fps);
    soundtest_SetParams(file, rate);
    soundStream_Init();
    for (long k = 0; k < frames; ++k) {
        if (k == playFrame) soundStream_Play();
        sound_CaptureFrame(k);
        run.after.push_back(console.size());
    }
    sound_CaptureEnd();
    run.samples = soundtest_ReadSound("soundtrack.wav", &run.rate);
    return run;
}

std::vector<std::string> soundtest_Events(const std::string &console) {
    std::vector<std::string> events;
    const std::string sync = "\nSYNCHPOINT : \"", end = "\nSTREAM ENDED!!\n";
    for (size_t at = 0; at < console.size();) {
        if (console.compare(at, sync.size(), sync) == 0) {
            size_t close = console.find("\"\n", at + sync.size());
            if (close == std::string::npos) break;
            events.push_back(console.substr(at + sync.size(), close - at - sync.size()));
            at = close + 2;
        } else if (console.compare(at, end.size(), end) == 0) {
            events.push_back("END");
            at += end.size();
        } else {
            ++at;
        }
    }
    return events;
}

// Sanitizer builds: libsndfile's Ogg reader leaks libvorbis's info block when it gives up on a
// truncated file. That is the library's, not ours.
extern "C" const char *__lsan_default_suppressions() { return "leak:libvorbis.so\n"; }
