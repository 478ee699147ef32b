// Every format the music stream plays: sampled formats written here with libsndfile, tracker
// modules written byte by byte, and damaged files that must fail cleanly or play what is there.
#include <cmath>
#include <cstring>
#include <sndfile.h>

#include "sound/sound.h"
#include "tests/sound/sound_test_util.h"

namespace {
constexpr int RATE = 48000; // Opus only takes 48000 among the usual rates

bool writeSound(const std::string &path, int format, const std::vector<int16_t> &stereo, int rate,
                const std::vector<MusicCue> &cues = {}) {
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = 2;
    info.format = format;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    if (!cues.empty()) {
        SF_CUES list = {};
        list.cue_count = uint32_t(cues.size());
        for (size_t i = 0; i < cues.size(); ++i) {
            list.cue_points[i].indx = int32_t(i + 1);
            list.cue_points[i].position = cues[i].frame;
            list.cue_points[i].sample_offset = cues[i].frame;
            snprintf(list.cue_points[i].name, sizeof list.cue_points[i].name, "%s", cues[i].name.c_str());
        }
        sf_command(file, SFC_SET_CUE, &list, sizeof list);
    }
    // Written as floats: libsndfile 1.2.0's MP3 encoder distorts 16-bit input.
    std::vector<float> floats(stereo.begin(), stereo.end());
    for (float &v : floats) v /= 32768.0f;
    bool ok = sf_writef_float(file, floats.data(), sf_count_t(stereo.size() / 2)) == sf_count_t(stereo.size() / 2);
    return sf_close(file) == 0 && ok;
}

double rms(const std::vector<int16_t> &v, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(v[i]) * v[i];
    return std::sqrt(sum / double(to - from));
}

// Best normalised correlation of the left channels over lags in -range..range.
double bestCorrelation(const std::vector<int16_t> &a, const std::vector<int16_t> &b, size_t frames, int range) {
    double best = -1;
    for (int lag = -range; lag <= range; ++lag) {
        double ab = 0, aa = 0, bb = 0;
        for (size_t i = size_t(range); i < frames; ++i) {
            double x = a[2 * i], y = b[2 * (i + lag)];
            ab += x * y;
            aa += x * x;
            bb += y * y;
        }
        if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
}

struct Format {
    const char *file;
    int format;
    bool lossless;
};

TEST_F(SoundTest, EverySampledFormatDecodes) {
    const size_t frames = RATE / 2;
    std::vector<int16_t> source = soundtest_Chord(frames, RATE);
    const Format formats[] = {
        {"music.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, true},
        {"music.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, true},
        {"music.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, true},
        {"music.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
        {"music.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, false},
        {"music.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, false},
    };
    for (const Format &f : formats) {
        SCOPED_TRACE(f.file);
        sound_Reset();
        console.clear();
        ASSERT_TRUE(writeSound(f.file, f.format, source, RATE));
        // 100 frames a second, 0.6 s: one whole pass and the start of the next.
        CaptureRun run = soundtest_Capture(f.file, "48000", 100.0, 60, 0, console);
        ASSERT_EQ(run.samples.size(), size_t(2 * 28800));
        ASSERT_EQ(console.find("Error"), std::string::npos) << console;
        std::vector<std::string> events = soundtest_Events(console);
        EXPECT_EQ(events, std::vector<std::string>{"END"});
        if (f.lossless) {
            for (size_t i = 0; i < 2 * frames; ++i) ASSERT_EQ(run.samples[i], source[i]) << i;
            for (size_t i = 2 * frames; i < run.samples.size(); ++i) ASSERT_EQ(run.samples[i], source[i - 2 * frames]) << i;
        } else {
            EXPECT_GT(bestCorrelation(source, run.samples, frames - 4000, 2000), 0.95);
            EXPECT_NEAR(rms(run.samples, 4000, 40000), rms(source, 4000, 40000), 0.1 * rms(source, 4000, 40000));
        }
    }
}

TEST_F(SoundTest, AiffMarkersComeThroughLibsndfileWithTheirNames) {
    std::vector<int16_t> source = soundtest_Signal(1000);
    ASSERT_TRUE(writeSound("marked.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, source, RATE,
                           {{600, "beta"}, {100, "alpha"}}));
    soundtest_Capture("marked.aiff", "48000", 480.0, 15, 0, console);
    EXPECT_EQ(soundtest_Events(console), (std::vector<std::string>{"alpha", "beta", "END", "alpha"}));
}

// A four-channel ProTracker module: two patterns of eight rows at speed 3, played in that order,
// with a looping square-wave sample.
std::string tinyMod() {
    std::string mod(20, '\0');
    memcpy(&mod[0], "vortan test", 11);
    for (int s = 0; s < 31; ++s) {
        std::string header(30, '\0');
        if (s == 0) {
            memcpy(&header[0], "square", 6);
            header[22] = 0, header[23] = 16; // 16 words
            header[25] = 64;                 // volume
            header[28] = 0, header[29] = 16; // loop 16 words from 0
        }
        mod += header;
    }
    mod.push_back(2);          // song length
    mod.push_back(char(127));  // restart
    std::string orders(128, '\0');
    orders[1] = 1;
    mod += orders + "M.K.";
    for (int pattern = 0; pattern < 2; ++pattern) {
        std::string cells(64 * 4 * 4, '\0');
        int period = pattern == 0 ? 428 : 320;
        unsigned char *row0 = reinterpret_cast<unsigned char *>(&cells[0]);
        row0[0] = (1 & 0xF0) | (period >> 8);
        row0[1] = period & 0xFF;
        row0[2] = (1 & 0x0F) << 4 | 0xF; // sample 1, set speed
        row0[3] = 3;
        unsigned char *row7 = reinterpret_cast<unsigned char *>(&cells[7 * 16 + 4]);
        row7[2] = 0xD; // pattern break after eight rows
        mod += cells;
    }
    for (int i = 0; i < 32; ++i) mod.push_back(char(i < 16 ? 100 : -100));
    return mod;
}

void put16(std::string &out, uint32_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string &out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A two-channel FastTracker 2 module of the same shape, with one instrument.
std::string tinyXm() {
    std::string xm = "Extended Module: ";
    xm += std::string("vortan test") + std::string(9, '\0');
    xm.push_back(0x1A);
    xm += std::string("hand made") + std::string(11, '\0');
    put16(xm, 0x0104);
    put32(xm, 276);
    put16(xm, 2); // song length
    put16(xm, 0); // restart
    put16(xm, 2); // channels
    put16(xm, 2); // patterns
    put16(xm, 1); // instruments
    put16(xm, 1); // linear frequencies
    put16(xm, 3); // speed
    put16(xm, 125); // BPM
    std::string orders(256, '\0');
    orders[1] = 1;
    xm += orders;
    for (int pattern = 0; pattern < 2; ++pattern) {
        std::string data(8 * 2 * 5, '\0');
        data[0] = char(pattern == 0 ? 49 : 56); // C-4, then G-4
        data[1] = 1;
        data[7 * 10 + 5 + 3] = 0xD; // pattern break on row 7, channel 2
        put32(xm, 9);
        xm.push_back(0);
        put16(xm, 8);
        put16(xm, uint32_t(data.size()));
        xm += data;
    }
    put32(xm, 243);
    xm += std::string("square") + std::string(16, '\0');
    xm.push_back(0);
    put16(xm, 1);
    put32(xm, 40);
    xm += std::string(96 + 48 + 48 + 2 + 6 + 2 + 4, '\0');
    put16(xm, 0); // fade-out
    put16(xm, 0);
    put32(xm, 32); // sample length in bytes
    put32(xm, 0);
    put32(xm, 32);
    xm.push_back(64); // volume
    xm.push_back(0);  // finetune
    xm.push_back(1);  // forward loop, 8 bits
    xm.push_back(char(128));
    xm.push_back(0);  // relative note
    xm.push_back(0);
    xm += std::string(22, '\0');
    signed char previous = 0;
    for (int i = 0; i < 32; ++i) {
        signed char value = i < 16 ? 100 : -100;
        xm.push_back(char(value - previous)); // sample data is stored as deltas
        previous = value;
    }
    return xm;
}

TEST_F(SoundTest, TrackerModulesPlayLoopAndReportTheirOrders) {
    struct Module {
        const char *file;
        std::string bytes;
    };
    for (const Module &m : {Module{"tiny.mod", tinyMod()}, Module{"tiny.xm", tinyXm()}}) {
        SCOPED_TRACE(m.file);
        sound_Reset();
        console.clear();
        soundtest_WriteBytes(m.file, m.bytes);
        // Eight rows at speed 3 and 125 BPM are 0.48 s: a pass is 0.96 s. Capture 2.2 s.
        CaptureRun run = soundtest_Capture(m.file, "48000", 100.0, 220, 0, console);
        ASSERT_EQ(console.find("Error"), std::string::npos) << console;
        EXPECT_EQ(soundtest_Events(console),
                  (std::vector<std::string>{"order 0", "order 1", "END", "order 0", "order 1", "END", "order 0"}));
        ASSERT_EQ(run.samples.size(), size_t(2 * 105600));
        double first = rms(run.samples, 0, 2 * 40000), second = rms(run.samples, 2 * 46080, 2 * 86080);
        EXPECT_GT(first, 500.0);
        EXPECT_NEAR(second, first, 0.1 * first);
    }
}

TEST_F(SoundTest, DamagedFilesFailCleanlyOrPlayWhatIsThere) {
    std::vector<int16_t> source = soundtest_Signal(1000);
    std::string wav = musicgen_WavBytes(source.data(), 1000, 2, RATE, {{900, "past the cut"}, {100, "kept"}});
    // Header cut short, nothing at all, and noise: no decoder takes them.
    std::string noise;
    uint32_t state = 99;
    for (int i = 0; i < 4096; ++i) noise.push_back(char((state = state * 1664525u + 1013904223u) >> 24));
    for (const std::string &bytes : {wav.substr(0, 30), std::string(), noise}) {
        sound_Reset();
        console.clear();
        soundtest_WriteBytes("bad.wav", bytes);
        soundtest_SetParams("bad.wav", "48000");
        soundStream_Init();
        EXPECT_EQ(console, "Error!\nFile bad.wav Not Decoded\n") << bytes.size() << " bytes";
    }
    // Data cut at frame 600 (the cue chunks go with it): the 600 frames there play and loop.
    sound_Reset();
    console.clear();
    soundtest_WriteBytes("cut.wav", wav.substr(0, 44 + 600 * 4));
    CaptureRun run = soundtest_Capture("cut.wav", "48000", 480.0, 13, 0, console);
    ASSERT_EQ(run.samples.size(), size_t(2 * 1300));
    for (size_t i = 0; i < 1300; ++i) ASSERT_EQ(run.samples[2 * i], source[2 * (i % 600)]) << i;
    EXPECT_EQ(soundtest_Events(console), (std::vector<std::string>{"END", "END"}));
}

TEST_F(SoundTest, TruncatedCompressedFilesNeverBreakTheShow) {
    std::vector<int16_t> source = soundtest_Chord(RATE / 4, RATE);
    const Format formats[] = {
        {"cut.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, true},
        {"cut.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
        {"cut.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, false},
        {"cut.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, false},
    };
    for (const Format &f : formats) {
        ASSERT_TRUE(writeSound(f.file, f.format, source, RATE));
        std::string whole = testfs_ReadFile(f.file);
        for (size_t cut : {size_t(20), whole.size() / 3, whole.size() - 7}) {
            SCOPED_TRACE(std::string(f.file) + " cut at " + std::to_string(cut));
            sound_Reset();
            console.clear();
            soundtest_WriteBytes(f.file, whole.substr(0, cut));
            CaptureRun run = soundtest_Capture(f.file, "48000", 100.0, 40, 0, console);
            // Either refused with the decode line, or played to its (early) end and looped.
            bool refused = console.find("File " + std::string(f.file) + " Not Decoded\n") != std::string::npos;
            bool played = console.find("\n_.________ Playing soundStream\n") != std::string::npos;
            EXPECT_NE(refused, played) << console;
            EXPECT_EQ(run.samples.size(), size_t(2 * 19200));
        }
    }
}
} // namespace
