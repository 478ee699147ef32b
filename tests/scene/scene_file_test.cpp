// The 3DS check and reading from memory, without a window: generated scenes read back whole,
// every class of damage lib3ds cannot survive is refused with its reason, and damaged copies
// of a real scene never get past the check into trouble.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include <lib3ds/camera.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/node.h>

#include "scene/scene_file.h"
#include "tests/scene/chunk_builder.h"
#include "tests/support/temp_dir.h"
#include "tools/scenegen/scenegen.h"

namespace {

Bytes goodTriangle() { return triMesh("tri", {points({0, 0, 0, 1, 0, 0, 0, 0, 1}), chunk(LIB3DS_FACE_ARRAY, {u16(1), face(0, 1, 2)})}); }

// Checks bytes; returns the reason ("" when accepted).
std::string reasonFor(const Bytes &bytes) {
    char why[SCENE_WHY_SIZE] = "untouched";
    bool ok = scene_Validate3ds(bytes.data(), bytes.size(), why, sizeof why);
    if (ok) return "";
    // The reading entry point refuses exactly what the check refuses.
    char again[SCENE_WHY_SIZE];
    EXPECT_EQ(scene_Read3ds(bytes.data(), bytes.size(), again, sizeof again), nullptr);
    return why;
}

Bytes fileBytes(const std::string &path) {
    size_t size = 0;
    uint8_t *block = scene_ReadWholeFile(path.c_str(), &size);
    Bytes bytes(block, block + size);
    free(block);
    return bytes;
}

// Everything the engine does with a file on the CPU side: evaluation, mesh checks, normals.
void exercise(Lib3dsFile *file) {
    for (float t : {0.0f, 0.5f * float(file->frames), float(file->frames)}) lib3ds_file_eval(file, t);
    for (Lib3dsMesh *mesh = file->meshes; mesh; mesh = mesh->next) {
        if (!scene_CheckMesh(mesh, nullptr, 0) || mesh->faces == 0) continue;
        std::vector<Lib3dsVector> normals(3 * mesh->faces);
        lib3ds_mesh_calculate_normals(mesh, normals.data());
    }
}

TEST(SceneFile, GeneratedScenesReadBackWhole) {
    std::string dir = testfs_MakeTempDir("scenefile");
    Lib3dsFile *made = scenegen_NewFile(100);
    SgMaterial red;
    red.name = "red";
    red.diffuse[0] = 1, red.diffuse[1] = 0, red.diffuse[2] = 0;
    red.shininess = 0.5f;
    red.transparency = 0.25f;
    red.texture = "Rock.TGA";
    red.reflection = "env.tga";
    scenegen_AddMaterial(made, red);
    scenegen_AddMesh(made, "body", scenegen_Sphere(1, 12, 6, true), "red");
    scenegen_AddMesh(made, "arm", scenegen_Torus(2, 0.5f, 12, 6, false), "");
    Lib3dsNode *body = scenegen_AddObjectNode(made, "body", nullptr, {0, 0, 0}, {1, 2, 3});
    Lib3dsNode *arm = scenegen_AddObjectNode(made, "arm", body, {0.5f, 0, 0}, {4, 0, 0});
    scenegen_AddPositionKey(arm, 50, {4, 0, 5});
    scenegen_AddRotationKey(body, 0, {0, 0, 1}, 0.0f);
    scenegen_AddRotationKey(body, 100, {0, 0, 1}, 1.0f);
    scenegen_AddCamera(made, "Camera01", {0, -10, 0}, {0, 0, 0}, 45);
    scenegen_AddPointLight(made, "Light01", {1, 2, 3});
    scenegen_AddSpotLight(made, "Spot01", {0, 0, 9}, {0, 0, 0});
    ASSERT_TRUE(scenegen_Save(made, (dir + "/made.3ds").c_str()));
    lib3ds_file_free(made);

    Bytes bytes = fileBytes(dir + "/made.3ds");
    char why[SCENE_WHY_SIZE];
    Lib3dsFile *file = scene_Read3ds(bytes.data(), bytes.size(), why, sizeof why);
    ASSERT_NE(file, nullptr) << why;
    EXPECT_EQ(file->frames, 100);
    Lib3dsMesh *mesh = lib3ds_file_mesh_by_name(file, "body");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->texels, mesh->points);
    EXPECT_STREQ(mesh->faceL[0].material, "red");
    Lib3dsMaterial *material = lib3ds_file_material_by_name(file, "red");
    ASSERT_NE(material, nullptr);
    EXPECT_STREQ(material->texture1_map.name, "Rock.TGA");
    EXPECT_STREQ(material->reflection_map.name, "env.tga");
    EXPECT_FLOAT_EQ(material->shininess, 0.5f);
    EXPECT_GT(material->transparency, 0.0f);
    ASSERT_NE(file->cameras, nullptr);
    EXPECT_STREQ(file->cameras->name, "Camera01");
    int spots = 0, lights = 0;
    for (Lib3dsLight *l = file->lights; l; l = l->next, ++lights) spots += l->spot_light ? 1 : 0;
    EXPECT_EQ(lights, 2);
    EXPECT_EQ(spots, 1);
    // The child hangs under its parent, and evaluation carries the parent's placement.
    Lib3dsNode *readBody = lib3ds_file_node_by_name(file, "body", LIB3DS_OBJECT_NODE);
    ASSERT_NE(readBody, nullptr);
    ASSERT_NE(readBody->childs, nullptr);
    EXPECT_STREQ(readBody->childs->name, "arm");
    EXPECT_FLOAT_EQ(readBody->childs->data.object.pivot[0], 0.5f);
    lib3ds_file_eval(file, 0.0f);
    EXPECT_NEAR(readBody->childs->matrix[3][0], 5.0f, 1e-4);
    EXPECT_NEAR(readBody->childs->matrix[3][1], 2.0f, 1e-4);
    lib3ds_file_eval(file, 50.0f);
    EXPECT_NEAR(readBody->childs->data.object.pos[2], 5.0f, 1e-4);
    exercise(file);
    lib3ds_file_free(file);

    for (const char *kind : {"show", "bench"}) {
        std::string path = dir + "/" + kind + ".3ds";
        ASSERT_TRUE(std::string(kind) == "show" ? scenegen_WriteShow(path.c_str()) : scenegen_WriteBench(10000, path.c_str()));
        Bytes scene = fileBytes(path);
        Lib3dsFile *read = scene_Read3ds(scene.data(), scene.size(), why, sizeof why);
        ASSERT_NE(read, nullptr) << kind << ": " << why;
        int faces = 0;
        for (Lib3dsMesh *m = read->meshes; m; m = m->next) {
            EXPECT_TRUE(scene_CheckMesh(m, why, sizeof why)) << m->name << ": " << why;
            faces += int(m->faces);
        }
        if (std::string(kind) == "bench") {
            EXPECT_NEAR(faces, 10000, 200);
        }
        lib3ds_file_free(read);
    }
}

TEST(SceneFile, EveryKindOfDamageIsRefusedWithItsReason) {
    EXPECT_EQ(reasonFor(file3ds({goodTriangle()})), "");
    const Bytes tri = goodTriangle();
    struct Case {
        const char *name;
        Bytes bytes;
        const char *reason;
    };
    const Bytes pointsOk = points({0, 0, 0, 1, 0, 0, 0, 0, 1});
    const Bytes faces1 = chunk(LIB3DS_FACE_ARRAY, {u16(1), face(0, 1, 2)});
    std::vector<Case> cases = {
        {"empty", {}, "too short"},
        {"not 3DS", cat({u16(0x1234), u32(6)}), "not a 3DS file"},
        {"file chunk beyond the file", chunk(LIB3DS_M3DMAGIC, {}, 1000), "file chunk"},
        {"zero-size sub-chunk", chunk(LIB3DS_M3DMAGIC, {chunk(LIB3DS_MDATA, {chunk(0x1234, {}, 0)})}), "smaller than its header"},
        {"sub-chunk past its parent", chunk(LIB3DS_M3DMAGIC, {chunk(LIB3DS_MDATA, {chunk(0x1234, {u32(0)}, 200)})}), "runs past its parent"},
        {"half a header", chunk(LIB3DS_M3DMAGIC, {chunk(LIB3DS_MDATA, {u16(0x1234)})}), "header runs past"},
        {"point count beyond its chunk", file3ds({triMesh("t", {chunk(LIB3DS_POINT_ARRAY, {u16(500), f32(0)}), faces1})}), "point list count"},
        {"face count beyond its chunk", file3ds({triMesh("t", {pointsOk, chunk(LIB3DS_FACE_ARRAY, {u16(40), face(0, 1, 2)})})}), "face count"},
        {"face index past the points", file3ds({triMesh("t", {pointsOk, chunk(LIB3DS_FACE_ARRAY, {u16(1), face(0, 1, 3)})})}), "uses point 3 of 3"},
        {"faces without points", file3ds({triMesh("t", {faces1})}), "uses point 0 of 0"},
        {"material group past the faces",
         file3ds({triMesh("t", {pointsOk, chunk(LIB3DS_FACE_ARRAY, {u16(1), face(0, 1, 2), chunk(LIB3DS_MSH_MAT_GROUP, {str("m"), u16(1), u16(9)})})})}),
         "material group face 9"},
        {"material group count beyond its chunk",
         file3ds({triMesh("t", {pointsOk, chunk(LIB3DS_FACE_ARRAY, {u16(1), face(0, 1, 2), chunk(LIB3DS_MSH_MAT_GROUP, {str("m"), u16(300), u16(0)})})})}),
         "material group count"},
        {"texels short of the points", file3ds({triMesh("t", {pointsOk, chunk(LIB3DS_TEX_VERTS, {u16(1), f32(0), f32(0)}), faces1})}), "1 texels for 3 points"},
        {"second point list", file3ds({triMesh("t", {pointsOk, pointsOk, faces1})}), "second point list"},
        {"smoothing list short",
         file3ds({triMesh("t", {pointsOk, chunk(LIB3DS_FACE_ARRAY, {u16(1), face(0, 1, 2), chunk(LIB3DS_SMOOTH_GROUP, {u16(1)})})})}),
         "smoothing list"},
        {"name without its zero", file3ds({chunk(LIB3DS_NAMED_OBJECT, {Bytes(10, 'a')})}), "terminating zero"},
        {"name too long", file3ds({chunk(LIB3DS_NAMED_OBJECT, {str(std::string(64, 'a'))})}), "longer than 63"},
        {"absurd key count", file3ds({tri}, {objectNode(0, "tri", 0xFFFF, {track(LIB3DS_POS_TRACK_TAG, 0x7FFFFFFF, {key(0, {1, 2, 3})})})}), "key count"},
        {"key past its track", file3ds({tri}, {objectNode(0, "tri", 0xFFFF, {track(LIB3DS_POS_TRACK_TAG, 2, {key(0, {1, 2, 3}), key(5, {1})})})}), "runs past its track"},
        {"key frame far out", file3ds({tri}, {objectNode(0, "tri", 0xFFFF, {track(LIB3DS_POS_TRACK_TAG, 1, {key(1 << 30, {1, 2, 3})})})}), "key frame"},
        {"two morph tracks",
         file3ds({tri}, {objectNode(0, "tri", 0xFFFF, {track(LIB3DS_MORPH_TRACK_TAG, 0, {}), track(LIB3DS_MORPH_TRACK_TAG, 0, {})})}),
         "given twice"},
        {"node parent cycle", file3ds({tri}, {objectNode(0, "a", 1), objectNode(1, "b", 0)}), "parent cycle"},
        {"node its own parent", file3ds({tri}, {objectNode(3, "a", 3)}), "parent cycle"},
        {"node without a header is its own parent", file3ds({tri}, {chunk(LIB3DS_OBJECT_NODE_TAG, {chunk(LIB3DS_NODE_ID, {u16(0)})})}), "parent cycle"},
        {"node ids given twice", file3ds({tri}, {objectNode(4, "a", 0xFFFF), objectNode(4, "b", 0xFFFF)}), "given twice"},
        {"gradient of four colours",
         file3ds({chunk(LIB3DS_V_GRADIENT, {f32(0.5f), chunk(LIB3DS_COLOR_F, {f32(0), f32(0), f32(0)}), chunk(LIB3DS_COLOR_F, {f32(0), f32(0), f32(0)}),
                                            chunk(LIB3DS_COLOR_F, {f32(0), f32(0), f32(0)}), chunk(LIB3DS_COLOR_F, {f32(0), f32(0), f32(0)})})}),
         "more than three colours"},
        {"negative frame count", chunk(LIB3DS_M3DMAGIC, {chunk(LIB3DS_KFDATA, {chunk(LIB3DS_KFHDR, {u16(5), str("T"), u32(uint32_t(-5))})})}), "frame count"},
    };
    // A node chain one deeper than lib3ds's walks are allowed.
    Bytes chain;
    for (unsigned i = 0; i <= unsigned(SCENE_MAX_NODE_DEPTH) + 1; ++i) {
        Bytes n = objectNode(i, "n", i == 0 ? 0xFFFF : i - 1);
        chain.insert(chain.end(), n.begin(), n.end());
    }
    cases.push_back({"node chain too deep", file3ds({tri}, {chain}), "more than 64 ancestors"});
    // One point shared by more smoothed faces than lib3ds's table of normals holds.
    Bytes fan = u16(200), smooth;
    Bytes fanPoints = u16(202);
    for (int i = 0; i < 202; ++i) fanPoints = cat({fanPoints, f32(float(i)), f32(float(i * i % 7)), f32(0)});
    for (unsigned i = 0; i < 200; ++i) {
        fan = cat({fan, face(0, i + 1, i + 2)});
        smooth = cat({smooth, u32(1)});
    }
    cases.push_back({"point smoothed over 200 faces",
                     file3ds({triMesh("fan", {chunk(LIB3DS_POINT_ARRAY, {fanPoints}), chunk(LIB3DS_FACE_ARRAY, {fan, chunk(LIB3DS_SMOOTH_GROUP, {smooth})})})}),
                     "smoothed over more than 128"});
    for (const Case &c : cases) {
        std::string reason = reasonFor(c.bytes);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": got \"" << reason << "\"";
    }
    // The same fan flat-shaded is fine: lib3ds only gathers normals for smoothed faces.
    EXPECT_EQ(reasonFor(file3ds({triMesh("fan", {chunk(LIB3DS_POINT_ARRAY, {fanPoints}), chunk(LIB3DS_FACE_ARRAY, {fan})})})), "");
    // A zero chunk id ends lib3ds's walk of its parent: what follows is never read, so not judged.
    EXPECT_EQ(reasonFor(file3ds({goodTriangle(), chunk(0, {}, 0), u16(7)})), "");
}

TEST(SceneFile, CompileCheckRefusesBadMeshesBuiltInMemory) {
    Lib3dsMesh *mesh = lib3ds_mesh_new("m");
    char why[SCENE_WHY_SIZE];
    EXPECT_TRUE(scene_CheckMesh(mesh, why, sizeof why)); // empty mesh: an empty list
    lib3ds_mesh_new_face_list(mesh, 1);
    EXPECT_FALSE(scene_CheckMesh(mesh, why, sizeof why));
    EXPECT_STREQ(why, "1 faces without points");
    lib3ds_mesh_new_point_list(mesh, 3);
    mesh->faceL[0].points[2] = 3;
    EXPECT_FALSE(scene_CheckMesh(mesh, why, sizeof why));
    EXPECT_STREQ(why, "face 0 uses point 3 of 3");
    mesh->faceL[0].points[2] = 2;
    EXPECT_TRUE(scene_CheckMesh(mesh, why, sizeof why));
    lib3ds_mesh_new_texel_list(mesh, 2);
    EXPECT_FALSE(scene_CheckMesh(mesh, why, sizeof why));
    EXPECT_STREQ(why, "2 texels for 3 points");
    lib3ds_mesh_free(mesh);
}

// Truncations and random byte damage of a real scene: each copy is refused or read, evaluated
// and smoothed without a fault (the sanitizer build makes any stray access fatal).
TEST(SceneFile, DamagedCopiesOfARealSceneNeverGetThroughBroken) {
    std::string dir = testfs_MakeTempDir("scenedamage");
    Lib3dsFile *made = scenegen_NewFile(60);
    scenegen_AddMesh(made, "ball", scenegen_Sphere(1, 8, 4, true), "");
    Lib3dsNode *ball = scenegen_AddObjectNode(made, "ball", nullptr, {0, 0, 0}, {0, 0, 0});
    scenegen_AddPositionKey(ball, 30, {0, 0, 4});
    scenegen_AddRotationKey(ball, 60, {0, 0, 1}, 2);
    scenegen_AddObjectNode(made, "ball", ball, {0, 0, 0}, {2, 0, 0});
    scenegen_AddCamera(made, "Camera01", {0, -10, 0}, {0, 0, 0}, 45);
    ASSERT_TRUE(scenegen_Save(made, (dir + "/ball.3ds").c_str()));
    lib3ds_file_free(made);
    const Bytes original = fileBytes(dir + "/ball.3ds");
    ASSERT_GT(original.size(), 500u);

    int accepted = 0, refused = 0;
    auto attempt = [&](const Bytes &bytes) {
        Lib3dsFile *file = scene_Read3ds(bytes.data(), bytes.size(), nullptr, 0);
        if (!file) return void(++refused);
        ++accepted;
        exercise(file);
        lib3ds_file_free(file);
    };
    for (size_t length = 0; length < original.size(); length += 7) attempt(Bytes(original.begin(), original.begin() + long(length)));
    std::mt19937 random(1234);
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = original;
        int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) {
            size_t at = random() % bytes.size();
            bytes[at] = (round & 1) ? uint8_t(random()) : uint8_t(bytes[at] ^ (1u << (random() % 8)));
        }
        attempt(bytes);
    }
    EXPECT_GT(accepted, 100); // damage to float data is harmless and passes
    EXPECT_GT(refused, 100);
}

} // namespace
