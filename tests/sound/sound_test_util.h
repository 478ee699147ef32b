// Shared pieces of the sound tests: a clean sound state per case, the script parameters of
// "@initsound", test signals, and reading back what the mixer produced.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
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
    TestCwd cwd{"sound"};
    std::string console;
};

// Parameters 1 and 2 of the "@initsound" line.
void soundtest_SetParams(const char *file, const char *rate);

// A stereo signal that never repeats within its length and starts with a non-zero frame, so a
// shifted or restarted copy is told apart from the original.
std::vector<int16_t> soundtest_Signal(size_t frames, uint32_t seed = 1);
// A chord of sines, for lossy codecs.
std::vector<int16_t> soundtest_Chord(size_t frames, int rate);

// Writes a WAV (with cues) into the current folder.
void soundtest_WriteWav(const std::string &path, const std::vector<int16_t> &stereo, int rate,
                        const std::vector<MusicCue> &cues = {});

// Reads a sound file with libsndfile as interleaved stereo 16-bit; sets rate (0 when unreadable).
std::vector<int16_t> soundtest_ReadSound(const std::string &path, int *rate);

// Runs a capture of frames frames at fps: the music file is opened before frame 0 (rate text
// as "@initsound" gets it) and played during frame playFrame. after[k] receives the console
// length after frame k, so a test can tell in which frame a line appeared.
struct CaptureRun {
    std::vector<int16_t> samples;
    int rate = 0;
    std::vector<size_t> after;
};
CaptureRun soundtest_Capture(const char *file, const char *rate, double fps, long frames, long playFrame,
                             const std::string &console);

// The console's sync and end lines in order: a name for each SYNCHPOINT, "END" for each end.
std::vector<std::string> soundtest_Events(const std::string &console);

// Opening a file of bytes through the "@initsound" handler at 44100.
void soundtest_WriteBytes(const std::string &path, const std::string &bytes);
