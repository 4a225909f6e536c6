#include "core/errors.h"
#include "fakes.h"
#include "formats/ebu_stl.h"
#include "formats/encoding.h"
#include "formats/file_commands.h"
#include "formats/markup.h"
#include "formats/registry.h"
#include "test_support.h"

#include <QFile>
#include <array>
#include <cctype>
#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

// A teletext file as EBU Tech 3264 lays it out, built byte by byte: the
// GSI block's fields at their offsets, TTI blocks of 128 bytes.
std::string gsi(int blocks, const char* table = "00", const char* disk = "STL25.01", const char* start = "10000000")
{
    std::string g(1024, ' ');
    const auto put = [&](size_t at, std::string_view v) { g.replace(at, v.size(), v); };
    put(0, "850");
    put(3, disk);
    put(11, "1");
    put(12, table);
    put(14, "09");
    put(16, "Film title");
    put(224, "240131240131");
    put(236, "01");
    put(238, (blocks < 10 ? "0000" : "000") + std::to_string(blocks));
    put(243, "00004001");
    put(251, "4023");
    put(255, "1");
    put(256, start);
    put(264, "10000500");
    put(272, "11GBR");
    return g;
}

std::string tti(int number, std::array<int, 4> in, std::array<int, 4> out, std::string_view text, int extension = 0xFF,
    int row = 20, int comment = 0)
{
    std::string b { 0, static_cast<char>(number), 0, static_cast<char>(extension), 0 };
    for (int v : in)
        b += static_cast<char>(v);
    for (int v : out)
        b += static_cast<char>(v);
    b += { static_cast<char>(row), 2, static_cast<char>(comment) };
    return b + std::string(text) + std::string(112 - text.size(), '\x8F');
}

const std::string Framing = "\x0D\x07\x0B\x0B", End = "\x0A\x0A", Break = "\x8A\x8A";

std::string upperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Two-line teletext subtitles with italics and ISO 6937 accents (a mark
// before its letter), a yellow line with a colour change, a comment, and a
// subtitle of 120 characters in an extension block.
std::string film()
{
    const std::string blocks = tti(1, { 10, 0, 5, 0 }, { 10, 0, 7, 12 },
                                   Framing + "Hello, \x80world\x81" + End + Break + Framing
                                       + "Caf\xC2"
                                         "e cr\xC1"
                                         "eme"
                                       + End)
        + tti(2, { 10, 0, 8, 0 }, { 10, 0, 9, 24 },
            "\x0D\x03\x0B\x0BYellow \x06"
            "cyan"
                + End,
            0xFF, 22)
        + tti(3, { 10, 0, 10, 0 }, { 10, 0, 11, 0 }, "checked by Anna", 0xFF, 22, 1)
        + tti(4, { 10, 0, 12, 0 }, { 10, 0, 14, 0 }, Framing + std::string(100, 'A'), 0)
        + tti(4, { 10, 0, 12, 0 }, { 10, 0, 14, 0 }, std::string(20, 'B') + End);
    return gsi(5) + blocks;
}

void read(SubtitleTable& table, const std::string& bytes, double fps = 25)
{
    LineReader lines(bytes);
    ReadEbuStl(lines, table, 1, fps);
}

std::string write(const SubtitleTable& table, double fps = 25)
{
    StringSink sink;
    WriteContext context;
    context.framerate = fps;
    WriteEbuStl(table, 1, table.rowCount() - 1, context, sink);
    return sink.text();
}

} // namespace

// Times count from the programme's start (10:00:00:00); frames at 25 fps are
// the time codes' own; the second line's accents decode through ISO 6937.
TEST(EbuStl, SubtitlesBecomeRowsWithTheirMarkup)
{
    SubtitleTable table;
    read(table, film());
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> { { "125", "187", "Hello, <i>world</i>", "Café crème", "" },
            { "200", "249", "<font color=\"yellow\">Yellow </font><font color=\"cyan\">cyan</font>", "", "" },
            { "300", "350", std::string(100, 'A') + std::string(20, 'B'), "", "" } }));
}

TEST(EbuStl, OpenedAndSavedUneditedGivesTheSameBytes)
{
    SubtitleTable table;
    read(table, film());
    EXPECT_EQ(write(table), film());
    // The same through the load and save commands, with the binary format told from the bytes.
    test::TempDir dir;
    test::WriteFile(dir.path("in.stl"), film());
    SubtitleTable loaded;
    FixedFramerate fps(25);
    test::RecordingMessages messages;
    EXPECT_EQ(LoadSubtitles(loaded, dir.path("in.stl"), false, fps, messages).format, FormatCode::EbuStl);
    FixedExportSettings settings({});
    SaveServices services { fps, settings, messages };
    ASSERT_TRUE(SaveSubtitles(loaded, dir.path("out.stl"), FormatById("ebu-stl")->saveType, services));
    EXPECT_EQ(test::ReadFile(dir.path("out.stl")), film());
}

// An edited row keeps its block's group, position and teletext framing;
// the bottom line stays on its row when a line is added; the GSI counts follow.
TEST(EbuStl, AnEditedRowKeepsWhatItsBlockHad)
{
    SubtitleTable table;
    read(table, film());
    table.setCell(SubtitleTable::Line1, 2, "<font color=\"yellow\">Now</font>");
    table.setCell(SubtitleTable::Line2, 2, "two <i>lines</i>");
    table.deleteRow(1);
    const std::string out = write(table);
    ASSERT_EQ(out.size(), 1024u + 4 * 128);
    EXPECT_EQ(out.substr(238, 13), "0000400003001"); // 4 blocks, 3 subtitles (the comment too), 1 group
    const std::string block = out.substr(1024, 128);
    EXPECT_EQ(block[13], 20); // was one line on row 22
    EXPECT_EQ(block.substr(16, 30),
        "\x0D\x03\x0B\x0BNow" + End + Break + "\x0D\x07\x0B\x0Btwo \x80lines\x81" + End + "\x8F\x8F");
    EXPECT_EQ(out.substr(1024 + 128, 128), film().substr(1024 + 2 * 128, 128)); // the comment as it was
}

TEST(EbuStl, OtherTablesAndTheirCharacters)
{
    SubtitleTable table;
    read(table, gsi(1, "01") + tti(0, { 0, 0, 1, 0 }, { 0, 0, 2, 0 }, "\xB7\xD4\xE0\xD0\xD2\xE1\xE2"));
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "Здравст");
    // No Cyrillic in the Latin table: the save says which character of which row.
    SubtitleTable latin;
    test::Fill(latin, { { "25", "50", "Ok" }, { "60", "80", "Жук" } });
    EXPECT_THROW(
        try { write(latin); } catch (const UnencodableText& e) {
            EXPECT_STREQ(e.what(), "EBU STL, row 2: the character 'Ж' has no code in character code table 00 (Latin)");
            throw;
        },
        UnencodableText);
}

// A table from another format: teletext defaults, 25 fps time codes from
// zero, and it reads back as it was.
TEST(EbuStl, WrittenFromAnotherFormatReadsBack)
{
    SubtitleTable table;
    test::Fill(table, { { "25", "62", "<i>Hello</i> there,", "world" }, { "1576", "1625", "Ünïcödé — 1/2" } });
    const std::string out = write(table);
    EXPECT_EQ(out.substr(0, 16), "850STL25.0110000");
    SubtitleTable back;
    read(back, out);
    EXPECT_EQ(test::Rows(back), test::Rows(table));
    EXPECT_EQ(out.substr(1024 + 13, 2), "\x14\x02"); // two lines from row 20, centred
}

TEST(EbuStl, BadFilesAreRefusedWithTheRowsReadBeforeKept)
{
    const std::string one = tti(1, { 0, 0, 1, 0 }, { 0, 0, 2, 0 }, "One");
    const std::pair<std::string, std::string> cases[] = {
        { gsi(1).substr(0, 600),
            "EBU STL, GSI block: the file holds 600 bytes, fewer than the 1024 of its General "
            "Subtitle Information block" },
        { gsi(1, "07") + one,
            "EBU STL, GSI block: the character code table '07' is not one of 00 (Latin), 01 "
            "(Cyrillic), 02 (Arabic), 03 (Greek) and 04 (Hebrew)" },
        { gsi(1, "00", "STLxx.01") + one,
            "EBU STL, GSI block: the disk format code 'STLxx.01' is not one of "
            "STL25.01, STL30.01 (STLnn.01)" },
        { gsi(2) + one + one.substr(0, 60), "EBU STL, TTI block 2 (byte 1152): the file ends 60 bytes into the block" },
        { gsi(3) + one, "EBU STL, GSI block: it counts 3 TTI blocks, the file holds 1 (all of them were read)" },
        { gsi(2) + one + tti(2, { 0, 0, 61, 0 }, { 0, 0, 62, 0 }, "x"),
            "EBU STL, TTI block 2 (byte 1152): its time codes are not time codes at 25 frames a second" },
    };
    for (const auto& [bytes, message] : cases) {
        SubtitleTable table;
        try {
            read(table, bytes);
            ADD_FAILURE() << message;
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), message);
        }
        const bool rowsBefore = bytes.size() > 1024 + 127 && message.find("table") == std::string::npos
            && message.find("disk") == std::string::npos;
        EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), rowsBefore ? "One" : "") << message;
    }
}

namespace {

// An output that cannot go back, as a pipe: every block waits for the header.
class ForwardSink : public TextSink {
public:
    void write(std::string_view text) override { text_.append(text); }
    std::string text_;
};

} // namespace

// Read for the converter's flow, the rows are those of the whole reading.
// For another format a row keeps its blocks only when comments came before
// it, which the message counts. Going straight to an EBU STL writer, rows
// carry their blocks as they are, without fingerprint or framings, and give
// the file back in blocks of any size.
TEST(EbuStl, ReadForTheFlowGivesTheRowsOfTheWholeReading)
{
    const std::string withLast
        = gsi(6) + film().substr(1024) + tti(5, { 10, 0, 15, 0 }, { 10, 0, 16, 0 }, "last note", 0xFF, 22, 1);
    const FormatInfo& subrip = *FormatById("subrip");
    for (const std::string& bytes : { film(), withLast }) {
        SubtitleTable kept, other, asRead;
        read(kept, bytes);
        LineReader forOther(bytes), forItself(bytes);
        forOther.setKeepsFile(false);
        forItself.setRowsAsRead(true);
        ReadEbuStl(forOther, other, 1, 25);
        ReadEbuStl(forItself, asRead, 1, 25);
        EXPECT_EQ(test::Rows(other), test::Rows(kept));
        EXPECT_EQ(test::Rows(asRead), test::Rows(kept));
        EXPECT_TRUE(other.cell(SubtitleTable::Extra, 1).empty());
        EXPECT_EQ(DescribeUnwritten(other, subrip), DescribeUnwritten(kept, subrip));
        EXPECT_NE(
            DescribeUnwritten(other, subrip).find(bytes == withLast ? "2 comment" : "1 comment"), std::string::npos);
        for (const int block : { 1, 2 }) {
            StringSink out;
            WriteContext context;
            context.framerate = 25;
            context.rowsAsRead = true;
            const std::unique_ptr<RowWriter> writer = MakeEbuStlWriter(asRead, context, out);
            for (int row = 1; row < asRead.rowCount(); row += block)
                writer->rows(asRead, row, std::min(row + block - 1, asRead.rowCount() - 1), out);
            writer->finish(asRead, out);
            EXPECT_EQ(out.text(), bytes) << block;
        }
    }
}

TEST(EbuStl, RowsWrittenInBlocksGiveTheBytesOfTheWholeTable)
{
    SubtitleTable table;
    test::Fill(table, { { "25", "62", "One" }, { "100", "150", std::string(150, 'x') }, { "200", "250", "Three" } });
    const std::string whole = write(table);
    // Four TTI blocks: the second row's 150 characters take two of 112.
    EXPECT_EQ(whole.size(), 1024u + 4 * 128);
    EXPECT_EQ(whole.substr(238, 10), "0000400003");
    for (const bool rewritable : { true, false }) {
        StringSink string;
        ForwardSink forward;
        TextSink& out = rewritable ? static_cast<TextSink&>(string) : forward;
        WriteContext context;
        context.framerate = 25;
        const std::unique_ptr<RowWriter> writer = MakeEbuStlWriter(table, context, out);
        for (int row = 1; row < table.rowCount(); ++row)
            writer->rows(table, row, row, out);
        writer->finish(table, out);
        EXPECT_EQ(rewritable ? string.text() : forward.text_, whole) << rewritable;
    }
}

TEST(EbuStl, MoreBlocksThanTheHeaderCountsAreRefusedBeforeAnythingIsSaved)
{
    // The GSI block counts TTI blocks in five digits: 99,999 at most.
    struct Case {
        int rows;
        // The text field's 112 bytes hold a teletext row's 6 framing codes and
        // up to 106 characters; one more takes a second block.
        size_t characters;
        bool refused;
    };
    for (const Case& c : { Case { 99999, 10, false }, Case { 100000, 10, true }, Case { 50000, 106, false },
             Case { 50000, 107, true } }) {
        SubtitleTable table;
        table.setRowCount(c.rows + 1);
        const std::string text(c.characters, 'a');
        for (int row = 1; row <= c.rows; ++row)
            table.setRow(row, std::to_string(row * 100), std::to_string(row * 100 + 50), text, "", "");
        const test::TempDir dir;
        const std::string file = dir.path("out.stl");
        FixedFramerate fps(25);
        FixedExportSettings settings(SsaExportAnswer {});
        test::RecordingMessages messages;
        SaveServices services { fps, settings, messages };
        EXPECT_EQ(SaveSubtitles(table, file, FormatByCode(FormatCode::EbuStl)->saveType, services), !c.refused);
        EXPECT_EQ(QFile::exists(QString::fromStdString(file)), !c.refused) << c.rows;
        if (c.refused) {
            ASSERT_EQ(messages.texts().size(), 1);
            EXPECT_TRUE(messages.texts()[0].contains(QStringLiteral("at most 99999 TTI blocks"))) << c.rows;
        }
    }
}

// A table from another format: each line's text field as EBU Tech 3264 codes
// it by hand (teletext framing around each line, italics 80/81, a colour
// code in the framing or before the text it colours, ISO 6937's acute 0xC2
// before its letter, "<" that opens no tag and text in braces kept as text).
TEST(EbuStl, TextFieldsOfLinesWithAndWithoutMarkup)
{
    const std::string text = "\x0D\x07\x0B\x0B", red = "\x0D\x01\x0B\x0B";
    // Runs longer than sixteen bytes, ended by an accent and DEL.
    const std::string longRuns
        = std::string(20, 'x') + "\xC3\xA9" + std::string(16, 'y') + "\x7F" + std::string(17, 'z');
    for (const auto& [line1, line2, field] : {
             std::tuple { "Hello, world", "", text + "Hello, world" + End },
             { "a<i>b</i> c", "",
                 text
                     + "a\x80"
                       "b\x81 c"
                     + End },
             { "<font color=\"red\">Red</font> x", "", red + "Red\x07 x" + End },
             { "x <font color=\"#00ffff\">cyan</font>", "",
                 text
                     + "x \x06"
                       "cyan"
                     + End },
             { "Caf\xC3\xA9 1<2", "",
                 text
                     + "Caf\xC2"
                       "e 1<2"
                     + End },
             { "{not a code", "Two", text + "{not a code" + End + Break + text + "Two" + End },
             { longRuns.c_str(), "",
                 text + std::string(20, 'x') + "\xC2" + "e" + std::string(16, 'y') + "\x7F" + std::string(17, 'z')
                     + End },
         }) {
        SubtitleTable table;
        test::Fill(table, { { "25", "50", line1, line2 } });
        const std::string out = write(table);
        ASSERT_GE(out.size(), 1024u + 128u) << line1;
        EXPECT_EQ(out.substr(1024 + 16, field.size()), field) << line1;
        EXPECT_EQ(out.substr(1024 + 16 + field.size()), std::string(112 - field.size(), '\x8F')) << line1;
    }
}

// Plain ASCII runs and the characters around them, as each code table of the
// standard gives them: the Latin table's A/4 is the dollar and its accents
// come before their letter.
TEST(EbuStl, TextOfEachCodeTableAroundItsAsciiRuns)
{
    const struct {
        const char* table;
        std::string bytes, text;
    } cases[] = {
        { "00",
            "Caf\xC2"
            "e: 10\xA4, #1",
            "Café: 10$, #1" },
        { "00",
            "\xC8u and \xCB"
            "c",
            "ü and ç" },
        { "01", "Ok \xB7\xD4\xE0\xD0\xD2\xE1\xE2 ok", "Ok Здравст ok" },
        { "03", "abc \xC1\xC2\xC3 xyz", "abc ΑΒΓ xyz" },
        // Codes between ASCII runs are no text, even where the table reads them as the same byte.
        { "00",
            "ab\x10"
            "cd\x1F\x7F"
            "e",
            "ab{mosaic black}cd{release mosaic}\x7F"
            "e" },
        // Runs longer than sixteen bytes, ended by an accent, DEL and a code.
        { "00",
            std::string(17, 'a') + "\xC2" + "e" + std::string(15, 'b') + "\x7F" + std::string(16, 'c') + "\x10" + "d",
            std::string(17, 'a') + "é" + std::string(15, 'b') + "\x7F" + std::string(16, 'c') + "{mosaic black}d" },
    };
    for (const auto& c : cases) {
        SubtitleTable table;
        read(table, gsi(1, c.table) + tti(0, { 0, 0, 1, 0 }, { 0, 0, 2, 0 }, c.bytes));
        EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), c.text) << c.table << " " << c.bytes;
    }
}

// What a row keeps in its hidden cell: the fingerprint of its lines, its
// blocks, the breaks between lines, each line's framing and the blocks before
// it (the comment); past three lines (and the empty ones a longer run of
// breaks leaves), Line 3 holds the rest.
TEST(EbuStl, EachRowKeepsItsBlocksFramingsAndTheBlocksBeforeIt)
{
    const std::string blocks = film().substr(1024);
    const std::string lines = tti(5, { 10, 0, 15, 0 }, { 10, 0, 16, 0 },
        "a\x8A"
        "b\x8A\x8A\x8A"
        "c\x8A\x0D"
        "d");
    SubtitleTable table;
    read(table, gsi(6) + blocks + lines);
    const std::string longText = std::string(100, 'A') + std::string(20, 'B');
    const struct {
        int row;
        std::string line3, kept;
    } cases[] = {
        { 3, "",
            "ebu-stl\n" + CellsFingerprint({ longText, "", "" }) + "\n" + ToHex(blocks.substr(3 * 128, 256))
                + "\n0\n1\n0d070b0b:0a0a\n1\n" + ToHex(blocks.substr(2 * 128, 128)) },
        { 4, "\\N\\Nc\\Nd",
            "ebu-stl\n" + CellsFingerprint({ "a", "b", "\\N\\Nc\\Nd" }) + "\n" + ToHex(lines)
                + "\n1\n6\n:\n:\n:\n:\n:\n0d:\n0" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(table.cell(SubtitleTable::Line3, c.row), c.line3) << c.row;
        EXPECT_EQ(table.cell(SubtitleTable::Extra, c.row), c.kept) << c.row;
    }
}

// The comments a save in another format leaves out, counted from each row's
// hidden cell as it stands, damaged or not: the framing and before groups
// read by their counts, no further than the lines there are.
TEST(EbuStl, CommentsLeftOutCountedFromHiddenCellsDamagedOrNot)
{
    const std::string comment = ToHex(tti(3, { 0, 0, 1, 0 }, { 0, 0, 2, 0 }, "note", 0xFF, 22, 1));
    const std::string open = ToHex(tti(3, { 0, 0, 1, 0 }, { 0, 0, 2, 0 }, "note", 0, 22, 1));
    const std::string head = "ebu-stl\n0123456789abcdef\n00\n1\n";
    const struct {
        std::string extra;
        int comments;
    } cases[] = {
        { head + "1\n:\n2\n" + comment + "\n" + comment, 2 },
        { head + "0\n1\n" + upperCase(comment), 1 },
        { head + "2x\n:\n:\n1\n" + comment, 1 },
        { head + "9\n:\n1\n" + comment, 0 },
        { head + "1\n:\n5\n" + comment + "\n" + open + "\n" + comment.substr(2), 1 },
        { "ebu-stl\tx\n0\n0\n0\n0\n1\n" + comment, 1 },
    };
    for (const auto& c : cases) {
        SubtitleTable table;
        table.setRowCount(2);
        table.setRow(1, "0", "1", "x", "", "", c.extra);
        const std::vector<std::string> left = EbuStlDataLeftOut(table, "subrip");
        EXPECT_EQ(left.empty() ? 0 : std::stoi(left[0]), c.comments) << c.extra.substr(0, 40);
    }
}

// A hidden cell damaged by hand is read as far as it goes: each one is
// written as the same cell put right, its text edited or not.
TEST(EbuStl, DamagedHiddenCellsAreWrittenAsTheCellPutRight)
{
    SubtitleTable table;
    read(table, film());
    const std::string kept(table.cell(SubtitleTable::Extra, 1));
    const size_t blocksAt = kept.find('\n', 8) + 1, blocksEnd = kept.find('\n', blocksAt);
    const std::string head = kept.substr(0, blocksAt), block = kept.substr(blocksAt, blocksEnd - blocksAt),
                      rest = kept.substr(blocksEnd, kept.rfind('\n') - blocksEnd);
    ASSERT_EQ(kept.substr(kept.rfind('\n')), "\n0");
    const std::string comment = ToHex(film().substr(1024 + 2 * 128, 128));
    const std::pair<std::string, std::string> cases[] = {
        { head + block + block.substr(0, 128) + rest + "\n0", kept },
        { head + block + rest + "\n5\n" + comment, head + block + rest + "\n1\n" + comment },
        { head + block.substr(0, 100) + "g" + block.substr(101) + rest + "\n0", head + rest + "\n0" },
        { head + block + "\n2\n9\n0d070b0b:0a0a", head + block + "\n2\n1\n0d070b0b:0a0a\n0" },
        { head + block + "\n2\n2\nzz:0a0a\n0d070b0b\n0", head + block + "\n2\n2\n:0a0a\n0d070b0b:\n0" },
    };
    for (const auto& [damaged, right] : cases) {
        for (const bool edited : { false, true }) {
            SubtitleTable a, b;
            read(a, film());
            read(b, film());
            a.setCell(SubtitleTable::Extra, 1, damaged);
            b.setCell(SubtitleTable::Extra, 1, right);
            if (edited) {
                a.setCell(SubtitleTable::Line2, 1, "<i>Edited</i>");
                b.setCell(SubtitleTable::Line2, 1, "<i>Edited</i>");
            }
            EXPECT_EQ(write(a), write(b)) << damaged << edited;
        }
    }
}

// Hex sixteen bytes at a time and the rest one by one, both ways: every byte
// value at lengths around sixteen, read back in either case; anything but a
// hex digit, anywhere, or an odd count is refused and leaves what was there.
TEST(EbuStl, KeptHexBothWays)
{
    std::string bytes;
    for (int c = 0; c < 256; ++c)
        bytes += static_cast<char>(255 - c);
    for (const size_t size : { 0, 1, 15, 16, 17, 33, 256 }) {
        std::string expected = "x", hex = "x";
        for (size_t i = 0; i < size; ++i)
            expected += { "0123456789abcdef"[(255 - i) >> 4], "0123456789abcdef"[(255 - i) & 0xF] };
        AppendHex(hex, bytes.substr(0, size));
        EXPECT_EQ(hex, expected) << size;
        EXPECT_EQ(FromHex(upperCase(hex.substr(1))), bytes.substr(0, size)) << size;
    }
    const std::string hex = ToHex(bytes.substr(0, 40));
    EXPECT_EQ(FromHex(hex.substr(0, 33)), std::nullopt);
    for (const char bad : { '/', ':', '@', 'G', '`', 'g', '\x10', '\x80', '\xC1' })
        for (const size_t at : { 0, 15, 16, 79 }) {
            std::string text = hex, out = "kept";
            text[at] = bad;
            EXPECT_FALSE(AppendFromHex(out, text)) << static_cast<int>(bad) << " at " << at;
            EXPECT_EQ(out, "kept");
        }
}
