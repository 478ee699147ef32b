// Shared pieces of the sound tests: a clean sound state per case, "@initsound" with its
// parameters, test signals, and captures read back as the samples the audience would hear.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/musicgen/musicgen.h"

// Each case runs in a fresh folder (the trace log lands there), with the console captured and
// the sound layer, engine state and trace log as at process start.
class SoundTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Back to the start state within one case: sound layer, console, trace log.
    void fresh();
    TestCwd cwd{"sound"};
    std::string console;
};

// The "@initsound" line with this file name and rate text.
void soundtest_Init(const char *file, const char *rate);

// A stereo signal that never repeats within its length and starts with a non-zero frame, so a
// shifted or restarted copy is told apart from the original; amplitude is full scale / divisor.
std::vector<int16_t> soundtest_Signal(size_t frames, uint32_t seed = 1, int divisor = 1);
void soundtest_WriteWav(const std::string &path, const std::vector<int16_t> &stereo, int rate,
                        const std::vector<MusicCue> &cues = {});
// A sound file read with libsndfile as interleaved stereo 16-bit; rate 0 when unreadable.
std::vector<int16_t> soundtest_ReadSound(const std::string &path, int *rate);

// A capture of frames frames at fps into soundtrack.wav: lines(k) runs the script lines of
// frame k before the frame is mixed. after[k] is the console length after frame k, so a test can
// tell in which frame a line appeared.
struct CaptureRun {
    std::vector<int16_t> samples;
    int rate = 0;
    std::vector<size_t> after;
};
CaptureRun soundtest_Capture(double fps, long frames, const std::string &console,
                             const std::function<void(long)> &lines);
// The usual show: "@initsound file rate" before frame 0, "@playsound" in frame playFrame (no
// music at all when file is null).
CaptureRun soundtest_Play(const char *file, const char *rate, double fps, long frames, long playFrame,
                          const std::string &console);

// The console's sync and end lines in order: a name for each SYNCHPOINT, "END" for each end.
std::vector<std::string> soundtest_Events(const std::string &console);
