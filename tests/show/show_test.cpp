// The bundled show datas/opal.qlo: clean under the checker, and played end to end in capture mode
// without an error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "script/script.h"
#include "tests/support/temp_dir.h"
#include "tests/support/vortan_run.h"

namespace {

constexpr int FPS = 2;

// A working folder whose datas/ is the source tree's, as a user's checkout would be.
std::string showFolder(const char *tag) {
    const std::string dir = testfs_MakeTempDir(tag);
    if (symlink(SHOW_DATAS, (dir + "/datas").c_str()) != 0) ADD_FAILURE() << "cannot link datas/ into " << dir;
    return dir;
}

double mean(const Picture &picture) {
    double sum = 0;
    for (uint8_t v : picture.rgb) sum += v;
    return picture.rgb.empty() ? 0 : sum / double(picture.rgb.size());
}

// The "@end" line's time: the show's length.
double endTime() {
    const std::string show = testfs_ReadFile(SHOW_DATAS "/opal.qlo");
    return atof(show.c_str() + show.find("\n@end ") + 6);
}

TEST(BundledShow, PassesTheCheckerWithoutAFinding) {
    const std::string dir = showFolder("show-check");
    const VortanRun run = vrun_Run(dir, "--check");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("datas/opal.qlo: 0 errors, 0 warnings"), std::string::npos) << run.err;
}

TEST(BundledShow, CapturesEndToEndWithoutAnErrorLine) {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "no display";
    const double end = endTime();
    EXPECT_TRUE(end >= 60.0 && end <= 90.0) << end;
    const std::string dir = showFolder("show-capture");
    const VortanRun run = vrun_Run(dir, "--no-dialog --capture cap --fps " + std::to_string(FPS), "VORTAN_CAPTURE_THREADS=3");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.log.find("rror"), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("success on glLoadSceneSlot : opal.3ds"), std::string::npos) << run.log;
    EXPECT_EQ((run.out + run.err).find("not found"), std::string::npos) << run.out << run.err;

    // The show ends on the "@end" line, after the frames of its loading lines.
    const std::string cap = dir + "/cap";
    const int frames = vrun_CountFrames(cap);
    EXPECT_GE(frames, int(end * FPS));
    EXPECT_LE(frames, int(end * FPS) + SCRIPT_MAX_LINES / 4);
    // The soundtrack covers the show: 16-bit stereo at 44100 Hz.
    EXPECT_GE(testfs_ReadFile(cap + "/soundtrack.wav").size(), size_t(end * 44100 * 4 * 0.95));

    // Frame n shows the time end - (frames - 1 - n) / FPS. Through the show the picture is far from
    // black, and no two looks are the same.
    auto frameAt = [&](double seconds) { return frames - 1 - int(std::lround((end - seconds) * FPS)); };
    double previousMean = -1;
    for (double seconds : {5.0, 18.0, 34.0, 50.0, 64.0}) {
        Picture picture;
        ASSERT_TRUE(vrun_ReadPng(vrun_Frame(cap, frameAt(seconds)), &picture)) << seconds;
        EXPECT_GE(mean(picture), seconds > 10 ? 20.0 : 4.0) << "at " << seconds << " s";
        EXPECT_NE(mean(picture), previousMean) << "at " << seconds << " s";
        previousMean = mean(picture);
    }
    // Started at script time 41 s, the show's first frame is the one played up to 41 s: same
    // scene pose (its replay speed in the middle of a ramp), fades, drifts and glow, pixel for
    // pixel; and the same bytes from one encoder thread as from three.
    const std::string startDir = showFolder("show-start");
    const VortanRun started = vrun_Run(startDir, "--no-dialog --capture cap --start 41 --duration 1 --fps " +
                                                     std::to_string(FPS), "VORTAN_CAPTURE_THREADS=1");
    ASSERT_EQ(started.status, 0) << started.err;
    // It says which frame of the whole show it starts at (the lines before the show's own
    // "@setdemostart" put script time 41 past clock 41).
    const size_t said = started.err.find(", frame ");
    ASSERT_NE(said, std::string::npos) << started.err;
    const long first = atol(started.err.c_str() + said + 8);
    EXPECT_GT(first, 41 * FPS);
    EXPECT_EQ(testfs_ReadFile(vrun_Frame(startDir + "/cap", 0)), testfs_ReadFile(vrun_Frame(cap, int(first))));
    EXPECT_EQ(testfs_ReadFile(vrun_Frame(startDir + "/cap", 1)), testfs_ReadFile(vrun_Frame(cap, int(first) + 1)));
    // The music played in the unseen frames is held and placed: from there on it is the whole run's.
    const std::string whole = testfs_ReadFile(cap + "/soundtrack.wav"), tail = testfs_ReadFile(startDir + "/cap/soundtrack.wav");
    const size_t from = 44 + size_t(first) * 44100 / FPS * 4; // 16-bit stereo after the header
    EXPECT_TRUE(tail.size() > 44 && tail.compare(44, std::string::npos, whole, from, tail.size() - 44) == 0);
    EXPECT_EQ(std::system(("rm -rf '" + startDir + "'").c_str()), 0);
    // --frames A:B: exactly frames A to B-1 of the whole run, and their slice of its soundtrack.
    const std::string rangeDir = showFolder("show-frames");
    ASSERT_EQ(vrun_Run(rangeDir, "--capture cap --frames 83:86 --fps " + std::to_string(FPS)).status, 0);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(testfs_ReadFile(vrun_Frame(rangeDir + "/cap", k)), k < 3 ? testfs_ReadFile(vrun_Frame(cap, 83 + k)) : "") << k;
    const std::string slice = testfs_ReadFile(rangeDir + "/cap/soundtrack.wav");
    const size_t frameBytes = 44100 / FPS * 4;
    EXPECT_TRUE(slice.size() == 44 + 3 * frameBytes && slice.compare(44, slice.size(), whole, 44 + 83 * frameBytes, 3 * frameBytes) == 0);
    // --samples 4 smooths edges and keeps the colour of flat areas (the pixels whose neighbours all
    // share it, bar slivers thinner than a pixel that no pixel centre saw), with the glow off
    // (frame 90) and on (frame 116: its render targets are read from the resolved picture).
    for (int k : {90, 116}) {
        const VortanRun aa = vrun_Run(rangeDir, "--capture aa --samples 4 --fps 2 --frames " + std::to_string(k) + ":" + std::to_string(k + 1));
        Picture plain, smooth;
        ASSERT_TRUE(vrun_ReadPng(vrun_Frame(cap, k), &plain) && vrun_ReadPng(vrun_Frame(rangeDir + "/aa", 0), &smooth)) << aa.err;
        int edges = 0, flat = 0, flatChanged = 0;
        for (int y = 1; y + 1 < plain.height; ++y)
            for (int x = 1; x + 1 < plain.width; ++x) {
                bool uniform = true;
                for (int d = 0; d < 9; ++d) uniform = uniform && plain.colour(x + d % 3 - 1, y + d / 3 - 1) == plain.colour(x, y);
                const bool changed = plain.colour(x, y) != smooth.colour(x, y);
                flat += uniform;
                edges += changed && !uniform;
                flatChanged += changed && uniform;
            }
        EXPECT_GT(edges, 3000) << k;
        EXPECT_GT(flat, 50000) << k;
        EXPECT_LT(flatChanged * 1000, flat) << k;
    }

    // The last frame has faded to black.
    Picture last;
    ASSERT_TRUE(vrun_ReadPng(vrun_Frame(cap, frames - 1), &last));
    EXPECT_LT(mean(last), 3.0);
    if (!HasFailure()) std::system(("rm -rf '" + dir + "' '" + rangeDir + "'").c_str());
}

} // namespace
