// The author's options of the built vortan, run as a subprocess: --start against a show played
// from the beginning (frames and soundtrack), --watch picking up edits of the script during a
// capture, and --video through ffmpeg.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <png.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {
struct ShowRun {
    int status = -100;
    std::string err;
};

std::string quoted(const std::string &text) { return "'" + text + "'"; }

// Runs vortan in folder (which holds datas/) with arguments, prefix going before the command
// (environment settings). Xvfb now and then refuses a connection made right after the last one
// closed; such a run stops at once with its GL notice and is tried again.
ShowRun runVortan(const std::string &folder, const std::string &arguments, const std::string &prefix = "") {
    const std::string command =
        "cd " + quoted(folder) + " && " + prefix + " " VORTAN_EXE " " + arguments + " >out.txt 2>err.txt";
    ShowRun run;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? int(static_cast<signed char>(WEXITSTATUS(raw))) : -100;
        run.err = testfs_ReadFile(folder + "/err.txt");
        if (run.status != -1 || run.err.find("Error in GL init !") == std::string::npos) break;
    }
    return run;
}

std::string makeShow(const char *tag, const std::string &script) {
    const std::string dir = testfs_MakeTempDir(tag);
    std::system(("mkdir -p " + quoted(dir) + "/datas").c_str());
    testfs_WriteFile(dir + "/datas/opal.qlo", script);
    return dir;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // top row first
    const uint8_t *at(int x, int row) const { return &rgb[(size_t(row) * size_t(width) + size_t(x)) * 3]; }
};

bool readPng(const std::string &path, Picture *picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    picture->width = int(image.width);
    picture->height = int(image.height);
    picture->rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture->rgb.data(), 0, nullptr) != 0;
}

std::string framePath(const std::string &dir, int k) {
    char name[32];
    snprintf(name, sizeof name, "/frame-%05d.png", k);
    return dir + name;
}

bool exists(const std::string &path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

int countFrames(const std::string &dir) {
    int n = 0;
    while (exists(framePath(dir, n))) ++n;
    return n;
}

bool haveDisplay() { return getenv("DISPLAY") != nullptr; }

void putLe(std::string &out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
}

// An uncompressed 24-bit TGA of one colour (bottom row first, BGR).
std::string solidTga(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = char(width & 0xFF);
    tga[13] = char(width >> 8);
    tga[14] = char(height & 0xFF);
    tga[15] = char(height >> 8);
    tga[16] = 24;
    for (int i = 0; i < width * height; ++i) tga += std::string{char(b), char(g), char(r)};
    return tga;
}

// A mono 16-bit WAV of pseudo-random samples: every position in it is told apart by its samples.
std::string noiseWav(int rate, int frames) {
    std::string wav = "RIFF";
    putLe(wav, uint32_t(36 + frames * 2), 4);
    wav += "WAVEfmt ";
    putLe(wav, 16, 4);
    putLe(wav, 1, 2);
    putLe(wav, 1, 2);
    putLe(wav, uint32_t(rate), 4);
    putLe(wav, uint32_t(rate * 2), 4);
    putLe(wav, 2, 2);
    putLe(wav, 16, 2);
    wav += "data";
    putLe(wav, uint32_t(frames * 2), 4);
    uint32_t seed = 12345;
    for (int i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        putLe(wav, uint32_t(int16_t((seed >> 16) % 40000 - 20000)), 2);
    }
    return wav;
}

struct Soundtrack {
    int rate = 0;
    std::vector<int16_t> left; // the left channel of the stereo soundtrack
};

bool readSoundtrack(const std::string &path, Soundtrack *track) {
    const std::string bytes = testfs_ReadFile(path);
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0) return false;
    const auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
               uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
    };
    track->rate = int(u32(24));
    for (size_t at = 44; at + 4 <= bytes.size(); at += 4)
        track->left.push_back(int16_t(uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8)));
    return true;
}

// Every line of this show leaves the same picture however many frames came before it: colours,
// the gradient, the bars, a layer that does not fade or drift. "@setdemostart" moves the time
// stamps after it. Stamps after the start fall between frames, so both runs meet them on the
// same frame whatever the rounding of the clock.
const char *const FIXED_SHOW = "@setresourcedir 0|datas/\n"
                               "@glloadtextureslot 0|dot.tga|3|0\n"
                               "@glsetclearcolor 0.2|0.1|0.2|0.3\n"
                               "@glsetcurrentscene 0.4|0\n"
                               "@glsetcolor 0.6|0|0.9|0.2|0.1\n"
                               "@glsetcolor 0.7|1|0.1|0.3|0.8\n"
                               "@glsetbackground 0.8|1|1|0\n"
                               "@setdemostart 1.0|\n"
                               "@glsetcinemascope 0.3|1|10\n"
                               "@glsetlayerparam 0.6|2|dot.tga|1|0.5|1|1\n"
                               "@glsetlayerpos 0.7|2|0|0|320|240|200|100\n"
                               "@glsetclearcolor 1.35|0.5|0.5|0\n"
                               "@glsetlayerpos 1.75|2|1|0|100|100|100|100\n"
                               "@glsetcinemascope 1.85|0|0\n"
                               "@end 100\n";
} // namespace

TEST(AuthorStart, FramesOfALateStartEqualThoseOfTheWholeShow) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = makeShow("author-start", FIXED_SHOW);
    testfs_WriteFile(dir + "/datas/dot.tga", solidTga(8, 8, 40, 200, 90));
    const ShowRun whole = runVortan(dir, "--capture whole --fps 10 --duration 3.2 --resolution 320x240");
    ASSERT_EQ(whole.status, 0) << whole.err;
    // Started at 2.5 s: every line up to the clear colour of 1.0 + 1.35 runs before the first
    // frame; 2.75 and 2.85 bring the additive layer move and the bars' end in both runs.
    const ShowRun late = runVortan(dir, "--capture late --fps 10 --start 2.5 --duration 0.7 --resolution 320x240");
    ASSERT_EQ(late.status, 0) << late.err;
    ASSERT_EQ(countFrames(dir + "/whole"), 32);
    ASSERT_EQ(countFrames(dir + "/late"), 7);
    for (int k = 0; k < 7; ++k) {
        Picture expected, got;
        ASSERT_TRUE(readPng(framePath(dir + "/whole", 25 + k), &expected));
        ASSERT_TRUE(readPng(framePath(dir + "/late", k), &got));
        EXPECT_TRUE(expected.rgb == got.rgb) << "late frame " << k << " differs from frame " << 25 + k;
    }
    // The compared frames show what the lines made: the bars, the gradient, and the layer
    // darkening the middle of it.
    Picture first;
    ASSERT_TRUE(readPng(framePath(dir + "/late", 0), &first));
    EXPECT_EQ(first.at(160, 5)[0], 0);   // a bar: black
    EXPECT_EQ(first.at(160, 5)[1], 0);
    EXPECT_NE(first.at(5, 120)[2], 0);   // the gradient
    const uint8_t *middle = first.at(160, 120), *side = first.at(5, 120);
    EXPECT_NE(middle[0] + 256 * middle[1], side[0] + 256 * side[1]); // the layer over it

    // A start before the first line is the show from 0; a start past "@end" draws the end frame.
    const ShowRun past = runVortan(dir, "--capture past --fps 10 --start 200 --resolution 64x48");
    EXPECT_EQ(past.status, 0) << past.err;
    EXPECT_EQ(countFrames(dir + "/past"), 1);
    std::system(("rm -rf " + quoted(dir)).c_str());
}

TEST(AuthorStart, SoundtrackOfALateStartIsTheTailOfTheWholeOne) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    // The music starts at 0.5 s and is 2 s long: at 2.7 s it has looped once and plays 0.2 s in.
    const int rate = 22050;
    const std::string dir = makeShow("author-music", "@setresourcedir 0|datas/\n@initsound 0|m.wav|22050\n"
                                                     "@playsound 0.5|\n@end 100\n");
    testfs_WriteFile(dir + "/datas/m.wav", noiseWav(rate, 2 * rate));
    const ShowRun whole = runVortan(dir, "--capture whole --fps 10 --duration 4 --resolution 64x48");
    ASSERT_EQ(whole.status, 0) << whole.err;
    const ShowRun late = runVortan(dir, "--capture late --fps 10 --start 2.7 --duration 1 --resolution 64x48");
    ASSERT_EQ(late.status, 0) << late.err;
    Soundtrack full, tail;
    ASSERT_TRUE(readSoundtrack(dir + "/whole/soundtrack.wav", &full));
    ASSERT_TRUE(readSoundtrack(dir + "/late/soundtrack.wav", &tail));
    ASSERT_EQ(full.rate, rate);
    ASSERT_EQ(tail.rate, rate);
    ASSERT_EQ(full.left.size(), size_t(4 * rate));
    ASSERT_EQ(tail.left.size(), size_t(rate));
    // Find where the late soundtrack lies in the whole one, within a frame of 2.7 s.
    const long expectedAt = lround(2.7 * rate), frame = rate / 10;
    long bestAt = -1;
    size_t bestEqual = 0;
    for (long at = expectedAt - frame; at <= expectedAt + frame; ++at) {
        size_t equal = 0;
        for (size_t i = 0; i < tail.left.size() && size_t(at) + i < full.left.size(); ++i)
            equal += tail.left[i] == full.left[size_t(at) + i];
        if (equal > bestEqual) {
            bestEqual = equal;
            bestAt = at;
        }
    }
    EXPECT_EQ(bestEqual, tail.left.size()) << "best match at sample " << bestAt;
    EXPECT_EQ(bestAt, expectedAt);
    // Not silence that matches silence: the music is there.
    size_t loud = 0;
    for (int16_t sample : tail.left) loud += std::abs(int(sample)) > 1000;
    EXPECT_GT(loud, tail.left.size() / 2);
    std::system(("rm -rf " + quoted(dir)).c_str());
}

namespace {
// Waits up to seconds for path to exist / for text to appear in a file.
bool waitFor(const std::string &path, double seconds) {
    for (int i = 0; i < int(seconds * 50); ++i) {
        if (exists(path)) return true;
        usleep(20000);
    }
    return false;
}

bool waitForText(const std::string &path, const std::string &text, double seconds) {
    for (int i = 0; i < int(seconds * 50); ++i) {
        if (testfs_ReadFile(path).find(text) != std::string::npos) return true;
        usleep(20000);
    }
    return false;
}

// Replaces the file whole, so the show never reads half of it.
void replaceFile(const std::string &path, const std::string &content) {
    testfs_WriteFile(path + ".new", content);
    rename((path + ".new").c_str(), path.c_str());
}
} // namespace

TEST(AuthorWatch, AnEditedScriptIsReloadedAndABrokenOneIsNot) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = makeShow("author-watch", "@glsetclearcolor 0|1|0|0\n@glsetclearcolor 200|0|0|1\n@end 1000\n");
    const std::string script = dir + "/datas/opal.qlo";
    // The time limit only keeps a broken reload from running on for long.
    std::system(("cd " + quoted(dir) + " && (" VORTAN_EXE " --watch --capture shots --fps 10 --duration 400"
                 " --resolution 64x48 >out.txt 2>err.txt; echo $? >status.txt) &")
                    .c_str());
    ASSERT_TRUE(waitFor(dir + "/shots/frame-00010.png", 30)) << testfs_ReadFile(dir + "/err.txt");
    // A script that does not compile is reported and the show goes on with the old one: its
    // blue line of 200 s still comes.
    replaceFile(script, "@glsetclearcolor 0|1|1|1\n@glnosuchthing 0|1\n@end 1000\n");
    ASSERT_TRUE(waitForText(dir + "/err.txt", " error; the show goes on unchanged", 30)) << testfs_ReadFile(dir + "/err.txt");
    ASSERT_TRUE(waitFor(dir + "/shots/frame-02010.png", 60));
    // The fixed one is loaded and replayed up to the time reached; its "@end" is due at once.
    replaceFile(script, "@glsetclearcolor 0|0|1|0\n@end 0\n");
    ASSERT_TRUE(waitFor(dir + "/status.txt", 60));
    EXPECT_TRUE(waitForText(dir + "/status.txt", "0\n", 5));
    const std::string err = testfs_ReadFile(dir + "/err.txt");
    EXPECT_NE(err.find("datas/opal.qlo:2: error: unknown command '@glnosuchthing'\n"), std::string::npos) << err;
    const std::string refused = "vortan: datas/opal.qlo not reloaded at ";
    const size_t refusedAt = err.find(refused);
    ASSERT_NE(refusedAt, std::string::npos) << err;
    EXPECT_LT(atof(err.c_str() + refusedAt + refused.size()), 200.0);
    const std::string reloaded = "vortan: reloaded datas/opal.qlo at ";
    const size_t at = err.find(reloaded);
    ASSERT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.find("vortan: reloaded", at + 1), std::string::npos) << "one reload only";
    // On the capture clock the script is looked at every 0.5 s of show time: the reload falls on
    // a frame k = 5 n, drawn green, the last one.
    const double reloadTime = atof(err.c_str() + at + reloaded.size());
    const int reloadFrame = int(lround(reloadTime * 10));
    EXPECT_EQ(reloadFrame % 5, 0) << reloadTime;
    EXPECT_GT(reloadFrame, 2010);
    ASSERT_EQ(countFrames(dir + "/shots"), reloadFrame + 1);
    const struct {
        int frame;
        uint8_t rgb[3];
    } expected[] = {{0, {255, 0, 0}},    {1999, {255, 0, 0}},           {2000, {0, 0, 255}},
                    {2010, {0, 0, 255}}, {reloadFrame - 1, {0, 0, 255}}, {reloadFrame, {0, 255, 0}}};
    for (const auto &e : expected) {
        Picture picture;
        ASSERT_TRUE(readPng(framePath(dir + "/shots", e.frame), &picture)) << e.frame;
        for (int c = 0; c < 3; ++c) EXPECT_EQ(picture.at(30, 20)[c], e.rgb[c]) << "frame " << e.frame;
    }
    std::system(("rm -rf " + quoted(dir)).c_str());
}

TEST(AuthorVideo, FramesAndSoundtrackBecomeAnH264AacVideo) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = makeShow("author-video", "@setresourcedir 0|datas/\n@initsound 0|m.wav|22050\n"
                                                     "@playsound 0.2|\n@glsetclearcolor 1|0|0|1\n@end 100\n");
    testfs_WriteFile(dir + "/datas/m.wav", noiseWav(22050, 22050));
    std::system(("mkdir -p " + quoted(dir) + "/tmp").c_str());

    // Without ffmpeg on the PATH: what to install, and the frames and soundtrack kept where said.
    const ShowRun without = runVortan(dir, "--video none.mp4 --fps 25 --duration 0.4 --resolution 64x48",
                                  "TMPDIR=" + quoted(dir + "/tmp") + " PATH=/nonexistent");
    EXPECT_EQ(without.status, 4) << without.err;
    EXPECT_NE(without.err.find("apt-get install ffmpeg"), std::string::npos) << without.err;
    const std::string marker = "the frames and the soundtrack are in ";
    const size_t at = without.err.find(marker);
    ASSERT_NE(at, std::string::npos) << without.err;
    const std::string kept = without.err.substr(at + marker.size(), without.err.find('\n', at) - at - marker.size());
    EXPECT_EQ(kept.rfind(dir + "/tmp/", 0), 0u) << kept;
    EXPECT_EQ(countFrames(kept), 10);
    EXPECT_TRUE(exists(kept + "/soundtrack.wav"));
    EXPECT_FALSE(exists(dir + "/none.mp4"));

    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg not installed";
    // Alone: a temporary folder, removed once the video is made; a name with a blank.
    std::system(("rm -rf " + quoted(dir + "/tmp") + " && mkdir " + quoted(dir + "/tmp")).c_str());
    const ShowRun alone = runVortan(dir, "--video 'my show.mp4' --fps 25 --duration 2 --resolution 96x64",
                                "TMPDIR=" + quoted(dir + "/tmp"));
    ASSERT_EQ(alone.status, 0) << alone.err;
    const std::string probe = dir + "/probe.txt";
    std::system(("ffprobe -v error -count_frames -show_entries stream=codec_type,codec_name,nb_read_frames"
                 ":format=duration -of default=noprint_wrappers=1 " +
                 quoted(dir + "/my show.mp4") + " >" + quoted(probe))
                    .c_str());
    const std::string info = testfs_ReadFile(probe);
    EXPECT_NE(info.find("codec_name=h264\ncodec_type=video\nnb_read_frames=50\n"), std::string::npos) << info;
    EXPECT_NE(info.find("codec_name=aac\ncodec_type=audio\n"), std::string::npos) << info;
    const size_t durationAt = info.find("duration=");
    ASSERT_NE(durationAt, std::string::npos) << info;
    EXPECT_NEAR(atof(info.c_str() + durationAt + 9), 2.0, 0.05) << info;
    EXPECT_EQ(std::system(("rmdir " + quoted(dir + "/tmp")).c_str()), 0) << "the temporary folder is left";

    // With --capture the frames stay where asked; an odd window size is padded for x264.
    const ShowRun kept2 = runVortan(dir, "--capture frames --video v.mp4 --fps 10 --duration 1 --resolution 65x49");
    ASSERT_EQ(kept2.status, 0) << kept2.err;
    EXPECT_EQ(countFrames(dir + "/frames"), 10);
    EXPECT_TRUE(exists(dir + "/frames/soundtrack.wav"));
    std::system(("ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 " + quoted(dir + "/v.mp4") + " >" +
                 quoted(probe))
                    .c_str());
    EXPECT_EQ(testfs_ReadFile(probe), "66,50\n");
    std::system(("rm -rf " + quoted(dir) + " " + quoted(kept)).c_str());
}
