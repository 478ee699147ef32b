// Our sound layer: the few stream calls the music handlers rely on (start at a mixing rate,
// open a looping stream from memory, one callback for sync points and the end, play on a free
// channel, volume 0..255, close), mixed by an SDL2 audio callback or, in capture mode, on the
// show's virtual clock.
#pragma once
#include <cstdint>

struct SoundStream;

// Called on the mixing thread with the sync point's name as data, or null at the stream's end.
// length is the name's length (0 at the end). The result is not looked at.
using SoundStreamCallback = signed char (*)(SoundStream *stream, void *data, int length, void *userData);

constexpr int SOUND_CHANNELS = 32;     // software channels mixed together
constexpr int SOUND_MAX_STREAMS = 16;  // streams open at once
constexpr int SOUND_FREE = -1;         // sound_StreamPlay: any free channel
constexpr int SOUND_MIN_RATE = 4000;   // mixing rates the layer accepts
constexpr int SOUND_MAX_RATE = 192000;
constexpr int SOUND_MAX_VOLUME = 255;

// Stream mode bits, with the values the music handler passes.
constexpr unsigned SOUND_LOOP_NORMAL = 0x2;     // the stream starts again at its end
constexpr unsigned SOUND_LOADMEMORY = 0x8000;   // data points at the file's bytes (required)
constexpr unsigned SOUND_STREAM_MODE = 0x28132; // 16 bits, signed, mono, loop, memory, accurate

// Starts the sound system at rate Hz with up to maxChannels channels (flags are ignored).
// Starting again at another rate reopens the device; open streams keep playing. Without an
// audio device the dummy driver is used (said once on the console). False for a rate outside
// SOUND_MIN_RATE..SOUND_MAX_RATE or when even the dummy driver fails.
bool sound_Init(int rate, int maxChannels, unsigned flags);

// Opens a stream over data[offset..offset+length), which must stay valid while the stream is
// open. Null when the layer is not started, the mode lacks SOUND_LOADMEMORY, the table is full
// or no decoder accepts the bytes.
SoundStream *sound_StreamOpen(const void *data, unsigned mode, int offset, int length);
bool sound_StreamSetEndCallback(SoundStream *stream, SoundStreamCallback callback, void *userData);
bool sound_StreamSetSyncCallback(SoundStream *stream, SoundStreamCallback callback, void *userData);

// Plays the stream from its start (held there while starts are held, see sound_HoldStarts) on
// channel (SOUND_FREE: the first free one) at full volume. A stream already playing moves to
// the new channel and starts again. Returns a non-zero channel handle, or 0.
int sound_StreamPlay(int channel, SoundStream *stream);
bool sound_SetVolume(int channel, int volume);
bool sound_StreamClose(SoundStream *stream);

// Stops the device (shutdown): nothing plays after it, streams stay open.
void sound_Close();

// Closes every open stream; the device and a running capture go on (live reload).
void sound_CloseStreams();

// The mixing rate of the output (0 before sound_Init), the SDL driver in use ("" without one).
int sound_MixingRate();
const char *sound_DriverName();

// Mixes frames stereo frames at the mixing rate into out, as the device callback does.
// Benchmarks and capture use it; with a device open it must not be called.
void sound_Mix(int16_t *out, int frames);

// Capture soundtrack: first and one-past-last output sample of frame k at the capture clock.
int64_t sound_CaptureSampleAt(long frame);

// Forgets every stream, channel and capture and stops SDL's audio (tests).
void sound_LayerReset();
