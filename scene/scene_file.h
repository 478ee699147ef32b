// Reading untrusted 3DS files: our own structural check of the bytes, then lib3ds reading the
// same bytes from memory, the index checks of the compile step, and what a file written by a
// converter lacks (nodes for its meshes, a camera). No GL here, so the fuzzer, the checker and
// the benchmark use it without a window.
#pragma once
#include <cstddef>
#include <cstdint>

#include <lib3ds/file.h>
#include <lib3ds/mesh.h>

// Limits the check enforces; far above anything a real scene holds, low enough that lib3ds's
// quadratic list insertions and recursive node walks stay short.
constexpr size_t SCENE_MAX_FILE_BYTES = size_t(64) << 20;
constexpr int SCENE_MAX_CHUNK_DEPTH = 16;
constexpr int SCENE_MAX_NODES = 4096;
constexpr int SCENE_MAX_NODE_DEPTH = 64;
constexpr int SCENE_MAX_OBJECTS = 8192;      // named objects and materials, each
constexpr int SCENE_MAX_VIEWS = 64;
// Comparisons of face normals a mesh's smoothing may take: thousands of faces with different
// normals can meet at one point before a mesh is refused for it.
constexpr long long SCENE_MAX_SMOOTHING_WORK = 1LL << 26;
constexpr long SCENE_MAX_KEY_FRAME = 1L << 24; // frames stay exact as floats
constexpr size_t SCENE_WHY_SIZE = 160;

// Checks that lib3ds 1.3 can read these bytes without reading or writing out of bounds,
// looping or recursing without end. On failure why gets a short reason with the file offset.
bool scene_Validate3ds(const uint8_t *data, size_t size, char *why, size_t whySize);

// Validates, then reads the bytes with lib3ds through a memory-backed stream. Null on failure,
// with the reason in why. The caller frees the result with lib3ds_file_free.
Lib3dsFile *scene_Read3ds(const uint8_t *data, size_t size, char *why, size_t whySize);

// The compile step's own checks on a mesh: every face corner below the point count (and below
// the texel count when the mesh has texels), faces only with points. False with a reason when
// the mesh must not be compiled.
bool scene_CheckMesh(const Lib3dsMesh *mesh, char *why, size_t whySize);

// The smoothed normal of every face corner (normals[3 f + i] for corner i of face f), as
// lib3ds_mesh_calculate_normals gives them but without its table of 128 normals per corner, so
// any number of faces may meet at a point. The mesh must have passed scene_CheckMesh. Memory
// grows with the face count only; false with a reason when the work would exceed
// SCENE_MAX_SMOOTHING_WORK.
bool scene_SmoothNormals(const Lib3dsMesh *mesh, Lib3dsVector *normals, char *why, size_t whySize);

// Whether an object node shows the mesh (nodes refer to meshes by name).
bool scene_MeshHasNode(Lib3dsFile *file, const Lib3dsMesh *mesh);

// Converters write meshes without keyframer nodes. Gives such a mesh a top-level object node of
// its name without keys (it evaluates to the identity, so the mesh's points are drawn where the
// file stores them, as a modeller shows the mesh) and returns it; null when the mesh has a node
// already or memory runs out.
Lib3dsNode *scene_AddMeshNode(Lib3dsFile *file, Lib3dsMesh *mesh);

// How a scene is looked at: from eye towards target, turned by roll (as 3DS stores it), through
// a vertical field of view of fov degrees, between the near and far planes.
struct SceneView {
    Lib3dsVector eye, target;
    float roll, fov;
    float nearPlane, farPlane;
};

enum SceneViewKind {
    SCENE_VIEW_NONE,           // the file has cameras, but none of that name
    SCENE_VIEW_CAMERA_NODES,   // a camera's animated camera and target nodes
    SCENE_VIEW_CAMERA_OBJECT,  // a camera object without nodes, as the file stores it
    SCENE_VIEW_DEFAULT,        // the file has no camera: a view that frames every mesh
};

constexpr float SCENE_NEAR = 1.0f;          // the planes of a scene's own cameras
constexpr float SCENE_FAR = 1024.0f;
constexpr float SCENE_DEFAULT_FOV = 45.0f;  // the default view's lens, degrees

// Whether the file has a camera at all: a camera object or a camera node.
bool scene_HasCamera(Lib3dsFile *file);

// The view through the camera called name (null: none chosen yet). The default view looks at
// the box around every mesh point from the front (-y in 3DS's z-up space), a little to the right
// and above, at a distance at which the whole box fits, with planes around the box.
// framing, when given, is the file's default view as scene_DefaultView made it (it walks every
// mesh point: the scene pass keeps it from the load instead of making it each frame).
SceneViewKind scene_FindView(Lib3dsFile *file, const char *name, SceneView *view, const SceneView *framing = nullptr);
void scene_DefaultView(const Lib3dsFile *file, SceneView *view);
