// Layers: DrawLayer (fade, drift and one textured quad per visible layer) and the handlers of
// the four layer commands. Layer numbers 20..24 reach the render-target records on purpose.
#include <GL/gl.h>
#include <cstdlib>

#include "base/console.h"
#include "draw/draw.h"
#include "draw/texture.h"
#include "script/script.h"

namespace {
// The layer number of parameter 1, or -1 (with the error trace line) when out of range.
int layerIndex(const char *operation) {
    int n = -1;
    return engine_ParamInt(1, operation, "layer", &n, 0, ENGINE_LAYER_RECORDS - 1) ? n : -1;
}
} // namespace

void engine_ResetLayers() {
    for (Layer &layer : engine.layers) {
        layer.texture = -1;
        layer.visible = 0;
        layer.fade = 1.0f;
        layer.repeatU = 1.0f;
        layer.repeatV = 1.0f;
        layer.speedX = layer.speedY = 0.0f;
        layer.extraA = layer.extraB = 0.0f;
    }
}

void AdvanceLayer(Layer &layer, double frameDelta) {
    if (layer.visible == 0) return;
    layer.fade = float(layer.fade + frameDelta * layer.fadeSpeed);
    if (layer.fade < 0) layer.fade = 0;
    if (layer.fade > 1) {
        layer.fade = 1;
        layer.visible = 1;
    }
    layer.x = float(layer.x + frameDelta * layer.speedX);
    layer.y = float(layer.y + frameDelta * layer.speedY);
}

void DrawLayer(Layer &layer, int screenWidth, int /*screenHeight*/, double frameDelta) {
    if (layer.visible == 0) return;
    const float k = float(screenWidth) / 640.0f;
    if (layer.blend == 1.0f) {
        glBlendFunc(GL_ONE, GL_ONE);
    } else {
        glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    }
    AdvanceLayer(layer, frameDelta); // the quad shows the new fade and position
    texture_Bind(layer.texture);
    glColor4f(layer.fade, layer.fade, layer.fade, 1.0f);
    const double u = 0.99 * layer.repeatU;
    const double v = 0.99 * layer.repeatV;
    // At fade 0 the quad adds 0 or multiplies by 1, and under GL_ALWAYS its depth keeps no later
    // quad out: it changes no pixel (a faded-out full-window flash costs a whole fill). The
    // texture, colour and texture coordinate it leaves behind are still set: the next frame's
    // scene draws its untextured meshes with them.
    if (layer.fade == 0.0f) {
        GLint depthFunction = GL_LESS;
        glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
        if (depthFunction == GL_ALWAYS) {
            glTexCoord2d(0.01, v);
            return;
        }
    }
    const double hx = 0.5 * layer.width * k;
    const double hy = 0.5 * layer.height * k;
    const double cx = double(k * layer.x);
    const double cy = double(k * layer.y);
    glBegin(GL_QUADS);
    glTexCoord2d(0.01, 0.01); glVertex2f(float(cx - hx), float(cy - hy));
    glTexCoord2d(u, 0.01);    glVertex2f(float(cx + hx), float(cy - hy));
    glTexCoord2d(u, v);       glVertex2f(float(cx + hx), float(cy + hy));
    glTexCoord2d(0.01, v);    glVertex2f(float(cx - hx), float(cy + hy));
    glEnd();
}

void SetLayerParam() {
    const int n = layerIndex("SetLayerParam");
    int visible = 0;
    if (n < 0 || !engine_ParamInt(3, "SetLayerParam", "visible", &visible)) return;
    const int slot = texture_FindExact(script_Param(2));
    Layer &layer = engine.layers[n];
    layer.texture = slot;
    layer.visible = visible;
    layer.fade = float(atof(script_Param(4)));
    layer.repeatU = float(atof(script_Param(5)));
    layer.repeatV = float(atof(script_Param(6)));
    if (engine.debugMode) console_Printf("\n#call SetLayerParam %d\n\r", slot);
}

void SetLayerPos() {
    const int n = layerIndex("SetLayerPos");
    int blend = 0, y = 0;
    if (n < 0 || !engine_ParamInt(2, "SetLayerPos", "blend", &blend) || !engine_ParamInt(5, "SetLayerPos", "y", &y))
        return;
    Layer &layer = engine.layers[n];
    layer.blend = float(blend);
    layer.fadeSpeed = float(atof(script_Param(3)));
    layer.x = float(atof(script_Param(4)));
    layer.y = float(y);
    layer.width = float(atof(script_Param(6)));
    layer.height = float(atof(script_Param(7)));
    if (engine.debugMode) console_Printf("\n#call SetLayerPos \n\r");
}

void SetLayerFadeSpeed() {
    const int n = layerIndex("SetLayerFadeSpeed");
    if (n < 0) return;
    engine.layers[n].fadeSpeed = float(atof(script_Param(2)));
    if (engine.debugMode) console_Printf("\n#call SetLayerFadeSpeed %f\n\r", double(engine.layers[n].fadeSpeed));
}

void SetLayerParamEx() {
    const int n = layerIndex("SetLayerParamEx");
    int extraA = 0;
    if (n < 0 || !engine_ParamInt(4, "SetLayerParamEx", "extra a", &extraA)) return;
    Layer &layer = engine.layers[n];
    layer.speedX = float(atof(script_Param(2)));
    layer.speedY = float(atof(script_Param(3)));
    layer.extraA = float(extraA);
    layer.extraB = float(atof(script_Param(5)));
    // The echo's number field has no value of its own; 0 keeps the line's form.
    if (engine.debugMode) console_Printf("\n#call SetLayerParamEx %d\n\r", 0);
}
