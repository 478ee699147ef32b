// WAV cue points and their labels, read defensively: every size in the file is checked against
// the bytes that are really there, since the music file is untrusted input.
#include "sound/sound_markers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
uint32_t readLe32(const unsigned char *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool isId(const unsigned char *p, const char *id) { return memcmp(p, id, 4) == 0; }

// 'cue ': a count, then 24-byte points (id, position, 'data', chunk start, block start,
// sample offset). The sample offset is the frame within the data chunk.
void readCuePoints(const unsigned char *chunk, size_t size, SoundMarkerList &list) {
    if (size < 4) return;
    uint64_t declared = readLe32(chunk);
    uint64_t present = (size - 4) / 24;
    uint64_t count = std::min(declared, present);
    for (uint64_t i = 0; i < count; ++i) {
        if (list.count == SOUND_MAX_MARKERS) {
            list.dropped += int(std::min<uint64_t>(count - i, 1u << 30));
            break;
        }
        const unsigned char *point = chunk + 4 + i * 24;
        SoundMarker &marker = list.markers[list.count++];
        marker.id = readLe32(point);
        marker.frame = readLe32(point + 20);
        marker.cut = false;
        snprintf(marker.name, sizeof marker.name, "cue %u", marker.id);
    }
}

// The length of text[0..length) less a UTF-8 character cut short at its end, so a name cut at
// the table's limit ends on a whole character; bytes that are not UTF-8 are left as they are.
size_t wholeCharacters(const char *text, size_t length) {
    size_t lead = length; // back over the continuation bytes to the byte that leads them
    while (lead > 0 && length - lead < 4 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) --lead;
    if (lead == 0) return length;
    const unsigned char c = static_cast<unsigned char>(text[lead - 1]);
    const size_t needs = c >= 0xF0 && c < 0xF8 ? 4 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xC0 && c < 0xE0 ? 2 : 0;
    return needs > length - lead + 1 ? lead - 1 : length;
}

// 'labl' inside LIST/adtl: a cue id, then the name, NUL-terminated when the writer behaved.
void readLabel(const unsigned char *chunk, size_t size, SoundMarkerList &list) {
    if (size < 4) return;
    uint32_t id = readLe32(chunk);
    const char *text = reinterpret_cast<const char *>(chunk + 4);
    size_t length = strnlen(text, size - 4);
    for (int i = 0; i < list.count; ++i) {
        SoundMarker &marker = list.markers[i];
        if (marker.id != id) continue;
        const size_t kept = length < sizeof marker.name ? length : wholeCharacters(text, sizeof marker.name - 1);
        memcpy(marker.name, text, kept);
        marker.name[kept] = '\0';
        marker.cut = kept < length;
    }
}

void readAdtl(const unsigned char *list, size_t size, SoundMarkerList &markers) {
    size_t at = 4; // past the 'adtl' form type
    while (at + 8 <= size) {
        const unsigned char *header = list + at;
        size_t chunkSize = readLe32(header + 4);
        if (chunkSize > size - at - 8) chunkSize = size - at - 8; // cut, not trusted
        if (isId(header, "labl")) readLabel(header + 8, chunkSize, markers);
        at += 8 + chunkSize + (chunkSize & 1);
    }
}
} // namespace

void sound_SortMarkers(SoundMarkerList &list) {
    std::stable_sort(list.markers, list.markers + list.count,
                     [](const SoundMarker &a, const SoundMarker &b) { return a.frame < b.frame; });
}

bool sound_ReadWavMarkers(const unsigned char *data, size_t size, SoundMarkerList &list) {
    list.count = 0;
    list.dropped = 0;
    if (!data || size < 12 || !isId(data, "RIFF") || !isId(data + 8, "WAVE")) return false;
    // The RIFF size is not trusted either way: some writers leave it 0 while streaming.
    size_t end = size;
    // Labels may come before or after the cue points; read the points first, then the names.
    for (int pass = 0; pass < 2; ++pass) {
        size_t at = 12;
        while (at + 8 <= end) {
            const unsigned char *header = data + at;
            size_t chunkSize = readLe32(header + 4);
            if (chunkSize > end - at - 8) chunkSize = end - at - 8;
            const unsigned char *body = header + 8;
            if (pass == 0 && isId(header, "cue ")) readCuePoints(body, chunkSize, list);
            if (pass == 1 && isId(header, "LIST") && chunkSize >= 4 && isId(body, "adtl"))
                readAdtl(body, chunkSize, list);
            at += 8 + chunkSize + (chunkSize & 1);
        }
    }
    sound_SortMarkers(list);
    return true;
}
