// Scenes drawn for real in a window under Xvfb: loading with its trace lines, what the camera
// shows where, materials, textures, lights, replay and the scene commands run by the script.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <GL/gl.h>
#include <lib3ds/file.h>
#include <lib3ds/node.h>

#include "runtime/engine.h"
#include "runtime/gl_ext.h"
#include "runtime/render.h"
#include "scene/scene.h"
#include "startup/console.h"
#include "startup/trace.h"
#include "tests/runtime/engine_test_util.h"
#include "tests/support/temp_dir.h"
#include "tools/scenegen/scenegen.h"

namespace {

constexpr int W = 160, H = 120;
constexpr double PI = 3.14159265358979;

struct Pixel {
    double x, y;
};

// Window position of the 3DS point (x, 0, z) seen by a camera at (cameraX, -10, 0) looking
// along +y with a 45 degree field of view: 3DS x is screen right, z is screen up.
Pixel project(double x, double z, double cameraX = 0.0) {
    const double halfHeight = 10.0 * std::tan(22.5 * PI / 180.0), halfWidth = halfHeight * W / H;
    return {(1.0 + (x - cameraX) / halfWidth) * W / 2, (1.0 + z / halfHeight) * H / 2};
}

TestPixel at(Pixel p) { return testgl_Read(int(p.x), int(p.y)); }

// The probe scene's base: two cameras 3 units apart looking along +y, and a light far behind
// them, so a face turned to the camera is lit at full strength.
Lib3dsFile *probeFile(int frames = 100) {
    Lib3dsFile *file = scenegen_NewFile(frames);
    scenegen_AddCamera(file, "Camera01", {0, -10, 0}, {0, 0, 0}, 45.0f);
    scenegen_AddCamera(file, "Camera02", {3, -10, 0}, {3, 0, 0}, 45.0f);
    scenegen_AddPointLight(file, "Light01", {0, -1000, 0});
    return file;
}

// A triangle in the y = 0 plane facing the cameras; its corners project to known pixels.
constexpr SgVec A{-2, 0, -1.5f}, B{2, 0, -1.5f}, C{0, 0, 2};
SgGeometry probeTriangle() { return scenegen_Triangle(A, B, C); }
Pixel centroid(double cameraX = 0.0) { return project((A.x + B.x + C.x) / 3, (A.z + B.z + C.z) / 3, cameraX); }

SgMaterial paint(const char *name, float r, float g, float b) {
    SgMaterial m;
    m.name = name;
    m.diffuse[0] = r, m.diffuse[1] = g, m.diffuse[2] = b;
    return m;
}

class SceneDraw : public ::testing::Test {
protected:
    void SetUp() override {
        cwd = new TestCwd("scenedraw");
        trace_Reset();
        console_SetCapture(&console);
        window = etest_OpenShow(W, H);
        if (!window) GTEST_SKIP() << "no display";
        scene_ResetState();
        snprintf(engine.resourceDir, sizeof engine.resourceDir, "%s/", cwd->path.c_str());
        engine.colors[2] = {0.0f, 0.0f, 0.25f}; // clear colour: dark blue
    }
    void TearDown() override {
        scene_ResetState();
        console_SetCapture(nullptr);
        if (window) testgl_Close(window);
        delete cwd;
    }

    void save(Lib3dsFile *file, const char *name) {
        ASSERT_TRUE(scenegen_Save(file, (cwd->path + "/" + name).c_str()));
        lib3ds_file_free(file);
    }
    // Saves, loads into slot 0 and selects it.
    void show(Lib3dsFile *file) {
        save(file, "probe.3ds");
        ASSERT_TRUE(scene_LoadSlot(0, "probe.3ds"));
        engine.currentScene = 0;
    }
    std::string trace() { return testfs_ReadFile(cwd->path + "/_vor_.log"); }
    Lib3dsNode *node(const char *name, int slot = 0) {
        return lib3ds_file_node_by_name(scene.slots[size_t(slot)], name, LIB3DS_OBJECT_NODE);
    }

    TestCwd *cwd = nullptr;
    GLFWwindow *window = nullptr;
    std::string console;
};

TEST_F(SceneDraw, KnownTriangleLandsWhereTheCameraPutsIt) {
    Lib3dsFile *file = probeFile();
    scenegen_AddMaterial(file, paint("paint", 0.8f, 0.4f, 0.2f));
    scenegen_AddMesh(file, "tri", probeTriangle(), "paint");
    scenegen_AddObjectNode(file, "tri", nullptr, {0, 0, 0}, {0, 0, 0});
    show(file);
    engine_DrawFrame(0.0);
    // Material diffuse under a full-strength light: 0.8, 0.4, 0.2 (the file stores bytes).
    EXPECT_TRUE(testgl_Near(at(centroid()), 204, 102, 51, 3)) << int(at(centroid()).r);
    Pixel mid = centroid();
    for (SgVec corner : {A, B, C}) {
        Pixel p = project(corner.x, corner.z);
        double dx = mid.x - p.x, dy = mid.y - p.y, length = std::sqrt(dx * dx + dy * dy);
        Pixel inside{p.x + 4 * dx / length, p.y + 4 * dy / length}, outside{p.x - 4 * dx / length, p.y - 4 * dy / length};
        EXPECT_TRUE(testgl_Near(at(inside), 204, 102, 51, 3)) << "inside corner at " << p.x << "," << p.y;
        EXPECT_TRUE(testgl_Near(at(outside), 0, 0, 64, 2)) << "outside corner at " << p.x << "," << p.y;
    }
}

TEST_F(SceneDraw, LoadWritesItsTraceLinesChildrenFirstAndSkipsDummies) {
    Lib3dsFile *file = probeFile();
    scenegen_AddMesh(file, "body", probeTriangle(), "");
    scenegen_AddMesh(file, "arm", probeTriangle(), "");
    scenegen_AddMesh(file, "$$$DUMMY", probeTriangle(), "");
    scenegen_AddMesh(file, "$$$dummy", probeTriangle(), "");
    Lib3dsNode *body = scenegen_AddObjectNode(file, "body", nullptr, {0, 0, 0}, {0, 0, 0});
    scenegen_AddObjectNode(file, "arm", body, {0, 0, 0}, {0, 0, 0});
    scenegen_AddObjectNode(file, "$$$DUMMY", nullptr, {0, 0, 0}, {0, 0, 0});
    scenegen_AddObjectNode(file, "$$$dummy", nullptr, {0, 0, 0}, {0, 0, 0});
    scenegen_AddObjectNode(file, "ghost", nullptr, {0, 0, 0}, {0, 0, 0}); // no mesh of its name
    save(file, "tree.3ds");
    engine.debugMode = 1;
    etest_Params({"0", "2", "tree.3ds\n"});
    glLoadSceneSlot();
    EXPECT_EQ(trace(), "- _Vortan_ \tsuccess on glLoadSceneSlot : tree.3ds\n"
                       "* \tglLoadSceneSlot msg : mesh '$$$dummy' compiled\n"
                       "* \tglLoadSceneSlot msg : mesh 'arm' compiled\n"
                       "* \tglLoadSceneSlot msg : mesh 'body' compiled\n");
    EXPECT_EQ(console, "\n#call glLoadSceneSlot 2\n\r");
    ASSERT_NE(scene.slots[2], nullptr);
    EXPECT_EQ(scene.lists[2], 3);
    EXPECT_EQ(node("$$$DUMMY", 2)->user.d, 0u);
    EXPECT_NE(node("$$$dummy", 2)->user.d, 0u);
    EXPECT_EQ(node("ghost", 2)->user.d, 0u);
    EXPECT_STREQ(scene.cameraName, "Camera01");

    // A file that is not there: the error line, the slot emptied, the echo all the same.
    trace_Reset();
    console.clear();
    etest_Params({"0", "2", "missing.3ds\n"});
    glLoadSceneSlot();
    EXPECT_EQ(trace(), "- _Vortan_ \terror on glLoadSceneSlot : missing.3ds\n");
    EXPECT_EQ(scene.slots[2], nullptr);
    EXPECT_EQ(console, "\n#call glLoadSceneSlot 2\n\r");

    // A damaged file: the error line names it and what is wrong; the show goes on.
    testfs_WriteFile(cwd->path + "/bad.3ds", std::string("MM\x64\x00\x00\x00junk", 10));
    trace_Reset();
    etest_Params({"0", "2", "bad.3ds\n"});
    glLoadSceneSlot();
    EXPECT_EQ(trace(), "- _Vortan_ \terror on glLoadSceneSlot : bad.3ds (file chunk of 100 bytes in a file of 10 at offset 0)\n");
    EXPECT_EQ(scene.slots[2], nullptr);
    engine.currentScene = 2;
    engine_DrawFrame(0.1);
    EXPECT_TRUE(testgl_Near(testgl_Read(80, 60), 0, 0, 64, 2));

    // Slots outside 0..19 are refused with the error line.
    trace_Reset();
    etest_Params({"0", "20", "tree.3ds\n"});
    glLoadSceneSlot();
    EXPECT_EQ(trace(), "- _Vortan_ \terror on glLoadSceneSlot : scene slot 20 out of range (0..19)\n");
    etest_Params({"0", "-1", "tree.3ds\n"});
    glLoadSceneSlot();
    for (Lib3dsFile *slot : scene.slots) EXPECT_EQ(slot, nullptr);
}

TEST_F(SceneDraw, FirstLoadNamesTheCameraAndReloadingFreesTheOldLists) {
    Lib3dsFile *first = probeFile();
    scenegen_AddMesh(first, "tri", probeTriangle(), "");
    scenegen_AddObjectNode(first, "tri", nullptr, {0, 0, 0}, {0, 0, 0});
    save(first, "first.3ds");
    Lib3dsFile *second = scenegen_NewFile(10);
    scenegen_AddCamera(second, "Zeta", {0, -10, 0}, {0, 0, 0}, 45.0f);
    save(second, "second.3ds");

    ASSERT_TRUE(scene_LoadSlot(0, "first.3ds"));
    EXPECT_STREQ(scene.cameraName, "Camera01");
    GLuint oldList = GLuint(node("tri")->user.d);
    EXPECT_TRUE(glIsList(oldList));
    ASSERT_TRUE(scene_LoadSlot(1, "second.3ds"));
    EXPECT_STREQ(scene.cameraName, "Camera01"); // only the first load names the camera
    ASSERT_TRUE(scene_LoadSlot(0, "second.3ds")); // no meshes: the old list is simply gone
    EXPECT_FALSE(glIsList(oldList));
    EXPECT_EQ(scene.lists[0], 0);

    // Selecting a scene takes its first camera; -1 switches off and keeps the name; numbers
    // outside -1..19 count as -1, with the error line.
    etest_Params({"0", "1"});
    glSetCurrentScene();
    EXPECT_EQ(engine.currentScene, 1);
    EXPECT_STREQ(scene.cameraName, "Zeta");
    etest_Params({"0", "-1"});
    glSetCurrentScene();
    EXPECT_EQ(engine.currentScene, -1);
    EXPECT_STREQ(scene.cameraName, "Zeta");
    trace_Reset();
    etest_Params({"0", "25"});
    glSetCurrentScene();
    EXPECT_EQ(engine.currentScene, -1);
    EXPECT_EQ(trace(), "- _Vortan_ \terror on glSetCurrentScene : scene 25 out of range (-1..19)\n");
}

TEST_F(SceneDraw, MaterialColoursShininessAndBlending) {
    Lib3dsFile *file = probeFile();
    SgMaterial glass = paint("glass", 0.5f, 0.0f, 0.0f);
    glass.transparency = 0.5f;
    scenegen_AddMaterial(file, glass);
    const float shininess[] = {0.0f, 0.5f, 0.9f};
    const char *names[] = {"s0", "s5", "s9"};
    for (int i = 0; i < 3; ++i) {
        SgMaterial m = paint(names[i], 0.5f, 0.5f, 0.5f);
        m.shininess = shininess[i];
        scenegen_AddMaterial(file, m);
        scenegen_AddMesh(file, names[i], probeTriangle(), names[i]);
        scenegen_AddObjectNode(file, names[i], nullptr, {0, 0, 0}, {0, -40, 0}); // behind the camera
    }
    scenegen_AddMesh(file, "plain", probeTriangle(), "");
    scenegen_AddObjectNode(file, "plain", nullptr, {0, 0, 0}, {-3, 0, 0});
    scenegen_AddMesh(file, "glass", probeTriangle(), "glass");
    scenegen_AddObjectNode(file, "glass", nullptr, {0, 0, 0}, {3, 0, 0});
    show(file);
    engine_DrawFrame(0.0);
    // Without a material: ambient 0.2 x the model's 0.2, plus diffuse 0.8 at full light.
    Pixel plain = project((A.x + B.x + C.x) / 3 - 3, (A.z + B.z + C.z) / 3);
    EXPECT_TRUE(testgl_Near(at(plain), 214, 214, 214, 3)) << int(at(plain).r);
    // Transparent: added onto the dark blue behind it (blend ONE, SRC_ALPHA), depth untouched.
    Pixel clear = project((A.x + B.x + C.x) / 3 + 3, (A.z + B.z + C.z) / 3);
    EXPECT_TRUE(testgl_Near(at(clear), 128, 0, 64, 3)) << int(at(clear).r) << " " << int(at(clear).b);
    float depth[2] = {0, 0};
    glReadPixels(int(clear.x), int(clear.y), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth[0]);
    glReadPixels(int(plain.x), int(plain.y), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth[1]);
    EXPECT_FLOAT_EQ(depth[0], 1.0f);
    EXPECT_LT(depth[1], 1.0f);
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_EQ(mask, GL_TRUE); // the list turns depth writes back on
    // Shininess 0, 0.5 and 0.9 become 1, 32 and 128 (capped from 512).
    const float expected[] = {1.0f, 32.0f, 128.0f};
    for (int i = 0; i < 3; ++i) {
        glPushMatrix();
        glCallList(GLuint(node(names[i])->user.d));
        glPopMatrix();
        float value = -1;
        glGetMaterialfv(GL_FRONT, GL_SHININESS, &value);
        EXPECT_FLOAT_EQ(value, expected[i]) << names[i];
    }
}

TEST_F(SceneDraw, TextureMapsFindTheirSlotWithoutRegardToCase) {
    glext.activeTexture(GL_TEXTURE0_ARB);
    etest_SolidTexture(3, 2, 2, 0, 255, 0, 255);
    etest_SolidTexture(7, 2, 2, 255, 255, 0, 255);
    etest_SolidTexture(5, 2, 2, 0, 0, 128, 255);
    text_CopyBounded(engine.textureSlots[3].name, "Rock.TGA");
    text_CopyBounded(engine.textureSlots[5].name, "env.tga");
    Lib3dsFile *file = probeFile();
    SgMaterial rock = paint("rock", 1, 1, 1);
    rock.texture = "rock.tga";
    scenegen_AddMaterial(file, rock);
    SgMaterial shiny = paint("shiny", 0.8f, 0.4f, 0.2f);
    shiny.reflection = "ENV.TGA";
    scenegen_AddMaterial(file, shiny);
    scenegen_AddMesh(file, "rock", probeTriangle(), "rock");
    scenegen_AddObjectNode(file, "rock", nullptr, {0, 0, 0}, {-3, 0, 0});
    scenegen_AddMesh(file, "shiny", probeTriangle(), "shiny");
    scenegen_AddObjectNode(file, "shiny", nullptr, {0, 0, 0}, {3, 0, 0});
    save(file, "tex.3ds");
    ASSERT_TRUE(scene_LoadSlot(0, "tex.3ds"));
    engine.currentScene = 0;
    engine_DrawFrame(0.0);
    Pixel left = project((A.x + B.x + C.x) / 3 - 3, (A.z + B.z + C.z) / 3);
    Pixel right = project((A.x + B.x + C.x) / 3 + 3, (A.z + B.z + C.z) / 3);
    EXPECT_TRUE(testgl_Near(at(left), 0, 255, 0, 3)) << int(at(left).r);
    // The reflection map on unit 1 adds its texel to the lit colour.
    EXPECT_TRUE(testgl_Near(at(right), 204, 102, 179, 3)) << int(at(right).b);
    EXPECT_EQ(scene_FindTextureSlot("ROCK.tga"), 3);
    EXPECT_EQ(scene_FindTextureSlot("nothing.tga"), 0);

    // A second slot under the same name: the higher number wins, once the mesh is compiled again.
    text_CopyBounded(engine.textureSlots[7].name, "ROCK.TGA");
    ASSERT_TRUE(scene_LoadSlot(0, "tex.3ds"));
    engine_DrawFrame(0.0);
    EXPECT_TRUE(testgl_Near(at(left), 255, 255, 0, 3)) << int(at(left).r);
}

TEST_F(SceneDraw, TwoNodesOfOneMeshAndTheLightsOfTheFile) {
    Lib3dsFile *file = probeFile();
    scenegen_AddPointLight(file, "Light02", {5, 5, 5});
    scenegen_AddSpotLight(file, "Spot01", {0, 0, 10}, {0, 0, 0});
    scenegen_AddMaterial(file, paint("paint", 0.8f, 0.4f, 0.2f));
    scenegen_AddMesh(file, "tri", probeTriangle(), "paint");
    scenegen_AddObjectNode(file, "tri", nullptr, {0, 0, 0}, {-3, 0, 0});
    scenegen_AddObjectNode(file, "tri", nullptr, {0, 0, 0}, {3, 0, 0});
    show(file);
    EXPECT_EQ(scene.lists[0], 2);
    engine_DrawFrame(0.0);
    const Pixel mid = centroid();
    EXPECT_GT(at({mid.x - 3 * W / 2 / 5.5228, mid.y}).r, 150);
    EXPECT_GT(at({mid.x + 3 * W / 2 / 5.5228, mid.y}).r, 150);
    EXPECT_TRUE(testgl_Near(at(mid), 0, 0, 64, 2));
    // Light01, Light02 and Spot01 (alphabetical, as lib3ds keeps them) on GL lights 0, 1, 2;
    // only the spot has a direction: 10 down, turned with the scene into GL's -y.
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0) && glIsEnabled(GL_LIGHT1) && glIsEnabled(GL_LIGHT2));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
    float direction[4] = {0, 0, 0, 0};
    glGetLightfv(GL_LIGHT2, GL_SPOT_DIRECTION, direction);
    EXPECT_NEAR(direction[1], -10.0f, 1e-4);
    glGetLightfv(GL_LIGHT1, GL_SPOT_DIRECTION, direction);
    EXPECT_NEAR(direction[2], -1.0f, 1e-4); // OpenGL's default: never set
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(SceneDraw, LightsBeyondWhatTheGlOffersAreLeftOut) {
    Lib3dsFile *file = probeFile();
    GLint available = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &available);
    for (int i = 0; i < available + 3; ++i) {
        char name[16];
        snprintf(name, sizeof name, "Extra%02d", i);
        scenegen_AddPointLight(file, name, {0, -100, 0});
    }
    scenegen_AddMesh(file, "tri", probeTriangle(), "");
    scenegen_AddObjectNode(file, "tri", nullptr, {0, 0, 0}, {0, 0, 0});
    show(file);
    while (glGetError() != GL_NO_ERROR) {
    }
    engine_DrawFrame(0.0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(glIsEnabled(GLenum(GL_LIGHT0 + available - 1)));
    EXPECT_GT(at(centroid()).r, 100);
}

// A scene whose "dot" runs from x = -4 at frame 0 to x = 4 at frame 100 (two keys: linear).
class SceneReplay : public SceneDraw {
protected:
    void SetUp() override {
        SceneDraw::SetUp();
        if (!window) return;
        Lib3dsFile *file = probeFile();
        scenegen_AddMesh(file, "dot", scenegen_Triangle({-0.4f, 0, -0.4f}, {0.4f, 0, -0.4f}, {0, 0, 0.4f}), "");
        Lib3dsNode *dot = scenegen_AddObjectNode(file, "dot", nullptr, {0, 0, 0}, {-4, 0, -3});
        scenegen_AddPositionKey(dot, 100, {4, 0, -3});
        show(file);
    }
    double dotX() { return node("dot")->matrix[3][0]; }
    // The window column where the dot is drawn, or -1.
    int dotColumn() {
        const int row = int(project(0, -3).y);
        for (int x = 0; x < W; ++x)
            if (testgl_Read(x, row).r > 100) return x;
        return -1;
    }
};

TEST_F(SceneReplay, SpeedsAndTheWrapAtBothEnds) {
    engine_DrawFrame(1.0); // speed 1: one frame per second
    EXPECT_FLOAT_EQ(scene.replayFrame, 1.0f);
    EXPECT_NEAR(dotX(), -4.0 + 8.0 * 1 / 100, 1e-4); // evaluated for the next pass
    etest_Params({"0", "30\n"});
    glSetReplaySpeed();
    EXPECT_FLOAT_EQ(scene.replaySpeed, 30.0f);
    engine_DrawFrame(0.5);
    EXPECT_FLOAT_EQ(scene.replayFrame, 16.0f);
    etest_Params({"0", "-1\n"});
    glSetReplaySpeed();
    scene.replayFrame = 0.5f;
    engine_DrawFrame(1.0); // below 0: to the last frame
    EXPECT_FLOAT_EQ(scene.replayFrame, 100.0f);
    EXPECT_NEAR(dotX(), 4.0, 1e-4);
    etest_Params({"0", "1\n"});
    glSetReplaySpeed();
    scene.replayFrame = 99.5f;
    engine_DrawFrame(1.0); // 100.5: past the end, to 0.0 and not 0.5
    EXPECT_FLOAT_EQ(scene.replayFrame, 0.0f);
    scene.replayFrame = 99.0f;
    engine_DrawFrame(1.0); // exactly the last frame stays
    EXPECT_FLOAT_EQ(scene.replayFrame, 100.0f);
    // Text that is not a finite number would leave lib3ds unable to evaluate: frame 0 instead.
    etest_Params({"0", "nan\n"});
    glSetReplayFrame();
    EXPECT_FLOAT_EQ(scene.replayFrame, 0.0f);
}

TEST_F(SceneReplay, ReplayFrameIsShownOneFrameLater) {
    engine.debugMode = 1;
    engine_DrawFrame(0.0);
    const int start = dotColumn();
    EXPECT_NEAR(start, project(-4, -3).x, 5); // the dot's left edge
    etest_Params({"0", "50\n"});
    glSetReplayFrame();
    EXPECT_EQ(console, "\n#call glSetReplayFrame 50.000000\n\r");
    engine_DrawFrame(0.0);
    EXPECT_EQ(dotColumn(), start); // this frame still shows the pose evaluated before
    engine_DrawFrame(0.0);
    EXPECT_NEAR(dotColumn(), project(0, -3).x, 5);
}

TEST_F(SceneReplay, GlowDrawsTheSceneTwiceSoItRunsTwiceAsFast) {
    CreateRenderTarget(64, 21);
    CreateRenderTarget(32, 22);
    CreateRenderTarget(16, 23);
    engine_DrawFrame(2.0);
    EXPECT_FLOAT_EQ(scene.replayFrame, 2.0f);
    engine.glowEnabled = 1;
    engine_DrawFrame(2.0);
    EXPECT_FLOAT_EQ(scene.replayFrame, 6.0f);
    EXPECT_NEAR(dotX(), -4.0 + 8.0 * 6 / 100, 1e-4);
    // With no scene selected the capture's call draws and advances nothing.
    engine.currentScene = -1;
    engine_DrawFrame(2.0);
    EXPECT_FLOAT_EQ(scene.replayFrame, 6.0f);
}

// The commands as the script runs them, one line a frame, through the engine's own handlers.
TEST_F(SceneDraw, ScriptSelectsTheSceneAndItsCameras) {
    Lib3dsFile *file = probeFile();
    scenegen_AddMaterial(file, paint("paint", 0.8f, 0.4f, 0.2f));
    scenegen_AddMesh(file, "tri", probeTriangle(), "paint");
    scenegen_AddObjectNode(file, "tri", nullptr, {0, 0, 0}, {0, 0, 0});
    save(file, "probe.3ds");
    const std::string script = "@setresourcedir 0|" + cwd->path + "/\n"
                               "@glloadsceneslot 0|0|probe.3ds\n"
                               "@glsetcurrentscene 0|0\n"
                               "@glsetcamera 0|Camera02|\n"
                               "@glsetcamera 0|Camera01\n"
                               "@glsetcurrentscene 0|0\n"
                               "@end 100\n";
    testfs_WriteFile(cwd->path + "/show.qlo", script);
    script_Init();
    engine_RegisterCommands();
    script_SetVerbose(0);
    ASSERT_EQ(script_Load((cwd->path + "/show.qlo").c_str()), SCRIPT_OK);
    script_SetDelimiter("|");
    const TestPixel lit{204, 102, 51, 255};
    auto frame = [&](Pixel p) {
        script_Eval(1.0);
        engine_DrawFrame(0.1);
        return at(p);
    };
    EXPECT_TRUE(testgl_Near(frame(centroid()), 0, 0, 64, 2));   // resource directory
    EXPECT_TRUE(testgl_Near(frame(centroid()), 0, 0, 64, 2));   // load: nothing selected yet
    EXPECT_TRUE(testgl_Near(frame(centroid()), lit.r, lit.g, lit.b, 3)); // selected: shown at once
    console.clear();
    EXPECT_TRUE(testgl_Near(frame(centroid(3.0)), lit.r, lit.g, lit.b, 3)); // Camera02, 3 to the right
    EXPECT_TRUE(testgl_Near(at(centroid()), 0, 0, 64, 2));
    EXPECT_EQ(console, "Camera02\n");
    const float frozen = scene.replayFrame;
    EXPECT_TRUE(testgl_Near(frame(centroid()), 0, 0, 64, 2)); // name with its line end: no camera
    EXPECT_TRUE(testgl_Near(at(centroid(3.0)), 0, 0, 64, 2));
    EXPECT_FLOAT_EQ(scene.replayFrame, frozen);
    EXPECT_EQ(console, "Camera02\nCamera01\n\n");
    EXPECT_TRUE(testgl_Near(frame(centroid()), lit.r, lit.g, lit.b, 3)); // selecting again: Camera01
}

} // namespace
