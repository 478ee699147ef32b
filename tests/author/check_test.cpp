// The script checker: one fault of each kind, reported at its file line with the exact text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include <lib3ds/camera.h>

#include "author/check.h"
#include "draw/draw.h"
#include "engine/engine.h"
#include "script/script.h"
#include "tests/support/temp_dir.h"
#include "tools/musicgen/musicgen.h"
#include "tools/scenegen/scenegen.h"
#include "tools/texgen/tga_write.h"

namespace {

std::string runCheck(const char *path, CheckReport *report) {
    return testfs_Printed([&](FILE *out) { *report = check_Script(path, out); });
}

} // namespace

TEST(CheckTest, ReportsEachFaultAtItsFileLine) {
    TestCwd cwd("check");
    mkdir("datas", 0755);
    const uint8_t pixel[3] = {};
    tgawrite_Save("datas/logo.tga", pixel, 1, 1, 3, TgaWriteOptions{});
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
                     "@glsetlayerpos 4|3|0|1|0|0|9\n"            // 9: a parameter missing
                     "@glsetcamera 5|Camera01\n"                 // 10: name carries the line end
                     "@glsetlayerparam 6|2|LOGO.TGA|1|1|1|1\n"   // 11: no slot by that name
                     "@initsound 7|music.wav\n"                  // 12: name carries the line end
                     "\n"
                     "(intro\n"                                  // 14: macro never closed
                     "@glloadsceneslot 8|0|scene.3ds\n");        // 15: missing file; no @end
    CheckReport report;
    EXPECT_EQ(runCheck("show.qlo", &report),
        "show.qlo:4: error: image file 'datas/missing.tga' not found\n"
        "show.qlo:5: error: unknown command '@glsetcolr'\n"
        "show.qlo:6: error: command '@playsound' has no blank and no parameters after it, so it matches no command\n"
        "show.qlo:7: error: @glsetclearcolor: parameter 2 (green) 'abc' is not a number\n"
        "show.qlo:8: error: @glsetcolor: colour index 7 is out of range (0..3)\n"
        "show.qlo:9: error: @glsetlayerpos: parameter 7 (height) is missing\n"
        "show.qlo:10: error: @glsetcamera: the camera name carries the line end and will match no camera; end the "
        "line with '|'\n"
        "show.qlo:11: warning: @glsetlayerparam: no texture slot is loaded as 'LOGO.TGA' before this line; the layer "
        "shows slot 0 (names match exactly, case included)\n"
        "show.qlo:12: error: @initsound: music file 'music.wav' ends the line, so its name would carry the line end; "
        "add a trailing '|'\n"
        "show.qlo:15: error: scene file 'datas/scene.3ds' not found\n"
        "show.qlo:14: warning: macro opened here is never closed with ')'\n"
        "show.qlo:15: warning: the script has no \"@end\" line: the show plays on until it is closed\n");
    EXPECT_TRUE(report.errors == 9 && report.warnings == 3) << report.errors << " " << report.warnings;
}

TEST(CheckTest, TimeOrderResourceDirAndEnd) {
    TestCwd cwd("check-order");
    const uint8_t pixel[3] = {};
    tgawrite_Save("p.tga", pixel, 1, 1, 3, TgaWriteOptions{});
    testfs_WriteFile("a.qlo",
                     "@glsetclearcolor 5|0|0|0\n"
                     "@glsetclearcolor 3|0|0|0\n"   // 2: earlier than line 1
                     "@setdemostart 4|\n"           // script time starts again
                     "@glsetclearcolor 1|0|0|0\n"   // 4: fine after the restart
                     "@glloadtextureslot 1|p.tga|2|0\n" // 5: no mipmaps
                     "@setresourcedir 2|nowhere/\n" // 6: missing directory
                     ")\n"                          // 7: closes nothing
                     "@end 10\n"
                     "@bogus 11|1\n");              // after the end: never runs, not reported
    CheckReport report;
    EXPECT_EQ(runCheck("a.qlo", &report),
              "a.qlo:2: warning: time stamp 3 is earlier than the line before (5): lines run in file order\n"
              "a.qlo:5: warning: @glloadtextureslot: without mipmaps (parameter 3 is not 1) the texture is incomplete "
              "and draws as if untextured; load it with 1\n"
              "a.qlo:6: error: @setresourcedir: directory 'nowhere/' not found\n"
              "a.qlo:7: warning: ')' closes no open macro\n");
    EXPECT_EQ(report.errors, 1);

    std::string big;
    for (int i = 0; i < 1030; i++) big += "@glsetclearcolor 0|0|0|0\n";
    testfs_WriteFile("big.qlo", big + "@end 1\n");
    std::string out = runCheck("big.qlo", &report);
    EXPECT_NE(out.find("big.qlo:1025: error: the script holds at most 1024 lines"), std::string::npos) << out;

    EXPECT_EQ(runCheck("absent.qlo", &report), "absent.qlo:1: error: cannot open the script: No such file or directory\n");
    mkdir("folder.qlo", 0755);
    EXPECT_EQ(runCheck("folder.qlo", &report).rfind("folder.qlo:1: error: cannot open the script: ", 0), 0u);
}

// Assets the rows below load: good ones, and one broken file of each kind.
void writeAssets() {
    mkdir("datas", 0755);
    const uint8_t pixel[4] = {1, 2, 3, 4};
    tgawrite_Save("datas/ok.tga", pixel, 1, 1, 4, TgaWriteOptions{});
    testfs_WriteFile("datas/game.it", testfs_ReadFile(SOUND_TEST_DATA "/biniax_common02.it"));
    std::string tga = testfs_ReadFile("datas/ok.tga");
    tga[16] = 16;
    testfs_WriteFile("datas/b16.tga", tga);
    scenegen_WriteUser(SgUserScene{false, "Front", "Light01", "OK.TGA"}, "datas/s.3ds");
    testfs_WriteFile("datas/cut.3ds", testfs_ReadFile("datas/s.3ds").substr(0, 100));
    testfs_WriteFile("datas/noise.wav", std::string(64, 'x'));
    // No keyframer: a camera object and a mesh whose map carries the exporter's folder; and a
    // file without any camera.
    for (bool withCamera : {true, false}) {
        Lib3dsFile *file = scenegen_NewFile(10);
        if (withCamera) lib3ds_file_insert_camera(file, lib3ds_camera_new("Cam1"));
        scenegen_AddMaterial(file, SgMaterial{"material", {0.8f, 0.8f, 0.8f}, {0, 0, 0}, 0, 0, "C:\\maps\\OK.TGA", ""});
        scenegen_AddMesh(file, "box", scenegen_Triangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), "material");
        scenegen_Save(file, withCamera ? "datas/bare.3ds" : "datas/nocam.3ds");
        lib3ds_file_free(file);
    }
}

TEST(CheckTest, OpensTheAssetsAndReportsOneFaultPerRow) {
    TestCwd cwd("check-assets");
    writeAssets();
    const struct {
        const char *lines; // after "@setresourcedir 0|datas/", before "@end 99"
        const char *found;
    } rows[] = {
        {"@glloadtextureslot 1|b16.tga|0|1\n",
         "2: error: image file 'datas/b16.tga' cannot be decoded: unsupported bits per pixel (16; the reader takes 8, "
         "24 and 32)"},
        {"@glloadsceneslot 1|0|cut.3ds\n", "2: error: scene file 'datas/cut.3ds' is refused: "},
        {"@glloadtextureslot 1|ok.tga|0|1\n@glloadsceneslot 1|0|s.3ds\n@glsetcurrentscene 1|0\n@glsetcamera 1|Back|\n",
         "5: error: @glsetcamera: scene slot 0 has no camera 'Back', so it shows nothing; its cameras: 'Front'"},
        {"@glloadsceneslot 1|0|s.3ds\n@glloadtextureslot 1|ok.tga|0|1\n",
         "2: warning: @glloadsceneslot: material 'material' names the texture map 'OK.TGA', which no texture slot "
         "loaded before this line provides; slot 0's picture will be used (load 'OK.TGA' before this line)"},
        {"@glloadtextureslot 1|ok.tga|0|1\n@glloadsceneslot 1|0|bare.3ds\n@glsetcurrentscene 1|0\n@glsetcamera 1|Cam1|\n"
         "@glsetcamera 1|Nope|\n",
         "6: error: @glsetcamera: scene slot 0 has no camera 'Nope', so it shows nothing; its cameras: 'Cam1'"},
        {"@glloadtextureslot 1|ok.tga|0|1\n@glloadsceneslot 1|0|nocam.3ds\n",
         "3: warning: @glloadsceneslot: scene file 'datas/nocam.3ds' has no camera: a default view frames the scene"},
        {"@setresourcedir 1|datas\n@glloadtextureslot 1|ok.tga|0|1\n@glloadsceneslot 1|0|s.3ds\n",
         "2: error: @setresourcedir: 'datas' does not end with '/', so the 2 files it names are not found (file "
         "names are appended directly); write 'datas/'"},
        {"@glsetclearcolor 4b|0|0|0\n",
         "2: error: time stamp '4b' counts beats, but no \"@setbpm\" before it sets a tempo (it reads as 4 seconds)"},
        {"@setbpm 1|120|0.5\n@glsetclearcolor 2b|0|0|0\n@glsetclearcolor 1b|0|0|0\n",
         "4: warning: time stamp 1 is earlier than the line before (1.5): lines run in file order"},
        {"@setbpm 1|-1\n", "2: error: @setbpm: tempo -1 out of range (above 0, at most 1000 beats a minute)"},
        {"@setbpm 1|0\n", "2: error: @setbpm: tempo 0 takes the music's own, but no \"@initsound\" before it gives none"},
        // Tempo 0 takes the module's (125 a minute: its second order starts on beat 8, 3.84 s in).
        {"@initsound 1|game.it|\n@setbpm 1|0\n@glsetclearcolor order1|0|0|0\n@glsetclearcolor 7b|0|0|0\n",
         "5: warning: time stamp 3.36 is earlier than the line before (3.84): lines run in file order"},
        {"@glsetclearcolor 2..1:smooth|0|0|0\n", "2: error: ramp 2..1 ends (1 s) before it starts (2 s)"},
        {"@setbpm 1|60\n@glsetcolor 2b..3b:bounce|1|0|0|0\n", "3: error: ramp: no curve 'bounce' (linear, smooth, in, out, step)"},
        {"@glsetlayerfadespeed 1..2|1|1\n", "2: error: @glsetlayerfadespeed cannot ramp: the line sets its values at once"},
        {"@glloadtextureslot 1|ok.tga|0|1\n@glsetlayerparam 1|3|ok.tga|1|0|1|1\n@glsetlayerparam 2..3|3|ok.tga|0|1|1|1\n",
         "4: error: @glsetlayerparam ramp: its visible '0' differs from the one in force ('1'); a ramp moves numbers "
         "only, so set it on an earlier line"},
        {"@glsetlayerpos 2..3|3|1|0|0|0|0|0\n", "2: error: @glsetlayerpos ramp: its blend '1' differs from the one in "
                                              "force ('0')"},
        {"@glfx_rtparam 1|2|480\n@glfx_rtparam 1|1|512\n", "3: error: @glfx_rtparam: a render target of 512 pixels is larger than the "
                                    "640x480 window (--resolution); the glow copies it from the window"},
        {"@glsetcinemascope 1|1|50\n",
         "2: warning: @glsetcinemascope: bars of 50 % of the window height each cover the whole frame, which shows black"},
        {"@glsetlayerfadespeed 1|22|1\n", "2: warning: @glsetlayerfadespeed: layer 22 is render target 2's record: "
                                          "accepted, but never drawn as a layer (layers are 0..19)"},
        {"@glsetlayerfadespeed 1|4294967296|1\n",
         "2: error: @glsetlayerfadespeed: parameter 1 (layer) '4294967296' does not fit an integer"},
        {"@glsetclearcolor 1|0|0|0|1|1|1|1|1|1|1\n",
         "2: warning: @glsetclearcolor: the line has 11 parameters (time stamp included); those after the tenth are "
         "ignored"},
        {"@initsound 1|noise.wav|\n", "2: error: music file 'datas/noise.wav' cannot be decoded: no decoder takes it "
                                      "(WAV, AIFF, FLAC, Ogg, MP3, MOD, XM, S3M, IT)"},
    };
    CheckReport report;
    for (const auto &row : rows) {
        testfs_WriteFile("t.qlo", std::string("@setresourcedir 0|datas/\n") + row.lines + "@end 99\n");
        const std::string out = runCheck("t.qlo", &report);
        EXPECT_EQ(out.rfind(std::string("t.qlo:") + row.found, 0), 0u) << out;
        EXPECT_EQ(report.errors + report.warnings, 1) << out;
    }
    // Long lines and too many macros, where the line count matters.
    std::string macros;
    for (int i = 0; i < 26; i++) macros += "(m\n)\n";
    testfs_WriteFile("t.qlo", "@glsetclearcolor 1|0|0|0|" + std::string(240, 'x') + "\n" + macros + "@end 99\n");
    EXPECT_EQ(runCheck("t.qlo", &report),
              "t.qlo:1: warning: the line is longer than 254 characters: it is cut there and the rest reads as the "
              "next line\n"
              "t.qlo:52: warning: the script holds at most 25 macros: this one and those after it are not recorded "
              "(their lines still run)\n");
}

TEST(CheckTest, EngineAndCheckerListTheCommandsInOpcodeOrder) {
    script_Reset();
    script_Init();
    engine_RegisterCommands();
    for (int op = 0; op < 26; ++op) {
        EXPECT_STREQ(script.commands[op].name, check_CommandName(op)) << op;
        EXPECT_EQ(script.commands[op].opcode, op);
    }
    EXPECT_STREQ(check_CommandName(26), ""); // nothing beyond "@setbpm"
}
