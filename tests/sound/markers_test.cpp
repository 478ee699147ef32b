// The WAV marker reader over hand-made and damaged files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sound/sound_markers.h"
#include "tests/sound/sound_test_util.h"
#include "tests/support/guarded_buffer.h"

namespace {
std::string le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string chunk(const char *id, const std::string &body) {
    return std::string(id, 4) + le32(uint32_t(body.size())) + body + (body.size() & 1 ? std::string(1, '\0') : "");
}
std::string cuePoint(uint32_t id, uint32_t frame) { return le32(id) + le32(frame) + "data" + le32(0) + le32(0) + le32(frame); }
std::string label(uint32_t id, const std::string &name, bool terminated = true) {
    return chunk("labl", le32(id) + name + (terminated ? std::string(1, '\0') : ""));
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

TEST(SoundMarkers, LabelsBeforeCuesUnnamedCuesOddChunksAndLongNames) {
    // An odd-sized label is padded and the next label still found; cue 9 has no label; a name
    // longer than the table's is cut, and one without its zero ends with its chunk; labels count
    // only inside a LIST.
    const std::string longName(200, 'n');
    std::string bytes = riff(chunk("fmt ", std::string(16, '\0')) +
                             chunk("LIST", "adtl" + label(7, "odd") + label(8, "even!") + chunk("note", "xx")) +
                             chunk("cue ", le32(5) + cuePoint(7, 40) + cuePoint(8, 20) + cuePoint(9, 30) + cuePoint(1, 0) + cuePoint(2, 5)) +
                             chunk("LIST", "adtl" + label(1, longName)) + chunk("LIST", "adtl" + label(2, "tail", false) + chunk("note", "x")) +
                             chunk("JUNK", "adtl" + label(9, "not a list")));
    bool isWav = false;
    SoundMarkerList list = read(bytes, &isWav);
    EXPECT_TRUE(isWav);
    EXPECT_EQ(names(list), (std::vector<std::string>{longName.substr(0, SOUND_MARKER_NAME_SIZE - 1), "tail", "even!", "cue 9", "odd"}));
    EXPECT_EQ(list.markers[4].frame, 40u);
    for (int i = 0; i < list.count; ++i) EXPECT_EQ(list.markers[i].cut, i == 0) << i; // only the long name
}

TEST(SoundMarkers, DamagedSizesAndCountsAreBoundedByTheBytes) {
    // The count claims a million points; only two are there, and part of a third.
    std::string bytes = riff(chunk("cue ", le32(1000000) + cuePoint(1, 10) + cuePoint(2, 20) + std::string(8, 'x')));
    EXPECT_EQ(read(bytes).count, 2);
    // A chunk size running past the end of the file.
    bytes[16] = bytes[17] = char(0xFF);
    EXPECT_EQ(read(bytes).count, 2);
    // More points than the table holds: the first SOUND_MAX_MARKERS are kept.
    std::string many = le32(2 * SOUND_MAX_MARKERS);
    for (uint32_t i = 0; i < 2 * SOUND_MAX_MARKERS; ++i) many += cuePoint(i, i);
    const SoundMarkerList full = read(riff(chunk("cue ", many)));
    EXPECT_TRUE(full.count == SOUND_MAX_MARKERS && full.dropped == SOUND_MAX_MARKERS) << full.dropped;
    // A list of three bytes at the very end: too short to be read as "adtl", so not a byte past it.
    const std::string tail = riff("") + "LIST" + le32(3) + "adt";
    GuardedBuffer guarded(tail.size());
    memcpy(guarded.data, tail.data(), tail.size());
    SoundMarkerList none;
    EXPECT_TRUE(sound_ReadWavMarkers(reinterpret_cast<const unsigned char *>(guarded.data), tail.size(), none));
    // Not a WAV at all.
    bool isWav = true;
    for (const char *notWav : {"FORM....AIFF", "RIFF....WAVF", "RIFX....WAVE", ""}) {
        EXPECT_EQ(read(notWav, &isWav).count, 0);
        EXPECT_FALSE(isWav) << notWav;
    }
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
