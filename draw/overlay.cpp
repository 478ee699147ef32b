// Screen overlays: the 2D projection, the background (gradient or picture), the cinemascope
// bars, and the handlers of the colour, background and cinemascope commands.
#include <GL/gl.h>
#include <cmath>
#include <cstdlib>

#include "base/console.h"
#include "draw/draw.h"
#include "draw/texture.h"
#include "script/script.h"

void Begin2D() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, engine.screenWidth, 0, engine.screenHeight, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void End2D() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void DrawBackground(int mode, Layer picture, int screenWidth, int screenHeight, int barHeight,
                    int stripHeight) {
    Begin2D();
    glViewport(0, 0, screenWidth, screenHeight);
    glDisable(GL_DEPTH_TEST);
    const double bottom = barHeight;
    const double top = barHeight + stripHeight;
    if (mode == 1) {
        const Color &high = engine.colors[0];
        const Color &low = engine.colors[1];
        glDisable(GL_TEXTURE_2D);
        glBegin(GL_QUADS);
        glColor3d(low.red, low.green, low.blue);
        glVertex2d(0, bottom);
        glColor3d(low.red, low.green, low.blue);
        glVertex2d(screenWidth, bottom);
        glColor3d(high.red, high.green, high.blue);
        glVertex2d(screenWidth, top);
        glColor3d(high.red, high.green, high.blue);
        glVertex2d(0, top);
        glEnd();
    } else {
        // Layer 0 without a texture: the strip is plain white, not whatever texture name 0 holds.
        if (picture.texture < 0) {
            glDisable(GL_TEXTURE_2D);
        } else {
            glEnable(GL_TEXTURE_2D);
            texture_Bind(picture.texture);
        }
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glTexCoord2d(0, 0); glVertex2d(0, bottom);
        glTexCoord2d(1, 0); glVertex2d(screenWidth, bottom);
        glTexCoord2d(1, 1); glVertex2d(screenWidth, top);
        glTexCoord2d(0, 1); glVertex2d(0, top);
        glEnd();
        glDisable(GL_TEXTURE_2D);
    }
    glEnable(GL_DEPTH_TEST);
    End2D();
}

void DrawCinemascope(int screenWidth, int screenHeight, int barHeight, int stripHeight) {
    const int stripTop = barHeight + stripHeight;
    glColor3f(0, 0, 0);
    glBegin(GL_QUADS);
    glVertex2i(0, 0);
    glVertex2i(screenWidth, 0);
    glVertex2i(screenWidth, barHeight);
    glVertex2i(0, barHeight);
    glEnd();
    glBegin(GL_QUADS);
    glVertex2i(0, stripTop);
    glVertex2i(screenWidth, stripTop);
    glVertex2i(screenWidth, screenHeight);
    glVertex2i(0, screenHeight);
    glEnd();
}

void glSetClearColor() {
    engine.colors[2] = {float(atof(script_Param(1))), float(atof(script_Param(2))), float(atof(script_Param(3)))};
    if (engine.debugMode) console_Printf("\n#call glSetClearColor\n\r");
}

void SetColor() {
    int index = 0;
    if (!engine_ParamInt(1, "SetColor", "colour index", &index, 0, ENGINE_COLORS - 1)) return;
    engine.colors[index] = {float(atof(script_Param(2))), float(atof(script_Param(3))), float(atof(script_Param(4)))};
    if (engine.debugMode) console_Printf("\n#call SetColor\n\r");
}

void SetBackground() {
    int on = 0, mode = 0, argument = 0;
    if (!engine_ParamInt(1, "SetBackground", "on", &on)) return;
    if (on && (!engine_ParamInt(2, "SetBackground", "mode", &mode) ||
               !engine_ParamInt(3, "SetBackground", "argument", &argument)))
        return;
    engine.backgroundEnabled = on;
    if (on) {
        engine.backgroundMode = mode;
        engine.backgroundArg = argument;
    }
    if (engine.debugMode) console_Printf("\n#call SetBackground\n\r");
}

void glSetCinemascope() {
    int on = 0, percent = 0;
    if (!engine_ParamInt(1, "glSetCinemascope", "on", &on)) return;
    if (on && !engine_ParamInt(2, "glSetCinemascope", "bar height", &percent)) return;
    engine.cinemascopeEnabled = on;
    if (on == 0) return;
    engine.cinemascopePercent = float(percent);
    PlaceCinemascope();
    if (engine.debugMode) console_Printf("\n#Call glSetCinemascope %d \n\r ", engine.cinemascopeBar);
}

void PlaceCinemascope() {
    // In doubles so a large percentage cannot overflow (a whole percentage gives what integer
    // arithmetic gives); bars beyond the window height draw nothing more, so clamping there
    // changes no picture.
    const double h = engine.screenHeight;
    double bar = std::trunc(h * double(engine.cinemascopePercent) / 100.0);
    bar = bar > h ? h : bar < -h ? -h : bar;
    engine.cinemascopeBar = int(bar);
    engine.cinemascopeHeight = engine.screenHeight - 2 * engine.cinemascopeBar;
}
