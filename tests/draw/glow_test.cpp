// The glow: render-target creation, the capture with its two reductions, the composite, and the
// refusals of bad numbers and sizes.
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

#include <GL/gl.h>
#include <GL/glext.h>

#include "draw/gl_ext.h"
#include "tests/support/engine_stage.h"

namespace {
void makeTarget(const char *number, const char *size) {
    etest_Params({"0", number, size});
    glFx_RenderTargetParam();
}

void setAlpha(const char *number, const char *alpha) {
    etest_Params({"0", number, alpha});
    glFx_RenderTargetAlpha();
}

// Texel (x, y) of render target n (bottom row first), RGBA; its edge in *size.
std::vector<uint8_t> targetTexel(int n, int x, int y, int *size = nullptr) {
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, GLuint(20 + n));
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    std::vector<uint8_t> texels(size_t(width) * size_t(width) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    if (size) *size = width;
    const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 4;
    return {texels.begin() + long(at), texels.begin() + long(at) + 4};
}

// Fills render target n: left half red, right half green, opaque.
void fillHalves(int n, int size) {
    std::vector<uint8_t> texels(size_t(size) * size_t(size) * 4);
    for (size_t i = 0; i < texels.size(); i += 4) {
        const bool left = int(i / 4 % size_t(size)) < size / 2;
        texels[i] = left ? 200 : 0;
        texels[i + 1] = left ? 0 : 200;
        texels[i + 3] = 255;
    }
    glBindTexture(GL_TEXTURE_2D, GLuint(20 + n));
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size, size, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
}
} // namespace

TEST(Glow, HandlersSwitchCreateWeighAndRefuse) {
    EngineStage stage(640, 480);
    if (!stage.window) GTEST_SKIP() << "no display";
    engine.debugMode = 1;
    for (auto [text, expected] : {std::pair{"0.5", 0}, {"2\n", 2}, {"-1.5", -1}}) {
        etest_Params({"0", text});
        glFxGlow();
        EXPECT_EQ(engine.glowEnabled, expected) << text;
    }
    makeTarget("2", "128\n");
    EXPECT_EQ(engine.layers[22].texture, 22);
    int size = 0;
    EXPECT_EQ(targetTexel(2, 100, 0, &size)[3], 0); // black, fully transparent
    EXPECT_EQ(size, 128);
    setAlpha("2", "0.25\n");
    EXPECT_FLOAT_EQ(engine.layers[22].fade, 0.25f);
    EXPECT_EQ(stage.echo, "\n#call glFxGlow\n\r\n#call glFxGlow\n\r\n#call glFxGlow\n\r"
                    "\n#call glFx_RenderTargetParam\n\r\n#call glFx_RenderTargetAlpha\n\r");

    // Bad numbers and sizes change nothing.
    makeTarget("5", "64");
    setAlpha("-1", "1");
    makeTarget("3", "0");
    makeTarget("3", "481");
    EXPECT_EQ(std::make_pair(engine.layers[23].texture, engine.layers[23].width), std::make_pair(-1, 0.0f));
    const std::string log = testfs_ReadFile("_vor_.log");
    for (const char *line : {"error on glFx_RenderTargetParam : render target 5 out of range (0..4)\n",
                             "error on glFx_RenderTargetAlpha : render target -1 out of range (0..4)\n",
                             "error on glFx_RenderTargetParam : size 0 out of range",
                             "error on glFx_RenderTargetParam : size 481 out of range (1..480): a render target is "
                             "copied from the 640x480 window\n"})
        EXPECT_NE(log.find(std::string("- _Vortan_ \t") + line), std::string::npos) << line;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Glow, CaptureReducesTwiceAndCompositeAddsEachPictureTwice) {
    const EngineStage stage(640, 480);
    if (!stage.window) GTEST_SKIP() << "no display";
    makeTarget("1", "256");
    makeTarget("2", "128");
    makeTarget("3", "64");

    // Reductions: a red|green picture in target 1 shrinks into 2 and then 3, halves kept. They
    // set no depth function of their own; while the glow runs, the composite's GL_ALWAYS holds.
    fillHalves(1, 256);
    glDepthFunc(GL_ALWAYS);
    Begin2D();
    glViewport(0, 0, 640, 480);
    ReduceRenderTarget(21, 22);
    ReduceRenderTarget(22, 23);
    End2D();
    EXPECT_EQ(targetTexel(2, 10, 64), (std::vector<uint8_t>{200, 0, 0, 255}));
    EXPECT_EQ(targetTexel(3, 60, 60)[1], 200);

    // (What a frame with the glow looks like is seen in the scene tests: the glow only adds light.)
    // Composite: each target adds colour x alpha x (texel alpha x alpha), twice.
    for (int n = 1; n <= 3; ++n) fillHalves(n, 256 >> (n - 1));
    setAlpha("1", "0.5");
    setAlpha("2", "0");
    glClearColor(0, 0, 0, 0);
    for (auto [alpha3, red, green] : {std::tuple{"0", 100, 100}, {"1", 255, 255}}) {
        setAlpha("3", alpha3);
        etest_Begin2DStage();
        GlowComposite(640, 480);
        End2D();
        // 200 x 0.5 x 0.5 twice; with target 3 at full weight 100 + 2 x 200, saturated.
        EXPECT_TRUE(testgl_Near(testgl_Read(100, 240), red, 0, 0, 3)) << alpha3;
        EXPECT_TRUE(testgl_Near(testgl_Read(540, 240), 0, green, 0, 3)) << alpha3;
    }
    GLint depthFunction = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    EXPECT_EQ(depthFunction, GL_ALWAYS);
    glDisable(GL_BLEND);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
