// scenegen: 3DS scenes built with lib3ds, from single triangles for the tests to the bundled
// show's animated scene and benchmark scenes of a given size.
#include "tools/scenegen/scenegen.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <lib3ds/camera.h>
#include <lib3ds/light.h>
#include <lib3ds/quat.h>
#include <lib3ds/tracks.h>

namespace {

constexpr float PI = 3.14159265358979f;

void copyName(char *destination, size_t size, const char *name) {
    snprintf(destination, size, "%s", name ? name : "");
}

int countNodes(const Lib3dsNode *node) {
    int n = 0;
    for (; node; node = node->next) n += 1 + countNodes(node->childs);
    return n;
}

void setVector(Lib3dsVector v, SgVec s) {
    v[0] = s.x;
    v[1] = s.y;
    v[2] = s.z;
}

void addLin3Key(Lib3dsLin3Track *track, int frame, SgVec value) {
    Lib3dsLin3Key *key = lib3ds_lin3_key_new();
    key->tcb.frame = frame;
    setVector(key->value, value);
    lib3ds_lin3_track_insert(track, key);
}

void addLin1Key(Lib3dsLin1Track *track, int frame, float value) {
    Lib3dsLin1Key *key = lib3ds_lin1_key_new();
    key->tcb.frame = frame;
    key->value = value;
    lib3ds_lin1_track_insert(track, key);
}

Lib3dsNode *newNode(Lib3dsFile *file, Lib3dsNode *node, const char *name, Lib3dsNode *parent) {
    copyName(node->name, sizeof node->name, name);
    node->node_id = Lib3dsWord(countNodes(file->nodes));
    node->parent_id = parent ? parent->node_id : LIB3DS_NO_PARENT;
    lib3ds_file_insert_node(file, node);
    return node;
}

void setupNode(Lib3dsNode *node) {
    for (; node; node = node->next) {
        switch (node->type) {
        case LIB3DS_OBJECT_NODE:
            lib3ds_lin3_track_setup(&node->data.object.pos_track);
            lib3ds_quat_track_setup(&node->data.object.rot_track);
            lib3ds_lin3_track_setup(&node->data.object.scl_track);
            break;
        case LIB3DS_CAMERA_NODE:
            lib3ds_lin3_track_setup(&node->data.camera.pos_track);
            lib3ds_lin1_track_setup(&node->data.camera.fov_track);
            lib3ds_lin1_track_setup(&node->data.camera.roll_track);
            break;
        case LIB3DS_TARGET_NODE:
            lib3ds_lin3_track_setup(&node->data.target.pos_track);
            break;
        default:
            break;
        }
        setupNode(node->childs);
    }
}

// A tube of the given radius around a closed curve; the winding is chosen so the first face's
// normal points away from the curve, which makes every face's normal point out.
template <typename Curve>
SgGeometry tube(Curve curve, int segments, int sides, float radius) {
    SgGeometry g;
    for (int i = 0; i <= segments; ++i) {
        float t = float(i) / float(segments);
        SgVec c = curve(t), n = curve(t + 1e-3f);
        float tx = n.x - c.x, ty = n.y - c.y, tz = n.z - c.z;
        float tl = std::sqrt(tx * tx + ty * ty + tz * tz);
        tx /= tl, ty /= tl, tz /= tl;
        // A side vector from the tangent and the z axis (or x when the tangent runs along z).
        float ux = 0, uy = 0, uz = 1;
        if (std::fabs(tz) > 0.9f) ux = 1, uz = 0;
        float sx = ty * uz - tz * uy, sy = tz * ux - tx * uz, sz = tx * uy - ty * ux;
        float sl = std::sqrt(sx * sx + sy * sy + sz * sz);
        sx /= sl, sy /= sl, sz /= sl;
        float bx = ty * sz - tz * sy, by = tz * sx - tx * sz, bz = tx * sy - ty * sx;
        for (int j = 0; j <= sides; ++j) {
            float a = 2 * PI * float(j) / float(sides);
            float ca = std::cos(a), sa = std::sin(a);
            g.points.push_back({c.x + radius * (ca * sx + sa * bx), c.y + radius * (ca * sy + sa * by),
                                c.z + radius * (ca * sz + sa * bz)});
            g.texels.push_back(t * 4.0f);
            g.texels.push_back(float(j) / float(sides));
        }
    }
    auto index = [&](int i, int j) { return uint16_t(i * (sides + 1) + j); };
    for (int i = 0; i < segments; ++i)
        for (int j = 0; j < sides; ++j) {
            uint16_t a = index(i, j), b = index(i + 1, j), c = index(i + 1, j + 1), d = index(i, j + 1);
            g.faces.insert(g.faces.end(), {a, b, c, a, c, d});
        }
    // Orientation: normal of face 0 against the direction from the curve to its first corner.
    const SgVec &p0 = g.points[g.faces[0]], &p1 = g.points[g.faces[1]], &p2 = g.points[g.faces[2]];
    float e1x = p1.x - p0.x, e1y = p1.y - p0.y, e1z = p1.z - p0.z;
    float e2x = p2.x - p0.x, e2y = p2.y - p0.y, e2z = p2.z - p0.z;
    float nx = e1y * e2z - e1z * e2y, ny = e1z * e2x - e1x * e2z, nz = e1x * e2y - e1y * e2x;
    SgVec c0 = curve(0.0f);
    if (nx * (p0.x - c0.x) + ny * (p0.y - c0.y) + nz * (p0.z - c0.z) < 0)
        for (size_t f = 0; f < g.faces.size(); f += 3) std::swap(g.faces[f + 1], g.faces[f + 2]);
    g.smoothing.assign(g.faceCount(), 1);
    return g;
}

Lib3dsMaterial *addShowMaterial(Lib3dsFile *file, const char *name, SgVec diffuse, float specular, float shininess,
                                const char *texture, const char *reflection, float transparency = 0.0f) {
    SgMaterial m;
    m.name = name;
    m.diffuse[0] = diffuse.x, m.diffuse[1] = diffuse.y, m.diffuse[2] = diffuse.z;
    m.specular[0] = m.specular[1] = m.specular[2] = specular;
    m.shininess = shininess;
    m.texture = texture;
    m.reflection = reflection;
    m.transparency = transparency;
    return scenegen_AddMaterial(file, m);
}

// Turns a node about axis by a whole turn every period frames, with a key each step frames.
void spin(Lib3dsNode *node, int frames, int period, int step, SgVec axis) {
    for (int f = step; f <= frames; f += step) scenegen_AddRotationKey(node, f, axis, 2 * PI * float(step) / float(period));
}

// The show's stage: a round platform of concentric rings, facing up, its texture laid flat
// (tiles repeats per ten units). Beyond its edge the background shows.
SgGeometry showPlatform(float radius, int rings, int segments, float tiles) {
    SgGeometry g;
    g.points.push_back({0, 0, 0});
    for (int k = 1; k <= rings; ++k)
        for (int i = 0; i < segments; ++i) {
            float a = 2 * PI * float(i) / float(segments), r = radius * float(k) / float(rings);
            g.points.push_back({r * std::cos(a), r * std::sin(a), 0.0f});
        }
    for (const SgVec &p : g.points) {
        g.texels.push_back(p.x * tiles / 10.0f);
        g.texels.push_back(p.y * tiles / 10.0f);
    }
    auto index = [segments](int k, int i) { return uint16_t(1 + (k - 1) * segments + (i % segments)); };
    for (int i = 0; i < segments; ++i) g.faces.insert(g.faces.end(), {0, index(1, i), index(1, i + 1)});
    for (int k = 1; k < rings; ++k)
        for (int i = 0; i < segments; ++i) {
            uint16_t a = index(k, i), b = index(k + 1, i), c = index(k + 1, i + 1), d = index(k, i + 1);
            g.faces.insert(g.faces.end(), {a, b, c, a, c, d});
        }
    g.smoothing.assign(g.faceCount(), 0);
    return g;
}

} // namespace

Lib3dsFile *scenegen_NewFile(int frames) {
    Lib3dsFile *file = lib3ds_file_new();
    file->frames = frames;
    file->segment_from = 0;
    file->segment_to = frames;
    return file;
}

Lib3dsMaterial *scenegen_AddMaterial(Lib3dsFile *file, const SgMaterial &m) {
    Lib3dsMaterial *material = lib3ds_material_new();
    copyName(material->name, sizeof material->name, m.name);
    for (int i = 0; i < 3; ++i) {
        material->ambient[i] = m.diffuse[i] * 0.2f;
        material->diffuse[i] = m.diffuse[i];
        material->specular[i] = m.specular[i];
    }
    material->shininess = m.shininess;
    material->transparency = m.transparency;
    copyName(material->texture1_map.name, sizeof material->texture1_map.name, m.texture);
    copyName(material->reflection_map.name, sizeof material->reflection_map.name, m.reflection);
    lib3ds_file_insert_material(file, material);
    return material;
}

Lib3dsMesh *scenegen_AddMesh(Lib3dsFile *file, const char *name, const SgGeometry &g, const char *material) {
    Lib3dsMesh *mesh = lib3ds_mesh_new(name);
    if (!g.points.empty()) {
        lib3ds_mesh_new_point_list(mesh, Lib3dsDword(g.points.size()));
        for (size_t i = 0; i < g.points.size(); ++i) setVector(mesh->pointL[i].pos, g.points[i]);
    }
    if (!g.texels.empty()) {
        lib3ds_mesh_new_texel_list(mesh, Lib3dsDword(g.texels.size() / 2));
        for (size_t i = 0; i < g.texels.size() / 2; ++i) {
            mesh->texelL[i][0] = g.texels[2 * i];
            mesh->texelL[i][1] = g.texels[2 * i + 1];
        }
    }
    if (g.faceCount()) {
        lib3ds_mesh_new_face_list(mesh, Lib3dsDword(g.faceCount()));
        for (size_t f = 0; f < g.faceCount(); ++f) {
            Lib3dsFace &face = mesh->faceL[f];
            for (int i = 0; i < 3; ++i) face.points[i] = g.faces[3 * f + i];
            face.flags = LIB3DS_FACE_FLAG_VIS_AB | LIB3DS_FACE_FLAG_VIS_BC | LIB3DS_FACE_FLAG_VIS_AC;
            face.smoothing = f < g.smoothing.size() ? g.smoothing[f] : 0;
            copyName(face.material, sizeof face.material, material);
        }
    }
    lib3ds_file_insert_mesh(file, mesh);
    return mesh;
}

Lib3dsNode *scenegen_AddObjectNode(Lib3dsFile *file, const char *name, Lib3dsNode *parent, SgVec pivot, SgVec position) {
    Lib3dsNode *node = newNode(file, lib3ds_node_new_object(), name, parent);
    setVector(node->data.object.pivot, pivot);
    scenegen_AddPositionKey(node, 0, position);
    return node;
}

void scenegen_AddPositionKey(Lib3dsNode *node, int frame, SgVec position) {
    addLin3Key(&node->data.object.pos_track, frame, position);
}

void scenegen_AddRotationKey(Lib3dsNode *node, int frame, SgVec axis, float angle) {
    Lib3dsQuatKey *key = lib3ds_quat_key_new();
    key->tcb.frame = frame;
    setVector(key->axis, axis);
    key->angle = angle;
    lib3ds_quat_track_insert(&node->data.object.rot_track, key);
}

void scenegen_AddScaleKey(Lib3dsNode *node, int frame, SgVec scale) {
    addLin3Key(&node->data.object.scl_track, frame, scale);
}

void scenegen_AddCamera(Lib3dsFile *file, const char *name, SgVec position, SgVec target, float fov, float roll) {
    Lib3dsCamera *camera = lib3ds_camera_new(name);
    setVector(camera->position, position);
    setVector(camera->target, target);
    camera->fov = fov;
    camera->roll = roll;
    camera->near_range = 1.0f;
    camera->far_range = 1024.0f;
    lib3ds_file_insert_camera(file, camera);
    Lib3dsNode *node = newNode(file, lib3ds_node_new_camera(), name, nullptr);
    addLin3Key(&node->data.camera.pos_track, 0, position);
    addLin1Key(&node->data.camera.fov_track, 0, fov);
    addLin1Key(&node->data.camera.roll_track, 0, roll);
    Lib3dsNode *aim = newNode(file, lib3ds_node_new_target(), name, nullptr);
    addLin3Key(&aim->data.target.pos_track, 0, target);
}

void scenegen_AddCameraKey(Lib3dsFile *file, const char *name, int frame, SgVec position, SgVec target) {
    if (Lib3dsNode *node = lib3ds_file_node_by_name(file, name, LIB3DS_CAMERA_NODE))
        addLin3Key(&node->data.camera.pos_track, frame, position);
    if (Lib3dsNode *aim = lib3ds_file_node_by_name(file, name, LIB3DS_TARGET_NODE))
        addLin3Key(&aim->data.target.pos_track, frame, target);
}

void scenegen_AddPointLight(Lib3dsFile *file, const char *name, SgVec position) {
    Lib3dsLight *light = lib3ds_light_new(name);
    setVector(light->position, position);
    light->color[0] = light->color[1] = light->color[2] = 1.0f;
    light->multiplier = 1.0f;
    lib3ds_file_insert_light(file, light);
}

void scenegen_AddSpotLight(Lib3dsFile *file, const char *name, SgVec position, SgVec target) {
    Lib3dsLight *light = lib3ds_light_new(name);
    setVector(light->position, position);
    setVector(light->spot, target);
    light->spot_light = LIB3DS_TRUE;
    light->color[0] = light->color[1] = light->color[2] = 1.0f;
    light->multiplier = 1.0f;
    light->hot_spot = 30.0f;
    light->fall_off = 45.0f;
    lib3ds_file_insert_light(file, light);
}

void scenegen_SetupTracks(Lib3dsFile *file) { setupNode(file->nodes); }

bool scenegen_Save(Lib3dsFile *file, const char *path) {
    scenegen_SetupTracks(file);
    return lib3ds_file_save(file, path);
}

bool scenegen_WriteUser(const SgUserScene &options, const char *path) {
    // Each side: its normal n and the axes u, v across it (u x v = n), so corners
    // (-u,-v), (+u,-v), (+u,+v), (-u,+v) run counter-clockwise seen from outside.
    const SgVec sides[6][3] = {{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
                               {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}},
                               {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {0, 0, -1}, {1, 0, 0}}};
    const float half = 10.0f, corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    SgGeometry g;
    for (int s = 0; s < (options.cube ? 6 : 1); ++s) {
        const SgVec &n = sides[s][0], &u = sides[s][1], &v = sides[s][2];
        const uint16_t first = uint16_t(g.points.size());
        for (const auto &c : corners) {
            g.points.push_back({half * (n.x + c[0] * u.x + c[1] * v.x), half * (n.y + c[0] * u.y + c[1] * v.y),
                                half * (n.z + c[0] * u.z + c[1] * v.z)});
            g.texels.insert(g.texels.end(), {(c[0] + 1) / 2, (c[1] + 1) / 2});
        }
        if (!options.cube) // the quad lies in the plane z = 0
            for (size_t i = g.points.size() - 4; i < g.points.size(); ++i) g.points[i].z = 0.0f;
        g.faces.insert(g.faces.end(), {first, uint16_t(first + 1), uint16_t(first + 2), first, uint16_t(first + 2),
                                       uint16_t(first + 3)});
    }
    g.smoothing.assign(g.faceCount(), 0);
    const char *name = options.cube ? "cube" : "quad";
    Lib3dsFile *file = scenegen_NewFile(options.frames);
    SgMaterial material;
    material.diffuse[0] = material.diffuse[1] = material.diffuse[2] = 1.0f;
    material.specular[0] = material.specular[1] = material.specular[2] = 0.3f;
    material.shininess = 0.3f;
    material.texture = options.map;
    scenegen_AddMaterial(file, material);
    scenegen_AddMesh(file, name, g, material.name);
    scenegen_AddObjectNode(file, name, nullptr, {0, 0, 0}, {0, 0, 0});
    scenegen_AddCamera(file, options.camera, {30, -40, 25}, {0, 0, 0}, 45.0f);
    scenegen_AddPointLight(file, options.light, {20, -20, 40});
    bool saved = scenegen_Save(file, path);
    lib3ds_file_free(file);
    return saved;
}

SgGeometry scenegen_Triangle(SgVec a, SgVec b, SgVec c) {
    SgGeometry g;
    g.points = {a, b, c};
    g.texels = {0.0f, 0.0f, 1.0f, 0.0f, 0.5f, 1.0f};
    g.faces = {0, 1, 2};
    g.smoothing = {0};
    return g;
}

SgGeometry scenegen_Torus(float major, float minor, int segments, int sides, bool texels) {
    SgGeometry g = tube([major](float t) { return SgVec{major * std::cos(2 * PI * t), major * std::sin(2 * PI * t), 0.0f}; },
                        segments, sides, minor);
    if (!texels) g.texels.clear();
    return g;
}

SgGeometry scenegen_TorusKnot(int p, int q, float radius, float tube_, int segments, int sides) {
    auto curve = [=](float t) {
        float a = 2 * PI * t;
        float r = radius * (2.0f + std::cos(float(q) * a)) / 3.0f;
        return SgVec{r * std::cos(float(p) * a), r * std::sin(float(p) * a), -radius * std::sin(float(q) * a) / 3.0f};
    };
    return tube(curve, segments, sides, tube_);
}

SgGeometry scenegen_Sphere(float radius, int segments, int rings, bool texels) {
    SgGeometry g;
    for (int j = 0; j <= rings; ++j) {
        float lat = PI * (float(j) / float(rings) - 0.5f);
        for (int i = 0; i <= segments; ++i) {
            float lon = 2 * PI * float(i) / float(segments);
            g.points.push_back({radius * std::cos(lat) * std::cos(lon), radius * std::cos(lat) * std::sin(lon), radius * std::sin(lat)});
            if (texels) {
                g.texels.push_back(float(i) / float(segments));
                g.texels.push_back(float(j) / float(rings));
            }
        }
    }
    auto index = [&](int i, int j) { return uint16_t(j * (segments + 1) + i); };
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < segments; ++i) {
            uint16_t a = index(i, j), b = index(i + 1, j), c = index(i + 1, j + 1), d = index(i, j + 1);
            // The pole rows would give triangles without area; they are left out.
            if (j > 0) g.faces.insert(g.faces.end(), {a, b, c});
            if (j < rings - 1) g.faces.insert(g.faces.end(), {a, c, d});
        }
    g.smoothing.assign(g.faceCount(), 1);
    return g;
}

bool scenegen_WriteShow(const char *path) {
    constexpr int FRAMES = 1800; // 60 s at 30 frames a second
    Lib3dsFile *file = scenegen_NewFile(FRAMES);
    // Every material names a texture map: a mesh without one draws with whatever texture the
    // frame left bound (the glow's, for the first mesh drawn). Plain ones take the white picture.
    addShowMaterial(file, "floor", {0.3f, 0.3f, 0.38f}, 0.5f, 0.5f, "checker.tga", "");
    addShowMaterial(file, "chrome", {0.35f, 0.40f, 0.55f}, 1.0f, 0.8f, "white.tga", "envmap.tga");
    addShowMaterial(file, "gold", {0.75f, 0.55f, 0.20f}, 0.9f, 0.6f, "white.tga", "envmap.tga");
    addShowMaterial(file, "plasma", {1.0f, 1.0f, 1.0f}, 0.6f, 0.5f, "plasma.tga", "envmap.tga");
    addShowMaterial(file, "glass", {0.30f, 0.45f, 0.60f}, 1.0f, 0.9f, "white.tga", "envmap.tga", 0.5f);

    scenegen_AddMesh(file, "stage", showPlatform(25.0f, 10, 96, 1.0f), "floor");
    scenegen_AddMesh(file, "stagerim", scenegen_Torus(25.0f, 0.6f, 128, 10, false), "gold");
    scenegen_AddMesh(file, "knot", scenegen_TorusKnot(2, 3, 5.0f, 1.1f, 256, 16), "chrome");
    scenegen_AddMesh(file, "ring", scenegen_Torus(13.0f, 0.35f, 96, 10, false), "gold");
    scenegen_AddMesh(file, "orb", scenegen_Sphere(1.6f, 32, 16, true), "plasma");
    scenegen_AddMesh(file, "glass", scenegen_Sphere(2.4f, 32, 16, false), "glass");

    scenegen_AddObjectNode(file, "stage", nullptr, {0, 0, 0}, {0, 0, 0});
    scenegen_AddObjectNode(file, "stagerim", nullptr, {0, 0, 0}, {0, 0, 0});
    Lib3dsNode *knot = scenegen_AddObjectNode(file, "knot", nullptr, {0, 0, 0}, {0, 0, 8});
    spin(knot, FRAMES, 360, 30, {0.0f, 0.0f, 1.0f});
    // Three tilted rings that turn about the vertical at different speeds.
    for (int r = 0; r < 3; ++r) {
        Lib3dsNode *ring = scenegen_AddObjectNode(file, "ring", nullptr, {0, 0, 0}, {0, 0, 8});
        scenegen_AddRotationKey(ring, 0, {1.0f, 0.0f, 0.0f}, 0.35f + 0.45f * float(r));
        spin(ring, FRAMES, 300 + 150 * r, 30, {0.0f, 0.0f, r % 2 ? -1.0f : 1.0f});
    }
    // A hub that turns and carries four orbs and a glass sphere around the knot.
    Lib3dsNode *hub = scenegen_AddObjectNode(file, "$$$DUMMY", nullptr, {0, 0, 0}, {0, 0, 8});
    spin(hub, FRAMES, 600, 50, {0.0f, 0.0f, 1.0f});
    for (int k = 0; k < 4; ++k) {
        float a = PI * 0.5f * float(k);
        SgVec at{18.0f * std::cos(a), 18.0f * std::sin(a), 0.0f};
        Lib3dsNode *orb = scenegen_AddObjectNode(file, "orb", hub, {0, 0, 0}, at);
        for (int f = 75; f <= FRAMES; f += 75) scenegen_AddPositionKey(orb, f, {at.x, at.y, 3.0f * std::sin(float(f) / 75.0f + a)});
        spin(orb, FRAMES, 120, 30, {0.3f, 0.0f, 1.0f});
    }
    scenegen_AddObjectNode(file, "glass", hub, {0, 0, 0}, {0, 0, 9});

    // The camera circles the centre, rising and falling; the target bobs around the knot.
    scenegen_AddCamera(file, "Camera01", {42, -10, 14}, {0, 0, 7}, 50.0f);
    for (int f = 0; f <= FRAMES; f += 90) {
        float a = 2 * PI * float(f) / float(FRAMES) - 0.25f;
        float radius = 34.0f + 9.0f * std::sin(3.0f * a);
        scenegen_AddCameraKey(file, "Camera01", f, {radius * std::cos(a), radius * std::sin(a), 12.0f + 8.0f * std::sin(2.0f * a)},
                              {0, 0, 7.0f + 2.0f * std::sin(a)});
    }
    scenegen_AddCamera(file, "Camera02", {0.5f, -6.0f, 60.0f}, {0, 0, 0}, 60.0f);
    scenegen_AddPointLight(file, "Light01", {30, -30, 40});
    scenegen_AddPointLight(file, "Light02", {-35, 25, 18});
    scenegen_AddSpotLight(file, "Spot01", {0, 0, 45}, {0, 0, 0});
    bool ok = scenegen_Save(file, path);
    lib3ds_file_free(file);
    return ok;
}

bool scenegen_WriteBench(int faces, const char *path) {
    constexpr int FACES_PER_MESH = 20000;
    const int meshes = faces <= FACES_PER_MESH ? 1 : (faces + FACES_PER_MESH - 1) / FACES_PER_MESH;
    const int side = int(std::lround(std::sqrt(double(faces) / meshes / 2.0)));
    Lib3dsFile *file = scenegen_NewFile(100);
    addShowMaterial(file, "chrome", {0.35f, 0.40f, 0.55f}, 1.0f, 0.8f, "", "envmap.tga");
    const int columns = int(std::ceil(std::sqrt(double(meshes))));
    for (int m = 0; m < meshes; ++m) {
        char name[16];
        snprintf(name, sizeof name, "torus%03d", m);
        scenegen_AddMesh(file, name, scenegen_Torus(4.0f, 1.5f, side < 3 ? 3 : side, side < 3 ? 3 : side, true), "chrome");
        float x = (float(m % columns) - 0.5f * float(columns - 1)) * 12.0f;
        float y = (float(m / columns) - 0.5f * float(columns - 1)) * 12.0f;
        Lib3dsNode *node = scenegen_AddObjectNode(file, name, nullptr, {0, 0, 0}, {x, y, 0});
        spin(node, 100, 100, 25, {0.0f, 1.0f, 1.0f});
    }
    const float reach = 12.0f * float(columns) + 10.0f;
    scenegen_AddCamera(file, "Camera01", {0.0f, -reach, reach * 0.8f}, {0, 0, 0}, 50.0f);
    scenegen_AddPointLight(file, "Light01", {reach, -reach, reach});
    bool ok = scenegen_Save(file, path);
    lib3ds_file_free(file);
    return ok;
}

bool scenegen_WriteSeeds(const char *dir) {
    char path[1024];
    bool ok = true;
    // Every feature once, small: materials with maps, transparency, hierarchy, pivots, all tracks.
    Lib3dsFile *file = scenegen_NewFile(40);
    addShowMaterial(file, "shiny", {0.8f, 0.2f, 0.1f}, 1.0f, 0.7f, "tile.tga", "env.tga");
    addShowMaterial(file, "clear", {0.2f, 0.4f, 0.9f}, 0.5f, 0.2f, "", "", 0.5f);
    scenegen_AddMesh(file, "ball", scenegen_Sphere(1.0f, 6, 4, true), "shiny");
    scenegen_AddMesh(file, "ring", scenegen_Torus(2.0f, 0.4f, 6, 4, false), "clear");
    scenegen_AddMesh(file, "tri", scenegen_Triangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), "");
    Lib3dsNode *ball = scenegen_AddObjectNode(file, "ball", nullptr, {0.5f, 0, 0}, {0, 0, 0});
    scenegen_AddPositionKey(ball, 20, {0, 0, 3});
    scenegen_AddRotationKey(ball, 40, {0, 0, 1}, 1.5f);
    scenegen_AddScaleKey(ball, 40, {2, 2, 2});
    Lib3dsNode *ring = scenegen_AddObjectNode(file, "ring", ball, {0, 0, 0}, {3, 0, 0});
    scenegen_AddObjectNode(file, "tri", ring, {0, 0, 0}, {0, 1, 0});
    scenegen_AddObjectNode(file, "$$$DUMMY", nullptr, {0, 0, 0}, {0, 0, 0});
    scenegen_AddCamera(file, "Camera01", {0, -10, 2}, {0, 0, 0}, 45.0f, 0.1f);
    scenegen_AddCameraKey(file, "Camera01", 40, {10, -10, 5}, {0, 0, 1});
    scenegen_AddPointLight(file, "Light01", {5, -5, 5});
    scenegen_AddSpotLight(file, "Spot01", {0, 0, 10}, {0, 0, 0});
    snprintf(path, sizeof path, "%s/seed-features.3ds", dir);
    ok &= scenegen_Save(file, path);
    lib3ds_file_free(file);
    snprintf(path, sizeof path, "%s/seed-bench.3ds", dir);
    ok &= scenegen_WriteBench(200, path);
    return ok;
}
