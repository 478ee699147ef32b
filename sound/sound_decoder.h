// Decoding of one music file held in memory: libsndfile for sampled formats (WAV, AIFF, FLAC,
// Ogg Vorbis, Opus, MP3), libopenmpt for tracker modules (MOD, XM, S3M, IT).
#pragma once
#include <cstddef>
#include <cstdint>

#include "sound/sound_markers.h"

struct sf_private_tag; // libsndfile's SNDFILE
struct openmpt_module;

constexpr int SOUND_DECODE_SCRATCH = 8192; // floats read per call before folding to stereo

enum SoundDecoderKind { SOUND_DECODER_NONE, SOUND_DECODER_SAMPLED, SOUND_DECODER_MODULE };

struct SoundDecoder {
    SoundDecoderKind kind = SOUND_DECODER_NONE;
    const unsigned char *data = nullptr; // the caller's copy of the file; must outlive the decoder
    size_t size = 0;
    int64_t cursor = 0;                  // read position of the in-memory file
    sf_private_tag *file = nullptr;
    openmpt_module *module = nullptr;
    int rate = 0;                        // frames per second it delivers
    int channels = 0;                    // channels in the file (delivered as stereo)
    int64_t frames = -1;                 // length in frames; -1 when not known
    double seconds = 0.0;                // a module's song length; 0 when not known
    float scratch[SOUND_DECODE_SCRATCH]; // interleaved file channels before folding
};

// Opens data[0..size) (not copied). Modules are rendered at moduleRate. False when neither
// decoder accepts the bytes.
bool sound_DecoderOpen(SoundDecoder &decoder, const unsigned char *data, size_t size, int moduleRate);

// Reads up to frames stereo frames (interleaved float, full scale 1.0) into out. Mono is copied
// to both sides; of more channels the first two are kept. Returns 0 at the end of the file.
int sound_DecoderRead(SoundDecoder &decoder, float *out, int frames);

// Moves to frame (0 = the start). False when the decoder cannot go there.
bool sound_DecoderSeek(SoundDecoder &decoder, int64_t frame);

// The module's current pattern order, -1 for sampled files.
int sound_DecoderOrder(const SoundDecoder &decoder);
// The file's format in words ("WAV (Microsoft), Signed 16 bit PCM", "FastTracker 2 module").
void sound_DecoderFormat(const SoundDecoder &decoder, char *text, size_t size);
// A module's order list: writes the pattern of each order (at most max of them) and returns
// the number of orders; 0 for sampled files.
int sound_DecoderOrderList(const SoundDecoder &decoder, int *patterns, int max);
// False once a module has played past its song's end (libopenmpt then renders a short fade).
bool sound_DecoderInSong(const SoundDecoder &decoder);

// The file's named sync points: WAV cue points with their labels, or the markers libsndfile
// reports for other formats (AIFF). Modules have none here (their orders are followed live).
void sound_DecoderMarkers(SoundDecoder &decoder, SoundMarkerList &list);

// A module's pattern order count, and the time in seconds at which order starts (the play
// position moves there). 0 and -1 for sampled files.
int sound_DecoderOrderCount(const SoundDecoder &decoder);
double sound_DecoderOrderStart(SoundDecoder &decoder, int order);

// A module's own tempo where it starts, in beats a minute (libopenmpt's estimate from its tempo,
// speed and rows a beat); 0 for sampled files, which have none.
double sound_DecoderTempo(const SoundDecoder &decoder);

void sound_DecoderClose(SoundDecoder &decoder);
