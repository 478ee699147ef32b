// Screen overlays drawn for real: clear colour, cinemascope bars, gradient and picture background.
#include <gtest/gtest.h>
#include <string>
#include <tuple>

#include "tests/support/engine_stage.h"

namespace {
void setCinemascope(const char *on, const char *percent) {
    etest_Params({"0", on, percent});
    glSetCinemascope();
}
} // namespace

TEST(Cinemascope, BarAndStripHeightsFollowTheWindowHeight) {
    EngineStage stage;
    engine.debugMode = 1;
    for (auto [height, percent, bar, strip] :
         {std::tuple{600, "12\n", 72, 456}, {480, "15", 72, 336}, {480, "1", 4, 472}}) {
        engine.screenHeight = height;
        setCinemascope("1", percent);
        EXPECT_EQ(engine.cinemascopeBar, bar) << percent;
        EXPECT_EQ(engine.cinemascopeHeight, strip) << percent;
    }
    EXPECT_EQ(stage.echo.rfind("\n#Call glSetCinemascope 72 \n\r \n#Call glSetCinemascope 72 \n\r ", 0), 0u) << stage.echo;
    // An absurd percentage cannot overflow; the bars then cover the window.
    setCinemascope("1", "2000000000");
    EXPECT_EQ(engine.cinemascopeBar, 480);
    // Switching off hides the bars, prints nothing and keeps the geometry.
    stage.echo.clear();
    setCinemascope("0", "30");
    EXPECT_EQ(engine.cinemascopeEnabled, 0);
    EXPECT_EQ(engine.cinemascopeBar, 480);
    EXPECT_EQ(stage.echo, "");
}

TEST(Overlays, ClearColourBarsAndBackgroundsOnScreen) {
    const EngineStage stage(640, 480);
    if (!stage.window) GTEST_SKIP() << "no display";

    // No scene selected: only the clear colour shows, whatever else is switched on.
    etest_Params({"0", "0.2", "0.4", "0.6\n"});
    glSetClearColor();
    engine.cinemascopeEnabled = 1;
    engine.cinemascopeBar = 72;
    engine.cinemascopeHeight = 336;
    engine_DrawFrame(0.0);
    EXPECT_TRUE(testgl_Near(testgl_Read(5, 5), 51, 102, 153));

    // With a scene selected the bars cover rows 0..71 and 408..479.
    engine.currentScene = 0;
    etest_Params({"0", "2", "1", "1", "1"});
    SetColor(); // index 2 is the clear colour too
    engine_DrawFrame(0.0);
    EXPECT_TRUE(testgl_Near(testgl_Read(320, 71), 0, 0, 0));
    EXPECT_TRUE(testgl_Near(testgl_Read(320, 72), 255, 255, 255));
    EXPECT_TRUE(testgl_Near(testgl_Read(320, 407), 255, 255, 255));
    EXPECT_TRUE(testgl_Near(testgl_Read(320, 408), 0, 0, 0));
    EXPECT_TRUE(testgl_Near(testgl_Read(639, 479), 0, 0, 0));

    // Gradient: colour 1 at the bottom of the strip, colour 0 at its top.
    etest_Params({"0", "0", "0", "0", "1"});
    SetColor();
    etest_Params({"0", "1", "1", "0", "0"});
    SetColor();
    etest_Params({"0", "1", "1", "7"});
    SetBackground();
    EXPECT_EQ(engine.backgroundArg, 7);
    engine_DrawFrame(0.0);
    const TestPixel bottom = testgl_Read(320, 72), top = testgl_Read(320, 407), middle = testgl_Read(320, 240);
    EXPECT_GT(bottom.r, 250);
    EXPECT_LT(bottom.b, 5);
    EXPECT_GT(top.b, 250);
    EXPECT_LT(top.r, 5);
    EXPECT_NEAR(middle.r, 128, 3);
    EXPECT_NEAR(middle.b, 128, 3);
    EXPECT_TRUE(testgl_Near(testgl_Read(320, 40), 0, 0, 0)); // the bar still covers the bottom

    // Picture: layer 0's texture stretched over the strip, layer 0 itself invisible.
    etest_SolidTexture(3, 4, 4, 0, 200, 0, 255);
    engine.layers[0].texture = 3;
    etest_Params({"0", "1", "2", "0"});
    SetBackground();
    engine_DrawFrame(0.0);
    EXPECT_TRUE(testgl_Near(testgl_Read(0, 72), 0, 200, 0)); // its corners
    EXPECT_TRUE(testgl_Near(testgl_Read(639, 407), 0, 200, 0));
    // Without a texture on layer 0 the strip is plain white, not texture name 0's picture.
    etest_SolidTexture(0, 4, 4, 200, 0, 0, 255);
    engine.layers[0].texture = -1;
    engine_DrawFrame(0.0);
    EXPECT_TRUE(testgl_Near(testgl_Read(320, 240), 255, 255, 255));

    // Switching the background off keeps its mode; the bars off show the clear colour there.
    etest_Params({"0", "0", "1"});
    SetBackground();
    EXPECT_EQ(engine.backgroundMode, 2);
    setCinemascope("0", "");
    engine_DrawFrame(0.0);
    EXPECT_TRUE(testgl_Near(testgl_Read(320, 40), 255, 255, 255));
    EXPECT_TRUE(testgl_Near(testgl_Read(320, 240), 255, 255, 255));
}
