// The converter writes while it reads when nothing needs the whole table:
// every pair of formats, and the files that make it give up on the way, give
// the same bytes, messages and status as the whole table gives.
#include "cli/convert.h"
#include "cli/options.h"
#include "formats/registry.h"
#include "formats/text_file.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace tessel::test {
namespace {

struct Result {
    int status = 0;
    std::string out, err, file;
    bool written = false;

    bool operator==(const Result& o) const
    {
        return status == o.status && out == o.out && err == o.err && file == o.file && written == o.written;
    }
};

void PrintTo(const Result& r, std::ostream* os)
{
    *os << "status " << r.status << ", " << (r.written ? r.file.size() : 0) << " bytes written, err: " << r.err;
}

Result convert(std::vector<std::string> args, const std::string& output, bool whole)
{
    args.push_back(output);
    cli::Options options = cli::ParseOptions(args);
    options.wholeTable = whole;
    std::ostringstream out, err;
    Result r;
    r.status = cli::ConvertFile(options, out, err);
    r.out = out.str();
    r.err = err.str();
    r.written = QFile::exists(QString::fromStdString(output));
    if (r.written) r.file = ReadFile(output);
    return r;
}

// Both ways, each into its own file (removed first).
void expectSame(const std::vector<std::string>& args, const TempDir& dir, const std::string& extension)
{
    const std::string flowing = dir.path("flowing." + extension), whole = dir.path("whole." + extension);
    QFile::remove(QString::fromStdString(flowing));
    QFile::remove(QString::fromStdString(whole));
    Result a = convert(args, flowing, false), b = convert(args, whole, true);
    // The messages name the output nowhere; the files differ only by name.
    EXPECT_EQ(a, b) << "tessel-convert " << args.back() << " (" << args[args.size() - 2] << ")";
}

// A film's subtitles: growing times, one to three lines, markup, accented
// letters that every format's code pages hold.
std::string subripText(int cues, unsigned seed)
{
    static const char* const Words[] = { "the", "of", "café", "niño", "you", "garçon", "said", "über", "à", "long",
        "word", "time", "people", "water", "year", "little" };
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::string text;
    int64_t ms = 1000;
    const auto clock = [](int64_t t) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d,%03d", static_cast<int>(t / 3600000),
            static_cast<int>(t / 60000 % 60), static_cast<int>(t / 1000 % 60), static_cast<int>(t % 1000));
        return std::string(buffer);
    };
    for (int cue = 1; cue <= cues; ++cue) {
        const int64_t start = ms, end = ms + 800 + pick(4000);
        ms = end + 40 + pick(1500);
        text += std::to_string(cue) + "\r\n" + clock(start) + " --> " + clock(end) + "\r\n";
        const int lines = 1 + pick(3);
        for (int l = 0; l < lines; ++l) {
            std::string line = pick(5) == 0 ? "- " : "";
            for (int w = 3 + pick(5); w > 0; --w)
                line += std::string(Words[pick(16)]) + (w > 1 ? " " : ".");
            if (pick(12) == 0) line = "<i>" + line + "</i>";
            text += line + "\r\n";
        }
        text += "\r\n";
    }
    return text;
}

class Flowing : public ::testing::Test {
protected:
    // Small windows: these files are read in hundreds of pieces, cut
    // anywhere between their lines.
    void SetUp() override { SetFileTextWindow(700); }
    void TearDown() override { SetFileTextWindow(0); }
    TempDir dir;
};

TEST_F(Flowing, EveryPairOfFormatsGivesWhatTheWholeTableGives)
{
    const std::string subrip = dir.path("film.srt");
    WriteFile(subrip, subripText(400, 7));
    for (const FormatInfo& from : Formats()) {
        if (!from.read || !from.write) continue;
        // The source as this format's writer makes it.
        const std::string source = dir.path(std::string("source.") + from.extension);
        ASSERT_EQ(convert({ "--fps", "25", "--to", from.id, subrip }, source, true).status, 0) << from.id;
        for (const FormatInfo& to : Formats()) {
            if (!to.read || !to.write) continue;
            expectSame({ "--fps", "25", "--to", to.id, source }, dir, to.extension);
        }
    }
}

// A TTML document saved as TTML again flows with its text: every byte of
// it as the whole table writes it, whatever its line ends, marks, blank
// lines and markup around the paragraphs, and an error still writes nothing.
TEST_F(Flowing, TtmlSavedAsTtmlAgainIsTheDocumentTheWholeTableWrites)
{
    std::string body;
    for (int i = 0; i < 300; ++i)
        body += "    <p begin=\"" + std::to_string(i) + "s\" end=\"" + std::to_string(i) + ".5s\">line "
            + std::to_string(i) + (i % 7 ? "" : "<br/>and <span tts:fontStyle=\"italic\">more</span>") + "</p><!-- "
            + std::to_string(i) + " -->\n";
    const std::string document
        = "\n\n<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tt xmlns=\"http://www.w3.org/ns/ttml\" "
          "xmlns:tts=\"http://www.w3.org/ns/ttml#styling\">\n  <head><styling><style "
          "xml:id=\"s\"/></styling></head>\n  <body><div>\n"
        + body + "  </div></body>\n</tt>\n<!-- end -->\n\n";
    const auto crlf = [](std::string text) {
        std::string out;
        for (const char c : text)
            out += c == '\n' ? std::string("\r\n") : std::string(1, c);
        return out;
    };
    const std::string cases[] = {
        document, crlf(document), "\xEF\xBB\xBF" + crlf(document),
        crlf(document.substr(0, document.size() / 2)) + document.substr(document.size() / 2), // line ends mixed
        "<!DOCTYPE tt>" + document.substr(2), // read whole
        document.substr(0, document.size() - 40), // an error at the end
    };
    for (const std::string& text : cases) {
        const std::string source = dir.path("source.ttml");
        WriteFile(source, text);
        expectSame({ "--fps", "25", "--to", "ttml", source }, dir, "ttml");
        expectSame({ "--fps", "25", "--out-fps", "30", "--line-ends", "lf", "--to", "ttml", source }, dir, "ttml");
    }
}

// Rows that cannot be read far into the file: nothing is written, not even
// over an earlier file, and the message is the one the whole table gives.
TEST_F(Flowing, AnErrorLateInTheFileWritesNothing)
{
    struct Case {
        const char* name;
        std::string text;
    };
    std::string subrip = subripText(3000, 11);
    subrip.replace(subrip.rfind("\r\n2990\r\n") + 8, 2, "99999999999999999999");
    std::string subviewer = "[INFORMATION]\r\n[SUBTITLE]\r\n";
    for (int i = 0; i < 3000; ++i)
        subviewer += "00:00:01.00,00:00:02.00\r\nline " + std::to_string(i) + "\r\n\r\n";
    subviewer.replace(subviewer.rfind("00:00:01.00"), 2, "123456789012");
    const auto files = [&] { return QDir(QString::fromStdString(dir.path(""))).entryList(QDir::Files); };
    for (const Case& c : { Case { "late.srt", subrip }, Case { "late.sub", subviewer } }) {
        const std::string input = dir.path(c.name);
        WriteFile(input, c.text);
        const std::string output = dir.path("kept.vtt");
        WriteFile(output, "an earlier file");
        const QStringList before = files();
        const Result flowing = convert({ "--fps", "25", "--to", "webvtt", input }, output, false);
        EXPECT_EQ(flowing.status, 1) << c.name;
        EXPECT_EQ(flowing.file, "an earlier file") << c.name;
        // No half-written file is left beside it either.
        EXPECT_EQ(files(), before) << c.name;
        expectSame({ "--fps", "25", "--to", "webvtt", input }, dir, "vtt");
    }
}

// A script's comments are left out of closed captions: the captions made
// ahead of the writing, on the reading thread, are numbered as the copy
// without them is (a row too long for the screen is told by that number).
TEST_F(Flowing, AScriptWithCommentsGivesTheCaptionsOfTheWholeTable)
{
    std::string script = "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\nFormat: Name, Fontname\n"
                         "Style: Default,Arial\n\n[Events]\n"
                         "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
    for (int i = 0; i < 300; ++i) {
        const auto clock = [](int cs) {
            char text[16];
            std::snprintf(text, sizeof text, "%d:%02d:%02d.%02d", cs / 360000, cs / 6000 % 60, cs / 100 % 60, cs % 100);
            return std::string(text);
        };
        const std::string times = clock(100 + i * 300) + "," + clock(100 + i * 300 + 250);
        if (i % 3 == 0) script += "Comment: 0," + times + ",Default,,0,0,0,,a note " + std::to_string(i) + "\n";
        const std::string text = i % 7 == 0 ? std::string(150, 'w') : "line " + std::to_string(i);
        script += "Dialogue: 0," + times + ",Default,,0,0,0,," + text + "\n";
    }
    WriteFile(dir.path("notes.ass"), script);
    expectSame({ "--fps", "25", "--to", "scc", dir.path("notes.ass") }, dir, "scc");
}

// A full device refuses the written blocks while later windows are still
// read (and written on the second thread): the failure is said once, as the
// whole table says it, and the conversion neither hangs nor crashes.
TEST_F(Flowing, AFullDeviceMidwayFailsAsTheWholeTableFails)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full"))) GTEST_SKIP() << "no /dev/full";
    const std::string input = dir.path("long.srt");
    WriteFile(input, subripText(15000, 17));
    // Not read back: the device gives zeros without end.
    const auto err = [&](const char* target, bool whole) {
        cli::Options options = cli::ParseOptions({ "--fps", "25", "--to", target, input, "/dev/full" });
        options.wholeTable = whole;
        std::ostringstream out, said;
        EXPECT_EQ(cli::ConvertFile(options, out, said), 1) << target;
        return said.str();
    };
    for (const char* target : { "subrip", "ssa" }) {
        EXPECT_EQ(err(target, false), "Subtiles file can't be saved!\n") << target;
        EXPECT_EQ(err(target, true), "Subtiles file can't be saved!\n") << target;
    }
}

// Files that show late what they are, past the first 64 KiB that tell the
// encoding: bytes that are not UTF-8 (a few in UTF-8 text, or a code page
// after text that looked like UTF-8), a byte-order mark before such bytes, a
// UTF-16 file, comment lines of a script, a script whose line ends change.
TEST_F(Flowing, FilesThatShowLateWhatTheyAreGiveWhatTheWholeTableGives)
{
    const std::string plain = subripText(3000, 3);
    ASSERT_GT(plain.size(), 200000u);
    std::string strays = plain;
    strays.insert(strays.rfind("caf"), "\xE9t\xE9 ");
    // Far more than 64 KiB of UTF-8 with one word beyond ASCII, then Latin-1.
    std::string codePage = "1\r\n00:00:01,000 --> 00:00:02,000\r\nd\xC3\xA9j\xC3\xA0 vu\r\n\r\n";
    const size_t cut = plain.find("\r\n\r\n2000\r\n") + 4;
    for (const char c : plain.substr(0, cut))
        if ((c & 0xC0) != 0x80) codePage += c & 0x80 ? 'e' : c;
    codePage += QString::fromStdString(plain.substr(cut)).toLatin1().toStdString();
    std::string bom = "\xEF\xBB\xBF" + plain;
    bom.insert(bom.rfind("ni"), "\xFF\xFE");
    const QString wide = QString::fromStdString(plain);
    const std::string utf16 = std::string("\xFF\xFE")
        + std::string(reinterpret_cast<const char*>(wide.utf16()), static_cast<size_t>(wide.size()) * 2);
    std::string ass = "[Script Info]\nScriptType: v4.00+\n\n[V4+ Styles]\nFormat: Name, Fontname\n"
                      "Style: Default,Arial\n\n[Events]\n"
                      "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
    for (int i = 0; i < 3000; ++i)
        ass += std::string(i % 97 == 5 ? "Comment" : "Dialogue") + ": " + (i % 31 == 2 ? "1" : "0") + ",0:00:0"
            + std::to_string(i % 10) + ".00,0:00:09.00," + (i % 23 == 4 ? "Sign" : "Default") + ",,0,0,0,,line "
            + std::to_string(i) + "\n";
    // Fields in an order of its own: what SubRip cannot hold is counted by the script's names.
    std::string ownOrder = "[Script Info]\nScriptType: v4.00+\n\n[Events]\nFormat: Start, End, Style, Effect, Text\n";
    for (int i = 0; i < 3000; ++i)
        ownOrder
            += "Dialogue: 0:00:0" + std::to_string(i % 10) + ".00,0:00:09.00,Default,,line " + std::to_string(i) + "\n";
    // Cues with and without what another format leaves out: identifiers, settings, a fourth line, notes.
    std::string vtt = "WEBVTT\n\n";
    for (int i = 0; i < 3000; ++i)
        vtt += (i % 7 == 3 ? "id" + std::to_string(i) + "\n" : std::string()) + "00:00:0" + std::to_string(i % 10)
            + ".000 --> 00:00:09.000" + (i % 11 == 4 ? " align:start" : "") + "\nline " + std::to_string(i)
            + (i % 13 == 6 ? "\ntwo\nthree\nfour" : "") + "\n\n" + (i % 500 == 9 ? "NOTE a note\n\n" : "");
    std::string lateEnds = ass;
    lateEnds.insert(lateEnds.size() - 200, "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,crlf\r\n");
    // Closed captions saved as such carry their lines with the rows: line
    // ends that change on the way, and lines after the last caption.
    WriteFile(dir.path("plain.srt"), plain);
    ASSERT_EQ(convert({ "--fps", "25", "--to", "scc", dir.path("plain.srt") }, dir.path("plain.scc"), true).status, 0);
    const std::string scc = ReadFile(dir.path("plain.scc"));
    std::string lfScc = scc;
    lfScc.erase(std::remove(lfScc.begin(), lfScc.end(), '\r'), lfScc.end());
    const size_t half = scc.find("\r\n\r\n", scc.size() / 2) + 4;
    std::string mixedScc = scc.substr(half);
    mixedScc.erase(std::remove(mixedScc.begin(), mixedScc.end(), '\r'), mixedScc.end());
    mixedScc.insert(0, scc.substr(0, half));
    const struct {
        const char* name;
        std::string bytes;
        std::vector<const char*> targets;
    } cases[] = {
        { "lf.scc", lfScc, { "scc", "subrip" } },
        { "mixed.scc", mixedScc, { "scc" } },
        { "tail.scc", scc + "99:00:00:00\t8080 8080\r\n\r\n", { "scc" } },
        { "strays.srt", strays, { "subrip", "microdvd" } },
        { "codepage.srt", codePage, { "subrip", "sami" } },
        { "bom.srt", bom, { "subrip" } },
        { "utf16.srt", utf16, { "webvtt" } },
        { "comments.ass", ass, { "subrip", "webvtt", "ass", "ssa" } },
        { "ends.ass", lateEnds, { "ass", "subrip" } },
        { "order.ass", ownOrder, { "subrip" } },
        { "kept.vtt", vtt, { "subrip", "webvtt" } },
    };
    for (const auto& c : cases) {
        const std::string input = dir.path(c.name);
        WriteFile(input, c.bytes);
        for (const char* target : c.targets) {
            const std::string extension = FormatById(target)->extension;
            expectSame({ "--fps", "25", "--to", target, input }, dir, extension);
            expectSame({ "--fps", "25", "--out-encoding", "windows-1252", "--to", target, input }, dir, extension);
        }
    }
}

// The table a file gives read in windows of 700 bytes, cut anywhere between
// its lines (or inside a line longer than a window), is the table of the
// file read in one window: every format, the files that show late what they
// are, and rows longer than a window.
TEST_F(Flowing, ATableReadInWindowsIsTheTableOfOneWindow)
{
    std::vector<std::string> inputs;
    const std::string subrip = dir.path("film.srt");
    WriteFile(subrip, subripText(300, 5));
    for (const FormatInfo& from : Formats()) {
        if (!from.read || !from.write) continue;
        inputs.push_back(dir.path(std::string("window-source.") + from.extension));
        ASSERT_EQ(convert({ "--fps", "25", "--to", from.id, subrip }, inputs.back(), true).status, 0) << from.id;
    }
    // One line of 5,000 bytes, then three lines each longer than a window,
    // with bytes that are not UTF-8 in the middle of the long one.
    std::string longRows = subripText(40, 9);
    longRows.insert(
        longRows.find("\r\n\r\n11\r\n"), "\r\n" + std::string(5000, 'a') + " caf\xE9 " + std::string(900, 'b'));
    longRows.insert(longRows.find("\r\n\r\n30\r\n"),
        "\r\n" + std::string(800, 'x') + "\r\n" + std::string(1400, 'y') + "\r\n" + std::string(701, 'z'));
    inputs.push_back(dir.path("long.srt"));
    WriteFile(inputs.back(), longRows);
    std::string lateCodePage = subripText(200, 13);
    lateCodePage += "201\r\n01:00:00,000 --> 01:00:01,000\r\nd\xE9j\xE0 vu\r\n";
    inputs.push_back(dir.path("late-codepage.srt"));
    WriteFile(inputs.back(), lateCodePage);
    for (const std::string& input : inputs) {
        SetFileTextWindow(700);
        const Result windows = convert({ "--fps", "25", "--to", "table", input }, "-", true);
        SetFileTextWindow(0);
        const Result one = convert({ "--fps", "25", "--to", "table", input }, "-", true);
        EXPECT_EQ(windows.status, 0) << input << windows.err;
        EXPECT_GT(windows.out.size(), 10000u) << input;
        EXPECT_EQ(windows.out, one.out) << input;
        EXPECT_EQ(windows.err, one.err) << input;
    }
}

} // namespace
} // namespace tessel::test
