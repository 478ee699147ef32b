// The capture soundtrack against the frames: exact lengths at any frame rate, the music starting
// with the frame that plays it, silence before the sound system starts, and seeking.
#include "sound/sound.h"
#include "sound/sound_layer.h"
#include "tests/sound/sound_test_util.h"

namespace {
TEST_F(SoundTest, SoundtrackLengthMatchesTheFramesAtAnyRate) {
    soundtest_WriteWav("tone.wav", soundtest_Signal(5000), 44100);
    struct Case {
        double fps;
        long frames;
        const char *rate;
        size_t samples; // frames / fps * rate, to the nearest sample
    };
    for (const Case &c : {Case{60.0, 120, "44100", 88200}, Case{29.97, 300, "44100", 441441},
                          Case{24.0, 7, "22050", 6431}, Case{25.0, 1, "48000", 1920}}) {
        SCOPED_TRACE(c.fps);
        sound_Reset();
        CaptureRun run = soundtest_Capture("tone.wav", c.rate, c.fps, c.frames, 0, console);
        EXPECT_EQ(run.rate, atoi(c.rate));
        EXPECT_EQ(run.samples.size(), 2 * c.samples);
        // Each slice is [k/fps, (k+1)/fps): the boundaries tile the soundtrack with no gap.
        for (long k = 0; k < c.frames; ++k)
            ASSERT_LE(sound_CaptureSampleAt(k), sound_CaptureSampleAt(k + 1));
    }
}

TEST_F(SoundTest, FramesBeforeTheMusicStartsAreSilenceAtItsRate) {
    std::vector<int16_t> source = soundtest_Signal(3000);
    soundtest_WriteWav("tone.wav", source, 22050);
    // The show captures 10 frames before "@initsound" at 22050 and plays in frame 10.
    sound_CaptureBegin("soundtrack.wav", 30.0);
    for (long k = 0; k < 10; ++k) sound_CaptureFrame(k);
    soundtest_SetParams("tone.wav", "22050");
    soundStream_Init();
    soundStream_Play();
    for (long k = 10; k < 20; ++k) sound_CaptureFrame(k);
    sound_CaptureEnd();
    int rate = 0;
    std::vector<int16_t> out = soundtest_ReadSound("soundtrack.wav", &rate);
    EXPECT_EQ(rate, 22050);
    ASSERT_EQ(out.size(), size_t(2 * 14700));
    for (size_t i = 0; i < 2 * 7350; ++i) ASSERT_EQ(out[i], 0) << i;
    for (size_t i = 2 * 7350; i < out.size(); ++i) ASSERT_EQ(out[i], source[(i - 2 * 7350) % source.size()]) << i;
}

TEST_F(SoundTest, CaptureWithoutMusicIsSilenceAt44100) {
    sound_CaptureBegin("soundtrack.wav", 50.0);
    for (long k = 0; k < 5; ++k) sound_CaptureFrame(k);
    sound_CaptureEnd();
    int rate = 0;
    std::vector<int16_t> out = soundtest_ReadSound("soundtrack.wav", &rate);
    EXPECT_EQ(rate, 44100);
    ASSERT_EQ(out.size(), size_t(2 * 4410));
    for (int16_t v : out) ASSERT_EQ(v, 0);
}

TEST_F(SoundTest, StartOffsetAndSeekMoveTheMusicAndPassOverEarlierSyncPoints) {
    std::vector<int16_t> source = soundtest_Signal(1000);
    soundtest_WriteWav("cues.wav", source, 44100, {{100, "early"}, {700, "late"}});
    sound_CaptureBegin("soundtrack.wav", 441.0);
    soundtest_SetParams("cues.wav", "44100");
    soundStream_Init();
    sound_SetStartOffset(500.0 / 44100); // the show started part-way: the music is 500 frames in
    soundStream_Play();
    for (long k = 0; k < 2; ++k) sound_CaptureFrame(k);
    sound_SeekPlaying(1900.0 / 44100); // wraps to frame 900 of the file
    for (long k = 2; k < 5; ++k) sound_CaptureFrame(k);
    sound_CaptureEnd();
    int rate = 0;
    std::vector<int16_t> out = soundtest_ReadSound("soundtrack.wav", &rate);
    ASSERT_EQ(out.size(), size_t(2 * 500));
    for (size_t i = 0; i < 200; ++i) ASSERT_EQ(out[2 * i], source[2 * (500 + i)]) << i;
    for (size_t i = 200; i < 500; ++i) ASSERT_EQ(out[2 * i], source[2 * ((900 + i - 200) % 1000)]) << i;
    // "early" lay before the start and "late" was jumped over; the next pass has both again.
    EXPECT_EQ(soundtest_Events(console), (std::vector<std::string>{"END", "early"}));
}

TEST_F(SoundTest, UnwritableSoundtrackStillRunsTheMusicClock) {
    soundtest_WriteWav("cues.wav", soundtest_Signal(200), 44100, {{50, "here"}});
    CaptureRun run;
    sound_CaptureBegin("no/such/folder/soundtrack.wav", 441.0);
    soundtest_SetParams("cues.wav", "44100");
    soundStream_Init();
    soundStream_Play();
    sound_CaptureFrame(0);
    sound_CaptureEnd();
    EXPECT_EQ(soundtest_Events(console), std::vector<std::string>{"here"});
    EXPECT_EQ(testfs_ReadFile("_vor_.log"),
              "- _Vortan_ \terror on sound_CaptureBegin : the soundtrack file cannot be written\n");
}
} // namespace
