// Named sync points of a music file: WAV cue points ('cue ') with their names from the
// LIST/adtl/labl chunk, read from the file's bytes. Plain functions over bytes, no I/O.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int SOUND_MAX_MARKERS = 512;        // sync points kept per stream; later ones are dropped
constexpr size_t SOUND_MARKER_NAME_SIZE = 64; // longer names are cut

struct SoundMarker {
    uint32_t id;                        // cue point id, the key of its label
    uint64_t frame;                     // sample frame of the file at which it fires
    char name[SOUND_MARKER_NAME_SIZE];  // its label, or "cue <id>" when it has none
    bool cut;                           // the label was longer than the name holds
};

struct SoundMarkerList {
    int count = 0;
    int dropped = 0;                    // cue points past SOUND_MAX_MARKERS, not kept
    SoundMarker markers[SOUND_MAX_MARKERS];
};

// Reads the cue points of a RIFF/WAVE file held in data[0..size). Returns false when the bytes
// are not a RIFF/WAVE file (the list is then empty). A damaged chunk ends the walk; what was
// read before it is kept. The list comes back in firing order: by frame, ties in cue order.
bool sound_ReadWavMarkers(const unsigned char *data, size_t size, SoundMarkerList &list);

// Sorts a list into firing order (by frame, stable), as sound_ReadWavMarkers leaves it.
void sound_SortMarkers(SoundMarkerList &list);
