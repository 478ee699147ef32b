// The music handlers "@initsound" and "@playsound", the stream event callback and the close at
// shutdown, on top of our sound layer.
#include "sound/sound.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "base/console.h"
#include "base/trace.h"
#include "script/script.h"
#include "script/text.h"
#include "sound/sound_decoder.h"
#include "sound/sound_layer.h"
#include "state/engine_state.h"

namespace {
constexpr int DEFAULT_RATE = 44100;
constexpr size_t MAX_MUSIC_BYTES = size_t(1) << 30; // larger files are refused rather than allocated

struct MusicState {
    SoundStream *stream = nullptr;                   // music stream handle; each init replaces it
    int channel = -1;                                // music channel from the last play
    std::vector<uint8_t> buffers[SOUND_MAX_STREAMS]; // whole music files, read by their streams
    int bufferCount = 0;
    char paths[SOUND_MAX_STREAMS][ENGINE_PATH_SIZE] = {}; // each buffer's file, as it was read
    EngineFileStamp stamps[SOUND_MAX_STREAMS];
    SoundCueList cues;                               // sync points of the last music opened
};

MusicState music;
// The buffers of the show before a replay (soundStream_Stop): a file that has not changed since
// is taken from here instead of being read again.
MusicState spare;

bool takeSpare(const char *path, const EngineFileStamp &stamp, std::vector<uint8_t> *bytes) {
    for (int i = 0; i < spare.bufferCount; ++i) {
        if (spare.stamps[i] == stamp && strcmp(spare.paths[i], path) == 0 && !spare.buffers[i].empty()) {
            bytes->swap(spare.buffers[i]);
            return true;
        }
    }
    return false;
}

// On the loader thread: the music file's bytes, read ahead of its line.
void *prepareMusic(const char *path, int, size_t *bytes) {
    auto *read = new std::vector<uint8_t>;
    if (!engine_ReadFile(path, MAX_MUSIC_BYTES, read)) {
        delete read;
        return nullptr;
    }
    *bytes = read->size();
    return read;
}

void discardMusic(void *data) { delete static_cast<std::vector<uint8_t> *>(data); }

bool takePrepared(const char *path, std::vector<uint8_t> *bytes);

// Runs on the mixing thread: touches no engine state, only prints its whole line at once.
signed char streamEvent(SoundStream *, void *data, int, void *) {
    if (data) console_Printf("\nSYNCHPOINT : \"%s\"\n", static_cast<const char *>(data));
    else console_Printf("\nSTREAM ENDED!!\n");
    return 1;
}

// False when the rate is too large for an int (with the range error line).
bool mixingRate(int *rate) {
    if (!engine_ParamInt(2, "soundStream_Init", "mixing rate", rate)) return false;
    if (*rate != 0) return true;
    console_Printf("frequency not found, defaulting to 44100\n");
    *rate = DEFAULT_RATE;
    return true;
}

void reportMissing(const char *path) {
    console_Printf("Error!\n");
    console_Printf("File %s Not Found\n", path);
    trace_Write("- _Vortan_ \terror on soundStream_Init : file error\n");
}

// A file that is there but that no decoder accepts: reported instead of a null stream.
void reportUndecodable(const char *path) {
    console_Printf("Error!\n");
    console_Printf("File %s Not Decoded\n", path);
    trace_Write("- _Vortan_ \terror on soundStream_Init : decode error\n");
}

// Every earlier stream plays on with its buffer, so their number is bounded by the layer's table.
void reportTooMany(const char *path) {
    console_Printf("Error!\n");
    console_Printf("File %s Not Opened: %d music streams are open\n", path, SOUND_MAX_STREAMS);
    trace_Write("- _Vortan_ \terror on soundStream_Init : too many streams\n");
}
} // namespace

const LoaderKind MUSIC_LOADER_KIND = {"music", prepareMusic, discardMusic};

namespace {
bool takePrepared(const char *path, std::vector<uint8_t> *bytes) {
    auto *read = static_cast<std::vector<uint8_t> *>(loader_Take(script_CurrentLine(), &MUSIC_LOADER_KIND, path, 0));
    if (!read) return false;
    bytes->swap(*read);
    delete read;
    return true;
}
} // namespace

void soundStream_Init() {
    int rate = 0;
    if (!mixingRate(&rate)) return;
    char path[ENGINE_PATH_SIZE];
    bool pathFits = engine_BuildPath(path, sizeof path, script_Param(1), "soundStream_Init");
    if (!sound_Init(rate, SOUND_CHANNELS, 0)) {
        console_Printf("Error in init\n");
        trace_Write("- _Vortan_ \terror on soundStream_Init : init error\n");
        return;
    }
    const EngineFileStamp stamp = engine_FileStamp(path);
    if (pathFits) engine_NoteAsset(path, stamp);
    std::vector<uint8_t> bytes;
    if (!pathFits || (!takeSpare(path, stamp, &bytes) && !takePrepared(path, &bytes) &&
                      !engine_ReadFile(path, MAX_MUSIC_BYTES, &bytes)))
        return reportMissing(pathFits ? path : script_Param(1));
    // From here on a failure replaces the handle with the failed result, as an open that fails
    // does, so a later "@playsound" reports it rather than restarting earlier music.
    if (music.bufferCount == SOUND_MAX_STREAMS) {
        music.stream = nullptr;
        return reportTooMany(path);
    }
    // The stream reads from its buffer for as long as it lives: the buffer moves into the table
    // first (a moved vector keeps its block), and leaves it again if no decoder takes the file.
    std::vector<uint8_t> &kept = music.buffers[music.bufferCount];
    kept = std::move(bytes);
    SoundStream *stream = sound_StreamOpen(kept.data(), SOUND_STREAM_MODE, 0, int(kept.size()));
    music.stream = stream;
    if (!stream) {
        kept = std::vector<uint8_t>();
        return reportUndecodable(path);
    }
    text_CopyBounded(music.paths[music.bufferCount], path);
    music.stamps[music.bufferCount] = stamp;
    music.bufferCount++;
    sound_ReadCues(kept.data(), kept.size(), music.cues);
    console_Printf("\n_.________ Opening Stream\n");
    sound_StreamSetEndCallback(stream, streamEvent, nullptr);
    sound_StreamSetSyncCallback(stream, streamEvent, nullptr);
}

bool sound_ReadCues(const unsigned char *data, size_t size, SoundCueList &list) {
    static SoundDecoder decoder; // its scratch block is large: kept off the stack
    static SoundMarkerList markers;
    list.count = list.cutNames = list.dropped = 0;
    list.bpm = 0.0;
    if (!sound_DecoderOpen(decoder, data, size, DEFAULT_RATE)) return false;
    list.bpm = sound_DecoderTempo(decoder); // read at the start, before the orders move the position
    const int orders = sound_DecoderOrderCount(decoder);
    for (int order = 0; order < orders && list.count < SOUND_MAX_MARKERS; ++order) {
        SoundCue &cue = list.cues[list.count++];
        snprintf(cue.name, sizeof cue.name, "order%d", order);
        cue.seconds = sound_DecoderOrderStart(decoder, order);
    }
    if (orders == 0 && decoder.rate > 0) {
        sound_DecoderMarkers(decoder, markers);
        list.dropped = markers.dropped;
        for (int i = 0; i < markers.count; ++i) {
            SoundCue &cue = list.cues[list.count++];
            text_CopyBounded(cue.name, markers.markers[i].name);
            cue.seconds = double(markers.markers[i].frame) / decoder.rate;
            list.cutNames += markers.markers[i].cut;
        }
    }
    sound_DecoderClose(decoder);
    return true;
}

const SoundCueList &sound_MusicCues() { return music.cues; }

void soundStream_Play() {
    music.channel = sound_StreamPlay(SOUND_FREE, music.stream);
    if (music.channel != 0) {
        sound_SetVolume(music.channel, SOUND_MAX_VOLUME);
        console_Printf("\n_.________ Playing soundStream\n");
    } else {
        trace_Write("- _Vortan_ \terror on soundStream_Play\n");
    }
}

void soundStream_Close() {
    sound_StreamClose(music.stream);
    music.stream = nullptr;
    // The device stops too, so no mixing thread outlives the shutdown that follows.
    sound_Close();
    console_Printf("\n_.________ Closing soundStream\n");
    trace_Write("- _Vortan_ \tclosing stream\n");
    console_Printf("\n_.________ Closing Stream\n");
}

void soundStream_Stop() {
    sound_CloseStreams();
    static MusicState empty; // the record is large: kept off the stack
    std::swap(spare, music);
    music = empty;
}

void sound_Reset() {
    sound_LayerReset();
    static MusicState empty;
    music = empty;
    spare = empty;
}
