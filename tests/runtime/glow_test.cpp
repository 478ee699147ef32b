// The glow: render-target creation, the capture with its two reductions, the composite, and the
// refusals of bad numbers and sizes.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <GL/glext.h>

#include "runtime/gl_ext.h"
#include "startup/console.h"
#include "startup/trace.h"
#include "tests/runtime/engine_test_util.h"
#include "tests/support/temp_dir.h"

namespace {
void makeTarget(const char *number, const char *size) {
    etest_Params({"0", number, size});
    glFx_RenderTargetParam();
}

void setAlpha(const char *number, const char *alpha) {
    etest_Params({"0", number, alpha});
    glFx_RenderTargetAlpha();
}

// The RGBA texels of render target n, bottom row first.
std::vector<uint8_t> targetTexels(int n, int *size) {
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, GLuint(20 + n));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    std::vector<uint8_t> texels(size_t(width) * size_t(width) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    *size = width;
    return texels;
}

// Fills render target n: left half red, right half green, opaque.
void fillHalves(int n, int size) {
    std::vector<uint8_t> texels(size_t(size) * size_t(size) * 4);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            uint8_t *t = &texels[(size_t(y) * size_t(size) + size_t(x)) * 4];
            t[0] = x < size / 2 ? 200 : 0;
            t[1] = x < size / 2 ? 0 : 200;
            t[2] = 0;
            t[3] = 255;
        }
    }
    glBindTexture(GL_TEXTURE_2D, GLuint(20 + n));
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
}

const uint8_t *texel(const std::vector<uint8_t> &texels, int size, int x, int y) {
    return &texels[(size_t(y) * size_t(size) + size_t(x)) * 4];
}
} // namespace

TEST(Glow, HandlersSwitchCreateWeighAndRefuse) {
    GLFWwindow *window = etest_OpenShow(640, 480);
    if (!window) GTEST_SKIP() << "no display";
    TestCwd cwd("glow");
    trace_Reset();
    std::string echo;
    console_SetCapture(&echo);
    engine.debugMode = 1;
    for (auto [text, expected] : {std::pair{"0.5", 0}, {"1", 1}, {"2\n", 2}, {"0.9", 0}, {"-1.5", -1}, {"nan", 0}}) {
        etest_Params({"0", text});
        glFxGlow();
        EXPECT_EQ(engine.glowEnabled, expected) << text;
    }
    makeTarget("2", "128\n");
    EXPECT_EQ(engine.layers[22].texture, 22);
    EXPECT_FLOAT_EQ(engine.layers[22].width, 128.0f);
    int size = 0;
    const std::vector<uint8_t> blank = targetTexels(2, &size);
    EXPECT_EQ(size, 128);
    EXPECT_EQ(blank[4 * 100 + 3], 0); // black, fully transparent
    setAlpha("2", "0.25\n");
    EXPECT_FLOAT_EQ(engine.layers[22].fade, 0.25f);
    EXPECT_EQ(echo, std::string("\n#call glFxGlow\n\r").append("\n#call glFxGlow\n\r")
                        .append("\n#call glFxGlow\n\r").append("\n#call glFxGlow\n\r")
                        .append("\n#call glFxGlow\n\r").append("\n#call glFxGlow\n\r")
                        .append("\n#call glFx_RenderTargetParam\n\r\n#call glFx_RenderTargetAlpha\n\r"));

    // Bad numbers and sizes change nothing.
    makeTarget("5", "64");
    makeTarget("-1", "64");
    setAlpha("7", "1");
    makeTarget("3", "0");
    makeTarget("3", "-64");
    makeTarget("3", "100000000");
    EXPECT_EQ(engine.layers[23].texture, -1);
    EXPECT_FLOAT_EQ(engine.layers[23].width, 0.0f);
    const std::string log = testfs_ReadFile("_vor_.log");
    EXPECT_NE(log.find("- _Vortan_ \terror on glFx_RenderTargetParam : render target 5 out of range (0..4)\n"),
              std::string::npos);
    EXPECT_NE(log.find("- _Vortan_ \terror on glFx_RenderTargetAlpha : render target 7 out of range (0..4)\n"),
              std::string::npos);
    EXPECT_NE(log.find("- _Vortan_ \terror on glFx_RenderTargetParam : size 0 out of range"), std::string::npos);
    EXPECT_NE(log.find("- _Vortan_ \terror on glFx_RenderTargetParam : size 100000000 out of range"),
              std::string::npos);
    console_SetCapture(nullptr);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    testgl_Close(window);
}

TEST(Glow, CaptureReducesTwiceAndCompositeAddsEachPictureTwice) {
    GLFWwindow *window = etest_OpenShow(640, 480);
    if (!window) GTEST_SKIP() << "no display";
    makeTarget("1", "256");
    makeTarget("2", "128");
    makeTarget("3", "64");

    // Reductions: a red|green picture in target 1 shrinks into 2 and then 3, halves kept. The
    // reductions set no depth function of their own and leave depth behind; while the glow
    // runs, the one in force is the composite's GL_ALWAYS.
    fillHalves(1, 256);
    glDepthFunc(GL_ALWAYS);
    Begin2D();
    glViewport(0, 0, 640, 480);
    ReduceRenderTarget(21, 22);
    ReduceRenderTarget(22, 23);
    End2D();
    int size = 0;
    std::vector<uint8_t> two = targetTexels(2, &size);
    ASSERT_EQ(size, 128);
    EXPECT_EQ(texel(two, 128, 10, 64)[0], 200);
    EXPECT_EQ(texel(two, 128, 10, 64)[1], 0);
    EXPECT_EQ(texel(two, 128, 120, 64)[1], 200);
    std::vector<uint8_t> three = targetTexels(3, &size);
    ASSERT_EQ(size, 64);
    EXPECT_EQ(texel(three, 64, 5, 5)[0], 200);
    EXPECT_EQ(texel(three, 64, 60, 60)[1], 200);

    // The capture: with no scene it leaves black in all three targets and in the frame, the
    // clear colour gone.
    engine.colors[2] = {1, 1, 1};
    engine.glowEnabled = 1;
    engine_DrawFrame(0.0);
    for (int n = 1; n <= 3; ++n) {
        std::vector<uint8_t> t = targetTexels(n, &size);
        EXPECT_EQ(texel(t, size, size / 4, size / 2)[0], 0) << n;
        EXPECT_EQ(texel(t, size, 3 * size / 4, size / 2)[1], 0) << n;
    }
    EXPECT_TRUE(testgl_Near(testgl_Read(400, 300), 0, 0, 0));

    // Composite: each target adds colour x alpha x (texel alpha x alpha), twice.
    fillHalves(1, 256);
    fillHalves(2, 128);
    fillHalves(3, 64);
    setAlpha("1", "0.5");
    setAlpha("2", "0");
    setAlpha("3", "0");
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glext.activeTexture(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    Begin2D();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    GlowComposite(640, 480);
    End2D();
    EXPECT_TRUE(testgl_Near(testgl_Read(100, 240), 100, 0, 0, 3)); // 200 x 0.5 x 0.5, twice
    EXPECT_TRUE(testgl_Near(testgl_Read(540, 240), 0, 100, 0, 3));
    setAlpha("3", "1");
    glClear(GL_COLOR_BUFFER_BIT);
    Begin2D();
    GlowComposite(640, 480);
    End2D();
    EXPECT_TRUE(testgl_Near(testgl_Read(100, 240), 255, 0, 0, 3)); // 100 + 2 x 200, saturated
    GLint depthFunction = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    EXPECT_EQ(depthFunction, GL_ALWAYS);
    glDisable(GL_BLEND);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    testgl_Close(window);
}
