// The script checker: one fault of each kind, reported at its file line with the exact text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "runtime/check.h"
#include "runtime/engine.h"
#include "runtime/render.h"
#include "script/script.h"
#include "tests/support/temp_dir.h"

namespace {

std::string runCheck(const char *path, CheckReport *report) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    *report = check_Script(path, out);
    fclose(out);
    std::string result(text, size);
    free(text);
    return result;
}

} // namespace

TEST(CheckTest, ReportsEachFaultAtItsFileLine) {
    TestCwd cwd("check");
    mkdir("datas", 0755);
    testfs_WriteFile("datas/logo.tga", "x");
    testfs_WriteFile("datas/music.wav", "x");
    testfs_WriteFile("show.qlo",
                     "// header comment, not numbered\n"
                     "@setresourcedir 0|datas/\n"                // 2: fine
                     "@glloadtextureslot 0|logo.tga|3|1\n"       // 3: fine
                     "@glloadtextureslot 0|missing.tga|4|1\n"    // 4: file missing
                     "@glsetcolr 1|0|1|1|1\n"                    // 5: unknown command
                     "@playsound\n"                              // 6: no blank
                     "@glsetclearcolor 2|0.5|abc|0\n"            // 7: not a number
                     "@glsetcolor 3|7|1|1|1\n"                   // 8: index out of range
                     "@glsetlayerpos 4|3\n"                      // 9: parameters missing
                     "@glsetcamera 5|Camera01\n"                 // 10: name carries the line end
                     "@glsetlayerparam 6|2|LOGO.TGA|1|1|1|1\n"   // 11: no slot by that name
                     "@initsound 7|music.wav\n"                  // 12: name carries the line end
                     "\n"
                     "(intro\n"                                  // 14: macro never closed
                     "@glloadsceneslot 8|0|scene.3ds\n");        // 15: missing file; no @end
    CheckReport report;
    std::string out = runCheck("show.qlo", &report);
    const char *expected =
        "show.qlo:4: error: image file 'datas/missing.tga' not found\n"
        "show.qlo:5: error: unknown command '@glsetcolr'\n"
        "show.qlo:6: error: command '@playsound' has no blank and no parameters after it, so it matches no command\n"
        "show.qlo:7: error: @glsetclearcolor: parameter 2 (green) 'abc' is not a number\n"
        "show.qlo:8: error: @glsetcolor: colour index 7 is out of range (0..3)\n"
        "show.qlo:9: error: @glsetlayerpos: parameter 2 (blend) is missing\n"
        "show.qlo:9: error: @glsetlayerpos: parameter 3 (fade speed) is missing\n"
        "show.qlo:9: error: @glsetlayerpos: parameter 4 (x) is missing\n"
        "show.qlo:9: error: @glsetlayerpos: parameter 5 (y) is missing\n"
        "show.qlo:9: error: @glsetlayerpos: parameter 6 (width) is missing\n"
        "show.qlo:9: error: @glsetlayerpos: parameter 7 (height) is missing\n"
        "show.qlo:10: warning: @glsetcamera: the camera name carries the line end and will match no camera; end the "
        "line with '|'\n"
        "show.qlo:11: warning: @glsetlayerparam: no texture slot is loaded as 'LOGO.TGA' before this line; the layer "
        "shows slot 0 (names match exactly, case included)\n"
        "show.qlo:12: error: @initsound: music file 'music.wav' ends the line, so its name would carry the line end; "
        "add a trailing '|'\n"
        "show.qlo:15: error: scene file 'datas/scene.3ds' not found\n"
        "show.qlo:14: warning: macro opened here is never closed with ')'\n"
        "show.qlo:15: warning: the script has no \"@end\" line: the show plays on until it is closed\n";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(report.errors, 13);
    EXPECT_EQ(report.warnings, 4);
}

TEST(CheckTest, TimeOrderResourceDirAndEnd) {
    TestCwd cwd("check-order");
    testfs_WriteFile("a.qlo",
                     "@glsetclearcolor 5|0|0|0\n"
                     "@glsetclearcolor 3|0|0|0\n"   // 2: earlier than line 1
                     "@setdemostart 4|\n"           // script time starts again
                     "@glsetclearcolor 1|0|0|0\n"   // 4: fine after the restart
                     "@glloadtextureslot 1|a.qlo|2|0\n" // 5: no mipmaps
                     "@setresourcedir 2|nowhere/\n" // 6: missing directory
                     ")\n"                          // 7: closes nothing
                     "@end 10\n"
                     "@bogus 11|1\n");              // after the end: never runs, not reported
    CheckReport report;
    std::string out = runCheck("a.qlo", &report);
    EXPECT_EQ(out,
              "a.qlo:2: warning: time stamp 3 is earlier than the line before (5): lines run in file order\n"
              "a.qlo:5: warning: @glloadtextureslot: without mipmaps (parameter 3 is not 1) the texture is incomplete "
              "and draws as if untextured; load it with 1\n"
              "a.qlo:6: error: @setresourcedir: directory 'nowhere/' not found\n"
              "a.qlo:7: warning: ')' closes no open macro\n");
    EXPECT_EQ(report.errors, 1);

    std::string big;
    for (int i = 0; i < 1030; i++) big += "@glsetclearcolor 0|0|0|0\n";
    testfs_WriteFile("big.qlo", big + "@end 1\n");
    out = runCheck("big.qlo", &report);
    EXPECT_NE(out.find("big.qlo:1025: error: the script holds at most 1024 lines"), std::string::npos) << out;

    out = runCheck("absent.qlo", &report);
    EXPECT_EQ(out, "absent.qlo:1: error: cannot open the script\n");
}

TEST(CheckTest, EngineAndCheckerListTheCommandsInOpcodeOrder) {
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
        EXPECT_STREQ(check_CommandName(op), names[op]) << op;
    }
    EXPECT_EQ(script.commands[8].handler, &SetDebug);
    EXPECT_EQ(script.commands[22].handler, &glFx_RenderTargetAlpha);
    EXPECT_STREQ(script.commands[25].name, "null"); // nothing beyond the 25
    EXPECT_STREQ(check_CommandName(25), "");
}
