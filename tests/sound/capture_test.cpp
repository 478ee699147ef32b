// The capture soundtrack against the frames: exact lengths at any frame rate, silence without
// music, a start part-way into the music (a module too), and a soundtrack that cannot be written.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "sound/sound.h"
#include "sound/sound_layer.h"
#include "tests/sound/sound_test_util.h"

namespace {
TEST_F(SoundTest, SoundtrackLengthMatchesTheFramesAtAnyRate) {
    soundtest_WriteWav("tone.wav", soundtest_Signal(5000), 44100);
    struct Case {
        double fps;
        long frames;
        const char *file, *rate;
        int expectedRate;
        size_t samples; // frames / fps * rate, to the nearest sample
    };
    for (const Case &c : {Case{29.97, 300, "tone.wav", "44100", 44100, 441441}, Case{24.0, 7, "tone.wav", "22050", 22050, 6431},
                          Case{50.0, 5, nullptr, "", 44100, 4410}}) { // no music: silence at 44100
        SCOPED_TRACE(c.fps);
        fresh();
        CaptureRun run = soundtest_Play(c.file, c.rate, c.fps, c.frames, 0, console);
        EXPECT_EQ(run.rate, c.expectedRate);
        ASSERT_EQ(run.samples.size(), 2 * c.samples);
        EXPECT_EQ(std::count(run.samples.begin(), run.samples.end(), 0) == long(run.samples.size()), c.file == nullptr);
        const std::string wav = testfs_ReadFile("soundtrack.wav"); // the RIFF size is filled in at the end
        EXPECT_EQ(uint8_t(wav[4]) | uint8_t(wav[5]) << 8 | uint8_t(wav[6]) << 16 | uint32_t(uint8_t(wav[7])) << 24, wav.size() - 8);
        // Each slice is [k/fps, (k+1)/fps): the boundaries tile the soundtrack with no gap.
        for (long k = 0; k < c.frames; ++k) ASSERT_LE(sound_CaptureSampleAt(k), sound_CaptureSampleAt(k + 1));
    }
}

TEST_F(SoundTest, StartOffsetMovesTheMusicAndPassesOverEarlierSyncPoints) {
    std::vector<int16_t> source = soundtest_Signal(1000);
    soundtest_WriteWav("cues.wav", source, 44100, {{100, "early"}, {700, "late"}});
    CaptureRun run = soundtest_Capture(441.0, 7, console, [](long k) {
        if (k == 0) {
            // The show starts part-way: the music, played 500 frames before the first one shown,
            // is 500 frames in.
            sound_HoldStarts(1.0);
            soundtest_Init("cues.wav", "44100");
            soundStream_Play();
            sound_ReleaseStarts(1.0 + 500.0 / 44100);
        }
    });
    ASSERT_EQ(run.samples.size(), size_t(2 * 700));
    for (size_t i = 0; i < 700; ++i) ASSERT_EQ(run.samples[2 * i], source[2 * ((500 + i) % 1000)]) << i;
    // "early" lay before the start; the next pass, from the file's start, has it again.
    EXPECT_EQ(soundtest_Events(console), (std::vector<std::string>{"late", "END", "early"}));

    // A tracker module from a game (see data/README.md) started part-way, off its rows, sounds
    // from the first frame as the unbroken run does there, notes already sounding included.
    testfs_WriteFile("game.it", testfs_ReadFile(SOUND_TEST_DATA "/biniax_common02.it"));
    for (double late : {1.3, 4.0 + 123.0 / 44100}) {
        fresh();
        const CaptureRun whole = soundtest_Play("game.it", "44100", 100.0, long(late * 100) + 60, 0, console);
        fresh();
        const CaptureRun part = soundtest_Capture(100.0, 50, console, [late](long k) {
            if (k == 0) sound_HoldStarts(1.0), soundtest_Init("game.it", "44100"), soundStream_Play(), sound_ReleaseStarts(1.0 + late);
        });
        const size_t offset = 2 * size_t(llround(late * 44100));
        ASSERT_TRUE(part.samples.size() == 2 * 22050 && whole.samples.size() >= offset + part.samples.size());
        int worst = 0;
        double energy = 0;
        for (size_t i = 0; i < part.samples.size(); ++i)
            worst = std::max(worst, std::abs(int(part.samples[i]) - int(whole.samples[offset + i]))),
            energy += double(part.samples[i]) * part.samples[i];
        EXPECT_LE(worst, 1) << late;
        EXPECT_GT(energy / double(part.samples.size()), 1e4) << late; // music, not silence
    }
}

TEST_F(SoundTest, UnwritableSoundtrackStillRunsTheMusicClock) {
    soundtest_WriteWav("cues.wav", soundtest_Signal(200), 44100, {{50, "here"}});
    sound_CaptureBegin("no/such/folder/soundtrack.wav", 441.0);
    soundtest_Init("cues.wav", "44100");
    soundStream_Play();
    EXPECT_FALSE(sound_CaptureFailed()); // the file is made at the first frame
    sound_CaptureFrame(0);
    EXPECT_TRUE(sound_CaptureFailed());
    EXPECT_FALSE(sound_CaptureEnd());
    EXPECT_EQ(soundtest_Events(console), std::vector<std::string>{"here"});
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \terror on sound_CaptureBegin : the soundtrack "
                                            "no/such/folder/soundtrack.wav cannot be created: No such file or directory\n");

    // A disk that fills up: said once with the system's reason, and the capture runs on to its end.
    fresh();
    sound_CaptureBegin("/dev/full", 10.0);
    for (long k = 0; k < 10; ++k) sound_CaptureFrame(k);
    EXPECT_FALSE(sound_CaptureEnd());
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \terror on sound_CaptureFrame : the soundtrack /dev/full could "
                                            "not be written: No space left on device\n");

    // Written whole: the header counts every frame's sound at every moment, not only at the end.
    fresh();
    sound_CaptureBegin("whole.wav", 10.0);
    soundtest_Init("cues.wav", "44100");
    for (long k = 0; k < 3; ++k) sound_CaptureFrame(k);
    const std::string partway = testfs_ReadFile("whole.wav");
    ASSERT_EQ(partway.size(), 44u + 3 * 4410 * 4);
    EXPECT_EQ(uint32_t(uint8_t(partway[40]) | uint8_t(partway[41]) << 8 | uint8_t(partway[42]) << 16), 3u * 4410 * 4);
    EXPECT_TRUE(sound_CaptureEnd());
}
} // namespace
