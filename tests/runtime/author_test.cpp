// The author's options of the built vortan, run as a subprocess: --start against a show played
// from the beginning (frames and soundtrack), --watch picking up edits of the script and its
// files, the transport keys and the HUD in a window, sync-point names, and --video.
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/vortan_run.h"
#include "tools/musicgen/musicgen.h"
#include "tools/texgen/tga_write.h"

namespace {
// A mono 16-bit WAV of pseudo-random samples: every position in it is told apart by its samples.
std::string noiseWav(int rate, int frames, const std::vector<MusicCue> &cues = {}) {
    std::vector<int16_t> samples;
    uint32_t seed = 12345;
    for (int i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        samples.push_back(int16_t(int((seed >> 16) % 40000) - 20000));
    }
    return musicgen_WavBytes(samples.data(), size_t(frames), 1, rate, cues);
}

// The left channel of a stereo 16-bit soundtrack written by the capture (44-byte header).
std::vector<int16_t> leftChannel(const std::string &path, int *rate) {
    const std::string bytes = testfs_ReadFile(path);
    std::vector<int16_t> left;
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0) return left;
    const auto u16 = [&](size_t at) { return uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8); };
    *rate = u16(24) | u16(26) << 16;
    for (size_t at = 44; at + 4 <= bytes.size(); at += 4) left.push_back(int16_t(u16(at)));
    return left;
}

// The colour at x, y of frame k in folder, or nothing when the frame cannot be read.
std::vector<int> framePixel(const std::string &folder, int k, int x, int y) {
    Picture picture;
    if (!vrun_ReadPng(vrun_Frame(folder, k), &picture)) return {};
    return std::vector<int>(picture.at(x, y), picture.at(x, y) + 3);
}

// An 8 x 8 picture of one colour, written whole under its name.
bool writeDot(const std::string &path, std::vector<uint8_t> rgb) {
    std::vector<uint8_t> texels;
    for (int i = 0; i < 64; ++i) texels.insert(texels.end(), rgb.begin(), rgb.end());
    const bool saved = tgawrite_Save((path + ".new").c_str(), texels.data(), 8, 8, 3, TgaWriteOptions{});
    return saved && rename((path + ".new").c_str(), path.c_str()) == 0;
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

TEST(AuthorStart, FramesAndSoundtrackOfALateStartEqualThoseOfTheWholeShow) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = vrun_MakeShow("author-start", FIXED_SHOW);
    ASSERT_TRUE(writeDot(dir + "/datas/dot.tga", {40, 200, 90}));
    const VortanRun whole = vrun_Run(dir, "--capture whole --fps 10 --duration 3.2 --resolution 320x240");
    ASSERT_EQ(whole.status, 0) << whole.err;
    // Started at script time 1.5 s, 2.5 s on the clock after "@setdemostart" at 1.0: every line
    // up to the clear colour of 1.35 runs before the first frame; script times 1.75 and 1.85
    // bring the additive layer move and the bars' end in both runs.
    const VortanRun late = vrun_Run(dir, "--capture late --fps 10 --start 1.5 --duration 0.7 --resolution 320x240");
    ASSERT_EQ(late.status, 0) << late.err;
    ASSERT_EQ(vrun_CountFrames(dir + "/whole"), 32);
    EXPECT_NE(late.err.find("starting at script time 1.500 s: clock 2.500 s, frame 25 of the show at 10 fps"),
              std::string::npos) << late.err;
    ASSERT_EQ(vrun_CountFrames(dir + "/late"), 7);
    for (int k = 0; k < 7; ++k) {
        Picture expected, got;
        ASSERT_TRUE(vrun_ReadPng(vrun_Frame(dir + "/whole", 25 + k), &expected));
        ASSERT_TRUE(vrun_ReadPng(vrun_Frame(dir + "/late", k), &got));
        EXPECT_TRUE(expected.rgb == got.rgb) << "late frame " << k << " differs from frame " << 25 + k;
    }
    // A start past "@end" draws the end frame.
    const VortanRun past = vrun_Run(dir, "--capture past --fps 10 --start 200 --resolution 64x48");
    EXPECT_EQ(past.status, 0) << past.err;
    EXPECT_EQ(vrun_CountFrames(dir + "/past"), 1);

    // The music starts at 0.5 s and is 2 s long: at 2.7 s it has looped once and plays 0.2 s
    // in, and the late soundtrack is the tail of the whole one from there.
    const int rate = 22050;
    testfs_WriteFile(dir + "/datas/opal.qlo", "@setresourcedir 0|datas/\n@initsound 0|m.wav|22050\n"
                                              "@playsound 0.5|\n@end 100\n");
    testfs_WriteFile(dir + "/datas/m.wav", noiseWav(rate, 2 * rate));
    ASSERT_EQ(vrun_Run(dir, "--capture whole2 --fps 10 --duration 4 --resolution 64x48").status, 0);
    ASSERT_EQ(vrun_Run(dir, "--capture late2 --fps 10 --start 2.7 --duration 1 --resolution 64x48").status, 0);
    int fullRate = 0, tailRate = 0;
    const std::vector<int16_t> full = leftChannel(dir + "/whole2/soundtrack.wav", &fullRate);
    const std::vector<int16_t> tail = leftChannel(dir + "/late2/soundtrack.wav", &tailRate);
    EXPECT_TRUE(fullRate == rate && tailRate == rate) << fullRate << " " << tailRate;
    ASSERT_EQ(full.size(), size_t(4 * rate));
    ASSERT_EQ(tail.size(), size_t(rate));
    const size_t at = size_t(lround(2.7 * rate));
    size_t equal = 0, loud = 0; // loud: not silence that matches silence
    for (size_t i = 0; i < tail.size(); ++i) {
        equal += tail[i] == full[at + i];
        loud += std::abs(int(tail[i])) > 1000;
    }
    EXPECT_EQ(equal, tail.size());
    EXPECT_GT(loud, tail.size() / 2);
    std::system(("rm -rf " + vrun_Quoted(dir)).c_str());
}

namespace {
// Waits up to seconds for done() to hold.
template <typename Done> bool waitUntil(Done done, double seconds) {
    for (int i = 0; i < int(seconds * 50); ++i, usleep(20000))
        if (done()) return true;
    return false;
}

// A test that path holds text, for waitUntil.
auto holds(const std::string &path, const std::string &text) {
    return [=] { return testfs_ReadFile(path).find(text) != std::string::npos; };
}

// Replaces the file whole, so the show never reads half of it.
void replaceFile(const std::string &path, const std::string &content) {
    testfs_WriteFile(path + ".new", content);
    rename((path + ".new").c_str(), path.c_str());
}

// The number printed after text in err, or -1 when text is not there.
double numberAfter(const std::string &err, const std::string &text) {
    const size_t at = err.find(text);
    return at == std::string::npos ? -1 : atof(err.c_str() + at + text.size());
}

// "ffprobe -of default" lines for the given entries of a video.
std::string probe(const std::string &video, const std::string &entries) {
    const std::string out = video + ".probe";
    std::system(("ffprobe -v error " + entries + " -of default=noprint_wrappers=1 " + vrun_Quoted(video) + " >" +
                 vrun_Quoted(out)).c_str());
    return testfs_ReadFile(out);
}
} // namespace

TEST(AuthorWatch, AnEditedScriptIsReloadedAndABrokenOneIsNot) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = vrun_MakeShow("author-watch", "@glsetclearcolor 0|1|0|0\n@glsetclearcolor 200|0|0|1\n@end 1000\n");
    const std::string script = dir + "/datas/opal.qlo", err = dir + "/err.txt";
    // The time limit only keeps a broken reload from running on for long.
    std::system(("cd " + vrun_Quoted(dir) + " && (" VORTAN_EXE " --watch --capture shots --fps 10 --duration 400"
                 " --resolution 64x48 >out.txt 2>err.txt; echo exit $? >status.txt) &").c_str());
    ASSERT_TRUE(waitUntil(holds(dir + "/shots/frame-00010.png", "PNG"), 30)) << testfs_ReadFile(err);
    // A script that does not compile is reported and the show goes on with the old one: its
    // blue line of 200 s still comes.
    replaceFile(script, "@glsetclearcolor 0|1|1|1\n@glnosuchthing 0|1\n@end 1000\n");
    ASSERT_TRUE(waitUntil(holds(err, " error; the show goes on unchanged"), 30)) << testfs_ReadFile(err);
    ASSERT_TRUE(waitUntil(holds(dir + "/shots/frame-02010.png", "PNG"), 60));
    // An empty file (an editor's save caught between truncating and writing) is not played.
    replaceFile(script, "");
    ASSERT_TRUE(waitUntil(holds(err, "not reloaded: the file is empty"), 30)) << testfs_ReadFile(err);
    // The fixed one is loaded and replayed up to the time reached; its "@end" is due at once.
    replaceFile(script, "@glsetclearcolor 0|0|1|0\n@end 0\n");
    ASSERT_TRUE(waitUntil(holds(dir + "/status.txt", "exit 0\n"), 60));
    const std::string text = testfs_ReadFile(err);
    EXPECT_NE(text.find("datas/opal.qlo:2: error: unknown command '@glnosuchthing'\n"), std::string::npos) << text;
    const double refusedAt = numberAfter(text, "vortan: datas/opal.qlo not reloaded at ");
    EXPECT_TRUE(refusedAt > 0 && refusedAt < 200.0) << text;
    const double reloadTime = numberAfter(text, "vortan: reloaded datas/opal.qlo at ");
    ASSERT_GT(reloadTime, 0) << text;
    EXPECT_EQ(text.find("vortan: reloaded", text.find("vortan: reloaded") + 1), std::string::npos) << "one reload only";
    // On the capture clock the script is looked at every 0.5 s of show time: the reload falls on
    // a frame k = 5 n, drawn green, the last one.
    const int reloadFrame = int(lround(reloadTime * 10));
    EXPECT_EQ(reloadFrame % 5, 0) << reloadTime;
    EXPECT_GT(reloadFrame, 2010);
    ASSERT_EQ(vrun_CountFrames(dir + "/shots"), reloadFrame + 1);
    for (auto [frame, red, green, blue] : {std::tuple{0, 255, 0, 0}, {1999, 255, 0, 0}, {2000, 0, 0, 255},
                                           {reloadFrame - 1, 0, 0, 255}, {reloadFrame, 0, 255, 0}})
        EXPECT_EQ(framePixel(dir + "/shots", frame, 30, 20), (std::vector<int>{red, green, blue})) << "frame " << frame;
    std::system(("rm -rf " + vrun_Quoted(dir)).c_str());
}

TEST(AuthorVideo, FramesAndSoundtrackBecomeAnH264AacVideo) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = vrun_MakeShow("author-video", "@setresourcedir 0|datas/\n@initsound 0|m.wav|22050\n"
                                                          "@playsound 0.2|\n@glsetclearcolor 1|0|0|1\n@end 100\n");
    testfs_WriteFile(dir + "/datas/m.wav", noiseWav(22050, 22050));
    const std::string tmp = "TMPDIR=" + vrun_Quoted(dir + "/tmp");
    std::system(("mkdir -p " + vrun_Quoted(dir) + "/tmp").c_str());

    // Without ffmpeg on the PATH: said before the run, what to install, nothing made.
    const VortanRun without = vrun_Run(dir, "--video none.mp4 --fps 25 --duration 0.4 --resolution 64x48",
                                       tmp + " PATH=/nonexistent");
    EXPECT_EQ(without.status, 4) << without.err;
    EXPECT_NE(without.err.find("apt-get install ffmpeg"), std::string::npos) << without.err;
    EXPECT_EQ(without.err.find("frames drawn"), std::string::npos) << without.err;
    EXPECT_FALSE(vrun_Exists(dir + "/none.mp4"));

    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg not installed";
    // Alone: a temporary folder, removed once the video is made; a name with a blank.
    std::system(("rm -rf " + vrun_Quoted(dir + "/tmp") + " && mkdir " + vrun_Quoted(dir + "/tmp")).c_str());
    const VortanRun alone = vrun_Run(dir, "--video 'my show.mp4' --fps 25 --duration 2 --resolution 96x64", tmp);
    ASSERT_EQ(alone.status, 0) << alone.err;
    const std::string info = probe(dir + "/my show.mp4", "-count_frames -show_entries "
                                                         "stream=codec_type,codec_name,nb_read_frames:format=duration");
    EXPECT_NE(info.find("codec_name=h264\ncodec_type=video\nnb_read_frames=50\n"), std::string::npos) << info;
    EXPECT_NE(info.find("codec_name=aac\ncodec_type=audio\n"), std::string::npos) << info;
    EXPECT_NEAR(numberAfter(info, "duration="), 2.0, 0.05) << info;
    EXPECT_EQ(std::system(("rmdir " + vrun_Quoted(dir + "/tmp")).c_str()), 0) << "the temporary folder is left";
    EXPECT_EQ(vrun_CountFrames(dir), 0);

    // With --capture the frames stay where asked, in a folder that holds this run only (a "%"
    // in its name is no pattern to ffmpeg); an odd window size is padded for x264.
    const std::string frames = dir + "/50% frames";
    std::system(("mkdir " + vrun_Quoted(frames)).c_str());
    for (int k = 0; k < 259; ++k) testfs_WriteFile(vrun_Frame(frames, k), "an earlier run's frame");
    testfs_WriteFile(frames + "/notes.txt", "old");
    const VortanRun captured = vrun_Run(dir, "--capture '50% frames' --video v.mp4 --fps 10 --duration 1 --resolution 65x49");
    ASSERT_EQ(captured.status, 0) << captured.err;
    EXPECT_EQ(vrun_CountFrames(frames), 10);
    EXPECT_GT(testfs_ReadFile(frames + "/soundtrack.wav").size(), 44u);
    EXPECT_TRUE(vrun_Exists(frames + "/notes.txt"));
    const std::string video = probe(dir + "/v.mp4", "-select_streams v:0 -show_entries stream=width,height:format=duration");
    EXPECT_NE(video.find("width=66\nheight=50\n"), std::string::npos) << video;
    EXPECT_NEAR(numberAfter(video, "duration="), 1.0, 0.05) << video;
    std::system(("rm -rf " + vrun_Quoted(dir)).c_str());
}

namespace {
// Starts vortan with arguments in dir in the background (exit status to status.txt); the id of
// its window, found by its process id, or "" when none comes.
std::string startInWindow(const std::string &dir, const std::string &arguments, const char *tag) {
    const std::string pid = dir + "/" + tag + ".pid", id = dir + "/" + tag + ".window";
    std::system(("cd " + vrun_Quoted(dir) + " && (" VORTAN_EXE " " + arguments + " >" + tag + ".out 2>" + tag +
                 ".err & echo $! >" + tag + ".pid; wait $!; echo exit $? >" + tag + ".status) &").c_str());
    if (!waitUntil(holds(pid, "\n"), 30)) return "";
    // Looked for while the process lives: a short capture may end before its window is found.
    const std::string p = testfs_ReadFile(pid).substr(0, testfs_ReadFile(pid).find('\n'));
    std::system(("for i in $(seq 300); do kill -0 " + p + " 2>/dev/null || break; xdotool search --pid " + p +
                 " 2>/dev/null | head -1 >" + vrun_Quoted(id) + "; [ -s " + vrun_Quoted(id) + " ] && break; sleep 0.2; done").c_str());
    const std::string window = testfs_ReadFile(id);
    return window.substr(0, window.find('\n'));
}

// A window show driven by keys (xdotool); the trace log tells where each transport event landed.
struct WindowShow {
    std::string dir, window;
    // Another window opened and closed leaves the keyboard focus nowhere: it is given back first.
    void key(const char *keys) const {
        std::system(("(xdotool windowfocus " + window + "; xdotool key --window " + window + " " + keys + ") 2>/dev/null").c_str());
    }
    // Waits for the trace log to hold text; the script time it landed on (-1: none given, -2: the
    // text did not come).
    double landed(const std::string &text, int n = 1) const {
        double at = -2;
        waitUntil([&] {
            const std::string log = testfs_ReadFile(dir + "/_vor_.log");
            size_t pos = 0;
            for (int i = 0; i < n && pos != std::string::npos; ++i) pos = log.find(text, i ? pos + 1 : 0);
            if (pos == std::string::npos) return false;
            at = numberAfter(log.substr(pos), text + " at ");
            return true;
        }, 60);
        return at;
    }
    Picture shot(const char *name) const {
        Picture picture;
        const std::string path = dir + "/" + name;
        // A busy machine may hand back a window not yet redrawn (all black): every frame here has
        // a coloured background, so take the picture again until it shows one.
        for (int tries = 0; tries < 25; ++tries, usleep(200000)) {
            std::system(("import -window " + window + " png24:" + vrun_Quoted(path)).c_str());
            if (vrun_ReadPng(path, &picture) && std::any_of(picture.rgb.begin(), picture.rgb.end(), [](uint8_t v) { return v != 0; }))
                break;
        }
        return picture;
    }
};

std::vector<int> rgbAt(const Picture &picture, int x, int y) {
    return std::vector<int>(picture.at(x, y), picture.at(x, y) + 3);
}
} // namespace

TEST(AuthorTransport, KeysPauseSeekJumpLoopAndHoldTheEndAndAChangedPictureIsReloaded) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = vrun_MakeShow("author-keys", "@setresourcedir 0|datas/\n"
                                                          "@glloadtextureslot 0|dot.tga|3|1\n"
                                                          "@glsetclearcolor 0|1|0|0\n@glsetcurrentscene 0|0\n"
                                                          "@glsetlayerparam 0|2|dot.tga|1|1|1|1\n"
                                                          "@glsetlayerpos 0|2|1|0|320|240|200|200\n"
                                                          "(one\n@glsetclearcolor 2|0|1|0\n)\n"
                                                          "(two\n@glsetclearcolor 4|0|0|1\n)\n@end 6\n");
    ASSERT_TRUE(writeDot(dir + "/datas/dot.tga", {0, 0, 200}));
    const WindowShow show{dir, startInWindow(dir, "--no-dialog --watch --resolution 160x120", "show")};
    ASSERT_FALSE(show.window.empty());
    ASSERT_EQ(show.landed("start Mainloop"), -1.0);
    // Paused, Home and Right land where the keys say, on the 60 fps grid of --start; Page Down
    // and Page Up go to the starts of the sections after and before the current one.
    show.key("space");
    EXPECT_GE(show.landed("transport pause"), 0.0);
    show.key("Home Right");
    EXPECT_EQ(show.landed("transport restart to 0.000 s"), 0.0);
    EXPECT_EQ(show.landed("transport seek to 1.000 s"), 1.0);
    show.key("Next");
    EXPECT_EQ(show.landed("transport next section to 4.000 s"), 4.0);
    show.key("Prior l");
    EXPECT_EQ(show.landed("transport previous section to 2.000 s"), 2.0);
    EXPECT_GE(show.landed("transport loop 2.000-4.000 s on"), 0.0);
    // The paused frame is the first frame of --start 2, pixel for pixel; the HUD (F1) draws over
    // it in the window only.
    show.key("F1");
    EXPECT_GE(show.landed("transport hud on"), 0.0);
    usleep(300000);
    const Picture withHud = show.shot("hud.png");
    show.key("F1");
    show.landed("transport hud off");
    usleep(300000);
    const Picture paused = show.shot("paused.png");
    // The capture runs in a folder of its own (its trace log is its own); F1 there changes nothing.
    const std::string other = dir + "/other";
    std::system(("mkdir " + vrun_Quoted(other) + " && cp -r " + vrun_Quoted(dir + "/datas") + " " + vrun_Quoted(other)).c_str());
    const WindowShow capture{other, startInWindow(other, "--capture cap --fps 60 --start 2 --duration 3.9 "
                                                         "--resolution 160x120", "cap")};
    ASSERT_TRUE(waitUntil(holds(other + "/cap/frame-00002.png", "PNG"), 60));
    capture.key("F1");
    ASSERT_TRUE(waitUntil(holds(other + "/cap.status", "exit 0\n"), 60));
    Picture first;
    ASSERT_TRUE(vrun_ReadPng(vrun_Frame(other + "/cap", 0), &first));
    EXPECT_TRUE(paused.rgb == first.rgb) << "the paused frame after the seek differs from --start's";
    EXPECT_EQ(rgbAt(paused, 2, 2), (std::vector<int>{0, 255, 0}));
    EXPECT_NE(rgbAt(withHud, 2, 2), rgbAt(paused, 2, 2)) << "no HUD band";
    size_t text = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 160; ++x) text += withHud.at(x, y)[0] > 200 && withHud.at(x, y)[1] > 200;
    EXPECT_GT(text, 20u) << "no HUD text";
    for (int k = 0; k < 234; k += 9)
        EXPECT_EQ(framePixel(other + "/cap", k, 2, 2), (std::vector<int>{0, k < 120 ? 255 : 0, k < 120 ? 0 : 255})) << "HUD in frame " << k;
    // Played on, the loop brings the show back from 4 to 2; off again, it plays to "@end" and holds
    // there (--watch), and a changed picture is reloaded into the held frame.
    show.key("space");
    EXPECT_EQ(show.landed("transport resume"), 2.0);
    EXPECT_EQ(show.landed("transport loop back to 2.000 s"), 2.0);
    show.key("l");
    show.landed("transport loop off");
    EXPECT_GE(show.landed("transport hold at the end"), 6.0);
    const std::vector<int> oldDot = rgbAt(show.shot("end.png"), 80, 60);
    ASSERT_TRUE(writeDot(dir + "/datas/dot.tga", {200, 200, 0}));
    ASSERT_TRUE(waitUntil(holds(dir + "/show.err", "datas/dot.tga changed"), 30)) << testfs_ReadFile(dir + "/show.err");
    usleep(300000);
    EXPECT_EQ(rgbAt(show.shot("reloaded.png"), 80, 60), (std::vector<int>{200, 200, 255})) << "was " << oldDot[0];
    EXPECT_EQ(oldDot, (std::vector<int>{0, 0, 255}));
    show.key("Escape");
    ASSERT_TRUE(waitUntil(holds(dir + "/show.status", "exit 0\n"), 30));
    std::system(("rm -rf " + vrun_Quoted(dir)).c_str());
}

TEST(AuthorCues, SyncPointNamesStandForTheirSecondsInStampsStartAndCheck) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = vrun_MakeShow("author-cues", "@setresourcedir 0|datas/\n@initsound 0|m.wav|22050\n"
                                                          "@playsound 0|\n@glsetclearcolor nosuch|0|1|0\n"
                                                          "@glsetclearcolor hit|1|0|0\n@glsetclearcolor hit+0.3|0|0|1\n"
                                                          "@end late-0.5\n");
    testfs_WriteFile(dir + "/datas/m.wav", noiseWav(22050, 2 * 22050, {{12127, "hit"}, {33075, "late"}}));
    // "hit" is at 0.55 s, "late" at 1.5 s: at 10 fps red comes on frame 6, blue on frame 9 and
    // the end on frame 10; the unknown name reads as 0 and is reported.
    const VortanRun run = vrun_Run(dir, "--capture cap --fps 10 --resolution 64x48");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("script line 4: time stamp 'nosuch' names no sync point of the music, read as 0 "
                           "(sync points: hit, late)"), std::string::npos) << run.err;
    EXPECT_EQ(vrun_CountFrames(dir + "/cap"), 11);
    for (auto [frame, red, green, blue] : {std::tuple{5, 0, 255, 0}, {6, 255, 0, 0}, {8, 255, 0, 0}, {9, 0, 0, 255}})
        EXPECT_EQ(framePixel(dir + "/cap", frame, 5, 5), (std::vector<int>{red, green, blue})) << "frame " << frame;
    const VortanRun late = vrun_Run(dir, "--capture late --fps 10 --start hit+0.1 --duration 0.1 --resolution 64x48");
    EXPECT_NE(late.err.find("starting at script time 0.700 s"), std::string::npos) << late.err;
    const VortanRun check = vrun_Run(dir, "--check");
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("opal.qlo:4: error: time stamp 'nosuch' names no sync point of 'datas/m.wav' (it has: "
                             "hit, late)"), std::string::npos) << check.out << check.err;
    EXPECT_EQ(vrun_Run(dir, "--start nosuch --no-dialog").status, 2);
    std::system(("rm -rf " + vrun_Quoted(dir)).c_str());
}
