// Reading untrusted 3DS files. lib3ds 1.3 trusts every size, count and index it reads, so the
// bytes are first walked here the way lib3ds will walk them, and only a file that passes is
// handed to lib3ds, from memory, so both see exactly the same bytes.
#include "scene/scene_file.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <lib3ds/camera.h>
#include <lib3ds/chunk.h>
#include <lib3ds/io.h>
#include <lib3ds/node.h>
#include <lib3ds/tracks.h>
#include <lib3ds/vector.h>

namespace {

// ---------------------------------------------------------------------------------------------
// The check. Each parse context below mirrors one reading routine of lib3ds 1.3: which chunks it
// descends into, how many bytes it reads before its sub-chunks start, and which counts and
// strings it trusts.

enum class TrackKind { Lin1, Lin3, Quat, Bool, Morph };
enum class NodeKind { Ambient, Object, Camera, Target, Light, Spot };

struct NodeLink {
    uint16_t id;
    uint16_t parent;
    size_t offset;
};

struct MeshCheck {
    bool havePoints = false, haveTexels = false, haveFaces = false;
    uint32_t points = 0;
    uint32_t texels = 0;
    uint32_t faces = 0;
    size_t faceData = 0;   // first byte of the face records
};

struct Check {
    const uint8_t *data;
    size_t size;
    char *why;
    size_t whySize;
    int objects = 0;
    int materials = 0;
    std::vector<NodeLink> nodes;
};

uint16_t word(const Check &v, size_t at) { return uint16_t(v.data[at] | (v.data[at + 1] << 8)); }
uint32_t dword(const Check &v, size_t at) {
    return uint32_t(v.data[at]) | uint32_t(v.data[at + 1]) << 8 | uint32_t(v.data[at + 2]) << 16 |
           uint32_t(v.data[at + 3]) << 24;
}

bool fail(Check &v, size_t offset, const char *format, ...) __attribute__((format(printf, 3, 4)));
bool fail(Check &v, size_t offset, const char *format, ...) {
    if (v.why && v.whySize) {
        char text[SCENE_WHY_SIZE];
        va_list args;
        va_start(args, format);
        vsnprintf(text, sizeof text, format, args);
        va_end(args);
        snprintf(v.why, v.whySize, "%s at offset %zu", text, offset);
    }
    return false;
}

struct Chunk {
    uint16_t id;
    size_t begin;    // header
    size_t payload;  // first byte after the header
    size_t end;
};

// Walks the sub-chunks in [from, end) as lib3ds_chunk_read_next does: a zero chunk id ends the
// walk (lib3ds stops there and never reads on); every other chunk needs a whole header, a size
// of at least six bytes and must end inside its parent, or lib3ds would loop on it for ever.
template <typename Visit> bool eachChild(Check &v, size_t from, size_t end, int depth, Visit visit) {
    if (depth > SCENE_MAX_CHUNK_DEPTH) return fail(v, from, "chunks nested too deep");
    for (size_t at = from; at < end;) {
        if (end - at < 6) return fail(v, at, "chunk header runs past its parent");
        Chunk c{word(v, at), at, at + 6, 0};
        if (c.id == 0) return true;
        uint32_t size = dword(v, at + 2);
        if (size < 6) return fail(v, at, "chunk 0x%04X smaller than its header", c.id);
        if (size > end - at) return fail(v, at, "chunk 0x%04X runs past its parent", c.id);
        c.end = at + size;
        if (!visit(c)) return false;
        at = c.end;
    }
    return true;
}

bool leaves(Check &v, size_t from, size_t end, int depth) {
    return eachChild(v, from, end, depth, [](const Chunk &) { return true; });
}

// lib3ds_io_read_string(io, s, limit) accepts at most limit - 1 characters before the zero.
bool string(Check &v, size_t at, size_t end, size_t limit, size_t *next) {
    for (size_t k = 0; at + k < end; ++k) {
        if (v.data[at + k] == 0) {
            if (next) *next = at + k + 1;
            return true;
        }
        if (k + 1 >= limit) return fail(v, at, "name longer than %zu characters", limit - 1);
    }
    return fail(v, at, "name without its terminating zero");
}

bool need(Check &v, const Chunk &c, size_t bytes, const char *what) {
    if (c.end - c.payload < bytes) return fail(v, c.begin, "%s shorter than its data", what);
    return true;
}

// A key track: flags, two unused words, the key count, then the keys, each a frame, a flag word,
// one float per flag bit and the value. The count is trusted by lib3ds, so every key must be
// inside the chunk.
bool track(Check &v, const Chunk &c, TrackKind kind) {
    if (!need(v, c, 14, "key track")) return false;
    int32_t keys = int32_t(dword(v, c.payload + 10));
    size_t at = c.payload + 14;
    if (keys > 0 && size_t(keys) > (c.end - at) / 6) return fail(v, c.begin, "key count %d too large for its chunk", keys);
    for (int32_t i = 0; i < keys; ++i) {
        if (c.end - at < 6) return fail(v, at, "key %d runs past its track", i);
        int32_t frame = int32_t(dword(v, at));
        uint16_t flags = word(v, at + 4);
        at += 6;
        if (frame > SCENE_MAX_KEY_FRAME || frame < -SCENE_MAX_KEY_FRAME) return fail(v, at - 6, "key frame %d out of range", frame);
        for (int bit = 0; bit < 5; ++bit)
            if (flags & (1u << bit)) at += 4;
        size_t value = kind == TrackKind::Lin1 ? 4 : kind == TrackKind::Lin3 ? 12 : kind == TrackKind::Quat ? 16 : 0;
        at += value;
        if (at > c.end) return fail(v, c.begin, "key %d runs past its track", i);
        if (kind == TrackKind::Morph && !string(v, at, c.end, 11, &at)) return false;
    }
    return true;
}

// Which track a node chunk holds for which node type, as lib3ds_node_read decides.
bool trackKindFor(uint16_t id, NodeKind node, TrackKind *kind) {
    switch (id) {
    case LIB3DS_POS_TRACK_TAG:
        *kind = TrackKind::Lin3;
        return node != NodeKind::Ambient;
    case LIB3DS_COL_TRACK_TAG:
        *kind = TrackKind::Lin3;
        return node == NodeKind::Ambient || node == NodeKind::Light;
    case LIB3DS_ROT_TRACK_TAG:
        *kind = TrackKind::Quat;
        return node == NodeKind::Object;
    case LIB3DS_SCL_TRACK_TAG:
        *kind = TrackKind::Lin3;
        return node == NodeKind::Object;
    case LIB3DS_FOV_TRACK_TAG:
        *kind = TrackKind::Lin1;
        return node == NodeKind::Camera;
    case LIB3DS_ROLL_TRACK_TAG:
        *kind = TrackKind::Lin1;
        return node == NodeKind::Camera || node == NodeKind::Light;
    case LIB3DS_HOT_TRACK_TAG:
    case LIB3DS_FALL_TRACK_TAG:
        *kind = TrackKind::Lin1;
        return node == NodeKind::Light;
    case LIB3DS_HIDE_TRACK_TAG:
        *kind = TrackKind::Bool;
        return node == NodeKind::Object;
    case LIB3DS_MORPH_TRACK_TAG:
        *kind = TrackKind::Morph;
        return node == NodeKind::Object;
    default:
        return false;
    }
}

bool node(Check &v, const Chunk &n, NodeKind kind, uint16_t defaultId, int depth) {
    if (v.nodes.size() >= size_t(SCENE_MAX_NODES)) return fail(v, n.begin, "more than %d nodes", SCENE_MAX_NODES);
    // lib3ds allocates nodes zeroed: without a header a node's parent id is 0, not "none".
    NodeLink link{defaultId, 0, n.begin};
    uint32_t seenTracks = 0; // a second morph track makes lib3ds append through a stale pointer
    bool ok = eachChild(v, n.payload, n.end, depth, [&](const Chunk &c) {
        TrackKind kindOfTrack = TrackKind::Lin1;
        switch (c.id) {
        case LIB3DS_NODE_ID:
            if (!need(v, c, 2, "node id")) return false;
            link.id = word(v, c.payload);
            return true;
        case LIB3DS_NODE_HDR: {
            size_t at = 0;
            if (!string(v, c.payload, c.end, 64, &at)) return false;
            if (c.end - at < 6) return fail(v, c.begin, "node header shorter than its data");
            link.parent = word(v, at + 4);
            return true;
        }
        case LIB3DS_INSTANCE_NAME:
            return kind != NodeKind::Object || string(v, c.payload, c.end, 64, nullptr);
        default:
            if (!trackKindFor(c.id, kind, &kindOfTrack)) return true;
            uint32_t bit = 1u << (c.id - LIB3DS_POS_TRACK_TAG);
            if (seenTracks & bit) return fail(v, c.begin, "track 0x%04X given twice", c.id);
            seenTracks |= bit;
            return track(v, c, kindOfTrack);
        }
    });
    if (!ok) return false;
    v.nodes.push_back(link);
    return true;
}

bool viewport(Check &v, const Chunk &c, int depth) {
    if (c.id == LIB3DS_DEFAULT_VIEW) return leaves(v, c.payload, c.end, depth);
    if (!need(v, c, 14, "viewport layout")) return false;
    int views = 0;
    return eachChild(v, c.payload + 14, c.end, depth, [&](const Chunk &d) {
        if (d.id == LIB3DS_VIEWPORT_DATA_3 && ++views > SCENE_MAX_VIEWS) return fail(v, d.begin, "more than %d views", SCENE_MAX_VIEWS);
        return true;
    });
}

bool keyframes(Check &v, const Chunk &kf, int depth) {
    uint16_t nodeNumber = 0; // lib3ds numbers the nodes of each keyframe block from zero
    return eachChild(v, kf.payload, kf.end, depth, [&](const Chunk &c) {
        switch (c.id) {
        case LIB3DS_KFHDR: {
            size_t at = 0;
            if (!need(v, c, 2, "keyframe header") || !string(v, c.payload + 2, c.end, 13, &at)) return false;
            if (c.end - at < 4) return fail(v, c.begin, "keyframe header shorter than its data");
            int32_t frames = int32_t(dword(v, at));
            if (frames > SCENE_MAX_KEY_FRAME || frames < 0) return fail(v, at, "frame count %d out of range", frames);
            return true;
        }
        case LIB3DS_VIEWPORT_LAYOUT:
        case LIB3DS_DEFAULT_VIEW:
            return viewport(v, c, depth + 1);
        case LIB3DS_AMBIENT_NODE_TAG: return node(v, c, NodeKind::Ambient, nodeNumber++, depth + 1);
        case LIB3DS_OBJECT_NODE_TAG: return node(v, c, NodeKind::Object, nodeNumber++, depth + 1);
        case LIB3DS_CAMERA_NODE_TAG: return node(v, c, NodeKind::Camera, nodeNumber++, depth + 1);
        case LIB3DS_TARGET_NODE_TAG: return node(v, c, NodeKind::Target, nodeNumber++, depth + 1);
        case LIB3DS_LIGHT_NODE_TAG:
        case LIB3DS_SPOTLIGHT_NODE_TAG: return node(v, c, NodeKind::Light, nodeNumber++, depth + 1);
        case LIB3DS_L_TARGET_NODE_TAG: return node(v, c, NodeKind::Spot, nodeNumber++, depth + 1);
        default: return true;
        }
    });
}

// The face list: its records come first, its sub-chunks after them. lib3ds reads the sub-chunks
// only when the list is not empty.
bool faceArray(Check &v, const Chunk &c, MeshCheck &mesh, int depth) {
    if (mesh.haveFaces) return fail(v, c.begin, "second face list in one mesh");
    mesh.haveFaces = true;
    if (!need(v, c, 2, "face list")) return false;
    mesh.faces = word(v, c.payload);
    mesh.faceData = c.payload + 2;
    if ((c.end - mesh.faceData) / 8 < mesh.faces) return fail(v, c.begin, "face count %u too large for its chunk", mesh.faces);
    if (mesh.faces == 0) return true;
    return eachChild(v, mesh.faceData + 8 * size_t(mesh.faces), c.end, depth, [&](const Chunk &d) {
        switch (d.id) {
        case LIB3DS_SMOOTH_GROUP:
            return need(v, d, 4 * size_t(mesh.faces), "smoothing list");
        case LIB3DS_MSH_MAT_GROUP: {
            size_t at = 0;
            if (!string(v, d.payload, d.end, 64, &at)) return false;
            if (d.end - at < 2) return fail(v, d.begin, "material group shorter than its data");
            uint32_t count = word(v, at);
            at += 2;
            if ((d.end - at) / 2 < count) return fail(v, d.begin, "material group count %u too large for its chunk", count);
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t index = word(v, at + 2 * i);
                if (index >= mesh.faces)
                    return fail(v, at + 2 * i, "material group face %u beyond the %u faces", index, mesh.faces);
            }
            return true;
        }
        case LIB3DS_MSH_BOXMAP: {
            size_t at = d.payload;
            for (int i = 0; i < 6; ++i)
                if (!string(v, at, d.end, 64, &at)) return false;
            return true;
        }
        default: return true;
        }
    });
}

bool countedList(Check &v, const Chunk &c, size_t itemBytes, bool *seen, uint32_t *count, const char *what) {
    if (*seen) return fail(v, c.begin, "second %s in one mesh", what);
    *seen = true;
    if (!need(v, c, 2, what)) return false;
    *count = word(v, c.payload);
    if ((c.end - c.payload - 2) / itemBytes < *count) return fail(v, c.begin, "%s count %u too large for its chunk", what, *count);
    return true;
}

// Face corners against the point list, texels against the points.
bool meshIndices(Check &v, const Chunk &c, const MeshCheck &mesh) {
    if (mesh.texels != 0 && mesh.texels < mesh.points)
        return fail(v, c.begin, "%u texels for %u points", mesh.texels, mesh.points);
    for (uint32_t f = 0; f < mesh.faces; ++f) {
        size_t record = mesh.faceData + 8 * size_t(f);
        for (int i = 0; i < 3; ++i) {
            uint32_t k = word(v, record + 2 * i);
            if (k >= mesh.points) return fail(v, record, "face %u uses point %u of %u", f, k, mesh.points);
        }
    }
    return true;
}

bool triMesh(Check &v, const Chunk &c, int depth) {
    MeshCheck mesh;
    bool ok = eachChild(v, c.payload, c.end, depth, [&](const Chunk &d) {
        switch (d.id) {
        case LIB3DS_POINT_ARRAY: return countedList(v, d, 12, &mesh.havePoints, &mesh.points, "point list");
        case LIB3DS_TEX_VERTS: return countedList(v, d, 8, &mesh.haveTexels, &mesh.texels, "texel list");
        case LIB3DS_POINT_FLAG_ARRAY: {
            uint32_t flags = 0;
            bool seen = false;
            return countedList(v, d, 2, &seen, &flags, "point flag list");
        }
        case LIB3DS_FACE_ARRAY: return faceArray(v, d, mesh, depth + 1);
        default: return true;
        }
    });
    return ok && meshIndices(v, c, mesh);
}

bool light(Check &v, const Chunk &c, int depth) {
    if (!need(v, c, 12, "light")) return false;
    return eachChild(v, c.payload + 12, c.end, depth, [&](const Chunk &d) {
        if (d.id != LIB3DS_DL_SPOTLIGHT) return true;
        if (!need(v, d, 20, "spotlight")) return false;
        return eachChild(v, d.payload + 20, d.end, depth + 1, [&](const Chunk &e) {
            return e.id != LIB3DS_DL_SPOT_PROJECTOR || string(v, e.payload, e.end, 64, nullptr);
        });
    });
}

bool namedObject(Check &v, const Chunk &c, int depth) {
    if (++v.objects > SCENE_MAX_OBJECTS) return fail(v, c.begin, "more than %d named objects", SCENE_MAX_OBJECTS);
    size_t at = 0;
    if (!string(v, c.payload, c.end, 64, &at)) return false;
    return eachChild(v, at, c.end, depth, [&](const Chunk &d) {
        switch (d.id) {
        case LIB3DS_N_TRI_OBJECT: return triMesh(v, d, depth + 1);
        case LIB3DS_N_CAMERA: return need(v, d, 32, "camera") && leaves(v, d.payload + 32, d.end, depth + 1);
        case LIB3DS_N_DIRECT_LIGHT: return light(v, d, depth + 1);
        default: return true;
        }
    });
}

bool isTextureMap(uint16_t id) {
    switch (id) {
    case LIB3DS_MAT_TEXMAP: case LIB3DS_MAT_TEXMASK: case LIB3DS_MAT_TEX2MAP: case LIB3DS_MAT_TEX2MASK:
    case LIB3DS_MAT_OPACMAP: case LIB3DS_MAT_OPACMASK: case LIB3DS_MAT_BUMPMAP: case LIB3DS_MAT_BUMPMASK:
    case LIB3DS_MAT_SPECMAP: case LIB3DS_MAT_SPECMASK: case LIB3DS_MAT_SHINMAP: case LIB3DS_MAT_SHINMASK:
    case LIB3DS_MAT_SELFIMAP: case LIB3DS_MAT_SELFIMASK: case LIB3DS_MAT_REFLMAP: case LIB3DS_MAT_REFLMASK:
        return true;
    default:
        return false;
    }
}

bool isColourOrPercentage(uint16_t id) {
    switch (id) {
    case LIB3DS_MAT_AMBIENT: case LIB3DS_MAT_DIFFUSE: case LIB3DS_MAT_SPECULAR: case LIB3DS_MAT_SHININESS:
    case LIB3DS_MAT_SHIN2PCT: case LIB3DS_MAT_TRANSPARENCY: case LIB3DS_MAT_XPFALL: case LIB3DS_MAT_SELF_ILPCT:
    case LIB3DS_MAT_REFBLUR:
        return true;
    default:
        return false;
    }
}

bool material(Check &v, const Chunk &c, int depth) {
    if (++v.materials > SCENE_MAX_OBJECTS) return fail(v, c.begin, "more than %d materials", SCENE_MAX_OBJECTS);
    return eachChild(v, c.payload, c.end, depth, [&](const Chunk &d) {
        if (d.id == LIB3DS_MAT_NAME) return string(v, d.payload, d.end, 64, nullptr);
        if (isColourOrPercentage(d.id)) return leaves(v, d.payload, d.end, depth + 1);
        if (!isTextureMap(d.id)) return true;
        return eachChild(v, d.payload, d.end, depth + 1, [&](const Chunk &e) {
            return e.id != LIB3DS_MAT_MAPNAME || string(v, e.payload, e.end, 64, nullptr);
        });
    });
}

// A vertical gradient holds three colours in a table of three; a fourth would be written past it.
bool gradient(Check &v, const Chunk &c, int depth) {
    if (!need(v, c, 4, "gradient")) return false;
    int gamma = 0, linear = 0;
    return eachChild(v, c.payload + 4, c.end, depth, [&](const Chunk &d) {
        if ((d.id == LIB3DS_COLOR_F && ++gamma > 3) || (d.id == LIB3DS_LIN_COLOR_F && ++linear > 3))
            return fail(v, d.begin, "gradient with more than three colours");
        return true;
    });
}

bool modelData(Check &v, const Chunk &md, int depth) {
    return eachChild(v, md.payload, md.end, depth, [&](const Chunk &c) {
        switch (c.id) {
        case LIB3DS_VIEWPORT_LAYOUT:
        case LIB3DS_DEFAULT_VIEW: return viewport(v, c, depth + 1);
        case LIB3DS_AMBIENT_LIGHT:
        case LIB3DS_SOLID_BGND: return leaves(v, c.payload, c.end, depth + 1);
        case LIB3DS_FOG:
        case LIB3DS_LAYER_FOG:
        case LIB3DS_DISTANCE_CUE: return need(v, c, 16, "fog") && leaves(v, c.payload + 16, c.end, depth + 1);
        case LIB3DS_V_GRADIENT: return gradient(v, c, depth + 1);
        case LIB3DS_BIT_MAP: return string(v, c.payload, c.end, 64, nullptr);
        case LIB3DS_MAT_ENTRY: return material(v, c, depth + 1);
        case LIB3DS_NAMED_OBJECT: return namedObject(v, c, depth + 1);
        default: return true;
        }
    });
}

// lib3ds hangs every node under the node whose id its parent id names; a cycle there recurses
// for ever, and a long chain runs the recursive walks off the stack.
bool nodeTree(Check &v) {
    std::vector<NodeLink> &nodes = v.nodes;
    for (size_t i = 0; i < nodes.size(); ++i)
        for (size_t j = i + 1; j < nodes.size(); ++j)
            if (nodes[i].id == nodes[j].id) return fail(v, nodes[j].offset, "node id %u given twice", nodes[j].id);
    auto parentOf = [&](const NodeLink &n) -> const NodeLink * {
        if (n.parent == LIB3DS_NO_PARENT) return nullptr;
        for (const NodeLink &p : nodes)
            if (p.id == n.parent) return &p;
        return nullptr;
    };
    for (const NodeLink &n : nodes) {
        int depth = 0;
        for (const NodeLink *p = parentOf(n); p; p = parentOf(*p))
            if (++depth > SCENE_MAX_NODE_DEPTH)
                return fail(v, n.offset, "node %u has a parent cycle or more than %d ancestors", n.id, SCENE_MAX_NODE_DEPTH);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// lib3ds reading from memory. Reads past the end deliver zeros; the read budget stops any walk
// the check did not foresee, since zeros end every chunk loop of lib3ds.

struct MemoryStream {
    const uint8_t *data;
    size_t size;
    size_t position;
    size_t budget;
    bool exhausted;
};

Lib3dsBool streamError(void *self) { return static_cast<MemoryStream *>(self)->exhausted; }

long streamSeek(void *self, long offset, Lib3dsIoSeek origin) {
    auto *s = static_cast<MemoryStream *>(self);
    long base = origin == LIB3DS_SEEK_SET ? 0 : origin == LIB3DS_SEEK_CUR ? long(s->position) : long(s->size);
    if (offset < -base) return -1;
    s->position = size_t(base + offset);
    return 0;
}

long streamTell(void *self) { return long(static_cast<MemoryStream *>(self)->position); }

// lib3ds reads a field at a time, most of them 2 or 4 bytes: those copies are inlined, which
// takes about a third off lib3ds's read of a mesh.
size_t streamRead(void *self, void *buffer, size_t size) {
    auto *s = static_cast<MemoryStream *>(self);
    if (s->budget == 0) {
        memset(buffer, 0, size);
        s->exhausted = true;
        return 0;
    }
    --s->budget;
    size_t available = s->position < s->size ? s->size - s->position : 0;
    size_t n = size < available ? size : available;
    const uint8_t *from = s->data + s->position;
    if (n == 2) memcpy(buffer, from, 2);
    else if (n == 4) memcpy(buffer, from, 4);
    else if (n) memcpy(buffer, from, n);
    if (n < size) memset(static_cast<uint8_t *>(buffer) + n, 0, size - n); // past the end reads zeros
    s->position += size;
    return n;
}

size_t streamWrite(void *, const void *, size_t) { return 0; }

} // namespace

bool scene_Validate3ds(const uint8_t *data, size_t size, char *why, size_t whySize) {
    Check v{data, size, why, whySize, 0, 0, {}};
    if (why && whySize) why[0] = '\0';
    if (!data || size < 6) return fail(v, 0, "file too short for a 3DS chunk");
    if (size > SCENE_MAX_FILE_BYTES) return fail(v, 0, "file larger than %zu bytes", SCENE_MAX_FILE_BYTES);
    Chunk top{word(v, 0), 0, 6, 0};
    uint32_t topSize = dword(v, 2);
    if (top.id != LIB3DS_M3DMAGIC && top.id != LIB3DS_MLIBMAGIC && top.id != LIB3DS_CMAGIC && top.id != LIB3DS_MDATA)
        return fail(v, 0, "not a 3DS file");
    if (topSize < 6 || topSize > size) return fail(v, 0, "file chunk of %u bytes in a file of %zu", topSize, size);
    top.end = topSize;
    bool ok;
    if (top.id == LIB3DS_MDATA) {
        ok = modelData(v, top, 1);
    } else {
        ok = eachChild(v, top.payload, top.end, 1, [&](const Chunk &c) {
            if (c.id == LIB3DS_MDATA) return modelData(v, c, 2);
            if (c.id == LIB3DS_KFDATA) return keyframes(v, c, 2);
            return true;
        });
    }
    return ok && nodeTree(v);
}

namespace {
// lib3ds evaluates a looping key track past its last key by wrapping the frame in floats, and
// a wrapped frame that rounds onto the last key walks off the key list (a null read): every
// track plays once, holding its last key.
void playTracksOnce(Lib3dsNode *node) {
    for (; node; node = node->next) {
        Lib3dsNodeData &d = node->data;
        switch (node->type) {
        case LIB3DS_AMBIENT_NODE: d.ambient.col_track.flags &= ~Lib3dsDword(LIB3DS_REPEAT); break;
        case LIB3DS_OBJECT_NODE:
            for (Lib3dsDword *flags : {&d.object.pos_track.flags, &d.object.rot_track.flags, &d.object.scl_track.flags,
                                       &d.object.morph_track.flags, &d.object.hide_track.flags})
                *flags &= ~Lib3dsDword(LIB3DS_REPEAT);
            break;
        case LIB3DS_CAMERA_NODE:
            for (Lib3dsDword *flags : {&d.camera.pos_track.flags, &d.camera.fov_track.flags, &d.camera.roll_track.flags})
                *flags &= ~Lib3dsDword(LIB3DS_REPEAT);
            break;
        case LIB3DS_TARGET_NODE: d.target.pos_track.flags &= ~Lib3dsDword(LIB3DS_REPEAT); break;
        case LIB3DS_LIGHT_NODE:
            for (Lib3dsDword *flags : {&d.light.pos_track.flags, &d.light.col_track.flags, &d.light.hotspot_track.flags,
                                       &d.light.falloff_track.flags, &d.light.roll_track.flags})
                *flags &= ~Lib3dsDword(LIB3DS_REPEAT);
            break;
        case LIB3DS_SPOT_NODE: d.spot.pos_track.flags &= ~Lib3dsDword(LIB3DS_REPEAT); break;
        default: break;
        }
        playTracksOnce(node->childs);
    }
}
} // namespace

Lib3dsFile *scene_Read3ds(const uint8_t *data, size_t size, char *why, size_t whySize) {
    if (!scene_Validate3ds(data, size, why, whySize)) return nullptr;
    // A valid file costs lib3ds a few reads per byte at most; the budget is far above that.
    MemoryStream stream{data, size, 0, 16 * size + 4096, false};
    Lib3dsIo *io = lib3ds_io_new(&stream, streamError, streamSeek, streamTell, streamRead, streamWrite);
    Lib3dsFile *file = io ? lib3ds_file_new() : nullptr;
    if (!file) {
        if (io) lib3ds_io_free(io);
        if (why && whySize) snprintf(why, whySize, "out of memory");
        return nullptr;
    }
    bool ok = lib3ds_file_read(file, io) && !stream.exhausted;
    lib3ds_io_free(io);
    if (!ok) {
        lib3ds_file_free(file);
        if (why && whySize) snprintf(why, whySize, "lib3ds could not read the file");
        return nullptr;
    }
    playTracksOnce(file->nodes);
    return file;
}

bool scene_CheckMesh(const Lib3dsMesh *mesh, char *why, size_t whySize) {
    char scratch[SCENE_WHY_SIZE];
    if (!why || !whySize) {
        why = scratch;
        whySize = sizeof scratch;
    }
    unsigned points = unsigned(mesh->points);
    if (mesh->faces && (!mesh->faceL || !mesh->pointL || !points)) {
        snprintf(why, whySize, "%u faces without points", unsigned(mesh->faces));
        return false;
    }
    if (mesh->texels && (!mesh->texelL || mesh->texels < mesh->points)) {
        snprintf(why, whySize, "%u texels for %u points", unsigned(mesh->texels), points);
        return false;
    }
    for (Lib3dsDword f = 0; f < mesh->faces; ++f) {
        for (int i = 0; i < 3; ++i) {
            unsigned k = mesh->faceL[f].points[i];
            if (k >= points) {
                snprintf(why, whySize, "face %u uses point %u of %u", unsigned(f), k, points);
                return false;
            }
        }
    }
    return true;
}

bool scene_SmoothNormals(const Lib3dsMesh *mesh, Lib3dsVector *normals, char *why, size_t whySize) {
    const uint32_t points = uint32_t(mesh->points), faces = uint32_t(mesh->faces);
    const Lib3dsFace *faceL = mesh->faceL;
    // The corners at each point, grouped by point; lib3ds walks a point's corners last first.
    std::vector<uint32_t> first(size_t(points) + 1, 0), corners(3 * size_t(faces));
    for (uint32_t c = 0; c < 3 * faces; ++c) ++first[faceL[c / 3].points[c % 3] + 1];
    for (uint32_t k = 0; k < points; ++k) first[k + 1] += first[k];
    std::vector<uint32_t> filled(first.begin(), first.end() - 1);
    for (uint32_t c = 0; c < 3 * faces; ++c) corners[filled[faceL[c / 3].points[c % 3]]++] = c;

    struct Smoothed {
        Lib3dsDword group;
        Lib3dsVector normal;
    };
    std::vector<Smoothed> done;        // this point's normal for each smoothing group seen
    std::vector<const float *> summed; // distinct face normals in the sum being made
    long long work = 0;
    for (uint32_t k = 0; k < points; ++k) {
        done.clear();
        for (uint32_t at = first[k]; at < first[k + 1]; ++at) {
            const uint32_t c = corners[at];
            const Lib3dsFace &face = faceL[c / 3];
            float *n = normals[c];
            if (!face.smoothing) {
                lib3ds_vector_copy(n, const_cast<float *>(face.normal));
                lib3ds_vector_normalize(n);
                continue;
            }
            const Smoothed *known = nullptr;
            for (const Smoothed &s : done)
                if (s.group == face.smoothing) known = &s;
            work += long(done.size());
            if (known) {
                lib3ds_vector_copy(n, const_cast<float *>(known->normal));
                continue;
            }
            // The sum of the distinct normals of the faces here sharing a group with this one,
            // in lib3ds's order and with its tolerance, so the result is the library's.
            lib3ds_vector_zero(n);
            summed.clear();
            for (uint32_t other = first[k + 1]; other-- > first[k];) {
                const Lib3dsFace &near = faceL[corners[other] / 3];
                if (!(face.smoothing & near.smoothing)) continue;
                float *normal = const_cast<float *>(near.normal);
                bool seen = false;
                for (const float *s : summed)
                    if (std::fabs(lib3ds_vector_dot(const_cast<float *>(s), normal) - 1.0) < 1e-5) {
                        seen = true;
                        break;
                    }
                work += long(summed.size()) + 1;
                if (work > SCENE_MAX_SMOOTHING_WORK) {
                    snprintf(why, whySize, "too many faces with different normals meet at point %u to smooth", k);
                    return false;
                }
                if (seen) continue;
                lib3ds_vector_add(n, n, normal);
                summed.push_back(near.normal);
            }
            lib3ds_vector_normalize(n);
            done.push_back({face.smoothing, {n[0], n[1], n[2]}});
        }
    }
    return true;
}

bool scene_MeshHasNode(Lib3dsFile *file, const Lib3dsMesh *mesh) {
    return lib3ds_file_node_by_name(file, mesh->name, LIB3DS_OBJECT_NODE) != nullptr;
}

Lib3dsNode *scene_AddMeshNode(Lib3dsFile *file, Lib3dsMesh *mesh) {
    if (scene_MeshHasNode(file, mesh)) return nullptr;
    Lib3dsNode *node = lib3ds_node_new_object();
    if (!node) return nullptr;
    snprintf(node->name, sizeof node->name, "%s", mesh->name);
    node->parent_id = LIB3DS_NO_PARENT;
    node->node_id = LIB3DS_NO_PARENT;   // no node names it as its parent
    lib3ds_file_insert_node(file, node);
    return node;
}

namespace {
bool hasCameraNode(const Lib3dsNode *node) {
    for (; node; node = node->next)
        if (node->type == LIB3DS_CAMERA_NODE || hasCameraNode(node->childs)) return true;
    return false;
}

} // namespace

void scene_DefaultView(const Lib3dsFile *file, SceneView *view) {
    float low[3] = {FLT_MAX, FLT_MAX, FLT_MAX}, high[3] = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    for (const Lib3dsMesh *mesh = file->meshes; mesh; mesh = mesh->next)
        for (Lib3dsDword i = 0; i < mesh->points; ++i)
            for (int k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], mesh->pointL[i].pos[k]);
                high[k] = std::max(high[k], mesh->pointL[i].pos[k]);
            }
    double centre[3] = {0, 0, 0}, radius = 0;
    if (low[0] <= high[0]) {
        for (int k = 0; k < 3; ++k) {
            centre[k] = 0.5 * (double(low[k]) + double(high[k]));
            radius += 0.25 * (double(high[k]) - double(low[k])) * (double(high[k]) - double(low[k]));
        }
        radius = std::sqrt(radius);
    }
    if (!(radius > 1e-6) || !std::isfinite(radius)) radius = 1.0; // nothing, or one point
    // From the front, a little to the right and above; far enough for the box's sphere to fit
    // the lens vertically (the window is at least as wide as high, so it fits across too).
    const double direction[3] = {0.35, -1.0, 0.3};
    const double length = std::sqrt(0.35 * 0.35 + 1.0 + 0.3 * 0.3);
    const double distance = radius / std::sin(double(SCENE_DEFAULT_FOV) * 3.14159265358979323846 / 360.0);
    for (int k = 0; k < 3; ++k) {
        view->target[k] = float(centre[k]);
        view->eye[k] = float(centre[k] + direction[k] / length * distance);
    }
    view->roll = 0.0f;
    view->fov = SCENE_DEFAULT_FOV;
    view->nearPlane = float(std::max(distance - 1.05 * radius, 0.01 * distance));
    view->farPlane = float(distance + 1.05 * radius);
}

bool scene_HasCamera(Lib3dsFile *file) { return file->cameras || hasCameraNode(file->nodes); }

SceneViewKind scene_FindView(Lib3dsFile *file, const char *name, SceneView *view, const SceneView *framing) {
    if (!scene_HasCamera(file)) {
        if (framing) *view = *framing;
        else scene_DefaultView(file, view);
        return SCENE_VIEW_DEFAULT;
    }
    if (!name) return SCENE_VIEW_NONE;
    view->nearPlane = SCENE_NEAR;
    view->farPlane = SCENE_FAR;
    Lib3dsNode *camera = lib3ds_file_node_by_name(file, name, LIB3DS_CAMERA_NODE);
    Lib3dsNode *target = lib3ds_file_node_by_name(file, name, LIB3DS_TARGET_NODE);
    if (camera && target) {
        lib3ds_vector_copy(view->eye, camera->data.camera.pos);
        lib3ds_vector_copy(view->target, target->data.target.pos);
        view->roll = camera->data.camera.roll;
        view->fov = camera->data.camera.fov;
        return SCENE_VIEW_CAMERA_NODES;
    }
    // A camera object without its nodes: as the file places it. Nodes without the object, or one
    // node of the pair missing, show nothing, as before.
    Lib3dsCamera *object = lib3ds_file_camera_by_name(file, name);
    if (!object || camera || target) return SCENE_VIEW_NONE;
    lib3ds_vector_copy(view->eye, object->position);
    lib3ds_vector_copy(view->target, object->target);
    view->roll = object->roll;
    view->fov = object->fov;
    return SCENE_VIEW_CAMERA_OBJECT;
}
