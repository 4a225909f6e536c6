#include "core/errors.h"
#include "formats/subviewer2.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

const std::string Header = "[INFORMATION]\r\n[TITLE]SubViewer 2\r\n[AUTHOR]\r\n[SOURCE]\r\n[PRG]\r\n[FILEPATH]\r\n"
                           "[DELAY]0\r\n[CD TRACK]0\r\n[COMMENT]\r\n[END INFORMATION]\r\n[SUBTITLE]\r\n"
                           "[COLF]&HFFFFFF,[STYLE]bd,[SIZE]18,[FONT]Arial\r\n";

std::vector<Row> read(const std::string& text, double fps) { return test::ReadRows(ReadSubViewer2, text, fps); }

std::string write(const std::vector<Row>& rows, double fps) { return test::WriteRows(WriteSubViewer2, rows, fps); }

} // namespace

TEST(SubViewer2, WorkedExampleBothWays)
{
    const std::string file = Header + "00:00:01.00,00:00:04.00\r\nHello[br]world\r\n\r\n";
    EXPECT_EQ(write({ { "25", "100", "Hello", "world" } }, 25), file);
    EXPECT_EQ(read(file, 25), (std::vector<Row> { { "25", "100", "Hello", "world", "" } }));
}

TEST(SubViewer2, WritesHundredthsAfterAPoint)
{
    struct Case {
        const char* from;
        const char* to;
        double fps;
        const char* timeLine;
    };
    const Case cases[] = {
        { "62500", "65040", 1000, "00:01:02.50,00:01:05.04" },
        { "1995", "1994", 1000, "00:00:02.00,00:00:01.99" }, // halves of a hundredth round up
        { "5", "1005", 1000, "00:00:00.01,00:00:01.01" }, { "", "0", 25, "00:00:00.00,00:00:00.00" },
        { "9000000", "9000001", 25, "100:00:00.00,100:00:00.04" },
        { "1", "1000", 23.976, "00:00:00.04,00:00:41.71" }, // 42 ms and 41708 ms
    };
    for (const Case& c : cases)
        EXPECT_EQ(write({ { c.from, c.to, "x" } }, c.fps), Header + c.timeLine + "\r\nx\r\n\r\n") << c.timeLine;
}

TEST(SubViewer2, WritesTextLinesJoinedByBr)
{
    struct Case {
        Row row;
        const char* text;
        Row readBack;
    };
    const Case cases[] = {
        { { "0", "0", "a", "", "c" }, "a[br]c", { "0", "0", "a", "c", "" } },
        { { "0", "0", "", "b", "" }, "[br]b", { "0", "0", "", "b", "" } },
        { { "0", "0", "a", "b", "c" }, "a[br]b[br]c", { "0", "0", "a", "b", "c" } },
        { { "0", "0", "", "", "" }, "", { "0", "0", "", "", "" } },
    };
    for (const Case& c : cases) {
        const std::string file = write({ c.row }, 25);
        EXPECT_EQ(file, Header + "00:00:00.00,00:00:00.00\r\n" + c.text + "\r\n\r\n") << c.text;
        EXPECT_EQ(read(file, 25), std::vector<Row> { c.readBack }) << c.text;
    }
}

TEST(SubViewer2, WriterFailsOnCellsThatAreNoFrames)
{
    EXPECT_THROW(write({ { "-5", "10", "a" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "1x", "a" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "10", "a" } }, 0), MathError);
}

TEST(SubViewer2, ReadsTimesByDigitRuns)
{
    struct Case {
        const char* timeLine;
        double fps;
        const char* from;
        const char* to;
    };
    const Case cases[] = {
        { "00:01:02,50,00:01:05,04", 1000, "62500", "65040" }, // the comma form still reads
        { "00:01:02.50,00:01:05.04", 1000, "62500", "65040" },
        { "00:00:01.500,00:00:02.00", 1000, "6000", "2000" }, // the fourth number is always hundredths
        { "00:00:01", 1000, "1000", "0" }, // missing numbers are 0
        { "100:00:00.00,100:00:00.04", 25, "9000000", "9000001" },
        { "00:00:41.71,00:00:41.71", 23.976, "1000", "1000" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(Header + c.timeLine + "\nx\n\n", c.fps), (std::vector<Row> { { c.from, c.to, "x", "", "" } }))
            << c.timeLine;
}

TEST(SubViewer2, SkipsEmptyLinesAfterTheHeader)
{
    const std::vector<Row> rows = { { "25", "50", "a", "", "" }, { "75", "100", "b", "", "" } };
    const std::string body = "00:00:01.00,00:00:02.00\r\na\r\n\r\n00:00:03.00,00:00:04.00\r\nb\r\n\r\n";
    EXPECT_EQ(read(Header + "\r\n" + body, 25), rows);
    EXPECT_EQ(read(Header + "\r\n\r\n" + body, 25), rows);
    EXPECT_EQ(read(Header + body, 25), rows);
}

TEST(SubViewer2, ReadingEdges)
{
    struct Case {
        const char* name;
        std::string file;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        { "more than three pieces", Header + "00:00:01.00,00:00:02.00\na[br]b[br]c[br]d\n",
            { { "25", "50", "a", "b", "c" } } },
        { "no empty line at the end", Header + "00:00:01.00,00:00:02.00\na\n\n00:00:03.00,00:00:04.00\nb",
            { { "25", "50", "a", "", "" }, { "75", "100", "b", "", "" } } },
        { "a missing separator shifts the blocks",
            Header + "00:00:01.00,00:00:02.00\na\n00:00:03.00,00:00:04.00\nb\n\n",
            { { "25", "50", "a", "", "" }, { "0", "0", "", "", "" } } },
        { "a final [br] gives no empty piece", Header + "00:00:01.00,00:00:02.00\na[br]\n\n",
            { { "25", "50", "a", "", "" } } },
        { "[BR] in capitals is text", Header + "00:00:01.00,00:00:02.00\na[BR]b\n\n",
            { { "25", "50", "a[BR]b", "", "" } } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.file, 25), c.rows) << c.name;
}

TEST(SubViewer2, HeaderOnlyLeavesTheTable)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "keep" }, { "3", "4", "me" } });
    for (const std::string& file : { Header, Header + "\r\n", std::string() }) {
        LineReader lines(file);
        ReadSubViewer2(lines, table, 1, 25);
        EXPECT_EQ(table.rowCount(), 3);
        EXPECT_EQ(table.cell(SubtitleTable::Line1, 2), "me");
    }
}

TEST(SubViewer2, FailedBlockIsStoredWithThePreviousValues)
{
    SubtitleTable table;
    const std::string file = Header + "00:00:01.00,00:00:02.00\na\n\n00:00:03.00," + std::string(30, '9') + "\nb\n\n";
    LineReader lines(file);
    EXPECT_THROW(ReadSubViewer2(lines, table, 1, 25), ConversionError);
    // The start was reached, the end and the text were not.
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "25", "50", "a", "", "" }, { "75", "50", "a", "", "" } }));
}

TEST(SubViewer2, AppendReadsTheFirstBlockLikeOpen)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "old" }, { "3", "4", "older" } });
    const std::string file = Header + "00:00:01.00,00:00:02.00\nnew\n\n";
    LineReader lines(file);
    ReadSubViewer2(lines, table, 3, 25);
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> {
            { "1", "2", "old", "", "" }, { "3", "4", "older", "", "" }, { "25", "50", "new", "", "" } }));
}

TEST(SubViewer2, RoundTripKeepsFramesAtWholeHundredths)
{
    const std::vector<Row> rows = { { "25", "100", "a", "b", "c" }, { "0", "37", "d" }, { "90000", "90050", "", "e" } };
    std::vector<Row> expected;
    for (Row r : rows) {
        r.resize(5);
        expected.push_back(r);
    }
    EXPECT_EQ(read(write(rows, 25), 25), expected);
}
