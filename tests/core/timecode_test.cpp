#include "core/errors.h"
#include "core/timecode.h"
#include "test_support.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>

using namespace tessel;

TEST(TimeCode, ReadNextNumberScansDigitRuns)
{
    struct Case {
        const char* line;
        std::vector<int32_t> numbers;
    };
    const Case cases[] = {
        { "12:34:56,789", { 12, 34, 56, 789, 0, 0 } },
        { "1 --> 2", { 1, 2, 0 } },
        { "", { 0, 0 } },
        { "abc", { 0 } },
        { "007x", { 7, 0 } },
    };
    for (const Case& c : cases) {
        int position = 1;
        for (int32_t expected : c.numbers)
            EXPECT_EQ(ReadNextNumber(c.line, position), expected) << c.line;
    }
    int position = 1;
    EXPECT_THROW(ReadNextNumber("99999999999", position), ConversionError);
}

TEST(TimeCode, MillisecondTotals)
{
    EXPECT_EQ(TimeValuesToMilisecond(0, 0, 75, 0), 75000);
    EXPECT_EQ(TimeValuesToMilisecond(1, 2, 3, 4), 3723004);
    const TimeValues hundred = MilisecondToTimeValues(TimeValuesToMilisecond(100, 0, 0, 0));
    EXPECT_EQ(hundred.hours, 100);
    EXPECT_EQ(hundred.minutes, 0);
    const TimeValues negative = MilisecondToTimeValues(-1500);
    EXPECT_EQ(negative.hours, 0);
    EXPECT_EQ(negative.minutes, 0);
    EXPECT_EQ(negative.seconds, -1);
    EXPECT_EQ(negative.milliseconds, -500);
}

TEST(TimeCode, WorkedConversions)
{
    EXPECT_EQ(TimeToFrame(20, 25), 0);
    EXPECT_EQ(TimeToFrame(60, 25), 2);
    EXPECT_EQ(TimeToFrame(100, 25), 2);
    EXPECT_EQ(FrameToTime(1, 23.976), 42);
    EXPECT_EQ(FrameToTime(1000, 23.976), 41708);
    EXPECT_EQ(TimeToFrame(41708, 23.976), 1000);
    EXPECT_EQ(TimeToFrame(1000, 0), 0);
    EXPECT_THROW(FrameToTime(25, 0), MathError);
    EXPECT_THROW(FrameToTime(2147483647, 1), MathError);
}

TEST(TimeCode, AviHeaderFramerate)
{
    auto header = [](uint32_t scale, uint32_t rate, size_t size = 164) {
        std::string h(size, '\0');
        for (int i = 0; i < 4; ++i) {
            h[128 + i] = static_cast<char>(scale >> (8 * i));
            h[132 + i] = static_cast<char>(rate >> (8 * i));
        }
        return h;
    };
    EXPECT_EQ(AviHeaderFramerate(header(1, 25)), 25.0L);
    EXPECT_NEAR(static_cast<double>(*AviHeaderFramerate(header(1001, 24000))), 23.976, 0.001);
    EXPECT_FALSE(AviHeaderFramerate(header(0, 25)));
    EXPECT_FALSE(AviHeaderFramerate(std::string(100, '\0')));
}

// Autodetect reads 164 bytes of what the user picked: a pipe is no movie, and
// opening it would wait for a writer that never comes.
TEST(TimeCode, AviFileFramerateOfWhatIsNoFile)
{
    test::TempDir folder;
    const std::string pipe = folder.path("movie.avi");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(AviFileFramerate(pipe));
    EXPECT_FALSE(AviFileFramerate(folder.path("")));
}

// Whole framerates are worked in integers: every result, ties and negative
// times included, must be the one the long double rounding gives.
TEST(TimeCode, WholeFrameratesRoundAsLongDoublesDo)
{
    for (const double rate : { 1.0, 16.0, 24.0, 25.0, 30.0, 48.0, 50.0, 60.0, 1000.0 }) {
        for (int32_t ms = -5000; ms <= 5000; ++ms) {
            const long double v = static_cast<long double>(ms) * rate / 1000.0L;
            ASSERT_EQ(TimeToFrame(ms, rate), static_cast<int64_t>(std::rintl(v))) << ms << " ms at " << rate;
        }
        for (const int32_t ms : { std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min() })
            EXPECT_EQ(
                TimeToFrame(ms, rate), static_cast<int64_t>(std::rintl(static_cast<long double>(ms) * rate / 1000.0L)));
        for (int64_t frame = -3000; frame <= 3000; ++frame) {
            const long double v = static_cast<long double>(frame) / rate * 1000.0L;
            ASSERT_EQ(FrameToTime(frame, rate), static_cast<int32_t>(std::rintl(v))) << frame << " at " << rate;
        }
    }
    // Past 32 bits of milliseconds, as before.
    EXPECT_THROW(FrameToTime(int64_t(1) << 40, 25), MathError);
    EXPECT_THROW(FrameToTime(int64_t(60000000), 25), MathError);
    EXPECT_EQ(FrameToTime(int64_t(53687091), 25), 2147483640);
}
