// Scene slots: loading a 3DS file into a slot and compiling its meshes into display lists, the
// scene pass with camera, lights and replay, and the five scene commands.
#include "scene/scene.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include <GL/glu.h>
#include <lib3ds/camera.h>
#include <lib3ds/file.h>
#include <lib3ds/light.h>
#include <lib3ds/material.h>
#include <lib3ds/matrix.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>

#include "base/console.h"
#include "base/trace.h"
#include "state/loader.h"
#include "draw/gl_ext.h"
#include "draw/texture.h"
#include "scene/scene_file.h"
#include "script/text.h"

SceneState scene;

namespace {

constexpr const char *LOAD = "glLoadSceneSlot";
constexpr float NO_MATERIAL_AMBIENT[4] = {0.2f, 0.2f, 0.2f, 1.0f};
constexpr float NO_MATERIAL_DIFFUSE[4] = {0.8f, 0.8f, 0.8f, 1.0f};
constexpr float BLACK[4] = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr float WHITE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr float MAX_SHININESS = 128.0f;

void activeTexture(GLenum unit) {
    if (glext.activeTexture) glext.activeTexture(unit);
}

void setCamera(const char *name) {
    text_CopyBounded(scene.cameraName, name);
    scene.cameraSet = true;
}

void deleteLists(Lib3dsNode *node) {
    for (Lib3dsNode *child = node->childs; child; child = child->next) deleteLists(child);
    if (node->user.d) glDeleteLists(GLuint(node->user.d), 1);
    node->user.d = 0;
}

// A reloaded slot gives its file and lists back at once; cameraName is a copy of its own.
void freeSlot(int slot) {
    Lib3dsFile *file = scene.slots[slot];
    if (!file) return;
    if (scene.lists[slot])
        for (Lib3dsNode *node = file->nodes; node; node = node->next) deleteLists(node);
    lib3ds_file_free(file);
    for (GLuint list : scene.geometry[size_t(slot)]) glDeleteLists(list, 1);
    scene.geometry[size_t(slot)].clear();
    scene.owed[size_t(slot)] = false;
    scene.slots[slot] = nullptr;
    scene.lists[slot] = 0;
}

// The whole mesh takes the material its first face names.
Lib3dsMaterial *meshMaterial(Lib3dsFile *file, const Lib3dsMesh *mesh) {
    if (mesh->faces == 0 || mesh->faceL[0].material[0] == '\0') return nullptr;
    return lib3ds_file_material_by_name(file, mesh->faceL[0].material);
}

float shininessOf(const Lib3dsMaterial *material) {
    float s = float(std::pow(2.0, 10.0 * double(material->shininess)));
    if (!(MAX_SHININESS >= s)) s = MAX_SHININESS;
    return s;
}

// The file being loaded and its slot, for the messages of its compile step.
struct Compiling {
    const char *name = "";
    int slot = 0;
};
Compiling compiling;

// The texture slot a map names. A name no slot carries draws with slot 0's texture: said once
// per material and map, since the scene then shows the wrong picture.
GLuint mapTexture(Lib3dsMaterial *material, const char *map, const char *kind, unsigned long reported) {
    const int slot = scene_FindTextureSlot(map);
    const char *file = text_FileName(map);
    if (slot == 0 && strcasecmp(text_FileName(engine.textureSlots[0].name), file) != 0 &&
        !(material->user.d & reported)) {
        material->user.d |= reported;
        char detail[3 * SCRIPT_TEXT_SIZE];
        snprintf(detail, sizeof detail,
                 "%s map '%s' of material '%s' in scene %d (%s) names no texture slot: load '%s' with "
                 "\"@glloadtextureslot\" before the scene (slot 0's texture is used)",
                 kind, map, material->name, compiling.slot, compiling.name, file);
        trace_Error(LOAD, detail);
    }
    return GLuint(slot);
}

// Unit 0's texture and unit 1's reflection are switched off for a mesh without a map of its
// own: the list would otherwise draw with whatever texture is bound when it is called.
void noTexture(GLenum unit) {
    activeTexture(unit);
    glDisable(GL_TEXTURE_2D);
}

void applyMaterial(Lib3dsMaterial *material) {
    if (!material) {
        glMaterialfv(GL_FRONT, GL_AMBIENT, NO_MATERIAL_AMBIENT);
        glMaterialfv(GL_FRONT, GL_DIFFUSE, NO_MATERIAL_DIFFUSE);
        glMaterialfv(GL_FRONT, GL_SPECULAR, BLACK);
        noTexture(GL_TEXTURE0_ARB);
        noTexture(GL_TEXTURE1_ARB);
        return;
    }
    glMaterialfv(GL_FRONT, GL_AMBIENT, BLACK);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, material->diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, material->specular);
    glMaterialf(GL_FRONT, GL_SHININESS, shininessOf(material));
    if (material->texture1_map.name[0]) {
        GLuint texture = mapTexture(material, material->texture1_map.name, "texture", 1);
        activeTexture(GL_TEXTURE0_ARB);
        glEnable(GL_TEXTURE_2D);
        texture_BindInList(int(texture));
    } else {
        noTexture(GL_TEXTURE0_ARB);
    }
    if (!material->reflection_map.name[0]) noTexture(GL_TEXTURE1_ARB);
    if (material->reflection_map.name[0]) {
        // Unit 1 generates sphere-map coordinates and adds its texel to unit 0's result.
        GLuint texture = mapTexture(material, material->reflection_map.name, "reflection", 2);
        activeTexture(GL_TEXTURE1_ARB);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glEnable(GL_TEXTURE_2D);
        texture_BindInList(int(texture));
    }
    // The value only chooses between opaque and blended.
    if (material->transparency > 0.0f) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_SRC_ALPHA);
        glDepthMask(GL_FALSE);
    }
}

// One glBegin for the whole mesh: the same triangles in the same order as a glBegin each, drawn
// the same, and compiled in a fraction of the time.
void emitFaces(const Lib3dsMesh *mesh, const Lib3dsVector *normals) {
    const bool texels = mesh->texels && glext.multiTexCoord2f;
    glBegin(GL_TRIANGLES);
    for (Lib3dsDword p = 0; p < mesh->faces; ++p) {
        for (int i = 0; i < 3; ++i) {
            Lib3dsWord k = mesh->faceL[p].points[i];
            glNormal3fv(normals[3 * p + i]);
            if (texels) glext.multiTexCoord2f(GL_TEXTURE0_ARB, mesh->texelL[k][0], mesh->texelL[k][1]);
            glVertex3fv(mesh->pointL[k].pos);
        }
    }
    glEnd();
}

void resetTextureState() {
    activeTexture(GL_TEXTURE0_ARB);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    activeTexture(GL_TEXTURE1_ARB);
    glDisable(GL_TEXTURE_2D);
}

// A mesh's triangles in a list of their own, which its node's list calls: made ahead on the
// loader thread or here, the lists are the same either way. 0 with a reason when the mesh is
// not to be compiled.
GLuint compileGeometry(Lib3dsMesh *mesh, char *why, size_t whySize) {
    if (!scene_CheckMesh(mesh, why, whySize)) return 0;
    auto *normals = static_cast<Lib3dsVector *>(malloc(sizeof(Lib3dsVector) * 3 * (mesh->faces ? mesh->faces : 1)));
    snprintf(why, whySize, "out of memory");
    GLuint list = normals && scene_SmoothNormals(mesh, normals, why, whySize) ? glGenLists(1) : 0;
    if (list) {
        glNewList(list, GL_COMPILE);
        emitFaces(mesh, normals);
        glEndList();
    }
    free(normals);
    return list;
}

// What the loader made of a scene file ahead of its line: the file read and checked, the nodes
// for meshes without one, the pose at frame 0, the default view and each mesh's triangles.
struct PreparedMesh {
    Lib3dsMesh *mesh = nullptr;
    GLuint geometry = 0; // 0: not compiled, for why
    char why[SCENE_WHY_SIZE] = "";
};
struct PreparedScene {
    Lib3dsFile *file = nullptr;
    std::vector<Lib3dsNode *> made;
    SceneView framing{};
    std::vector<PreparedMesh> meshes;
};
unsigned loads = 0;      // scenes loaded since the process started; never reset
PreparedScene *taking = nullptr; // the one the load in progress uses; null: on the spot

void keepGeometry(int slot, GLuint list) {
    if (list) scene.geometry[size_t(slot)].push_back(list);
}

// One mesh into one list: inverse mesh matrix, material, its triangles' list, state reset. A
// node made for a mesh without one (placed false) has no keys, so its points are drawn where
// they are stored.
void compileMesh(Lib3dsNode *node, Lib3dsMesh *mesh, Lib3dsFile *file, int slot, bool placed = true) {
    char why[SCENE_WHY_SIZE] = "";
    char detail[SCENE_WHY_SIZE + 96];
    GLuint geometry = 0;
    // A prepared mesh carries its place among the prepared ones (plus one) in its user word.
    const size_t index = taking ? size_t(mesh->user.d) : 0;
    const PreparedMesh *prepared = index > 0 && index <= taking->meshes.size() ? &taking->meshes[index - 1] : nullptr;
    if (prepared) {
        geometry = prepared->geometry;
        text_CopyBounded(why, prepared->why);
    } else {
        geometry = compileGeometry(mesh, why, sizeof why);
        keepGeometry(slot, geometry);
    }
    const GLuint list = geometry ? glGenLists(1) : 0;
    if (!list) {
        snprintf(detail, sizeof detail, "mesh '%s' not compiled: %s", mesh->name, why);
        trace_Error(LOAD, detail);
        return;
    }
    node->user.d = list;
    scene.lists[slot]++;
    glNewList(list, GL_COMPILE);
    if (placed) {
        Lib3dsMatrix inverse;
        lib3ds_matrix_copy(inverse, mesh->matrix);
        if (!lib3ds_matrix_inv(inverse)) lib3ds_matrix_identity(inverse); // a flat mesh matrix has none
        glMultMatrixf(&inverse[0][0]);
    }
    applyMaterial(meshMaterial(file, mesh));
    glCallList(geometry);
    resetTextureState();
    glEndList();
    trace_Printf("* \tglLoadSceneSlot msg : mesh '%s' compiled\n", mesh->name);
}

// One GL light per 3DS light while the GL has numbers for them; the rest are left out.
void setupLights(Lib3dsFile *file) {
    GLint available = 8;
    glGetIntegerv(GL_MAX_LIGHTS, &available);
    GLint number = 0;
    for (Lib3dsLight *light = file->lights; light && number < available; light = light->next, ++number) {
        GLenum id = GLenum(GL_LIGHT0 + number);
        glEnable(id);
        glLightfv(id, GL_AMBIENT, BLACK);
        glLightfv(id, GL_DIFFUSE, WHITE);
        glLightfv(id, GL_SPECULAR, WHITE);
        const float position[4] = {light->position[0], light->position[1], light->position[2], 1.0f};
        glLightfv(id, GL_POSITION, position);
        if (light->spot_light) {
            const float direction[3] = {light->spot[0] - light->position[0], light->spot[1] - light->position[1],
                                        light->spot[2] - light->position[2]};
            glLightfv(id, GL_SPOT_DIRECTION, direction);
        }
    }
}

// A scene without lights is lit as modellers light one: a white light at the eye, following
// the camera. Set while the model-view matrix is the identity.
void setupDefaultLight() {
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, BLACK);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, WHITE);
    glLightfv(GL_LIGHT0, GL_SPECULAR, WHITE);
    const float eye[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, eye);
    const float ahead[3] = {0.0f, 0.0f, -1.0f};
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, ahead);
}

// Overshoot past either end is dropped, not carried over. The evaluated pose is the one the next
// pass shows.
float nextReplayFrame(const Lib3dsFile *file, double frameDelta) {
    float frame = float(double(scene.replayFrame) + double(scene.replaySpeed) * frameDelta);
    if (!std::isfinite(frame)) frame = 0.0f; // lib3ds cannot evaluate it
    if (frame > float(file->frames)) frame = 0.0f;
    if (frame < 0.0f) frame = float(file->frames);
    return frame;
}

void advanceReplay(Lib3dsFile *file, double frameDelta) {
    scene.replayFrame = nextReplayFrame(file, frameDelta);
    lib3ds_file_eval(file, scene.replayFrame);
    if (engine.currentScene >= 0 && engine.currentScene < SCENE_SLOTS) scene.owed[size_t(engine.currentScene)] = false;
}

// The scene the pass shows and how it is looked at; null when there is nothing to show (no
// scene, an empty slot, or no such camera), and then nothing advances either.
Lib3dsFile *viewedScene(SceneView *view) {
    const int slot = engine.currentScene;
    if (slot < 0 || slot >= SCENE_SLOTS || !scene.slots[slot]) return nullptr;
    Lib3dsFile *file = scene.slots[slot];
    const char *camera = scene.cameraSet ? scene.cameraName : nullptr;
    return scene_FindView(file, camera, view, &scene.framing[size_t(slot)]) != SCENE_VIEW_NONE ? file : nullptr;
}

} // namespace

namespace {
// On the loader thread, in its GL context: everything of a load but the node lists, which bind
// textures by the slots as they are at the line.
void *prepareScene(const char *path, int, size_t *bytes) {
    std::vector<uint8_t> data;
    if (!engine_ReadFile(path, SCENE_MAX_FILE_BYTES, &data)) return nullptr;
    Lib3dsFile *file = scene_Read3ds(data.data(), data.size(), nullptr, 0);
    if (!file) return nullptr;
    auto *prepared = new PreparedScene;
    prepared->file = file;
    for (Lib3dsMesh *mesh = file->meshes; mesh; mesh = mesh->next)
        if (Lib3dsNode *node = scene_AddMeshNode(file, mesh)) prepared->made.push_back(node);
    lib3ds_file_eval(file, 0.0f);
    scene_DefaultView(file, &prepared->framing);
    size_t faces = 0;
    for (Lib3dsMesh *mesh = file->meshes; mesh; mesh = mesh->next) {
        PreparedMesh made;
        made.mesh = mesh;
        made.geometry = compileGeometry(mesh, made.why, sizeof made.why);
        prepared->meshes.push_back(made);
        mesh->user.d = Lib3dsDword(prepared->meshes.size());
        faces += mesh->faces;
    }
    glFinish(); // the drawing thread's context sees the lists whole
    // The file as lib3ds holds it, and each corner's normal, point and texel in the lists.
    *bytes = data.size() * 2 + faces * 3 * 32;
    return prepared;
}

void discardScene(void *data) {
    auto *prepared = static_cast<PreparedScene *>(data);
    for (const PreparedMesh &mesh : prepared->meshes)
        if (mesh.geometry) glDeleteLists(mesh.geometry, 1);
    lib3ds_file_free(prepared->file);
    delete prepared;
}

// The file for a load, with why it failed: made ahead for this line, or read now.
Lib3dsFile *readScene(const char *path, const char *name, char *why, size_t whySize, bool *reported) {
    taking = static_cast<PreparedScene *>(loader_Take(script_CurrentLine(), &SCENE_LOADER_KIND, path, 0));
    if (taking) return taking->file;
    std::vector<uint8_t> bytes;
    bool tooLarge = false;
    if (engine_ReadFile(path, SCENE_MAX_FILE_BYTES, &bytes, &tooLarge)) return scene_Read3ds(bytes.data(), bytes.size(), why, whySize);
    if (tooLarge) {
        snprintf(why, whySize, "file larger than %zu bytes", SCENE_MAX_FILE_BYTES);
        return nullptr;
    }
    trace_Error(LOAD, name);
    *reported = true;
    return nullptr;
}
} // namespace

const LoaderKind SCENE_LOADER_KIND = {"scene", prepareScene, discardScene};

bool scene_LoadSlot(int slot, const char *name) {
    if (!engine_CheckIndex(slot, 0, SCENE_SLOTS - 1, LOAD, "scene slot")) return false;
    freeSlot(slot);
    char path[ENGINE_PATH_SIZE];
    if (!engine_BuildPath(path, sizeof path, name, LOAD)) return false;
    engine_NoteAsset(path, engine_FileStamp(path));
    char why[SCENE_WHY_SIZE] = "";
    bool reported = false;
    Lib3dsFile *file = readScene(path, name, why, sizeof why, &reported);
    if (!file) {
        if (reported) return false;
        // The log keeps its one fixed line; the reason goes to stderr with the same name.
        fprintf(stderr, "vortan: error: %s: %s (%s)\n", LOAD, name, why);
        trace_ErrorLogOnly(LOAD, name);
        return false;
    }
    scene.slots[slot] = file;
    ++loads;
    trace_Printf("- _Vortan_ \tsuccess on glLoadSceneSlot : %s\n", name);
    if (!scene.cameraSet && file->cameras) setCamera(file->cameras->name);
    std::vector<Lib3dsNode *> made;
    if (taking) {
        made = taking->made;
        scene.framing[size_t(slot)] = taking->framing;
        for (const PreparedMesh &mesh : taking->meshes) keepGeometry(slot, mesh.geometry);
    } else {
        // Meshes no node shows (a converter's file has no keyframer) get nodes of their own.
        for (Lib3dsMesh *mesh = file->meshes; mesh; mesh = mesh->next)
            if (Lib3dsNode *node = scene_AddMeshNode(file, mesh)) made.push_back(node);
        lib3ds_file_eval(file, 0.0f);
        scene_DefaultView(file, &scene.framing[size_t(slot)]);
    }
    compiling = {name, slot};
    for (Lib3dsNode *node : made) compileMesh(node, lib3ds_file_mesh_by_name(file, node->name), file, slot, false);
    for (Lib3dsNode *node = file->nodes; node; node = node->next) scene_CompileNode(node, slot);
    compiling = {};
    if (taking) {
        for (Lib3dsMesh *mesh = file->meshes; mesh; mesh = mesh->next) mesh->user.d = 0;
        delete taking;
        taking = nullptr;
    }
    return true;
}

void scene_CompileNode(Lib3dsNode *node, int slot) {
    if (!node || slot < 0 || slot >= SCENE_SLOTS || !scene.slots[slot]) return;
    for (Lib3dsNode *child = node->childs; child; child = child->next) scene_CompileNode(child, slot);
    if (node->type != LIB3DS_OBJECT_NODE || strcmp(node->name, "$$$DUMMY") == 0 || node->user.d != 0) return;
    Lib3dsFile *file = scene.slots[slot];
    Lib3dsMesh *mesh = lib3ds_file_mesh_by_name(file, node->name);
    if (mesh) compileMesh(node, mesh, file, slot);
}

int scene_FindTextureSlot(const char *name) { return texture_FindFileName(name); }

void scene_Advance(double frameDelta) {
    SceneView view;
    Lib3dsFile *file = viewedScene(&view);
    if (!file) return;
    const int slot = engine.currentScene;
    scene.replayFrame = nextReplayFrame(file, frameDelta);
    scene.owedFrame[size_t(slot)] = scene.replayFrame;
    scene.owed[size_t(slot)] = true;
}

void scene_CatchUp() {
    for (size_t slot = 0; slot < SCENE_SLOTS; ++slot) {
        if (scene.owed[slot] && scene.slots[slot]) lib3ds_file_eval(scene.slots[slot], scene.owedFrame[slot]);
        scene.owed[slot] = false;
    }
}

namespace {
// The scene pass's drawing: projection, lights, camera and every compiled node.
void drawView(Lib3dsFile *file, SceneView view) { // lib3ds takes the eye and target unconst
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const int height = engine.screenHeight > 0 ? engine.screenHeight : 1;
    gluPerspective(view.fov, double(engine.screenWidth) / double(height), view.nearPlane, view.farPlane);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (!file->lights) setupDefaultLight();
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f); // 3DS is Z-up, GL looks down -Z
    setupLights(file);                    // placed before the camera: lights do not move with it
    Lib3dsMatrix matrix;
    lib3ds_matrix_camera(matrix, view.eye, view.target, view.roll);
    glMultMatrixf(&matrix[0][0]);
    for (Lib3dsNode *node = file->nodes; node; node = node->next) scene_DrawNode(node);
}
} // namespace

void scene_Draw(double frameDelta) {
    SceneView view;
    Lib3dsFile *file = viewedScene(&view);
    if (!file) return;
    drawView(file, view);
    advanceReplay(file, frameDelta);
    glDisable(GL_LIGHTING);
}

void scene_DrawStill() {
    const int slot = engine.currentScene;
    if (slot < 0 || slot >= SCENE_SLOTS || !scene.slots[size_t(slot)]) return;
    SceneView view;
    // The camera chosen may be another scene's: the file's own framing then does as well.
    if (!viewedScene(&view)) view = scene.framing[size_t(slot)];
    drawView(scene.slots[size_t(slot)], view);
    glDisable(GL_LIGHTING);
}

unsigned scene_LoadCount() { return loads; }

void scene_DrawNode(Lib3dsNode *node) {
    for (Lib3dsNode *child = node->childs; child; child = child->next) scene_DrawNode(child);
    if (!node->user.d) return;
    const float *pivot = node->data.object.pivot;
    glPushMatrix();
    glMultMatrixf(&node->matrix[0][0]);
    glTranslatef(-pivot[0], -pivot[1], -pivot[2]);
    glCallList(GLuint(node->user.d));
    glPopMatrix();
}

void scene_FreeAll() {
    for (int slot = 0; slot < SCENE_SLOTS; ++slot) freeSlot(slot);
}

void scene_ResetState() {
    scene_FreeAll();
    scene = SceneState{};
}

void glLoadSceneSlot() {
    int slot = 0;
    if (!engine_ParamInt(1, "glLoadSceneSlot", "scene slot", &slot)) return; // its range is checked there
    char name[SCRIPT_TEXT_SIZE];
    text_CopyBounded(name, script_Param(2));
    const size_t length = strlen(name);
    if (length > 0) name[length - 1] = '\0'; // the line's end-of-line character
    scene_LoadSlot(slot, name);
    if (engine.debugMode) console_Printf("\n#call glLoadSceneSlot %d\n\r", slot);
}

void glSetCurrentScene() {
    int chosen = -1;
    // Any other number would index past the slots; it switches the scene off like -1.
    if (!engine_ParamInt(1, "glSetCurrentScene", "scene", &chosen, -1, SCENE_SLOTS - 1)) chosen = -1;
    engine.currentScene = chosen;
    if (chosen >= 0 && scene.slots[chosen] && scene.slots[chosen]->cameras) setCamera(scene.slots[chosen]->cameras->name);
    if (engine.debugMode) console_Printf("\n#call glSetCurrentScene %d\n\r", engine.currentScene);
}

void glSetCamera() {
    const char *name = script_Param(1); // the last parameter keeps its end-of-line character
    setCamera(name);
    console_Printf("%s\n", name);
    // The scene then shows nothing: say why, naming the camera as the script wrote it.
    const int slot = engine.currentScene;
    Lib3dsFile *file = slot >= 0 && slot < SCENE_SLOTS ? scene.slots[slot] : nullptr;
    SceneView view;
    if (file && scene_FindView(file, scene.cameraName, &view) == SCENE_VIEW_NONE) {
        char shown[SCRIPT_TEXT_SIZE];
        text_CopyBounded(shown, name);
        const size_t length = strlen(shown);
        const bool lineEnd = length > 0 && shown[length - 1] == '\n';
        if (lineEnd) shown[length - 1] = '\0';
        char detail[SCRIPT_TEXT_SIZE + 96];
        snprintf(detail, sizeof detail, "no camera '%s' in scene %d%s", shown, slot,
                 lineEnd ? " (the name carries the line end: end the line with '|')" : "");
        trace_Error("glSetCamera", detail);
    }
}

void glSetReplaySpeed() {
    scene.replaySpeed = float(atof(script_Param(1)));
    if (engine.debugMode) console_Printf("\n#call glSetReplaySpeed %f\n\r", double(scene.replaySpeed));
}

void glSetReplayFrame() {
    float frame = float(atof(script_Param(1)));
    scene.replayFrame = std::isfinite(frame) ? frame : 0.0f; // lib3ds cannot evaluate "nan" or "inf"
    if (engine.debugMode) console_Printf("\n#call glSetReplayFrame %f\n\r", double(scene.replayFrame));
}
