#include "core/errors.h"
#include "formats/ssa.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

const std::string Header
    = "[Script Info]\r\nTitle: <untitled>\r\nOriginal Script: <unknown>\r\nSynch Point: Side 1 0m00s\r\n"
      "ScriptType: v4.00\r\nCollisions: Normal\r\nPlayResY: 1024\r\nPlayDepth: 0\r\nTimer: 100,0000\r\n\r\n"
      "[V4 Styles]\r\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, TertiaryColour, "
      "BackColour, Bold, Italic, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, AlphaLevel, "
      "Encoding\r\nStyle: Default,Arial,56,16777215,65535,65280,-2147483640,-1,0,1,1,1,2,30,30,30,0,134\r\n\r\n"
      "[Events]\r\nFormat: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n";

const std::string Example = "Dialogue: Marked=0,0:00:01.50,0:00:03.00,*Default,NTP,0000,0000,0000,,";

std::vector<Row> read(const std::string& text, double fps = 25)
{
    SubtitleTable table;
    LineReader lines(text);
    ReadSSA(lines, table, 1, fps);
    return test::Rows(table);
}

std::string write(const std::vector<Row>& rows, double fps) { return test::WriteRows(WriteSSA, rows, fps); }

std::string readError(const std::string& text)
{
    try {
        read(text);
    } catch (const Error& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(SSA, ReadsTimesAndTextLines)
{
    struct Case {
        std::string text;
        Row expected;
    };
    const Case cases[] = {
        { "Hello, world\\NSecond{\\i1} line", { "38", "75", "Hello, world", "Second line", "" } },
        { "Hello, world\\nSecond{\\i1} line", { "38", "75", "Hello, world", "Second line", "" } },
        { "a\\hb", { "38", "75", "a\\hb", "", "" } },
        { "one\\N", { "38", "75", "one", "", "" } },
        { "a\\N\\Nb", { "38", "75", "a", "", "b" } },
        { "1\\N2\\N3\\N4", { "38", "75", "1", "2", "3" } },
        // A break is a backslash and n: the first backslash of two is text.
        { "a\\\\nb", { "38", "75", "a\\", "b", "" } },
        { "trailing\\", { "38", "75", "trailing\\", "", "" } },
        { "{\\b1}open {\\i1 block", { "38", "75", "open i1 block", "", "" } },
        // Nine commas and nothing after them: a row without text.
        { "", { "38", "75", "", "", "" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(Example + c.text), std::vector<Row> { c.expected }) << c.text;
}

TEST(SSA, OnlyFieldsOneTwoAndNineCount)
{
    const std::string file = "[Script Info]\nTitle: Dialogue test\n[Events]\n"
                             "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                             "Comment: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,skipped\n"
                             "dialogue: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,lower case is skipped\n"
                             "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Advanced\n"
                             "Dialogue: Marked=0,0:00:05,1:00:00.00,*Default,NTP,0000,0000,0000,,Short time\r\n";
    EXPECT_EQ(read(file),
        (std::vector<Row> { { "25", "50", "Advanced", "", "" }, { "125", "90000", "Short time", "", "" } }));
}

TEST(SSA, ShortDialogueLineStopsWithTheListError)
{
    struct Case {
        const char* line;
        const char* error;
    };
    const Case cases[] = {
        { "Dialogue: x", "List index out of bounds (1)" },
        { "Dialogue: Marked=0,0:00:01.00", "List index out of bounds (2)" },
        { "Dialogue: Marked=0,0:00:01.00,0:00:02.00,*Default,NTP,0000,0000,0000,text", "List index out of bounds (9)" },
        { "Dialogue: Marked=0,0:00:01.00,0:00:02.00,*Default,NTP,0000,0000,0000", "List index out of bounds (9)" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(readError(c.line), c.error) << c.line;
}

TEST(SSA, ReadErrorKeepsEarlierRowsAndTouchesNoOther)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "old" }, { "3", "4", "older" }, { "5", "6", "oldest" } });
    const std::string file = Example + "first\nDialogue: Marked=0,0:00:01.00,0:00:02.00,*Default,NTP,0000,0000,0000\n"
        + Example + "never\n";
    LineReader lines(file);
    EXPECT_THROW(ReadSSA(lines, table, 1, 25), Error);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "38", "75", "first", "", "" } }));

    // The start is written before the missing end is found.
    test::Fill(table, { { "1", "2", "old" } });
    LineReader bad("Dialogue: Marked=0,0:00:01.00\n");
    EXPECT_THROW(ReadSSA(bad, table, 1, 25), Error);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "25", "2", "old", "", "" } }));
    // Only the text is missing: both frame cells are written.
    LineReader noText("Dialogue: Marked=0,0:00:02.00,0:00:03.00,*Default,NTP,0000,0000,0000\n");
    EXPECT_THROW(ReadSSA(noText, table, 1, 25), Error);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "50", "75", "old", "", "" } }));

    LineReader huge("Dialogue: Marked=0,99999999999:00:00.00,0:00:00.00,,,,,,,x\n");
    EXPECT_THROW(ReadSSA(huge, table, 1, 25), ConversionError);
}

TEST(SSA, WritesTheWholeScript)
{
    EXPECT_EQ(write({ { "100", "150", "Hello", "", "World" } }, 25),
        Header + "Dialogue: Marked=0,0:00:04.00,0:00:06.00,*Default,NTP,0000,0000,0000,,Hello\\nWorld\r\n");
}

TEST(SSA, WriterTimesAndTexts)
{
    struct Case {
        Row row;
        double fps;
        const char* line;
    };
    const Case cases[] = {
        { { "0", "37", "a" }, 25, "0:00:00.00,0:00:01.48,*Default,NTP,0000,0000,0000,,a" },
        { { "1", "90000", "", "b" }, 25, "0:00:00.04,1:00:00.00,*Default,NTP,0000,0000,0000,,\\nb" },
        { { "1997", "1994", "a", "b", "c" }, 1000, "0:00:02.00,0:00:01.99,*Default,NTP,0000,0000,0000,,a\\nb\\nc" },
        { { " +25", "9000000" }, 25, "0:00:01.00,100:00:00.00,*Default,NTP,0000,0000,0000,," },
        // Before the start of the film: written as the start.
        { { "-25", "-1", "x" }, 25, "0:00:00.00,0:00:00.00,*Default,NTP,0000,0000,0000,,x" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(write({ c.row }, c.fps), Header + "Dialogue: Marked=0," + c.line + "\r\n") << c.line;
}

TEST(SSA, WriterFailsKeepingCompleteLinesOnly)
{
    StringSink sink;
    SubtitleTable table;
    test::Fill(table, { { "100", "150", "a" }, { "200", "", "b" } });
    WriteContext context;
    context.framerate = 25;
    EXPECT_THROW(WriteSSA(table, 1, 2, context, sink), ConversionError);
    EXPECT_EQ(sink.text(), Header + "Dialogue: Marked=0,0:00:04.00,0:00:06.00,*Default,NTP,0000,0000,0000,,a\r\n");

    StringSink header;
    context.framerate = 0;
    EXPECT_THROW(WriteSSA(table, 1, 2, context, header), MathError);
    EXPECT_EQ(header.text(), Header);
}

TEST(SSA, RoundTrip)
{
    const std::vector<Row> rows = { { "38", "75", "Hello, world", "Second", "" }, { "100", "150", "", "", "" },
        { "90000", "90025", "a", "b", "c" } };
    EXPECT_EQ(read(write(rows, 25)), rows);
}

TEST(SSA, StyleLine)
{
    SsaExportSettings settings;
    EXPECT_EQ(
        settings.styleLine(), "Style: Default,Arial,56,16777215,65535,65280,-2147483640,-1,0,1,1,1,2,30,30,30,0,134");
    EXPECT_EQ(settings.fontDescription(), "Arial, Bold, 56pt");

    struct Case {
        int vertical, horizontal, alignment;
    };
    // PositionHorizontal (Top, Middle, Bottom) by PositionVertical (Left, Center, Right).
    const Case cases[] = { { 2, 0, 1 }, { 2, 2, 3 }, { 0, 2, 7 }, { 1, 0, 9 }, { 1, 2, 11 } };
    for (const Case& c : cases) {
        settings.verticalIndex = c.vertical;
        settings.horizontalIndex = c.horizontal;
        EXPECT_EQ(settings.alignment(), c.alignment) << c.vertical << "," << c.horizontal;
    }

    SsaExportSettings other;
    other.fontName = "Tahoma";
    other.fontPointSize = 20;
    other.bold = false;
    other.italic = true;
    other.charset = 0;
    other.primaryColour = SsaColour(0x12, 0x34, 0x56);
    other.outlineColour = SsaColour(255, 0, 0);
    other.outlineIndex = 0;
    other.shadowIndex = 4;
    other.verticalIndex = 0;
    other.horizontalIndex = 2;
    other.marginLeft = -5;
    other.alphaLevel = 9;
    EXPECT_EQ(other.styleLine(), "Style: Default,Tahoma,20,5649426,65535,65280,255,0,-1,1,0,4,7,-5,30,30,90,0");
    EXPECT_EQ(other.fontDescription(), "Tahoma, Italic, 20pt");
}
