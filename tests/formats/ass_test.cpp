#include "core/errors.h"
#include "formats/ass.h"
#include "formats/detect.h"
#include "formats/file_commands.h"
#include "formats/registry.h"
#include "formats/ssa.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

// A script as a fansub release ships it: comments in the header, two styles,
// a comment event, layers, a name, an effect, override tags, "\N", a blank
// line and a note among the events, sections after them.
const std::string Episode = R"([Script Info]
; Script for episode 3
Title: Episode 3
ScriptType: v4.00+
WrapStyle: 0
PlayResX: 1920
PlayResY: 1080
ScaledBorderAndShadow: yes

[V4+ Styles]
Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding
Style: Default,Arial,72,&H00FFFFFF,&H000000FF,&H00000000,&H80000000,0,0,0,0,100,100,0,0,1,3,1,2,60,60,50,1
Style: Sign,Verdana,48,&H0000FFFF,&H000000FF,&H00202020,&H00000000,-1,0,0,0,100,100,0,0,1,2,0,8,10,10,10,1

[Events]
Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text
Comment: 0,0:00:00.00,0:00:05.00,Default,,0,0,0,,Translated by the night team
Dialogue: 0,0:00:01.50,0:00:03.27,Default,Anna,0,0,0,,Where were you last night?
Dialogue: 0,0:00:03.50,0:00:06.02,Default,Ben,0000,0000,0000,,I had to stay late,\Nat the office.

; signs from here on
Dialogue: 1,0:00:04.00,0:00:08.00,Sign,,0,0,0,,{\pos(960,80)\fad(200,200)}CITY HALL
Dialogue: 0,0:00:06.20,0:00:09.99,Default,Anna,0,0,0,,{\i1}Again?{\i0}\NThat makes three times\Nthis week.\NReally.
Dialogue: 0,1:02:03.04,1:02:05.00,Default,,0,0,0,Scroll up;10;20;,Ünïcödé — 日本語 ✓

[Fonts]
fontname: custom_0.ttf
M)C<``"`!0``P`A`````

[Aegisub Project Garbage]
Active Line: 4
)";

// Texts whose "\N" breaks are not what three cells show at a glance, in a
// script with the layout of version 4 events and odd spacing.
const std::string Breaks = R"([Script Info]
ScriptType: v4.00+

[Events]
Format: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text
Dialogue: Marked=0,0:00:01.00,0:00:02.00,*Default,NTP,0000,0000,0000,,ends with a break\N
Dialogue: Marked=0,0:00:02.00,0:00:03.00,*Default,NTP,0000,0000,0000,,two\N\N
Dialogue: Marked=0,0:00:03.00,0:00:04.00,*Default,NTP,0000,0000,0000,,\N
Dialogue: Marked=0,0:00:04.00,0:00:05.00,*Default,NTP,0000,0000,0000,,\Nsecond\N\N\Nfifth
Dialogue: Marked=0,0:00:05.00,0:00:06.00,*Default,NTP,0000,0000,0000,,soft\nbreak and \hhard space
Dialogue:Marked=0, 0:00:06.00 , 0:00:07.5 ,*Default,NTP,0000,0000,0000,,
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
    ReadAss(lines, table, firstRow, fps);
}

std::string write(const SubtitleTable& table, double fps = 25, const SsaExportSettings& settings = {})
{
    StringSink sink;
    WriteContext context;
    context.framerate = fps;
    context.ssa = settings;
    WriteAss(table, 1, table.rowCount() - 1, context, sink);
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

std::string readError(SubtitleTable& table, const std::string& text)
{
    try {
        read(table, text);
    } catch (const Error& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(Ass, EveryEventIsARowWithItsLinesAndMarkup)
{
    SubtitleTable table;
    read(table, Episode);
    // Frames at 25 fps: ms / 40, ties to even (1500 ms is 37.5).
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> { { "0", "125", "Translated by the night team", "", "" },
            { "38", "82", "Where were you last night?", "", "" },
            { "88", "150", "I had to stay late,", "at the office.", "" },
            { "100", "200", "{\\pos(960,80)\\fad(200,200)}CITY HALL", "", "" },
            { "155", "250", "{\\i1}Again?{\\i0}", "That makes three times", "this week.\\NReally." },
            { "93076", "93125", "Ünïcödé — 日本語 ✓", "", "" } }));
    EXPECT_TRUE(IsAssComment(table.cell(SubtitleTable::Extra, 1)));
    EXPECT_FALSE(IsAssComment(table.cell(SubtitleTable::Extra, 2)));
}

TEST(Ass, OpenedAndSavedUneditedGivesTheSameLines)
{
    for (const std::string* file : { &Episode, &Breaks }) {
        for (const double fps : { 25.0, 23.976, 29.97 }) {
            SubtitleTable table;
            read(table, *file, fps);
            EXPECT_EQ(write(table, fps), crlf(*file)) << fps;
        }
    }
}

TEST(Ass, BreaksThatTheCellsDoNotShowAreKept)
{
    SubtitleTable table;
    read(table, Breaks);
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> { { "25", "50", "ends with a break", "", "" }, { "50", "75", "two", "", "" },
            { "75", "100", "", "", "" }, { "100", "125", "", "second", "\\N\\Nfifth" },
            { "125", "150", "soft\\nbreak and \\hhard space", "", "" },
            // 0:00:07.5 is 7 s and 5 hundredths.
            { "150", "176", "", "", "" } }));
}

// Only the edited rows' lines change, and a changed time is written from its
// frame while the other time of the row keeps its text.
TEST(Ass, EditingOneRowChangesOnlyItsLines)
{
    SubtitleTable table;
    read(table, Episode);
    std::vector<std::string> expected = linesOf(Episode);
    table.setCell(SubtitleTable::Line1, 2, "Where were you, then?");
    expected[17] = "Dialogue: 0,0:00:01.50,0:00:03.27,Default,Anna,0,0,0,,Where were you, then?";
    table.setCell(SubtitleTable::From, 4, "160"); // 6.4 s
    table.setCell(SubtitleTable::Line2, 4, "TOWN HALL");
    expected[21] = "Dialogue: 1,0:00:06.40,0:00:08.00,Sign,,0,0,0,,{\\pos(960,80)\\fad(200,200)}CITY HALL\\NTOWN HALL";
    table.setCell(SubtitleTable::Line3, 5, "this week.");
    expected[22] = "Dialogue: 0,0:00:06.20,0:00:09.99,Default,Anna,0,0,0,,{\\i1}Again?{\\i0}\\NThat makes three "
                   "times\\Nthis week.";
    EXPECT_EQ(linesOf(write(table)), expected);
}

// Another framerate moves every frame to another time: none is written as read.
TEST(Ass, TimesFollowTheFramesAtAnotherFramerate)
{
    SubtitleTable table;
    read(table, Episode, 25);
    const std::vector<std::string> lines = linesOf(write(table, 24));
    // Frame 38 at 24 fps: 1583.3 ms, 158 hundredths; frame 82: 3416.7 ms.
    EXPECT_EQ(lines[17], "Dialogue: 0,0:00:01.58,0:00:03.42,Default,Anna,0,0,0,,Where were you last night?");
}

TEST(Ass, RowsWithoutDataOfTheirOwnGetTheDefaults)
{
    SubtitleTable table;
    read(table, Episode);
    table.insertRow(3);
    table.setRow(3, "250", "300", "New line", "", "and more");
    const std::vector<std::string> lines = linesOf(write(table));
    // The lines that stood before the event that is now row 4 stay before it.
    EXPECT_EQ(lines[18], "Dialogue: 0,0:00:10.00,0:00:12.00,Default,,0,0,0,,New line\\N\\Nand more");
    EXPECT_EQ(lines[19],
        "Dialogue: 0,0:00:03.50,0:00:06.02,Default,Ben,0000,0000,0000,,I had to stay late,\\Nat the "
        "office.");
    table.deleteRow(6);
    table.deleteRow(2);
    const std::vector<std::string> after = linesOf(write(table));
    EXPECT_EQ(after.size(), lines.size() - 2);
    EXPECT_EQ(std::count(after.begin(), after.end(), "; signs from here on"), 1);
}

// A table from another format gets a script of its own from the export settings.
TEST(Ass, ATableOfAnotherFormatIsWrittenWithTheExportSettings)
{
    SubtitleTable table;
    test::Fill(table, { { "25", "100", "Hello", "world" }, { "-5", "90000", "a", "", "c" } });
    SsaExportSettings settings;
    const std::string expected = "[Script Info]\r\nTitle: <untitled>\r\nScriptType: v4.00+\r\nWrapStyle: 0\r\n"
                                 "ScaledBorderAndShadow: yes\r\nPlayResY: 1024\r\n\r\n[V4+ Styles]\r\n"
                                 "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
                                 "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
                                 "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\r\n"
                                 "Style: Default,Arial,56,&H00FFFFFF,&H0000FFFF,&H00000000,&H00000000,-1,0,0,0,100,"
                                 "100,0,0,1,1,1,2,30,30,30,134\r\n\r\n[Events]\r\n"
                                 "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\r\n"
                                 "Dialogue: 0,0:00:01.00,0:00:04.00,Default,,0,0,0,,Hello\\Nworld\r\n"
                                 "Dialogue: 0,0:00:00.00,1:00:00.00,Default,,0,0,0,,a\\N\\Nc\r\n";
    EXPECT_EQ(write(table, 25, settings), expected);
}

TEST(Ass, StyleLineFollowsTheExportSettings)
{
    SsaExportSettings s;
    s.fontName = "Tahoma";
    s.fontPointSize = 20;
    s.bold = false;
    s.italic = true;
    s.charset = 0;
    s.primaryColour = SsaColour(255, 0, 0);
    s.outlineColour = SsaColour(0, 0, 255);
    s.outlineIndex = 0;
    s.shadowIndex = 4;
    s.verticalIndex = 0; // Top
    s.horizontalIndex = 2; // Right: 9 on the keypad
    s.marginLeft = 1;
    s.marginRight = 2;
    s.marginVertical = 3;
    s.alphaLevel = 9; // 90% transparent: 0xE6
    EXPECT_EQ(AssStyleLine(s),
        "Style: Default,Tahoma,20,&HE60000FF,&HE600FFFF,&H00FF0000,&H00000000,0,-1,0,0,100,100,0,0,1,0,4,9,1,2,3,0");
    s.verticalIndex = 1; // Middle, Left: 4
    s.horizontalIndex = 0;
    EXPECT_NE(AssStyleLine(s).find(",0,4,4,1,2,3,0"), std::string::npos);
}

// Appended events take the document's own layout; their own fields come along.
TEST(Ass, AppendedEventsTakeTheDocumentsLayout)
{
    SubtitleTable table;
    read(table, Breaks);
    read(table, Episode, 25, table.rowCount());
    const std::vector<std::string> lines = linesOf(write(table));
    // Its Layer has no place in this layout; Marked, which it lacks, takes the default.
    EXPECT_EQ(lines[11], "Comment: Marked=0,0:00:00.00,0:00:05.00,Default,,0,0,0,,Translated by the night team");
    EXPECT_EQ(lines[12], "Dialogue: Marked=0,0:00:01.50,0:00:03.27,Default,Anna,0,0,0,,Where were you last night?");
    EXPECT_EQ(lines[15], "; signs from here on");
    EXPECT_EQ(lines.size(), 5u + 6 + 6 + 2); // the note and the blank line before it come along
}

TEST(Ass, BadScriptsSayWhereAndKeepTheRowsBefore)
{
    struct Case {
        std::string text;
        std::string message;
        size_t rowsKept;
    };
    const std::string head = "[Script Info]\nScriptType: v4.00+\n\n[Events]\n"
                             "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                             "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,kept\n";
    const Case cases[] = {
        { "[Script Info]\nTitle: x\n\n[V4+ Styles]\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,x\n",
            "Advanced SubStation Alpha, line 5: the file ends without an [Events] section, so it holds no subtitles",
            0 },
        { "[Events]\nFormat: Layer, Start, Style, Text\n",
            "Advanced SubStation Alpha, line 2: its Format line names no Start or no End field", 0 },
        { "[Events]\nFormat: Layer, Start, End, Text, Style\n",
            "Advanced SubStation Alpha, line 2: its Format line does not end with Text", 0 },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        table.setRow(1, "7", "8", "before", "", "");
        EXPECT_EQ(readError(table, c.text), c.message);
        EXPECT_EQ(table.rowCount() - 1, static_cast<int>(std::max<size_t>(c.rowsKept, 1))) << c.message;
        EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), c.rowsKept ? "kept" : "before") << c.message;
    }
}

TEST(Ass, DetectedByNameOrByItsHeaderAfterTheNineFormats)
{
    struct Case {
        std::string text;
        const char* name;
        FormatCode expected;
    };
    const Case cases[] = {
        { "[Script Info]\nScriptType: v4.00+\n", "a.txt", FormatCode::ASS },
        { "\n\n[Script Info]\n; comment\n[V4+ Styles]\n", "a", FormatCode::ASS },
        { "[script info]\nScriptType:  V4.00+ \n", "a", FormatCode::ASS },
        { "[Script Info]\nScriptType: v4.00\n[V4 Styles]\n", "a", FormatCode::Unknown }, // version 4: SSA
        { "[Script Info]\nScriptType: v4.00+\n", "a.ssa", FormatCode::SSA }, // the name rule of the nine comes first
        { "1\n00:00:01,000 --> 00:00:02,000\n", "a.ass", FormatCode::SubRip }, { "anything", "A.ASS", FormatCode::ASS },
        { "", "empty.ass", FormatCode::ASS },
        { "[Script Info]\nScriptType: v4.00+\n", "a.vtt", FormatCode::ASS }, // content before the name
    };
    for (const Case& c : cases) {
        LineReader lines(c.text);
        const std::string first(lines.readLine());
        EXPECT_EQ(DetectFormat(DetectionInput { first, c.name, c.text }), c.expected) << c.text << c.name;
    }
}

// Written in another format, comment events are left out and what had no
// place is named.
TEST(Ass, AnotherFormatLeavesOutCommentsAndSaysWhatWasNotWritten)
{
    SubtitleTable table;
    read(table, Episode);
    StringSink sink;
    WriteContext context;
    context.framerate = 25;
    WriteSubtitles(table, *FormatById("microdvd"), context, {}, sink);
    EXPECT_EQ(sink.text(),
        "{38}{82}Where were you last night?\r\n{88}{150}I had to stay late,|at the office.\r\n"
        "{100}{200}{\\pos(960,80)\\fad(200,200)}CITY HALL\r\n"
        "{155}{250}{\\i1}Again?{\\i0}|That makes three times|this week.\\NReally.\r\n"
        "{93076}{93125}Ünïcödé — 日本語 ✓\r\n");
    EXPECT_EQ(DescribeUnwritten(table, *FormatById("microdvd")),
        "styles, fonts, 1 comment line and the layer, style, name, margins or effect of 5 lines were not written: "
        "microdvd has no place for them");
    EXPECT_EQ(DescribeUnwritten(table, *FormatById("ass")), "");
}

namespace {

class CountingExportSettings : public ExportSettingsSource {
public:
    SsaExportAnswer AskExportSettings() override
    {
        ++asked;
        return { SsaExportSettings {}, QStringLiteral("25") };
    }
    int asked = 0;
};

class NoMessages : public MessageSink {
public:
    void showMessage(const QString&, const QString& text, MessageIcon) override { shown.push_back(text.toStdString()); }
    std::vector<std::string> shown;
};

} // namespace

// A script carries its own styles: only a table without one asks for the
// export settings, and then their framerate is the one used, with no prompt.
TEST(Ass, OnlyATableWithoutAScriptAsksForTheExportSettings)
{
    test::TempDir dir;
    const int saveType = FormatById("ass")->saveType;
    NoMessages messages;
    CountingExportSettings exportSettings;
    FixedFramerate fps(25);
    SaveServices services { fps, exportSettings, messages, '.' };

    SubtitleTable table;
    test::Fill(table, { { "25", "50", "plain" } });
    ASSERT_TRUE(SaveSubtitles(table, dir.path("plain.ass"), saveType, services));
    EXPECT_EQ(exportSettings.asked, 1);
    EXPECT_EQ(fps.timesAsked(), 0);

    test::WriteFile(dir.path("episode.ass"), Episode);
    LoadSubtitles(table, dir.path("episode.ass"), false, fps, messages);
    ASSERT_TRUE(SaveSubtitles(table, dir.path("again.ass"), saveType, services));
    EXPECT_EQ(exportSettings.asked, 1);
    EXPECT_EQ(fps.timesAsked(), 2);
    EXPECT_EQ(test::ReadFile(dir.path("again.ass")), Episode); // its LF line ends as read
    EXPECT_TRUE(messages.shown.empty());
}

// A file opened in another format takes the script's place; one that gave no
// rows, or one appended, leaves it.
TEST(Ass, TheScriptStaysUntilAnotherFileReplacesTheRows)
{
    test::TempDir dir;
    test::WriteFile(dir.path("episode.ass"), Episode);
    test::WriteFile(dir.path("broken.ass"), "[Script Info]\nScriptType: v4.00+\n");
    test::WriteFile(dir.path("empty.srt"), "");
    test::WriteFile(dir.path("other.srt"), "1\r\n00:00:01,000 --> 00:00:02,000\r\nother\r\n\r\n");
    NoMessages messages;
    FixedFramerate fps(25);
    SubtitleTable table;
    LoadSubtitles(table, dir.path("episode.ass"), false, fps, messages);
    const std::string script = table.documentData();
    EXPECT_THROW(LoadSubtitles(table, dir.path("broken.ass"), false, fps, messages), Error);
    LoadSubtitles(table, dir.path("empty.srt"), false, fps, messages);
    LoadSubtitles(table, dir.path("other.srt"), true, fps, messages);
    EXPECT_EQ(table.documentData(), script);
    EXPECT_EQ(table.rowCount(), 8);
    LoadSubtitles(table, dir.path("other.srt"), false, fps, messages);
    EXPECT_EQ(table.documentData(), "");
    EXPECT_EQ(table.cell(SubtitleTable::Extra, 1), "");
}

// Events whose time does not parse (negative, not a time, past the largest)
// are read past as ffmpeg reads past them: kept where they stood, so that the
// script is written back as it was, and named by their lines.
TEST(Ass, EventsWhoseTimesCannotBeReadAreKeptAndNamed)
{
    const std::string head = "[Script Info]\nScriptType: v4.00+\n\n[Events]\n"
                             "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
    const std::string good = "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,one\n"
                             "Dialogue: 0,0:00:03.00,0:00:04.00,Default,,0,0,0,,two\n";
    const std::string text = head + "Dialogue: 0,-0:00:06.84,0:00:08.00,Default,,0,0,0,,negative\n" + good
        + "Dialogue: 0,0:00:02.00,0:0x:03.00,Default,,0,0,0,,not a time\n"
        + "Comment: 0,0:00:02.00,99999999999:00:00.00,Default,,0,0,0,,too long\n";
    SubtitleTable table;
    LineReader lines(text);
    ReadAss(lines, table, 1, 25);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "25", "50", "one", "", "" }, { "75", "100", "two", "", "" } }));
    EXPECT_EQ(lines.skipped(), (std::vector<int> { 6, 9, 10 }));
    EXPECT_EQ(write(table), crlf(text));
}

// Times of one and two hour digits, minutes past 59, blanks and fewer
// digits: the frames at 25 fps, worked out by hand, and the times written
// back as they were read.
TEST(Ass, EventTimesOfEveryLayoutGiveTheirFrames)
{
    const std::string head = "[Script Info]\nScriptType: v4.00+\n\n[Events]\n"
                             "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
    const std::pair<std::string, std::string> cases[] = {
        { "0:00:09.80", "245" }, { "1:02:03.04", "93076" }, { "12:00:00.40", "1080010" }, { "0:75:09.80", "112745" },
        { " 0:00:01.60 ", "40" }, { "00:00:02.00", "50" }, { "0:0:02.00", "50" },
        { "0:00:02.4", "51" }, // four hundredths, as the second field of 0:00:02.04 is read
    };
    for (const auto& [time, frame] : cases) {
        const std::string text = head + "Dialogue: 0," + time + ",9:00:00.00,Default,,0,0,0,,a\n";
        SubtitleTable table;
        read(table, text);
        ASSERT_EQ(table.rowCount(), 2) << time;
        EXPECT_EQ(table.cell(SubtitleTable::From, 1), frame) << time;
        EXPECT_EQ(write(table), crlf(text)) << time;
    }
}

// An event with fewer fields than its Format line: the missing ones are empty.
TEST(Ass, AShortEventIsReadWithTheMissingFieldsEmpty)
{
    const std::string text
        = "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
          "Dialogue: 0,0:00:02.00,0:00:03.00,Default,Anna\n";
    SubtitleTable table;
    read(table, text);
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "50", "75", "", "", "" } }));
    EXPECT_EQ(write(table), crlf(text)); // as short as it was
    table.setCell(SubtitleTable::Line1, 1, "typed");
    EXPECT_EQ(linesOf(write(table)).back(), "Dialogue: 0,0:00:02.00,0:00:03.00,Default,Anna,,,,,typed");
}

// Blanks before section headers and line names, as the Sub Station Alpha reader ignores them.
TEST(Ass, BlanksBeforeTheLinesNamesAreIgnored)
{
    const std::string text = " [Script Info]\n ScriptType: v4.00+\n\n  [Events]\n"
                             " Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                             " Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,one\n"
                             "\tDialogue: 0,0:00:03.00,0:00:04.00,Default,,0,0,0,,three\n";
    SubtitleTable table;
    read(table, text);
    EXPECT_EQ(test::Rows(table), test::ReadRows(ReadSSA, text, 25));
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(write(table), crlf(text));
}
