// Shared pieces of the sound tests.
#include "tests/sound/sound_test_util.h"

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sndfile.h>

#include "base/console.h"
#include "base/trace.h"
#include "script/script.h"
#include "script/text.h"
#include "sound/sound.h"
#include "state/engine_state.h"

void SoundTest::SetUp() {
    setenv("SDL_AUDIODRIVER", "dummy", 0); // tests never play aloud; the suite sets it too
    engine_ResetState();
    script_Reset();
    console_SetCapture(&console);
    fresh();
}

void SoundTest::TearDown() {
    sound_Reset();
    console_SetCapture(nullptr);
}

void SoundTest::fresh() {
    sound_Reset();
    console.clear();
    remove("_vor_.log"); // the log is only emptied by its next write
    trace_Reset();
}

void soundtest_Init(const char *file, const char *rate) {
    text_CopyBounded(script.params[1], file);
    text_CopyBounded(script.params[2], rate);
    soundStream_Init();
}

std::vector<int16_t> soundtest_Signal(size_t frames, uint32_t seed, int divisor) {
    std::vector<int16_t> out(frames * 2);
    uint32_t state = seed * 2654435761u + 12345u;
    for (int16_t &v : out) {
        state = state * 1664525u + 1013904223u;
        v = int16_t((int32_t(state >> 16) - 32768) / divisor);
    }
    if (out[0] == 0) out[0] = 1;
    return out;
}

void soundtest_WriteWav(const std::string &path, const std::vector<int16_t> &stereo, int rate,
                        const std::vector<MusicCue> &cues) {
    musicgen_WriteFile(path, musicgen_WavBytes(stereo.data(), stereo.size() / 2, 2, rate, cues));
}

std::vector<int16_t> soundtest_ReadSound(const std::string &path, int *rate) {
    SF_INFO info = {};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    *rate = file ? info.samplerate : 0;
    std::vector<int16_t> out;
    std::vector<int16_t> frame(size_t(info.channels) + 1);
    while (file && sf_readf_short(file, frame.data(), 1) == 1) {
        out.push_back(frame[0]);
        out.push_back(info.channels > 1 ? frame[1] : frame[0]);
    }
    if (file) sf_close(file);
    return out;
}

CaptureRun soundtest_Capture(double fps, long frames, const std::string &console,
                             const std::function<void(long)> &lines) {
    CaptureRun run;
    sound_CaptureBegin("soundtrack.wav", fps);
    for (long k = 0; k < frames; ++k) {
        lines(k);
        sound_CaptureFrame(k);
        run.after.push_back(console.size());
    }
    sound_CaptureEnd();
    run.samples = soundtest_ReadSound("soundtrack.wav", &run.rate);
    return run;
}

CaptureRun soundtest_Play(const char *file, const char *rate, double fps, long frames, long playFrame,
                          const std::string &console) {
    return soundtest_Capture(fps, frames, console, [&](long k) {
        if (!file) return;
        if (k == 0) soundtest_Init(file, rate);
        if (k == playFrame) soundStream_Play();
    });
}

std::vector<std::string> soundtest_Events(const std::string &console) {
    static const std::regex line("\nSYNCHPOINT : \"([^\"]*)\"\n|\nSTREAM ENDED!!\n");
    std::vector<std::string> events;
    for (std::sregex_iterator it(console.begin(), console.end(), line), end; it != end; ++it)
        events.push_back((*it)[1].matched ? (*it)[1].str() : "END");
    return events;
}
