// The music in real time through SDL: without any device the dummy driver keeps the clock and the
// callbacks going (what is mixed is heard through the capture soundtrack in the other tests).
#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/console.h"
#include "sound/sound.h"
#include "sound/sound_layer.h"
#include "tests/sound/sound_test_util.h"

namespace {
class SoundDeviceTest : public SoundTest {
protected:
    void TearDown() override {
        SoundTest::TearDown();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    // Waits (up to a generous limit, so a slow machine only makes it slower) until the console
    // holds count copies of text. The mixing thread writes to the capture meanwhile, so each look
    // is at a string swapped out of the capture; at the end console holds all that was seen and
    // later lines go to a string nobody reads, so the test reads console safely.
    bool waitFor(const std::string &text, int count) {
        std::string seen;
        int copies = 0;
        for (int tries = 0; tries < 1500 && copies < count; ++tries) {
            if (tries) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::string batch;
            console_SetCapture(&batch);
            seen += console;
            console.clear();
            console_SetCapture(&console);
            seen += batch;
            copies = 0;
            for (size_t at = seen.find(text); at != std::string::npos; at = seen.find(text, at + 1)) ++copies;
        }
        console_SetCapture(&later);
        console.insert(0, seen);
        return copies >= count;
    }
    std::string later;
};

TEST_F(SoundDeviceTest, WithoutADeviceTheDummyDriverPlaysOnAndSaysSoOnce) {
    soundtest_WriteWav("tone.wav", soundtest_Signal(2205), 44100, {{0, "start"}});
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    soundtest_Init("tone.wav", "44100");
    EXPECT_STREQ(sound_DriverName(), "dummy");
    EXPECT_EQ(console.find("no audio device ("), 0u) << console;
    soundtest_Init("tone.wav", "22050"); // the device is opened again at another rate
    soundStream_Play();
    ASSERT_TRUE(waitFor("STREAM ENDED!!", 2));
    const std::string said = "the music plays silently on the dummy driver\n";
    size_t first = console.find(said);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(console.find(said, first + 1), std::string::npos);
    EXPECT_NE(console.find("\nSYNCHPOINT : \"start\"\n"), std::string::npos);
    EXPECT_EQ(sound_MixingRate(), 22050);
    // A reset shuts SDL's audio down: the next start looks for the device afresh.
    fresh();
    console_SetCapture(&console);
    soundtest_Init("tone.wav", "44100");
    EXPECT_EQ(console.find("no audio device ("), 0u) << console;
}
} // namespace
