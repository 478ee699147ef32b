// The music handlers heard through the capture soundtrack: samples, loop, sync points, the
// console and trace lines of every outcome, the close at shutdown, and the layer's own limits.
#include <algorithm>

#include "runtime/engine_state.h"
#include "script/text.h"
#include "sound/sound.h"
#include "sound/sound_layer.h"
#include "tests/sound/sound_test_util.h"

namespace {
constexpr int RATE = 44100;

TEST_F(SoundTest, PlaysSampleIdenticalFromItsFrameAndLoopsFromTheFirstSample) {
    const size_t length = 1000;
    std::vector<int16_t> source = soundtest_Signal(length);
    soundtest_WriteWav("tone.wav", source, RATE);
    // 50 frames per second: 882 samples a frame; the music starts with frame 3.
    CaptureRun run = soundtest_Play("tone.wav", "44100", 50.0, 10, 3, console);
    ASSERT_EQ(run.rate, RATE);
    ASSERT_EQ(run.samples.size(), size_t(2 * 8820));
    const size_t start = 3 * 882;
    for (size_t i = 0; i < 2 * start; ++i) ASSERT_EQ(run.samples[i], 0) << "before the play, sample " << i;
    for (size_t i = 2 * start; i < run.samples.size(); ++i) // every pass starts again at the first frame
        ASSERT_EQ(run.samples[i], source[(i - 2 * start) % source.size()]) << "sample " << i;
    EXPECT_EQ(console, "\n_.________ Opening Stream\n\n_.________ Playing soundStream\n"
                       "\nSTREAM ENDED!!\n\nSTREAM ENDED!!\n\nSTREAM ENDED!!\n\nSTREAM ENDED!!\n"
                       "\nSTREAM ENDED!!\n\nSTREAM ENDED!!\n");
}

TEST_F(SoundTest, SyncNamesInFileOrderOncePerPassAtTheirFrames) {
    // Cues written out of order; ties keep their cue order. 441 fps: 100 samples a frame.
    soundtest_WriteWav("cues.wav", soundtest_Signal(1000), RATE,
                       {{700, "third"}, {0, "first"}, {300, "second"}, {300, "second too"}});
    CaptureRun run = soundtest_Play("cues.wav", "44100", 441.0, 25, 0, console);
    std::vector<std::string> expected = {"first", "second", "second too", "third", "END",
                                         "first", "second", "second too", "third", "END",
                                         "first", "second", "second too"};
    EXPECT_EQ(soundtest_Events(console), expected);
    // "third" at file frame 700 of the second pass is output sample 1700: frame 17.
    size_t secondThird = console.find("\"third\"", console.find("\"third\"") + 1);
    EXPECT_GT(secondThird, run.after[16]);
    EXPECT_LT(secondThird, run.after[17]);
    // The first end comes with output sample 1000, the first of frame 10.
    size_t firstEnd = console.find("STREAM ENDED!!");
    EXPECT_GT(firstEnd, run.after[9]);
    EXPECT_LT(firstEnd, run.after[10]);
}

TEST_F(SoundTest, FrequencyMessageFor0EmptyAndLettersNotFor22050) {
    soundtest_WriteWav("tone.wav", soundtest_Signal(100), RATE);
    const std::string defaulted = "frequency not found, defaulting to 44100\n", opened = "\n_.________ Opening Stream\n";
    const struct {
        const char *text;
        int rate;
        std::string console;
    } cases[] = {{"0", 44100, defaulted + opened}, {"", 44100, defaulted + opened}, {"abc", 44100, defaulted + opened},
                 {"22050", 22050, opened},           {" 48000x", 48000, opened}};
    for (const auto &c : cases) {
        fresh();
        soundtest_Init("tone.wav", c.text);
        EXPECT_EQ(console, c.console) << "rate text '" << c.text << "'";
        EXPECT_EQ(sound_MixingRate(), c.rate) << "rate text '" << c.text << "'";
    }
}

// "@initsound" then "@playsound" (file null: "@playsound" alone), each from a fresh start: the
// console and the trace log afterwards. Nothing is mixed, so no sync or end line comes between.
TEST_F(SoundTest, HandlerLinesOfEveryOutcome) {
    const std::string longDir = "a_resource_directory_whose_name_is_long_on_purpose/";
    ASSERT_EQ(0, system(("mkdir -p " + longDir + " datas").c_str()));
    for (const std::string &path : {longDir + "music_with_a_long_name.wav", std::string("datas/track.wav"), std::string("track.wav")})
        soundtest_WriteWav(path, soundtest_Signal(64), RATE);
    musicgen_WriteFile("bad.wav", "this is not music at all, only a sentence in a file");
    const std::string hugeDir(ENGINE_PATH_SIZE - 8, 'd'), played = "\n_.________ Opening Stream\n\n_.________ Playing soundStream\n";
    const std::string fileError = "- _Vortan_ \terror on soundStream_Init : file error\n", playError = "- _Vortan_ \terror on soundStream_Play\n";
    const struct {
        std::string dir;
        const char *file, *rate;
        std::string console, trace;
    } cases[] = {
        {longDir, "music_with_a_long_name.wav", "44100", played, ""}, // the path is not cut at 49
        {"datas/", "track.wav", "44100", played, ""},
        {"", "track.wav", "44100", played, ""},
        {"datas/", "nothing.mp3", "letters", "frequency not found, defaulting to 44100\nError!\nFile datas/nothing.mp3 Not Found\n",
         fileError + playError},
        {hugeDir, "track.wav", "44100", "Error!\nFile track.wav Not Found\n",
         "- _Vortan_ \terror on soundStream_Init : path too long\n" + fileError + playError},
        {"", "missing.wav", "-5", "Error in init\n", "- _Vortan_ \terror on soundStream_Init : init error\n" + playError},
        {"", "bad.wav", "44100", "Error!\nFile bad.wav Not Decoded\n", "- _Vortan_ \terror on soundStream_Init : decode error\n" + playError},
        {"", nullptr, "", "", playError},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.file ? c.file : "@playsound alone") + " in '" + c.dir.substr(0, 20) + "'");
        fresh();
        sound_CaptureBegin(nullptr, 60.0); // the virtual clock stands still: nothing is mixed
        text_CopyBounded(engine.resourceDir, c.dir.c_str());
        if (c.file) soundtest_Init(c.file, c.rate);
        soundStream_Play();
        EXPECT_EQ(console, c.console);
        EXPECT_EQ(testfs_ReadFile("_vor_.log"), c.trace);
    }
}

// A second "@initsound" replaces the handle and the first stream plays on; one that cannot be
// decoded leaves the handle as it was.
TEST_F(SoundTest, SecondInitReplacesTheHandleAndLeavesTheFirstStreamPlaying) {
    std::vector<int16_t> a = soundtest_Signal(300, 1, 4), b = soundtest_Signal(200, 2, 4);
    soundtest_WriteWav("a.wav", a, RATE);
    soundtest_WriteWav("b.wav", b, RATE);
    musicgen_WriteFile("bad.wav", "not music");
    CaptureRun run = soundtest_Capture(441.0, 6, console, [](long k) {
        if (k > 0) return;
        soundtest_Init("a.wav", "44100");
        soundtest_Init("bad.wav", "44100");
        soundStream_Play(); // still a.wav
        soundtest_Init("b.wav", "44100");
        soundStream_Play();
    });
    ASSERT_EQ(run.samples.size(), size_t(2 * 600));
    for (size_t i = 0; i < run.samples.size(); ++i)
        ASSERT_EQ(run.samples[i], a[i % a.size()] + b[i % b.size()]) << "sample " << i;
}

TEST_F(SoundTest, CloseAtShutdownPrintsItsLinesWithOrWithoutAStream) {
    const std::string closing = "\n_.________ Closing soundStream\n\n_.________ Closing Stream\n";
    soundStream_Close();
    EXPECT_EQ(console, closing);
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \tclosing stream\n");
    fresh();
    soundtest_WriteWav("tone.wav", soundtest_Signal(100), RATE);
    soundtest_Init("tone.wav", "44100");
    soundStream_Play();
    soundStream_Close();
    soundStream_Close(); // a second close finds no stream and only prints its lines
    EXPECT_EQ(console.substr(console.size() - 2 * closing.size()), closing + closing);
}

TEST_F(SoundTest, FileRateIsInterpolatedToTheMixingRate) {
    std::vector<int16_t> source = soundtest_Signal(400, 1, 2);
    soundtest_WriteWav("half.wav", source, 22050);
    CaptureRun run = soundtest_Play("half.wav", "44100", 441.0, 6, 0, console);
    ASSERT_EQ(run.samples.size(), size_t(2 * 600));
    // Even output frames fall on file frames; odd ones lie half-way between two.
    for (size_t i = 0; i + 1 < 600; i += 2) {
        size_t at = (i / 2) % 400, next = (at + 1) % 400;
        for (int side = 0; side < 2; ++side) {
            ASSERT_EQ(run.samples[2 * i + side], source[2 * at + side]) << i;
            ASSERT_NEAR(run.samples[2 * (i + 1) + side], (source[2 * at + side] + source[2 * next + side]) / 2.0, 1.0) << i + 1;
        }
    }
    // A full pass of 400 file frames is 800 output frames: the end comes in frame 8, not before.
    EXPECT_EQ(console.find("STREAM ENDED"), std::string::npos);
}

// The layer's calls as the handlers use them: volume, stale handles, rates, tables, channels.
TEST_F(SoundTest, VolumeHandlesAndTheLimitsOfTheLayer) {
    std::vector<int16_t> source = soundtest_Signal(441);
    std::string bytes = musicgen_WavBytes(source.data(), 441, 2, RATE, {});
    std::vector<SoundStream *> streams;
    auto open = [&](unsigned mode, int length) { return sound_StreamOpen(bytes.data(), mode, 0, length); };
    CaptureRun run = soundtest_Capture(100.0, 2, console, [&](long k) {
        if (k == 1) {
            EXPECT_TRUE(sound_SetVolume(sound_StreamPlay(5, streams[0]), 128));
            return;
        }
        EXPECT_FALSE(sound_Init(SOUND_MAX_RATE + 1, SOUND_CHANNELS, 0));
        EXPECT_FALSE(sound_Init(0, SOUND_CHANNELS, 0));
        ASSERT_TRUE(sound_Init(RATE, SOUND_CHANNELS, 0));
        EXPECT_EQ(open(SOUND_LOOP_NORMAL, int(bytes.size())), nullptr); // not from memory
        EXPECT_EQ(open(SOUND_STREAM_MODE, 0), nullptr);
        for (int i = 0; i < SOUND_MAX_STREAMS; ++i) streams.push_back(open(SOUND_STREAM_MODE, int(bytes.size())));
        EXPECT_EQ(std::count(streams.begin(), streams.end(), nullptr), 0);
        EXPECT_EQ(open(SOUND_STREAM_MODE, int(bytes.size())), nullptr); // the table is full
        int first = sound_StreamPlay(SOUND_FREE, streams[0]), second = sound_StreamPlay(SOUND_FREE, streams[0]);
        EXPECT_TRUE(first != 0 && second != 0 && first != second); // restarted on a new handle
        EXPECT_FALSE(sound_SetVolume(first, 10));
        EXPECT_FALSE(sound_SetVolume(0, 10));
        EXPECT_TRUE(sound_SetVolume(second, 0)); // frame 0 is silent
        EXPECT_EQ(sound_StreamPlay(SOUND_CHANNELS, streams[1]), 0);
        EXPECT_EQ(sound_StreamPlay(-2, streams[1]), 0);
        int on5 = sound_StreamPlay(5, streams[1]), again5 = sound_StreamPlay(5, streams[2]); // taken over
        EXPECT_TRUE((on5 & 0xFF) == 5 && (again5 & 0xFF) == 5);
        EXPECT_FALSE(sound_SetVolume(on5, 100));
        EXPECT_TRUE(sound_SetVolume(again5, 0));
        EXPECT_TRUE(sound_StreamClose(streams[3]));
        EXPECT_FALSE(sound_StreamClose(streams[3]));
        EXPECT_EQ(sound_StreamPlay(SOUND_FREE, streams[3]), 0);
    });
    ASSERT_EQ(run.samples.size(), size_t(2 * 882));
    for (size_t i = 0; i < run.samples.size(); ++i) // frame 1: streams[0] restarted on channel 5 at 128
        ASSERT_NEAR(run.samples[i], i < 2 * 441 ? 0 : source[i - 2 * 441] * 128.0 / 255.0, 1.0) << i;
}
} // namespace
