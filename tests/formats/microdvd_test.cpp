#include "formats/microdvd.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

std::vector<Row> read(const std::string& text) { return test::ReadRows(ReadMicroDVD, text, 25); }

std::string write(const std::vector<Row>& rows) { return test::WriteRows(WriteMicroDVD, rows, 25); }

} // namespace

TEST(MicroDVD, ReadsLinesAsTheyStand)
{
    struct Case {
        const char* line;
        Row row;
    };
    const Case cases[] = {
        { "{1}{25}Hello", { "1", "25", "Hello", "", "" } },
        { "{10}{20}{y:i}Hello|World", { "10", "20", "{y:i}Hello", "World", "" } },
        { "{10}{20}A|B|C|D", { "10", "20", "A", "B", "C" } }, { "{10}{20}|B", { "10", "20", "", "B", "" } },
        { "{10}{20}A|", { "10", "20", "A", "", "" } }, { "{10}{}", { "10", "", "", "", "" } },
        { "Hello", { "", "", "Hello", "", "" } }, { "{ 1a}{-2}x", { " 1a", "-2", "x", "", "" } },
        { "{1}{1}23.976", { "1", "1", "23.976", "", "" } },
        { "}{5}x", { "", "5", "x", "", "" } }, // a "}" before the "{" gives an empty start
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.line), std::vector<Row> { c.row }) << c.line;
}

TEST(MicroDVD, EmptyLinesBecomeEmptyRows)
{
    EXPECT_EQ(read("{1}{2}a\r\n\r\n{3}{4}b\r\n\r\n"),
        (std::vector<Row> {
            { "1", "2", "a", "", "" }, { "", "", "", "", "" }, { "3", "4", "b", "", "" }, { "", "", "", "", "" } }));
}

TEST(MicroDVD, WritesRowsWithNonEmptyExtraLines)
{
    EXPECT_EQ(write({ { "1", "50", "Hello", "world" } }), "{1}{50}Hello|world\r\n");
    EXPECT_EQ(write({ { "1", "50" } }), "{1}{50}\r\n");
    EXPECT_EQ(write({ { "1", "50", "a", "", "c" } }), "{1}{50}a|c\r\n");
    EXPECT_EQ(write({ { "-5", "x", "a" } }), "{-5}{x}a\r\n");
}

TEST(MicroDVD, RoundTripIsByteExact)
{
    const std::string file = "{1}{25}Hello\r\n{30}{60}{y:i}Two|lines\r\n{70}{80}|Second only\r\n{90}{99}\r\n";
    SubtitleTable table;
    LineReader lines(file);
    ReadMicroDVD(lines, table, 1, 0);
    StringSink sink;
    WriteMicroDVD(table, 1, table.rowCount() - 1, {}, sink);
    EXPECT_EQ(sink.text(), file);
}
