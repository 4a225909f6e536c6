#include "core/errors.h"
#include "formats/simple_timecode.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

std::vector<Row> read(const std::string& text, double fps) { return test::ReadRows(ReadSimpleTimeCode, text, fps); }

std::string write(const std::vector<Row>& rows, double fps) { return test::WriteRows(WriteSimpleTimeCode, rows, fps); }

} // namespace

TEST(SimpleTimeCode, WritesOneLinePerSubtitleAndClosesTheLast)
{
    EXPECT_EQ(write({ { "1550", "1600", "Hello", "world" }, { "1625", "1700", "Two", "", "three" } }, 25),
        "00:01:02:Hello|world\r\n00:01:05:Two|three\r\n00:01:08: \r\n");
}

TEST(SimpleTimeCode, WritesAPauseLineOnlyForGapsOverThirtyFrames)
{
    EXPECT_EQ(write({ { "25", "100", "a" }, { "130", "200", "b" } }, 25), "00:00:01:a\r\n00:00:05:b\r\n00:00:08: \r\n");
    EXPECT_EQ(write({ { "25", "100", "a" }, { "131", "200", "b" } }, 25),
        "00:00:01:a\r\n00:00:04: \r\n00:00:05:b\r\n00:00:08: \r\n");
}

TEST(SimpleTimeCode, WritesWholeSecondsDroppingTheRemainder)
{
    struct Case {
        const char* from;
        double fps;
        const char* prefix;
    };
    const Case cases[] = { { "1995", 1000, "00:00:01:" }, { "", 25, "00:00:00:" }, { "9000000", 25, "100:00:00:" },
        { "1000", 23.976, "00:00:41:" } };
    for (const Case& c : cases)
        EXPECT_EQ(write({ { c.from, "0", "x" } }, c.fps), std::string(c.prefix) + "x\r\n00:00:00: \r\n") << c.from;
}

TEST(SimpleTimeCode, WriterFailsOnCellsThatAreNoFrames)
{
    EXPECT_THROW(write({ { "-5", "10", "a" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "1x", "a" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "10", "a" }, { "12a", "20", "b" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "10", "a" } }, 0), MathError);
}

TEST(SimpleTimeCode, EmptyRangeWritesNothing)
{
    SubtitleTable table;
    StringSink sink;
    WriteContext context;
    context.framerate = 25;
    WriteSimpleTimeCode(table, 1, 0, context, sink);
    EXPECT_EQ(sink.text(), "");
}

TEST(SimpleTimeCode, RoundTripKeepsWholeSecondsAndTheLastEnd)
{
    const std::vector<Row> rows = { { "30", "100", "a", "b" }, { "110", "200", "c" }, { "300", "410", "d", "", "e" } };
    // The first To becomes the next From (no pause line), the pause becomes a
    // row of its own, the last end comes from the closing line.
    const std::vector<Row> once = { { "25", "100", "a", "b", "" }, { "100", "200", "c", "", "" },
        { "200", "300", " ", "", "" }, { "300", "400", "d", "e", "" } };
    EXPECT_EQ(read(write(rows, 25), 25), once);
    // The pause row writes the same pause line again.
    EXPECT_EQ(read(write(once, 25), 25), once);
}

TEST(SimpleTimeCode, LastLineWithTextLastsTheDefaultTime)
{
    struct Case {
        const char* name;
        const char* file;
        double fps;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        { "a single line", "00:00:04:only", 25, { { "100", "162", "only", "", "" } } },
        { "a last line after others", "00:00:01:a\n00:00:04:b|c\n", 25,
            { { "25", "100", "a", "", "" }, { "100", "162", "b", "c", "" } } },
        { "at 23.976", "00:00:10:x\n", 23.976, { { "240", "300", "x", "", "" } } },
        { "a closing pause line only ends", "00:00:01:a\n00:00:04: \n", 25, { { "25", "100", "a", "", "" } } },
        { "a blank last text only ends", "00:00:01:a\n00:00:04: \t \n", 25, { { "25", "100", "a", "", "" } } },
        { "an empty last text only ends", "00:00:01:a\n00:00:04:", 25, { { "25", "100", "a", "", "" } } },
        { "a last text after | gives no row", "00:00:01:a\n00:00:04:|b", 25, { { "25", "100", "a", "", "" } } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.file, c.fps), c.rows) << c.name;
}

TEST(SimpleTimeCode, ReadingEdges)
{
    struct Case {
        const char* name;
        std::string file;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        { "a line without text still ends the one before",
            "00:00:01:a\n00:00:02:\n00:00:03:|x\n00:00:04:b\n00:00:05: \n",
            { { "25", "50", "a", "", "" }, { "100", "125", "b", "", "" } } },
        { "a pause line inside the file is a row", "00:00:01:a\n00:00:02: \n00:00:04:b\n00:00:05: \n",
            { { "25", "50", "a", "", "" }, { "50", "100", " ", "", "" }, { "100", "125", "b", "", "" } } },
        { "a time of 0 ends after the default time", "00:00:01:a\nxx:yy:zz:b\n00:00:09: \n",
            { { "25", "87", "a", "", "" }, { "87", "225", "b", "", "" } } },
        { "a short line is all time", "00:00:01:a\n0:0:3\n00:00:05:b\n00:00:06: \n",
            { { "25", "75", "a", "", "" }, { "125", "150", "b", "", "" } } },
        { "the time is found by its digits", "1:2:3 xyzabcd\n0:0:9 \n", { { "93075", "225", "abcd", "", "" } } },
        { "pieces past the third are dropped", "00:00:01:a||c|d\n00:00:02: \n", { { "25", "50", "a", "", "c" } } },
        { "nine characters, not bytes", "00:00:0\xC3\xA9:\xC3\xA9t\xC3\xA9\n00:00:02: \n",
            { { "0", "50", "\xC3\xA9t\xC3\xA9", "", "" } } },
        { "an empty file", "", { { "", "", "", "", "" } } }, // the fresh table, untouched
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.file, 25), c.rows) << c.name;
}

TEST(SimpleTimeCode, OnlyNineCharactersAreScannedForTheTime)
{
    // No digit run there can overflow: a long run is cut, the rest is text.
    const std::vector<Row> rows = read("00:00:01:a\n" + std::string(30, '9') + "\n", 25);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][2], "a");
    EXPECT_EQ(rows[1][2], std::string(21, '9'));
}

TEST(SimpleTimeCode, FailedConversionKeepsTheRowsBefore)
{
    SubtitleTable table;
    // At this framerate 1000 s is beyond any frame number.
    const std::string file = "00:00:01:a\n00:00:02:b\n00:16:40:c\n";
    LineReader lines(file);
    EXPECT_THROW(ReadSimpleTimeCode(lines, table, 1, 1e16), MathError);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "10000000000000000", "20000000000000000", "a", "", "" } }));
}
