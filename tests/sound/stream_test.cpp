// The music handlers heard through the capture soundtrack: samples, loop, sync points, the
// console and trace lines of every failure, and the close at shutdown.
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
    CaptureRun run = soundtest_Capture("tone.wav", "44100", 50.0, 10, 3, console);
    ASSERT_EQ(run.rate, RATE);
    ASSERT_EQ(run.samples.size(), size_t(2 * 8820));
    const size_t start = 3 * 882;
    for (size_t i = 0; i < 2 * start; ++i) ASSERT_EQ(run.samples[i], 0) << "before the play, sample " << i;
    for (size_t i = start; i < 8820; ++i) {
        size_t at = (i - start) % length; // every pass starts again at the file's first frame
        ASSERT_EQ(run.samples[2 * i], source[2 * at]) << "frame " << i;
        ASSERT_EQ(run.samples[2 * i + 1], source[2 * at + 1]) << "frame " << i;
    }
    EXPECT_NE(console.find("\n_.________ Opening Stream\n"), std::string::npos);
    EXPECT_NE(console.find("\n_.________ Playing soundStream\n"), std::string::npos);
}

TEST_F(SoundTest, SyncNamesInFileOrderOncePerPassAtTheirFrames) {
    // Cues written out of order; ties keep their cue order. 441 fps: 100 samples a frame.
    soundtest_WriteWav("cues.wav", soundtest_Signal(1000), RATE,
                       {{700, "third"}, {0, "first"}, {300, "second"}, {300, "second too"}});
    CaptureRun run = soundtest_Capture("cues.wav", "44100", 441.0, 25, 0, console);
    std::vector<std::string> expected = {"first", "second", "second too", "third", "END",
                                         "first", "second", "second too", "third", "END",
                                         "first", "second", "second too"};
    EXPECT_EQ(soundtest_Events(console), expected);
    // "third" at file frame 700 of the second pass is output sample 1700: frame 17.
    size_t firstThird = console.find("\"third\"");
    size_t secondThird = console.find("\"third\"", firstThird + 1);
    EXPECT_GT(secondThird, run.after[16]);
    EXPECT_LT(secondThird, run.after[17]);
    // The first end comes with output sample 1000, the first of frame 10.
    size_t firstEnd = console.find("STREAM ENDED!!");
    EXPECT_GT(firstEnd, run.after[9]);
    EXPECT_LT(firstEnd, run.after[10]);
}

TEST_F(SoundTest, FrequencyMessageFor0EmptyAndLettersNotFor22050) {
    soundtest_WriteWav("tone.wav", soundtest_Signal(100), RATE);
    const std::string message = "frequency not found, defaulting to 44100\n";
    for (const char *text : {"0", "", "abc", "22050", " 48000x"}) {
        sound_Reset();
        console.clear();
        soundtest_SetParams("tone.wav", text);
        soundStream_Init();
        bool defaulted = std::string(text) == "0" || !*text || std::string(text) == "abc";
        int expectedRate = defaulted ? 44100 : atoi(text);
        EXPECT_EQ(console.find(message) == 0, defaulted) << "rate text '" << text << "'";
        EXPECT_EQ(console.find(message) == std::string::npos, !defaulted) << "rate text '" << text << "'";
        EXPECT_EQ(sound_MixingRate(), expectedRate) << "rate text '" << text << "'";
        EXPECT_NE(console.find("\n_.________ Opening Stream\n"), std::string::npos) << text;
    }
}

TEST_F(SoundTest, MissingFileGivesBothMessagesAndTheTraceLine) {
    text_CopyBounded(engine.resourceDir, "datas/");
    soundtest_SetParams("nothing.mp3", "letters");
    soundStream_Init();
    EXPECT_EQ(console, "frequency not found, defaulting to 44100\nError!\nFile datas/nothing.mp3 Not Found\n");
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \terror on soundStream_Init : file error\n");
    // The handle stayed null: playing now fails with its trace line.
    soundStream_Play();
    EXPECT_EQ(testfs_ReadFile("_vor_.log"),
              "- _Vortan_ \terror on soundStream_Init : file error\n- _Vortan_ \terror on soundStream_Play\n");
}

TEST_F(SoundTest, PlayBeforeInitWritesOnlyTheTraceLine) {
    soundStream_Play();
    EXPECT_EQ(console, "");
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \terror on soundStream_Play\n");
}

TEST_F(SoundTest, PathIsResourceDirPlusNameAndMayBeLongerThan49) {
    std::vector<int16_t> source = soundtest_Signal(64);
    const std::string dir = "a_resource_directory_whose_name_is_long_on_purpose/";
    ASSERT_EQ(0, system(("mkdir -p " + dir + " datas").c_str()));
    soundtest_WriteWav(dir + "music_with_a_long_name.wav", source, RATE);
    soundtest_WriteWav("datas/track.wav", source, RATE);
    soundtest_WriteWav("track.wav", source, RATE);
    text_CopyBounded(engine.resourceDir, dir.c_str());
    soundtest_SetParams("music_with_a_long_name.wav", "44100");
    soundStream_Init();
    EXPECT_EQ(console, "\n_.________ Opening Stream\n");
    for (const char *resourceDir : {"datas/", ""}) {
        console.clear();
        text_CopyBounded(engine.resourceDir, resourceDir);
        soundtest_SetParams("track.wav", "44100");
        soundStream_Init();
        EXPECT_EQ(console, "\n_.________ Opening Stream\n") << "resource dir '" << resourceDir << "'";
    }
    // Too long for the path buffer: refused as a missing file, with the reason in the trace.
    console.clear();
    std::string huge(ENGINE_PATH_SIZE - 8, 'd');
    text_CopyBounded(engine.resourceDir, huge.c_str());
    soundtest_SetParams("track.wav", "44100");
    soundStream_Init();
    EXPECT_EQ(console, "Error!\nFile track.wav Not Found\n");
    EXPECT_NE(testfs_ReadFile("_vor_.log").find("- _Vortan_ \terror on soundStream_Init : file error\n"),
              std::string::npos);
}

TEST_F(SoundTest, InitErrorOpensNoFile) {
    soundtest_SetParams("missing.wav", "-5");
    soundStream_Init();
    EXPECT_EQ(console, "Error in init\n");
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \terror on soundStream_Init : init error\n");
}

TEST_F(SoundTest, UndecodableFileIsReportedAndTheEarlierStreamStays) {
    std::vector<int16_t> source = soundtest_Signal(500);
    soundtest_WriteWav("good.wav", source, RATE);
    soundtest_WriteBytes("bad.wav", "this is not music at all, only a sentence in a file");
    sound_CaptureBegin("soundtrack.wav", 100.0);
    soundtest_SetParams("good.wav", "44100");
    soundStream_Init();
    console.clear();
    soundtest_SetParams("bad.wav", "44100");
    soundStream_Init();
    EXPECT_EQ(console, "Error!\nFile bad.wav Not Decoded\n");
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \terror on soundStream_Init : decode error\n");
    soundStream_Play(); // still the good stream
    sound_CaptureFrame(0);
    sound_CaptureEnd();
    int rate = 0;
    std::vector<int16_t> out = soundtest_ReadSound("soundtrack.wav", &rate);
    ASSERT_EQ(out.size(), size_t(2 * 441));
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], source[i % source.size()]) << i;
}

TEST_F(SoundTest, SecondInitReplacesTheHandleAndLeavesTheFirstStreamPlaying) {
    std::vector<int16_t> a = soundtest_Signal(300, 1), b = soundtest_Signal(200, 2);
    for (int16_t &v : a) v /= 4;
    for (int16_t &v : b) v /= 4;
    soundtest_WriteWav("a.wav", a, RATE);
    soundtest_WriteWav("b.wav", b, RATE);
    sound_CaptureBegin("soundtrack.wav", 441.0);
    soundtest_SetParams("a.wav", "44100");
    soundStream_Init();
    soundStream_Play();
    soundtest_SetParams("b.wav", "44100");
    soundStream_Init();
    soundStream_Play();
    for (long k = 0; k < 6; ++k) sound_CaptureFrame(k);
    sound_CaptureEnd();
    int rate = 0;
    std::vector<int16_t> out = soundtest_ReadSound("soundtrack.wav", &rate);
    ASSERT_EQ(out.size(), size_t(2 * 600));
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i], a[i % a.size()] + b[i % b.size()]) << "sample " << i;
}

TEST_F(SoundTest, CloseAtShutdownPrintsItsLinesWithOrWithoutAStream) {
    soundStream_Close();
    EXPECT_EQ(console, "\n_.________ Closing soundStream\n\n_.________ Closing Stream\n");
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \tclosing stream\n");

    sound_Reset();
    console.clear();
    soundtest_WriteWav("tone.wav", soundtest_Signal(100), RATE);
    soundtest_SetParams("tone.wav", "44100");
    soundStream_Init();
    soundStream_Play();
    soundStream_Close();
    soundStream_Close(); // a second close finds no stream and only prints its lines
    const std::string closing = "\n_.________ Closing soundStream\n\n_.________ Closing Stream\n";
    EXPECT_EQ(console.substr(console.size() - 2 * closing.size()), closing + closing);
}

TEST_F(SoundTest, FileRateIsInterpolatedToTheMixingRate) {
    std::vector<int16_t> source = soundtest_Signal(400);
    for (int16_t &v : source) v /= 2;
    soundtest_WriteWav("half.wav", source, 22050);
    CaptureRun run = soundtest_Capture("half.wav", "44100", 441.0, 6, 0, console);
    ASSERT_EQ(run.samples.size(), size_t(2 * 600));
    // Even output frames fall on file frames; odd ones lie half-way between two.
    for (size_t i = 0; i + 1 < 600; i += 2) {
        size_t at = (i / 2) % 400, next = (at + 1) % 400;
        for (int side = 0; side < 2; ++side) {
            ASSERT_EQ(run.samples[2 * i + side], source[2 * at + side]) << i;
            int middle = (source[2 * at + side] + source[2 * next + side]);
            ASSERT_NEAR(run.samples[2 * (i + 1) + side], middle / 2.0, 1.0) << i + 1;
        }
    }
    // A full pass of 400 file frames is 800 output frames: the end comes in frame 8, not before.
    EXPECT_EQ(console.find("STREAM ENDED"), std::string::npos);
}

TEST_F(SoundTest, VolumeScalesAndStaleHandlesAreRefused) {
    std::vector<int16_t> source = soundtest_Signal(441);
    soundtest_WriteWav("tone.wav", source, RATE);
    sound_CaptureBegin("soundtrack.wav", 100.0);
    ASSERT_TRUE(sound_Init(RATE, SOUND_CHANNELS, 0));
    std::string bytes = testfs_ReadFile("tone.wav");
    SoundStream *stream = sound_StreamOpen(bytes.data(), SOUND_STREAM_MODE, 0, int(bytes.size()));
    ASSERT_NE(stream, nullptr);
    int first = sound_StreamPlay(SOUND_FREE, stream);
    int second = sound_StreamPlay(SOUND_FREE, stream); // restarts on a new handle
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_FALSE(sound_SetVolume(first, 10));
    EXPECT_FALSE(sound_SetVolume(0, 10));
    EXPECT_TRUE(sound_SetVolume(second, 0));
    sound_CaptureFrame(0);
    EXPECT_TRUE(sound_SetVolume(second, 128));
    sound_CaptureFrame(1);
    sound_CaptureEnd();
    int rate = 0;
    std::vector<int16_t> out = soundtest_ReadSound("soundtrack.wav", &rate);
    ASSERT_EQ(out.size(), size_t(2 * 882));
    for (size_t i = 0; i < 2 * 441; ++i) ASSERT_EQ(out[i], 0);
    for (size_t i = 2 * 441; i < out.size(); ++i)
        ASSERT_NEAR(out[i], source[i - 2 * 441] * 128.0 / 255.0, 1.0) << i;
    EXPECT_TRUE(sound_StreamClose(stream));
    EXPECT_FALSE(sound_StreamClose(stream));
    EXPECT_EQ(sound_StreamPlay(SOUND_FREE, stream), 0);
}

TEST_F(SoundTest, TablesOfStreamsAndChannelsHaveLimits) {
    std::vector<int16_t> source = soundtest_Signal(64);
    std::string bytes = musicgen_WavBytes(source.data(), 64, 2, RATE, {});
    sound_CaptureBegin(nullptr, 60.0);
    EXPECT_FALSE(sound_Init(SOUND_MAX_RATE + 1, SOUND_CHANNELS, 0));
    EXPECT_FALSE(sound_Init(0, SOUND_CHANNELS, 0));
    ASSERT_TRUE(sound_Init(RATE, SOUND_CHANNELS, 0));
    EXPECT_EQ(sound_StreamOpen(bytes.data(), SOUND_LOOP_NORMAL, 0, int(bytes.size())), nullptr); // not from memory
    EXPECT_EQ(sound_StreamOpen(bytes.data(), SOUND_STREAM_MODE, 0, 0), nullptr);
    std::vector<SoundStream *> streams;
    for (int i = 0; i < SOUND_MAX_STREAMS; ++i) {
        streams.push_back(sound_StreamOpen(bytes.data(), SOUND_STREAM_MODE, 0, int(bytes.size())));
        ASSERT_NE(streams.back(), nullptr) << i;
    }
    EXPECT_EQ(sound_StreamOpen(bytes.data(), SOUND_STREAM_MODE, 0, int(bytes.size())), nullptr);
    // Explicit channels: out of range is refused; a busy channel is taken over.
    EXPECT_EQ(sound_StreamPlay(SOUND_CHANNELS, streams[0]), 0);
    EXPECT_EQ(sound_StreamPlay(-2, streams[0]), 0);
    int on5 = sound_StreamPlay(5, streams[0]);
    EXPECT_EQ(on5 & 0xFF, 5);
    int again5 = sound_StreamPlay(5, streams[1]);
    EXPECT_EQ(again5 & 0xFF, 5);
    EXPECT_FALSE(sound_SetVolume(on5, 100));
    EXPECT_TRUE(sound_SetVolume(again5, 100));
}
} // namespace
