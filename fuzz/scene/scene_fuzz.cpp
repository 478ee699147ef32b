// libFuzzer target: the 3DS check, lib3ds reading from memory, evaluation, the compile step's
// mesh checks and the smoothed normals. A file the check lets through must satisfy every later check
// too; if not, the check has a gap and the target aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <lib3ds/camera.h>
#include <lib3ds/material.h>
#include <lib3ds/node.h>

#include "scene/scene_file.h"

namespace {

int walk(Lib3dsFile *file, Lib3dsNode *node, int depth) {
    if (depth > SCENE_MAX_NODE_DEPTH + 1) abort(); // a cycle or a chain the check should have refused
    int nodes = 0;
    for (; node; node = node->next) {
        ++nodes;
        nodes += walk(file, node->childs, depth + 1);
        if (node->type != LIB3DS_OBJECT_NODE || strcmp(node->name, "$$$DUMMY") == 0) continue;
        Lib3dsMesh *mesh = lib3ds_file_mesh_by_name(file, node->name);
        if (!mesh) continue;
        if (!scene_CheckMesh(mesh, nullptr, 0)) abort();
        std::vector<Lib3dsVector> normals(3 * size_t(mesh->faces) + 1);
        scene_SmoothNormals(mesh, normals.data(), nullptr, 0);
        if (mesh->faces && mesh->faceL[0].material[0]) lib3ds_file_material_by_name(file, mesh->faceL[0].material);
    }
    return nodes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Lib3dsFile *file = scene_Read3ds(data, size, nullptr, 0);
    if (!file) return 0;
    if (walk(file, file->nodes, 0) > SCENE_MAX_NODES) abort();
    for (float t : {0.0f, 0.5f * float(file->frames), float(file->frames), 1e7f}) lib3ds_file_eval(file, t);
    for (Lib3dsMesh *mesh = file->meshes; mesh; mesh = mesh->next)
        if (!scene_CheckMesh(mesh, nullptr, 0)) abort();
    if (file->cameras) {
        lib3ds_file_node_by_name(file, file->cameras->name, LIB3DS_CAMERA_NODE);
        lib3ds_file_node_by_name(file, file->cameras->name, LIB3DS_TARGET_NODE);
    }
    lib3ds_file_free(file);
    return 0;
}
