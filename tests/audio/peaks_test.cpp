#include "audio/peaks.h"

#include <gtest/gtest.h>
#include <vector>

using namespace tessel;

namespace {

std::vector<Peak> Build(int rate, int channels, const std::vector<std::pair<int64_t, std::vector<float>>>& pieces)
{
    std::vector<Peak> out;
    PeakBuilder builder(rate, channels, [&](const Peak* p, size_t n) { out.insert(out.end(), p, p + n); });
    for (const auto& [first, samples] : pieces)
        builder.add(first, samples.data(), samples.size() / channels);
    builder.finish();
    return out;
}

// One sound sample in a stretch of silence.
std::vector<Peak> Click(int rate, int64_t at, int64_t length)
{
    std::vector<float> samples(size_t(length), 0.0f);
    samples[size_t(at)] = 0.5f;
    return Build(rate, 1, { { 0, samples } });
}

int SoundingPeak(const std::vector<Peak>& peaks)
{
    for (size_t i = 0; i < peaks.size(); ++i)
        if (!peaks[i].silent()) return int(i);
    return -1;
}

} // namespace

TEST(PeakBuilder, EachMillisecondTakesTheSamplesThatStartInIt)
{
    // At 44.1 kHz millisecond m starts at sample ceil(44.1 m): 0, 45, 89, 133.
    struct Case {
        int rate;
        int64_t sample;
        int peak;
    } cases[] = {
        { 44100, 44, 0 },
        { 44100, 45, 1 },
        { 44100, 88, 1 },
        { 44100, 89, 2 },
        { 44100, 132, 2 },
        { 44100, 133, 3 },
        { 48000, 47, 0 },
        { 48000, 48, 1 },
        { 8000, 7999, 999 },
        { 8000, 8000, 1000 },
        { 22050, 22050, 1000 },
        { 22050, 22049, 999 },
    };
    for (const Case& c : cases) {
        const std::vector<Peak> peaks = Click(c.rate, c.sample, c.sample + 200);
        EXPECT_EQ(SoundingPeak(peaks), c.peak) << c.rate << " Hz, sample " << c.sample;
    }
}

TEST(PeakBuilder, LowsHighsAndLevelsRoundOutwards)
{
    struct Case {
        float value;
        int low, high, level;
    } cases[] = {
        { 0.5f, 64, 64, 128 }, // 63.5 up; level 127.5 to nearest
        { -1.0f, -127, -127, 255 },
        { 0.001f, 1, 1, 1 }, // the faintest sound still shows
        { -0.001f, -1, -1, 1 },
        { 2.0f, 127, 127, 255 }, // beyond full scale: clipped
        { 0.0f, 0, 0, 0 },
    };
    for (const Case& c : cases) {
        const std::vector<Peak> peaks = Build(8000, 2, { { 0, std::vector<float>(16, c.value) } });
        ASSERT_EQ(peaks.size(), 1u);
        EXPECT_EQ(peaks[0].low, c.low) << c.value;
        EXPECT_EQ(peaks[0].high, c.high) << c.value;
        EXPECT_EQ(peaks[0].level, c.level) << c.value;
    }
    // Both signs in one millisecond, over both channels.
    const std::vector<Peak> mixed = Build(8000, 2, { { 0, { 0.25f, -0.5f, 0, 0, 0, 0, 0, 0.75f } } });
    ASSERT_EQ(mixed.size(), 1u);
    EXPECT_EQ(mixed[0].low, -64);
    EXPECT_EQ(mixed[0].high, 96); // 95.25 up
}

TEST(PeakBuilder, GapsAreSilenceAndOverlapsAreDropped)
{
    const std::vector<float> loud(8, 0.5f);
    // 8 kHz mono: 8 samples a millisecond.
    const std::vector<Peak> gap = Build(8000, 1, { { 0, loud }, { 40, loud } });
    ASSERT_EQ(gap.size(), 6u);
    EXPECT_FALSE(gap[0].silent());
    for (int i = 1; i < 5; ++i)
        EXPECT_TRUE(gap[i].silent()) << i;
    EXPECT_FALSE(gap[5].silent());

    // Before the film's start, and again over what was there.
    const std::vector<float> quiet(16, 0.0f);
    const std::vector<Peak> early = Build(8000, 1, { { -8, quiet }, { 4, loud } });
    ASSERT_EQ(early.size(), 2u);
    EXPECT_TRUE(early[0].silent()); // samples 0..7 came from the first piece
    EXPECT_FALSE(early[1].silent()); // 8..11 of the second
}

TEST(PeakTrack, SummaryOfAnyStretchIsItsExtremesAndMeanLevel)
{
    std::vector<Peak> peaks(70000);
    for (size_t i = 0; i < peaks.size(); ++i)
        peaks[i] = { int8_t(-int(i * 7 % 101)), int8_t(i * 13 % 127), 10 };
    PeakTrack track;
    // In uneven pieces, as a decoder hands them over.
    for (size_t at = 0; at < peaks.size(); at += 997)
        track.append(peaks.data() + at, std::min<size_t>(997, peaks.size() - at));
    ASSERT_EQ(track.size(), peaks.size());
    const std::pair<int64_t, int64_t> ranges[] = { { 0, 1 }, { 5, 21 }, { 15, 17 }, { 16, 32 }, { 255, 4097 },
        { 0, 70000 }, { 4095, 65537 }, { 69990, 80000 }, { -5, 3 } };
    for (const auto& [begin, end] : ranges) {
        int low = 127, high = -127;
        for (int64_t i = std::max<int64_t>(begin, 0); i < std::min<int64_t>(end, 70000); ++i) {
            low = std::min<int>(low, peaks[i].low);
            high = std::max<int>(high, peaks[i].high);
        }
        const PeakSummary s = track.summary(begin, end);
        EXPECT_FALSE(s.empty);
        EXPECT_EQ(s.low, low) << begin << ".." << end;
        EXPECT_EQ(s.high, high) << begin << ".." << end;
        EXPECT_NEAR(s.level, 10, 1e-9) << begin << ".." << end;
    }
    EXPECT_TRUE(track.summary(70000, 70100).empty);
    EXPECT_TRUE(track.summary(50, 50).empty);
}

TEST(PeakTrack, TwoHoursFitInAFractionOfTheirSamples)
{
    PeakTrack track;
    const std::vector<Peak> hour(3600 * PeaksPerSecond);
    track.append(hour.data(), hour.size());
    track.append(hour.data(), hour.size());
    EXPECT_LT(track.memoryBytes(), size_t(32) << 20);
}

TEST(ClockText, HoursMinutesSecondsMilliseconds)
{
    EXPECT_EQ(ClockText(0), "0:00:00,000");
    EXPECT_EQ(ClockText(3909040), "1:05:09,040");
    EXPECT_EQ(ClockText(36000000 + 59999), "10:00:59,999");
}
