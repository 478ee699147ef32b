// The command line: options into the engine state, the tail, help, version and refusals.
#include <gtest/gtest.h>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "capture/capture.h"
#include "engine/options.h"
#include "tests/support/temp_dir.h"

namespace {
struct Parsed {
    int result;
    std::string out, err;
};

// Parses "vortan words..." into a fresh engine state, catching what it prints.
Parsed parse(std::vector<const char *> words) {
    words.insert(words.begin(), "vortan");
    engine_ResetState();
    Parsed p{};
    p.out = testfs_Printed([&](FILE *out) {
        p.err = testfs_Printed(
            [&](FILE *err) { p.result = options_Parse(int(words.size()), const_cast<char **>(words.data()), &engine, out, err); });
    });
    return p;
}
} // namespace

TEST(Options, SettingsCaptureAndTail) {
    Parsed p = parse({"--no-dialog", "--resolution", "1024x768", "--fullscreen", "--novsync", "--script=show/a.qlo",
                      "--start", "12.5", "--watch", "--check", "--video", "v.mp4", "--video-quality", "23",
                      "--video-preset", "veryfast", "debug"});
    EXPECT_EQ(p.result, OPTIONS_RUN) << p.err;
    EXPECT_EQ(p.out, "");
    EXPECT_TRUE(engine.options.noDialog && engine.options.watch && engine.options.check && engine.options.debugTail);
    EXPECT_EQ(std::make_tuple(engine.screenHeight, engine.windowMode, engine.swapInterval), std::make_tuple(768, int(ENGINE_FULLSCREEN), 0));
    EXPECT_STREQ(engine.options.scriptPath, "show/a.qlo");
    EXPECT_DOUBLE_EQ(engine.options.start, 12.5);
    EXPECT_STREQ(engine.options.videoPath, "v.mp4");
    EXPECT_EQ(engine.options.videoQuality, 23);
    EXPECT_STREQ(engine.options.videoPreset, "veryfast");

    // Capture implies no dialog and no vertical sync.
    EXPECT_EQ(parse({"--capture", "frames", "--fps", "25", "--duration", "3"}).result, OPTIONS_RUN);
    EXPECT_STREQ(engine.options.captureDir, "frames");
    EXPECT_TRUE(engine.options.noDialog && engine.swapInterval == 0);
    EXPECT_DOUBLE_EQ(engine.options.duration, 3.0);
    EXPECT_EQ(parse({"--frame-times=t.csv"}).result, OPTIONS_RUN);
    EXPECT_STREQ(engine.options.frameTimesPath, "t.csv");
    // The smallest and largest windows are taken.
    for (auto [text, edge] : {std::pair{"1x1", 1}, {"16384x16384", 16384}}) {
        EXPECT_EQ(parse({"--resolution", text}).result, OPTIONS_RUN) << text;
        EXPECT_EQ(std::make_pair(engine.screenWidth, engine.screenHeight), std::make_pair(edge, edge)) << text;
    }
    // A render's frame range, lossless codec and anti-aliasing; supersampling draws the window larger.
    EXPECT_EQ(parse({"--frames", "3:7", "--video", "v.mkv", "--video-codec", "ffv1", "--samples", "4", "--supersample", "2"}).result, OPTIONS_RUN);
    EXPECT_EQ(std::make_tuple(engine.options.frameFirst, engine.options.frameEnd, engine.options.videoCodec, engine.options.samples,
                              engine.options.supersample, engine.screenWidth, engine.screenHeight),
              std::make_tuple(3L, 7L, int(CAPTURE_FFV1), 4, 2, 1280, 960));

    // Only a tail of exactly "debug" opens the console; any other tail is ignored.
    for (std::vector<const char *> tail : std::vector<std::vector<const char *>>{{"Debug"}, {"debug", "x"}, {"debug "}}) {
        EXPECT_EQ(parse(tail).result, OPTIONS_RUN) << tail[0];
        EXPECT_FALSE(engine.options.debugTail) << tail[0];
    }
    EXPECT_TRUE((parse({"--", "debug"}), engine.options.debugTail));
}

TEST(Options, HelpVersionAndWrongInput) {
    Parsed p = parse({"--version"});
    EXPECT_EQ(p.result, OPTIONS_EXIT_OK);
    EXPECT_EQ(p.out.rfind("vortan ", 0), 0u);

    // A path longer than the buffer is refused, not cut.
    const std::string longPath(2000, 'a');
    // Each refusal says what the option takes.
    using Bad = std::pair<std::vector<const char *>, const char *>;
    for (const auto &[bad, says] : std::vector<Bad>{
             {{"-x"}, "unknown option -x"}, {{"--resolution", "0x480"}, "(WIDTHxHEIGHT, each 1 to 16384)"},
             {{"--resolution", "640x480x"}, "for --resolution"}, {{"--resolution", "99999x10"}, "for --resolution"},
             {{"--fps", "abc"}, "bad value \"abc\" for --fps (0.001 to 1000)"}, {{"--fps"}, "needs a value"},
             {{"--duration", "inf"}, "(0 to 1e9 seconds)"}, {{"--capture", ""}, "for --capture"},
             {{"--fullscreen=1"}, "takes no value"}, {{"--script", longPath.c_str()}, "for --script"},
             {{"--video-quality", "52"}, "(a whole number, 0 to 51)"}, {{"--video-preset", "quick"}, "veryslow or placebo)"},
             {{"--timedemo", "--capture", "c"}, "writes nothing"},
             {{"--video", "show.avi"}, "(a file name ending in .mp4, .mkv, .mov or .webm)"}, {{"--video", ".mp4"}, "for --video"},
             {{"--video", "a.webm", "--duration", "0"}, "--duration 0 makes no frames"},
             {{"--check", "--json"}, "--json goes with --inspect only"},
             {{"--start", "5000"}, "bad value \"5000\" for --start (0 to 3600 seconds, a sync-point name, or beats (16b))"},
             {{"--frames", "5:5"}, "(FIRST:END, whole frame numbers from 0, END above FIRST"}, {{"--frames", "1.5:3"}, "for --frames"},
             {{"--frames", "-1:3"}, "for --frames"}, {{"--frames", "0:9"}, "--frames goes with --capture, --video"},
             {{"--frames", "2:9", "--capture", "c", "--start", "1"}, "not with --start, --duration or --watch"},
             {{"--frames", "2:9", "--video", "v.mp4", "--duration", "1"}, "not with --start"}, {{"--loop", ":5"}, "for --loop"},
             {{"--video", "v.mp4", "--video-codec", "ffv1"}, "name the video .mkv"}, {{"--video-codec", "x264rgb"}, "goes with --video"},
             {{"--video", "v.webm", "--video-codec", "x264rgb"}, "holds VP9"}, {{"--video-codec", "h265"}, "(h264, ffv1 or x264rgb)"},
             {{"--soundtrack", "s.wav", "--timedemo"}, "the soundtrack alone"}, {{"--samples", "3"}, "(2, 4 or 8)"},
             {{"--frame-times", ""}, "for --frame-times"}, {{"--frame-times", longPath.c_str()}, "for --frame-times"},
             {{"--supersample", "2", "--video", "v.mp4", "--capture", "c"}, "not with --capture"},
             {{"--supersample", "3", "--resolution", "6000x100", "--video", "v.mp4"}, "(18000x300) is larger than 16384"}}) {
        p = parse(bad);
        EXPECT_EQ(p.result, OPTIONS_EXIT_USAGE) << bad[0];
        EXPECT_EQ(p.err.rfind("vortan: ", 0), 0u) << bad[0];
        EXPECT_NE(p.err.find(says), std::string::npos) << p.err;
        EXPECT_NE(p.err.find("\nusage: vortan"), std::string::npos) << bad[0];
    }
    for (const char *video : {"a.MKV", "dir/b.mov", "c.webm", "d.mp4"}) EXPECT_EQ(parse({"--video", video}).result, OPTIONS_RUN) << video;
    for (const char *n : {"2", "4", "8"}) EXPECT_EQ(parse({"--samples", n}).result, OPTIONS_RUN) << n;
}

TEST(Options, ReleaseSettingsFileGivesDefaultsAndNamesBadLines) {
    const std::string path = testfs_MakeTempDir("settings") + "/vortan.ini";
    testfs_WriteFile(path, "# defaults\nresolution=1920x1080\r\nfullscreen=yes\nrefresh=60\nrefresh=59.9\nsize=3\n");
    engine_ResetState();
    int bad = -1;
    const std::string err = testfs_Printed([&](FILE *e) { bad = options_ReadSettings(path.c_str(), &engine, e); });
    EXPECT_EQ(bad, 2);
    EXPECT_EQ(std::make_tuple(engine.screenWidth, engine.options.presetHeight, engine.windowMode, engine.options.refreshRate),
              std::make_tuple(1920, 1080, int(ENGINE_FULLSCREEN), 60));
    EXPECT_NE(err.find("vortan.ini:5: not a setting"), std::string::npos) << err;
    EXPECT_NE(err.find(":6: not a setting (resolution=WxH, fullscreen=yes|no or refresh=HZ): size=3\n"), std::string::npos) << err;
    EXPECT_EQ(options_ReadSettings((path + ".none").c_str(), &engine, stderr), 0);
}
