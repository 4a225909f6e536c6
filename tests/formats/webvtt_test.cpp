#include "core/errors.h"
#include "fakes.h"
#include "formats/detect.h"
#include "formats/file_commands.h"
#include "formats/registry.h"
#include "formats/webvtt.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

// A file from a video site: header text and metadata, STYLE, REGION and NOTE
// blocks, identifiers, settings, voice and class tags, entities, a cue of
// four lines, times without hours and one with them, a note at the end.
const std::string Episode = R"(WEBVTT - Episode 3
Kind: captions
Language: en

STYLE
::cue(.yellow) {
  color: yellow;
}

REGION
id:top
width:40%
regionanchor:0%,0%

NOTE This file was checked
by two people.

1
00:01.500 --> 00:03.270 align:start position:10%
<v Anna>Where were you last night?

2
00:03.500 --> 00:06.020
I had to stay late,
at the office.

NOTE the next cue has four lines

00:06.200 --> 00:09.990 region:top line:0
<i>Again?</i>
<c.yellow>That makes three times</c>
this week.
Really &amp; truly &lt;3

last
01:02:03.040	-->	01:02:05.000
Ünïcödé — 日本語 ✓

NOTE end
)";

// Hours on every time, a cue without text, and a blank line to end.
const std::string Hours = R"(WEBVTT

00:00:01.000 --> 00:00:02.000 size:50%
One

00:00:02.000 --> 00:00:03.000

00:00:03.000 --> 00:00:04.000
Three

)";

std::string crlf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

void read(SubtitleTable& table, const std::string& text, double fps = 25, int firstRow = 1)
{
    LineReader lines(text);
    ReadWebVtt(lines, table, firstRow, fps);
}

std::string write(const SubtitleTable& table, double fps = 25)
{
    StringSink sink;
    WriteContext context;
    context.framerate = fps;
    WriteWebVtt(table, 1, table.rowCount() - 1, context, sink);
    return sink.text();
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    LineReader reader(text);
    while (!reader.atEnd())
        lines.emplace_back(reader.readLine());
    return lines;
}

} // namespace

TEST(WebVtt, EveryCueIsARowWithItsLinesAndMarkup)
{
    SubtitleTable table;
    read(table, Episode);
    // Frames at 25 fps: ms / 40, ties to even (1500 ms is 37.5).
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> { { "38", "82", "<v Anna>Where were you last night?", "", "" },
            { "88", "150", "I had to stay late,", "at the office.", "" },
            { "155", "250", "<i>Again?</i>", "<c.yellow>That makes three times</c>", "this week." },
            { "93076", "93125", "Ünïcödé — 日本語 ✓", "", "" } }));
}

TEST(WebVtt, OpenedAndSavedUneditedGivesTheSameLines)
{
    for (const std::string* file : { &Episode, &Hours }) {
        for (const double fps : { 25.0, 23.976, 29.97 }) {
            SubtitleTable table;
            read(table, *file, fps);
            EXPECT_EQ(write(table, fps), crlf(*file)) << fps;
        }
    }
}

TEST(WebVtt, EditingOneRowChangesOnlyItsLines)
{
    SubtitleTable table;
    read(table, Episode);
    std::vector<std::string> expected = linesOf(Episode);
    table.setCell(SubtitleTable::To, 1, "100"); // 4 s
    expected[18] = "00:01.500 --> 00:04.000 align:start position:10%";
    table.setCell(SubtitleTable::Line2, 2, "");
    expected.erase(expected.begin() + 24);
    table.setCell(SubtitleTable::Line1, 3, "<i>Once more?</i>");
    expected[28] = "<i>Once more?</i>";
    EXPECT_EQ(linesOf(write(table)), expected);
}

TEST(WebVtt, RowsWithoutDataOfTheirOwnGetTheDefaults)
{
    struct Case {
        const std::string* file;
        const char* timing; // of a row at frames 2 and 90000, 25 fps
    };
    // Hours where the file had them, or where the time needs them.
    const Case cases[] = { { &Episode, "00:00.080 --> 01:00:00.000" }, { &Hours, "00:00:00.080 --> 01:00:00.000" } };
    for (const Case& c : cases) {
        SubtitleTable table;
        read(table, *c.file);
        table.insertRow(2);
        table.setRow(2, "2", "90000", "New", "", "a --> b");
        std::vector<std::string> lines = linesOf(write(table));
        const auto at = std::find(lines.begin(), lines.end(), c.timing);
        ASSERT_NE(at, lines.end()) << c.timing;
        EXPECT_EQ(*(at - 1), ""); // no identifier, a blank line before
        EXPECT_EQ(*(at + 1), "New");
        EXPECT_EQ(*(at + 2), "a --&gt; b"); // an arrow would start another cue
        EXPECT_EQ(*(at + 3), "");
    }
    // A table of another format: a header, then every cue after a blank line.
    SubtitleTable table;
    test::Fill(table, { { "25", "50", "Hi", "", "there" }, { "-3", "75", "" } });
    EXPECT_EQ(write(table),
        "WEBVTT\r\n\r\n00:01.000 --> 00:02.000\r\nHi\r\nthere\r\n\r\n"
        "00:00.000 --> 00:03.000\r\n\r\n");
}

TEST(WebVtt, DeletedCuesTakeTheirIdentifiersAndNotesWithThem)
{
    SubtitleTable table;
    read(table, Episode);
    table.deleteRow(3); // the four-line cue and the note before it
    table.deleteRow(1);
    const std::string text = write(table);
    EXPECT_EQ(text.find("NOTE the next cue"), std::string::npos);
    EXPECT_EQ(text.find("Really"), std::string::npos);
    EXPECT_EQ(text.find("\r\n1\r\n"), std::string::npos);
    EXPECT_NE(text.find("NOTE This file was checked"), std::string::npos); // the document's, before the first cue
    EXPECT_NE(text.find("\r\n\r\nlast\r\n01:02:03.040\t-->\t01:02:05.000\r\n"), std::string::npos);
}

// As the format parses it: the payload ends at a line holding "-->", which
// starts the next cue; a block of one line without an arrow is not a cue.
TEST(WebVtt, ALineWithAnArrowStartsTheNextCue)
{
    SubtitleTable table;
    read(table,
        "WEBVTT\n\n00:01.000 --> 00:02.000\nfirst\n00:03.000 --> 00:04.000\nsecond\n\njunk\n\n"
        "00:05.000 --> 00:06.000\nthird\n");
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> {
            { "25", "50", "first", "", "" }, { "75", "100", "second", "", "" }, { "125", "150", "third", "", "" } }));
    // Written back, the second cue gets the blank line a cue needs.
    EXPECT_EQ(write(table),
        "WEBVTT\r\n\r\n00:01.000 --> 00:02.000\r\nfirst\r\n\r\n00:03.000 --> 00:04.000\r\n"
        "second\r\n\r\njunk\r\n\r\n00:05.000 --> 00:06.000\r\nthird\r\n");
}

TEST(WebVtt, TimesAsTheFormatDefinesThem)
{
    struct Case {
        const char* timing;
        const char* from; // at 25 fps, or the error
        const char* to;
    };
    const Case cases[] = {
        { "00:01.000 --> 00:02.000", "25", "50" },
        { "0:00:01.000 --> 100:00:00.000", "25", "9000000" }, // hours of one digit and of three
        { "59:59.999 --> 60:00:00.000", "90000", "5400000" }, // 60 as the first field is hours
        { "  00:01.000-->00:02.000  line:0", "25", "50" },
        { "00:01,000 --> 00:02,000", "25", "50" }, // SubRip's comma
        { "00:01.000 --> 00:02.00", nullptr, nullptr },
        { "00:60.000 --> 00:61.000", nullptr, nullptr },
        { "1:01.000 --> 1:02.000", nullptr, nullptr }, // a first field of one digit is hours: no seconds
        { "00:01.000 -> 00:02.000 -->", nullptr, nullptr },
        { "9999999999:00:00.000 --> 00:00:01.000", nullptr, nullptr },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        const std::string file = std::string("WEBVTT\n\n00:00.000 --> 00:00.040\nkept\n\n") + c.timing + "\ntext\n";
        if (c.from) {
            read(table, file);
            EXPECT_EQ(table.cell(SubtitleTable::From, 2), c.from) << c.timing;
            EXPECT_EQ(table.cell(SubtitleTable::To, 2), c.to) << c.timing;
            continue;
        }
        // Not a cue: skipped, named, and kept to be written back.
        LineReader lines(file);
        ReadWebVtt(lines, table, 1, 25);
        EXPECT_EQ(lines.skipped(), std::vector<int> { 6 }) << c.timing;
        EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "0", "1", "kept", "", "" } })) << c.timing;
        EXPECT_EQ(write(table), crlf(file)) << c.timing;
    }
}

TEST(WebVtt, AFileThatDoesNotStartWithTheSignatureIsRefused)
{
    for (const char* text : { "", "WEBVTTX\n", "1\n00:01.000 --> 00:02.000\n" }) {
        SubtitleTable table;
        try {
            read(table, text);
            ADD_FAILURE() << text;
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "WebVTT, line 1: a WebVTT file starts with the line WEBVTT");
        }
    }
}

TEST(WebVtt, DetectedBySignatureOrNameAfterTheNineFormats)
{
    struct Case {
        std::string text;
        const char* name;
        FormatCode expected;
    };
    const Case cases[] = {
        { "WEBVTT\n", "a.txt", FormatCode::WebVTT },
        { "WEBVTT Kind: captions\n", "a", FormatCode::WebVTT },
        { "WEBVTT\tx\n", "a", FormatCode::WebVTT },
        { "WEBVTTX\n", "a", FormatCode::Unknown },
        { " WEBVTT\n", "a", FormatCode::Unknown },
        { "WEBVTT\n", "a.ass", FormatCode::WebVTT }, // the signature before the name
        { "1\n00:00:01,000 --> 00:00:02,000\n", "a.vtt", FormatCode::SubRip },
        { "anything", "A.VTT", FormatCode::WebVTT },
    };
    for (const Case& c : cases) {
        LineReader lines(c.text);
        const std::string first(lines.readLine());
        EXPECT_EQ(DetectFormat(DetectionInput { first, c.name, c.text }), c.expected) << c.text << c.name;
    }
}

TEST(WebVtt, AnotherFormatSaysWhatWasNotWritten)
{
    SubtitleTable table;
    read(table, Episode);
    EXPECT_EQ(DescribeUnwritten(table, *FormatById("subrip")),
        "styles, regions, 3 notes, the identifiers of 3 cues, the settings of 2 cues and 1 text line past the third "
        "were not written: subrip has no place for them");
    EXPECT_EQ(DescribeUnwritten(table, *FormatById("webvtt")), "");
}

// Rows appended from the other kept format bring data this writer does not
// read: they are written with the defaults, each format's own rows as read.
TEST(WebVtt, RowsKeptByAnotherFormatAreWrittenWithTheDefaults)
{
    const std::string script = "[Script Info]\nScriptType: v4.00+\n\n[Events]\n"
                               "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                               "Dialogue: 2,0:00:05.00,0:00:06.00,Sign,Ann,1,2,3,fx,from{\\i1} ASS\\Nsecond\n";
    SubtitleTable table;
    read(table, Hours);
    LineReader lines(script);
    FormatById("ass")->read(lines, table, table.rowCount(), 25);
    // The file's closing blank line comes after it.
    EXPECT_EQ(write(table), crlf(Hours) + "00:00:05.000 --> 00:00:06.000\r\nfrom{\\i1} ASS\r\nsecond\r\n\r\n");

    SubtitleTable other;
    read(other, "WEBVTT\n\nid\n00:01.000 --> 00:02.000 line:0\nfrom WebVTT\n");
    LineReader again(script);
    FormatById("ass")->read(again, other, other.rowCount(), 25);
    StringSink sink;
    WriteContext context;
    context.framerate = 25;
    FormatById("ass")->write(other, 1, other.rowCount() - 1, context, sink);
    EXPECT_NE(sink.text().find("\r\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,from WebVTT\r\n"
                               "Dialogue: 2,0:00:05.00,0:00:06.00,Sign,Ann,1,2,3,fx,from{\\i1} ASS\\Nsecond\r\n"),
        std::string::npos);
}

// The format's own parsing rules: a payload line holding "-->" ends the cue
// and starts a block, a block whose timing does not parse is no cue, and a CR
// alone ends a line. Blocks that are no cues are named by their first line
// and stay where they were, so that the file is written back as it was.
TEST(WebVtt, BlocksThatAreNoCuesAreSkippedKeptAndNamed)
{
    struct Case {
        const char* label;
        std::string text;
        std::vector<Row> rows;
        std::vector<int> skipped;
        bool writtenBack; // byte for byte, CR LF for LF
    };
    const std::vector<Row> two = { { "25", "50", "Hello" }, { "75", "100", "Next" } };
    const Case cases[] = {
        { "an arrow in the text",
            "WEBVTT\n\n00:01.000 --> 00:02.000\nHello\nthis --> that\nmore\n\n"
            "00:03.000 --> 00:04.000\nNext\n",
            two, { 5 }, true },
        { "a timing that does not parse",
            "WEBVTT\n\n00:01.000 --> 00:02.000\nHello\n\nid\n00:0x.000 --> 00:04.000\n"
            "lost\n\n00:03.000 --> 00:04.000\nNext\n",
            two, { 6 }, true },
        { "the next cue right after a bad one",
            "WEBVTT\n\nbad --> 00:01.000\nx\n00:01.000 --> 00:02.000\nHello\n\n"
            "00:03.000 --> 00:04.000\nNext\n",
            two, { 3 }, true },
        { "CR alone ends lines", "WEBVTT\r\r00:01.000 --> 00:02.000\rHello\r\r00:03.000 --> 00:04.000\rNext\r", two, {},
            false },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        LineReader lines(c.text);
        ReadWebVtt(lines, table, 1, 25);
        std::vector<Row> expected = c.rows;
        for (Row& row : expected)
            row.resize(5);
        EXPECT_EQ(test::Rows(table), expected) << c.label;
        EXPECT_EQ(lines.skipped(), c.skipped) << c.label;
        if (c.writtenBack) EXPECT_EQ(write(table), crlf(c.text)) << c.label;
    }
}
