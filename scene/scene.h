// Scenes: 3DS files in 20 slots, compiled into display lists at load time, and the per-frame
// scene pass through the scene's own camera, lights and animation replay.
#pragma once

// Handlers of "@glloadsceneslot", "@glsetcurrentscene", "@glsetcamera", "@glsetreplayspeed"
// and "@glsetreplayframe"; they read the Parameter buffers.
void glLoadSceneSlot();
void glSetCurrentScene();
void glSetCamera();
void glSetReplaySpeed();
void glSetReplayFrame();

// The scene pass: draws engine.currentScene through its camera and advances the replay frame
// by frameDelta x replay speed. Draws nothing when no scene or camera is there.
void scene_Draw(double frameDelta);

// Shutdown: frees every loaded slot and its display lists.
void scene_FreeAll();
