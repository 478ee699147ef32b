// Helpers shared by the engine, 2D drawing and scene tests: a fresh engine state in a real window,
// Parameter buffers filled as the evaluator fills them, solid textures.
#pragma once
#include <GL/gl.h>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/console.h"
#include "base/trace.h"
#include "draw/draw.h"
#include "draw/gl_ext.h"
#include "engine/engine.h"
#include "script/script.h"
#include "script/text.h"
#include "state/engine_state.h"
#include "tests/support/gl_window.h"
#include "tests/support/temp_dir.h"

// Fresh engine state, the window size set, the window opened and the show's fixed GL state
// in place, with the layer records reset as the run resets them. Null without a display.
inline GLFWwindow *etest_OpenShow(int width, int height) {
    engine_ResetState();
    engine.screenWidth = width;
    engine.screenHeight = height;
    GLFWwindow *window = testgl_Open(width, height); // tried again should Xvfb refuse one connection
    if (!window) return nullptr;
    engine_InitGl();
    engine_ResetLayers();
    return window;
}

// One test's engine: a fresh state in a folder of its own, where the trace log lands, with the
// console echo captured; given a size, a window too (null without a display).
struct EngineStage {
    TestCwd cwd{"engine"};
    std::string echo;
    GLFWwindow *window = nullptr;
    explicit EngineStage(int width = 0, int height = 0) {
        trace_Reset();
        engine_ResetState();
        engine_ResetLayers();
        if (width > 0) window = etest_OpenShow(width, height);
        console_SetCapture(&echo);
    }
    ~EngineStage() {
        console_SetCapture(nullptr);
        if (window) testgl_Close(window);
    }
};

// Parameter buffers 0.. as the evaluator leaves them for one line.
// A cleared frame in the 2D stage as the frame loop sets it up (unit 0 modulating, texturing
// and blending on); End2D closes it.
inline void etest_Begin2DStage() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glext.activeTexture(GL_TEXTURE0_ARB);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    Begin2D();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
}

inline void etest_Params(std::initializer_list<const char *> texts) {
    for (auto &buffer : script.params) buffer[0] = '\0';
    int k = 0;
    for (const char *text : texts) text_CopyBounded(script.params[k++], text);
}

// A width x height RGBA texture with every texel the same, under GL name `name`.
inline void etest_SolidTexture(unsigned name, int width, int height, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    std::vector<uint8_t> texels(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < texels.size(); i += 4) {
        texels[i] = r;
        texels[i + 1] = g;
        texels[i + 2] = b;
        texels[i + 3] = a;
    }
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

// A visible layer covering the whole window (640 x 480 layer units) with texture `name`.
inline void etest_FullLayer(Layer &layer, int name, float blend, float fade) {
    layer.texture = name;
    layer.visible = 1;
    layer.fade = fade;
    layer.blend = blend;
    layer.x = 320;
    layer.y = 240;
    layer.width = 640;
    layer.height = 480;
}
