#include "core/errors.h"
#include "formats/dvd_subripper.h"
#include "formats/sami.h"
#include "formats/simple_timecode.h"
#include "formats/ssa.h"
#include "formats/subrip.h"
#include "formats/subviewer1.h"
#include "formats/subviewer2.h"
#include "formats/time_format.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

constexpr ClockTimeFormat Milliseconds { ClockTimeFormat::Milliseconds, ',' };
constexpr ClockTimeFormat Hundredths { ClockTimeFormat::Hundredths, '.' };
constexpr ClockTimeFormat WholeSeconds { ClockTimeFormat::WholeSeconds };

// 2^31 - 1 ms is 596 h 31 min 23.647 s.
constexpr int32_t Largest = 2147483647;

} // namespace

TEST(ClockTime, WritesFieldsOfTheFormatsLength)
{
    struct Case {
        int32_t milliseconds;
        ClockTimeFormat format;
        const char* text;
    };
    const Case cases[] = {
        { 41708, Milliseconds, "00:00:41,708" },
        { 360000000, Milliseconds, "100:00:00,000" }, // hours are not wrapped
        { Largest, Milliseconds, "596:31:23,647" },
        { -1500, Milliseconds, "00:00:-01,-500" }, // the split of -1500 is 0, 0, -1, -500
        { 1994, Hundredths, "00:00:01.99" },
        { 1995, Hundredths, "00:00:02.00" }, // half a hundredth rounds up and carries
        { 62500, { ClockTimeFormat::Hundredths, ':' }, "00:01:02:50" },
        { Largest, Hundredths, "596:31:23.65" },
        { 3600000, { ClockTimeFormat::Hundredths, '.', 1 }, "1:00:00.00" },
        { 1480, { ClockTimeFormat::Hundredths, '.', 1 }, "0:00:01.48" },
        { 62999, WholeSeconds, "00:01:02" }, // the milliseconds are dropped, not rounded
        { Largest, WholeSeconds, "596:31:23" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatClockTime(c.milliseconds, c.format), c.text) << c.milliseconds;
}

TEST(ClockTime, ReadsDigitRunsWhateverSeparatesThem)
{
    struct Case {
        const char* line;
        ClockTimeFormat format;
        int32_t milliseconds;
        int position; // after the time
    };
    const Case cases[] = {
        { "00:00:41,708 --> 00:00:43,794", Milliseconds, 41708, 13 },
        { "00:00:01.500 --> x", Milliseconds, 1500, 13 },
        { "00:00:01,5", Milliseconds, 1005, 11 }, // the field as written: 5 ms
        { "00:00:01.500", Hundredths, 6000, 13 }, // 500 hundredths
        { "{T 1:2:3:4", Hundredths, 3723040, 11 },
        { "[00:01:02]", WholeSeconds, 62000, 10 },
        { "0:00:05", Hundredths, 5000, 8 }, // a missing run reads 0
        { "no digits", Milliseconds, 0, 10 },
        { "596:31:23,647", Milliseconds, Largest, 14 },
        { "596:31:23.64", Hundredths, 2147483640, 13 },
        { "0:0:0,2147483647", Milliseconds, Largest, 17 },
    };
    for (const Case& c : cases) {
        int position = 1;
        EXPECT_EQ(ReadClockTime(c.line, position, c.format), c.milliseconds) << c.line;
        EXPECT_EQ(position, c.position) << c.line;
    }
}

TEST(ClockTime, RefusesATimePastTheLargest)
{
    struct Case {
        const char* line;
        ClockTimeFormat format;
        const char* message;
    };
    const Case cases[] = {
        { "596:31:23,648 --> x", Milliseconds, "'596:31:23,648' is not a valid time" },
        { "00:00:01.999999999,00:00:02.00", Hundredths, "'00:00:01.999999999' is not a valid time" },
        { "596:31:23.65", Hundredths, "'596:31:23.65' is not a valid time" },
        { "[596:31:24]", WholeSeconds, "'596:31:24' is not a valid time" },
        { "1:0:0,2147483647", Milliseconds, "'1:0:0,2147483647' is not a valid time" },
        { "0:0:0,2147483648", Milliseconds, "'2147483648' is not a valid integer value" },
    };
    for (const Case& c : cases) {
        int position = 1;
        try {
            ReadClockTime(c.line, position, c.format);
            ADD_FAILURE() << c.line << " was read";
        } catch (const ConversionError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

namespace {

struct ReadOutcome {
    std::vector<Row> rows;
    std::string error; // empty: read to the end
};

ReadOutcome readFile(ReaderFn read, const std::string& text, double fps)
{
    ReadOutcome outcome;
    SubtitleTable table;
    LineReader lines(text);
    try {
        read(lines, table, 1, fps);
    } catch (const Error& e) {
        outcome.error = e.what();
    }
    outcome.rows = test::Rows(table);
    return outcome;
}

} // namespace

// At 1000 frames per second a frame is a millisecond. The largest time reads;
// one step past it is refused as a digit run too long for 32 bits would be,
// with the rows read before it kept.
TEST(ClockTime, EachReaderReadsTheLargestTimeAndRefusesTheNext)
{
    struct Case {
        const char* format;
        ReaderFn read;
        std::string largest; // a file whose first subtitle starts at the largest time
        std::string from; // that start
        std::string pastIt; // a file with a good subtitle, then a time one step later
    };
    const std::string sv1 = "******** START SCRIPT ********\r\n";
    const std::string sv2 = "[INFORMATION]\r\n";
    const std::string dvd = "{HEAD\r\n}\r\n";
    const std::string ssa = "Dialogue: Marked=0,";
    const std::string ssaRest = ",*Default,NTP,0000,0000,0000,,";
    const Case cases[] = {
        { "SubRip", ReadSubRip, "1\r\n596:31:23,647 --> 596:31:23,647\r\nx\r\n", "2147483647",
            "1\r\n00:00:01,000 --> 00:00:02,000\r\nOne\r\n\r\n2\r\n00:00:03,000 --> 596:31:23,648\r\nx\r\n" },
        { "SubViewer 1", ReadSubViewer1, sv1 + "[596:31:23]\r\nx\r\n[END]\r\n", "2147483000",
            sv1 + "[00:00:01]\r\nOne\r\n[00:00:02]\r\n\r\n[596:31:24]\r\nx\r\n[END]\r\n" },
        { "SubViewer 2", ReadSubViewer2, sv2 + "596:31:23.64,596:31:23.64\r\nx\r\n", "2147483640",
            sv2 + "00:00:01.00,00:00:02.00\r\nOne\r\n\r\n00:00:01.999999999,00:00:02.00\r\nx\r\n" },
        { "DVD Subripper", ReadDVDSubripper, dvd + "{T 596:31:23:64\r\nx\r\n}\r\n", "2147483640",
            dvd + "{T 00:00:01:00\r\nOne\r\n}\r\n{T 00:00:03:00\r\n}\r\n{T 596:31:23:65\r\nx\r\n}\r\n" },
        { "Sub Station Alpha", ReadSSA, ssa + "596:31:23.64,596:31:23.64" + ssaRest + "x\r\n", "2147483640",
            ssa + "0:00:01.00,0:00:02.00" + ssaRest + "One\r\n" + ssa + "0:00:03.00,596:31:23.65" + ssaRest + "x\r\n" },
    };
    for (const Case& c : cases) {
        const ReadOutcome largest = readFile(c.read, c.largest, 1000);
        EXPECT_EQ(largest.error, "") << c.format;
        ASSERT_FALSE(largest.rows.empty()) << c.format;
        EXPECT_EQ(largest.rows[0][0], c.from) << c.format;
        const ReadOutcome past = readFile(c.read, c.pastIt, 1000);
        EXPECT_NE(past.error.find("is not a valid time"), std::string::npos) << c.format << ": " << past.error;
        ASSERT_FALSE(past.rows.empty()) << c.format;
        EXPECT_EQ(past.rows[0][2], "One") << c.format;
    }
}

// Only nine characters are a time there, and a prefix without a time reads 0:
// so does one past the largest.
TEST(ClockTime, SimpleTimeCodeReadsATimePastTheLargestAsNoTime)
{
    const auto read = [](const std::string& first) {
        return test::ReadRows(ReadSimpleTimeCode, first + "One\r\n00:00:10: \r\n", 1000);
    };
    EXPECT_EQ(read("596:31:23"), (std::vector<Row> { { "2147483000", "10000", "One", "", "" } }));
    EXPECT_EQ(read("596:31:24"), (std::vector<Row> { { "0", "10000", "One", "", "" } }));
    EXPECT_EQ(read("596:31:24"), read("xxxxxxxxx"));
}

// A framerate of some 4.3 * 10^12 puts the largest time just below 2^63
// frames, where adding a default duration no longer fits 64 bits.
TEST(ClockTime, DefaultDurationsPastSixtyFourBitsAreRefused)
{
    const double fps = (9223372036854775807.0 - 1e12) / 2147483.0;
    struct Case {
        const char* format;
        ReaderFn read;
        std::string text; // one subtitle whose end is its start plus a default duration
    };
    const Case cases[] = {
        { "SubViewer 1", ReadSubViewer1, "******** START SCRIPT ********\r\n[596:31:23]\r\nx\r\n[END]\r\n" },
        { "Simple time-code", ReadSimpleTimeCode, "596:31:23x\r\n00:00:00: \r\n" },
        { "DVD Subripper", ReadDVDSubripper, "{HEAD\r\n}\r\n{T 596:31:23:00\r\nx\r\n}" },
        { "SAMI", ReadSAMI, "<SAMI>\r\n<SYNC Start=2147483000><P Class=ENCC>x\r\n" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(readFile(c.read, c.text, fps).error, "Integer overflow") << c.format;
}
