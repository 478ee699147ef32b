// Frame rate of a layer-heavy show (20 visible layers, glow on): the whole capture run of the
// vortan executable (start-up, drawing, PNG writing) and the drawing of one frame alone.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "draw/draw.h"
#include "engine/engine.h"
#include "state/engine_state.h"
#include "tests/support/gl_window.h"
#include "tests/support/temp_dir.h"

namespace {
constexpr int CAPTURE_FRAMES = 120;

// A 64 x 64 32-bit uncompressed TGA with a soft diagonal pattern.
std::string makeTga(int seed) {
    std::string file(18, '\0');
    file[2] = 2;
    file[12] = 64;
    file[14] = 64;
    file[16] = 32;
    file[17] = 8;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            file.push_back(char((x * 4 + seed * 11) & 255));
            file.push_back(char((y * 4 + seed * 23) & 255));
            file.push_back(char(((x + y) * 2) & 255));
            file.push_back(char((x + y) % 7 == 0 ? 0 : 255));
        }
    }
    return file;
}

// 20 textures, 20 visible drifting layers of mixed blending, render targets 256/128/64, glow on.
std::string layerHeavyScript() {
    std::string s = "@glfx_rtparam 0|1|256\n@glfx_rtparam 0|2|128\n@glfx_rtparam 0|3|64\n"
                    "@glfx_rtalpha 0|1|0.4\n@glfx_rtalpha 0|2|0.3\n@glfx_rtalpha 0|3|0.2\n"
                    "@glfx_glow 0|1\n@glsetcurrentscene 0|0\n@glsetcinemascope 0|1|10\n";
    char line[160];
    for (int i = 0; i < 20; ++i) {
        snprintf(line, sizeof line, "@glloadtextureslot 0|t%02d.tga|%d|1\n", i, i);
        s += line;
        snprintf(line, sizeof line, "@glsetlayerparam 0|%d|t%02d.tga|1|0.8|2|2\n", i, i);
        s += line;
        snprintf(line, sizeof line, "@glsetlayerpos 0|%d|%d|0|%d|%d|400|300\n", i, i % 2, 120 + i * 20, 100 + i * 14);
        s += line;
        snprintf(line, sizeof line, "@glsetlayerparamex 0|%d|%d|%d|0|0\n", i, i - 10, 10 - i);
        s += line;
    }
    return s + "@end 1000\n";
}

std::string prepareShow() {
    const std::string dir = testfs_MakeTempDir("bench-frames");
    std::system(("mkdir -p " + dir + "/datas").c_str());
    for (int i = 0; i < 20; ++i) {
        char name[32];
        snprintf(name, sizeof name, "/t%02d.tga", i);
        testfs_WriteFile(dir + name, makeTga(i));
    }
    testfs_WriteFile(dir + "/datas/opal.qlo", layerHeavyScript());
    return dir;
}

// The capture run: every frame drawn, read back and written as PNG. The script's 89 set-up
// lines take one frame each, so a run of only those frames is timed too and taken off: what
// remains is the rate of frames with all 20 layers and the glow.
constexpr int SETUP_FRAMES = 90;

double timedRun(const std::string &dir, int width, int frames) {
    char command[1024];
    snprintf(command, sizeof command,
             "cd %s && rm -rf out && " VORTAN_EXE " --resolution %dx%d --capture out --fps 60 --duration %.6f "
             ">/dev/null 2>&1",
             dir.c_str(), width, width * 3 / 4, (frames - 0.5) / 60.0);
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return status == 0 ? elapsed.count() : -1.0;
}

void BM_CaptureRun(benchmark::State &state) {
    if (!getenv("DISPLAY")) return state.SkipWithError("no display");
    const int width = int(state.range(0));
    const std::string dir = prepareShow();
    for (auto _ : state) {
        const double setup = timedRun(dir, width, SETUP_FRAMES);
        const double whole = timedRun(dir, width, SETUP_FRAMES + CAPTURE_FRAMES);
        if (setup < 0 || whole < 0) return state.SkipWithError("the vortan run failed");
        state.SetIterationTime(whole - setup);
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations() * CAPTURE_FRAMES), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CaptureRun)->Arg(640)->Arg(1024)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

// One frame drawn from the same engine state in this process, without read-back.
void BM_DrawFrame(benchmark::State &state) {
    const int width = int(state.range(0)), height = width * 3 / 4;
    engine_ResetState();
    engine.screenWidth = width;
    engine.screenHeight = height;
    GLFWwindow *window = nullptr;
    for (int attempt = 0; attempt < 3 && !window; ++attempt) window = testgl_Open(width, height);
    if (!window) return state.SkipWithError("no display");
    engine_InitGl();
    engine_ResetLayers();
    for (int i = 0; i < 20; ++i) {
        const std::string tga = makeTga(i);
        glBindTexture(GL_TEXTURE_2D, GLuint(i));
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 64, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE, tga.data() + 18);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        Layer &layer = engine.layers[i];
        layer = Layer{i, 1, 0.8f, float(i % 2), 0, 2, 2, 120.0f + i * 20, 100.0f + i * 14, 400, 300,
                      float(i - 10), float(10 - i), 0, 0};
    }
    CreateRenderTarget(256, 21);
    CreateRenderTarget(128, 22);
    CreateRenderTarget(64, 23);
    engine.glowEnabled = 1;
    engine.currentScene = 0;
    for (auto _ : state) {
        engine_DrawFrame(1.0 / 60.0);
        glFinish();
    }
    state.counters["frames_per_s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    testgl_Close(window);
}
BENCHMARK(BM_DrawFrame)->Arg(640)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
} // namespace

BENCHMARK_MAIN();
