// The WAV marker reader over hand-made and damaged files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sound/sound_markers.h"
#include "tests/sound/sound_test_util.h"

namespace {
void put32(std::string &out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}
std::string chunk(const char *id, const std::string &body) {
    std::string out(id, 4);
    put32(out, uint32_t(body.size()));
    out += body;
    if (body.size() & 1) out.push_back('\0');
    return out;
}
std::string cuePoint(uint32_t id, uint32_t frame) {
    std::string out;
    put32(out, id);
    put32(out, frame);
    out += "data";
    put32(out, 0);
    put32(out, 0);
    put32(out, frame);
    return out;
}
std::string label(uint32_t id, const std::string &name, bool terminated = true) {
    std::string body;
    put32(body, id);
    body += name;
    if (terminated) body.push_back('\0');
    return chunk("labl", body);
}
std::string riff(const std::string &chunks) { return chunk("RIFF", "WAVE" + chunks); }

SoundMarkerList read(const std::string &bytes, bool *isWav = nullptr) {
    SoundMarkerList list;
    bool ok = sound_ReadWavMarkers(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), list);
    if (isWav) *isWav = ok;
    return list;
}

std::vector<std::string> names(const SoundMarkerList &list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.count; ++i) out.push_back(list.markers[i].name);
    return out;
}

TEST(SoundMarkers, MusicgenFileGivesNamesInFrameOrder) {
    std::vector<int16_t> signal = soundtest_Signal(2000);
    std::string bytes = musicgen_WavBytes(signal.data(), 2000, 2, 44100,
                                          {{1500, "late"}, {10, "early"}, {700, "middle"}, {700, "middle two"}});
    bool isWav = false;
    SoundMarkerList list = read(bytes, &isWav);
    EXPECT_TRUE(isWav);
    EXPECT_EQ(names(list), (std::vector<std::string>{"early", "middle", "middle two", "late"}));
    EXPECT_EQ(list.markers[0].frame, 10u);
    EXPECT_EQ(list.markers[3].frame, 1500u);
}

TEST(SoundMarkers, LabelsBeforeCuesUnnamedCuesAndOddChunks) {
    std::string cues;
    put32(cues, 3);
    cues += cuePoint(7, 40) + cuePoint(8, 20) + cuePoint(9, 30);
    // An odd-sized label is padded; the next label must still be found. Cue 9 has no label.
    std::string list = chunk("LIST", "adtl" + label(7, "odd") + label(8, "even!") + chunk("note", "xx"));
    SoundMarkerList markers = read(riff(chunk("fmt ", std::string(16, '\0')) + list + chunk("cue ", cues)));
    EXPECT_EQ(names(markers), (std::vector<std::string>{"even!", "cue 9", "odd"}));
}

TEST(SoundMarkers, LongAndUnterminatedNamesAreCut) {
    std::string cues;
    put32(cues, 2);
    cues += cuePoint(1, 0) + cuePoint(2, 5);
    std::string longName(200, 'n');
    std::string bytes = riff(chunk("cue ", cues) + chunk("LIST", "adtl" + label(1, longName)) +
                             chunk("LIST", "adtl" + label(2, "tail", false)));
    SoundMarkerList markers = read(bytes);
    ASSERT_EQ(markers.count, 2);
    EXPECT_EQ(std::string(markers.markers[0].name), longName.substr(0, SOUND_MARKER_NAME_SIZE - 1));
    EXPECT_EQ(std::string(markers.markers[1].name), "tail");
}

TEST(SoundMarkers, DamagedSizesAndCountsAreBoundedByTheBytes) {
    // The count claims a million points; only two are there.
    std::string cues;
    put32(cues, 1000000);
    cues += cuePoint(1, 10) + cuePoint(2, 20);
    EXPECT_EQ(read(riff(chunk("cue ", cues))).count, 2);
    // A chunk size running past the end of the file.
    std::string bytes = riff(chunk("cue ", cues));
    bytes[16] = char(0xFF);
    bytes[17] = char(0xFF);
    EXPECT_EQ(read(bytes).count, 2);
    // More points than the table holds: the first SOUND_MAX_MARKERS are kept.
    std::string many;
    put32(many, 2 * SOUND_MAX_MARKERS);
    for (int i = 0; i < 2 * SOUND_MAX_MARKERS; ++i) many += cuePoint(uint32_t(i), uint32_t(i));
    EXPECT_EQ(read(riff(chunk("cue ", many))).count, SOUND_MAX_MARKERS);
    // Not a WAV at all.
    bool isWav = true;
    EXPECT_EQ(read("FORM....AIFF", &isWav).count, 0);
    EXPECT_FALSE(isWav);
    EXPECT_EQ(read("", &isWav).count, 0);
}

TEST(SoundMarkers, EveryTruncationOfAFileReadsAPrefixOfItsMarkers) {
    std::vector<int16_t> signal = soundtest_Signal(50);
    std::string bytes = musicgen_WavBytes(signal.data(), 50, 2, 44100, {{1, "one"}, {2, "two"}, {3, "three"}});
    SoundMarkerList whole = read(bytes);
    ASSERT_EQ(whole.count, 3);
    for (size_t length = 0; length <= bytes.size(); ++length) {
        SoundMarkerList part = read(bytes.substr(0, length));
        ASSERT_LE(part.count, 3) << length;
        for (int i = 0; i < part.count; ++i) {
            ASSERT_EQ(part.markers[i].frame, whole.markers[i].frame) << length;
            // A name is either whole, cut where the bytes end, or not yet read ("cue <id>").
            std::string name = part.markers[i].name, full = whole.markers[i].name;
            ASSERT_TRUE(full.compare(0, name.size(), name) == 0 || name.rfind("cue ", 0) == 0) << length;
        }
    }
}
} // namespace
