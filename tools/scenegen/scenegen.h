// scenegen: builds 3DS scenes with lib3ds and writes them with lib3ds_file_save. Building
// blocks for the tests, plus the bundled show's scene and benchmark scenes of a chosen size.
#pragma once
#include <cstdint>
#include <vector>

#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>

struct SgVec {
    float x, y, z;
};

// Geometry of one mesh: points, optional texture coordinates (one pair per point), triangles
// as point-index triples and one smoothing-group word per triangle (0 = flat).
struct SgGeometry {
    std::vector<SgVec> points;
    std::vector<float> texels; // u, v per point, or empty
    std::vector<uint16_t> faces;
    std::vector<uint32_t> smoothing;
    size_t faceCount() const { return faces.size() / 3; }
};

struct SgMaterial {
    const char *name = "material";
    float diffuse[3] = {0.8f, 0.8f, 0.8f};
    float specular[3] = {0.0f, 0.0f, 0.0f};
    float shininess = 0.0f;      // 0..1; the engine uses 2^(10 x shininess)
    float transparency = 0.0f;   // 0..1; anything above 0 is blended
    const char *texture = "";    // texture map name (a texture slot name)
    const char *reflection = ""; // reflection map name
};

// A new file whose animation runs over frames 0..frames.
Lib3dsFile *scenegen_NewFile(int frames);

Lib3dsMaterial *scenegen_AddMaterial(Lib3dsFile *file, const SgMaterial &material);

// Adds a mesh (identity mesh matrix) whose every face names material ("" = none).
Lib3dsMesh *scenegen_AddMesh(Lib3dsFile *file, const char *name, const SgGeometry &geometry, const char *material);

// An object node named name (the mesh it shows), under parent (null = top level), with its pivot
// and a position key at frame 0. Node ids are given in creation order.
Lib3dsNode *scenegen_AddObjectNode(Lib3dsFile *file, const char *name, Lib3dsNode *parent, SgVec pivot, SgVec position);

// Keys; a later key at the same frame replaces the earlier. A rotation key turns by angle
// (radians) about axis relative to the previous key, as 3DS stores rotations.
void scenegen_AddPositionKey(Lib3dsNode *node, int frame, SgVec position);
void scenegen_AddRotationKey(Lib3dsNode *node, int frame, SgVec axis, float angle);
void scenegen_AddScaleKey(Lib3dsNode *node, int frame, SgVec scale);

// A camera with its camera node and target node (both named name); fov in degrees, roll in
// radians. Keys at frame 0; scenegen_AddCameraKey adds more.
void scenegen_AddCamera(Lib3dsFile *file, const char *name, SgVec position, SgVec target, float fov, float roll = 0.0f);
void scenegen_AddCameraKey(Lib3dsFile *file, const char *name, int frame, SgVec position, SgVec target);

void scenegen_AddPointLight(Lib3dsFile *file, const char *name, SgVec position);
void scenegen_AddSpotLight(Lib3dsFile *file, const char *name, SgVec position, SgVec target);

// Prepares every key track for evaluation (the file can then be evaluated before saving).
void scenegen_SetupTracks(Lib3dsFile *file);

// Sets up the tracks and writes the file; false when it cannot be written.
bool scenegen_Save(Lib3dsFile *file, const char *path);

// Shapes. All faces wind counter-clockwise seen from outside, so lib3ds's normals point out.
SgGeometry scenegen_Triangle(SgVec a, SgVec b, SgVec c);
SgGeometry scenegen_Torus(float major, float minor, int segments, int sides, bool texels);
SgGeometry scenegen_TorusKnot(int p, int q, float radius, float tube, int segments, int sides);
SgGeometry scenegen_Sphere(float radius, int segments, int rings, bool texels);

// The bundled show's scene (about 60 s at 30 frames a second), and a benchmark scene of about
// faces triangles. Texture names used by the show: "checker.tga", "envmap.tga", "plasma.tga",
// "white.tga".
bool scenegen_WriteShow(const char *path);
bool scenegen_WriteBench(int faces, const char *path);

// A demo maker's starting scene: a textured quad (facing +z) or cube of edge 20 at the origin,
// texture coordinates 0..1 on each face, its material "material" taking map as texture map, seen
// by a camera and lit by a point light of the given names; animation frames 0..frames.
struct SgUserScene {
    bool cube = false;
    const char *camera = "Camera01";
    const char *light = "Light01";
    const char *map = "texture.tga";
    int frames = 100;
};
bool scenegen_WriteUser(const SgUserScene &options, const char *path);

// Small scenes that between them use every feature above (fuzzing seeds), written into dir.
bool scenegen_WriteSeeds(const char *dir);
