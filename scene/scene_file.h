// Reading untrusted 3DS files: our own structural check of the bytes, then lib3ds reading the
// same bytes from memory, and the index checks of the compile step. No GL here, so the fuzzer
// and the benchmark use it without a window.
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
