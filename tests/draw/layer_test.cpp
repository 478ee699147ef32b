// Layers: placement at two window sizes, fade and drift, the two blend modes, the alpha test,
// the depth order with and without the glow, and the four layer handlers.
#include <gtest/gtest.h>
#include <string>
#include <tuple>

#include <GL/gl.h>
#include <GL/glext.h>

#include "draw/gl_ext.h"
#include "tests/support/engine_stage.h"

namespace {
constexpr unsigned WHITE = 1, RED = 2, GREEN = 3, HOLES = 4;

// One 2D stage as the frame loop sets it up, drawing only `layer`.
void drawAlone(Layer &layer, double frameDelta) {
    etest_Begin2DStage();
    DrawLayer(layer, engine.screenWidth, engine.screenHeight, frameDelta);
    glDisable(GL_BLEND);
    End2D();
}

bool grey(int x, int y, int level) { return testgl_Near(testgl_Read(x, y), level, level, level, 3); }
} // namespace

// Layer units are 640 x 480 at any window size.
TEST(Layers, FullLayerCoversExactlyTheWindowAtAnySize) {
    const EngineStage stage(800, 600);
    if (!stage.window) GTEST_SKIP() << "no display";
    etest_SolidTexture(WHITE, 2, 2, 255, 255, 255, 255);
    glClearColor(0, 0, 0, 1);
    Layer layer{};
    etest_FullLayer(layer, WHITE, 1.0f, 1.0f);
    layer.repeatU = layer.repeatV = 1;
    drawAlone(layer, 0.0);
    EXPECT_TRUE(grey(0, 0, 255) && grey(799, 599, 255));
    // A quarter-size layer centred at (160, 120) covers the lower-left quarter exactly.
    layer.x = 160, layer.y = 120, layer.width = 320, layer.height = 240;
    drawAlone(layer, 0.0);
    EXPECT_TRUE(grey(399, 299, 255) && grey(400, 299, 0) && grey(399, 300, 0));
}

TEST(Layers, FadeAndDriftAdvanceOnlyWhileVisible) {
    const EngineStage stage(640, 480);
    if (!stage.window) GTEST_SKIP() << "no display";
    etest_SolidTexture(WHITE, 2, 2, 255, 255, 255, 255);
    Layer layer{};
    etest_FullLayer(layer, WHITE, 1.0f, 0.0f);
    layer.repeatU = layer.repeatV = 1;
    layer.visible = 2;
    layer.speedX = 10, layer.speedY = -4;
    const struct {
        float fadeSpeed, delta, fade;
        int visible;
    } steps[] = {
        {0.5f, 1.5f, 0.75f, 2},
        {0.5f, 0.5f, 1.0f, 2},  // lands exactly on 1: nothing clamped, visible untouched
        {0.5f, 0.5f, 1.0f, 1},  // carried past 1: clamped, and the fade-in marks the layer visible
        {-4.0f, 1.0f, 0.0f, 1}, // a faded-out layer stays on
    };
    for (const auto &step : steps) {
        layer.fadeSpeed = step.fadeSpeed;
        drawAlone(layer, step.delta);
        EXPECT_FLOAT_EQ(layer.fade, step.fade);
        EXPECT_EQ(layer.visible, step.visible);
        EXPECT_TRUE(grey(320, 240, int(255 * step.fade))) << step.fade; // drawn at the new fade
    }
    EXPECT_EQ(std::make_pair(layer.x, layer.y), std::make_pair(355.0f, 226.0f)); // 3.5 s of drift
    layer.visible = 0;
    const float x = layer.x;
    drawAlone(layer, 1.0);
    EXPECT_FLOAT_EQ(layer.x, x);
}

TEST(Layers, BlendModesAlphaTestAndDepthOrder) {
    const EngineStage stage(640, 480);
    if (!stage.window) GTEST_SKIP() << "no display";
    etest_SolidTexture(WHITE, 2, 2, 255, 255, 255, 255);
    etest_SolidTexture(RED, 2, 2, 255, 0, 0, 255);
    etest_SolidTexture(GREEN, 2, 2, 0, 255, 0, 255);
    // Left column of texels fully transparent, right column opaque white.
    const uint8_t holes[] = {255, 255, 255, 0, 255, 255, 255, 255, 255, 255, 255, 0, 255, 255, 255, 255};
    glBindTexture(GL_TEXTURE_2D, HOLES);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, holes);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    engine.currentScene = 0;
    engine.colors[2] = {0.5f, 0.5f, 0.5f};

    // Additive at fade 0.25 over grey 128; anything but blend 1 darkens by the fade.
    for (auto [blend, fade, level] : {std::tuple{1.0f, 0.25f, 192}, {2.0f, 0.5f, 64}, {2.0f, 1.0f, 0}}) {
        etest_FullLayer(engine.layers[0], WHITE, blend, fade);
        engine_DrawFrame(0.0);
        EXPECT_TRUE(grey(320, 240, level)) << blend << " " << fade;
    }
    // Alpha-0 texels leave the frame alone in both modes.
    for (float blend : {0.0f, 1.0f}) {
        etest_FullLayer(engine.layers[0], HOLES, blend, 1.0f);
        engine_DrawFrame(0.0);
        EXPECT_TRUE(grey(100, 240, 128)) << blend;
        EXPECT_TRUE(grey(540, 240, blend == 1.0f ? 255 : 0)) << blend;
    }
    // Same depth: under GL_LESS the lower-numbered layer keeps its pixels; under the glow's
    // GL_ALWAYS the later layer adds on top (no render targets made: the glow adds nothing).
    engine.colors[2] = {0, 0, 0};
    etest_FullLayer(engine.layers[0], RED, 1.0f, 1.0f);
    etest_FullLayer(engine.layers[1], GREEN, 1.0f, 1.0f);
    engine_DrawFrame(0.0);
    EXPECT_TRUE(testgl_Near(testgl_Read(320, 240), 255, 0, 0));
    engine.glowEnabled = 1;
    engine_DrawFrame(0.0);
    EXPECT_TRUE(testgl_Near(testgl_Read(320, 240), 255, 255, 0));
}

TEST(LayerCommands, SetFieldsEchoAndRefuseBadLayers) {
    EngineStage stage;
    engine.layers[5].visible = 1; // a layer of the show before is hidden again
    engine_ResetLayers();
    EXPECT_EQ(engine.layers[5].visible, 0);
    engine.debugMode = 1;
    const Layer &three = engine.layers[3];
    // A long slot name is found whole.
    text_CopyBounded(engine.textureSlots[4].name, "a-rather-long-texture-name.tga");
    etest_Params({"0", "3", "a-rather-long-texture-name.tga", "1", "0.5", "3", "2\n"});
    SetLayerParam();
    EXPECT_EQ(std::make_pair(three.texture, three.repeatV), std::make_pair(4, 2.0f));
    // y and the first extra are read as whole numbers, x and the rest as reals.
    etest_Params({"0", "3", "1", "0.5", "100.7", "100.7", "640", "480\n"});
    SetLayerPos();
    EXPECT_EQ(std::make_tuple(three.blend, three.x, three.y, three.width, three.height),
              std::make_tuple(1.0f, 100.7f, 100.0f, 640.0f, 480.0f));
    etest_Params({"0", "3", "-0.25\n"});
    SetLayerFadeSpeed();
    EXPECT_FLOAT_EQ(three.fadeSpeed, -0.25f);
    etest_Params({"0", "3", "1.5", "-2", "7.9", "0.125"});
    SetLayerParamEx();
    EXPECT_EQ(std::make_tuple(three.speedX, three.speedY, three.extraA, three.extraB), std::make_tuple(1.5f, -2.0f, 7.0f, 0.125f));
    EXPECT_EQ(stage.echo, "\n#call SetLayerParam 4\n\r\n#call SetLayerPos \n\r"
                    "\n#call SetLayerFadeSpeed -0.250000\n\r\n#call SetLayerParamEx 0\n\r");

    // 20..24 are the render-target records, reachable on purpose; 25 and -1 are refused.
    etest_Params({"0", "22", "0.75"});
    SetLayerFadeSpeed();
    EXPECT_FLOAT_EQ(engine.layers[22].fadeSpeed, 0.75f);
    stage.echo.clear();
    etest_Params({"0", "25", "0.75"});
    SetLayerFadeSpeed();
    etest_Params({"0", "-1", "1", "0.5", "1", "1", "1", "1"});
    SetLayerPos();
    EXPECT_EQ(stage.echo, "");
    EXPECT_EQ(testfs_ReadFile("_vor_.log"),
              "- _Vortan_ \terror on SetLayerFadeSpeed : layer 25 out of range (0..24)\n"
              "- _Vortan_ \terror on SetLayerPos : layer -1 out of range (0..24)\n");
}
