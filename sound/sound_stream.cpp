// The music handlers "@initsound" and "@playsound", the stream event callback and the close at
// shutdown, on top of our sound layer.
#include "sound/sound.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "runtime/engine_state.h"
#include "script/script.h"
#include "sound/sound_layer.h"
#include "startup/console.h"
#include "startup/trace.h"

namespace {
constexpr int DEFAULT_RATE = 44100;
constexpr size_t MAX_MUSIC_BYTES = size_t(1) << 30; // larger files are refused rather than allocated

struct MusicState {
    SoundStream *stream = nullptr;                   // music stream handle; each init replaces it
    int channel = -1;                                // music channel from the last play
    std::vector<uint8_t> buffers[SOUND_MAX_STREAMS]; // whole music files, read by their streams
    int bufferCount = 0;
};

MusicState music;

// Runs on the mixing thread: touches no engine state, only prints its whole line at once.
signed char streamEvent(SoundStream *, void *data, int, void *) {
    if (data) console_Printf("\nSYNCHPOINT : \"%s\"\n", static_cast<const char *>(data));
    else console_Printf("\nSTREAM ENDED!!\n");
    return 1;
}

int mixingRate() {
    int rate = atoi(script_Param(2));
    if (rate != 0) return rate;
    console_Printf("frequency not found, defaulting to 44100\n");
    return DEFAULT_RATE;
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

void soundStream_Init() {
    int rate = mixingRate();
    char path[ENGINE_PATH_SIZE];
    bool pathFits = engine_BuildPath(path, sizeof path, script_Param(1), "soundStream_Init");
    if (!sound_Init(rate, SOUND_CHANNELS, 0)) {
        console_Printf("Error in init\n");
        trace_Write("- _Vortan_ \terror on soundStream_Init : init error\n");
        return;
    }
    std::vector<uint8_t> bytes;
    if (!pathFits || !engine_ReadFile(path, MAX_MUSIC_BYTES, &bytes))
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
    music.bufferCount++;
    console_Printf("\n_.________ Opening Stream\n");
    sound_StreamSetEndCallback(stream, streamEvent, nullptr);
    sound_StreamSetSyncCallback(stream, streamEvent, nullptr);
}

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
    music = MusicState();
}

void sound_Reset() {
    sound_LayerReset();
    music = MusicState();
}
