// Texture slots in a real GL context: TGA files of each pixel size (and a PNG) loaded by "@glloadtextureslot"
// and read back from the GL; texture state, mipmaps, resampling, refusals and slot lookups.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <sys/stat.h>

#include "base/console.h"
#include "base/trace.h"
#include "draw/texture.h"
#include "script/script.h"
#include "script/text.h"
#include "state/engine_state.h"
#include "tests/draw/tga_expect.h"
#include "tests/support/gl_window.h"
#include "tests/support/temp_dir.h"
#include "tools/texgen/tga_write.h"

namespace {

constexpr int WIN_W = 256, WIN_H = 128;

GLFWwindow *window = nullptr;
PFNGLACTIVETEXTUREPROC activeTexture = nullptr;

// Runs the handler as the evaluator would, with the given parameters 1..3.
void runLoad(const std::string &name, const std::string &slot, const std::string &mipmaps) {
    memset(script.params, 0, sizeof script.params);
    text_CopyBounded(script.params[1], name.c_str());
    text_CopyBounded(script.params[2], slot.c_str());
    text_CopyBounded(script.params[3], mipmaps.c_str());
    glLoadTextureSlot();
}

void writeTga(const std::string &path, const TgaImage &img, int type, bool topFirst = false, bool rightToLeft = false) {
    ASSERT_TRUE(tgawrite_Save(path.c_str(), img.pixels.data(), img.width, img.height, img.components, {type, topFirst, rightToLeft, 0, ""}));
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
    static void SetUpTestSuite() {
        window = testgl_Open(WIN_W, WIN_H);
        // GL 1.3, which Windows' GL library does not export.
        if (window) activeTexture = reinterpret_cast<PFNGLACTIVETEXTUREPROC>(glfwGetProcAddress("glActiveTexture"));
    }
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
    }
#ifndef PICTURE_TEST_WITHOUT_IMAGEMAGICK
    // A PNG goes into its slot as its pixels are, named as written.
    const TgaImage img = expect_Pattern(8, 4, 4, 9);
    writeTga(data("twin.tga"), img, 2, true, false); // ImageMagick 6 reads bottom-first TGAs upside down
    ASSERT_EQ(std::system(("convert " + data("twin.tga") + " PNG32:" + data("pic.png")).c_str()), 0);
    runLoad("pic.png", "5", "1");
    EXPECT_STREQ(engine.textureSlots[5].name, "pic.png");
    EXPECT_EQ(readLevel(5, 0, 4), img.pixels);
#endif
    EXPECT_EQ(log(), ""); // nothing went wrong, so nothing was traced
}

TEST_F(TextureSlots, LoadSetsTextureAndUnitStateAndRestoresAlignment) {
    writeTga(data("a.tga"), expect_Pattern(3, 5, 3), 2);
    activeTexture(GL_TEXTURE0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    activeTexture(GL_TEXTURE1);
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
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(4, 8)); // enlarged to powers of two
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_LINEAR);
    // Environment and generation modes land on the unit that was active (1), not on unit 0.
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_MODULATE);
    activeTexture(GL_TEXTURE0);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_REPLACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
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
    EXPECT_EQ(texture_FindNoCase("Logo.tga"), 12);
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

    // A damaged file loaded over a good one: traced, and the earlier picture stays.
    const std::string good = testfs_ReadFile(data("logo.tga"));
    testfs_WriteFile(data("cut.tga"), good.substr(0, good.size() - 5));
    runLoad("cut.tga", "3", "1");
    EXPECT_NE(log().find("error on glLoadTextureSlot : " + data("cut.tga") + "\n"), std::string::npos);
    EXPECT_EQ(readLevel(3, 0, 3), expect_Pattern(4, 4, 3).pixels);
}
