// The author's options of the built vortan, run as a subprocess: --watch picking up edits of the
// script and its files, the transport keys and the HUD in a window, sync-point names, --video.
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
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

// The colour at x, y of frame k in folder, or nothing when the frame cannot be read.
std::vector<int> framePixel(const std::string &folder, int k, int x, int y) {
    Picture picture;
    if (!vrun_ReadPng(vrun_Frame(folder, k), &picture)) return {};
    return picture.colour(x, y);
}

// An 8 x 8 picture of one colour, written whole under its name.
bool writeDot(const std::string &path, std::vector<uint8_t> rgb) {
    std::vector<uint8_t> texels;
    for (int i = 0; i < 64; ++i) texels.insert(texels.end(), rgb.begin(), rgb.end());
    const bool saved = tgawrite_Save((path + ".new").c_str(), texels.data(), 8, 8, 3, TgaWriteOptions{});
    return saved && rename((path + ".new").c_str(), path.c_str()) == 0;
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
    // The blue line lies far out: the capture clock runs some hundred times faster than the test looks.
    const std::string dir = vrun_MakeShow("author-watch", "@glsetclearcolor 0|1|0|0\n@glsetclearcolor 1000|0|0|1\n@end 5000\n");
    const std::string script = dir + "/datas/opal.qlo", err = dir + "/run.err";
    // The time limit only keeps a broken reload from running on for long.
    const VortanChild run(dir, "--watch --capture shots --fps 10 --duration 2000 --resolution 64x48", "run");
    ASSERT_TRUE(vrun_WaitUntil(vrun_Holds(dir + "/shots/frame-00010.png", "PNG"), 30)) << testfs_ReadFile(err);
    // A script that does not compile is reported and the show goes on with the old one: its
    // blue line of 1000 s still comes.
    replaceFile(script, "@glsetclearcolor 0|1|1|1\n@glnosuchthing 0|1\n@end 5000\n");
    ASSERT_TRUE(vrun_WaitUntil(vrun_Holds(err, " error; the show goes on unchanged"), 30)) << testfs_ReadFile(err);
    ASSERT_TRUE(vrun_WaitUntil(vrun_Holds(dir + "/shots/frame-10010.png", "PNG"), 60));
    // An empty file (an editor's save caught between truncating and writing) is not played.
    replaceFile(script, "");
    ASSERT_TRUE(vrun_WaitUntil(vrun_Holds(err, "not reloaded: the file is empty"), 30)) << testfs_ReadFile(err);
    // A script that cannot be read is refused with its reason, and looked at until it can be.
    unlink(script.c_str());
    ASSERT_TRUE(vrun_WaitUntil(vrun_Holds(err, "not reloaded: No such file or directory"), 30)) << testfs_ReadFile(err);
    // The fixed one is loaded and replayed up to the time reached; its "@end" is due at once. Its
    // stamps name a sync point of its music: read on the replay as at a start, never as unknown.
    testfs_WriteFile(dir + "/datas/m.wav", noiseWav(22050, 22050, {{2205, "go"}}));
    replaceFile(script, "@setresourcedir 0|datas/\n@initsound 0|m.wav|22050\n@glsetclearcolor go|0|1|0\n@end go\n");
    ASSERT_TRUE(run.ended("exit 0\n", 60));
    const std::string text = testfs_ReadFile(err);
    EXPECT_NE(text.find("datas/opal.qlo:2: error: unknown command '@glnosuchthing'\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("sync point"), std::string::npos) << text;
    const double refusedAt = numberAfter(text, "vortan: datas/opal.qlo not reloaded at ");
    EXPECT_TRUE(refusedAt > 0 && refusedAt < 1000.0) << text;
    const double reloadTime = numberAfter(text, "vortan: reloaded datas/opal.qlo at ");
    ASSERT_GT(reloadTime, 0) << text;
    EXPECT_EQ(text.find("vortan: reloaded", text.find("vortan: reloaded") + 1), std::string::npos) << "one reload only";
    // On the capture clock the script is looked at every 0.5 s of show time: the reload falls on
    // a frame k = 5 n, drawn green, the last one.
    const int reloadFrame = int(lround(reloadTime * 10));
    EXPECT_EQ(reloadFrame % 5, 0) << reloadTime;
    EXPECT_GT(reloadFrame, 10010);
    ASSERT_EQ(vrun_CountFrames(dir + "/shots"), reloadFrame + 1);
    for (auto [frame, red, green, blue] : {std::tuple{0, 255, 0, 0}, {9999, 255, 0, 0}, {10000, 0, 0, 255},
                                           {reloadFrame - 1, 0, 0, 255}, {reloadFrame, 0, 255, 0}})
        EXPECT_EQ(framePixel(dir + "/shots", frame, 30, 20), (std::vector<int>{red, green, blue})) << "frame " << frame;
    std::system(("rm -rf " + vrun_Quoted(dir)).c_str());
}

TEST(AuthorVideo, FramesAndSoundtrackBecomeAnH264AacVideo) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = vrun_MakeShow("author-video", "@setresourcedir 0|datas/\n@initsound 0|m.wav|22050\n"
                                                          "@playsound 0.2|\n@glsetclearcolor 1|0|0|1\n@end 100\n");
    testfs_WriteFile(dir + "/datas/m.wav", noiseWav(22050, 22050));
    // Without ffmpeg on the PATH: said before the run, what to install, nothing made.
    const VortanRun without = vrun_Run(dir, "--video none.mp4 --fps 25 --duration 0.4 --resolution 64x48", "PATH=/nonexistent");
    EXPECT_EQ(without.status, 4) << without.err;
    EXPECT_NE(without.err.find("apt-get install ffmpeg"), std::string::npos) << without.err;
    EXPECT_EQ(without.err.find("frames drawn"), std::string::npos) << without.err;
    EXPECT_FALSE(vrun_Exists(dir + "/none.mp4"));

    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg not installed";
    // Alone: the frames go to a temporary folder, removed once the video is made.
    std::system(("mkdir " + vrun_Quoted(dir + "/tmp")).c_str());
    EXPECT_EQ(vrun_Run(dir, "--video a.mp4 --fps 25 --duration 0.2 --resolution 64x48", "TMPDIR=" + vrun_Quoted(dir + "/tmp")).status, 0);
    EXPECT_EQ(std::system(("rmdir " + vrun_Quoted(dir + "/tmp")).c_str()), 0) << "the temporary folder is left";
    // With --capture the frames stay where asked, in a folder that holds this run only (a "%"
    // in its name is no pattern to ffmpeg); an odd window size is padded for x264; a name with a blank.
    const std::string frames = dir + "/50% frames";
    std::system(("mkdir " + vrun_Quoted(frames)).c_str());
    for (int k = 0; k < 259; ++k) testfs_WriteFile(vrun_Frame(frames, k), "an earlier run's frame");
    const char *const users[] = {"notes.txt", "pictures.mp4", "frame-123456789.png", "frame-00001.png.bak", "frame-1.png.part",
                                 "soundtrack.wav.txt"};
    for (const char *name : users) testfs_WriteFile(frames + "/" + name, "the user's");
    const char *const cut[] = {"/frame-00000.png.part", "/frame-00259.png.part"}; // left by a killed run
    for (const char *name : cut) testfs_WriteFile(frames + name, "half a frame");
    // A run refused before its first frame leaves the earlier capture as it was.
    EXPECT_EQ(vrun_Run(dir, "--capture '50% frames' --start nosuchcue --fps 25 --resolution 65x49").status, 2);
    EXPECT_EQ(vrun_CountFrames(frames), 259);
    // The video's file: only a video is replaced (or with --overwrite), in a folder that exists;
    // both are looked at before the first frame.
    testfs_WriteFile(dir + "/essay.mp4", "not a video");
    for (const auto &[video, says] : {std::pair{"essay.mp4", "essay.mp4 exists and is not a video: not replaced (--overwrite"},
                                      {"gone/v.mkv", "its folder gone: No such file or directory"}}) {
        const VortanRun refused = vrun_Run(dir, std::string("--video ") + video + " --fps 25 --duration 0.2 --resolution 64x48");
        EXPECT_EQ(refused.status, 4) << refused.err;
        EXPECT_NE(refused.err.find(says), std::string::npos) << refused.err;
        EXPECT_EQ(refused.err.find("frames drawn"), std::string::npos) << refused.err;
    }
    EXPECT_EQ(testfs_ReadFile(dir + "/essay.mp4"), "not a video");
    EXPECT_EQ(vrun_Run(dir, "--video essay.mp4 --overwrite --fps 25 --duration 0.2 --resolution 64x48").status, 0);
    EXPECT_NE(probe(dir + "/essay.mp4", "-show_entries stream=codec_name").find("codec_name=h264"), std::string::npos);
    const VortanRun captured = vrun_Run(dir, "--capture '50% frames' --video 'my show.mp4' --fps 25 --duration 2 --resolution 65x49");
    ASSERT_EQ(captured.status, 0) << captured.err;
    EXPECT_EQ(vrun_CountFrames(frames), 50);
    EXPECT_FALSE(vrun_Exists(vrun_Frame(frames, 50)));
    EXPECT_GT(testfs_ReadFile(frames + "/soundtrack.wav").size(), 44u);
    for (const char *name : users) EXPECT_EQ(testfs_ReadFile(frames + "/" + name), "the user's") << name;
    for (const char *name : cut) EXPECT_FALSE(vrun_Exists(frames + name)) << name;
    const std::string info = probe(dir + "/my show.mp4", "-count_frames -show_entries "
                                                         "stream=codec_type,codec_name,width,height,nb_read_frames:format=duration");
    EXPECT_NE(info.find("codec_name=h264\ncodec_type=video\nwidth=66\nheight=50\nnb_read_frames=50\n"), std::string::npos) << info;
    EXPECT_NE(info.find("codec_name=aac\ncodec_type=audio\n"), std::string::npos) << info;
    EXPECT_NEAR(numberAfter(info, "duration="), 2.0, 0.05) << info;
    std::system(("rm -rf " + vrun_Quoted(dir)).c_str());
}

namespace {
// The data size a WAV's header gives and the bytes that follow the header: equal in a whole file.
std::pair<size_t, size_t> wavSizes(const std::string &path) {
    const std::string wav = testfs_ReadFile(path);
    if (wav.size() < 44) return {0, 1};
    const auto byte = [&](size_t i) { return size_t(uint8_t(wav[i])); };
    return {byte(40) | byte(41) << 8 | byte(42) << 16 | byte(43) << 24, wav.size() - 44};
}
} // namespace

// Ctrl-C and SIGTERM end a window show, a capture and a video as Esc does: the normal shutdown
// with its trace lines, exit 130 / 143, and what was made kept playable; a closed stderr pipe
// does not end a capture; a full disk keeps every frame whole and the soundtrack playable.
TEST(AuthorVideo, SignalsAndAFullDiskEndARunKeepingWhatItMade) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = vrun_MakeShow("author-signals", "@setresourcedir 0|datas/\n@initsound 0|m.wav|22050\n"
                                                            "@playsound 0|\n@glsetclearcolor 0|0|0|1\n");
    testfs_WriteFile(dir + "/datas/m.wav", noiseWav(22050, 22050 * 4));
    const bool ffmpeg = std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") == 0;
    std::system(("mkdir " + vrun_Quoted(dir + "/tmp")).c_str());
    setenv("TMPDIR", (dir + "/tmp").c_str(), 1);
    struct Case {
        const char *arguments, *signal, *status, *madeFile;
    };
    for (const Case &c : {Case{"--no-dialog --watch --loop 0:1", "INT", "exit 130\n", ""},
                          Case{"--capture shots --fps 25", "TERM", "exit 143\n", "shots/frame-00002.png"},
                          Case{"--video v.mkv --fps 25", "INT", "exit 130\n", ""},
                          Case{"--capture both --video v.mp4 --fps 25", "TERM", "exit 143\n", "both/frame-00002.png"}}) {
        if (strstr(c.arguments, "--video") && !ffmpeg) continue;
        SCOPED_TRACE(c.arguments);
        for (const char *name : {"/_vor_.log", "/sig.pid", "/sig.status"}) remove((dir + name).c_str()); // the last case's
        // The time limit only keeps a run the signal missed from running on for long.
        const VortanChild run(dir, std::string(c.arguments) + " --duration 300 --resolution 64x48", "sig");
        ASSERT_TRUE(vrun_WaitUntil(vrun_Holds(dir + "/_vor_.log", "start Mainloop"), 60));
        if (*c.madeFile) {
            ASSERT_TRUE(vrun_WaitUntil([&] { return vrun_Exists(dir + "/" + c.madeFile); }, 60));
        }
        std::system(("kill -" + std::string(c.signal) + " " + run.pid).c_str());
        ASSERT_TRUE(run.ended(c.status, 60)) << testfs_ReadFile(dir + "/sig.err");
        const std::string log = testfs_ReadFile(dir + "/_vor_.log");
        const std::string closing = "- _Vortan_ \tclosing stream\n- _Vortan_ \tGLFW terminate\n";
        EXPECT_EQ(log.substr(log.size() - std::min(log.size(), closing.size())), closing);
        for (const char *folder : {"shots", "both"}) {
            const auto [header, data] = strstr(c.arguments, folder) ? wavSizes(dir + "/" + folder + "/soundtrack.wav") : std::pair{1ul, 1ul};
            EXPECT_TRUE(header > 0 && header == data) << folder << ": " << header << " of " << data;
        }
        if (strstr(c.arguments, "--video")) {
            const std::string video = dir + (strstr(c.arguments, "v.mkv") ? "/v.mkv" : "/v.mp4");
            const std::string info = probe(video, "-count_frames -show_entries stream=codec_name,nb_read_frames");
            EXPECT_TRUE(info.find("codec_name=h264\nnb_read_frames=") != std::string::npos && numberAfter(info, "nb_read_frames=") > 0 &&
                        info.find("codec_name=aac") != std::string::npos) << info;
            EXPECT_EQ(std::system(("rmdir " + vrun_Quoted(dir + "/tmp") + " && mkdir " + vrun_Quoted(dir + "/tmp")).c_str()), 0)
                << "the temporary folder is left";
        }
    }
    unsetenv("TMPDIR");
    // Standard error into a pipe that closes (head): the capture goes on to its end.
    const int piped = std::system(("bash -c 'cd " + vrun_Quoted(dir) + " && " VORTAN_EXE " --capture piped --fps 25 --duration 0.4 "
                                   "--resolution 64x48 2>&1 >/dev/null | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}'").c_str());
    EXPECT_EQ(WEXITSTATUS(piped), 0);
    EXPECT_EQ(vrun_CountFrames(dir + "/piped"), 10);

    // A disk that fills up: status 3, no frame cut short, and a soundtrack playable up to there.
    const std::string full = dir + "/full";
    std::system(("mkdir " + vrun_Quoted(full)).c_str());
    if (geteuid() != 0 || std::system(("mount -t tmpfs -o size=96k tmpfs " + vrun_Quoted(full) + " 2>/dev/null").c_str()) != 0)
    {
        GTEST_SKIP() << "the full disk needs a small tmpfs, which only root can mount";
    }
    const VortanRun filled = vrun_Run(dir, "--capture full --fps 25 --duration 4 --resolution 64x48");
    EXPECT_EQ(filled.status, 3) << filled.err;
    EXPECT_NE(filled.err.find("No space left on device"), std::string::npos) << filled.err;
    const int made = vrun_CountFrames(full);
    EXPECT_GT(made, 0);
    for (int k = 0; k < made; ++k) {
        Picture picture;
        EXPECT_TRUE(vrun_ReadPng(vrun_Frame(full, k), &picture)) << k;
    }
    EXPECT_EQ(std::system(("ls " + vrun_Quoted(full) + " | grep -q part").c_str()) != 0, true) << "a partial frame is left";
    const auto [header, data] = wavSizes(full + "/soundtrack.wav");
    EXPECT_LE(header, data);
    EXPECT_GT(header, 0u);
    std::system(("umount " + vrun_Quoted(full) + "; rm -rf " + vrun_Quoted(dir)).c_str());
}

namespace {
// A window show driven by keys (xdotool); the trace log tells where each transport event landed.
struct WindowShow {
    std::string dir, window;
    // Another window opened and closed leaves the keyboard focus nowhere: it is given back first.
    void key(const char *keys) const {
        std::system(("(xdotool windowfocus " + window + "; xdotool key --window " + window + " " + keys + ") 2>/dev/null").c_str());
    }
    // Waits for the trace log to hold text; the script time it landed on (-1: none given, -2: the
    // text did not come).
    double landed(const std::string &text) const {
        double at = -2;
        vrun_WaitUntil([&] {
            const std::string log = testfs_ReadFile(dir + "/_vor_.log");
            const size_t pos = log.find(text);
            if (pos != std::string::npos) at = numberAfter(log.substr(pos), text + " at ");
            return pos != std::string::npos;
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
    const VortanChild run(dir, "--no-dialog --watch --resolution 160x120", "show");
    const WindowShow show{dir, run.window("--pid " + run.pid)};
    ASSERT_FALSE(show.window.empty());
    ASSERT_EQ(show.landed("start Mainloop"), -1.0);
    // Paused, Home and Right land where the keys say, on the 60 fps grid of --start; Page Down
    // and Page Up go to the starts of the sections after and before the one the show is in (at
    // 1 s none has begun: "one" starts at 2 s).
    show.key("space");
    EXPECT_GE(show.landed("transport pause"), 0.0);
    show.key("Home Right");
    EXPECT_EQ(show.landed("transport restart to 0.000 s"), 0.0);
    EXPECT_EQ(show.landed("transport seek to 1.000 s"), 1.0);
    show.key("Next");
    EXPECT_EQ(show.landed("transport next section to 2.000 s"), 2.0);
    show.key("Next");
    EXPECT_EQ(show.landed("transport next section to 4.000 s"), 4.0);
    show.key("Prior l");
    EXPECT_EQ(show.landed("transport previous section to 2.000 s"), 2.0);
    EXPECT_GE(show.landed("transport loop 2.000-4.000 s on"), 0.0);
    // The HUD (F1) draws its band and text over the paused frame.
    show.key("F1");
    EXPECT_GE(show.landed("transport hud on"), 0.0);
    usleep(300000);
    const Picture withHud = show.shot("hud.png");
    show.key("F1");
    show.landed("transport hud off");
    EXPECT_NE(withHud.colour(2, 2), (std::vector<int>{0, 255, 0})) << "no HUD band";
    size_t text = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 160; ++x) text += withHud.at(x, y)[0] > 200 && withHud.at(x, y)[1] > 200;
    EXPECT_GT(text, 20u) << "no HUD text";
    // Played on, the loop brings the show back from 4 to 2; off again, it plays to "@end" and holds
    // there (--watch), and a changed picture is reloaded into the held frame.
    show.key("space");
    EXPECT_EQ(show.landed("transport resume"), 2.0);
    EXPECT_EQ(show.landed("transport loop back to 2.000 s"), 2.0);
    show.key("l");
    show.landed("transport loop off");
    EXPECT_GE(show.landed("transport hold at the end"), 6.0);
    const std::vector<int> oldDot = show.shot("end.png").colour(80, 60);
    ASSERT_TRUE(writeDot(dir + "/datas/dot.tga", {200, 200, 0}));
    ASSERT_TRUE(vrun_WaitUntil(vrun_Holds(dir + "/show.err", "datas/dot.tga changed"), 30)) << testfs_ReadFile(dir + "/show.err");
    usleep(300000);
    EXPECT_EQ(show.shot("reloaded.png").colour(80, 60), (std::vector<int>{200, 200, 255})) << "was " << oldDot[0];
    EXPECT_EQ(oldDot, (std::vector<int>{0, 0, 255}));
    show.key("Escape");
    ASSERT_TRUE(run.ended("exit 0\n", 30));
    std::system(("rm -rf " + vrun_Quoted(dir)).c_str());
}

TEST(AuthorCues, SyncPointNamesStandForTheirSecondsInStampsStartAndCheck) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = vrun_MakeShow("author-cues", "@setresourcedir 0|datas/\n@initsound 0|m.wav|22050\n"
                                                          "@playsound 0|\n@glsetclearcolor nosuch|0|1|0\n"
                                                          "@glsetclearcolor inferno|0|1|0\n"
                                                          "@glsetclearcolor hit|1|0|0\n@glsetclearcolor hit+0.3|0|0|1\n"
                                                          "@end late-0.5\n");
    testfs_WriteFile(dir + "/datas/m.wav", noiseWav(22050, 2 * 22050, {{12127, "hit"}, {33075, "late"}, {4410, "big drop"},
                                                                       {100, "twice"}, {200, "twice"}}));
    // "hit" is at 0.55 s, "late" at 1.5 s: at 10 fps red comes on frame 6, blue on frame 9 and
    // the end on frame 10; the unknown names read as 0 ("inferno" too: no infinity) and are reported.
    const VortanRun run = vrun_Run(dir, "--capture cap --fps 10 --resolution 64x48");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("script line 4: time stamp 'nosuch' names no sync point of the music, read as 0 "
                           "(sync points: twice, twice, big drop, hit, late)"), std::string::npos) << run.err;
    EXPECT_EQ(vrun_CountFrames(dir + "/cap"), 11);
    for (auto [frame, red, green, blue] : {std::tuple{5, 0, 255, 0}, {6, 255, 0, 0}, {8, 255, 0, 0}, {9, 0, 0, 255}})
        EXPECT_EQ(framePixel(dir + "/cap", frame, 5, 5), (std::vector<int>{red, green, blue})) << "frame " << frame;
    const VortanRun late = vrun_Run(dir, "--capture late --fps 10 --start hit+1e-1 --duration 0.1 --resolution 64x48");
    EXPECT_NE(late.err.find("starting at script time 0.700 s: clock 0.700 s, frame 7 of the show at 10 fps"),
              std::string::npos) << late.err;
    // A start past "@end" draws the end frame (a late start's frames are the whole show's: see the
    // bundled show's test).
    EXPECT_EQ(vrun_Run(dir, "--capture past --fps 10 --start 200 --resolution 64x48").status, 0);
    EXPECT_EQ(vrun_CountFrames(dir + "/past"), 1);
    const VortanRun check = vrun_Run(dir, "--check");
    EXPECT_EQ(check.status, 1);
    EXPECT_NE(check.out.find("opal.qlo:4: error: time stamp 'nosuch' names no sync point of 'datas/m.wav' (it has: "
                             "twice, twice, big drop, hit, late)"), std::string::npos) << check.out << check.err;
    EXPECT_NE(check.out.find("opal.qlo:2: warning: music file 'datas/m.wav': two sync points are called 'twice' "
                             "(0.005 s and 0.009 s); stamps name the first"), std::string::npos) << check.out;
    // A name with a blank is quoted: 0.2 s + 0.5 s lands on frame 7.
    const VortanRun quoted = vrun_Run(dir, "--capture q --fps 10 --start '\"big drop\"+0.5' --duration 0.1 --resolution 64x48");
    EXPECT_NE(quoted.err.find("starting at script time 0.700 s"), std::string::npos) << quoted.err;
    EXPECT_EQ(vrun_Run(dir, "--start '\"big drop\"x' --no-dialog").status, 2); // no offset after the quote
    // Beats by the script's tempo: 120 a minute from 0.2 s on puts beat 1 at 0.7 s.
    testfs_WriteFile(dir + "/beats.qlo", "@setbpm 0|120|0.2\n@glsetclearcolor 1b|1|0|0\n@end 2b\n");
    const VortanRun beats = vrun_Run(dir, "--script beats.qlo --capture b --fps 10 --start 1b --duration 0.1 --resolution 64x48");
    EXPECT_NE(beats.err.find("starting at script time 0.700 s"), std::string::npos) << beats.err;
    // Tempo 0 is a module's own, 125 a minute: beat 2 at 0.96 s, the end on beat 8 at 3.84 s.
    testfs_WriteFile(dir + "/datas/game.it", testfs_ReadFile(SOUND_TEST_DATA "/biniax_common02.it"));
    testfs_WriteFile(dir + "/mod.qlo", "@setresourcedir 0|datas/\n@initsound 0|game.it|22050\n@setbpm 0|0\n@end 8b\n");
    const VortanRun module = vrun_Run(dir, "--script mod.qlo --capture mod --fps 10 --start 2b --resolution 64x48");
    EXPECT_NE(module.err.find("starting at script time 1.000 s"), std::string::npos) << module.err;
    EXPECT_EQ(vrun_CountFrames(dir + "/mod"), 30) << module.err; // frames 10 to 39, the first at or past 3.84 s
    EXPECT_EQ(vrun_Run(dir, "--start nosuch --no-dialog").status, 2);
    for (const char *far : {"--start hit+1e6", "--start late-100", "--loop hit:late+4000"}) {
        const VortanRun refused = vrun_Run(dir, std::string(far) + " --no-dialog");
        EXPECT_EQ(refused.status, 2) << far;
        EXPECT_NE(refused.err.find("is outside 0..3600 s"), std::string::npos) << far << refused.err;
    }
    std::system(("rm -rf " + vrun_Quoted(dir)).c_str());
}
