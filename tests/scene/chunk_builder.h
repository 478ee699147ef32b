// Hand-made 3DS bytes for the file tests: chunks nested as written, so a test can build a
// well-formed file and then break exactly one thing in it.
#pragma once
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include <lib3ds/chunk.h>

using Bytes = std::vector<uint8_t>;

inline Bytes u16(unsigned v) { return {uint8_t(v), uint8_t(v >> 8)}; }
inline Bytes u32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
inline Bytes floats(std::initializer_list<float> values) {
    Bytes b(4 * values.size());
    memcpy(b.data(), values.begin(), b.size());
    return b;
}
inline Bytes str(const std::string &s) { return Bytes(s.c_str(), s.c_str() + s.size() + 1); }
inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
// A chunk whose size field is right, or sizeOverride when given.
inline Bytes chunk(uint16_t id, std::initializer_list<Bytes> body, int64_t sizeOverride = -1) {
    Bytes inner = cat(body);
    return cat({u16(id), u32(sizeOverride >= 0 ? uint32_t(sizeOverride) : uint32_t(inner.size() + 6)), inner});
}

inline Bytes points(std::initializer_list<float> xyz) { return chunk(LIB3DS_POINT_ARRAY, {u16(unsigned(xyz.size() / 3)), floats(xyz)}); }
inline Bytes face(unsigned a, unsigned b, unsigned c) { return cat({u16(a), u16(b), u16(c), u16(7)}); }
inline Bytes triMesh(const std::string &name, std::initializer_list<Bytes> meshChunks) {
    return chunk(LIB3DS_NAMED_OBJECT, {str(name), chunk(LIB3DS_N_TRI_OBJECT, meshChunks)});
}

// A track with the given key records (each built with key()).
inline Bytes track(uint16_t id, uint32_t count, std::initializer_list<Bytes> keys) {
    return chunk(id, {u16(0), u32(0), u32(0), u32(count), cat(keys)});
}
inline Bytes key(int32_t frame, std::initializer_list<float> values) { return cat({u32(uint32_t(frame)), u16(0), floats(values)}); }

inline Bytes objectNode(unsigned id, const std::string &name, unsigned parent, std::initializer_list<Bytes> more = {}) {
    return chunk(LIB3DS_OBJECT_NODE_TAG,
                 {chunk(LIB3DS_NODE_ID, {u16(id)}), chunk(LIB3DS_NODE_HDR, {str(name), u16(0), u16(0), u16(parent)}), cat(more)});
}

inline Bytes file3ds(std::initializer_list<Bytes> modelData, std::initializer_list<Bytes> keyframes = {}) {
    Bytes kf = cat(keyframes);
    if (kf.empty()) return chunk(LIB3DS_M3DMAGIC, {chunk(LIB3DS_MDATA, modelData)});
    return chunk(LIB3DS_M3DMAGIC,
                 {chunk(LIB3DS_MDATA, modelData), chunk(LIB3DS_KFDATA, {chunk(LIB3DS_KFHDR, {u16(5), str("T"), u32(100)}), kf})});
}
