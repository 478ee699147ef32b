// Texture slots drawn for real: TGA files of each pixel size loaded by "@glloadtextureslot",
// drawn as a quad and read back; texture state, mipmaps, resampling, refusals and slot lookups.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <sys/stat.h>

#include "runtime/engine_state.h"
#include "runtime/texture.h"
#include "script/script.h"
#include "script/text.h"
#include "startup/console.h"
#include "startup/trace.h"
#include "tests/runtime/tga_expect.h"
#include "tests/support/gl_window.h"
#include "tests/support/temp_dir.h"
#include "tools/texgen/tga_write.h"

namespace {

constexpr int WIN_W = 256, WIN_H = 128;

GLFWwindow *window = nullptr;

// Runs the handler as the evaluator would, with the given parameters 1..3.
void runLoad(const std::string &name, const std::string &slot, const std::string &mipmaps) {
    memset(script.params, 0, sizeof script.params);
    text_CopyBounded(script.params[1], name.c_str());
    text_CopyBounded(script.params[2], slot.c_str());
    text_CopyBounded(script.params[3], mipmaps.c_str());
    glLoadTextureSlot();
}

void writeTga(const std::string &path, const TgaImage &img, int type, bool topFirst = false, bool rightToLeft = false) {
    TgaWriteOptions o;
    o.imageType = type;
    o.topFirst = topFirst;
    o.rightToLeft = rightToLeft;
    ASSERT_TRUE(tgawrite_Save(path.c_str(), img.pixels.data(), img.width, img.height, img.components, o));
}

// The whole window covered by texture name, texture coordinates 0..1, in white.
// The quad is moved by half a pixel so that pixel (x, y) samples texture position
// (x / WIN_W, y / WIN_H): a texel's centre then lies exactly on a pixel centre.
void drawTexture(int name) {
    glViewport(0, 0, WIN_W, WIN_H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, WIN_W, 0, WIN_H, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(name));
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(0.5f, 0.5f);
    glTexCoord2f(1, 0), glVertex2f(WIN_W + 0.5f, 0.5f);
    glTexCoord2f(1, 1), glVertex2f(WIN_W + 0.5f, WIN_H + 0.5f);
    glTexCoord2f(0, 1), glVertex2f(0.5f, WIN_H + 0.5f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

// Level `level` of texture name as RGBA or luminance bytes.
std::vector<uint8_t> readLevel(int name, int level, int components, int *w = nullptr, int *h = nullptr) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(name));
    GLint tw = 0, th = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &tw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &th);
    if (w) *w = tw;
    if (h) *h = th;
    std::vector<uint8_t> out(static_cast<size_t>(tw) * th * components);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    GLenum format = components == 1 ? GL_LUMINANCE : components == 3 ? GL_RGB : GL_RGBA;
    if (!out.empty()) glGetTexImage(GL_TEXTURE_2D, level, format, GL_UNSIGNED_BYTE, out.data());
    return out;
}

class TextureSlots : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { window = testgl_Open(WIN_W, WIN_H); }
    static void TearDownTestSuite() {
        testgl_Close(window);
        window = nullptr;
    }
    void SetUp() override {
        if (!window) GTEST_SKIP() << "no display";
        engine_ResetState();
        trace_Reset();
        console_SetCapture(&console);
        // Texture names are shared across tests: give every slot and render target a fresh object.
        GLuint names[25];
        for (GLuint i = 0; i < 25; ++i) names[i] = i;
        glDeleteTextures(25, names);
        text_CopyBounded(engine.resourceDir, (cwd.path + "/datas/").c_str());
        ASSERT_EQ(mkdir((cwd.path + "/datas").c_str(), 0755), 0);
    }
    void TearDown() override { console_SetCapture(nullptr); }
    std::string data(const char *name) const { return cwd.path + "/datas/" + name; }
    std::string log() const { return testfs_ReadFile(cwd.path + "/_vor_.log"); }

    TestCwd cwd{"texture"};
    std::string console;
};

} // namespace

TEST_F(TextureSlots, EachPixelSizeDrawsFromItsSlot) {
    // Grey, colour-mapped RGB, and run-length RGBA stored top first and right to left.
    for (auto [type, components, topFirst, slot] : {std::tuple{11, 1, false, 0}, {1, 3, false, 7}, {10, 4, true, 19}}) {
        SCOPED_TRACE("type " + std::to_string(type));
        const TgaImage img = expect_Pattern(8, 4, components, unsigned(slot + 1));
        const std::string name = "pic" + std::to_string(slot) + ".tga";
        writeTga(data(name.c_str()), img, type, topFirst, topFirst);
        runLoad(name, std::to_string(slot), "1");
        EXPECT_EQ(engine.textureSlots[slot].id, slot);
        EXPECT_EQ(readLevel(slot, 0, components), img.pixels);
        drawTexture(slot);
        for (int ty = 0; ty < 4; ++ty)
            for (int tx = 0; tx < 8; ++tx) {
                const uint8_t *t = &img.pixels[(ty * 8 + tx) * components];
                const TestPixel p = testgl_Read(tx * 32 + 16, ty * 32 + 16);
                ASSERT_TRUE(testgl_Near(p, t[0], t[components == 1 ? 0 : 1], t[components == 1 ? 0 : 2], 2))
                    << "texel " << tx << "," << ty << " drew " << int(p.r) << " " << int(p.g) << " " << int(p.b);
                if (components == 4) {
                    ASSERT_NEAR(p.a, t[3], 2);
                }
            }
    }
    EXPECT_EQ(log(), ""); // nothing went wrong, so nothing was traced
}

TEST_F(TextureSlots, LoadSetsTextureAndUnitStateAndRestoresAlignment) {
    writeTga(data("a.tga"), expect_Pattern(3, 5, 3), 2);
    glActiveTexture(GL_TEXTURE0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glActiveTexture(GL_TEXTURE1);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    // Odd rows of 3-byte pixels load whole only with alignment 1 during the upload.
    EXPECT_TRUE(LoadTextureFile(data("a.tga").c_str(), 7, 1));
    GLint value = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 8);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(value, 7);
    int w = 0, h = 0;
    readLevel(7, 0, 3, &w, &h);
    EXPECT_EQ(w, 4); // enlarged to powers of two
    EXPECT_EQ(h, 8);
    for (auto [pname, expected] : {std::pair{GL_TEXTURE_WRAP_S, GL_REPEAT}, {GL_TEXTURE_WRAP_T, GL_REPEAT},
                                   {GL_TEXTURE_MAG_FILTER, GL_LINEAR}, {GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR}}) {
        glGetTexParameteriv(GL_TEXTURE_2D, GLenum(pname), &value);
        EXPECT_EQ(value, expected) << pname;
    }
    // Environment and generation modes land on the unit that was active (1), not on unit 0.
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_MODULATE);
    for (GLenum coordinate : {GL_S, GL_T}) {
        glGetTexGeniv(coordinate, GL_TEXTURE_GEN_MODE, &value);
        EXPECT_EQ(value, GL_SPHERE_MAP);
    }
    glActiveTexture(GL_TEXTURE0);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    // A failed load still leaves the texture object with its parameters.
    EXPECT_FALSE(LoadTextureFile(data("missing.tga").c_str(), 8, 0));
    glBindTexture(GL_TEXTURE_2D, 8);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureSlots, HundredBySixtyFileBecomesHundredTwentyEightBySixtyFourTexture) {
    TgaImage src = expect_Pattern(100, 60, 4, 3);
    writeTga(data("wide.tga"), src, 10, true);
    runLoad("wide.tga", "2", "0");
    int w = 0, h = 0;
    std::vector<uint8_t> level0 = readLevel(2, 0, 4, &w, &h);
    ASSERT_EQ(w, 128);
    ASSERT_EQ(h, 64);
    int mismatches = 0;
    for (int j = 0; j < 64; ++j)
        for (int i = 0; i < 128; ++i)
            for (int k = 0; k < 4; ++k) mismatches += level0[(j * 128 + i) * 4 + k] != expect_Resampled(src, 128, 64, i, j, k);
    EXPECT_EQ(mismatches, 0);
    // The corners line up with the source's corners exactly.
    EXPECT_EQ(level0[0], src.pixels[0]);
    EXPECT_EQ(level0[(63 * 128 + 127) * 4], src.pixels[(59 * 100 + 99) * 4]);
    readLevel(2, 1, 4, &w, &h);
    EXPECT_EQ(w, 0); // no mipmaps asked for, none made
}

TEST_F(TextureSlots, MipmapsByExtensionOrByHalving) {
    TgaImage img = expect_Pattern(16, 4, 3, 11);
    writeTga(data("mip.tga"), img, 2);
    glBindTexture(GL_TEXTURE_2D, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
    runLoad("mip.tga", "4", "1");
    int w = 0, h = 0;
    readLevel(4, 4, 3, &w, &h);
    EXPECT_EQ(w, 1); // 16x4, 8x2, 4x1, 2x1, 1x1
    EXPECT_EQ(h, 1);
    GLint generate = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, &generate);
    EXPECT_EQ(generate, GL_FALSE); // switched on only for the upload

    // Without the extension every level is the one before halved (the rule tested by hand in
    // tga_test): 4x16, 2x8, 1x4, 1x2, 1x1.
    TgaImage level = expect_Pattern(8, 32, 4, 12);
    glBindTexture(GL_TEXTURE_2D, 5);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    ASSERT_TRUE(texture_Upload(level, true, false));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 2);
    for (int n = 1; n <= 5; ++n) {
        TgaImage half;
        tga_HalveImage(level, &half);
        EXPECT_EQ(readLevel(5, n, 4, &w, &h), half.pixels) << n;
        EXPECT_EQ(w, half.width) << n;
        EXPECT_EQ(h, half.height) << n;
        level = half;
    }
    EXPECT_EQ(level.width * level.height, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureSlots, HandlerEchoesFindsTracesAndRefuses) {
    writeTga(data("logo.tga"), expect_Pattern(4, 4, 3), 2);
    engine.debugMode = 1;
    runLoad("logo.tga", "3", "1");
    EXPECT_EQ(console, "\n#call glLoadTextureSlot \"logo.tga\" 3\n\r");
    EXPECT_STREQ(engine.textureSlots[3].name, "logo.tga");
    EXPECT_EQ(log(), "");
    // Exact lookups take the first match, case-blind ones the last; an empty name finds nothing.
    text_CopyBounded(engine.textureSlots[9].name, "logo.tga");
    text_CopyBounded(engine.textureSlots[12].name, "LOGO.TGA");
    EXPECT_EQ(texture_FindExact("logo.tga"), 3);
    EXPECT_EQ(texture_FindExact("logo"), 0);
    EXPECT_EQ(texture_FindNoCase("Logo.tga"), 12);
    EXPECT_EQ(texture_FindExact(""), 0);
    EXPECT_EQ(texture_FindNoCase(""), 0);

    // Refused slots change nothing (20 is render target 0's texture name); neither does a path
    // that does not fit.
    std::string expected = "- _Vortan_ \terror on glLoadTextureSlot : texture slot 20 out of range (0..19)\n"
                           "- _Vortan_ \terror on glLoadTextureSlot : texture slot -1 out of range (0..19)\n";
    runLoad("logo.tga", "20", "1");
    runLoad("logo.tga", "-1", "1");
    EXPECT_FALSE(glIsTexture(20));
    const std::string dir = engine.resourceDir;
    text_CopyBounded(engine.resourceDir, (std::string(ENGINE_PATH_SIZE - 4, 'd') + "/").c_str());
    runLoad("logo.tga", "1", "1");
    expected += "- _Vortan_ \terror on glLoadTextureSlot : path too long\n";
    EXPECT_EQ(log(), expected);
    EXPECT_STREQ(engine.textureSlots[1].name, "");
    text_CopyBounded(engine.resourceDir, dir.c_str());

    // A missing file: traced with its path; the slot still answers to its name.
    engine.debugMode = 0;
    console.clear();
    runLoad("nothere.tga", "6", "1");
    expected += "- _Vortan_ \terror on glLoadTextureSlot : " + data("nothere.tga") + "\n";
    EXPECT_EQ(log(), expected);
    EXPECT_EQ(texture_FindExact("nothere.tga"), 6);
    EXPECT_EQ(console, "");

    // A damaged file loaded over a good one: traced, and the earlier picture stays.
    const std::string good = testfs_ReadFile(data("logo.tga"));
    testfs_WriteFile(data("cut.tga"), good.substr(0, good.size() - 5));
    runLoad("cut.tga", "3", "1");
    EXPECT_NE(log().find("error on glLoadTextureSlot : " + data("cut.tga") + "\n"), std::string::npos);
    EXPECT_EQ(readLevel(3, 0, 3), expect_Pattern(4, 4, 3).pixels);

    // A long name is kept whole, so the same name finds the slot again.
    const std::string longName = std::string(240, 'n') + ".tga";
    writeTga(data(longName.c_str()), expect_Pattern(2, 2, 1), 3);
    runLoad(longName, "19", "0");
    EXPECT_EQ(texture_FindExact(longName.c_str()), 19);
    EXPECT_EQ(texture_FindExact(longName.substr(0, 15).c_str()), 0);
}
