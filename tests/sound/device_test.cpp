// The music heard in real time through SDL: the disk driver records what the device callback
// mixed, and without any device the dummy driver keeps the clock and the callbacks going.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "sound/sound.h"
#include "sound/sound_layer.h"
#include "startup/console.h"
#include "tests/sound/sound_test_util.h"

namespace {
// Waits (up to a generous limit, so a slow machine only makes it slower) until the console
// holds count copies of text. The mixing thread writes to the capture while this runs, so the
// capture is swapped for a fresh string before each look: the one swapped out is no longer
// written. Everything seen ends up in console again.
bool waitFor(std::string &console, const std::string &text, int count) {
    std::string seen;
    bool found = false;
    for (int tries = 0; tries < 1500 && !found; ++tries) {
        std::string batch;
        console_SetCapture(&batch);
        seen += console;
        console.clear();
        console_SetCapture(&console);
        seen += batch;
        int copies = 0;
        for (size_t at = seen.find(text); at != std::string::npos; at = seen.find(text, at + 1)) ++copies;
        found = copies >= count;
        if (!found) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Lines that came while the last batch was read are in console; put the earlier ones first.
    std::string batch;
    console_SetCapture(&batch);
    console = seen + console;
    console_SetCapture(&console);
    console += batch;
    return found;
}

class SoundDeviceTest : public SoundTest {
protected:
    void TearDown() override {
        SoundTest::TearDown();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
};

TEST_F(SoundDeviceTest, DiskDriverHearsTheFileSampleIdenticalAndLooping) {
    const size_t length = 8820; // 0.2 s
    std::vector<int16_t> source = soundtest_Signal(length);
    soundtest_WriteWav("tone.wav", source, 44100, {{4410, "middle"}});
    const std::string raw = cwd.path + "/device.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    soundtest_SetParams("tone.wav", "44100");
    soundStream_Init();
    ASSERT_STREQ(sound_DriverName(), "disk");
    soundStream_Play();
    ASSERT_TRUE(waitFor(console, "STREAM ENDED!!", 3));
    soundStream_Close(); // stops the device, so the file is complete
    std::vector<std::string> events = soundtest_Events(console);
    ASSERT_GE(events.size(), 6u);
    events.resize(6);
    EXPECT_EQ(events, (std::vector<std::string>{"middle", "END", "middle", "END", "middle", "END"}));

    std::string bytes = testfs_ReadFile(raw);
    std::vector<int16_t> heard(bytes.size() / 2);
    memcpy(heard.data(), bytes.data(), heard.size() * 2);
    size_t start = 0;
    while (start < heard.size() / 2 && heard[2 * start] == 0 && heard[2 * start + 1] == 0) ++start;
    ASSERT_GE(heard.size() / 2, start + 2 * length) << "two passes were mixed before the close";
    for (size_t i = 0; i < 2 * length; ++i) {
        size_t at = i % length;
        ASSERT_EQ(heard[2 * (start + i)], source[2 * at]) << "frame " << i;
        ASSERT_EQ(heard[2 * (start + i) + 1], source[2 * at + 1]) << "frame " << i;
    }
}

TEST_F(SoundDeviceTest, WithoutADeviceTheDummyDriverPlaysOnAndSaysSoOnce) {
    soundtest_WriteWav("tone.wav", soundtest_Signal(2205), 44100, {{0, "start"}});
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    soundtest_SetParams("tone.wav", "44100");
    soundStream_Init();
    EXPECT_STREQ(sound_DriverName(), "dummy");
    const std::string said = "the music plays silently on the dummy driver\n";
    EXPECT_EQ(console.find("no audio device ("), 0u) << console;
    soundtest_SetParams("tone.wav", "22050"); // the device is opened again at another rate
    soundStream_Init();
    soundStream_Play();
    ASSERT_TRUE(waitFor(console, "STREAM ENDED!!", 2));
    size_t first = console.find(said);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(console.find(said, first + 1), std::string::npos);
    EXPECT_NE(console.find("\nSYNCHPOINT : \"start\"\n"), std::string::npos);
    EXPECT_EQ(sound_MixingRate(), 22050);
}
} // namespace
