// The engine's own command handlers and the frame-exact capture's clock and PNG writer.
#include <gtest/gtest.h>
#include <png.h>
#include <string>

#include "runtime/capture.h"
#include "startup/console.h"
#include "startup/trace.h"
#include "tests/runtime/engine_test_util.h"
#include "tests/support/temp_dir.h"

TEST(EngineCommands, DebugDemoStartResourceDirAndColours) {
    TestCwd cwd("commands");
    trace_Reset();
    engine_ResetState();
    std::string echo;
    console_SetCapture(&echo);

    etest_Params({"0", "1\n"});
    SetDebug();
    EXPECT_EQ(engine.debugMode, 1);
    EXPECT_EQ(echo, "\n#call SetDebug\n\r");
    SetLayer();
    SetScene();
    SetCam();
    EXPECT_EQ(echo, "\n#call SetDebug\n\r"); // the empty handlers say nothing

    echo.clear();
    etest_Params({"0", "datas/\n"});
    SetResourceDir();
    EXPECT_STREQ(engine.resourceDir, "datas/");
    etest_Params({"0", "a/longer/than/fifty/five/characters/resource/directory/name/\n"});
    SetResourceDir();
    EXPECT_STREQ(engine.resourceDir, "a/longer/than/fifty/five/characters/resource/directory/name/");
    etest_Params({"0", ""});
    SetResourceDir();
    EXPECT_STREQ(engine.resourceDir, "");
    EXPECT_EQ(echo, "\n#call SetResourceDir\n\r\n#call SetResourceDir\n\r\n#call SetResourceDir\n\r");

    capture_Begin(cwd.path.c_str(), 4.0);
    capture_NextFrame();
    capture_NextFrame();
    capture_NextFrame();
    echo.clear();
    SetDemoStart();
    EXPECT_DOUBLE_EQ(engine.demoStart, 0.75);
    EXPECT_EQ(echo, "\n#call SetDemoStart\n\r");
    engine_SetClock(nullptr);

    etest_Params({"0", "1\n"}); // missing numbers read as 0
    glSetClearColor();
    EXPECT_FLOAT_EQ(engine.colors[2].red, 1.0f);
    EXPECT_FLOAT_EQ(engine.colors[2].green, 0.0f);
    etest_Params({"0", "2", "0.1", "0.2", "0.3\n"});
    SetColor();
    EXPECT_FLOAT_EQ(engine.colors[2].blue, 0.3f);

    echo.clear();
    etest_Params({"0", "4", "1", "1", "1"});
    SetColor();
    etest_Params({"0", "-1", "1", "1", "1"});
    SetColor();
    EXPECT_EQ(echo, "");
    EXPECT_FLOAT_EQ(engine.colors[3].red, 0.0f);
    etest_Params({"0", "0\n"});
    SetDebug();
    etest_Params({"0", "1", "1", "1"});
    glSetClearColor();
    EXPECT_EQ(echo, ""); // debug off: no echo at all
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \terror on SetColor : colour index 4 out of range (0..3)\n"
                                            "- _Vortan_ \terror on SetColor : colour index -1 out of range (0..3)\n");
    console_SetCapture(nullptr);
}

TEST(Capture, VirtualClockFoldersAndPngRows) {
    const std::string dir = testfs_MakeTempDir("capture") + "/a/b/c";
    ASSERT_TRUE(capture_Begin(dir.c_str(), 30.0));
    EXPECT_EQ(engine_Time(), 0.0);
    for (int k = 0; k < 7; ++k) capture_NextFrame();
    EXPECT_EQ(capture_Frame(), 7);
    EXPECT_EQ(engine_Time(), 7.0 / 30.0);
    EXPECT_FALSE(capture_Begin("/proc/no-such-folder/x", 30.0));
    engine_SetClock(nullptr);

    // Two rows: the first written row (red) must come back as the top row.
    const unsigned char rgb[] = {255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255};
    const std::string path = dir + "/p.png";
    ASSERT_TRUE(capture_WritePng(path.c_str(), rgb, 3, 2));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ(image.format, png_uint_32(PNG_FORMAT_RGB));
    unsigned char back[18] = {};
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, back, 0, nullptr));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(back), 18), std::string(reinterpret_cast<const char *>(rgb), 18));
    EXPECT_FALSE(capture_WritePng((dir + "/missing/q.png").c_str(), rgb, 3, 2));
}
