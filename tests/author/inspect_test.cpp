// --inspect on each kind of file: generated scenes, TGAs of every kind and broken ones, a WAV
// with known cues and a game's module, each seen as the engine sees it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "author/inspect.h"
#include "tests/support/temp_dir.h"
#include "tools/musicgen/musicgen.h"
#include "tools/scenegen/scenegen.h"
#include "tools/texgen/tga_write.h"

namespace {

std::string inspect(std::vector<const char *> paths, bool json, int *status) {
    return testfs_Printed([&](FILE *out) { *status = inspect_Files(int(paths.size()), const_cast<char **>(paths.data()), json, out); });
}

TEST(Inspect, SceneShowsItsCamerasLightsMeshesAndMaps) {
    TestCwd cwd("inspect-scene");
    ASSERT_TRUE(scenegen_WriteUser(SgUserScene{true, "Front", "Sun", "brick.tga", 50}, "s.3ds"));
    testfs_WriteFile("cut.3ds", testfs_ReadFile("s.3ds").substr(0, 200));
    int status = -1;
    EXPECT_EQ(inspect({"s.3ds"}, false, &status),
              "s.3ds: 3DS scene\n"
              "  first keyframe: 0\n"
              "  last keyframe: 50\n"
              "  camera 'Front': position (30, -40, 25), target (0, 0, 0), lens mm 53.3333, fov 45, keyframed yes\n"
              "  light 'Sun': kind point, position (20, -20, 40), colour (1, 1, 1)\n"
              "  mesh 'cube': faces 12, points 24, material 'material', texture coordinates yes, keyframed yes\n"
              "  material 'material': ambient (0.2, 0.2, 0.2), diffuse (1, 1, 1), specular (0.301961, 0.301961, "
              "0.301961), shininess 0.3, transparency 0, texture map 'brick.tga', reflection map ''\n");
    EXPECT_EQ(status, 0);
    // A converter's kind of file: no camera, no light, a mesh without a keyframer node.
    Lib3dsFile *bare = scenegen_NewFile(10);
    scenegen_AddMesh(bare, "box", scenegen_Triangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), "");
    ASSERT_TRUE(scenegen_Save(bare, "bare.3ds"));
    lib3ds_file_free(bare);
    EXPECT_EQ(inspect({"bare.3ds"}, false, &status),
              "bare.3ds: 3DS scene\n  first keyframe: 0\n  last keyframe: 100\n" // lib3ds's range without a keyframer
              "  no camera: a default view frames the scene\n  no lights: default light\n"
              "  mesh 'box': faces 1, points 3, material '', texture coordinates yes, keyframed no\n");
    std::string json = inspect({"cut.3ds"}, true, &status);
    EXPECT_EQ(json.rfind("{\"files\":[{\"path\":\"cut.3ds\",\"kind\":\"3DS scene\",\"ok\":false,\"problem\":\"", 0), 0u)
        << json;
    EXPECT_EQ(status, 1);
}

TEST(Inspect, TgaAndWhyABrokenOneIsRefused) {
    TestCwd cwd("inspect-tga");
    const uint8_t pixels[3 * 5 * 4] = {};
    tgawrite_Save("rgba.tga", pixels, 3, 5, 4, TgaWriteOptions{2, true, false, 0, ""}); // top first
    std::string b16 = testfs_ReadFile("rgba.tga");
    b16[16] = 16;
    testfs_WriteFile("b16.tga", b16);
    int status = -1;
    EXPECT_EQ(inspect({"rgba.tga"}, false, &status),
              "rgba.tga: TGA picture\n  type: 2\n  type name: true-colour\n  width: 3\n  height: 5\n  bits: 32\n"
              "  origin: top left\n  alpha: yes\n  texture width: 4\n  texture height: 8\n");
    EXPECT_EQ(status, 0);
    testfs_WriteFile("picture.png", std::string("\x89PNG\r\n\x1a\n", 8) + "junk");
    testfs_WriteFile("notes.doc", "text");
    std::string out = inspect({"b16.tga", "absent.tga", "picture.png", "notes.doc"}, false, &status);
    EXPECT_NE(out.find("picture.png: PNG picture\n  refused: damaged PNG: "), std::string::npos) << out;
    EXPECT_NE(out.find("notes.doc: unknown\n  refused: not a kind of file the engine reads: 3DS scenes (.3ds), "
                       "pictures (.tga, .png, .jpg)"), std::string::npos) << out;
    EXPECT_NE(out.find("  bits: 16\n  origin: top left\n  alpha: no\n  refused: unsupported bits per pixel (16;"),
              std::string::npos) << out;
    EXPECT_NE(out.find("absent.tga: TGA picture\n  refused: cannot read the file: No such file or directory\n"),
              std::string::npos) << out;
    EXPECT_EQ(status, 1);
}

// Sync points as stamps name them: a WAV's cues, a module's orders (a game's module, see
// tests/sound/data/README.md).
TEST(Inspect, MusicShowsItsFormatLengthAndSyncPoints) {
    TestCwd cwd("inspect-wav");
    std::vector<int16_t> samples(22050);
    testfs_WriteFile("cues.wav", musicgen_WavBytes(samples.data(), samples.size(), 1, 22050,
                                                   {{11025, "drop"}, {16538, "break \"b\""}}));
    int status = -1;
    EXPECT_EQ(inspect({"cues.wav"}, true, &status),
              "{\"files\":[{\"path\":\"cues.wav\",\"kind\":\"music\",\"format\":\"WAV (Microsoft), Signed 16 bit "
              "PCM\",\"rate\":22050,\"channels\":1,\"seconds\":1,\"sync_points\":[{\"name\":\"drop\",\"seconds\":0.5},"
              "{\"name\":\"break \\\"b\\\"\",\"seconds\":0.750023}],\"ok\":true}]}\n");
    EXPECT_EQ(status, 0);
    // A name given twice and one cut at its 63 bytes are said, as --check says them.
    testfs_WriteFile("twice.wav", musicgen_WavBytes(samples.data(), samples.size(), 1, 22050,
                                                    {{100, "hit"}, {200, "hit"}, {300, std::string(80, 'n')}}));
    const std::string twice = inspect({"twice.wav"}, false, &status);
    EXPECT_NE(twice.find("  sync point 'hit': seconds 0.00907029, named before yes\n"), std::string::npos) << twice;
    EXPECT_NE(twice.find("  sync point names cut: 1\n  sync point names given twice: 1\n"), std::string::npos) << twice;
    testfs_WriteFile("game.it", testfs_ReadFile(SOUND_TEST_DATA "/biniax_common02.it"));
    const std::string module = inspect({"game.it"}, false, &status);
    EXPECT_NE(module.find("  seconds: 115.2\n  tempo: 125\n  sync point 'order0': seconds 0\n  sync point 'order1': seconds 3.84\n"),
              std::string::npos) << module;
    EXPECT_NE(module.find("  sync point 'order28': seconds 107.52\n  order list: 2 2 0 0"), std::string::npos) << module;
    EXPECT_EQ(status, 0);

    // Any bytes give valid JSON, read back by jq: a name that is not UTF-8 reads as Latin-1, and
    // a cue name cut at its limit (63 bytes) ends on a whole character.
    std::string e40;
    for (int i = 0; i < 40; i++) e40 += "\xc3\xa9";
    testfs_WriteFile("\xe9t\xe9.wav", musicgen_WavBytes(samples.data(), samples.size(), 1, 22050, {{0, e40.c_str()}}));
    testfs_WriteFile("names.json", inspect({"\xe9t\xe9.wav", "\xff\xfe.tga"}, true, &status));
    EXPECT_EQ(status, 1); // the picture is not there
    EXPECT_EQ(std::system("jq -r '.files[0].path, .files[0].sync_points[0].name, .files[1].path' names.json >names.txt"), 0);
    EXPECT_EQ(testfs_ReadFile("names.txt"), "\xc3\xa9t\xc3\xa9.wav\n" + e40.substr(0, 62) + "\n\xc3\xbf\xc3\xbe.tga\n");
}

// A FIFO, a folder or an oversized script is refused without waiting, as --check refuses it, and
// a description that cannot be written out is a failure.
TEST(Inspect, FilesThatCannotBeReadAndOutputThatCannotBeWritten) {
    TestCwd cwd("inspect-refused");
    ASSERT_EQ(mkfifo("pipe.tga", 0644), 0);
    ASSERT_EQ(mkfifo("pipe.qlo", 0644), 0);
    ASSERT_EQ(mkdir("folder.3ds", 0755), 0);
    testfs_WriteFile("big.qlo", std::string((1 << 20) + 1, '\n'));
    int status = -1;
    const std::string out = inspect({"pipe.tga", "pipe.qlo", "folder.3ds", "big.qlo"}, false, &status);
    EXPECT_EQ(status, 1);
    for (const char *says : {"pipe.tga: TGA picture\n  refused: cannot read the file: a FIFO, not a file\n",
                             "pipe.qlo: script\n  refused: cannot read the script: a FIFO, not a file\n",
                             "folder.3ds: 3DS scene\n  refused: cannot read the file: Is a directory\n",
                             "big.qlo: script\n  refused: cannot read the script: larger than 1 MiB (1048577 bytes)\n"})
        EXPECT_NE(out.find(says), std::string::npos) << out;
    // A script's ramps, with their times and curves.
    testfs_WriteFile("ramps.qlo", "@setbpm 0|60|1\n@glsetcolor 1b..3b:in|1|0|0|0\n@end 5\n");
    EXPECT_EQ(inspect({"ramps.qlo"}, false, &status), "ramps.qlo: script\n  errors: 0\n  warnings: 0\n  ramp '@glsetcolor': "
              "line 2, from 2, to 4, curve in\n  texture slots: none\n  scene slots: none\n");
    std::vector<int16_t> samples(100);
    testfs_WriteFile("ok.wav", musicgen_WavBytes(samples.data(), samples.size(), 1, 22050, {}));
    const char *paths[] = {"ok.wav"};
    for (const char *sink : {"/dev/null", "/dev/full"}) {
        FILE *out = fopen(sink, "w");
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(inspect_Files(1, const_cast<char **>(paths), true, out), strcmp(sink, "/dev/full") == 0) << sink;
        fclose(out);
    }
}

} // namespace
