#include "core/errors.h"
#include "formats/subviewer1.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

const std::string Header = "[TITLE]\r\n\r\n[AUTHOR]\r\n\r\n[SOURCE]\r\n\r\n[FILEPATH]\r\n\r\n[DELAY]\r\n0\r\n"
                           "[CD TRACK]\r\n0\r\n[BEGIN]\r\n******** START SCRIPT ********\r\n";
const std::string Footer = "[END]\r\n******** End Script ********\r\n";

std::vector<Row> read(const std::string& text, double fps) { return test::ReadRows(ReadSubViewer1, text, fps); }

std::string write(const std::vector<Row>& rows, double fps) { return test::WriteRows(WriteSubViewer1, rows, fps); }

} // namespace

TEST(SubViewer1, WritesHeaderBodyAndFooter)
{
    // The pause after "Two" (gap 100 frames) gets an end line and an empty line.
    const std::string file = write(
        { { "25", "100", "Hello", "world" }, { "110", "200", "Two" }, { "300", "1575", "Three", "", "third" } }, 25);
    EXPECT_EQ(file,
        Header
            + "[00:00:01]\r\nHello|world\r\n"
              "[00:00:04]\r\nTwo\r\n[00:00:08]\r\n\r\n"
              "[00:00:12]\r\nThree|third\r\n"
            + Footer);
}

TEST(SubViewer1, WritesAnEndLineOnlyForGapsOverThirtyFrames)
{
    struct Case {
        const char* nextFrom;
        bool endLine;
    };
    const Case cases[] = { { "130", false }, { "131", true }, { "100", false }, { "50", false } };
    for (const Case& c : cases) {
        const std::string file = write({ { "25", "100", "a" }, { c.nextFrom, "2000", "b" } }, 25);
        EXPECT_EQ(file.find("[00:00:04]\r\n\r\n") != std::string::npos, c.endLine) << c.nextFrom;
    }
}

TEST(SubViewer1, WritesWholeSecondsDroppingTheRemainder)
{
    struct Case {
        const char* from;
        double fps;
        const char* line;
    };
    const Case cases[] = {
        { "1995", 1000, "[00:00:01]" }, // 995 ms is dropped, not rounded
        { "", 25, "[00:00:00]" }, // an empty cell is frame 0
        { "9000000", 25, "[100:00:00]" }, // hours are not wrapped
        { "1000", 23.976, "[00:00:41]" }, // 41708 ms
    };
    for (const Case& c : cases) {
        const std::string file = write({ { c.from, "0", "x" } }, c.fps);
        EXPECT_EQ(file, Header + c.line + "\r\nx\r\n" + Footer) << c.from;
    }
}

TEST(SubViewer1, WriterFailsOnCellsThatAreNoFrames)
{
    EXPECT_THROW(write({ { "-5", "10", "a" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "1x", "a" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "10", "a" }, { "12a", "20", "b" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "10", "a" } }, 0), MathError);
}

TEST(SubViewer1, EmptyRangeWritesNoBodyAndReadsNoRows)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "keep" }, { "3", "4", "me" } });
    StringSink sink;
    WriteContext context;
    context.framerate = 25;
    WriteSubViewer1(table, 1, 0, context, sink);
    EXPECT_EQ(sink.text(), Header + Footer);
    LineReader lines(sink.text());
    ReadSubViewer1(lines, table, 1, 25);
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 2), "me");
}

TEST(SubViewer1, ReadsBackCutToSecondsWithChainedEnds)
{
    const std::vector<Row> rows
        = { { "30", "100", "Hello", "world" }, { "110", "200", "Two" }, { "300", "400", "Three" } };
    // To of the first row becomes the next From (no end line), the pause end
    // is kept, the last row lasts 2.5 s (62 frames at 25 fps, ties to even).
    EXPECT_EQ(read(write(rows, 25), 25),
        (std::vector<Row> { { "25", "100", "Hello", "world", "" }, { "100", "200", "Two", "", "" },
            { "300", "362", "Three", "", "" } }));
    // At 23.976 the default duration is 59.94 -> 60 frames.
    EXPECT_EQ(
        read(Header + "[00:00:10]\r\nx\r\n" + Footer, 23.976), (std::vector<Row> { { "240", "300", "x", "", "" } }));
}

TEST(SubViewer1, RowsWithoutFirstLineAreNotReadBack)
{
    const std::string file = write({ { "25", "50", "", "second" }, { "75", "100" }, { "125", "150", "kept" } }, 25);
    EXPECT_NE(file.find("\r\n|second\r\n"), std::string::npos);
    EXPECT_EQ(read(file, 25), (std::vector<Row> { { "125", "187", "kept", "", "" } }));
}

TEST(SubViewer1, ReadingEdges)
{
    struct Case {
        const char* name;
        std::string file;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        { "no footer loses the last text", Header + "[00:00:01]\nA\n[00:00:02]\nB", { { "25", "50", "A", "", "" } } },
        { "zero end is a missing end", Header + "[00:00:01]\nA\n[00:00:00]\n\n[END]\n",
            { { "25", "87", "A", "", "" } } },
        { "reading stops at [END]", Header + "[00:00:01]\nA\n[END]\n[00:00:05]\nB\n[00:00:09]\n",
            { { "25", "87", "A", "", "" } } },
        { "[end] in lower case is no footer", Header + "[00:00:01]\nA\n[end]\nB\n[END]\n",
            { { "25", "87", "A", "", "" }, { "87", "149", "B", "", "" } } },
        { "no start marker reads nothing", "[00:00:01]\nA\n[00:00:02]\n",
            { { "", "", "", "", "" } } }, // the fresh table, untouched
        { "pieces past the third are dropped", Header + "[00:00:01]\na||c|d\n[END]\n",
            { { "25", "87", "a", "", "c" } } },
        { "CR LF and bare LF read alike", Header + "[00:00:01]\r\nA|B\r\n[00:00:03]\r\n\r\n[END]\r\n",
            { { "25", "75", "A", "B", "" } } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.file, 25), c.rows) << c.name;
}

TEST(SubViewer1, ConversionErrorKeepsTheRowsBefore)
{
    SubtitleTable table;
    const std::string file = Header + "[00:00:01]\nA\n[00:00:02]\nB\n[00:00:" + std::string(30, '9') + "]\nC\n[END]\n";
    LineReader lines(file);
    EXPECT_THROW(ReadSubViewer1(lines, table, 1, 25), ConversionError);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "25", "50", "A", "", "" } }));
}

TEST(SubViewer1, AppendsAfterTheGivenRow)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "old" } });
    table.setRowCount(3);
    const std::string file = Header + "[00:00:01]\nnew\n[END]\n";
    LineReader lines(file);
    ReadSubViewer1(lines, table, 2, 25);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "1", "2", "old", "", "" }, { "25", "87", "new", "", "" } }));
}
