// The 3DS check and reading from memory, without a window: generated scenes read back whole,
// and every class of damage lib3ds cannot survive is refused with its reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <lib3ds/chunk.h>
#include <lib3ds/node.h>

#include "scene/scene_file.h"
#include "state/engine_state.h"
#include "tests/support/temp_dir.h"
#include "tools/scenegen/scenegen.h"

namespace {

// Hand-made 3DS bytes: chunks nested as written, so a case can build a well-formed file and then
// break exactly one thing in it.
using Bytes = std::vector<uint8_t>;

Bytes u16(unsigned v) { return {uint8_t(v), uint8_t(v >> 8)}; }
Bytes u32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
Bytes floats(std::initializer_list<float> values) {
    Bytes b(4 * values.size());
    if (!b.empty()) memcpy(b.data(), values.begin(), b.size());
    return b;
}
Bytes str(const std::string &s) { return Bytes(s.c_str(), s.c_str() + s.size() + 1); }
Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
// A chunk whose size field is right, or sizeOverride when given.
Bytes chunk(uint16_t id, std::initializer_list<Bytes> body, int64_t sizeOverride = -1) {
    Bytes inner = cat(body);
    return cat({u16(id), u32(sizeOverride >= 0 ? uint32_t(sizeOverride) : uint32_t(inner.size() + 6)), inner});
}

Bytes points(std::initializer_list<float> xyz) { return chunk(LIB3DS_POINT_ARRAY, {u16(unsigned(xyz.size() / 3)), floats(xyz)}); }
Bytes face(unsigned a, unsigned b, unsigned c) { return cat({u16(a), u16(b), u16(c), u16(7)}); }
Bytes triMesh(const std::string &name, std::initializer_list<Bytes> meshChunks) {
    return chunk(LIB3DS_NAMED_OBJECT, {str(name), chunk(LIB3DS_N_TRI_OBJECT, meshChunks)});
}

// A track with the given key records (each built with key()).
Bytes track(uint16_t id, uint32_t count, std::initializer_list<Bytes> keys) {
    return chunk(id, {u16(0), u32(0), u32(0), u32(count), cat(keys)});
}
Bytes key(int32_t frame, std::initializer_list<float> values) { return cat({u32(uint32_t(frame)), u16(0), floats(values)}); }

Bytes objectNode(unsigned id, const std::string &name, unsigned parent, std::initializer_list<Bytes> more = {}) {
    return chunk(LIB3DS_OBJECT_NODE_TAG,
                 {chunk(LIB3DS_NODE_ID, {u16(id)}), chunk(LIB3DS_NODE_HDR, {str(name), u16(0), u16(0), u16(parent)}), cat(more)});
}

Bytes file3ds(std::initializer_list<Bytes> modelData, std::initializer_list<Bytes> keyframes = {}) {
    Bytes kf = cat(keyframes);
    if (kf.empty()) return chunk(LIB3DS_M3DMAGIC, {chunk(LIB3DS_MDATA, modelData)});
    return chunk(LIB3DS_M3DMAGIC,
                 {chunk(LIB3DS_MDATA, modelData), chunk(LIB3DS_KFDATA, {chunk(LIB3DS_KFHDR, {u16(5), str("T"), u32(100)}), kf})});
}

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
    Bytes bytes;
    EXPECT_TRUE(engine_ReadFile(path.c_str(), SCENE_MAX_FILE_BYTES, &bytes)) << path;
    return bytes;
}

// Everything the engine does with a file on the CPU side: evaluation, mesh checks, normals. The
// smoothed normals are lib3ds's, bit for bit, wherever its table of 128 per corner cannot overflow.
void exercise(Lib3dsFile *file) {
    for (float t : {0.0f, 0.5f * float(file->frames), float(file->frames)}) lib3ds_file_eval(file, t);
    for (Lib3dsMesh *mesh = file->meshes; mesh; mesh = mesh->next) {
        if (!scene_CheckMesh(mesh, nullptr, 0) || mesh->faces == 0) continue;
        std::vector<Lib3dsVector> ours(3 * mesh->faces), theirs(3 * mesh->faces);
        ASSERT_TRUE(scene_SmoothNormals(mesh, ours.data(), nullptr, 0));
        std::vector<int> corners(mesh->points);
        int most = 0;
        for (Lib3dsDword c = 0; c < 3 * mesh->faces; ++c) most = std::max(most, ++corners[mesh->faceL[c / 3].points[c % 3]]);
        if (most > 128) continue;
        lib3ds_mesh_calculate_normals(mesh, theirs.data());
        EXPECT_EQ(memcmp(ours.data(), theirs.data(), ours.size() * sizeof ours[0]), 0) << mesh->name;
    }
}

// A generated scene reads back whole from memory, and the show's and a benchmark scene pass every
// check (damaged copies are the fuzz target's).
TEST(SceneFile, GeneratedScenesReadBackWholeAndPassEveryCheck) {
    std::string dir = testfs_MakeTempDir("scenefile");
    Lib3dsFile *made = scenegen_NewFile(100);
    SgMaterial red;
    red.name = "red", red.shininess = 0.5f, red.transparency = 0.25f, red.texture = "Rock.TGA", red.reflection = "env.tga";
    scenegen_AddMaterial(made, red);
    scenegen_AddMesh(made, "body", scenegen_Sphere(1, 8, 4, true), "red");
    scenegen_AddMesh(made, "arm", scenegen_Torus(2, 0.5f, 6, 4, false), "");
    Lib3dsNode *body = scenegen_AddObjectNode(made, "body", nullptr, {0, 0, 0}, {1, 2, 3});
    Lib3dsNode *arm = scenegen_AddObjectNode(made, "arm", body, {0.5f, 0, 0}, {4, 0, 0});
    scenegen_AddPositionKey(arm, 50, {4, 0, 5});
    scenegen_AddRotationKey(body, 0, {0, 0, 1}, 0.0f);
    scenegen_AddRotationKey(body, 100, {0, 0, 1}, 1.0f);
    body->data.object.rot_track.flags |= LIB3DS_REPEAT;
    scenegen_AddCamera(made, "Camera01", {0, -10, 0}, {0, 0, 0}, 45);
    scenegen_AddPointLight(made, "Light01", {1, 2, 3});
    scenegen_AddSpotLight(made, "Spot01", {0, 0, 9}, {0, 0, 0});
    ASSERT_TRUE(scenegen_Save(made, (dir + "/made.3ds").c_str()));
    lib3ds_file_free(made);

    const Bytes original = fileBytes(dir + "/made.3ds");
    char why[SCENE_WHY_SIZE];
    Lib3dsFile *file = scene_Read3ds(original.data(), original.size(), why, sizeof why);
    ASSERT_NE(file, nullptr) << why;
    EXPECT_EQ(file->frames, 100);
    Lib3dsMesh *mesh = lib3ds_file_mesh_by_name(file, "body");
    EXPECT_TRUE(mesh && mesh->texels == mesh->points);
    Lib3dsNode *readBody = lib3ds_file_node_by_name(file, "body", LIB3DS_OBJECT_NODE);
    ASSERT_TRUE(readBody && readBody->childs); // the child hangs under its parent
    EXPECT_EQ(readBody->data.object.rot_track.flags & LIB3DS_REPEAT, 0u); // tracks play once
    exercise(file);
    lib3ds_file_free(file);

    ASSERT_TRUE(scenegen_WriteShow((dir + "/show.3ds").c_str()));
    ASSERT_TRUE(scenegen_WriteBench(10000, (dir + "/bench.3ds").c_str()));
    for (const char *kind : {"show", "bench"}) {
        Bytes scene = fileBytes(dir + "/" + kind + ".3ds");
        Lib3dsFile *read = scene_Read3ds(scene.data(), scene.size(), why, sizeof why);
        ASSERT_NE(read, nullptr) << kind << ": " << why;
        for (Lib3dsMesh *m = read->meshes; m; m = m->next) EXPECT_TRUE(scene_CheckMesh(m, why, sizeof why)) << m->name << ": " << why;
        lib3ds_file_free(read);
    }
    // A file the fuzzer made: looping tracks that lib3ds would have wrapped onto their last key.
    const Bytes looping = fileBytes(SCENE_TEST_DATA "/looping-track.3ds");
    Lib3dsFile *loops = scene_Read3ds(looping.data(), looping.size(), why, sizeof why);
    ASSERT_NE(loops, nullptr) << why;
    for (float t : {0.0f, float(loops->frames), 1e7f}) lib3ds_file_eval(loops, t);
    lib3ds_file_free(loops);
}

TEST(SceneFile, EveryKindOfDamageIsRefusedWithItsReason) {
    const Bytes pts = points({0, 0, 0, 1, 0, 0, 0, 0, 1}), faces1 = chunk(LIB3DS_FACE_ARRAY, {u16(1), face(0, 1, 2)});
    const Bytes tri = triMesh("tri", {pts, faces1}), black = chunk(LIB3DS_COLOR_F, {floats({0, 0, 0})});
    EXPECT_EQ(reasonFor(file3ds({tri})), "");
    auto withFaces = [&](const Bytes &sub) { return file3ds({triMesh("t", {pts, chunk(LIB3DS_FACE_ARRAY, {u16(1), face(0, 1, 2), sub})})}); };
    auto withNodes = [&](std::initializer_list<Bytes> nodes) { return file3ds({tri}, nodes); };
    auto posTrack = [&](uint32_t count, std::initializer_list<Bytes> keys) { return withNodes({objectNode(0, "tri", 0xFFFF, {track(LIB3DS_POS_TRACK_TAG, count, keys)})}); };
    // A node chain one deeper than lib3ds's walks are allowed.
    Bytes chain;
    for (unsigned i = 0; i <= unsigned(SCENE_MAX_NODE_DEPTH) + 1; ++i) chain = cat({chain, objectNode(i, "n", i == 0 ? 0xFFFF : i - 1)});
    const struct {
        const char *name;
        Bytes bytes;
        const char *reason;
    } cases[] = {
        {"empty", {}, "too short"},
        {"not 3DS", cat({u16(0x1234), u32(6)}), "not a 3DS file"},
        {"file chunk beyond the file", chunk(LIB3DS_M3DMAGIC, {}, 1000), "file chunk"},
        {"sub-chunk smaller than its header", chunk(LIB3DS_M3DMAGIC, {chunk(LIB3DS_MDATA, {chunk(0x1234, {}, 5)})}), "smaller than its header"},
        {"sub-chunk past its parent", chunk(LIB3DS_M3DMAGIC, {chunk(LIB3DS_MDATA, {chunk(0x1234, {u32(0)}, 200)})}), "runs past its parent"},
        {"half a header", chunk(LIB3DS_M3DMAGIC, {chunk(LIB3DS_MDATA, {u16(0x1234)})}), "header runs past"},
        {"point count one beyond its chunk", file3ds({triMesh("t", {chunk(LIB3DS_POINT_ARRAY, {u16(2), floats({0, 0, 0})}), faces1})}), "point list count"},
        {"face count beyond its chunk", file3ds({triMesh("t", {pts, chunk(LIB3DS_FACE_ARRAY, {u16(40), face(0, 1, 2)})})}), "face count"},
        {"face index past the points", file3ds({triMesh("t", {pts, chunk(LIB3DS_FACE_ARRAY, {u16(1), face(0, 1, 3)})})}), "uses point 3 of 3"},
        {"faces without points", file3ds({triMesh("t", {faces1})}), "uses point 0 of 0"},
        {"material group past the faces", withFaces(chunk(LIB3DS_MSH_MAT_GROUP, {str("m"), u16(1), u16(9)})), "material group face 9"},
        {"material group count beyond its chunk", withFaces(chunk(LIB3DS_MSH_MAT_GROUP, {str("m"), u16(300), u16(0)})), "material group count"},
        {"texels short of the points", file3ds({triMesh("t", {pts, chunk(LIB3DS_TEX_VERTS, {u16(1), floats({0, 0})}), faces1})}), "1 texels for 3 points"},
        {"second point list", file3ds({triMesh("t", {pts, pts, faces1})}), "second point list"},
        {"smoothing list short", withFaces(chunk(LIB3DS_SMOOTH_GROUP, {u16(1)})), "smoothing list"},
        {"name without its zero", file3ds({chunk(LIB3DS_NAMED_OBJECT, {Bytes(10, 'a')})}), "terminating zero"},
        {"name too long", file3ds({chunk(LIB3DS_NAMED_OBJECT, {str(std::string(64, 'a'))})}), "longer than 63"},
        {"absurd key count", posTrack(0x7FFFFFFF, {key(0, {1, 2, 3})}), "key count"},
        {"key past its track", posTrack(2, {key(0, {1, 2, 3}), key(5, {1})}), "runs past its track"},
        {"key frame far out", posTrack(1, {key(1 << 30, {1, 2, 3})}), "key frame 1073741824 out of range at offset 158"},
        {"key track header cut", withNodes({objectNode(0, "tri", 0xFFFF, {chunk(LIB3DS_POS_TRACK_TAG, {Bytes(13, 0)})})}), "key track shorter"},
        {"morph name too long", withNodes({objectNode(0, "tri", 0xFFFF, {track(LIB3DS_MORPH_TRACK_TAG, 1, {key(0, {}), str("abcdefghijk")})})}), "longer than 10"},
        {"node name too long", withNodes({objectNode(0, std::string(64, 'a'), 0xFFFF)}), "longer than 63"},
        {"instance name too long", withNodes({objectNode(0, "tri", 0xFFFF, {chunk(LIB3DS_INSTANCE_NAME, {str(std::string(64, 'i'))})})}), "longer than 63"},
        {"map name too long", file3ds({chunk(LIB3DS_MAT_ENTRY, {chunk(LIB3DS_MAT_TEXMAP, {chunk(LIB3DS_MAT_MAPNAME, {str(std::string(64, 'm'))})})})}), "longer than 63"},
        {"two morph tracks", withNodes({objectNode(0, "tri", 0xFFFF, {track(LIB3DS_MORPH_TRACK_TAG, 0, {}), track(LIB3DS_MORPH_TRACK_TAG, 0, {})})}), "given twice"},
        {"node parent cycle", withNodes({objectNode(0, "a", 1), objectNode(1, "b", 0)}), "parent cycle"},
        {"node its own parent", withNodes({objectNode(3, "a", 3)}), "parent cycle"},
        {"node without a header is its own parent", withNodes({chunk(LIB3DS_OBJECT_NODE_TAG, {chunk(LIB3DS_NODE_ID, {u16(0)})})}), "parent cycle"},
        {"node ids given twice", withNodes({objectNode(4, "a", 0xFFFF), objectNode(4, "b", 0xFFFF)}), "given twice"},
        {"node chain too deep", withNodes({chain}), "more than 64 ancestors"},
        {"gradient of four colours", file3ds({chunk(LIB3DS_V_GRADIENT, {floats({0.5f}), black, black, black, black})}), "more than three colours"},
        {"negative frame count", chunk(LIB3DS_M3DMAGIC, {chunk(LIB3DS_KFDATA, {chunk(LIB3DS_KFHDR, {u16(5), str("T"), u32(uint32_t(-5))})})}), "frame count"},
    };
    for (const auto &c : cases) {
        std::string reason = reasonFor(c.bytes);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": got \"" << reason << "\"";
    }
    // A zero chunk id ends lib3ds's walk of its parent: what follows is never read, so not judged.
    EXPECT_EQ(reasonFor(file3ds({tri, chunk(0, {}, 0), u16(7)})), "");
}

} // namespace
