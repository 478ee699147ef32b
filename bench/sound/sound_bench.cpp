// Cost of the music stream as a fraction of real time: decoding and mixing one minute of the
// show's track in each format, and writing a one-minute capture soundtrack at 60 frames a second.
// rt_percent is the CPU time of one minute of music in percent of that minute.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sndfile.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "sound/sound.h"
#include "sound/sound_layer.h"
#include "tools/musicgen/musicgen.h"

namespace {
constexpr int RATE = 48000; // Opus only takes 48000 among the usual rates
constexpr double SECONDS = 60.0;

std::string readFile(const std::string &path) {
    std::string bytes;
    FILE *file = fopen(path.c_str(), "rb");
    if (!file) return bytes;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    fclose(file);
    return bytes;
}

std::string encode(const MusicTrack &track, int format) {
    char path[] = "/tmp/vortan-sound-bench-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    SF_INFO info = {};
    info.samplerate = track.rate;
    info.channels = 2;
    info.format = format;
    SNDFILE *file = sf_open(path, SFM_WRITE, &info);
    if (file) {
        std::vector<float> floats(track.samples.begin(), track.samples.end());
        for (float &v : floats) v /= 32768.0f;
        // In pieces: libvorbis crashes when handed a minute in one call.
        for (size_t at = 0; at < floats.size(); at += 2 * 4096)
            sf_writef_float(file, floats.data() + at, sf_count_t(std::min<size_t>(4096, (floats.size() - at) / 2)));
        sf_close(file);
    }
    std::string bytes = readFile(path);
    unlink(path);
    return bytes;
}

// A four-channel module of eight 64-row patterns at speed 6: 61 seconds.
std::string minuteMod() {
    std::string mod(20, '\0');
    for (int s = 0; s < 31; ++s) {
        std::string header(30, '\0');
        if (s == 0) {
            header[23] = 32; // 32 words
            header[25] = 64;
            header[29] = 32; // looped whole
        }
        mod += header;
    }
    mod.push_back(8);
    mod.push_back(char(127));
    std::string orders(128, '\0');
    for (int i = 0; i < 8; ++i) orders[size_t(i)] = char(i);
    mod += orders + "M.K.";
    const int periods[] = {428, 381, 339, 320, 285, 254, 226, 214};
    for (int pattern = 0; pattern < 8; ++pattern) {
        std::string cells(64 * 16, '\0');
        for (int row = 0; row < 64; row += 2) {
            for (int channel = 0; channel < 4; ++channel) {
                int period = periods[(pattern + row / 2 + channel * 2) % 8] * (channel == 0 ? 2 : 1);
                auto *cell = reinterpret_cast<unsigned char *>(&cells[size_t(row * 16 + channel * 4)]);
                cell[0] = period >> 8;
                cell[1] = period & 0xFF;
                cell[2] = 0x10;
            }
        }
        mod += cells;
    }
    for (int i = 0; i < 64; ++i) mod.push_back(char(i < 32 ? 90 : -90));
    return mod;
}

const std::map<std::string, std::string> &files() {
    static std::map<std::string, std::string> all;
    if (all.empty()) {
        MusicTrack track = musicgen_RenderTrack(SECONDS, RATE);
        all["wav"] = musicgen_WavBytes(track.samples.data(), track.samples.size() / 2, 2, RATE, track.cues);
        MusicTrack track44 = musicgen_RenderTrack(SECONDS, 44100);
        all["wav44100"] = musicgen_WavBytes(track44.samples.data(), track44.samples.size() / 2, 2, 44100, track44.cues);
        all["aiff"] = encode(track, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
        all["flac"] = encode(track, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
        all["ogg"] = encode(track, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
        all["opus"] = encode(track, SF_FORMAT_OGG | SF_FORMAT_OPUS);
        all["mp3"] = encode(track, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
        all["mod"] = minuteMod();
    }
    return all;
}

void BM_DecodeAndMixOneMinute(benchmark::State &state, const char *format) {
    const std::string &bytes = files().at(format);
    std::vector<int16_t> out(4096 * 2);
    const long frames = long(SECONDS * RATE);
    for (auto _ : state) {
        sound_Reset();
        sound_CaptureBegin(nullptr, 60.0); // mixing on the virtual clock, no device, no file
        sound_Init(RATE, SOUND_CHANNELS, 0);
        SoundStream *stream = sound_StreamOpen(bytes.data(), SOUND_STREAM_MODE, 0, int(bytes.size()));
        if (!stream || sound_StreamPlay(SOUND_FREE, stream) == 0) {
            state.SkipWithError("the stream does not open");
            break;
        }
        for (long done = 0; done < frames; done += 4096) sound_Mix(out.data(), int(std::min(4096L, frames - done)));
        benchmark::DoNotOptimize(out.data());
        sound_StreamClose(stream);
    }
    sound_Reset();
    state.counters["rt_percent"] =
        benchmark::Counter(SECONDS / 100, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK_CAPTURE(BM_DecodeAndMixOneMinute, wav, "wav")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeAndMixOneMinute, wav_44100_resampled, "wav44100")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeAndMixOneMinute, aiff, "aiff")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeAndMixOneMinute, flac, "flac")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeAndMixOneMinute, ogg_vorbis, "ogg")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeAndMixOneMinute, opus, "opus")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeAndMixOneMinute, mp3, "mp3")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeAndMixOneMinute, mod, "mod")->Unit(benchmark::kMillisecond);

// The capture soundtrack: 3600 frames at 60 fps through the music handlers, written to disk.
void BM_CaptureSoundtrackOneMinute(benchmark::State &state) {
    const std::string &bytes = files().at("wav");
    char dir[] = "/tmp/vortan-sound-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string wavPath = std::string(dir) + "/soundtrack.wav";
    for (auto _ : state) {
        sound_Reset();
        sound_CaptureBegin(wavPath.c_str(), 60.0);
        sound_Init(RATE, SOUND_CHANNELS, 0);
        SoundStream *stream = sound_StreamOpen(bytes.data(), SOUND_STREAM_MODE, 0, int(bytes.size()));
        sound_StreamPlay(SOUND_FREE, stream);
        for (long k = 0; k < 3600; ++k) sound_CaptureFrame(k);
        sound_CaptureEnd();
        sound_StreamClose(stream);
    }
    sound_Reset();
    unlink(wavPath.c_str());
    rmdir(dir);
    state.counters["rt_percent"] =
        benchmark::Counter(SECONDS / 100, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_CaptureSoundtrackOneMinute)->Unit(benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
