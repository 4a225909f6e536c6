#include "core/errors.h"
#include "formats/subrip.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

std::vector<Row> read(const std::string& text, double fps) { return test::ReadRows(ReadSubRip, text, fps); }

std::string write(const std::vector<Row>& rows, double fps) { return test::WriteRows(WriteSubRip, rows, fps); }

} // namespace

TEST(SubRip, WorkedExampleBothWays)
{
    const std::string file = "1\r\n00:00:01,000 --> 00:00:04,000\r\nHello\r\nworld\r\n\r\n";
    EXPECT_EQ(write({ { "25", "100", "Hello", "world" } }, 25), file);
    EXPECT_EQ(read(file, 25), (std::vector<Row> { { "25", "100", "Hello", "world", "" } }));
}

TEST(SubRip, ReadsTimesByDigitRuns)
{
    struct Case {
        const char* timeLine;
        double fps;
        const char* from;
        const char* to;
    };
    const Case cases[] = {
        { "00:00:00,020 --> 00:00:00,060", 25, "0", "2" },
        { "00:00:01.500 --> 00:00:02.000", 25, "38", "50" },
        { "00:00:01,5 --> 00:00:02,0", 1000, "1005", "2000" },
        { "00:00:41,708 --> 00:00:41,708 X1:10 X2:20", 23.976, "1000", "1000" },
        { "100:00:00,000 --> 100:00:01,000", 25, "9000000", "9000025" },
        { "", 25, "0", "0" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(std::string("1\n") + c.timeLine + "\nx\n\n", c.fps),
            (std::vector<Row> { { c.from, c.to, "x", "", "" } }))
            << c.timeLine;
}

TEST(SubRip, BlockLayoutEdges)
{
    // No empty line at the end of the file: the text is kept.
    EXPECT_EQ(read("1\n00:00:01,000 --> 00:00:02,000\na\nb", 25), (std::vector<Row> { { "25", "50", "a", "b", "" } }));
    // Two empty lines at the end give a last, empty row.
    EXPECT_EQ(read("1\n00:00:01,000 --> 00:00:02,000\na\n\n\n", 25),
        (std::vector<Row> { { "25", "50", "a", "", "" }, { "0", "0", "", "", "" } }));
    // A blank-only separator is a text line.
    EXPECT_EQ(
        read("1\n00:00:01,000 --> 00:00:02,000\na\n \n\n", 25), (std::vector<Row> { { "25", "50", "a", " ", "" } }));
    // More than three lines: the rest joins the third, and the next block starts in step.
    EXPECT_EQ(read("1\n00:00:01,000 --> 00:00:02,000\na\nb\nc\nd\ne\n\n2\n00:00:03,000 --> 00:00:04,000\nf\n", 25),
        (std::vector<Row> { { "25", "50", "a", "b", "c d e" }, { "75", "100", "f", "", "" } }));
}

TEST(SubRip, FailedBlockIsStoredWithThePreviousValues)
{
    SubtitleTable table;
    const std::string file = "1\n00:00:01,000 --> 00:00:02,000\na\n\n2\n99999999999:00:00,000 --> 0\nb\n\n";
    LineReader lines(file);
    EXPECT_THROW(ReadSubRip(lines, table, 1, 25), ConversionError);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "25", "50", "a", "", "" }, { "25", "50", "a", "", "" } }));
}

TEST(SubRip, WriterSkipsEmptyTextLinesSoBlocksReadBack)
{
    const std::vector<Row> rows = { { "25", "50", "", "second" }, { "75", "100" }, { "125", "150", "a", "", "c" } };
    const std::string file = write(rows, 25);
    EXPECT_EQ(file,
        "1\r\n00:00:01,000 --> 00:00:02,000\r\nsecond\r\n\r\n"
        "2\r\n00:00:03,000 --> 00:00:04,000\r\n\r\n"
        "3\r\n00:00:05,000 --> 00:00:06,000\r\na\r\nc\r\n\r\n");
    EXPECT_EQ(read(file, 25),
        (std::vector<Row> {
            { "25", "50", "second", "", "" }, { "75", "100", "", "", "" }, { "125", "150", "a", "c", "" } }));
}

TEST(SubRip, WriterFormatsAndFails)
{
    EXPECT_EQ(write({ { "1000", "1000", "x" } }, 23.976), "1\r\n00:00:41,708 --> 00:00:41,708\r\nx\r\n\r\n");
    EXPECT_EQ(write({ { "", "9000000", "x" } }, 25), "1\r\n00:00:00,000 --> 100:00:00,000\r\nx\r\n\r\n");
    EXPECT_THROW(write({ { "-5", "10", "x" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "12a", "10", "x" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "10", "x" } }, 0), MathError);
}
