// Files from unknown sources, through the load command and the converter:
// every one ends in rows or in an error with a message, never in a crash, and
// the table keeps what the fill rule says it keeps.
#include "cli/convert.h"
#include "convert_runner.h"
#include "core/errors.h"
#include "fakes.h"
#include "formats/file_commands.h"
#include "formats/text_file.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <typeinfo>
#include <unistd.h>

using namespace tessel;
using test::Row;

namespace {

const std::string Unknown = "Unknow subtitles format.";

enum class Expect {
    Rows, // read: status 0
    Unknown, // "Unknow subtitles format.", the table untouched
    Failure, // an error with a message, rows stored before it kept
    Either, // rows or an error; which one is not fixed
};

struct HostileCase {
    std::string label;
    std::string fileName; // its extension matters to detection
    std::string bytes;
    Expect expect;
    std::vector<Row> firstRows = {}; // what the table starts with afterwards (Rows, Failure)
};

// What the load command did over a table that held other rows.
struct Load {
    bool threw = false;
    std::string error;
    std::vector<std::string> messages;
    SubtitleTable table;
};

const std::vector<Row> OldRows
    = { { "1", "2", "old", "", "" }, { "3", "4", "old", "", "" }, { "5", "6", "old", "", "" } };

void load(const std::string& path, Load& result)
{
    test::Fill(result.table, OldRows);
    FixedFramerate fps(25);
    test::RecordingMessages messages;
    try {
        LoadSubtitles(result.table, path, false, fps, messages);
    } catch (const Error& e) {
        result.threw = true;
        result.error = e.what();
    } catch (const std::exception& e) {
        // bad_alloc, length_error, out_of_range: none of them is an answer to a bad file.
        ADD_FAILURE() << "not an error the user can read: " << typeid(e).name() << ": " << e.what();
        result.threw = true;
    }
    for (const QString& text : messages.texts())
        result.messages.push_back(text.toStdString());
}

bool allCellsUtf8(const SubtitleTable& table)
{
    for (int row = 0; row < table.rowCount(); ++row)
        for (int column = 0; column < SubtitleTable::ColumnCount; ++column)
            if (!IsValidUtf8(table.cell(column, row))) return false;
    return true;
}

void expectFirstRows(const SubtitleTable& table, const std::vector<Row>& rows)
{
    const std::vector<Row> all = test::Rows(table);
    ASSERT_GE(all.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        Row expected = rows[i];
        expected.resize(SubtitleTable::ColumnCount);
        EXPECT_EQ(all[i], expected) << "row " << i + 1;
    }
}

// One file through both roads; the converter must say what the load command said.
void check(const HostileCase& c)
{
    SCOPED_TRACE(c.label);
    test::TempDir dir;
    const std::string path = dir.path(c.fileName);
    test::WriteFile(path, c.bytes);
    Load loaded;
    load(path, loaded);
    const test::Converted run = test::Convert({ "--in-fps", "25", "--to", "table", path });
    ASSERT_TRUE(run.status == 0 || run.status == 1) << run.status;
    EXPECT_TRUE(allCellsUtf8(loaded.table));

    if (loaded.threw) {
        EXPECT_TRUE(c.expect == Expect::Failure || c.expect == Expect::Either) << loaded.error;
        EXPECT_FALSE(loaded.error.empty());
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, loaded.error + "\n");
        EXPECT_EQ(run.out, "");
    } else if (loaded.messages == std::vector<std::string> { Unknown }) {
        EXPECT_TRUE(c.expect == Expect::Unknown || c.expect == Expect::Either);
        EXPECT_EQ(test::Rows(loaded.table), OldRows);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, Unknown + "\n");
    } else {
        EXPECT_TRUE(c.expect == Expect::Rows || c.expect == Expect::Either) << "read without an error";
        EXPECT_EQ(loaded.messages, std::vector<std::string> {});
        EXPECT_EQ(run.status, 0) << run.err;
        if (test::Rows(loaded.table) != OldRows) {
            EXPECT_EQ(run.out, cli::DumpTable(loaded.table));
        }
    }
    expectFirstRows(loaded.table, c.firstRows);
}

// xorshift: the same noise on every machine, cheap enough for 50 MB.
std::string noise(size_t size, uint64_t seed)
{
    std::string bytes(size + 8, '\0');
    uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
    for (size_t i = 0; i < size; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        std::memcpy(&bytes[i], &state, 8);
    }
    bytes.resize(size);
    return bytes;
}

// memchr keeps this quick in an unoptimised build.
void replaceByte(std::string& bytes, char from, char to)
{
    char* const end = bytes.data() + bytes.size();
    for (char* p = bytes.data(); (p = static_cast<char*>(std::memchr(p, from, static_cast<size_t>(end - p))));)
        *p++ = to;
}

std::string repeated(const std::string& piece, size_t count)
{
    std::string text;
    text.reserve(piece.size() * count);
    for (size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

std::string utf16(const std::u16string& text, bool littleEndian, bool byteOrderMark)
{
    std::string bytes = byteOrderMark ? (littleEndian ? "\xFF\xFE" : "\xFE\xFF") : "";
    for (char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += littleEndian ? std::string { low, high } : std::string { high, low };
    }
    return bytes;
}

const std::string MicroDvd = "{1}{25}Hello|world\r\n{30}{60}Two\r\n";
const std::vector<Row> MicroDvdRows = { { "1", "25", "Hello", "world" }, { "30", "60", "Two" } };

} // namespace

TEST(HostileInput, OddBytesAndEncodings)
{
    const std::u16string text = u"{1}{25}Hello|world\r\n{30}{60}Two\r\n";
    std::string oddUtf16 = utf16(u"{1}{2}caf\u00e9", true, true) + "\x41"; // a lone last byte
    const std::vector<HostileCase> cases = {
        { "empty file", "a.srt", "", Expect::Unknown },
        { "empty file named .ssa", "a.ssa", "", Expect::Unknown },
        { "only NUL bytes", "a.sub", std::string(4096, '\0'), Expect::Unknown },
        { "NUL inside a text", "a.sub", std::string("{1}{2}a\0b\r\n{3}{4}c\0\r\n", 20), Expect::Rows,
            { { "1", "2", std::string("a\0b", 3) }, { "3", "4", std::string("c\0", 2) } } },
        // A NUL is one more character between digit runs: 00 00 0 1 | 000 00 00 02 are milliseconds 1 and 2.
        { "NUL in a time field", "a.srt", std::string("1\n00:00:0") + '\0' + "1,000 --> 00:00:02,000\nx\n",
            Expect::Rows, { { "0", "0", "x" } } },
        { "UTF-16LE with a byte-order mark", "a.sub", utf16(text, true, true), Expect::Rows, MicroDvdRows },
        { "UTF-16BE with a byte-order mark", "a.sub", utf16(text, false, true), Expect::Rows, MicroDvdRows },
        { "UTF-16LE without a byte-order mark", "a.sub", utf16(text, true, false), Expect::Rows, MicroDvdRows },
        { "UTF-16BE without a byte-order mark", "a.sub", utf16(text, false, false), Expect::Rows, MicroDvdRows },
        { "UTF-16 cut in the middle of a unit", "a.sub", oddUtf16, Expect::Rows },
        { "UTF-16 with a lone surrogate", "a.sub", utf16(u"{1}{2}a\xD800z", true, true), Expect::Rows },
        { "invalid UTF-8", "a.sub", "{1}{2}caf\xC3(\xFF\xFE\xC0\xAF\xED\xA0\x80 end\r\n", Expect::Rows },
        { "invalid UTF-8 after a UTF-8 byte-order mark", "a.sub", "\xEF\xBB\xBF{1}{2}\xC3(\xF5\x80\x80\x80x\r\n",
            Expect::Rows },
        { "UTF-8 cut inside a character", "a.sub", "{1}{2}caf\xC3", Expect::Rows },
        { "a byte-order mark alone", "a.srt", "\xEF\xBB\xBF", Expect::Unknown },
        // Upper-casing "ß" gives "SS": the tag test must not grow the line a character at a time.
        { "a long first line of sharp s before the SAMI tag", "a.smi",
            repeated("\xC3\x9F", 1 << 20) + "<sami>\r\n<SYNC Start=1000><P Class=ENCC>x\r\n", Expect::Rows,
            { { "25", "125", "x" } } },
        { "a MicroDVD line of separators", "a.sub", "{1}{2}a|b|c|" + std::string(1 << 20, '|') + "d", Expect::Rows,
            { { "1", "2", "a", "b", "c" } } },
        { "CR only line ends", "a.sub", "{1}{2}a\r{3}{4}b\r", Expect::Rows, { { "1", "2", "a{3}{4}b" } } },
    };
    for (const HostileCase& c : cases)
        check(c);
}

// Noise alone, and noise after each format's first line so that every reader gets it.
TEST(HostileInput, SeededNoise)
{
    const std::vector<std::pair<std::string, std::string>> heads = {
        { "a.sub", "" },
        { "a.sub", "{1}{2}" },
        { "a.srt", "1\r\n" },
        { "a.sub", "[TITLE]\r\n" },
        { "a.sub", "[INFORMATION]\r\n" },
        { "a.aqt", "-->> 1\r\n" },
        { "a.smi", "<SAMI>\r\n" },
        { "a.sub", "{HEAD\r\n" },
        { "a.ssa", "[Script Info]\r\n" },
        { "a.txt", "00:00:01:x\r\n" },
    };
    for (size_t i = 0; i < heads.size(); ++i) {
        const std::string bytes = heads[i].second + noise(32 * 1024, i + 1);
        check({ "noise after '" + heads[i].second + "'", heads[i].first, bytes, Expect::Either });
    }
}

namespace {

// A small file per format: two good subtitles, then fields written as %value%
// that the test fills with a 30-digit run one at a time.
struct DigitTemplate {
    const char* format;
    std::string fileName;
    std::string text;
    Expect expect; // with a 30-digit run in any field
    Row firstRow; // at 25 frames per second
};

const std::string SubViewer1Head = "[TITLE]\r\n\r\n[AUTHOR]\r\n\r\n[SOURCE]\r\n\r\n[FILEPATH]\r\n\r\n[DELAY]\r\n0\r\n"
                                   "[CD TRACK]\r\n0\r\n[BEGIN]\r\n******** START SCRIPT ********\r\n";
const std::string SubViewer2Head = "[INFORMATION]\r\n[TITLE]x\r\n[END INFORMATION]\r\n[SUBTITLE]\r\n"
                                   "[COLF]&HFFFFFF,[STYLE]bd,[SIZE]18,[FONT]Arial\r\n";
const std::string SsaDialogue = "Dialogue: Marked=0,";
const std::string SsaRest = ",*Default,NTP,0000,0000,0000,,";

const std::vector<DigitTemplate> DigitTemplates = {
    // Frames are copied as text: the run becomes a cell, which the writers then refuse.
    { "MicroDVD", "a.sub", "{10}{20}One\r\n{30}{40}Two\r\n{%50%}{%60%}Three\r\n", Expect::Rows, { "10", "20", "One" } },
    { "SubRip", "a.srt",
        "1\r\n00:00:01,000 --> 00:00:02,000\r\nOne\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\nTwo\r\n\r\n"
        "3\r\n%00%:%00%:%05%,%000% --> %00%:%00%:%06%,%000%\r\nThree\r\n\r\n",
        Expect::Failure, { "25", "50", "One" } },
    { "SubViewer 1", "a.sub",
        SubViewer1Head
            + "[00:00:01]\r\nOne\r\n[00:00:02]\r\nTwo\r\n[%00%:%00%:%05%]\r\nThree\r\n"
              "[%00%:%00%:%06%]\r\n\r\n[END]\r\n******** End Script ********\r\n",
        Expect::Failure, { "25", "50", "One" } },
    { "SubViewer 2", "a.sub",
        SubViewer2Head
            + "00:00:01.00,00:00:02.00\r\nOne\r\n\r\n00:00:03.00,00:00:04.00\r\nTwo\r\n\r\n"
              "%00%:%00%:%05%.%00%,%00%:%00%:%06%.%00%\r\nThree\r\n\r\n",
        Expect::Failure, { "25", "50", "One" } },
    // A block shows between its marker and the next: one frame later, one earlier.
    { "AQTitle", "a.aqt",
        "-->> 000025\r\nOne\r\n\r\n-->> 000050\r\nTwo\r\n\r\n-->> %000075%\r\nThree\r\n\r\n-->> %000100%\r\n\r\n\r\n",
        Expect::Failure, { "26", "49", "One" } },
    { "SAMI", "a.smi",
        "<SAMI>\r\n<BODY>\r\n<SYNC Start=1000><P Class=ENCC>One\r\n<SYNC Start=2000><P Class=ENCC>Two\r\n"
        "<SYNC Start=%3000%><P Class=ENCC>Three\r\n<SYNC Start=%4000%><P Class=ENCC>&nbsp;\r\n</BODY>\r\n</SAMI>\r\n",
        Expect::Failure, { "25", "49", "One" } },
    // One is shown until the next time line, which comes before its 2.5 s and one frame per character.
    { "DVD Subripper", "a.sub",
        "{HEAD\r\nDISCID=\r\n}\r\n{T 00:00:01:00\r\nOne\r\n}\r\n{T 00:00:03:00\r\nTwo\r\n}\r\n"
        "{T %00%:%00%:%05%:%00%\r\nThree\r\n}\r\n{T %00%:%00%:%09%:%00%\r\n\r\n}\r\n",
        Expect::Failure, { "25", "75", "One" } },
    { "Sub Station Alpha", "a.ssa",
        "[Script Info]\r\n\r\n[Events]\r\n" + SsaDialogue + "0:00:01.00,0:00:02.00" + SsaRest + "One\r\n" + SsaDialogue
            + "0:00:03.00,0:00:04.00" + SsaRest + "Two\r\n" + SsaDialogue + "%0%:%00%:%05%.%00%,%0%:%00%:%06%.%00%"
            + SsaRest + "Three\r\n",
        Expect::Failure, { "25", "50", "One" } },
    // Only the first nine characters of a line are its time: a long run cannot overflow there.
    { "Simple time-code", "a.txt", "00:00:01:One\r\n00:00:02:Two\r\n%00%:%00%:%05%:Three\r\n%00%:%00%:%06%: \r\n",
        Expect::Rows, { "25", "50", "One" } },
};

// The template with field `target` as the run and every other field as written.
std::string withRun(const std::string& text, int target, const std::string& run, int& fields)
{
    std::string out;
    fields = 0;
    size_t at = 0, open;
    while ((open = text.find('%', at)) != std::string::npos) {
        const size_t close = text.find('%', open + 1);
        out.append(text, at, open - at);
        out += fields++ == target ? run : text.substr(open + 1, close - open - 1);
        at = close + 1;
    }
    return out + text.substr(at);
}

} // namespace

TEST(HostileInput, ThirtyDigitRunInEveryTimeAndFrameField)
{
    const std::string run = "123456789012345678901234567890";
    for (const DigitTemplate& t : DigitTemplates) {
        int fields = 0;
        withRun(t.text, -1, run, fields);
        ASSERT_GT(fields, 0) << t.format;
        for (int field = 0; field < fields; ++field) {
            const std::string bytes = withRun(t.text, field, run, fields);
            check({ std::string(t.format) + ", run in field " + std::to_string(field + 1), t.fileName, bytes, t.expect,
                { t.firstRow } });
        }
    }
}

TEST(HostileInput, LongRunStaysAFrameCellThatTheWritersRefuse)
{
    test::TempDir dir;
    const std::string run = "123456789012345678901234567890";
    test::WriteFile(dir.path("in.sub"), "{" + run + "}{2}x\r\n");
    const test::Converted toSrt = test::Convert({ "--fps", "25", dir.path("in.sub"), dir.path("out.srt") });
    EXPECT_EQ(toSrt.status, 1);
    EXPECT_EQ(toSrt.err, "Subtiles file can't be saved!\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.path("out.srt"))));
    const test::Converted toSub = test::Convert({ dir.path("in.sub"), dir.path("out.sub") });
    EXPECT_EQ(toSub.status, 0);
    EXPECT_EQ(test::ReadFile(dir.path("out.sub")), "{" + run + "}{2}x\r\n");
}

namespace {

constexpr size_t FiftyMegabytes = 50u << 20;

// Letters and commas, built by doubling to stay quick in an unoptimised build.
std::string letters(size_t size)
{
    std::string text = "abcdefghijklmnopqrstuvwxyz,";
    text.reserve(size);
    while (text.size() * 2 <= size)
        text.append(text);
    text.append(text, 0, size - text.size());
    return text;
}

void writePieces(const std::string& path, std::initializer_list<std::string_view> pieces)
{
    std::ofstream out(path, std::ios::binary);
    for (std::string_view piece : pieces)
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
}

// The file holds exactly the pieces, in order; the big one is not copied again.
bool holds(const std::string& path, std::initializer_list<std::string_view> pieces)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    std::string_view rest(bytes.constData(), static_cast<size_t>(bytes.size()));
    for (std::string_view piece : pieces) {
        if (rest.substr(0, piece.size()) != piece) return false;
        rest.remove_prefix(piece.size());
    }
    return rest.empty();
}

} // namespace

// One line of 50 MB: read whole into one cell. The big cases take one road
// each, the load command or the converter, to keep the test file quick.
TEST(HostileInput, FiftyMegabyteMicroDvdLine)
{
    test::TempDir dir;
    const std::string text = letters(FiftyMegabytes);
    writePieces(dir.path("big.sub"), { "{1}{2}", text });
    Load loaded;
    load(dir.path("big.sub"), loaded);
    ASSERT_FALSE(loaded.threw) << loaded.error;
    ASSERT_EQ(loaded.table.rowCount(), 2);
    EXPECT_EQ(loaded.table.cell(SubtitleTable::From, 1), "1");
    EXPECT_TRUE(loaded.table.cell(SubtitleTable::Line1, 1) == text);
}

// The text keeps its commas; style codes go and "\N" breaks the line. Written
// back as one MicroDVD line.
TEST(HostileInput, FiftyMegabyteDialogueLine)
{
    test::TempDir dir;
    const std::string text = letters(FiftyMegabytes);
    writePieces(dir.path("big.ssa"), { SsaDialogue, "0:00:01.00,0:00:02.00", SsaRest, "{\\i1}Hi\\N", text });
    const test::Converted run = test::Convert({ "--fps", "25", dir.path("big.ssa"), dir.path("out.sub") });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(holds(dir.path("out.sub"), { "{25}{50}Hi|", text, "\r\n" }));
}

// A long line from a file through the replace tool, which ignores case beyond ASCII too.
TEST(HostileInput, LongLineThroughTheReplaceTool)
{
    test::TempDir dir;
    writePieces(dir.path("in.sub"), { "{1}{2}", repeated("a\xC3\xA9 ", 200000) });
    const test::Converted run = test::Convert({ "--replace", "A", "--with", "b", "--replace", "\xC3\x89", "--with", "e",
        dir.path("in.sub"), dir.path("out.sub") });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(holds(dir.path("out.sub"), { "{1}{2}", repeated("be ", 200000), "\r\n" }));
}

// Decoded through the detected code page, then refused.
TEST(HostileInput, FiftyMegabytesOfNoiseOnOneLine)
{
    test::TempDir dir;
    std::string bytes = noise(FiftyMegabytes, 7);
    replaceByte(bytes, '\n', ' ');
    replaceByte(bytes, '\r', ' '); // a line with CRs in it is copied without them: this one is big enough
    bytes[0] = 'x'; // no first-line rule starts with a letter
    writePieces(dir.path("big.sub"), { bytes });
    const test::Converted run = test::Convert({ "--to", "table", dir.path("big.sub") });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, Unknown + "\n");
    EXPECT_EQ(run.out, "");
}

namespace {

bool mentions(const std::string& message, const std::string& path) { return message.find(path) != std::string::npos; }

} // namespace

TEST(HostileInput, FolderOrMissingFileIsAnErrorNamingIt)
{
    test::TempDir dir;
    QDir().mkpath(QString::fromStdString(dir.path("folder.srt")));
    for (const char* name : { "folder.srt", "missing.srt" }) {
        const std::string path = dir.path(name);
        Load loaded;
        load(path, loaded);
        EXPECT_TRUE(loaded.threw) << name;
        EXPECT_TRUE(mentions(loaded.error, path)) << loaded.error;
        EXPECT_EQ(test::Rows(loaded.table), OldRows);
        const test::Converted run = test::Convert({ path, dir.path("out.sub") });
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, loaded.error + "\n");
        EXPECT_EQ(test::Convert({ "--detect", path }).status, 1);
    }
}

TEST(HostileInput, UnreadableFileIsAnErrorNamingIt)
{
    test::TempDir dir;
    const std::string path = dir.path("locked.sub");
    test::WriteFile(path, MicroDvd);
    QFile::setPermissions(QString::fromStdString(path), {});
    if (::getuid() == 0) {
        // Permissions do not stop root: the converter runs as another user instead.
        QFile::setPermissions(QString::fromStdString(dir.path("")),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        const std::optional<test::Converted> run
            = test::ConvertAsNobody({ QString::fromStdString(path), "-", "--to", "table" });
        if (!run) GTEST_SKIP() << "running as root, and cannot run the converter as another user";
        EXPECT_EQ(run->status, 1);
        EXPECT_TRUE(mentions(run->err, path)) << run->err;
        EXPECT_EQ(run->out, "");
        return;
    }
    Load loaded;
    load(path, loaded);
    EXPECT_TRUE(loaded.threw);
    EXPECT_TRUE(mentions(loaded.error, path)) << loaded.error;
    EXPECT_EQ(test::Rows(loaded.table), OldRows);
    const test::Converted run = test::Convert({ path, dir.path("out.sub") });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, loaded.error + "\n");
}

// Nothing but a regular file is read, and none over 1 GiB: a device or a pipe
// could be endless (and opening a pipe waits for a writer), so each is refused
// before anything is read, with a message naming it.
TEST(HostileInput, OnlyRegularFilesUpToTheLimitAreRead)
{
    test::TempDir dir;
    const std::string fifo = dir.path("pipe.srt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.path("folder.sub");
    QDir().mkpath(QString::fromStdString(folder));
    const std::string big = dir.path("big.sub");
    test::WriteFile(big, MicroDvd);
    ASSERT_TRUE(QFile::resize(QString::fromStdString(big), MaxSubtitleFileBytes + 1)); // sparse: no disk used
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        { "/dev/zero", "It is a device; only regular files are read" },
        { fifo, "It is a pipe; only regular files are read" },
        { folder, "Is a directory" },
        { big, "It is larger than 1 GiB, the limit for subtitle files" },
    };
    for (const Case& c : cases) {
        const std::string message = "Cannot open file \"" + c.path + "\". " + c.reason;
        Load loaded;
        load(c.path, loaded);
        EXPECT_TRUE(loaded.threw) << c.path;
        EXPECT_EQ(loaded.error, message);
        EXPECT_EQ(test::Rows(loaded.table), OldRows);
        const test::Converted run = test::Convert({ c.path, dir.path("out.srt") });
        EXPECT_EQ(run.status, 1) << c.path;
        EXPECT_EQ(run.err, message + "\n");
        const test::Converted detect = test::Convert({ "--detect", c.path });
        EXPECT_EQ(detect.status, 1) << c.path;
        EXPECT_EQ(detect.err, message + "\n");
    }
}
