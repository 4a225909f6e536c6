#include "core/errors.h"
#include "formats/aqtitle.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

std::vector<Row> read(const std::string& text) { return test::ReadRows(ReadAQTitle, text, 25); }

std::string write(const std::vector<Row>& rows) { return test::WriteRows(WriteAQTitle, rows, 25); }

} // namespace

TEST(AQTitle, WorkedExampleBothWays)
{
    const std::string file = "-->> 000100\r\nOne\r\n\r\n"
                             "-->> 000150\r\n\r\n\r\n"
                             "-->> 000300\r\nTwo\r\nLines\r\n"
                             "-->> 000350\r\n\r\n\r\n";
    EXPECT_EQ(write({ { "100", "150", "One" }, { "300", "350", "Two", "Lines" } }), file);
    EXPECT_EQ(read(file), (std::vector<Row> { { "101", "149", "One", "", "" }, { "301", "349", "Two", "Lines", "" } }));
}

TEST(AQTitle, WritesAClearingBlockOnlyForGapsOverFiveFrames)
{
    EXPECT_EQ(write({ { "10", "20", "a" }, { "25", "40", "b" } }),
        "-->> 000010\r\na\r\n\r\n-->> 000025\r\nb\r\n\r\n-->> 000040\r\n\r\n\r\n");
    EXPECT_EQ(write({ { "10", "20", "a" }, { "26", "40", "b" } }),
        "-->> 000010\r\na\r\n\r\n-->> 000020\r\n\r\n\r\n-->> 000026\r\nb\r\n\r\n-->> 000040\r\n\r\n\r\n");
}

TEST(AQTitle, EmptyRangeWritesOnlyTheClosingBlock)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "keep" }, { "3", "4", "me" } });
    StringSink sink;
    WriteAQTitle(table, 1, 0, WriteContext(), sink);
    EXPECT_EQ(sink.text(), "-->> 999999\r\n\r\n\r\n");
    LineReader lines(sink.text());
    ReadAQTitle(lines, table, 1, 25);
    EXPECT_EQ(table.rowCount(), 3);
}

TEST(AQTitle, WriterKeepsTwoLinesAndFailsOnBadCells)
{
    EXPECT_EQ(write({ { "", "", "a", "b", "lost" } }), "-->> 000000\r\na\r\nb\r\n-->> 000000\r\n\r\n\r\n");
    EXPECT_EQ(write({ { "1234567", "2000000", "big" } }), "-->> 1234567\r\nbig\r\n\r\n-->> 2000000\r\n\r\n\r\n");
    EXPECT_THROW(write({ { "-5", "10", "a" } }), ConversionError);
    EXPECT_THROW(write({ { "5", "1x", "a" } }), ConversionError);
    EXPECT_THROW(write({ { "5", "10", "a" }, { "1 ", "20", "b" } }), ConversionError);
}

TEST(AQTitle, RoundTripShiftsStartsLaterAndEndsEarlier)
{
    const std::vector<Row> rows = {
        { "0", "10", "from zero" },
        { "12", "30", "short gap" },
        { "100", "200", "", "second only" },
        { "300", "400", "", "" },
        { "1234567", "1234600", "big" },
    };
    EXPECT_EQ(read(write(rows)),
        (std::vector<Row> {
            { "0", "11", "from zero", "", "" }, // a first marker of 0 stays
            { "13", "29", "short gap", "", "" }, // no clearing: next start - 1
            { "101", "199", "", "second only", "" },
            { "1234568", "1234599", "big", "", "" }, // the empty row is not read back
        }));
    // A first marker of 1 stays too; 2 and more move one frame later.
    EXPECT_EQ(read("-->> 1\na\n\n-->> 5\n"), (std::vector<Row> { { "1", "4", "a", "", "" } }));
    EXPECT_EQ(read("-->> 2\na\n\n-->> 5\n"), (std::vector<Row> { { "3", "4", "a", "", "" } }));
}

TEST(AQTitle, ReadingEdges)
{
    struct Case {
        const char* name;
        std::string file;
        std::vector<Row> rows;
    };
    const Case cases[] = {
        { "no following marker loses the block", "-->> 10\na\n\n-->> 20\nb\n\n", { { "11", "19", "a", "", "" } } },
        { "a following marker of 1 keeps the blocks in step", "-->> 0\na\n\n-->> 1\nb\n\n-->> 9\n\n\n",
            { { "0", "0", "a", "", "" }, { "2", "8", "b", "", "" } } },
        { "a marker without digits is 0", "-->> x\na\nb\n-->>\n\n\n", { { "0", "-1", "a", "b", "" } } },
        { "the first digit run counts", "-->> 10 (20)\na\n\n-->> 30 40\n", { { "11", "29", "a", "", "" } } },
        { "the largest marker", "-->> 2147483647\na\n\n-->> 2147483647\nb\n\n-->> 2147483647\n",
            { { "2147483648", "2147483646", "a", "", "" }, { "2147483648", "2147483646", "b", "", "" } } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.file), c.rows) << c.name;
}

TEST(AQTitle, ConversionErrorKeepsTheRowsBefore)
{
    SubtitleTable table;
    const std::string file = "-->> 10\na\n\n-->> 20\nb\n\n-->> " + std::string(30, '9') + "\n\n\n";
    LineReader lines(file);
    EXPECT_THROW(ReadAQTitle(lines, table, 1, 25), ConversionError);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "11", "19", "a", "", "" } }));
}
