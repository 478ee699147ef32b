// libFuzzer target over the music decoders from memory: libsndfile through our virtual I/O
// (WAV, AIFF, FLAC, Ogg, MP3) and libopenmpt (modules). Whatever opens is read a little, asked for
// its markers, sought back and forth, and closed; reads stay within what was asked for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sound/sound_decoder.h"

namespace {
constexpr int CHUNK = 1024;
SoundDecoder decoder; // its scratch block is large: kept off the stack
SoundMarkerList markers;
float out[2 * CHUNK];

void readSome(int chunks) {
    for (int i = 0; i < chunks; i++) {
        int got = sound_DecoderRead(decoder, out, CHUNK);
        if (got < 0 || got > CHUNK) abort();
        if (got < CHUNK) break;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!sound_DecoderOpen(decoder, data, size, 8000)) return 0;
    if (decoder.rate < 1 || decoder.channels < 1) abort();
    sound_DecoderMarkers(decoder, markers);
    if (markers.count < 0 || markers.count > SOUND_MAX_MARKERS) abort();
    for (int i = 0; i < markers.count; i++)
        if (!memchr(markers.markers[i].name, '\0', sizeof markers.markers[i].name)) abort();
    readSome(4);
    sound_DecoderOrder(decoder);
    sound_DecoderInSong(decoder);
    if (decoder.frames > 0) sound_DecoderSeek(decoder, decoder.frames / 2);
    readSome(1);
    sound_DecoderSeek(decoder, 0);
    readSome(1);
    sound_DecoderClose(decoder);
    return 0;
}
