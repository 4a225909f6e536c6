#include "core/errors.h"
#include "core/markup.h"
#include "formats/encoding.h"
#include "formats/ffmpeg_peer.h"
#include "formats/scc.h"
#include "test_support.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

// Worked by hand from CEA-608: each pair takes one frame from its line's
// time code; a pop-on caption shows at its first end of caption (942f), a
// roll-up row at its carriage return (94ad), paint-on at its first
// character; each goes at the erase (942c). Control codes come twice and
// count once. "6d65": the 'e' lacks its parity bit and is dropped.
const std::string Captions
    = "Scenarist_SCC V1.0\n\n"
      // Pop-on at row 15: loaded from frame 1760, shown at 1760 + 9.
      "00:00:58;20\t94ae 94ae 9420 9420 9470 9470 c8e5 ecec ef80 942f 942f\n\n"
      // 1:00;04 is frame 1800 + 4 - 2 (two labels dropped at the minute).
      "00:01:00;04\t942c 942c\n\n"
      // Row 14 at column 4: a special character, an extended one over its
      // stand-in, a mid-row code to italics.
      "00:01:05;00\t94ae 94ae 9420 9420 9452 9452 9137 9137 20c1 92a1 92a1 91ae 91ae ef6b 6d65 942f 942f\n\n"
      "00:01:07;00\t942c 942c\n\n"
      // Roll-up of two rows: the second row starts at its carriage return.
      "00:01:10;00\t9425 9425 94ad 94ad 9470 9470 c1c2 4380\n\n"
      "00:01:11;00\t94ad 94ad c445\n\n"
      "00:01:12;00\t942c 942c\n\n"
      // Paint-on at row 1.
      "00:01:20;00\t9429 9429 9140 9140 c8e9\n\n"
      "00:01:21;00\t942c 942c\n";

// 1:05;00 = 1950 - 2 = 1948, shown at 1948 + 15; 1:10;00 = 2098, the
// characters at 2098 + 6; 1:20;00 = 2398, painted at 2398 + 4.
const std::vector<Row> CaptionRows
    = { { "1769", "1802", "Hello", "", "" }, { "1963", "2008", "♪ É <i>okm</i>", "", "" },
          { "2104", "2128", "ABC", "", "" }, { "2128", "2158", "ABC", "DE", "" }, { "2402", "2428", "Hi", "", "" } };

void read(SubtitleTable& table, const std::string& text, double fps = 29.97)
{
    LineReader lines(text);
    ReadScc(lines, table, 1, fps);
}

std::string write(const SubtitleTable& table, double fps = 29.97, std::vector<std::string>* notes = nullptr)
{
    StringSink sink;
    WriteContext context;
    context.framerate = fps;
    context.notes = notes;
    WriteScc(table, 1, table.rowCount() - 1, context, sink);
    return sink.text();
}

std::string crlf(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// ffmpeg reads an SCC line's pairs at the line's time code, as h:m:s and
// 33 ms a frame: its milliseconds give that label back, exactly.
int64_t frameOfFfmpegTime(int ms, bool dropFrame)
{
    const int seconds = ms / 1000, frames = ms % 1000 / 33;
    char label[16];
    std::snprintf(label, sizeof label, "%02d:%02d:%02d%c%02d", seconds / 3600, seconds / 60 % 60, seconds % 60,
        dropFrame ? ';' : ':', frames);
    return SccFrameOf(label);
}

} // namespace

TEST(Scc, TimeCodesAndTheirFrames)
{
    const std::tuple<int64_t, bool, const char*> cases[] = { { 1799, true, "00:00:59;29" },
        { 1800, true, "00:01:00;02" }, { 17982, true, "00:10:00;00" }, { 17983, true, "00:10:00;01" },
        { 107892, true, "01:00:00;00" }, { 108000, false, "01:00:00:00" }, { 1769, false, "00:00:58:29" } };
    for (const auto& [frame, drop, label] : cases) {
        EXPECT_EQ(SccTimeCode(frame, drop), label);
        EXPECT_EQ(SccFrameOf(label), frame) << label;
    }
    for (const char* wrong : { "00:00:60:00", "0:00:01:00", "00:0a:01:00", "00:00:01:3 ", "/0:00:01:00", "00:00:01:30",
             "00:00:01|00", "99:59:5:;29" })
        EXPECT_EQ(SccFrameOf(wrong), -1) << wrong;
}

TEST(Scc, CaptionsBecomeRowsFromTheFrameTheyShow)
{
    SubtitleTable table;
    read(table, Captions);
    EXPECT_EQ(test::Rows(table), CaptionRows);
    // Read for another format: the same rows, without what only a save as SCC needs.
    SubtitleTable other;
    LineReader lines(Captions);
    lines.setKeepsFile(false);
    ReadScc(lines, other, 1, 29.97);
    EXPECT_EQ(test::Rows(other), CaptionRows);
    for (int row = 1; row < other.rowCount(); ++row)
        EXPECT_TRUE(other.cell(SubtitleTable::Extra, row).empty()) << row;
}

// A control code sent twice in a row counts once; a copy with a wrong parity
// bit ("142f") is dropped and does not count, and anything between two
// copies (padding "8080") makes the second count again. "Hello" is loaded
// at frames 30-36; the end of caption's pairs start at 37, the erase at 90.
TEST(Scc, AControlCodeCountsOnceWhenItsCopyFollowsIt)
{
    const std::pair<const char*, std::vector<Row>> cases[] = {
        { "942f 942f", { { "37", "90", "Hello", "", "" } } },
        { "142f 942f", { { "38", "90", "Hello", "", "" } } },
        { "942f 142f 942f", { { "37", "90", "Hello", "", "" } } },
        { "942f 942f 942f", { { "37", "39", "Hello", "", "" } } },
        { "942f 8080 942f", { { "37", "39", "Hello", "", "" } } },
    };
    for (const auto& [ends, rows] : cases) {
        SubtitleTable table;
        read(table,
            std::string("Scenarist_SCC V1.0\n\n00:00:01:00\t9420 9420 9470 9470 c8e5 ecec ef80 ") + ends
                + "\n\n00:00:03:00\t942c 942c\n");
        EXPECT_EQ(test::Rows(table), rows) << ends;
    }
}

// A preamble code to another row takes the roll-up rows with it (row 15 to
// 12: "13d0"); what they show stays shown until the erase.
TEST(Scc, RollUpRowsMovedToAnotherRowStayShown)
{
    SubtitleTable table;
    read(table,
        "Scenarist_SCC V1.0\n\n00:00:01;00\t9425 9425 9470 9470 c1c2\n\n00:00:02;00\t13d0 13d0\n\n"
        "00:00:03;00\t942c 942c\n");
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "34", "90", "AB", "", "" } }));
}

TEST(Scc, OpenedAndSavedUneditedGivesTheSameFile)
{
    SubtitleTable table;
    read(table, Captions);
    EXPECT_EQ(write(table), crlf(Captions));
    // Rows that go straight to the writer carry no fingerprint but the file's
    // lines read up to them: told so, it writes the file as it was, whole or
    // in blocks of any size, lines after the last caption too.
    const std::string after = Captions + "\n00:02:00;00\t8080 8080\n\n";
    for (const std::string& file : { Captions, after }) {
        SubtitleTable asRead;
        LineReader lines(file);
        lines.setRowsAsRead(true);
        ReadScc(lines, asRead, 1, 29.97);
        EXPECT_EQ(test::Rows(asRead), CaptionRows);
        WriteContext context;
        context.framerate = 29.97;
        context.rowsAsRead = true;
        StringSink whole;
        WriteScc(asRead, 1, asRead.rowCount() - 1, context, whole);
        EXPECT_EQ(whole.text(), crlf(file));
        for (const int block : { 1, 2 }) {
            StringSink out;
            const std::unique_ptr<RowWriter> writer = MakeSccWriter(asRead, context, out);
            ASSERT_TRUE(writer);
            for (int row = 1; row < asRead.rowCount(); row += block)
                writer->rows(asRead, row, std::min(row + block - 1, asRead.rowCount() - 1), out);
            writer->finish(asRead, out);
            EXPECT_EQ(out.text(), crlf(file)) << block;
        }
    }
}

// Edited, the whole file is made anew as pop-on captions; each row keeps the
// place on the screen its lines had, and its markup.
// Lines longer than a row are broken at the last space that leaves at most
// 32 characters before it, or after 32 characters where there is none, as
// ffmpeg reads them back: plain ASCII and accented letters alike.
TEST(Scc, FfmpegReadsLongLinesBrokenAtTheirLastSpaceThatFits)
{
    const auto repeated = [](std::string_view text, int times) {
        std::string out;
        for (int i = 0; i < times; ++i)
            out += text;
        return out;
    };
    if (!test::FfmpegAvailable()) GTEST_SKIP() << "no ffmpeg";
    const std::pair<std::string, std::string> cases[] = {
        { "A line of plain words that is longer than one row of the screen",
            "A line of plain words that is\nlonger than one row of the\nscreen" },
        { std::string(40, 'x'), std::string(32, 'x') + "\n" + std::string(8, 'x') },
        { "Thirty-two characters exactly!!!", "Thirty-two characters exactly!!!" },
        { "Thirty-two characters and then a space", "Thirty-two characters and then a\nspace" },
        { "Está aquí, señor, el café de José y María", "Está aquí, señor, el café de\nJosé y María" },
        { "Café olé, señor", "Café olé, señor" },
        { repeated("é", 40), repeated("é", 32) + "\n" + repeated("é", 8) },
        { repeated("é", 32) + " y más", repeated("é", 32) + "\ny más" },
    };
    SubtitleTable table;
    std::vector<Row> rows;
    for (size_t i = 0; i < std::size(cases); ++i)
        rows.push_back({ std::to_string(100 + i * 150), std::to_string(200 + i * 150), cases[i].first });
    test::Fill(table, rows);
    test::TempDir dir;
    test::WriteFile(dir.path("long.scc"), write(table));
    const auto cues = test::FfmpegReadCues(dir.path("long.scc"));
    ASSERT_TRUE(cues.has_value());
    ASSERT_EQ(cues->size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        std::string text = (*cues)[i].text;
        for (size_t at; (at = text.find("\\h")) != std::string::npos;)
            text.erase(at, 2);
        EXPECT_NE(text.find(cases[i].second), std::string::npos) << text;
    }
}

TEST(Scc, WrittenAgainWithTheEditsKeepsPlacesAndStyles)
{
    SubtitleTable table;
    read(table, Captions);
    table.setCell(SubtitleTable::Line1, 1, "Hello <i>there</i>");
    const std::string out = write(table);
    EXPECT_EQ(out.substr(0, 20), "Scenarist_SCC V1.0\r\n");
    EXPECT_NE(out.find("\r\n00:00:58;29\t942f 942f\r\n"), std::string::npos) << out; // shown at 1769
    SubtitleTable back;
    read(back, out);
    std::vector<Row> rows = CaptionRows;
    rows[0][2] = "Hello <i>there</i>"; // the roll-up and paint-on rows come back the same as pop-on captions
    EXPECT_EQ(test::Rows(back), rows);
    EXPECT_EQ(back.cell(SubtitleTable::Extra, 2).substr(back.cell(SubtitleTable::Extra, 2).rfind('\n') + 1), "14 4");
}

// Each change of style takes a cell of the row's 32, shown as a space:
// twenty letters of alternating style are forty cells, so the first row
// holds sixteen letters.
TEST(Scc, ChangesOfStyleCountInTheRowsLength)
{
    std::string text;
    for (char c = 'a'; c < 'a' + 20; ++c)
        text += (c - 'a') % 2 ? std::string(1, c) : "<i>" + std::string(1, c) + "</i>";
    SubtitleTable table;
    test::Fill(table, { { "100", "200", text } });
    SubtitleTable back;
    read(back, write(table));
    ASSERT_EQ(back.rowCount(), 2);
    EXPECT_EQ(StripMarkup(back.cell(SubtitleTable::Line1, 1)), "a b c d e f g h i j k l m n o p");
    EXPECT_EQ(StripMarkup(back.cell(SubtitleTable::Line2, 1)), "q r s t");
}

// "Hi" placed at column 28 (preamble 94fe), edited to 26 characters: the
// line moves to column 6 rather than run off the row and lose its end.
TEST(Scc, ALineMadeLongerAtItsPlaceStaysOnTheRow)
{
    SubtitleTable table;
    read(table,
        "Scenarist_SCC V1.0\n\n00:00:01:00\t94ae 94ae 9420 9420 94fe 94fe c8e9 942f 942f\n\n"
        "00:00:03:00\t942c 942c\n");
    table.setCell(SubtitleTable::Line1, 1, "Hello there my good friend");
    SubtitleTable back;
    read(back, write(table));
    EXPECT_EQ(back.cell(SubtitleTable::Line1, 1), "Hello there my good friend");
    const std::string extra(back.cell(SubtitleTable::Extra, 1));
    EXPECT_EQ(extra.substr(extra.rfind('\n') + 1), "15 6");
}

// What we write ffmpeg reads with each caption at its frame: every end of
// caption and erase starts a line of its own. Both time code kinds.
TEST(Scc, FfmpegReadsWhatWeWriteAtTheFramesOfTheRows)
{
    if (!test::FfmpegAvailable()) GTEST_SKIP() << "no ffmpeg";
    SubtitleTable table;
    test::Fill(table,
        { { "45", "120", "<i>Hello</i> there,", "world & co" }, { "120", "200", "Ünïcödé ♪" },
            { "1820", "1900", "A caption long enough that it must be broken into two rows" } });
    for (const bool drop : { true, false }) {
        std::string out = write(table);
        if (!drop) {
            // The same captions in a document read from a file of non-drop labels.
            SubtitleTable ndf;
            read(ndf, "Scenarist_SCC V1.0\n\n00:00:00:00\t9420 9420 c180 942f 942f\n\n00:00:01:00\t942c\n");
            ndf.setRowCount(1 + 3);
            for (int row = 1; row <= 3; ++row)
                ndf.setRow(row, table.cell(0, row), table.cell(1, row), table.cell(2, row), table.cell(3, row), "");
            out = write(ndf);
            EXPECT_EQ(out.find(';'), std::string::npos);
        }
        test::TempDir dir;
        test::WriteFile(dir.path("out.scc"), out);
        const auto cues = test::FfmpegReadCues(dir.path("out.scc"));
        ASSERT_TRUE(cues.has_value());
        ASSERT_EQ(cues->size(), 3u);
        const int64_t starts[] = { 45, 120, 1820 }, ends[] = { 120, 200, 1900 };
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(frameOfFfmpegTime((*cues)[i].startMs, drop), starts[i]) << i << " " << drop;
            EXPECT_EQ(frameOfFfmpegTime((*cues)[i].endMs, drop), ends[i]) << i << " " << drop;
        }
        // ffmpeg shows a centred row's first column as a hard space.
        std::string text = (*cues)[2].text;
        for (size_t at; (at = text.find("\\h")) != std::string::npos;)
            text.erase(at, 2);
        EXPECT_NE(text.find("A caption long enough that it\nmust be broken into two rows"), std::string::npos) << text;
    }
}

// ffmpeg writes SCC too (from captions it read: it cannot make CEA-608 of
// text), with ':' labels: a non-drop file comes back from it as it was.
TEST(Scc, WhatFfmpegWritesIsRead)
{
    if (!test::FfmpegAvailable()) GTEST_SKIP() << "no ffmpeg";
    std::string ndf = Captions;
    for (char& c : ndf)
        c = c == ';' ? ':' : c;
    test::TempDir dir;
    test::WriteFile(dir.path("in.scc"), ndf);
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
        { "-nostdin", "-loglevel", "error", "-y", "-i", QString::fromStdString(dir.path("in.scc")), "-map", "0:s",
            "-c:s", "copy", "-f", "scc", QString::fromStdString(dir.path("out.scc")) });
    ASSERT_TRUE(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);
    SubtitleTable theirs, ours;
    read(theirs, test::ReadFile(dir.path("out.scc")));
    read(ours, ndf);
    EXPECT_EQ(test::Rows(theirs), test::Rows(ours));
    EXPECT_EQ(ours.cell(SubtitleTable::From, 1), "1769"); // 58 s + 20 + 9 frames: no labels dropped yet
    EXPECT_EQ(ours.cell(SubtitleTable::From, 2), "1965"); // 65 s + 15 frames, no two labels dropped
}

// A load that cannot be sent in the frames before its caption: the caption
// shows late and the save says so. "First" takes 11 pairs (erase and resume
// two each, its place two and a tab two, three of characters) and has 10
// frames; the second, broken in two rows, 30 pairs in the 27 frames after
// the first one's end of caption and before its erase at 40, then 41 to 43.
TEST(Scc, ACaptionThatCannotBeLoadedInTimeIsSaid)
{
    SubtitleTable table;
    test::Fill(table, { { "10", "40", "First" }, { "41", "60", "A second caption of thirty characters" } });
    std::vector<std::string> notes;
    SubtitleTable back;
    read(back, write(table, 29.97, &notes));
    EXPECT_EQ(notes,
        (std::vector<std::string> { "SCC: row 1 is shown 1 frame late: its 13 byte pairs do not fit before it",
            "SCC: row 2 is shown 3 frames late: its 32 byte pairs do not fit before it" }));
    EXPECT_EQ(test::Rows(back),
        (std::vector<Row> {
            { "11", "40", "First", "", "" }, { "44", "60", "A second caption of thirty", "characters", "" } }));
}

TEST(Scc, BadFilesSayWhere)
{
    const std::pair<std::string, std::string> cases[] = {
        { "WEBVTT\n", "SCC, line 1: an SCC file starts with the line Scenarist_SCC V1.0" },
        { "Scenarist_SCC V1.0\n\n00:00:01:00\t9420 94zz\n",
            "SCC, line 3: '94zz' is not a byte pair of four hex digits" },
        { "Scenarist_SCC V1.0\n\n00:00:61:00\t9420\n",
            "SCC, line 3: '00:00:61:00' is not a time code hh:mm:ss:ff or hh:mm:ss;ff" },
    };
    for (const auto& [text, message] : cases) {
        SubtitleTable table;
        try {
            read(table, text);
            ADD_FAILURE() << message;
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
}

TEST(Scc, RowsWrittenInBlocksGiveTheBytesOfTheWholeTable)
{
    // Captions close together (loads shown late, erasures with no room) and far apart, ten times over: a
    // block of some hundred rows is placed and written part by part.
    SubtitleTable table;
    std::vector<Row> rows;
    for (int n = 0; n < 600; ++n) {
        const int i = n % 60, from = n / 60 * 30000 + (i < 30 ? 10 + i * 25 : 2000 + i * 400);
        rows.push_back({ std::to_string(from), std::to_string(from + (i % 3 ? 24 : 90)),
            "Caption " + std::to_string(i) + " of a few words", i % 2 ? "<i>and a second line</i>" : "" });
    }
    // One that needs more than four rows of the screen.
    rows[40][2] = std::string(100, 'a') + " " + std::string(30, 'b') + " " + std::string(30, 'c');
    test::Fill(table, rows);
    std::vector<std::string> wholeNotes;
    const std::string whole = write(table, 29.97, &wholeNotes);
    ASSERT_FALSE(wholeNotes.empty());
    // Also with each block's captions made ahead, as a reading thread makes them while the block before is
    // written.
    for (const bool ahead : { false, true })
        for (const int block : { 1, 4, 25, 300, 1000 }) {
            StringSink out;
            std::vector<std::string> notes;
            WriteContext context;
            context.framerate = 29.97;
            context.notes = &notes;
            const std::unique_ptr<RowWriter> writer = MakeSccWriter(table, context, out);
            const auto last = [&](int first) { return std::min(first + block, table.rowCount()) - 1; };
            if (ahead) writer->prepare(table, 1, last(1));
            for (int first = 1; first < table.rowCount(); first += block) {
                if (ahead && first + block < table.rowCount())
                    writer->prepare(table, first + block, last(first + block));
                writer->rows(table, first, last(first), out);
            }
            writer->finish(table, out);
            EXPECT_EQ(out.text(), whole) << block << ahead;
            EXPECT_EQ(notes, wholeNotes) << block << ahead;
        }
}

// Decoded a line or three at a time on a second thread while the next lines
// are read, a file gives the rows, hidden cells and document it gives read
// at once: for another format, for a save as SCC as the rows come, and up to
// an error late in the file.
TEST(Scc, DecodedOnASecondThreadGivesWhatOneReadGives)
{
    SubtitleTable later;
    std::vector<Row> rows;
    for (int i = 0; i < 40; ++i)
        rows.push_back({ std::to_string(3000 + i * 50), std::to_string(3000 + i * 50 + (i % 4 ? 40 : 90)),
            "Line " + std::to_string(i), i % 3 ? "" : "<i>and more</i>" });
    // Four rows of the screen: the last two share the third line.
    rows[5] = { "3250", "3290", "A", "B", "C\\ND" };
    test::Fill(later, rows);
    const std::string written = write(later);
    const std::string file = Captions + written.substr(written.find('\n') + 1);
    const auto readIn = [](size_t batch, const std::string& text, bool asRead) {
        SetSccDecodingBatch(batch);
        SubtitleTable table;
        LineReader lines(text);
        lines.setRowsAsRead(asRead);
        std::string seen;
        try {
            ReadScc(lines, table, 1, 25);
        } catch (const Error& e) {
            seen = e.what();
        }
        SetSccDecodingBatch(0);
        for (int row = 1; row < table.rowCount(); ++row)
            for (int column = SubtitleTable::From; column <= SubtitleTable::Extra; ++column)
                seen += "|" + std::string(table.cell(column, row));
        return seen + "|" + table.documentData();
    };
    for (const std::string& text : { file, file + "01:00:00;00\t9420 94zz\n" })
        for (const bool asRead : { false, true }) {
            const std::string once = readIn(0, text, asRead);
            ASSERT_GT(once.size(), 1000u);
            EXPECT_NE(once.find("|A|B|C\\ND|"), std::string::npos);
            for (const size_t batch : { 1, 3 })
                EXPECT_EQ(readIn(batch, text, asRead), once) << batch << asRead;
        }
}

TEST(Scc, ATimePast99HoursIsRefusedBeforeAnythingIsWritten)
{
    // At 29.97 frames a second (drop-frame labels), 99:59:59;29 is the last
    // label: frame 10,789,199 (17,982 frames every ten minutes, 600 times).
    struct Case {
        int64_t endFrame;
        bool refused;
    };
    for (const Case& c : { Case { 10789190, false }, Case { 10789300, true } }) {
        SubtitleTable table;
        test::Fill(table,
            { { "10", "40", "First" }, { std::to_string(c.endFrame - 30), std::to_string(c.endFrame), "Last" } });
        std::string out;
        bool refused = false;
        try {
            out = write(table);
        } catch (const WriteRefused& e) {
            refused = true;
            EXPECT_NE(std::string(e.what()).find("row 2 ends at 100:00:"), std::string::npos) << e.what();
        }
        EXPECT_EQ(refused, c.refused) << c.endFrame;
        if (!refused) EXPECT_NE(out.find("99:59:59;"), std::string::npos);
    }
}

// Mid-row codes where the style changes, worked by hand from CEA-608: a
// code takes the cell of a space before it (or is one where the space has
// the new style); the row's cells, codes counted, centre it (column 14 at
// row 15: preamble 9476 and tab offset 2, 97a2). 'a' 61 and 'b' 62 are odd;
// a lone character is padded with 80; italics 91ae, white 9120.
TEST(Scc, StyleChangesTakeTheCellsOfSpaces)
{
    for (const auto& [line, load] : {
             std::pair { "a <i>b</i>", "9476 9476 97a2 97a2 6180 91ae 91ae 6280" },
             { "a<i> b</i>", "9476 9476 97a2 97a2 6180 91ae 91ae 6280" },
             { "a<i>b</i>", "9476 9476 97a2 97a2 6180 91ae 91ae 6280" },
             { "a <i> b</i>", "9476 9476 97a2 97a2 6120 91ae 91ae 6280" },
             { "<i>a</i> b", "9476 9476 97a2 97a2 91ae 91ae 6180 9120 9120 6280" },
         }) {
        SubtitleTable table;
        test::Fill(table, { { "100", "200", line } });
        const std::string out = write(table);
        EXPECT_NE(out.find("94ae 94ae 9420 9420 " + std::string(load) + "\r\n"), std::string::npos) << line << "\n"
                                                                                                    << out;
    }
}

// Each character with a code, between two letters, comes back as it was
// written: plain, special and extended ones (these after their stand-in),
// three bytes of UTF-8 at most.
TEST(Scc, EveryCharacterWithACodeComesBackAsItWasWritten)
{
    const std::string characters[] = { "á", "é", "í", "ó", "ú", "ç", "÷", "Ñ", "ñ", "█", "®", "°", "½", "¿", "™", "¢",
        "£", "♪", "à", "è", "â", "ê", "î", "ô", "û", "Á", "É", "Ó", "Ú", "Ü", "ü", "‘", "¡", "*", "’", "—", "©", "℠",
        "•", "“", "”", "À", "Â", "Ç", "È", "Ê", "Ë", "ë", "Î", "Ï", "ï", "Ô", "Ù", "ù", "Û", "«", "»", "Ã", "ã", "Í",
        "Ì", "ì", "Ò", "ò", "Õ", "õ", "{", "}", "\\", "^", "_", "|", "~", "Ä", "ä", "Ö", "ö", "ß", "¥", "¤", "¦", "Å",
        "å", "Ø", "ø", "┌", "┐", "└", "┘" };
    SubtitleTable table;
    std::vector<Row> rows;
    for (size_t i = 0; i < std::size(characters); ++i)
        rows.push_back({ std::to_string(100 + i * 100), std::to_string(150 + i * 100), "a" + characters[i] + "z" });
    test::Fill(table, rows);
    SubtitleTable back;
    read(back, write(table));
    ASSERT_EQ(back.rowCount(), table.rowCount());
    for (int row = 1; row < table.rowCount(); ++row)
        EXPECT_EQ(back.cell(SubtitleTable::Line1, row), table.cell(SubtitleTable::Line1, row));
}

TEST(Scc, ACharacterWithoutACodeIsRefusedByItsRow)
{
    for (const auto& [text, character] : { std::pair<std::string, std::string> { "price: 5 €", "€" },
             { "cut short \xC3", "\xC3" }, { "tab\there", "\t" } }) {
        SubtitleTable table;
        test::Fill(table, { { "100", "200", "fine" }, { "300", "400", text } });
        try {
            write(table);
            ADD_FAILURE() << text;
        } catch (const UnencodableText& e) {
            EXPECT_EQ(e.what(), "SCC, row 2: the character '" + character + "' has no code in CEA-608 captions");
        }
    }
}

// Byte pairs in either case, between tabs and spaces; a word that only
// starts with four hex digits, or has fewer, is no pair.
TEST(Scc, BytePairsAreReadBetweenAnyBlanks)
{
    SubtitleTable table;
    read(table,
        "Scenarist_SCC V1.0\r\n\r\n  00:00:01:00 \t 9420\t\t9420  94D0 94d0 C1C2 c1c2   942F 942f \t\r\n\r\n"
        "00:00:03:00\t942c 942c\r\n");
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "36", "90", "ABAB", "", "" } }));
    for (const auto& [line, word] : { std::pair<std::string, std::string> { "9420 94200 9420", "94200" },
             { "9420 942", "942" }, { "9420\t942f9", "942f9" }, { "9420 94g0", "94g0" } }) {
        try {
            read(table, "Scenarist_SCC V1.0\n\n00:00:01:00\t" + line + "\n");
            ADD_FAILURE() << line;
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), "SCC, line 3: '" + word + "' is not a byte pair of four hex digits");
        }
    }
}

// Captions piled up at nearly one time are shown minutes late: placed as
// the rows come, a load runs into frames still to be marked and is taken
// back, to be placed again with more rows.
TEST(Scc, PiledUpCaptionsWrittenInBlocksGiveTheBytesOfTheWholeTable)
{
    SubtitleTable table;
    std::vector<Row> rows;
    for (int i = 0; i < 120; ++i) {
        const int from = i < 100 ? 100 + i : 2000 + (i - 100) * 300;
        rows.push_back({ std::to_string(from), std::to_string(from + 40), "Caption " + std::to_string(i) + " piled up",
            "<i>with a second line</i>" });
    }
    test::Fill(table, rows);
    const std::string whole = write(table);
    for (const int block : { 1, 3, 50 }) {
        StringSink out;
        WriteContext context;
        context.framerate = 29.97;
        const std::unique_ptr<RowWriter> writer = MakeSccWriter(table, context, out);
        for (int first = 1; first < table.rowCount(); first += block)
            writer->rows(table, first, std::min(first + block, table.rowCount()) - 1, out);
        writer->finish(table, out);
        EXPECT_EQ(out.text(), whole) << block;
    }
}
