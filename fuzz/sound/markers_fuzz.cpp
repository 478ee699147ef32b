// libFuzzer target over the WAV marker reader: any bytes give a bounded, sorted list of
// terminated names, and never a read outside the input.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sound/sound_markers.h"

namespace {
SoundMarkerList list;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // A copy of exactly the input's size, so AddressSanitizer sees any read past its end.
    auto *copy = static_cast<unsigned char *>(malloc(size ? size : 1));
    if (size) memcpy(copy, data, size);
    sound_ReadWavMarkers(copy, size, list);
    free(copy);
    if (list.count < 0 || list.count > SOUND_MAX_MARKERS) abort();
    for (int i = 0; i < list.count; ++i) {
        if (memchr(list.markers[i].name, '\0', sizeof list.markers[i].name) == nullptr) abort();
        if (i > 0 && list.markers[i - 1].frame > list.markers[i].frame) abort();
    }
    return 0;
}
