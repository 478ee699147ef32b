// Scene benchmarks: loading generated scenes of 10k, 100k and 500k faces (check + lib3ds read +
// evaluation + compilation into display lists), the check and lib3ds's read alone, assimp's
// import of the same files for comparison, and the frame rate of a 100k-face scene at 640x480.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <unistd.h>

#include <GLFW/glfw3.h>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <lib3ds/file.h>
#include <lib3ds/mesh.h>

#include "base/trace.h"
#include "draw/draw.h"
#include "engine/engine.h"
#include "scene/scene.h"
#include "scene/scene_file.h"
#include "state/engine_state.h"
#include "tools/scenegen/scenegen.h"

namespace {

// Scenes are written once into a folder of their own, which is also where the trace log goes.
const std::string &folder() {
    static std::string dir = [] {
        char pattern[] = "/tmp/vortan-scene-bench-XXXXXX";
        std::string made = mkdtemp(pattern) ? pattern : "/tmp";
        if (chdir(made.c_str()) != 0) perror("chdir");
        return made;
    }();
    return dir;
}

std::string sceneFile(int faces) {
    std::string path = folder() + "/bench" + std::to_string(faces) + ".3ds";
    if (access(path.c_str(), R_OK) != 0 && !scenegen_WriteBench(faces, path.c_str())) fprintf(stderr, "cannot write %s\n", path.c_str());
    return path;
}

// One hidden 640x480 window with the show's GL state, shared by every benchmark that draws.
GLFWwindow *window() {
    static GLFWwindow *made = [] {
        if (!glfwInit()) return static_cast<GLFWwindow *>(nullptr);
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        glfwWindowHint(GLFW_DEPTH_BITS, 24);
        GLFWwindow *w = glfwCreateWindow(640, 480, "scene bench", nullptr, nullptr);
        if (!w) return w;
        glfwMakeContextCurrent(w);
        glfwSwapInterval(0);
        engine.screenWidth = 640;
        engine.screenHeight = 480;
        engine_InitGl();
        return w;
    }();
    return made;
}

void faceCounter(benchmark::State &state) {
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetLabel("items = faces");
}

void BM_LoadValidateCompile(benchmark::State &state) {
    const std::string path = sceneFile(int(state.range(0)));
    if (!window()) return state.SkipWithError("no display");
    snprintf(engine.resourceDir, sizeof engine.resourceDir, "%s/", folder().c_str());
    const std::string name = path.substr(folder().size() + 1);
    for (auto _ : state) {
        trace_Reset(); // the trace log starts afresh, so it does not grow with the iterations
        if (!scene_LoadSlot(0, name.c_str())) return state.SkipWithError("load failed");
        glFinish();
    }
    scene_ResetState();
    faceCounter(state);
}

void BM_ValidateOnly(benchmark::State &state) {
    std::vector<uint8_t> bytes;
    engine_ReadFile(sceneFile(int(state.range(0))).c_str(), SCENE_MAX_FILE_BYTES, &bytes);
    for (auto _ : state) benchmark::DoNotOptimize(scene_Validate3ds(bytes.data(), bytes.size(), nullptr, 0));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    faceCounter(state);
}

void BM_Lib3dsReadValidated(benchmark::State &state) {
    std::vector<uint8_t> bytes;
    engine_ReadFile(sceneFile(int(state.range(0))).c_str(), SCENE_MAX_FILE_BYTES, &bytes);
    for (auto _ : state) {
        Lib3dsFile *file = scene_Read3ds(bytes.data(), bytes.size(), nullptr, 0);
        if (!file) return state.SkipWithError("read failed");
        lib3ds_file_free(file);
    }
    faceCounter(state);
}

void BM_Lib3dsLoadFromDisk(benchmark::State &state) {
    const std::string path = sceneFile(int(state.range(0)));
    for (auto _ : state) {
        Lib3dsFile *file = lib3ds_file_load(path.c_str()); // lib3ds's own file reading, unchecked
        if (!file) return state.SkipWithError("load failed");
        lib3ds_file_free(file);
    }
    faceCounter(state);
}

void BM_AssimpImport(benchmark::State &state) {
    const std::string path = sceneFile(int(state.range(0)));
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene *imported = importer.ReadFile(path, 0);
        if (!imported) return state.SkipWithError(importer.GetErrorString());
        benchmark::DoNotOptimize(imported->mNumMeshes);
    }
    faceCounter(state);
}

void BM_AssimpImportSmoothNormals(benchmark::State &state) {
    const std::string path = sceneFile(int(state.range(0)));
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene *imported = importer.ReadFile(path, aiProcess_GenSmoothNormals);
        if (!imported) return state.SkipWithError(importer.GetErrorString());
        benchmark::DoNotOptimize(imported->mNumMeshes);
    }
    faceCounter(state);
}

// Whole frames of the show (clear, scene pass, 2D stage) with a 100k-face scene at 640x480.
void BM_FrameRate100k(benchmark::State &state) {
    const std::string path = sceneFile(100000);
    if (!window()) return state.SkipWithError("no display");
    snprintf(engine.resourceDir, sizeof engine.resourceDir, "%s/", folder().c_str());
    trace_Reset();
    if (!scene_LoadSlot(0, path.substr(folder().size() + 1).c_str())) return state.SkipWithError("load failed");
    engine.currentScene = 0;
    engine.glowEnabled = int(state.range(0));
    if (engine.glowEnabled) {
        CreateRenderTarget(256, 21);
        CreateRenderTarget(128, 22);
        CreateRenderTarget(64, 23);
    }
    for (auto _ : state) {
        engine_DrawFrame(1.0 / 30.0);
        glfwSwapBuffers(window());
    }
    glFinish();
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(engine.glowEnabled ? "items = frames, glow on" : "items = frames");
    engine.currentScene = -1;
    engine.glowEnabled = 0;
    scene_ResetState();
}

} // namespace

BENCHMARK(BM_LoadValidateCompile)->Arg(10000)->Arg(100000)->Arg(500000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ValidateOnly)->Arg(10000)->Arg(100000)->Arg(500000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lib3dsReadValidated)->Arg(10000)->Arg(100000)->Arg(500000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Lib3dsLoadFromDisk)->Arg(10000)->Arg(100000)->Arg(500000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpImport)->Arg(10000)->Arg(100000)->Arg(500000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssimpImportSmoothNormals)->Arg(10000)->Arg(100000)->Arg(500000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameRate100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
