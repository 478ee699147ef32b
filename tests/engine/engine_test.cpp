// The engine run as the audience gets it: the built vortan executable run in a folder of its
// own with a script we write, its captured frames, trace log, console output and exit status.
#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/engine.h"
#include "script/script.h"
#include "state/engine_state.h"
#include "tests/support/vortan_run.h"

namespace {
const char *const TEN_LINES = "- _Quillo_  \tinit\n"
                              "- _Quillo_ \tregister functions\n"
                              "- _Vortan_ \tinit\n"
                              "- _Quillo_ \tparse script\n"
                              "- _Vortan_ \tGLFW init\n"
                              "- _Vortan_ \topening GL surface\n"
                              "- _Vortan_ \tinit resources\n"
                              "- _Vortan_ \tstart Mainloop\n"
                              "- _Vortan_ \tclosing stream\n"
                              "- _Vortan_ \tGLFW terminate\n";

} // namespace

TEST(EngineRun, OneLinePerFrameSeenInCapturedFramesAndTheTraceLog) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    // Three lines due at once run on three frames; the frame of "@end" is still drawn.
    const std::string dir = vrun_MakeShow("engine-lines", "@glsetclearcolor 0|1|0|0\n@glsetclearcolor 0|0|1|0\n"
                                                          "@glsetclearcolor 0|0|0|1\n@end 0\n");
    const VortanRun run = vrun_Run(dir, "--capture shots --fps 10");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, ""); // no console without "debug"
    EXPECT_EQ(run.log, TEN_LINES);
    ASSERT_EQ(vrun_CountFrames(dir + "/shots"), 4);
    const int expected[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 255}};
    for (int k = 0; k < 4; ++k) {
        Picture picture;
        ASSERT_TRUE(vrun_ReadPng(vrun_Frame(dir + "/shots", k), &picture)) << k;
        EXPECT_EQ(picture.colour(639, 479), std::vector<int>(expected[k], expected[k] + 3)) << k;
    }
}

TEST(EngineRun, VirtualClockDurationResolutionAndBars) {
    if (!vrun_HaveDisplay()) GTEST_SKIP() << "no display";
    // The clock reads k / fps: the lines stamped 0.5 run on frame 5 at 10 fps. At 800x600, 12 %
    // puts 72 black rows at top and bottom.
    // An error line comes on stderr too, once however often it repeats, with its count at the end.
    const std::string dir = vrun_MakeShow("engine-clock", "@glsetcolor 0|7|1|1|1\n@glsetcolor 0|7|1|1|1\n"
                                                          "@glsetcolor 0|7|1|1|1\n"
                                                          "@glsetclearcolor 0.5|1|1|1\n@glsetcurrentscene 0.5|0\n"
                                                          "@glsetcinemascope 0.5|1|12\n@glsetclearcolor 0.7|0|1|0\n"
                                                          "@end 100\n");
    const VortanRun run = vrun_Run(dir, "--resolution 800x600 --capture out/deep --fps 10 --duration 1");
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(vrun_CountFrames(dir + "/out/deep"), 10);
    EXPECT_NE(run.err.find("vortan: 10 frames drawn in "), std::string::npos) << run.err;
    const std::string said = "vortan: error: SetColor: colour index 7 out of range (0..3)";
    EXPECT_NE(run.err.find(said + "\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(said + "\n"), run.err.rfind(said + "\n")) << run.err;
    EXPECT_NE(run.err.find(said + " (3 times in this run)\n"), std::string::npos) << run.err;
    Picture four, five, nine;
    ASSERT_TRUE(vrun_ReadPng(vrun_Frame(dir + "/out/deep", 4), &four));
    ASSERT_TRUE(vrun_ReadPng(vrun_Frame(dir + "/out/deep", 5), &five));
    ASSERT_TRUE(vrun_ReadPng(vrun_Frame(dir + "/out/deep", 9), &nine));
    EXPECT_EQ(four.at(400, 300)[0], 0);
    EXPECT_EQ(five.at(400, 300)[0], 255);
    EXPECT_EQ(nine.at(400, 300)[0], 0);
    for (auto [row, green] : {std::pair{71, 0}, {72, 255}, {527, 255}, {528, 0}}) EXPECT_EQ(nine.at(400, row)[1], green) << row;

    // A frame that cannot be written (a folder in its place) ends the run with status 3, with
    // every frame before it written and none after it, whatever the encoders' order.
    std::system(("mkdir -p " + vrun_Quoted(dir) + "/broken/frame-00004.png").c_str());
    const VortanRun broken = vrun_Run(dir, "--capture broken --fps 10 --duration 1", "VORTAN_CAPTURE_THREADS=3");
    EXPECT_EQ(broken.status, 3) << broken.err;
    EXPECT_NE(broken.err.find("cannot write " + std::string("broken/frame-00004.png")), std::string::npos) << broken.err;
    EXPECT_EQ(vrun_CountFrames(dir + "/broken"), 5); // 0..3 and the folder
    for (int k = 5; k < 10; ++k) EXPECT_FALSE(vrun_Exists(vrun_Frame(dir + "/broken", k))) << k;
    // The time demo draws the same frames and writes nothing but the frame times asked for: a
    // line a frame with its script time and the line that ran in it.
    const VortanRun demo = vrun_Run(dir, "--timedemo --fps 10 --duration 1 --frame-times times.csv");
    EXPECT_EQ(demo.status, 0) << demo.err;
    EXPECT_NE(demo.err.find("vortan: 10 frames drawn in "), std::string::npos) << demo.err;
    EXPECT_NE(demo.err.find(" of the script (@glset"), std::string::npos) << demo.err; // the slowest frame's line
    std::istringstream times(testfs_ReadFile(dir + "/times.csv"));
    std::string row;
    std::getline(times, row);
    EXPECT_EQ(row, "frame,script_seconds,milliseconds,line,command");
    const char *const ran[10] = {"1,@glsetcolor", "2,@glsetcolor", "3,@glsetcolor", "3,@glsetcolor", "3,@glsetcolor",
                                 "4,@glsetclearcolor", "5,@glsetcurrentscene", "6,@glsetcinemascope",
                                 "7,@glsetclearcolor", "7,@glsetclearcolor"};
    for (int k = 0; k < 10 && std::getline(times, row); ++k) {
        char seconds[16];
        snprintf(seconds, sizeof seconds, "%d,%.4f,", k, k / 10.0);
        EXPECT_EQ(row.rfind(seconds, 0), 0u) << row;
        EXPECT_GE(atof(row.c_str() + strlen(seconds)), 0.0) << row;
        EXPECT_EQ(row.substr(row.find(',', strlen(seconds)) + 1), ran[k]) << row;
    }
    EXPECT_FALSE(std::getline(times, row)) << row;
    // In a window, --duration counts the seconds played across --loop's turns (the clock goes back
    // at each), and the frame times show the script clock going round.
    const VortanRun looped = vrun_Run(dir, "--no-dialog --resolution 64x48 --loop 0:0.4 --duration 1.5 --frame-times loop.csv",
                                      "timeout 60 env SDL_AUDIODRIVER=dummy");
    EXPECT_EQ(looped.status, 0) << looped.err;
    size_t turns = 0;
    for (size_t at = looped.log.find("transport loop back to 0.000 s"); at != std::string::npos;
         at = looped.log.find("transport loop back to 0.000 s", at + 1))
        ++turns;
    // Three turns fill 1.2 s; a busy machine's long frame at a turn's end counts as one frame.
    EXPECT_TRUE(turns == 3 || turns == 4) << looped.log;
    std::istringstream loopTimes(testfs_ReadFile(dir + "/loop.csv"));
    double latest = 0.0;
    for (std::getline(loopTimes, row); std::getline(loopTimes, row);) latest = std::max(latest, atof(row.c_str() + row.find(',') + 1));
    EXPECT_TRUE(latest > 0.2 && latest < 0.45) << latest;
    // A file that cannot be made ends the run before its first frame, status 3.
    const VortanRun noTimes = vrun_Run(dir, "--timedemo --fps 10 --duration 1 --frame-times out");
    EXPECT_EQ(noTimes.status, 3) << noTimes.err;
    EXPECT_NE(noTimes.err.find("vortan: cannot write the frame times out: Is a directory\n"), std::string::npos) << noTimes.err;
    EXPECT_NE(noTimes.log.find("error on frame times : out\n"), std::string::npos) << noTimes.log;
}

TEST(EngineRun, CommandLineExitStatuses) {
    const std::string dir = vrun_MakeShow("engine-options", "@end 0\n");
    VortanRun run = vrun_Run(dir, "--bogus");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("vortan: unknown option --bogus\nusage: vortan"), std::string::npos) << run.err;
    run = vrun_Run(dir, "--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("--capture DIR"), std::string::npos);
    EXPECT_EQ(run.log, ""); // neither started the engine
    if (vrun_HaveDisplay()) { // a frame range past the end is found once the show is played up to it
        run = vrun_Run(dir, "--capture c --frames 5:9 --fps 10", "SDL_AUDIODRIVER=dummy");
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("--frames 5:9 starts past the show's end: its \"@end\" comes at frame 0 (at 10 fps)"), std::string::npos) << run.err;
    }

    // A script that cannot be read ends the run at once, before the dialog: status 5 (1 for
    // --check). A FIFO or device would block or never end; timeout turns a hang into 124.
    ASSERT_EQ(mkfifo((dir + "/pipe.qlo").c_str(), 0644), 0);
    testfs_WriteFile(dir + "/big.qlo", std::string(SCRIPT_MAX_FILE_BYTES + 1, '\n'));
    const char *const unreadable[][2] = {{"typo.qlo", "No such file or directory"},
                                         {"datas", "Is a directory"},
                                         {"pipe.qlo", "a FIFO, not a file"},
                                         {"/dev/zero", "a device, not a file"},
                                         {"big.qlo", "larger than 1 MiB (1048577 bytes)"}};
    for (const auto &[script, reason] : unreadable) {
        const std::string quoted = std::string("'") + script + "': " + reason + "\n";
        for (const char *mode : {"", "--check"}) {
            run = vrun_Run(dir, std::string(mode) + " --script " + script, "timeout 20");
            EXPECT_EQ(run.status, *mode ? 1 : 5) << script << mode;
            EXPECT_EQ(run.err, "vortan: cannot read script " + quoted) << mode;
            if (!*mode) {
                EXPECT_EQ(run.log, "- _Vortan_ \terror on script_Load : cannot read " + quoted);
            }
        }
    }
    // Every file the script loads is looked at the same way: a FIFO as texture, scene or music
    // is refused at once by the run (the show goes on without it) and by --check, which says why.
    ASSERT_EQ(mkfifo((dir + "/datas/pipe").c_str(), 0644), 0);
    for (const char *line : {"@glloadtextureslot 0|pipe|1|1\n", "@glloadsceneslot 0|1|pipe\n", "@initsound 0|pipe|44100\n"}) {
        testfs_WriteFile(dir + "/fifo.qlo", std::string("@setresourcedir 0|datas/\n") + line + "@end 0\n");
        run = vrun_Run(dir, "--check --script fifo.qlo", "timeout 20");
        EXPECT_EQ(run.status, 1) << line;
        EXPECT_NE(run.out.find("fifo.qlo:2: error: 'datas/pipe' cannot be read: a FIFO, not a file\n"), std::string::npos) << run.out;
        if (!vrun_HaveDisplay()) continue;
        run = vrun_Run(dir, "--capture fifo --fps 10 --script fifo.qlo", "timeout 20 env SDL_AUDIODRIVER=dummy");
        EXPECT_EQ(run.status, 0) << line << run.err;
    }
}
