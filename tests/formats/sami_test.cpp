#include "core/errors.h"
#include "formats/sami.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

const std::string Header = "<sami>\r\n<head>\r\n<title>My Movie</title>\r\n<style type=\"text/css\"><!--\r\n"
                           "P {\r\nmargin-left: 8pt;\r\nmargin-right: 8pt;\r\nfont-size: 14pt;\r\n"
                           "text-align: center;\r\nfont-family: tahoma, arial, sans-serif;\r\n"
                           "font-weight: bold; color: white; background-color: black;\r\n}\r\n.encc {\r\n"
                           "name: \"English\";\r\nlang: en;\r\n}\r\n#normal {name: \"normal\";}-->\r\n"
                           "</style>\r\n</head>\r\n<body>\r\n\r\n";
const std::string Footer = "</body>\r\n</sami>\r\n";

std::vector<Row> read(const std::string& text, double fps) { return test::ReadRows(ReadSAMI, text, fps); }

std::string write(const std::vector<Row>& rows, double fps) { return test::WriteRows(WriteSAMI, rows, fps); }

} // namespace

TEST(SAMI, WorkedExampleBothWays)
{
    const std::string file = Header
        + "  <sync start=1000>\r\n  <p class=encc>Hello\r\n"
          "  <sync start=2000>\r\n  <p class=encc>&nbsp;\r\n"
          "  <sync start=8000>\r\n  <p class=encc>Bye\r\n"
        + Footer;
    EXPECT_EQ(write({ { "25", "50", "Hello" }, { "200", "250", "Bye" } }, 25), file);
    EXPECT_EQ(read(file, 25), (std::vector<Row> { { "25", "50", "Hello", "", "" }, { "200", "300", "Bye", "", "" } }));
}

TEST(SAMI, WriterJoinsLinesAndRoundsHalfMillisecondsUp)
{
    struct Case {
        Row row;
        double fps;
        const char* body;
    };
    const Case cases[] = {
        { { "1", "2", "x" }, 16, "  <sync start=63>\r\n  <p class=encc>x\r\n" },
        { { "1000", "", "a", "b", "c" }, 23.976, "  <sync start=41708>\r\n  <p class=encc>a<br>b<br>c\r\n" },
        { { "", "", "", "b" }, 25, "  <sync start=0>\r\n  <p class=encc><br>b\r\n" },
        { { "25", "50", "a", "", "c" }, 25, "  <sync start=1000>\r\n  <p class=encc>a<br>c\r\n" },
        { { "25", "50" }, 25, "  <sync start=1000>\r\n  <p class=encc>\r\n" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(write({ c.row }, c.fps), Header + c.body + Footer) << c.body;
}

TEST(SAMI, ClearingBlockOnlyAfterAPauseOfMoreThanFiveFrames)
{
    const std::string five = write({ { "25", "50", "a" }, { "55", "60", "b" } }, 25);
    EXPECT_EQ(five.find("&nbsp;"), std::string::npos);
    EXPECT_EQ(read(five, 25), (std::vector<Row> { { "25", "54", "a", "", "" }, { "55", "155", "b", "", "" } }));
    const std::string six = write({ { "25", "50", "a" }, { "56", "60", "b" } }, 25);
    EXPECT_NE(six.find("  <sync start=2000>\r\n  <p class=encc>&nbsp;\r\n"), std::string::npos);
    EXPECT_EQ(read(six, 25), (std::vector<Row> { { "25", "50", "a", "", "" }, { "56", "156", "b", "", "" } }));
}

TEST(SAMI, WriterFailsOnBadCells)
{
    EXPECT_THROW(write({ { "-5", "10", "x" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "12a", "x" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "10", "x" }, { "x", "20", "y" } }, 25), ConversionError);
    EXPECT_THROW(write({ { "5", "10", "x" } }, 0), MathError);
}

TEST(SAMI, ReadsTagsInAnyCase)
{
    const std::string body = "<SYNC Start=1000>\n<P Class=ENCC>Hello&NBSP;<BR>World\n";
    EXPECT_EQ(read("<SAMI>\n<BODY>\n" + body, 25), (std::vector<Row> { { "25", "125", "Hello", "World", "" } }));
}

TEST(SAMI, ParagraphTextLines)
{
    struct Case {
        const char* paragraph;
        Row expected;
    };
    const Case cases[] = {
        { "<p class=encc>one <i>two</i> three<br>four", { "25", "125", "one ", "two", " three" } },
        { "<p class=encc><br>b", { "25", "125", "b", "", "" } },
        { "<p class=encc>&nbsp;a&nbsp;b", { "25", "125", "ab", "", "" } },
        { "  <p class=encc> spaced ", { "25", "125", " spaced ", "", "" } },
        // A ">" outside a tag is no text; the text around it is one line.
        { "<p class=encc>a > b<br>c", { "25", "125", "a  b", "c", "" } },
        // No ">": the scan starts at the first character.
        { "Hello <p x", { "25", "125", "Hello ", "", "" } },
        // Only the paragraph line itself is read.
        { "ignored\n<p class=encc>Hello\nWorld", { "25", "125", "Hello", "", "" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(std::string("<sync start=1000>\n") + c.paragraph + "\n", 25), std::vector<Row> { c.expected })
            << c.paragraph;
}

TEST(SAMI, EmptyParagraphEndsThePreviousRowAtItsStart)
{
    // An all-empty row is written as a bare paragraph and read as a clearing one.
    const std::string file = write({ { "25", "48", "a" }, { "50", "52" }, { "55", "60", "b" } }, 25);
    EXPECT_EQ(read(file, 25), (std::vector<Row> { { "25", "50", "a", "", "" }, { "55", "155", "b", "", "" } }));
}

TEST(SAMI, LastRowLastsFourSeconds)
{
    EXPECT_EQ(read("<sync start=1000><p class=encc>a\n<sync start=2000><p class=encc>&nbsp;\n", 23.976),
        (std::vector<Row> { { "24", "120", "a", "", "" } }));
}

TEST(SAMI, SeveralSubtitlesOnOneLine)
{
    const std::string line = "<SYNC Start=1000><P Class=ENCC>Hello<SYNC Start=2000><P Class=ENCC>&nbsp;"
                             "<SYNC Start=3000><P Class=ENCC>World";
    EXPECT_EQ(read("<SAMI><BODY>" + line + "</BODY></SAMI>", 25),
        (std::vector<Row> { { "25", "50", "Hello", "", "" }, { "75", "175", "World", "", "" } }));
    EXPECT_EQ(read("<SYNC Start=1000><P Class=ENCC>a\n<SYNC Start=2000><P Class=ENCC>b\n", 25),
        (std::vector<Row> { { "25", "49", "a", "", "" }, { "50", "150", "b", "", "" } }));
}

TEST(SAMI, SyncTimes)
{
    struct Case {
        const char* sync;
        const char* from;
    };
    const Case cases[] = {
        { "<sync start=>", "0" },
        { "<sync start=\"1500\">", "38" },
        { "<sync begin=1000>", "25" }, // no "start=": only the tag is scanned
        { "<sync>Chapter 5", "0" },
        { "<sync start=20>", "0" }, // 0.5 frame rounds to even
        { "<sync start=60>", "2" },
        { "<sync id=7 START=1000>", "25" }, // "start=" after another '='
        { "<sync a= reStart=2000>", "50" },
        { "=<sync start=3000>", "75" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(std::string(c.sync) + "\n<p class=encc>x\n", 25).at(0).at(0), c.from) << c.sync;
}

TEST(SAMI, AppendSetsTheEndOfTheLastExistingRow)
{
    const std::string file = "<sync start=1000>\n<p>&nbsp;\n<p class=encc>&nbsp;\n<sync start=2000>\n<p class=encc>x\n";
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "old" }, { "3", "4", "last" } });
    LineReader lines(file);
    ReadSAMI(lines, table, table.rowCount(), 25);
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> {
            { "1", "2", "old", "", "" }, { "3", "25", "last", "", "" }, { "50", "150", "x", "", "" } }));

    test::Fill(table, { { "1", "", "open end" } });
    LineReader more("<sync start=2000>\n<p class=encc>x\n");
    ReadSAMI(more, table, table.rowCount(), 25);
    EXPECT_EQ(
        test::Rows(table), (std::vector<Row> { { "1", "49", "open end", "", "" }, { "50", "150", "x", "", "" } }));
}

TEST(SAMI, FileWithoutSubtitlesLeavesTheTable)
{
    for (const char* file : { "", "<sami>\n<body>\n</body>\n</sami>\n", "<sync start=1000>\n<sync start=2000>\n" }) {
        SubtitleTable table;
        test::Fill(table, { { "1", "2", "old" }, { "3", "4", "older" } });
        LineReader lines(file);
        ReadSAMI(lines, table, 1, 25);
        EXPECT_EQ(test::Rows(table).size(), 2u) << file;
        EXPECT_EQ(test::Rows(table)[0], (Row { "1", "2", "old", "", "" })) << file;
    }
}

TEST(SAMI, OversizedTimeStopsReadingAndKeepsEarlierRows)
{
    SubtitleTable table;
    LineReader lines("<sync start=1000>\n<p class=encc>a\n<sync start=99999999999>\n<p class=encc>b\n");
    EXPECT_THROW(ReadSAMI(lines, table, 1, 25), ConversionError);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "25", "", "a", "", "" } }));
}
