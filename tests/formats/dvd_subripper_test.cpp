#include "core/errors.h"
#include "formats/dvd_subripper.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

const std::string Header = "{HEAD\r\nDISCID=\r\nDVDTITLE=\r\nCODEPAGE=\r\nFORMAT=ASCII\r\nLANG=en\r\nTITLE=1\r\n"
                           "ORIGINAL=\r\nAUTHOR=\r\nWEB=\r\nINFO=\r\nLICENSE=\r\n}\r\n";

std::vector<Row> read(const std::string& text, double fps) { return test::ReadRows(ReadDVDSubripper, text, fps); }

std::string write(const std::vector<Row>& rows, double fps) { return test::WriteRows(WriteDVDSubripper, rows, fps); }

} // namespace

TEST(DVDSubripper, WorkedExampleBothWays)
{
    const std::string file = Header + "{T 00:00:01:00\r\nHello\r\n}\r\n{T 00:00:04:00\r\nWorld\r\n}\r\n";
    EXPECT_EQ(write({ { "25", "30", "Hello" }, { "100", "", "World" } }, 25), file);
    EXPECT_EQ(
        read(file, 25), (std::vector<Row> { { "25", "92", "Hello", "", "" }, { "101", "168", "World", "", "" } }));
}

TEST(DVDSubripper, WriterTimeLines)
{
    struct Case {
        const char* from;
        double fps;
        const char* timeLine;
    };
    const Case cases[] = {
        { "1562", 25, "{T 00:01:02:48" },
        { "1995", 1000, "{T 00:00:02:00" }, // 995 ms and more carry into the next second
        { "1994", 1000, "{T 00:00:01:99" },
        { "9000000", 25, "{T 100:00:00:00" }, // hours are not wrapped
        { " +25", 25, "{T 00:00:01:00" }, // read as an integer as it stands
        { "1000", 23.976, "{T 00:00:41:71" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(write({ { c.from, "", "x" } }, c.fps), Header + c.timeLine + "\r\nx\r\n}\r\n") << c.from;
}

TEST(DVDSubripper, WriterSkipsEmptyTextLines)
{
    EXPECT_EQ(write({ { "25", "", "", "second" }, { "50", "", "a", "", "c" }, { "75" } }, 25),
        Header + "{T 00:00:01:00\r\nsecond\r\n}\r\n{T 00:00:02:00\r\na\r\nc\r\n}\r\n{T 00:00:03:00\r\n}\r\n");
    EXPECT_EQ(
        read(write({ { "25", "", "", "second" } }, 25), 25), (std::vector<Row> { { "25", "93", "second", "", "" } }));
}

TEST(DVDSubripper, WriterFailsAndKeepsTheBlocksBefore)
{
    StringSink sink;
    SubtitleTable table;
    test::Fill(table, { { "25", "", "a" }, { "", "", "b" } });
    WriteContext context;
    context.framerate = 25;
    EXPECT_THROW(WriteDVDSubripper(table, 1, 2, context, sink), ConversionError);
    EXPECT_EQ(sink.text(), Header + "{T 00:00:01:00\r\na\r\n}\r\n");
    EXPECT_THROW(write({ { "12a", "", "x" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "", "x" } }, 0), MathError);
}

TEST(DVDSubripper, HeaderOnlyLeavesTheTable)
{
    for (const std::string& file : { Header, std::string("{HEAD\nTITLE=1\n"), std::string() }) {
        SubtitleTable table;
        test::Fill(table, { { "1", "2", "old" }, { "3", "4", "older" } });
        LineReader lines(file);
        ReadDVDSubripper(lines, table, 1, 25);
        EXPECT_EQ(test::Rows(table).size(), 2u) << file;
    }
}

TEST(DVDSubripper, BlockWithoutTextStillCapsThePreviousEnd)
{
    const std::string file = Header
        + "{T 00:00:01:00\nHello\n}\n{T 00:00:02:00\n}\n{T 00:00:04:00\n\nlost\n}\n"
          "{T 00:00:05:00\nWorld\n}\n";
    EXPECT_EQ(
        read(file, 25), (std::vector<Row> { { "25", "50", "Hello", "", "" }, { "126", "193", "World", "", "" } }));
}

TEST(DVDSubripper, LastSubtitleLastsAtMostFiveSeconds)
{
    const std::string text(70, 'x');
    EXPECT_EQ(
        read(Header + "{T 00:00:01:00\n" + text + "\n}\n", 25), (std::vector<Row> { { "25", "150", text, "", "" } }));
    // Characters, not bytes, lengthen the display.
    EXPECT_EQ(read(Header + "{T 00:00:01:00\nÄÖü\n}\n", 25), (std::vector<Row> { { "25", "90", "ÄÖü", "", "" } }));
}

TEST(DVDSubripper, EmptyLineAfterTheLastBlockEndsItAtZero)
{
    EXPECT_EQ(read(Header + "{T 00:00:01:00\nHello\n}\n\n", 25), (std::vector<Row> { { "25", "0", "Hello", "", "" } }));
}

TEST(DVDSubripper, ReadsTimeLinesByDigitRuns)
{
    struct Case {
        const char* timeLine;
        double fps;
        const char* from;
    };
    const Case cases[] = {
        { "{T 00:01:02:50", 25, "1562" }, // 1562.5 rounds to even
        { "{T 00:00:01:50", 25, "38" }, // 37.5 rounds to even
        { "{T 1:2", 25, "93000" },
        { "{T", 25, "0" },
        { "{T 00:00:41:71", 23.976, "1000" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(Header + c.timeLine + "\nx\n}\n", c.fps).at(0).at(0), c.from) << c.timeLine;
}

TEST(DVDSubripper, ExtraLinesJoinTheThirdAndCount)
{
    const std::string file = Header + "{T 00:00:01:00\na\nb\nc\nd\n\ne\n}\n{T 00:00:10:00\nf\n}\n";
    // 25 + 62 + 7 characters ("a", "b", "c d e")
    EXPECT_EQ(read(file, 25), (std::vector<Row> { { "25", "94", "a", "b", "c d e" }, { "251", "314", "f", "", "" } }));
}

TEST(DVDSubripper, FileEndingInsideABlock)
{
    // The line the file ends with is not taken, so this block has no text.
    EXPECT_EQ(read(Header + "{T 00:00:01:00\nHello\n}\n{T 00:00:02:00\nWorld", 25),
        (std::vector<Row> { { "25", "50", "Hello", "", "" } }));
}

TEST(DVDSubripper, OversizedTimeStopsReadingAndKeepsEarlierRows)
{
    SubtitleTable table;
    // The block whose following time line fails is not stored either.
    const std::string file = Header + "{T 00:00:01:00\na\n}\n{T 00:00:02:00\nb\n}\n{T 99999999999\nc\n}\n";
    LineReader lines(file);
    EXPECT_THROW(ReadDVDSubripper(lines, table, 1, 25), ConversionError);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "25", "50", "a", "", "" } }));
}
