// Loading ahead against loading at the line: the same texture levels, scene frame and trace log;
// a file changed in between read as it is at its line; missing and refused files reported at
// their lines as before; the cap on waiting data held.
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "draw/texture.h"
#include "engine/load_ahead.h"
#include "scene/scene.h"
#include "state/loader.h"
#include "tests/support/engine_stage.h"
#include "tools/scenegen/scenegen.h"
#include "tools/texgen/tga_write.h"

namespace {
constexpr int W = 96, H = 72;
GLFWwindow *loaderWindow = nullptr;
void enterLoader() { glfwMakeContextCurrent(loaderWindow); }
void leaveLoader() { glfwMakeContextCurrent(nullptr); }

void writePicture(const std::string &path, int w, int h, int seed) {
    std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7 + i / 97 * size_t(seed));
    ASSERT_TRUE(tgawrite_Save(path.c_str(), pixels.data(), w, h, 3, {2, false, false, 0, ""}));
}

// What a run of a script leaves: the trace log, every level of slots 0..3, one drawn frame.
struct Outcome {
    std::string log;
    std::vector<std::vector<uint8_t>> levels;
    std::vector<uint8_t> frame;
    LoaderStats stats;
    bool stateKept = true;   // the warm-up draw put GL state and the engine record back
    bool warmCaptured = false; // ...and its glow pass captured its scene into render target 1
};

// What a warm-up must put back: the state the next frame starts from.
std::vector<float> drawingState() {
    std::vector<float> values(16 * 2 + 4 + 4 + 8);
    glGetFloatv(GL_PROJECTION_MATRIX, &values[0]);
    glGetFloatv(GL_MODELVIEW_MATRIX, &values[16]);
    glGetFloatv(GL_VIEWPORT, &values[32]);
    glGetFloatv(GL_CURRENT_COLOR, &values[36]);
    const GLenum named[] = {GL_DEPTH_FUNC, GL_BLEND_SRC, GL_BLEND_DST, GL_MATRIX_MODE, GL_ACTIVE_TEXTURE,
                            GL_TEXTURE_BINDING_2D};
    for (size_t i = 0; i < 6; ++i) {
        GLint value = 0;
        glGetIntegerv(named[i], &value);
        values[40 + i] = float(value);
    }
    values[46] = float(engine.currentScene * 2 + engine.glowEnabled);
    values[47] = scene.replayFrame;
    return values;
}

Outcome play(const std::string &text, bool ahead, const std::function<void()> &between, size_t cap) {
    trace_Reset();
    scene_ResetState();
    engine_ResetState();
    engine.screenWidth = W;
    engine.screenHeight = H;
    engine_InitGl();
    engine_ResetLayers();
    testfs_WriteFile("show.qlo", text);
    script_Reset();
    script_Init();
    engine_RegisterCommands();
    script_Load("show.qlo");
    script_SetDelimiter("|");
    if (ahead) {
        static LoaderJob jobs[LOADER_MAX_JOBS];
        loader_SetCap(cap);
        loader_Start(jobs, engine_PlanLoads(jobs, LOADER_MAX_JOBS), enterLoader, leaveLoader);
        // The first file made (or given up) before the change, so the change falls in between.
        for (int i = 0; i < 20000 && loader_Stats().made + loader_Stats().left == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (between) between();
    while (script_Eval(1000.0) != -1) {}
    Outcome out;
    out.stats = loader_Stats();
    loader_Stop();
    out.log = testfs_ReadFile("_vor_.log"); // the lines' log: the test's own load below is not one
    if (ahead) { // a window run loading ahead warms up before its frame
        const std::vector<float> before = drawingState();
        engine_WarmUp();
        out.stateKept = drawingState() == before;
        const Layer &target = engine.layers[ENGINE_LAYERS + 1];
        if (target.texture >= 0) {
            std::vector<uint8_t> texels(size_t(target.width) * size_t(target.width) * 4);
            glBindTexture(GL_TEXTURE_2D, GLuint(target.texture));
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
            // Only the one pixel it draws the scene into; the rest is the capture's black.
            out.warmCaptured = texels[0] + texels[1] + texels[2] > 0 && texels[4] + texels[5] + texels[6] == 0;
            std::fill(texels.begin(), texels.end(), uint8_t(0));
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, GLsizei(target.width), GLsizei(target.width), GL_RGBA,
                            GL_UNSIGNED_BYTE, texels.data());
            engine_WarmUp(); // nothing new since: nothing drawn
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
            out.warmCaptured = out.warmCaptured && texels[0] + texels[1] + texels[2] == 0;
            if (scene.slots[0] && scene_LoadSlot(0, "cube.3ds")) { // a scene loaded again: drawn again
                engine_WarmUp();
                glBindTexture(GL_TEXTURE_2D, GLuint(target.texture));
                glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
                out.warmCaptured = out.warmCaptured && texels[0] + texels[1] + texels[2] > 0;
            }
        }
    }
    glFinish();
    for (int slot = 0; slot < 4; ++slot) {
        glBindTexture(GL_TEXTURE_2D, texture_GlName(slot));
        for (int level = 0; level < 8; ++level) {
            GLint w = 0, h = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
            out.levels.emplace_back(size_t(w) * size_t(h) * 4);
            if (w > 0) glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, out.levels.back().data());
        }
    }
    engine_DrawFrame(0.0);
    out.frame.resize(size_t(W) * H * 4);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, out.frame.data());
    return out;
}

TEST(Loader, AheadGivesWhatTheLineWouldLoad) {
    EngineStage stage(W, H);
    if (!stage.window) GTEST_SKIP() << "no display";
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    loaderWindow = glfwCreateWindow(1, 1, "loader", nullptr, stage.window);
    glfwDefaultWindowHints();
    ASSERT_NE(loaderWindow, nullptr);
    writePicture("a.tga", 100, 60, 3);
    writePicture("b.tga", 64, 64, 5);
    SgUserScene cube;
    cube.cube = true;
    cube.map = "a.tga";
    ASSERT_TRUE(scenegen_WriteUser(cube, "cube.3ds"));
    testfs_WriteFile("broken.3ds", std::string("MM\x10\0\0\0garbage", 13));
    const std::string head = "@setresourcedir 0|./\n";
    const struct {
        const char *what;
        std::string script;
        std::function<void()> between; // after the loader made its first file
        size_t cap;
        int taken, left;
        bool drawn; // the frame shows a scene or a layer, not only the clear colour
        bool warmed; // a warm-up draw of a scene and the glow
    } cases[] = {
        {"textures and a scene textured by a slot loaded ahead, under the glow",
         head + "@glloadtextureslot 0|a.tga|1|1\n@glloadtextureslot 0|b.tga|2|0\n@glloadsceneslot 0|0|cube.3ds\n"
                "@glloadsceneslot 0|2|cube.3ds\n@glfx_rtparam 0|1|64\n@glfx_rtparam 0|2|32\n@glfx_rtparam 0|3|16\n"
                "@glfx_rtalpha 0|1|0.5\n@glfx_glow 0|1\n@glsetcurrentscene 0|0\n@end 0\n",
         nullptr, LOADER_DEFAULT_CAP, 4, 0, true, true},
        {"a picture changed after it was made ahead",
         head + "@glloadtextureslot 0|a.tga|1|1\n@end 0\n", [] { writePicture("a.tga", 32, 16, 9); },
         LOADER_DEFAULT_CAP, 0, 0, false, false},
        {"a missing picture, a refused scene and a good one after them",
         head + "@glloadtextureslot 0|gone.tga|1|1\n@glloadsceneslot 0|0|broken.3ds\n@glloadtextureslot 0|b.tga|3|1\n"
                "@glsetcurrentscene 0|0\n@end 0\n",
         nullptr, LOADER_DEFAULT_CAP, 1, 2, false, false},
        {"pictures under a cap that holds one of them, and one larger than the cap",
         head + "@glloadtextureslot 0|b.tga|0|1\n@glloadtextureslot 0|b.tga|1|1\n@glloadtextureslot 0|b.tga|2|1\n"
                "@glloadtextureslot 0|a.tga|3|0\n@glsetcurrentscene 0|1\n@glsetlayerparam 0|1|b.tga|1|1|1|1\n"
                "@glsetlayerpos 0|1|1|0|320|240|640|480\n@end 0\n",
         nullptr, 64 * 64 * 4 * 4 / 3 + 100, 3, 1, true, false},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.what);
        writePicture("a.tga", 100, 60, 3);
        if (row.between) row.between(); // on the spot, the line meets the changed file too
        const Outcome spot = play(row.script, false, nullptr, row.cap);
        writePicture("a.tga", 100, 60, 3);
        const Outcome ahead = play(row.script, true, row.between, row.cap);
        EXPECT_EQ(ahead.log, spot.log);
        EXPECT_TRUE(ahead.levels == spot.levels);
        EXPECT_TRUE(ahead.frame == spot.frame);
        EXPECT_EQ(ahead.stats.taken, row.taken);
        EXPECT_EQ(ahead.stats.left, row.left);
        EXPECT_LE(ahead.stats.peakHeld, row.cap);
        EXPECT_EQ(ahead.stats.peakHeld > 0, ahead.stats.made > 0);
        bool varied = false;
        for (size_t i = 4; i < ahead.frame.size(); ++i) varied = varied || ahead.frame[i] != ahead.frame[i % 4];
        EXPECT_EQ(varied, row.drawn);
        EXPECT_TRUE(ahead.stateKept);
        EXPECT_EQ(ahead.warmCaptured, row.warmed);
    }
    loader_SetCap(LOADER_DEFAULT_CAP);
    glfwDestroyWindow(loaderWindow);
    scene_ResetState();
}

} // namespace
