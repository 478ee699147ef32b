// The music handlers heard through the capture soundtrack: samples, loop, sync points, the
// console and trace lines of every outcome, and the layer's own limits.
#include <algorithm>
#include <filesystem>

#include "script/text.h"
#include "sound/sound.h"
#include "sound/sound_layer.h"
#include "state/engine_state.h"
#include "tests/sound/sound_test_util.h"

namespace {
constexpr int RATE = 44100;

// From the frame whose line plays it, sample-identical at volume 255 and starting again at the
// first sample; sync names in file order once per pass, and the end once per pass, at their frames.
TEST_F(SoundTest, PlaysSampleIdenticalLoopsAndCallsBackInFileOrderAtTheirFrames) {
    std::vector<int16_t> source = soundtest_Signal(1000);
    // Cues written out of order; ties keep their cue order.
    soundtest_WriteWav("cues.wav", source, RATE, {{700, "third"}, {0, "first"}, {300, "second"}, {300, "second too"}});
    // 441 frames per second: 100 samples a frame; the music starts with frame 3, output sample 300.
    CaptureRun run = soundtest_Play("cues.wav", "44100", 441.0, 25, 3, console);
    ASSERT_EQ(run.rate, RATE);
    ASSERT_EQ(run.samples.size(), size_t(2 * 2500));
    for (size_t i = 0; i < run.samples.size(); ++i)
        ASSERT_EQ(run.samples[i], i < 600 ? 0 : source[(i - 600) % source.size()]) << "sample " << i;
    EXPECT_EQ(console.rfind("\n_.________ Opening Stream\n\n_.________ Playing soundStream\n", 0), 0u);
    EXPECT_EQ(soundtest_Events(console), (std::vector<std::string>{"first", "second", "second too", "third", "END", "first",
                                                                    "second", "second too", "third", "END", "first"}));
    // The first end comes with output sample 1300, the first of frame 13; "third" of the second
    // pass at output sample 2000, the first of frame 20.
    size_t firstEnd = console.find("STREAM ENDED!!"), secondThird = console.find("\"third\"", console.find("\"third\"") + 1);
    EXPECT_TRUE(firstEnd > run.after[12] && firstEnd < run.after[13]) << firstEnd;
    EXPECT_TRUE(secondThird > run.after[19] && secondThird < run.after[20]) << secondThird;
}

// "@initsound" then "@playsound" (file null: "@playsound" alone), each from a fresh start: the
// console, the trace log and the mixing rate afterwards. Nothing is mixed, so no sync or end line
// comes between.
TEST_F(SoundTest, HandlerLinesOfEveryOutcome) {
    const std::string longDir = "a_resource_directory_whose_name_is_long_on_purpose/";
    std::filesystem::create_directories(longDir);
    std::filesystem::create_directories("datas");
    for (const std::string &path : {longDir + "music_with_a_long_name.wav", std::string("datas/track.wav"), std::string("track.wav")})
        soundtest_WriteWav(path, soundtest_Signal(64), RATE);
    musicgen_WriteFile("sentence.wav", "this is not music at all, only a sentence in a file");
    const std::string hugeDir(ENGINE_PATH_SIZE - 8, 'd'), played = "\n_.________ Opening Stream\n\n_.________ Playing soundStream\n";
    const std::string defaulted = "frequency not found, defaulting to 44100\n", playError = "- _Vortan_ \terror on soundStream_Play\n";
    const std::string fileError = "- _Vortan_ \terror on soundStream_Init : file error\n" + playError;
    const std::string decodeError = "- _Vortan_ \terror on soundStream_Init : decode error\n" + playError;
    const struct {
        std::string dir;
        const char *file, *rate;
        int mixingRate;
        std::string console, trace;
    } cases[] = {
        {longDir, "music_with_a_long_name.wav", "44100", 44100, played, ""}, // the path is not cut at 49
        {"datas/", "track.wav", "22050", 22050, played, ""},
        {"", "track.wav", "0", 44100, defaulted + played, ""},
        {"datas/", "nothing.mp3", "letters", 44100, defaulted + "Error!\nFile datas/nothing.mp3 Not Found\n", fileError},
        {hugeDir, "track.wav", "44100", 44100, "Error!\nFile track.wav Not Found\n",
         "- _Vortan_ \terror on soundStream_Init : path too long\n" + fileError},
        {"", "missing.wav", "-5", 0, "Error in init\n", "- _Vortan_ \terror on soundStream_Init : init error\n" + playError},
        {"", "sentence.wav", "44100", 44100, "Error!\nFile sentence.wav Not Decoded\n", decodeError},
        {"", nullptr, "", 0, "", playError},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.file ? c.file : "@playsound alone") + " at '" + c.rate + "' in '" + c.dir.substr(0, 20) + "'");
        fresh();
        sound_CaptureBegin(nullptr, 60.0); // the virtual clock stands still: nothing is mixed
        text_CopyBounded(engine.resourceDir, c.dir.c_str());
        if (c.file) soundtest_Init(c.file, c.rate);
        soundStream_Play();
        EXPECT_EQ(console, c.console);
        EXPECT_EQ(testfs_ReadFile("_vor_.log"), c.trace);
        EXPECT_EQ(sound_MixingRate(), c.mixingRate);
    }
}

// A second "@initsound" replaces the handle and the first stream plays on; one that cannot be
// decoded replaces it too, so the "@playsound" after it starts nothing.
TEST_F(SoundTest, SecondInitReplacesTheHandleAndLeavesTheFirstStreamPlaying) {
    std::vector<int16_t> a = soundtest_Signal(300, 1, 4), b = soundtest_Signal(200, 2, 4);
    soundtest_WriteWav("a.wav", a, RATE);
    soundtest_WriteWav("b.wav", b, RATE);
    musicgen_WriteFile("bad.wav", "not music");
    CaptureRun run = soundtest_Capture(441.0, 6, console, [](long k) {
        // bad.wav is played in place of a.wav: an error line; then b.wav and a.wav again.
        const char *files[] = {"a.wav", "bad.wav", "b.wav", "a.wav"};
        for (int i = 0; k == 0 && i < 4; ++i) {
            soundtest_Init(files[i], "44100");
            if (i > 0) soundStream_Play();
        }
    });
    ASSERT_EQ(run.samples.size(), size_t(2 * 600));
    for (size_t i = 0; i < run.samples.size(); ++i)
        ASSERT_EQ(run.samples[i], a[i % a.size()] + b[i % b.size()]) << "sample " << i;
    EXPECT_NE(testfs_ReadFile("_vor_.log").find("- _Vortan_ \terror on soundStream_Play\n"), std::string::npos);
}

// Every stream plays on, so once the layer's table is full a further "@initsound" is refused as
// such, not as a file the decoders cannot read, and the handle is left without a stream.
TEST_F(SoundTest, InitBeyondTheStreamTableIsRefusedAsSuch) {
    soundtest_WriteWav("tone.wav", soundtest_Signal(100), RATE);
    sound_CaptureBegin(nullptr, 60.0);
    for (int i = 0; i < SOUND_MAX_STREAMS; ++i) soundtest_Init("tone.wav", "44100");
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "");
    console.clear();
    soundtest_Init("tone.wav", "44100");
    soundStream_Play();
    EXPECT_EQ(console, "Error!\nFile tone.wav Not Opened: 16 music streams are open\n");
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \terror on soundStream_Init : too many streams\n"
                                            "- _Vortan_ \terror on soundStream_Play\n");
}

TEST_F(SoundTest, FileRateIsInterpolatedToTheMixingRate) {
    std::vector<int16_t> source = soundtest_Signal(120, 1, 2);
    soundtest_WriteWav("half.wav", source, 22050);
    CaptureRun run = soundtest_Capture(441.0, 6, console, [](long k) {
        if (k == 0) soundtest_Init("half.wav", "44100");
        if (k == 0 || k == 3) soundStream_Play(); // played again: from the top, interpolated afresh
    });
    ASSERT_EQ(run.samples.size(), size_t(2 * 600));
    // Even output frames fall on file frames; odd ones lie half-way between two, also across the
    // loop (a pass of 120 file frames is 240 output frames), where the last frame leads to the first.
    for (size_t i = 0; i + 1 < 600; i += 2) {
        size_t at = (i % 300) / 2 % 120, next = (at + 1) % 120;
        for (int side = 0; side < 2; ++side) {
            ASSERT_EQ(run.samples[2 * i + side], source[2 * at + side]) << i;
            ASSERT_NEAR(run.samples[2 * (i + 1) + side], (source[2 * at + side] + source[2 * next + side]) / 2.0, 1.0) << i + 1;
        }
    }
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
        for (int rate : {SOUND_MAX_RATE + 1, 0}) EXPECT_FALSE(sound_Init(rate, SOUND_CHANNELS, 0)) << rate;
        ASSERT_TRUE(sound_Init(RATE, SOUND_CHANNELS, 0));
        EXPECT_EQ(open(SOUND_LOOP_NORMAL, int(bytes.size())), nullptr); // not from memory
        EXPECT_EQ(open(SOUND_STREAM_MODE, 0), nullptr);
        for (int i = 0; i < SOUND_MAX_STREAMS; ++i) streams.push_back(open(SOUND_STREAM_MODE, int(bytes.size())));
        EXPECT_EQ(std::count(streams.begin(), streams.end(), nullptr), 0);
        EXPECT_EQ(open(SOUND_STREAM_MODE, int(bytes.size())), nullptr); // the table is full
        int first = sound_StreamPlay(SOUND_FREE, streams[0]), second = sound_StreamPlay(SOUND_FREE, streams[0]);
        EXPECT_TRUE(first != 0 && second != 0 && first != second); // restarted on a new handle
        for (int stale : {first, 0}) EXPECT_FALSE(sound_SetVolume(stale, 10)) << stale;
        EXPECT_TRUE(sound_SetVolume(second, 0)); // frame 0 is silent
        for (int channel : {int(SOUND_CHANNELS), -2}) EXPECT_EQ(sound_StreamPlay(channel, streams[1]), 0) << channel;
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
