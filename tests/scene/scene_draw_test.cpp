// Scenes drawn for real in a window under Xvfb: loading with its trace lines, what the camera
// shows where, materials, replay, the scene commands run by the script, files written by other
// tools (assimp and OpenSceneGraph's converters), and the glow and background around a scene.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/node.h>

#include "base/console.h"
#include "base/trace.h"
#include "draw/draw.h"
#include "engine/engine.h"
#include "scene/scene.h"
#include "tests/support/engine_stage.h"
#include "tests/support/temp_dir.h"
#include "tools/scenegen/scenegen.h"

namespace {

constexpr int W = 160, H = 120;

struct Pixel {
    double x, y;
};

// Window position of the 3DS point (x, 0, z) seen by a camera at (cameraX, -10, 0) looking
// along +y with a 45 degree field of view: 3DS x is screen right, z is screen up.
Pixel project(double x, double z, double cameraX = 0.0) {
    const double halfHeight = 10.0 * std::tan(22.5 * M_PI / 180.0), halfWidth = halfHeight * W / H;
    return {(1.0 + (x - cameraX) / halfWidth) * W / 2, (1.0 + z / halfHeight) * H / 2};
}
TestPixel at(Pixel p) { return testgl_Read(int(p.x), int(p.y)); }
bool nearColour(Pixel p, int r, int g, int b, int tolerance = 3) { return testgl_Near(at(p), r, g, b, tolerance); }
bool background(Pixel p) { return testgl_Near(at(p), 0, 0, 64, 2); } // the dark blue clear colour

// A triangle in the y = 0 plane facing the cameras; its corners project to known pixels. The
// centroid of a copy moved by x, seen from camera 0.
constexpr SgVec A{-2, 0, -1.5f}, B{2, 0, -1.5f}, C{0, 0, 2};
Pixel centroid(double x = 0.0) { return project((A.x + B.x + C.x) / 3 + x, (A.z + B.z + C.z) / 3); }

// The probe scene's base: two cameras 3 units apart looking along +y, and a light far behind
// them, so a face turned to the camera is lit at full strength.
Lib3dsFile *probeFile() {
    Lib3dsFile *file = scenegen_NewFile(100);
    scenegen_AddCamera(file, "Camera01", {0, -10, 0}, {0, 0, 0}, 45.0f);
    scenegen_AddCamera(file, "Camera02", {3, -10, 0}, {3, 0, 0}, 45.0f);
    scenegen_AddPointLight(file, "Light01", {0, -1000, 0});
    return file;
}
// A probe triangle mesh named name, with a node of its own at x.
Lib3dsNode *addTriangle(Lib3dsFile *file, const char *name, const char *material, float x = 0.0f) {
    scenegen_AddMesh(file, name, scenegen_Triangle(A, B, C), material);
    return scenegen_AddObjectNode(file, name, nullptr, {0, 0, 0}, {x, 0, 0});
}
SgMaterial paint(const char *name, float r, float g, float b, float shininess = 0.0f) {
    return {name, {r, g, b}, {0, 0, 0}, shininess};
}

class SceneDraw : public ::testing::Test {
protected:
    void SetUp() override {
        trace_Reset();
        console_SetCapture(&console);
        window = etest_OpenShow(W, H);
        if (!window) GTEST_SKIP() << "no display";
        scene_ResetState();
        snprintf(engine.resourceDir, sizeof engine.resourceDir, "%s/", cwd.path.c_str());
        engine.colors[2] = {0.0f, 0.0f, 0.25f}; // clear colour: dark blue
    }
    void TearDown() override {
        scene_ResetState();
        console_SetCapture(nullptr);
        if (window) testgl_Close(window);
    }
    void save(Lib3dsFile *file, const char *name) {
        ASSERT_TRUE(scenegen_Save(file, (cwd.path + "/" + name).c_str()));
        lib3ds_file_free(file);
    }
    // Saves, loads into slot 0 and selects it.
    void show(Lib3dsFile *file) {
        save(file, "probe.3ds");
        ASSERT_TRUE(scene_LoadSlot(0, "probe.3ds"));
        engine.currentScene = 0;
    }
    std::string trace() { return testfs_ReadFile(cwd.path + "/_vor_.log"); }
    Lib3dsNode *node(const char *name, int slot = 0) {
        return lib3ds_file_node_by_name(scene.slots[size_t(slot)], name, LIB3DS_OBJECT_NODE);
    }

    TestCwd cwd{"scenedraw"};
    GLFWwindow *window = nullptr;
    std::string console;
};

TEST_F(SceneDraw, LoadWritesItsTraceLinesChildrenFirstAndSkipsDummies) {
    Lib3dsFile *file = probeFile();
    Lib3dsNode *body = addTriangle(file, "body", "");
    scenegen_AddMesh(file, "arm", scenegen_Triangle(A, B, C), "");
    scenegen_AddObjectNode(file, "arm", body, {0, 0, 0}, {0, 0, 0});
    addTriangle(file, "$$$DUMMY", "");
    addTriangle(file, "$$$dummy", "");
    save(file, "tree.3ds");
    engine.debugMode = 1;
    etest_Params({"0", "2", "tree.3ds\n"});
    glLoadSceneSlot();
    EXPECT_EQ(trace(), "- _Vortan_ \tsuccess on glLoadSceneSlot : tree.3ds\n"
                       "* \tglLoadSceneSlot msg : mesh '$$$dummy' compiled\n"
                       "* \tglLoadSceneSlot msg : mesh 'arm' compiled\n"
                       "* \tglLoadSceneSlot msg : mesh 'body' compiled\n");
    EXPECT_EQ(scene.lists[2], 3);
    EXPECT_EQ(node("$$$DUMMY", 2)->user.d, 0u);

    // A file that is not there, a damaged one (named with what is wrong) and slots outside
    // 0..19: the error line, the slot left empty, the echo all the same, and the show goes on.
    testfs_WriteFile(cwd.path + "/bad.3ds", std::string("MM\x64\x00\x00\x00junk", 10));
    const char *const cases[][3] = {
        {"2", "bad.3ds\n", "- _Vortan_ \terror on glLoadSceneSlot : bad.3ds\n"}, // the reason goes to stderr
        {"20", "tree.3ds\n", "- _Vortan_ \terror on glLoadSceneSlot : scene slot 20 out of range (0..19)\n"},
    };
    for (auto [slot, name, line] : cases) {
        trace_Reset();
        console.clear();
        etest_Params({"0", slot, name});
        glLoadSceneSlot();
        EXPECT_EQ(trace(), line);
        EXPECT_EQ(console.find("\n#call glLoadSceneSlot " + std::string(slot)), 0u);
    }
    for (Lib3dsFile *slot : scene.slots) EXPECT_EQ(slot, nullptr);
    engine.currentScene = 2;
    engine_DrawFrame(0.1);
    EXPECT_TRUE(background(centroid()));

    // A cone of 200 smoothed triangles: its tip, shared by all of them, faces the light head on.
    Lib3dsFile *cone = probeFile();
    SgGeometry fan{{{0, -2, 0}}, {}, {}, std::vector<uint32_t>(200, 1)};
    for (int i = 0; i < 200; ++i) {
        fan.points.push_back({3 * float(std::cos(M_PI * i / 100)), 0, 3 * float(std::sin(M_PI * i / 100))});
        fan.faces.insert(fan.faces.end(), {0, uint16_t(1 + i), uint16_t(1 + (i + 1) % 200)});
    }
    scenegen_AddMesh(cone, "cone", fan, "");
    scenegen_AddObjectNode(cone, "cone", nullptr, {0, 0, 0}, {0, 0, 0});
    show(cone);
    engine_DrawFrame(0.0);
    EXPECT_TRUE(nearColour(project(0, 0), 214, 214, 214)) << int(at(project(0, 0)).r);
}

// One light: a mesh without a material, a transparent one, one mesh on two nodes, and shininess.
TEST_F(SceneDraw, MaterialColoursShininessBlendingAndSharedMeshes) {
    Lib3dsFile *file = probeFile();
    SgMaterial glass = paint("glass", 0.5f, 0.0f, 0.0f);
    glass.transparency = 0.5f;
    scenegen_AddMaterial(file, glass);
    const char *names[] = {"s0", "s5", "s9"};
    const float shininess[] = {0.0f, 0.5f, 0.9f}, expected[] = {1.0f, 32.0f, 128.0f}; // 512 capped at 128
    for (int i = 0; i < 3; ++i) {
        scenegen_AddMaterial(file, paint(names[i], 0.5f, 0.5f, 0.5f, shininess[i]));
        scenegen_AddMesh(file, names[i], scenegen_Triangle(A, B, C), names[i]);
        scenegen_AddObjectNode(file, names[i], nullptr, {0, 0, 0}, {0, -40, 0}); // behind the camera
    }
    addTriangle(file, "plain", "", -3);
    scenegen_AddObjectNode(file, "plain", nullptr, {0, 0, 0}, {0, 0, 0}); // the same mesh again
    addTriangle(file, "glass", "glass", 3);
    show(file);
    EXPECT_EQ(scene.lists[0], 6);
    engine_DrawFrame(0.0);
    // Without a material: ambient 0.2 x the model's 0.2, plus diffuse 0.8 at full light.
    EXPECT_TRUE(nearColour(centroid(-3), 214, 214, 214) && nearColour(centroid(0), 214, 214, 214)) << int(at(centroid(-3)).r);
    // Transparent: added onto the dark blue behind it (blend ONE, SRC_ALPHA), depth untouched.
    EXPECT_TRUE(nearColour(centroid(3), 128, 0, 64)) << int(at(centroid(3)).r) << " " << int(at(centroid(3)).b);
    float depth = 0;
    glReadPixels(int(centroid(3).x), int(centroid(3).y), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_FLOAT_EQ(depth, 1.0f);
    for (int i = 0; i < 3; ++i) {
        glPushMatrix();
        glCallList(GLuint(node(names[i])->user.d));
        glPopMatrix();
        float value = -1;
        glGetMaterialfv(GL_FRONT, GL_SHININESS, &value);
        EXPECT_FLOAT_EQ(value, expected[i]) << names[i];
    }
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
};

TEST_F(SceneReplay, SpeedsAndTheWrapAtBothEnds) {
    const struct {
        const char *speed; // "@glsetreplayspeed" before the frame, or null
        float from, delta, to;
    } steps[] = {
        {nullptr, 0.0f, 1.0f, 1.0f}, // speed 1: one frame per second
        {"30\n", 1.0f, 0.5f, 16.0f},
        {"-1\n", 0.5f, 1.0f, 100.0f}, // below 0: to the last frame
        {"1\n", 99.5f, 1.0f, 0.0f},   // 100.5: past the end, to 0.0 and not 0.5
        {nullptr, 99.0f, 1.0f, 100.0f}, // exactly the last frame stays
    };
    for (const auto &s : steps) {
        if (s.speed) etest_Params({"0", s.speed}), glSetReplaySpeed();
        scene.replayFrame = s.from;
        engine_DrawFrame(s.delta);
        EXPECT_FLOAT_EQ(scene.replayFrame, s.to) << s.from << " + " << s.delta;
        EXPECT_NEAR(dotX(), -4.0 + 8.0 * s.to / 100, 1e-4); // evaluated for the next pass
    }
    // Text that is not a finite number would leave lib3ds unable to evaluate: frame 0 instead.
    etest_Params({"0", "nan\n"});
    glSetReplayFrame();
    EXPECT_FLOAT_EQ(scene.replayFrame, 0.0f);
}

// The commands as the script runs them, one line a frame, through the engine's own handlers: the
// scene appears through its first camera in the frame whose line selects it, with the known
// triangle where the camera puts it.
TEST_F(SceneDraw, ScriptSelectsTheSceneAndItsCameras) {
    Lib3dsFile *file = probeFile();
    scenegen_AddMaterial(file, paint("paint", 0.8f, 0.4f, 0.2f));
    addTriangle(file, "tri", "paint");
    save(file, "probe.3ds");
    testfs_WriteFile(cwd.path + "/show.qlo", "@setresourcedir 0|" + cwd.path + "/\n"
                                             "@glloadsceneslot 0|0|probe.3ds\n"
                                             "@glsetcurrentscene 0|0\n"
                                             "@glsetcamera 0|Camera02|\n"
                                             "@glsetcamera 0|Camera01\n"
                                             "@glsetcurrentscene 0|0\n"
                                             "@end 100\n");
    script_Init();
    engine_RegisterCommands();
    script_SetVerbose(0);
    ASSERT_EQ(script_Load((cwd.path + "/show.qlo").c_str()), SCRIPT_OK);
    script_SetDelimiter("|");
    // Each line's frame, and whether the triangle shows where the camera puts it. Material diffuse
    // under a full-strength light: 0.8, 0.4, 0.2 (the file stores bytes).
    auto frame = [&](double x, bool lit) {
        script_Eval(1.0);
        engine_DrawFrame(0.1);
        return lit ? nearColour(centroid(x), 204, 102, 51) : background(centroid(x));
    };
    EXPECT_TRUE(frame(0, false)); // resource directory
    EXPECT_TRUE(frame(0, false)); // load: nothing selected yet
    EXPECT_TRUE(frame(0, true));  // selected: shown at once
    console.clear();
    EXPECT_TRUE(frame(-3.0, true)); // Camera02, 3 to the right
    EXPECT_TRUE(background(centroid()));
    EXPECT_EQ(console, "Camera02\n");
    const float frozen = scene.replayFrame;
    EXPECT_TRUE(frame(0, false)); // name with its line end: no camera
    EXPECT_FLOAT_EQ(scene.replayFrame, frozen);
    EXPECT_EQ(console, "Camera02\nCamera01\n\n");
    EXPECT_NE(trace().find("- _Vortan_ \terror on glSetCamera : no camera 'Camera01' in scene 0 (the name carries "
                           "the line end: end the line with '|')\n"),
              std::string::npos)
        << trace();
    EXPECT_TRUE(frame(0, true)); // selecting again: Camera01
}

// A textured cube as a modeller's OBJ, whose map carries a folder as exporters write it.
constexpr const char *CUBE_OBJ =
    "mtllib cube.mtl\nv -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\nvt 0 0\n"
    "vt 1 0\nvt 1 1\nvt 0 1\nusemtl brick\nf 1/1 3/3 2/2\nf 1/1 4/4 3/3\nf 5/1 6/2 7/3\nf 5/1 7/3 8/4\nf 1/1 2/2 6/3\n"
    "f 1/1 6/3 5/4\nf 2/1 3/2 7/3\nf 2/1 7/3 6/4\nf 3/1 4/2 8/3\nf 3/1 8/3 7/4\nf 4/1 1/2 5/3\nf 4/1 5/3 8/4\n";

// Files from other tools: no camera, no light (each converter's output), a map name with the
// exporter's folder (assimp), a material without a map (OpenSceneGraph leaves out a map it
// cannot open), and a file without keyframer nodes (a camera object and a mesh alone). Slot 0
// holds green and slot 1 red under the map's file name; each file must show its mesh lit, in the
// colour its material and map give, framed inside the window.
TEST_F(SceneDraw, FilesFromOtherToolsDrawFramedLitAndMapped) {
    testfs_WriteFile(cwd.path + "/cube.obj", CUBE_OBJ);
    testfs_WriteFile(cwd.path + "/cube.mtl", "newmtl brick\nKd 0.8 0.3 0.2\nmap_Kd textures/brick.tga\n");
#ifndef SCENE_TEST_WITHOUT_CONVERTERS // the Windows build's tests run under Wine, without them
    const std::string convert = "cd '" + cwd.path + "' && assimp export cube.obj assimp.3ds >convert.log 2>&1 && "
                                "osgconv cube.obj osg.3ds >>convert.log 2>&1";
    ASSERT_EQ(std::system(convert.c_str()), 0) << testfs_ReadFile(cwd.path + "/convert.log");
#endif
    // The camera object looks as Camera01 of the probe scene; the mesh's matrix (a modeller's
    // pivot) does not move its points, which lie where the file stores them.
    Lib3dsFile *file = scenegen_NewFile(100);
    Lib3dsCamera *camera = lib3ds_camera_new("Cam1"); // fov 45
    camera->position[1] = -10.0f;
    lib3ds_file_insert_camera(file, camera);
    scenegen_AddPointLight(file, "Light01", {0, -1000, 0});
    scenegen_AddMaterial(file, paint("paint", 0.8f, 0.4f, 0.2f));
    scenegen_AddMesh(file, "tri", scenegen_Triangle(A, B, C), "paint")->matrix[3][0] = 5.0f;
    save(file, "object.3ds");

    etest_SolidTexture(0, 4, 4, 0, 255, 0, 255);
    etest_SolidTexture(1, 4, 4, 255, 0, 0, 255);
    text_CopyBounded(engine.textureSlots[0].name, "grass.tga");
    text_CopyBounded(engine.textureSlots[1].name, "maps/BRICK.TGA");
    const struct { const char *file; bool red; Pixel probe; } rows[] = {
        {"assimp.3ds", true, {W / 2.0, H / 2.0}}, {"osg.3ds", false, {W / 2.0, H / 2.0}}, {"object.3ds", false, centroid()}};
    for (const auto &row : rows) {
#ifdef SCENE_TEST_WITHOUT_CONVERTERS
        if (std::string(row.file) != "object.3ds") continue;
#endif
        scene_ResetState();
        trace_Reset();
        ASSERT_TRUE(scene_LoadSlot(0, row.file)) << trace();
        EXPECT_EQ(trace().find("names no texture slot"), std::string::npos) << row.file << trace();
        engine.currentScene = 0;
        glBindTexture(GL_TEXTURE_2D, 0); // what a mesh without a map must not show
        engine_DrawFrame(0.0);
        const TestPixel p = at(row.probe); // red from slot 1, or the material's own orange
        EXPECT_TRUE(p.r > 80 && (row.red ? p.g < 10 && p.b < 10 : p.g > p.b && p.g < p.r))
            << row.file << " " << int(p.r) << "," << int(p.g) << "," << int(p.b);
        int covered = 0; // framed: a good part of the window, none of its corners
        for (int y = 0; y < H; y += 4)
            for (int x = 0; x < W; x += 4) covered += !background({double(x), double(y)});
        EXPECT_GT(covered, W * H / 320) << row.file;
        for (Pixel corner : {Pixel{1, 1}, Pixel{W - 2.0, 1}, Pixel{1, H - 2.0}, Pixel{W - 2.0, H - 2.0}})
            EXPECT_TRUE(background(corner)) << row.file << " " << corner.x << "," << corner.y;
    }
}

// The glow only adds light: with a red face in front of a green one, the frames with the glow on
// (two, so the second starts from what the first's composite left) are nowhere darker than the
// frame without it, add no green (the hidden face), and equal it where the glow reaches nothing.
// A background without bars fills the window.
TEST_F(SceneDraw, GlowOnlyAddsLightAndABackgroundFillsTheWindowWithoutBars) {
    Lib3dsFile *file = probeFile();
    scenegen_AddMaterial(file, paint("red", 0.5f, 0.0f, 0.0f));
    scenegen_AddMaterial(file, paint("green", 0.0f, 1.0f, 0.0f));
    addTriangle(file, "a_front", "red");
    scenegen_AddMesh(file, "b_back", scenegen_Triangle({-3, 4, -2}, {3, 4, -2}, {0, 4, 3}), "green");
    scenegen_AddObjectNode(file, "b_back", nullptr, {0, 0, 0}, {0, 0, 0});
    show(file);
    scene.replaySpeed = 0.0f;
    for (auto [target, size] : {std::pair{"1", "64"}, {"2", "32"}, {"3", "16"}}) {
        etest_Params({"0", target, size});
        glFx_RenderTargetParam();
        etest_Params({"0", target, "0.5"});
        glFx_RenderTargetAlpha();
    }
    auto frame = [&] {
        engine_DrawFrame(0.0);
        std::vector<uint8_t> pixels(size_t(W) * H * 4);
        glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    };
    const std::vector<uint8_t> plain = frame();
    engine.glowEnabled = 1;
    frame();
    const std::vector<uint8_t> glow = frame();
    int darker = 0, changedCorners = 0;
    for (size_t i = 0; i < plain.size(); ++i) darker += i % 4 != 3 && glow[i] + 1 < plain[i];
    for (size_t y : {0, 1, H - 2, H - 1})
        for (size_t x : {0, 1, W - 2, W - 1}) changedCorners += memcmp(&glow[(y * W + x) * 4], &plain[(y * W + x) * 4], 3) != 0;
    EXPECT_EQ(darker, 0);
    EXPECT_EQ(changedCorners, 0);
    const size_t middle = (size_t(centroid().y) * W + size_t(centroid().x)) * 4;
    EXPECT_GT(glow[middle], plain[middle]);           // the red face glows
    EXPECT_LE(glow[middle + 1], plain[middle + 1] + 2); // the face behind it does not
    for (int target : {1, 2, 3}) { // each reduction holds the red face at its middle
        std::vector<uint8_t> texels(size_t(64 >> (target - 1)) * size_t(64 >> (target - 1)) * 4);
        glBindTexture(GL_TEXTURE_2D, GLuint(20 + target));
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        EXPECT_GT(texels[texels.size() / 2 + (32 >> (target - 1)) * 4], 40) << "render target " << target;
    }

    engine.glowEnabled = 0;
    engine.backgroundEnabled = engine.backgroundMode = 1;
    engine.colors[0] = engine.colors[1] = {0.0f, 0.5f, 0.0f};
    engine_DrawFrame(0.0);
    for (Pixel p : {Pixel{2, 2}, Pixel{W - 3.0, H - 3.0}, Pixel{W / 2.0, H - 3.0}}) EXPECT_TRUE(nearColour(p, 0, 128, 0));
}

} // namespace
