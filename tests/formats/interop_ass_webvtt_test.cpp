// Advanced SubStation Alpha and WebVTT between us and two independent
// programs, ffmpeg and Gaupol's aeidon: what we write they read with the
// same cues, and what they write we read with the same rows.
#include "formats/aeidon_peer.h"
#include "formats/ass.h"
#include "formats/ffmpeg_peer.h"
#include "formats/file_commands.h"
#include "formats/registry.h"
#include "formats/webvtt.h"
#include "test_support.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <tuple>

using namespace tessel;
using test::PeerCue;
using test::Row;

namespace {

// Times on whole frames at 25 fps (multiples of 40 ms), so that the times
// kept as read and the times of edited frames are both exact.
const std::string Script = R"([Script Info]
ScriptType: v4.00+
PlayResX: 1280
PlayResY: 720

[V4+ Styles]
Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding
Style: Default,Arial,40,&H00FFFFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,2,1,2,20,20,20,1
Style: Top,Arial,32,&H0000FFFF,&H000000FF,&H00000000,&H00000000,0,0,0,0,100,100,0,0,1,2,1,8,20,20,20,1

[Events]
Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text
Comment: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,timed by hand
Dialogue: 0,0:00:01.48,0:00:04.00,Default,Anna,0,0,0,,Hello, {\i1}world{\i0}\NSecond line
Dialogue: 1,0:00:06.20,0:00:09.96,Top,,0,0,0,,{\pos(640,40)}Ünïcödé — 日本語
Dialogue: 0,1:00:00.00,1:00:01.20,Default,,0,0,0,,One\NTwo\NThree\NFour
)";

// ffmpeg 5.1 reads no cue at all of a file with a STYLE or REGION block,
// header lines after WEBVTT or a NOTE of two lines: this file has none.
const std::string Captions = R"(WEBVTT

NOTE made by hand

intro
00:01.480 --> 00:04.000 align:start
Hello, <i>world</i>
Second line

00:06.200 --> 00:09.960 line:0
Tom &amp; Jerry

NOTE the last one

last
59:59.960 --> 01:00:01.200
One
Two
Three
Four
)";

// What the peers write, from this file of theirs.
const std::string SubRip = "1\r\n00:00:01,000 --> 00:00:04,000\r\nHello, world\r\nSecond line\r\n\r\n"
                           "2\r\n00:01:00,040 --> 00:01:02,480\r\nÜnïcödé — 日本語\r\n\r\n"
                           "3\r\n01:00:00,000 --> 01:00:01,200\r\nOne\r\nTwo\r\nThree\r\n\r\n";
const std::vector<Row> SubRipRows = { { "25", "100", "Hello, world", "Second line", "" },
    { "1501", "1562", "Ünïcödé — 日本語", "", "" }, { "90000", "90030", "One", "Two", "Three" } };

class Silent : public MessageSink {
public:
    void showMessage(const QString&, const QString& text, MessageIcon) override { ADD_FAILURE() << text.toStdString(); }
};

// Without markup: what a player shows. ffmpeg turns override blocks into
// tags of its own, and entities into characters.
std::string shown(std::string text)
{
    std::string out;
    char closing = 0;
    for (char c : text) {
        if (closing) {
            if (c == closing) closing = 0;
        } else if (c == '<' || c == '{') {
            closing = c == '<' ? '>' : '}';
        } else {
            out += c;
        }
    }
    for (const auto& [entity, character] : { std::pair { "&amp;", "&" }, { "&lt;", "<" }, { "&gt;", ">" } })
        for (size_t at; (at = out.find(entity)) != std::string::npos;)
            out.replace(at, std::string(entity).size(), character);
    return out;
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The cues a peer should read from a table written at 25 fps: one per row
// that is not a comment, its lines joined, "\N" in a cell a break too.
std::vector<PeerCue> cuesOf(const SubtitleTable& table, std::string_view format)
{
    std::vector<PeerCue> cues;
    for (int row = 1; row < table.rowCount(); ++row) {
        if (IsAssComment(table.cell(SubtitleTable::Extra, row))) continue;
        std::string text;
        for (int column : { SubtitleTable::Line1, SubtitleTable::Line2, SubtitleTable::Line3 }) {
            if (table.cell(column, row).empty()) continue;
            (text += text.empty() ? "" : "\n") += table.cell(column, row);
        }
        if (format == "ass") text = replaced(text, "\\N", "\n");
        cues.push_back({ std::stoi(std::string(table.cell(SubtitleTable::From, row))) * 40,
            std::stoi(std::string(table.cell(SubtitleTable::To, row))) * 40, text });
    }
    return cues;
}

void expectCues(const std::vector<PeerCue>& read, const std::vector<PeerCue>& expected, bool markup, const char* label)
{
    ASSERT_EQ(read.size(), expected.size()) << label;
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].startMs, expected[i].startMs) << label << " " << i;
        EXPECT_EQ(read[i].endMs, expected[i].endMs) << label << " " << i;
        EXPECT_EQ(markup ? read[i].text : shown(read[i].text), markup ? expected[i].text : shown(expected[i].text))
            << label << " " << i;
    }
}

struct OurFile {
    const char* label;
    std::string path;
    std::vector<PeerCue> cues;
    std::string format;
};

// Each format twice: a file of its own read, edited and saved, and a table of
// another format saved in it.
std::vector<OurFile> writeOurFiles(const test::TempDir& dir)
{
    std::vector<OurFile> files;
    for (const auto& [format, source] : { std::pair { "ass", &Script }, { "webvtt", &Captions } }) {
        const FormatInfo& info = *FormatById(format);
        for (const bool kept : { true, false }) {
            SubtitleTable table;
            if (kept) {
                LineReader lines(*source);
                info.read(lines, table, 1, 25);
                table.setCell(SubtitleTable::To, 2, "250"); // an edited time is written from its frame
                table.setCell(SubtitleTable::Line2, 2, "Edited");
            } else {
                test::Fill(table, SubRipRows);
            }
            WriteContext context;
            context.framerate = 25;
            StringSink sink;
            WriteSubtitles(table, info, context, {}, sink);
            OurFile file { kept ? "kept" : "from another format",
                dir.path(std::string(kept ? "kept." : "plain.") + info.extension), cuesOf(table, format), format };
            // The fourth line of the last cue, which WebVTT keeps outside the cells.
            if (kept && file.format == "webvtt") file.cues.back().text += "\nFour";
            test::WriteFile(file.path, sink.text());
            files.push_back(file);
        }
    }
    return files;
}

bool ffmpegConvert(const std::string& from, const std::string& to)
{
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg",
        { "-loglevel", "error", "-nostdin", "-y", "-i", QString::fromStdString(from), QString::fromStdString(to) });
    return ffmpeg.waitForFinished(30000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

std::vector<Row> ourRows(const std::string& path, FormatCode expectedFormat)
{
    SubtitleTable table;
    FixedFramerate fps(25);
    Silent messages;
    EXPECT_EQ(LoadSubtitles(table, path, false, fps, messages).format, expectedFormat) << path;
    return test::Rows(table);
}

} // namespace

TEST(InteropAssWebVtt, FfmpegReadsOurFiles)
{
    if (!test::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed: not checked";
    const test::TempDir dir;
    for (const OurFile& file : writeOurFiles(dir)) {
        const auto cues = test::FfmpegReadCues(file.path);
        ASSERT_TRUE(cues.has_value()) << file.path;
        expectCues(*cues, file.cues, false, (file.format + " " + file.label).c_str());
    }
}

TEST(InteropAssWebVtt, AeidonReadsOurFiles)
{
    if (!test::AeidonAvailable()) GTEST_SKIP() << "python3-aeidon is not installed: not checked";
    const test::TempDir dir;
    for (const OurFile& file : writeOurFiles(dir)) {
        const auto cues = test::AeidonReadCues(file.path);
        ASSERT_TRUE(cues.has_value()) << file.path;
        // aeidon keeps the markup as written, as we do.
        expectCues(*cues, file.cues, true, (file.format + " " + file.label).c_str());
    }
}

TEST(InteropAssWebVtt, WeReadWhatFfmpegWrites)
{
    if (!test::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed: not checked";
    const test::TempDir dir;
    test::WriteFile(dir.path("in.srt"), SubRip);
    for (const auto& [name, format] :
        { std::pair { "theirs.ass", FormatCode::ASS }, { "theirs.vtt", FormatCode::WebVTT } }) {
        ASSERT_TRUE(ffmpegConvert(dir.path("in.srt"), dir.path(name))) << name;
        EXPECT_EQ(ourRows(dir.path(name), format), SubRipRows) << name;
    }
}

TEST(InteropAssWebVtt, WeReadWhatAeidonWrites)
{
    if (!test::AeidonAvailable()) GTEST_SKIP() << "python3-aeidon is not installed: not checked";
    const test::TempDir dir;
    test::WriteFile(dir.path("in.srt"), SubRip);
    for (const auto& [name, format, code] : { std::tuple { "theirs.ass", "ASS", FormatCode::ASS },
             std::tuple { "theirs.vtt", "WEBVTT", FormatCode::WebVTT } }) {
        ASSERT_TRUE(test::AeidonConvert(dir.path("in.srt"), dir.path(name), format)) << name;
        EXPECT_EQ(ourRows(dir.path(name), code), SubRipRows) << name;
    }
}
