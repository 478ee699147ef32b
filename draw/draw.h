// The 2D drawing passes of the frame loop (overlays, layers, the glow) and the handlers of the
// commands that set them. All of them work on the engine record of engine_state.h.
#pragma once
#include "state/engine_state.h"

// Pixel-exact 2D projection over the window: origin lower left, one unit a pixel.
void Begin2D();
void End2D();

// Full-window overlays. picture is a copy of layer 0's record; only its texture is used.
void DrawBackground(int mode, Layer picture, int screenWidth, int screenHeight, int barHeight,
                    int stripHeight);
void DrawCinemascope(int screenWidth, int screenHeight, int barHeight, int stripHeight);

// Draws one layer (when visible) and advances its fade and drift by frameDelta seconds.
void DrawLayer(Layer &layer, int screenWidth, int screenHeight, double frameDelta);

// What DrawLayer does to a visible layer besides drawing it: fade and drift by frameDelta.
void AdvanceLayer(Layer &layer, double frameDelta);

// Render targets and the glow. index / source / target are layers entries (20 + n).
void CreateRenderTarget(int size, int index);
void ReduceRenderTarget(int source, int target);
// The glow's capture draws the scene pass it is handed (the scene sits above the 2D passes)
// into render target 1 and reduces it into targets 2 and 3.
using ScenePass = void (*)(double frameDelta);
void GlowCapture(double frameDelta, ScenePass scenePass);
void GlowComposite(int screenWidth, int screenHeight);
// Which of render targets 1..3 "@glfx_rtparam" made: bit n for target n.
unsigned GlowTargetsMade();
void DrawFullScreenQuad(const Layer &record, int screenWidth, int screenHeight);

// Puts the 25 layer records into their start-of-show state (texture -1, fade and repeats 1).
void engine_ResetLayers();

// Command handlers; each reads its arguments from the script's Parameter buffers.
void glSetClearColor();
void glSetCinemascope();
// The bars and the strip between them from engine.cinemascopePercent and the window height.
void PlaceCinemascope();
void SetBackground();
void SetColor();
void SetLayerParam();
void SetLayerPos();
void SetLayerFadeSpeed();
void SetLayerParamEx();
void glFxGlow();
void glFx_RenderTargetParam();
void glFx_RenderTargetAlpha();
