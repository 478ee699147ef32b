// Render targets and the glow: the scene is captured into render target 1, shrunk twice into
// targets 2 and 3, and the three pictures are added over the window. Also the three glow handlers.
#include <GL/gl.h>
#include <GL/glext.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/console.h"
#include "base/trace.h"
#include "draw/draw.h"
#include "draw/gl_ext.h"
#include "script/script.h"

namespace {
constexpr int RENDER_TARGET_MAX = 8192; // edge in pixels

// One quad from the window origin to (width, height) showing the whole bound texture.
void texturedRect(int width, int height) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex2i(0, 0);
    glTexCoord2f(1, 0); glVertex2i(width, 0);
    glTexCoord2f(1, 1); glVertex2i(width, height);
    glTexCoord2f(0, 1); glVertex2i(0, height);
    glEnd();
}

constexpr int FIRST_TARGET = ENGINE_LAYERS; // render target n is layers entry 20 + n

// A target that "@glfx_rtparam" never created has texture -1 and size 0; binding or copying
// into it would touch a texture that is not there, so the glow passes it over.
bool created(const Layer &record) { return record.texture >= 0 && record.width >= 1.0f; }

void copyWindowSquare(const Layer &record, int size) {
    glext.activeTexture(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, GLuint(record.texture));
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, size, size);
}
} // namespace

void CreateRenderTarget(int size, int index) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    // Targets are filled from the window, so nothing larger than a big window is of use; the cap
    // also keeps the zeroed first image to at most 256 MiB.
    const int highest = maxSize > 0 ? std::min(int(maxSize), RENDER_TARGET_MAX) : RENDER_TARGET_MAX;
    if (!engine_CheckIndex(size, 1, highest, "glFx_RenderTargetParam", "size")) return;
    // The capture copies the window's lower-left square of the target's size: a larger target
    // would only show a pale rectangle of what lies outside the window.
    const int fits = std::min(engine.screenWidth, engine.screenHeight);
    if (size > fits) {
        char detail[160];
        snprintf(detail, sizeof detail, "size %d out of range (1..%d): a render target is copied from the %dx%d window",
                 size, fits, engine.screenWidth, engine.screenHeight);
        trace_Error("glFx_RenderTargetParam", detail);
        return;
    }
    std::unique_ptr<unsigned char, decltype(&free)> pixels(
        static_cast<unsigned char *>(calloc(size_t(size) * size_t(size), 4)), &free);
    if (!pixels) {
        trace_Error("glFx_RenderTargetParam", "not enough memory for the render target");
        return;
    }
    Layer &record = engine.layers[index];
    record.texture = index;
    record.width = float(size);
    glBindTexture(GL_TEXTURE_2D, GLuint(index));
    glTexImage2D(GL_TEXTURE_2D, 0, 4, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.get());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

void ReduceRenderTarget(int source, int target) {
    const Layer &from = engine.layers[source];
    const Layer &to = engine.layers[target];
    if (!created(from) || !created(to)) return;
    const int m = int(to.width);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glext.activeTexture(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, GLuint(from.texture));
    glColor4f(1, 1, 1, 1);
    texturedRect(m, m);
    copyWindowSquare(to, m);
}

void GlowCapture(double frameDelta, ScenePass scenePass) {
    const Layer &scene = engine.layers[FIRST_TARGET + 1];
    const int n = int(scene.width);
    glViewport(0, 0, n, n);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The last frame's composite left the depth test passing everything: the captured scene
    // would show its hidden faces, and the glow would add them over the front ones.
    glDepthFunc(GL_LESS);
    if (scenePass) scenePass(frameDelta);
    if (created(scene)) copyWindowSquare(scene, n);
    Begin2D();
    glViewport(0, 0, engine.screenWidth, engine.screenHeight);
    ReduceRenderTarget(FIRST_TARGET + 1, FIRST_TARGET + 2);
    ReduceRenderTarget(FIRST_TARGET + 2, FIRST_TARGET + 3);
    End2D();
    // The frame then starts as every other frame does, from the clear colour: the capture's black,
    // its small scene and the reduction squares are gone, and the glow only adds light.
    const Color &clear = engine.colors[2];
    glClearColor(clear.red, clear.green, clear.blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void DrawFullScreenQuad(const Layer &record, int screenWidth, int screenHeight) {
    glBindTexture(GL_TEXTURE_2D, GLuint(record.texture));
    const float a = record.fade;
    glColor4f(a, a, a, a);
    texturedRect(screenWidth, screenHeight);
}

unsigned GlowTargetsMade() {
    unsigned made = 0;
    for (int n = 1; n <= 3; ++n)
        if (created(engine.layers[FIRST_TARGET + n])) made |= 1u << n;
    return made;
}

void GlowComposite(int screenWidth, int screenHeight) {
    glDepthFunc(GL_ALWAYS);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    for (int n = 1; n <= 3; ++n) {
        const Layer &record = engine.layers[FIRST_TARGET + n];
        if (!created(record)) continue;
        DrawFullScreenQuad(record, screenWidth, screenHeight);
        DrawFullScreenQuad(record, screenWidth, screenHeight);
    }
}

void glFxGlow() {
    // Truncated toward zero, so 0.9 is off and -1.5 on; clamped first so a huge number cannot
    // overflow the conversion.
    double value = atof(script_Param(1));
    if (value != value) value = 0; // "nan"
    if (value > 1e9) value = 1e9;
    if (value < -1e9) value = -1e9;
    engine.glowEnabled = int(value);
    if (engine.debugMode) console_Printf("\n#call glFxGlow\n\r");
}

void glFx_RenderTargetParam() {
    int n = 0, size = 0;
    if (!engine_ParamInt(1, "glFx_RenderTargetParam", "render target", &n, 0, ENGINE_RENDER_TARGETS - 1)) return;
    if (!engine_ParamInt(2, "glFx_RenderTargetParam", "size", &size)) return; // its range is checked there
    CreateRenderTarget(size, FIRST_TARGET + n);
    if (engine.debugMode) console_Printf("\n#call glFx_RenderTargetParam\n\r");
}

void glFx_RenderTargetAlpha() {
    int n = 0;
    if (!engine_ParamInt(1, "glFx_RenderTargetAlpha", "render target", &n, 0, ENGINE_RENDER_TARGETS - 1)) return;
    engine.layers[FIRST_TARGET + n].fade = float(atof(script_Param(2)));
    if (engine.debugMode) console_Printf("\n#call glFx_RenderTargetAlpha\n\r");
}
