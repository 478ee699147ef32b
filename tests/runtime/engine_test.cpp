// The engine run as the audience gets it: the built vortan executable run in a folder of its
// own with a script we write, its captured frames, trace log, console output and exit status.
#include <gtest/gtest.h>
#include <png.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "runtime/engine.h"
#include "runtime/engine_state.h"
#include "runtime/render.h"
#include "script/script.h"
#include "tests/support/temp_dir.h"

namespace {
struct VortanRun {
    int status = -100;
    std::string out, err, log;
};

// Runs vortan with arguments in a fresh folder holding datas/opal.qlo = script.
VortanRun runVortan(const std::string &folder, const std::string &script, const std::string &arguments) {
    std::system(("mkdir -p " + folder + "/datas").c_str());
    testfs_WriteFile(folder + "/datas/opal.qlo", script);
    const std::string command = "cd " + folder + " && " VORTAN_EXE " " + arguments + " >out.txt 2>err.txt";
    VortanRun run;
    // Xvfb now and then refuses a connection made right after the last one closed; the run
    // then stops at once with its GL start-up notice, and a second try gets through.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? int(static_cast<signed char>(WEXITSTATUS(raw))) : -100;
        if (run.status != -1 || testfs_ReadFile(folder + "/err.txt").find("Error in GL init !") == std::string::npos) break;
    }
    run.out = testfs_ReadFile(folder + "/out.txt");
    run.err = testfs_ReadFile(folder + "/err.txt");
    run.log = testfs_ReadFile(folder + "/_vor_.log");
    return run;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // top row first
    const uint8_t *at(int x, int rowFromTop) const { return &rgb[(size_t(rowFromTop) * size_t(width) + size_t(x)) * 3]; }
};

bool readPng(const std::string &path, Picture *picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    if (image.format != PNG_FORMAT_RGB) {
        png_image_free(&image);
        return false; // the capture promises 8-bit RGB
    }
    picture->width = int(image.width);
    picture->height = int(image.height);
    picture->rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture->rgb.data(), 0, nullptr) != 0;
}

int countFrames(const std::string &dir) {
    int n = 0;
    char name[64];
    for (;; ++n) {
        snprintf(name, sizeof name, "/frame-%05d.png", n);
        if (testfs_ReadFile(dir + name).empty()) return n;
    }
}

bool haveDisplay() { return getenv("DISPLAY") != nullptr; }

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
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = testfs_MakeTempDir("engine-lines");
    // Three lines due at once run on three frames; the frame of "@end" is still drawn.
    const VortanRun run = runVortan(dir,
                              "@glsetclearcolor 0|1|0|0\n@glsetclearcolor 0|0|1|0\n"
                              "@glsetclearcolor 0|0|0|1\n@end 0\n",
                              "--capture shots --fps 10");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, ""); // no console without "debug"
    EXPECT_EQ(run.log, TEN_LINES);
    ASSERT_EQ(countFrames(dir + "/shots"), 4);
    const int expected[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 0, 255}};
    for (int k = 0; k < 4; ++k) {
        Picture picture;
        char name[64];
        snprintf(name, sizeof name, "/shots/frame-%05d.png", k);
        ASSERT_TRUE(readPng(dir + name, &picture)) << name;
        EXPECT_EQ(picture.width, 640);
        EXPECT_EQ(picture.height, 480);
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(picture.at(0, 0)[c], expected[k][c]) << k;
            EXPECT_EQ(picture.at(639, 479)[c], expected[k][c]) << k;
        }
    }
}

TEST(EngineRun, VirtualClockDurationResolutionAndRowOrder) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = testfs_MakeTempDir("engine-clock");
    // The clock reads k / fps: the line stamped 0.5 runs on frame 5 at 10 fps. The bars show
    // which row is the top one: at 800x600, 12 % puts 72 black rows at top and bottom.
    const VortanRun run = runVortan(dir,
                              "@glsetclearcolor 0.5|1|1|1\n@glsetcurrentscene 0.5|0\n"
                              "@glsetcinemascope 0.5|1|12\n@glsetclearcolor 0.7|0|1|0\n@end 100\n",
                              "--resolution 800x600 --capture out/deep --fps 10 --duration 1");
    EXPECT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(countFrames(dir + "/out/deep"), 10);
    EXPECT_NE(run.err.find("captured 10 frames"), std::string::npos) << run.err;
    Picture four, five, nine;
    ASSERT_TRUE(readPng(dir + "/out/deep/frame-00004.png", &four));
    ASSERT_TRUE(readPng(dir + "/out/deep/frame-00005.png", &five));
    ASSERT_TRUE(readPng(dir + "/out/deep/frame-00009.png", &nine));
    EXPECT_EQ(four.width, 800);
    EXPECT_EQ(four.height, 600);
    EXPECT_EQ(four.at(400, 300)[0], 0);
    EXPECT_EQ(five.at(400, 300)[0], 255);
    EXPECT_EQ(nine.at(400, 300)[1], 255);
    EXPECT_EQ(nine.at(400, 300)[0], 0);
    // With a scene selected the bars are drawn: 72 rows each.
    EXPECT_EQ(nine.at(400, 71)[1], 0);
    EXPECT_EQ(nine.at(400, 72)[1], 255);
    EXPECT_EQ(nine.at(400, 527)[1], 255);
    EXPECT_EQ(nine.at(400, 528)[1], 0);
}

TEST(EngineRun, DebugTailShowsTheBannersAndEchoes) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    const std::string dir = testfs_MakeTempDir("engine-debug");
    const VortanRun run = runVortan(dir, "@setdebug 0|1\n@setdebug 0|0\n@end 0\n", "--capture c --fps 30 debug");
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string head = "_.________ _Vortan_ Initialized\n"
                             "\n_.________ Registering _Vor functions\n"
                             "\n_.________ Parsing script\n"
                             "\n_.________ Script eval : No Error \n"
                             "\n_.________ Opening GL surface\n"
                             "\n_.________ Init GL\n";
    const std::string frames = "\n#call SetDebug\n\rline : 0 _ status : 0 # 0.000000 \r ";
    const std::string tail = "\n_.________ Closing soundStream\n"
                             "\n_.________ Closing Stream\n"
                             "\n_.________ Terminating GL surface\n";
    EXPECT_EQ(run.out, head + frames + tail);
    EXPECT_EQ(run.log, TEN_LINES);

    // A missing script still opens the window and runs until the time limit.
    const std::string empty = testfs_MakeTempDir("engine-missing");
    const VortanRun missing = runVortan(empty, "", "--script nowhere.qlo --capture c --fps 10 --duration 0.3 debug");
    EXPECT_EQ(missing.status, 0);
    EXPECT_NE(missing.out.find("\n_.________ Script eval : File not found \n"), std::string::npos) << missing.out;
    EXPECT_EQ(countFrames(empty + "/c"), 3);
}

// Reads a command's standard output (first line).
std::string commandOutput(const std::string &command) {
    std::string text;
    if (FILE *pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
        pclose(pipe);
    }
    return text.substr(0, text.find('\n'));
}

TEST(EngineRun, ResizeIsUndoneAndEscapeEndsTheShowNormally) {
    if (!haveDisplay()) GTEST_SKIP() << "no display";
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
    const std::string dir = testfs_MakeTempDir("engine-escape");
    std::system(("mkdir -p " + dir + "/datas").c_str());
    testfs_WriteFile(dir + "/datas/opal.qlo", "@end 1000\n");
    // The time limit only keeps a broken run from hanging the suite.
    std::system(("cd " + dir + " && (" VORTAN_EXE " --no-dialog --duration 60 >out.txt 2>&1; echo $? >status.txt) &").c_str());
    const std::string window =
        commandOutput("timeout 20 xdotool search --sync --name '^_Vortan_' 2>/dev/null | head -1");
    ASSERT_FALSE(window.empty()) << "the show window did not appear";
    std::system(("xdotool windowsize " + window + " 300 200 >/dev/null 2>&1").c_str());
    std::string geometry;
    for (int i = 0; i < 100 && geometry.find("640x480") == std::string::npos; ++i) {
        usleep(50000);
        geometry = commandOutput("xdotool getwindowgeometry " + window + " 2>/dev/null | grep Geometry");
    }
    EXPECT_NE(geometry.find("640x480"), std::string::npos) << geometry;
    std::system(("xdotool key --window " + window + " Escape >/dev/null 2>&1").c_str());
    std::string status;
    for (int i = 0; i < 200 && status.empty(); ++i) {
        usleep(50000);
        status = testfs_ReadFile(dir + "/status.txt");
    }
    EXPECT_EQ(status, "0\n");
    EXPECT_EQ(testfs_ReadFile(dir + "/_vor_.log"), TEN_LINES);
}

TEST(EngineRun, CommandLineExitStatuses) {
    const std::string dir = testfs_MakeTempDir("engine-options");
    VortanRun run = runVortan(dir, "@end 0\n", "--bogus");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("vortan: unknown option --bogus\nusage: vortan"), std::string::npos) << run.err;
    EXPECT_EQ(runVortan(dir, "", "--resolution 640").status, 2);
    EXPECT_EQ(runVortan(dir, "", "--fps").status, 2);
    run = runVortan(dir, "", "--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("--capture DIR"), std::string::npos);
    run = runVortan(dir, "", "--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("vortan ", 0), 0u);
    EXPECT_EQ(run.log, ""); // none of these started the engine
}

TEST(EngineCommands, RegisteredInOpcodeOrder) {
    script_Reset();
    script_Init();
    engine_RegisterCommands();
    const char *const names[25] = {
        "@setlayer",         "@setscene",         "@setcam",           "@initsound",          "@playsound",
        "@setdemostart",     "@glsetclearcolor",  "@glsetcinemascope", "@setdebug",           "@glsetbackground",
        "@glsetcolor",       "@glsetlayerparam",  "@glsetlayerpos",    "@glloadtextureslot",  "@glloadsceneslot",
        "@glsetcurrentscene", "@glsetlayerfadespeed", "@glsetreplayspeed", "@glsetreplayframe", "@glsetlayerparamex",
        "@glfx_glow",        "@glfx_rtparam",     "@glfx_rtalpha",     "@glsetcamera",        "@setresourcedir"};
    for (int op = 0; op < 25; ++op) {
        EXPECT_STREQ(script.commands[op].name, names[op]) << op;
        EXPECT_EQ(script.commands[op].opcode, op);
    }
    EXPECT_EQ(script.commands[0].handler, &SetLayer);
    EXPECT_EQ(script.commands[8].handler, &SetDebug);
    EXPECT_EQ(script.commands[12].handler, &SetLayerPos);
    EXPECT_EQ(script.commands[22].handler, &glFx_RenderTargetAlpha);
    EXPECT_EQ(script.commands[24].handler, &SetResourceDir);
    EXPECT_STREQ(script.commands[25].name, "null"); // nothing beyond the 25
}

TEST(EngineCommands, EscapeOnPressEndsTheShow) {
    engine_ResetState();
    engine_OnKey(256 /* GLFW_KEY_ESCAPE */, 0 /* release */);
    engine_OnKey(65, 1);
    EXPECT_EQ(engine.runStatus, 0);
    engine_OnKey(256, 1);
    EXPECT_EQ(engine.runStatus, -1);
}
