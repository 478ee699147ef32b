// Scenes: 3DS files in 20 slots, compiled into display lists at load time, and the per-frame
// scene pass through the scene's own camera, lights and animation replay.
#pragma once
#include <array>
#include <cstddef>
#include <vector>

#include "scene/scene_file.h"
#include "script/script.h"
#include "state/engine_state.h"
#include "state/loader.h"


constexpr int SCENE_SLOTS = ENGINE_SCENE_SLOTS;
constexpr size_t SCENE_CAMERA_NAME_SIZE = SCRIPT_TEXT_SIZE; // a whole parameter always fits

// All scene state in one record. engine.currentScene (the selected slot) lives in the engine
// record because the frame loop reads it.
struct SceneState {
    std::array<Lib3dsFile *, SCENE_SLOTS> slots{}; // loaded files; null = empty
    std::array<int, SCENE_SLOTS> lists{};          // display lists compiled for each slot
    bool cameraSet = false;                        // cameraName holds a name
    char cameraName[SCENE_CAMERA_NAME_SIZE] = "";  // our own copy: it outlives a replaced file
    float replayFrame = 0.0f;                      // animation frame shown by the next pass
    float replaySpeed = 1.0f;                      // frames per second of elapsed time
    // scene_Advance leaves the evaluation of a pose to scene_CatchUp: the frame each slot's
    // file is still to be evaluated at, and whether it is.
    std::array<float, SCENE_SLOTS> owedFrame{};
    std::array<bool, SCENE_SLOTS> owed{};
    std::array<SceneView, SCENE_SLOTS> framing{};  // each file's default view, made at its load
    std::array<std::vector<unsigned>, SCENE_SLOTS> geometry{}; // the triangle lists node lists call
};

extern SceneState scene;

// Handlers of "@glloadsceneslot", "@glsetcurrentscene", "@glsetcamera", "@glsetreplayspeed"
// and "@glsetreplayframe"; they read the Parameter buffers.
void glLoadSceneSlot();
void glSetCurrentScene();
void glSetCamera();
void glSetReplaySpeed();
void glSetReplayFrame();

// Loads resourceDir + name into slot (0..19), replacing and freeing what was there, and compiles
// its meshes. Writes the success or error trace line; returns whether the file was loaded.
// Needs a current GL context.
bool scene_LoadSlot(int slot, const char *name);

// What the loader does for "@glloadsceneslot": the file read and checked, its pose at frame 0,
// its default view and each mesh's triangles compiled in the loader's GL context; the line
// compiles only the node lists (material, textures by the slots as they are then).
extern const LoaderKind SCENE_LOADER_KIND;

// Compiles node and its subtree (children first) into display lists, looking meshes and
// materials up in the file of slot.
void scene_CompileNode(Lib3dsNode *node, int slot);

// Texture slot whose name matches a material's map name without regard to case; last match
// wins, 0 when none matches.
int scene_FindTextureSlot(const char *name);

// The scene pass: draws engine.currentScene through its camera and advances the replay frame
// by frameDelta x replay speed. Draws nothing when no scene or camera is there.
void scene_Draw(double frameDelta);

// The scene pass's drawing alone, for a warm-up draw: engine.currentScene in the pose it is in,
// through the chosen camera or else its default view; the replay frame does not move.
void scene_DrawStill();

// How many scene files were loaded since the process started (a changed count: a new scene).
unsigned scene_LoadCount();

// What the scene pass does to the animation without drawing (a frame the fast-forward of a
// start time skips): advances the replay frame. The scene's pose for it is owed, not evaluated:
// scene_CatchUp evaluates every owed pose, leaving the files as the scene passes would have.
void scene_Advance(double frameDelta);
void scene_CatchUp();

// Draws node's subtree (children first), each compiled node through its list.
void scene_DrawNode(Lib3dsNode *node);

// Shutdown: frees every loaded slot and its display lists.
void scene_FreeAll();

// Frees everything and puts the record back to its start values (tests, live reload).
void scene_ResetState();
