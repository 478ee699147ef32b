// libFuzzer target over the WAV marker reader: any bytes give a bounded, sorted list of
// terminated names, and never a read outside the input.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sound/sound_markers.h"

namespace {
SoundMarkerList list;
}

// libFuzzer hands over a heap copy of exactly size bytes, so AddressSanitizer sees any read past
// its end.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    sound_ReadWavMarkers(data, size, list);
    if (list.count < 0 || list.count > SOUND_MAX_MARKERS) abort();
    for (int i = 0; i < list.count; ++i) {
        if (memchr(list.markers[i].name, '\0', sizeof list.markers[i].name) == nullptr) abort();
        if (i > 0 && list.markers[i - 1].frame > list.markers[i].frame) abort();
    }
    return 0;
}
