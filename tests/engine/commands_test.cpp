// The engine's own command handlers and the path helpers of the engine record.
#include <gtest/gtest.h>
#include <string>

#include "capture/capture.h"
#include "engine/commands.h"
#include "script/text.h"
#include "state/engine_state.h"
#include "tests/support/engine_stage.h"

TEST(EngineCommands, DebugDemoStartResourceDirAndColours) {
    EngineStage stage;
    etest_Params({"0", "1\n"});
    SetDebug();
    EXPECT_EQ(engine.debugMode, 1);
    EXPECT_EQ(stage.echo, "\n#call SetDebug\n\r");

    // The resource directory is not cut at 55 characters.
    const char *longDir = "a/longer/than/fifty/five/characters/resource/directory/name/";
    etest_Params({"0", (std::string(longDir) + "\n").c_str()});
    SetResourceDir();
    EXPECT_STREQ(engine.resourceDir, longDir);

    // The demo start is the timer's reading: on the capture clock, frame 3 at 4 fps.
    capture_Begin(stage.cwd.path.c_str(), 4.0);
    for (int k = 0; k < 3; ++k) capture_NextFrame();
    SetDemoStart();
    EXPECT_DOUBLE_EQ(engine.demoStart, 0.75);
    engine_SetClock(nullptr);

    etest_Params({"0", "1\n"}); // missing numbers read as 0
    glSetClearColor();
    EXPECT_FLOAT_EQ(engine.colors[2].red, 1.0f);
    EXPECT_FLOAT_EQ(engine.colors[2].green, 0.0f);
    etest_Params({"0", "2", "0.1", "0.2", "0.3\n"});
    SetColor();
    EXPECT_FLOAT_EQ(engine.colors[2].blue, 0.3f);

    // Colour indices outside 0..3 are refused; with debug off nothing is echoed at all.
    etest_Params({"0", "0\n"});
    SetDebug();
    stage.echo.clear();
    for (const char *index : {"4", "-1"}) {
        etest_Params({"0", index, "1", "1", "1"});
        SetColor();
    }
    EXPECT_FLOAT_EQ(engine.colors[3].red, 0.0f);
    EXPECT_EQ(stage.echo, "");
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \terror on SetColor : colour index 4 out of range (0..3)\n"
                                            "- _Vortan_ \terror on SetColor : colour index -1 out of range (0..3)\n");

    // Integers read as atoi reads them where they fit an int; beyond, they are out of range,
    // never wrapped (4294967296 is not colour 0) and never overflow (a sanitized build aborts).
    const struct {
        const char *params[4];
        void (*handler)();
        const char *refused; // "" when taken
    } limits[] = {
        {{"0", "4294967296", "1", "1"}, SetColor, "SetColor : colour index 4294967296 out of range (0..3)"},
        {{"0", "2.9", "0.5", "1"}, SetColor, ""},
        {{"0", " -2147483649"}, SetDebug, "SetDebug : debug mode -2147483649 out of range (-2147483648..2147483647)"},
        {{"0", "1", "9223372036854775807\n"}, glSetCinemascope,
         "glSetCinemascope : bar height 9223372036854775807 out of range (-2147483648..2147483647)"},
        {{"0", "1", "2147483647\n"}, glSetCinemascope, ""},
    };
    trace_Reset();
    std::string expected;
    for (const auto &row : limits) {
        etest_Params({row.params[0], row.params[1], row.params[2] ? row.params[2] : "", row.params[3] ? row.params[3] : ""});
        row.handler();
        if (*row.refused) expected += std::string("- _Vortan_ \terror on ") + row.refused + "\n";
    }
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), expected);
    EXPECT_FLOAT_EQ(engine.colors[0].red, 0.0f);
    EXPECT_FLOAT_EQ(engine.colors[2].red, 0.5f); // "2.9" is colour 2
    EXPECT_EQ(engine.debugMode, 0);
    EXPECT_EQ(engine.cinemascopeBar, engine.screenHeight); // bars as high as the window, no more
}

TEST(EngineCommands, PathsFitWholeOrAreRefused) {
    const EngineStage stage;
    char path[8];
    EXPECT_TRUE(engine_JoinPath(path, sizeof path, "dir/", "abc")); // seven characters: fits exactly
    EXPECT_STREQ(path, "dir/abc");
    EXPECT_FALSE(engine_JoinPath(path, sizeof path, "dir/", "abcd")); // one more: refused, not cut
    EXPECT_STREQ(path, "");

    text_CopyBounded(engine.resourceDir, "dir/");
    EXPECT_TRUE(engine_BuildPath(path, sizeof path, "abc", "Load"));
    EXPECT_STREQ(path, "dir/abc");
    EXPECT_FALSE(engine_BuildPath(path, sizeof path, "abcd", "Load"));
    EXPECT_EQ(testfs_ReadFile("_vor_.log"), "- _Vortan_ \terror on Load : path too long\n");
}
