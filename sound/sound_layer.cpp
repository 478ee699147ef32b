// The sound layer's streams, channels and mixer, the SDL device that pulls the mix, and the
// capture soundtrack written on the show's virtual clock.
#include "sound/sound_layer.h"

#include <SDL.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "base/console.h"
#include "base/trace.h"
#include "script/text.h"
#include "sound/sound.h"
#include "sound/sound_decoder.h"
#include "state/engine_state.h"

constexpr int SOUND_BLOCK_FRAMES = 1024;  // frames decoded per refill and mixed per pass
constexpr int SOUND_ORDER_PROBE = 64;     // module frames rendered between order checks
constexpr int SOUND_DEVICE_FRAMES = 1024; // SDL buffer size in frames

struct SoundOrderEvent {
    int offset; // buffer frame at which the order starts
    int order;
};

struct SoundStream {
    bool used = false;
    unsigned mode = 0;
    SoundDecoder decoder;
    SoundMarkerList markers;
    SoundStreamCallback endCallback = nullptr;
    void *endUser = nullptr;
    SoundStreamCallback syncCallback = nullptr;
    void *syncUser = nullptr;
    int channel = -1;                 // channel index playing it, -1 when silent
    bool exhausted = false;           // nothing more to play (end without loop, or empty file)
    // The current pass.
    float buffer[SOUND_BLOCK_FRAMES * 2];   // decoded stereo frames not yet handed out
    int bufferCount = 0;
    int bufferPos = 0;
    int64_t passFrame = 0;            // file frames handed out in this pass
    int nextMarker = 0;               // first marker not yet fired in this pass
    SoundOrderEvent orders[SOUND_BLOCK_FRAMES / SOUND_ORDER_PROBE];
    int orderCount = 0;
    int nextOrder = 0;
    int lastOrder = -1;               // module order last reported; -1 at a pass start
    // Linear interpolation from the file rate to the mixing rate.
    int64_t phase = 0;                // position between current and next, in 1/mixing-rate steps
    float current[2] = {0, 0};
    float next[2] = {0, 0};
    bool primed = false;
    // Played while starts were held: silent at its start until released, then placed as far in
    // as the show has gone since heldAt.
    bool held = false;
    double heldAt = 0.0;
};

namespace {
struct SoundChannel {
    SoundStream *stream = nullptr; // null: free
    int volume = SOUND_MAX_VOLUME;
    int serial = 0;                // part of the handle, so a stale handle matches nothing
};

struct SoundCapture {
    bool active = false;
    char path[ENGINE_PATH_SIZE + 32] = ""; // the soundtrack, opened at the first frame; "" for none
    FILE *file = nullptr;            // null before the first frame, or once writing failed
    bool failed = false;             // the soundtrack could not be created or written
    int64_t fpsNum = 60, fpsDen = 1; // frames per second as a fraction
    int rate = 0;                    // fixed by the first sound_Init, 0 until then
    int64_t writtenFrames = 0;
    bool pending = false;            // frames captured before the rate was known (silence)
    long firstPending = 0, lastPending = 0;
};

struct SoundLayer {
    bool started = false;
    int rate = 0;                   // mixing rate
    SDL_AudioDeviceID device = 0;
    bool sdlStarted = false;        // SDL's audio subsystem is initialised
    bool onDummy = false;           // fell back to the dummy driver
    bool fallbackSaid = false;
    int serial = 0;
    bool holding = false;           // plays are held (a start time being fast-forwarded to)
    double holdClock = 0.0;         // the show clock the next held play happens at
    SoundChannel channels[SOUND_CHANNELS];
    SoundStream streams[SOUND_MAX_STREAMS];
    SoundCapture capture;
    float mix[SOUND_BLOCK_FRAMES * 2];
};

SoundLayer layer;

// The device thread mixes under SDL's device lock; the main thread takes it to change channels.
struct MixLock {
    MixLock() { if (layer.device) SDL_LockAudioDevice(layer.device); }
    ~MixLock() { if (layer.device) SDL_UnlockAudioDevice(layer.device); }
};

void fireSync(SoundStream &stream, const char *name) {
    if (stream.syncCallback)
        stream.syncCallback(&stream, const_cast<char *>(name), int(strlen(name)), stream.syncUser);
}

void startPass(SoundStream &stream, int64_t frame) {
    stream.bufferCount = stream.bufferPos = 0;
    stream.passFrame = frame;
    stream.nextMarker = 0;
    while (stream.nextMarker < stream.markers.count && stream.markers.markers[stream.nextMarker].frame < uint64_t(frame))
        ++stream.nextMarker;
    stream.orderCount = stream.nextOrder = 0;
    // Landing inside an order (a seek) reports nothing; a pass from the top reports order 0.
    stream.lastOrder = frame == 0 ? -1 : sound_DecoderOrder(stream.decoder);
    stream.primed = false;
    stream.phase = 0;
}

// Decodes the next block. Module blocks are rendered in small pieces and the order is read
// after each: libopenmpt moves to a new row as it starts rendering it, so a change is placed at
// the start of the piece in which it shows (at most SOUND_ORDER_PROBE frames early). The fade
// libopenmpt renders after the song's end already reports the order it would loop to; it is no
// order change.
int refill(SoundStream &stream) {
    stream.bufferPos = 0;
    stream.orderCount = stream.nextOrder = 0;
    if (stream.decoder.kind != SOUND_DECODER_MODULE) {
        stream.bufferCount = sound_DecoderRead(stream.decoder, stream.buffer, SOUND_BLOCK_FRAMES);
        return stream.bufferCount;
    }
    int done = 0;
    while (done < SOUND_BLOCK_FRAMES) {
        int got = sound_DecoderRead(stream.decoder, stream.buffer + 2 * done, SOUND_ORDER_PROBE);
        if (got <= 0) break;
        int order = sound_DecoderOrder(stream.decoder);
        if (order != stream.lastOrder && sound_DecoderInSong(stream.decoder)) {
            stream.orders[stream.orderCount++] = {done, order};
            stream.lastOrder = order;
        }
        done += got;
    }
    stream.bufferCount = done;
    return done;
}

// The stream reached its end: markers at the very end fire, then the end callback; a looping
// stream starts its next pass.
bool endOfPass(SoundStream &stream) {
    const SoundMarkerList &list = stream.markers;
    while (stream.nextMarker < list.count && list.markers[stream.nextMarker].frame <= uint64_t(stream.passFrame))
        fireSync(stream, list.markers[stream.nextMarker++].name);
    if (stream.endCallback) stream.endCallback(&stream, nullptr, 0, stream.endUser);
    bool wasEmpty = stream.passFrame == 0;
    if (!(stream.mode & SOUND_LOOP_NORMAL) || wasEmpty || !sound_DecoderSeek(stream.decoder, 0)) {
        stream.exhausted = true;
        return false;
    }
    // The interpolation runs on across the loop: the pass's last frame leads to its first.
    const bool primed = stream.primed;
    const int64_t phase = stream.phase;
    startPass(stream, 0);
    stream.primed = primed;
    stream.phase = phase;
    return refill(stream) > 0 || (stream.exhausted = true, false);
}

// Hands out the next file frame, firing the sync points that sit on it. False when the stream
// has nothing more to play.
bool pullFrame(SoundStream &stream, float out[2]) {
    if (stream.exhausted) return false;
    if (stream.bufferPos >= stream.bufferCount && refill(stream) == 0 && !endOfPass(stream)) return false;
    const SoundMarkerList &list = stream.markers;
    while (stream.nextMarker < list.count && list.markers[stream.nextMarker].frame <= uint64_t(stream.passFrame))
        fireSync(stream, list.markers[stream.nextMarker++].name);
    while (stream.nextOrder < stream.orderCount && stream.orders[stream.nextOrder].offset <= stream.bufferPos) {
        char name[32];
        snprintf(name, sizeof name, "order %d", stream.orders[stream.nextOrder++].order);
        fireSync(stream, name);
    }
    out[0] = stream.buffer[2 * stream.bufferPos];
    out[1] = stream.buffer[2 * stream.bufferPos + 1];
    ++stream.bufferPos;
    ++stream.passFrame;
    return true;
}

// One output frame at the mixing rate; the file's own rate is bridged by linear interpolation.
bool streamFrame(SoundStream &stream, float out[2]) {
    int from = stream.decoder.rate, to = layer.rate;
    if (from == to) return pullFrame(stream, out);
    if (!stream.primed) {
        if (!pullFrame(stream, stream.current)) return false;
        if (!pullFrame(stream, stream.next)) std::copy(stream.current, stream.current + 2, stream.next);
        stream.primed = true;
        stream.phase = 0;
    }
    while (stream.phase >= to) {
        stream.phase -= to;
        std::copy(stream.next, stream.next + 2, stream.current);
        if (!pullFrame(stream, stream.next)) return false;
    }
    float t = float(stream.phase) / float(to);
    out[0] = stream.current[0] + (stream.next[0] - stream.current[0]) * t;
    out[1] = stream.current[1] + (stream.next[1] - stream.current[1]) * t;
    stream.phase += from;
    return true;
}

void stopChannel(int index) {
    SoundChannel &channel = layer.channels[index];
    if (channel.stream) channel.stream->channel = -1;
    channel.stream = nullptr;
}

void mixBlock(int16_t *out, int frames) {
    std::fill(layer.mix, layer.mix + 2 * frames, 0.0f);
    for (int c = 0; c < SOUND_CHANNELS; ++c) {
        SoundChannel &channel = layer.channels[c];
        if (!channel.stream || channel.stream->held) continue;
        float gain = float(channel.volume) / float(SOUND_MAX_VOLUME);
        for (int i = 0; i < frames; ++i) {
            float frame[2];
            if (!streamFrame(*channel.stream, frame)) {
                stopChannel(c);
                break;
            }
            layer.mix[2 * i] += frame[0] * gain;
            layer.mix[2 * i + 1] += frame[1] * gain;
        }
    }
    for (int i = 0; i < 2 * frames; ++i) {
        long value = lrintf(layer.mix[i] * 32768.0f);
        out[i] = int16_t(std::clamp(value, -32768L, 32767L));
    }
}

void audioCallback(void *, Uint8 *bytes, int length) {
    sound_Mix(reinterpret_cast<int16_t *>(bytes), length / int(2 * sizeof(int16_t)));
}

void closeDevice() {
    if (layer.device) SDL_CloseAudioDevice(layer.device);
    layer.device = 0;
}

SDL_AudioDeviceID openDevice(int rate) {
    if (!layer.sdlStarted) {
        // SDL would take SIGINT and SIGTERM for an event queue nobody reads; the engine's own
        // handlers end the show.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
        layer.sdlStarted = true;
    }
    SDL_AudioSpec want = {};
    SDL_AudioSpec have = {};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = SOUND_DEVICE_FRAMES;
    want.callback = audioCallback;
    // No changes allowed: SDL converts to whatever the hardware runs at.
    return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
}

// Without a sound card or server the show plays on silently, on the same clock, through SDL's
// dummy driver, which still pulls the mix in real time so the callbacks fire.
bool startDevice(int rate) {
    layer.device = openDevice(rate);
    if (!layer.device && !layer.onDummy) {
        char reason[256];
        text_CopyBounded(reason, SDL_GetError());
        if (layer.sdlStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        layer.sdlStarted = false;
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        layer.onDummy = true;
        layer.device = openDevice(rate);
        if (layer.device && !layer.fallbackSaid) {
            console_Printf("no audio device (%s): the music plays silently on the dummy driver\n", reason);
            layer.fallbackSaid = true;
        }
    }
    if (!layer.device) return false;
    SDL_PauseAudioDevice(layer.device, 0);
    return true;
}

void streamSeek(SoundStream &stream, double seconds) {
    int64_t frame = seconds > 0 ? int64_t(llround(seconds * stream.decoder.rate)) : 0;
    if (stream.decoder.frames > 0) frame %= stream.decoder.frames;
    if (!sound_DecoderSeek(stream.decoder, frame)) {
        frame = 0;
        sound_DecoderSeek(stream.decoder, 0);
    }
    stream.exhausted = false;
    startPass(stream, frame);
}

// Capture: the soundtrack file is a 16-bit stereo WAV whose sizes are set after every frame's
// sound, so whenever the run stops the file holds a playable soundtrack up to there.
void putLe(unsigned char *at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void writeWavHeader(FILE *file, int rate, int64_t frames) {
    unsigned char header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    uint32_t dataBytes = uint32_t(std::min<int64_t>(frames * 4, 0xFFFFFFFFll - 36));
    putLe(header + 4, 36 + dataBytes, 4);
    putLe(header + 16, 16, 4);
    putLe(header + 20, 1, 2);         // PCM
    putLe(header + 22, 2, 2);         // stereo
    putLe(header + 24, uint32_t(rate), 4);
    putLe(header + 28, uint32_t(rate) * 4, 4);
    putLe(header + 32, 4, 2);
    putLe(header + 34, 16, 2);
    memcpy(header + 36, "data", 4);
    putLe(header + 40, dataBytes, 4);
    fseek(file, 0, SEEK_SET);
    fwrite(header, 1, sizeof header, file);
    fseek(file, 0, SEEK_END);
}

// Stops writing the soundtrack after a failure, said once with its reason; the music clock goes on.
void captureFail(const char *operation, const char *what, int error) {
    SoundCapture &capture = layer.capture;
    char detail[sizeof capture.path + 160];
    snprintf(detail, sizeof detail, "the soundtrack %s %s: %s", capture.path, what, strerror(error));
    trace_Error(operation, detail);
    if (capture.file) fclose(capture.file);
    capture.file = nullptr;
    capture.failed = true;
}

// The sound written so far on disk with a header that counts it: a full disk or a signal leaves
// a playable file.
void captureSettle() {
    SoundCapture &capture = layer.capture;
    if (!capture.file) return;
    if (fflush(capture.file) != 0) return captureFail("sound_CaptureFrame", "could not be written", errno);
    writeWavHeader(capture.file, capture.rate ? capture.rate : 44100, capture.writtenFrames);
    if (fflush(capture.file) != 0) captureFail("sound_CaptureFrame", "could not be written", errno);
}

void captureWrite(const int16_t *samples, int frames) {
    if (layer.capture.file) {
        unsigned char bytes[SOUND_BLOCK_FRAMES * 4];
        for (int i = 0; i < 2 * frames; ++i) putLe(bytes + 2 * i, uint16_t(samples[i]), 2);
        if (fwrite(bytes, 4, size_t(frames), layer.capture.file) != size_t(frames))
            captureFail("sound_CaptureFrame", "could not be written", errno);
    }
    layer.capture.writtenFrames += frames;
}

void captureMix(int64_t frames, bool silent) {
    int16_t block[SOUND_BLOCK_FRAMES * 2];
    while (frames > 0) {
        int now = int(std::min<int64_t>(frames, SOUND_BLOCK_FRAMES));
        if (silent) std::fill(block, block + 2 * now, int16_t(0));
        else mixBlock(block, now);
        captureWrite(block, now);
        frames -= now;
    }
}

// The rate is known once the music starts the sound system; frames captured before that were
// silent and are written now at that rate.
void captureFixRate(int rate) {
    SoundCapture &capture = layer.capture;
    capture.rate = rate;
    if (!capture.pending) return;
    capture.pending = false;
    captureMix(sound_CaptureSampleAt(capture.lastPending + 1) - sound_CaptureSampleAt(capture.firstPending), true);
}
} // namespace

bool sound_Init(int rate, int maxChannels, unsigned) {
    if (rate < SOUND_MIN_RATE || rate > SOUND_MAX_RATE || maxChannels < 1) return false;
    if (layer.capture.active) {
        // The soundtrack keeps the rate it started with; streams are resampled to it.
        if (layer.capture.rate == 0) captureFixRate(rate);
        layer.rate = layer.capture.rate;
        layer.started = true;
        return true;
    }
    if (layer.started && layer.device && layer.rate == rate) return true;
    closeDevice();
    layer.rate = rate;
    layer.started = startDevice(rate);
    return layer.started;
}

SoundStream *sound_StreamOpen(const void *data, unsigned mode, int offset, int length) {
    if (!layer.started || !data || !(mode & SOUND_LOADMEMORY) || offset < 0 || length <= 0) return nullptr;
    SoundStream *free = nullptr;
    for (SoundStream &stream : layer.streams)
        if (!stream.used) { free = &stream; break; }
    if (!free) return nullptr;
    SoundStream &stream = *free;
    const auto *bytes = static_cast<const unsigned char *>(data) + offset;
    if (!sound_DecoderOpen(stream.decoder, bytes, size_t(length), layer.rate)) return nullptr;
    sound_DecoderMarkers(stream.decoder, stream.markers);
    stream.used = true;
    stream.mode = mode;
    stream.endCallback = stream.syncCallback = nullptr;
    stream.endUser = stream.syncUser = nullptr;
    stream.channel = -1;
    stream.exhausted = false;
    startPass(stream, 0);
    return &stream;
}

bool sound_StreamSetEndCallback(SoundStream *stream, SoundStreamCallback callback, void *userData) {
    if (!stream || !stream->used) return false;
    MixLock lock;
    stream->endCallback = callback;
    stream->endUser = userData;
    return true;
}

bool sound_StreamSetSyncCallback(SoundStream *stream, SoundStreamCallback callback, void *userData) {
    if (!stream || !stream->used) return false;
    MixLock lock;
    stream->syncCallback = callback;
    stream->syncUser = userData;
    return true;
}

int sound_StreamPlay(int channel, SoundStream *stream) {
    if (!layer.started || !stream || !stream->used || channel < SOUND_FREE || channel >= SOUND_CHANNELS) return 0;
    MixLock lock;
    if (stream->channel >= 0) stopChannel(stream->channel);
    int index = channel;
    if (index == SOUND_FREE) {
        for (index = 0; index < SOUND_CHANNELS && layer.channels[index].stream; ++index) {
        }
        if (index == SOUND_CHANNELS) return 0;
    }
    stopChannel(index);
    streamSeek(*stream, 0.0);
    stream->held = layer.holding;
    stream->heldAt = layer.holdClock;
    SoundChannel &target = layer.channels[index];
    target.stream = stream;
    target.volume = SOUND_MAX_VOLUME;
    target.serial = ++layer.serial & 0xFFFFF;
    if (target.serial == 0) target.serial = layer.serial = 1;
    stream->channel = index;
    return target.serial << 8 | index;
}

bool sound_SetVolume(int channel, int volume) {
    int index = channel & 0xFF;
    if (channel <= 0 || index >= SOUND_CHANNELS) return false;
    MixLock lock;
    SoundChannel &target = layer.channels[index];
    if (!target.stream || target.serial != (channel >> 8)) return false;
    target.volume = std::clamp(volume, 0, SOUND_MAX_VOLUME);
    return true;
}

bool sound_StreamClose(SoundStream *stream) {
    if (!stream || !stream->used) return false;
    {
        MixLock lock;
        if (stream->channel >= 0) stopChannel(stream->channel);
        stream->used = false;
    }
    sound_DecoderClose(stream->decoder);
    stream->markers.count = 0;
    return true;
}

void sound_Close() { closeDevice(); }

void sound_CloseStreams() {
    for (SoundStream &stream : layer.streams)
        if (stream.used) sound_StreamClose(&stream);
}

int sound_MixingRate() { return layer.started ? layer.rate : 0; }

const char *sound_DriverName() {
    const char *name = layer.sdlStarted ? SDL_GetCurrentAudioDriver() : nullptr;
    return name ? name : "";
}

void sound_Mix(int16_t *out, int frames) {
    while (frames > 0) {
        int now = std::min(frames, SOUND_BLOCK_FRAMES);
        mixBlock(out, now);
        out += 2 * now;
        frames -= now;
    }
}

void sound_Pause(bool paused) {
    if (layer.device) SDL_PauseAudioDevice(layer.device, paused ? 1 : 0);
}

void sound_HoldStarts(double clock) {
    MixLock lock;
    layer.holding = true;
    layer.holdClock = clock;
}

void sound_ReleaseStarts(double clock) {
    MixLock lock;
    layer.holding = false;
    for (SoundStream &stream : layer.streams) {
        if (!stream.used || !stream.held) continue;
        stream.held = false;
        if (stream.channel >= 0) streamSeek(stream, clock - stream.heldAt);
    }
}

int64_t sound_CaptureSampleAt(long frame) {
    const SoundCapture &capture = layer.capture;
    int rate = capture.rate ? capture.rate : layer.rate;
    if (frame <= 0 || rate <= 0) return 0;
    // Rounded to the nearest sample, the same way for every boundary, so slices tile exactly.
    return (int64_t(frame) * rate * capture.fpsDen * 2 + capture.fpsNum) / (2 * capture.fpsNum);
}

void sound_CaptureBegin(const char *wavPath, double fps) {
    if (layer.capture.active) sound_CaptureEnd();
    closeDevice(); // nothing is played aloud while capturing
    SoundCapture &capture = layer.capture;
    capture = SoundCapture();
    capture.active = true;
    // fps as a fraction in thousandths, so 29.97 and 60 both give exact sample boundaries.
    int64_t num = fps > 0 && fps < 1e6 ? llround(fps * 1000.0) : 60000;
    int64_t common = std::gcd(num, int64_t(1000));
    capture.fpsNum = num / common;
    capture.fpsDen = 1000 / common;
    capture.rate = layer.started ? layer.rate : 0;
    // mixing on the virtual clock with no file (benchmarks) when null
    if (wavPath && text_CopyBounded(capture.path, wavPath) >= sizeof capture.path) {
        captureFail("sound_CaptureBegin", "cannot be created", ENAMETOOLONG);
    }
}

void sound_CaptureFrame(long frame) {
    SoundCapture &capture = layer.capture;
    if (!capture.active || frame < 0) return;
    // Created at the first frame, when an earlier capture's soundtrack has made way for it.
    if (capture.path[0] && !capture.file && !capture.failed) {
        capture.file = fopen(capture.path, "wb");
        if (!capture.file) captureFail("sound_CaptureBegin", "cannot be created", errno);
        else writeWavHeader(capture.file, capture.rate ? capture.rate : 44100, capture.writtenFrames);
    }
    if (capture.rate == 0) {
        if (!capture.pending) capture.firstPending = frame;
        capture.pending = true;
        capture.lastPending = frame;
        captureSettle();
        return;
    }
    captureMix(sound_CaptureSampleAt(frame + 1) - sound_CaptureSampleAt(frame), false);
    captureSettle();
}

bool sound_CaptureFailed() { return layer.capture.failed; }

bool sound_CaptureEnd() {
    SoundCapture &capture = layer.capture;
    if (!capture.active) return true;
    if (capture.rate == 0) captureFixRate(44100);
    captureSettle();
    if (capture.file && fclose(capture.file) != 0) {
        capture.file = nullptr;
        captureFail("sound_CaptureEnd", "could not be written", errno);
    }
    capture.file = nullptr;
    const bool written = !capture.failed;
    capture = SoundCapture();
    return written;
}

void sound_LayerReset() {
    closeDevice();
    for (SoundStream &stream : layer.streams) {
        sound_DecoderClose(stream.decoder);
        stream.used = false;
        stream.channel = -1;
    }
    for (SoundChannel &channel : layer.channels) channel = SoundChannel();
    if (layer.capture.file) fclose(layer.capture.file);
    layer.capture = SoundCapture();
    if (layer.sdlStarted) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    layer.started = false;
    layer.sdlStarted = false;
    layer.onDummy = false;
    layer.fallbackSaid = false;
    layer.rate = 0;
    layer.holding = false;
}
