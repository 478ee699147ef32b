// The show's generated track: its length, section cues as the marker reader sees them, and
// sound in every section.
#include <cmath>

#include "sound/sound_markers.h"
#include "tests/sound/sound_test_util.h"

namespace {
TEST(Musicgen, TrackHasItsSectionsAsNamedCuesAndSoundInEach) {
    MusicTrack track = musicgen_RenderTrack();
    ASSERT_EQ(track.rate, 44100);
    ASSERT_EQ(track.samples.size(), size_t(2 * 75 * 44100));
    std::string bytes = musicgen_WavBytes(track.samples.data(), track.samples.size() / 2, 2, track.rate, track.cues);
    SoundMarkerList list;
    ASSERT_TRUE(sound_ReadWavMarkers(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), list));
    ASSERT_EQ(list.count, int(std::size(MUSICGEN_SECTIONS)));
    // Every section sounds, the drops are louder than the break, and nothing reaches full scale.
    std::vector<double> level;
    int peak = 0;
    for (int s = 0; s < list.count; ++s) {
        EXPECT_STREQ(list.markers[s].name, MUSICGEN_SECTIONS[s].name);
        EXPECT_EQ(list.markers[s].frame, uint64_t(MUSICGEN_SECTIONS[s].seconds * 44100));
        size_t from = 2 * size_t(list.markers[s].frame), to = s + 1 < list.count ? 2 * size_t(MUSICGEN_SECTIONS[s + 1].seconds * 44100) : track.samples.size();
        double sum = 0;
        for (size_t i = from; i < to; ++i) sum += double(track.samples[i]) * track.samples[i], peak = std::max(peak, std::abs(int(track.samples[i])));
        level.push_back(std::sqrt(sum / double(to - from)));
        EXPECT_GT(level.back(), 500.0) << MUSICGEN_SECTIONS[s].name;
    }
    EXPECT_GT(level[2], 1.5 * level[3]); // drop against break
    EXPECT_GT(level[4], 1.5 * level[3]); // drop2 against break
    EXPECT_LT(peak, 32000);
    EXPECT_EQ(musicgen_RenderTrack(30.0).cues.size(), 3u); // a shorter track keeps the cues inside it
}
} // namespace
