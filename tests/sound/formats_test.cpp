// Every format the music stream plays: sampled formats written here with libsndfile, tracker
// modules written byte by byte, and damaged files that must fail cleanly or play what is there.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <sndfile.h>

#include "sound/sound.h"
#include "tests/sound/sound_test_util.h"

namespace {
constexpr int RATE = 48000; // Opus only takes 48000 among the usual rates

bool writeSound(const std::string &path, int format, const std::vector<int16_t> &stereo, const std::vector<MusicCue> &cues = {}) {
    SF_INFO info = {0, RATE, 2, format, 0, 0};
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    SF_CUES list = {};
    list.cue_count = uint32_t(cues.size());
    for (size_t i = 0; i < cues.size(); ++i) {
        list.cue_points[i].indx = int32_t(i + 1);
        list.cue_points[i].position = list.cue_points[i].sample_offset = cues[i].frame;
        snprintf(list.cue_points[i].name, sizeof list.cue_points[i].name, "%s", cues[i].name.c_str());
    }
    if (!cues.empty()) sf_command(file, SFC_SET_CUE, &list, sizeof list);
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
            ab += x * y, aa += x * x, bb += y * y;
        }
        if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
}

// Whole files play one pass and loop (sample-identical when lossless, the same sound when
// lossy); cut short anywhere they are either refused with the decode line or played as far as
// they go, and the soundtrack keeps its length.
TEST_F(SoundTest, EverySampledFormatDecodesAndSurvivesTruncation) {
    const size_t frames = RATE / 2;
    std::vector<int16_t> source(frames * 2);
    for (size_t i = 0; i < frames; ++i) { // a chord of sines, for the lossy codecs
        double t = double(i) / RATE, v = 0.25 * std::sin(2 * M_PI * 440 * t) + 0.2 * std::sin(2 * M_PI * 660 * t);
        source[2 * i] = int16_t(std::lrint(v * 32767)), source[2 * i + 1] = int16_t(std::lrint(v * 0.8 * 32767));
    }
    const struct {
        const char *file;
        int format;
        bool lossless;
    } formats[] = {
        {"music.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, true},   {"music.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, true},
        {"music.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, true}, {"music.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
        {"music.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, false},   {"music.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, false},
    };
    for (const auto &f : formats) {
        SCOPED_TRACE(f.file);
#ifdef VORTAN_SOUND_WITHOUT_MP3
        if ((f.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) continue;
#endif
        fresh();
        ASSERT_TRUE(writeSound(f.file, f.format, source));
        // 100 frames a second, 0.6 s: one whole pass and the start of the next.
        CaptureRun run = soundtest_Play(f.file, "48000", 100.0, 60, 0, console);
        ASSERT_EQ(run.samples.size(), size_t(2 * 28800));
        ASSERT_EQ(console.find("Error"), std::string::npos) << console;
        EXPECT_EQ(soundtest_Events(console), std::vector<std::string>{"END"});
        if (f.lossless) {
            for (size_t i = 0; i < run.samples.size(); ++i) ASSERT_EQ(run.samples[i], source[i % source.size()]) << i;
        } else {
            EXPECT_GT(bestCorrelation(source, run.samples, frames - 4000, 2000), 0.95);
            EXPECT_NEAR(rms(run.samples, 4000, 40000), rms(source, 4000, 40000), 0.1 * rms(source, 4000, 40000));
        }
        const std::string whole = testfs_ReadFile(f.file);
        for (size_t cut : {size_t(20), whole.size() - 7}) {
            fresh();
            musicgen_WriteFile(f.file, whole.substr(0, cut));
            EXPECT_EQ(soundtest_Play(f.file, "48000", 100.0, 40, 0, console).samples.size(), size_t(2 * 19200)) << cut;
            bool refused = console.find("File " + std::string(f.file) + " Not Decoded\n") != std::string::npos;
            EXPECT_NE(refused, console.find("\n_.________ Playing soundStream\n") != std::string::npos) << cut << console;
        }
    }
}

TEST_F(SoundTest, AiffMarkersComeThroughLibsndfileWithTheirNames) {
    ASSERT_TRUE(writeSound("marked.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, soundtest_Signal(1000), {{600, "beta"}, {100, "alpha"}}));
    soundtest_Play("marked.aiff", "48000", 480.0, 15, 0, console);
    EXPECT_EQ(soundtest_Events(console), (std::vector<std::string>{"alpha", "beta", "END", "alpha"}));
}

std::string pad(const char *text, size_t size) { return text + std::string(size - strlen(text), '\0'); }

// A four-channel ProTracker module: two patterns of eight rows at speed 3, played in that order,
// with a looping square-wave sample.
std::string tinyMod() {
    // Sample 1: 16 words, volume 64, looping 16 words from 0 (big-endian words).
    std::string mod = pad("vortan test", 20) + pad("square", 22) + std::string{0, 16, 0, 64, 0, 0, 0, 16} + std::string(30 * 30, '\0');
    mod += std::string{2, 127, 0, 1} + std::string(126, '\0') + "M.K."; // song length, restart, orders 0 and 1
    for (int period : {428, 320}) {
        std::string cells(64 * 4 * 4, '\0');
        cells[0] = char(period >> 8), cells[1] = char(period & 0xFF), cells[2] = 0x1F, cells[3] = 3; // sample 1, speed 3
        cells[7 * 16 + 4 + 2] = 0xD; // pattern break after eight rows
        mod += cells;
    }
    for (int i = 0; i < 32; ++i) mod.push_back(char(i < 16 ? 100 : -100));
    return mod;
}

TEST_F(SoundTest, TrackerModulesPlayLoopAndReportTheirOrders) {
    musicgen_WriteFile("tiny.mod", tinyMod());
    // Eight rows at speed 3 and 125 BPM are 0.48 s: a pass is 0.96 s. Capture 2.2 s.
    CaptureRun run = soundtest_Play("tiny.mod", "48000", 100.0, 220, 0, console);
    ASSERT_EQ(console.find("Error"), std::string::npos) << console;
    EXPECT_EQ(soundtest_Events(console),
              (std::vector<std::string>{"order 0", "order 1", "END", "order 0", "order 1", "END", "order 0"}));
    ASSERT_EQ(run.samples.size(), size_t(2 * 105600));
    double first = rms(run.samples, 0, 2 * 40000), second = rms(run.samples, 2 * 46080, 2 * 86080);
    EXPECT_GT(first, 500.0);
    EXPECT_NEAR(second, first, 0.1 * first);
}

} // namespace
