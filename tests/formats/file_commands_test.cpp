#include "core/errors.h"
#include "fakes.h"
#include "formats/file_commands.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace tessel;
using test::Row;

namespace {

std::string microDvd(int count, int firstFrame = 1)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += "{" + std::to_string(firstFrame + i * 10) + "}{" + std::to_string(firstFrame + i * 10 + 5) + "}t"
            + std::to_string(i) + "\r\n";
    return s;
}

class FileCommands : public ::testing::Test {
protected:
    LoadResult load(const std::string& name, const std::string& bytes, bool append)
    {
        test::WriteFile(dir.path(name), bytes);
        return LoadSubtitles(table, dir.path(name), append, fps, messages);
    }
    test::TempDir dir;
    SubtitleTable table;
    FixedFramerate fps { 25 };
    test::RecordingMessages messages;
};

} // namespace

TEST_F(FileCommands, OpenReplacesTheWholeTable)
{
    test::Fill(table, std::vector<Row>(500, Row { "1", "2", "old" }));
    load("a.sub", microDvd(3), false);
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.cell(2, 3), "t2");
}

TEST_F(FileCommands, NothingReadLeavesTheTable)
{
    test::Fill(table, { { "1", "2", "keep" }, { "3", "4", "me" } });
    const LoadResult r = load("empty.sub", "", false);
    EXPECT_EQ(r.format, FormatCode::Unknown);
    EXPECT_EQ(messages.texts(), QStringList { "Unknow subtitles format." });
    EXPECT_EQ(messages.messages[0].title, "Error");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(test::Rows(table).size(), 2u);
    EXPECT_EQ(fps.timesAsked(), 0);
}

TEST_F(FileCommands, AppendSelectsTheFirstNewRowAsThirdVisible)
{
    test::Fill(table, std::vector<Row>(20, Row { "1", "2", "old" }));
    const LoadResult r = load("ten.sub", microDvd(10), true);
    EXPECT_EQ(table.rowCount(), 31);
    EXPECT_EQ(table.cell(2, 20), "old");
    EXPECT_EQ(table.cell(2, 21), "t0");
    EXPECT_TRUE(r.select);
    EXPECT_EQ(r.row, 21);
    EXPECT_EQ(r.topRow, 19);
}

// Appended rows take the lines skipped between them, not those around them,
// so the note promises no save that writes them back.
TEST_F(FileCommands, SkippedLinesOfAnAppendedFileAreNamedWithoutAPromise)
{
    const std::string vtt = "WEBVTT\n\nbad --> cue\n\n00:01.000 --> 00:02.000\nHello\n";
    EXPECT_EQ(load("a.vtt", vtt, false).notes,
        std::vector<std::string> { "Line 3 could not be read as a subtitle and was skipped; a save as WebVTT writes "
                                   "it back." });
    test::Fill(table, std::vector<Row>(3, Row { "1", "2", "old" }));
    EXPECT_EQ(load("a.vtt", vtt, true).notes,
        std::vector<std::string> { "Line 3 could not be read as a subtitle and was skipped." });
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 4), "Hello");
}

TEST_F(FileCommands, AppendToOneRowReplacesItWithoutSelecting)
{
    test::Fill(table, { { "9", "9", "single" } });
    const LoadResult r = load("two.sub", microDvd(2), true);
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.cell(2, 1), "t0");
    EXPECT_FALSE(r.select);
    test::Fill(table, { { "1" }, { "2" } });
    EXPECT_EQ(load("one.sub", microDvd(1), true).topRow, 1); // first row 3 -> top row 1
}

TEST_F(FileCommands, FramerateIsAskedOnceOnlyForClockFormats)
{
    load("a.sub", microDvd(2), false);
    EXPECT_EQ(fps.timesAsked(), 0);
    load("a.srt", "1\n00:00:01,000 --> 00:00:02,000\nx\n\n2\n00:00:03,000 --> 00:00:04,000\ny\n", false);
    EXPECT_EQ(fps.timesAsked(), 1);
    EXPECT_EQ(table.cell(0, 2), "75");
}

TEST_F(FileCommands, ReadErrorKeepsTheRowsStoredBefore)
{
    const std::string file = "1\n00:00:01,000 --> 00:00:02,000\na\n\n2\n00:00:0123456789012 --> x\nb\n\n3\n";
    EXPECT_THROW(load("bad.srt", file, false), ConversionError);
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.cell(2, 1), "a");
}

TEST_F(FileCommands, MissingFileOrFolderIsAnErrorNamingIt)
{
    try {
        LoadSubtitles(table, dir.path("nope.srt"), false, fps, messages);
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("nope.srt"), std::string::npos);
    }
    EXPECT_THROW(LoadSubtitles(table, dir.path(""), false, fps, messages), Error);
}

TEST_F(FileCommands, EncodingsAreDecoded)
{
    struct Case {
        const char* name;
        std::string bytes;
        const char* text;
    };
    const std::string srt = "1\r\n00:00:01,000 --> 00:00:02,000\r\n";
    std::string utf16 = "\xFF\xFE";
    // UTF-16LE with a byte-order mark: "1\n00:00:01,000 --> 00:00:02,000\nxé\n"
    const std::u16string u = u"1\n00:00:01,000 --> 00:00:02,000\nx\u00e9\n";
    for (char16_t ch : u) {
        utf16 += static_cast<char>(ch & 0xFF);
        utf16 += static_cast<char>(ch >> 8);
    }
    const Case cases[] = {
        { "bom.srt", "\xEF\xBB\xBF" + srt + "caf\xC3\xA9\r\n", "caf\xC3\xA9" },
        { "utf8.srt", srt + "caf\xC3\xA9\r\n", "caf\xC3\xA9" },
        { "cp1252.srt", srt + "caf\xE9 \x93quoted\x94\r\n", "caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D" },
        { "utf16.srt", utf16, "x\xC3\xA9" },
    };
    for (const Case& c : cases) {
        const LoadResult r = load(c.name, c.bytes, false);
        EXPECT_EQ(r.format, FormatCode::SubRip) << c.name;
        EXPECT_EQ(table.cell(2, 1), c.text) << c.name;
    }
}

TEST_F(FileCommands, SaveWritesAllRowsAndReplacesOnlyWhenComplete)
{
    FixedExportSettings exportSettings({});
    SaveServices services { fps, exportSettings, messages, '.' };
    test::Fill(table, { { "1", "2", "a" }, { "3", "4", "b" } });
    const std::string target = dir.path("out.sub");
    ASSERT_TRUE(SaveSubtitles(table, target, 1, services));
    EXPECT_EQ(test::ReadFile(target), "{1}{2}a\r\n{3}{4}b\r\n");

    // A cell the SubRip writer cannot convert: the earlier file stays as it was.
    test::WriteFile(target, "previous");
    test::Fill(table, { { "1", "2", "a" }, { "x", "4", "b" } });
    EXPECT_FALSE(SaveSubtitles(table, target, 2, services));
    EXPECT_EQ(test::ReadFile(target), "previous");
    EXPECT_EQ(messages.messages.back().title, "Error");
    EXPECT_EQ(messages.messages.back().text, "Subtiles file can't be saved!");
    EXPECT_EQ(QDir(QString::fromStdString(dir.path(""))).entryList(QDir::Files).size(), 1);

    EXPECT_FALSE(SaveSubtitles(table, target, 12, services)); // no such file type: nothing written
    EXPECT_FALSE(SaveSubtitles(table, dir.path(""), 1, services)); // a folder
    EXPECT_FALSE(SaveSubtitles(table, dir.path("no/such/folder.sub"), 1, services));
}

TEST_F(FileCommands, ZeroFramerateFailsTheSave)
{
    FixedFramerate zero(0);
    FixedExportSettings exportSettings({});
    SaveServices services { zero, exportSettings, messages, '.' };
    test::Fill(table, { { "1", "2", "a" } });
    EXPECT_FALSE(SaveSubtitles(table, dir.path("z.srt"), 2, services));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.path("z.srt"))));
}

namespace {

bool runAsRoot(const QString& command)
{
    return ::getuid() == 0 && std::system(command.toLocal8Bit().constData()) == 0;
}

} // namespace

TEST_F(FileCommands, FullDeviceFailsWithoutReplacingTheNode)
{
    const QString node = QString::fromStdString(dir.path("full"));
    if (!runAsRoot("mknod '" + node + "' c 1 7 2>/dev/null")) GTEST_SKIP() << "needs root to make a device node";
    FixedExportSettings exportSettings({});
    SaveServices services { fps, exportSettings, messages, '.' };
    test::Fill(table, std::vector<Row>(1000, Row { "1", "2", "some text" }));
    EXPECT_FALSE(SaveSubtitles(table, node.toStdString(), 1, services));
    EXPECT_EQ(messages.messages.back().title, "Error");
    EXPECT_EQ(messages.messages.back().text, "Subtiles file can't be saved!");
    EXPECT_FALSE(QFileInfo(node).isFile()); // still the device, not a regular file
}

TEST_F(FileCommands, FullDiskKeepsThePreviousFile)
{
    const QString mount = QString::fromStdString(dir.path("small"));
    QDir().mkpath(mount);
    if (!runAsRoot("mount -t tmpfs -o size=16k tmpfs '" + mount + "' 2>/dev/null"))
        GTEST_SKIP() << "needs root to mount a small file system";
    const std::string target = mount.toStdString() + "/out.sub";
    test::WriteFile(target, "previous");
    FixedExportSettings exportSettings({});
    SaveServices services { fps, exportSettings, messages, '.' };
    test::Fill(table, std::vector<Row>(5000, Row { "1", "2", "a line of subtitle text" }));
    const bool saved = SaveSubtitles(table, target, 1, services);
    const std::string after = test::ReadFile(target);
    const auto files = QDir(mount).entryList(QDir::Files | QDir::Hidden);
    runAsRoot("umount '" + mount + "'");
    EXPECT_FALSE(saved);
    EXPECT_EQ(after, "previous");
    EXPECT_EQ(files, QStringList { "out.sub" });
}

// Opened and saved unedited in the same format: ASS and WebVTT come back with
// their UTF-8 byte-order mark and their line ends as read; the nine formats
// write CR LF as they always have.
TEST_F(FileCommands, TextFormatsKeptWholeKeepTheirMarkAndLineEnds)
{
    const std::string ass
        = "[Script Info]\nScriptType: v4.00+\n\n[Events]\nFormat: Layer, Start, End, Style, Name, "
          "MarginL, MarginR, MarginV, Effect, Text\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,"
          "caf\xC3\xA9\n";
    const std::string vtt = "WEBVTT\n\n00:01.000 --> 00:02.000\ncaf\xC3\xA9\n";
    const std::string srt = "1\n00:00:01,000 --> 00:00:02,000\ncaf\xC3\xA9\n\n";
    const std::string srtCrLf = "1\r\n00:00:01,000 --> 00:00:02,000\r\ncaf\xC3\xA9\r\n\r\n";
    const std::string ttml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tt xmlns=\"http://www.w3.org/ns/ttml\">\n"
                             "<body><div><p begin=\"1s\" end=\"2s\">caf\xC3\xA9</p></div></body>\n</tt>\n";
    // "Hi" loaded, shown at 00:00:00;04 and erased at 00:00:02;00.
    const std::string scc = "Scenarist_SCC V1.0\n\n00:00:00;00\t9420 9420 c8e9 942f 942f\n\n00:00:02;00\t942c 942c\n";
    const std::string mark = "\xEF\xBB\xBF";
    struct Case {
        const char* name;
        std::string bytes, saved;
        int saveType;
    };
    const Case cases[] = {
        { "lf.ass", ass, ass, 10 },
        { "bom-lf.vtt", mark + vtt, mark + vtt, 11 },
        { "bom-crlf.srt", mark + srtCrLf, srtCrLf, 2 },
        { "lf.srt", srt, srtCrLf, 2 },
        { "lf.ttml", ttml, ttml, 12 },
        { "bom-lf.scc", mark + scc, mark + scc, 14 },
    };
    FixedExportSettings exportSettings(SsaExportAnswer { {}, QStringLiteral("25") });
    SaveServices services { fps, exportSettings, messages, '.' };
    for (const Case& c : cases) {
        load(c.name, c.bytes, false);
        ASSERT_TRUE(SaveSubtitles(table, dir.path("saved"), c.saveType, services)) << c.name;
        EXPECT_EQ(test::ReadFile(dir.path("saved")), c.saved) << c.name;
    }
    EXPECT_TRUE(messages.messages.empty());
}
