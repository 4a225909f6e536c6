// Saves that cannot succeed: each one says so, and leaves the folder as it
// was — an earlier file byte for byte, no half-written or temporary file.
#include "cli/convert.h"
#include "convert_runner.h"
#include "core/errors.h"
#include "fakes.h"
#include "formats/file_commands.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <unistd.h>

using namespace tessel;
using test::Row;

namespace {

const QString CannotSave = QStringLiteral("Subtiles file can't be saved!");

// Everything in a folder, hidden files included.
QStringList entries(const std::string& folder)
{
    return QDir(QString::fromStdString(folder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

const std::vector<Row> Subtitles = { { "25", "50", "One" }, { "75", "100", "Two", "lines" } };
const std::string Previous = "previous file\r\n";

class SaveFailures : public ::testing::Test {
protected:
    SaveFailures()
    {
        test::Fill(table, Subtitles);
        before = test::Rows(table);
    }

    // Saves with the given answers; the table must come out as it went in.
    bool save(const std::string& target, int fileType, double framerate, const QString& fpsText = "25",
        char decimalSeparator = '.')
    {
        FixedFramerate fps(framerate);
        SsaExportAnswer answer;
        answer.fpsText = fpsText;
        FixedExportSettings exportSettings(answer);
        SaveServices services { fps, exportSettings, messages, decimalSeparator };
        const bool saved = SaveSubtitles(table, target, fileType, services);
        EXPECT_EQ(test::Rows(table), before);
        asked = fps.timesAsked();
        return saved;
    }
    void expectCannotSave()
    {
        ASSERT_FALSE(messages.messages.empty());
        EXPECT_EQ(messages.messages.back().title, "Error");
        EXPECT_EQ(messages.messages.back().text, CannotSave);
        EXPECT_EQ(messages.messages.back().icon, MessageIcon::Error);
    }

    test::TempDir dir;
    SubtitleTable table;
    std::vector<Row> before;
    test::RecordingMessages messages;
    int asked = 0;
};

} // namespace

TEST_F(SaveFailures, TargetThatIsAFolderIsLeftAsItWas)
{
    const std::string folder = dir.path("out.sub");
    QDir().mkpath(QString::fromStdString(folder));
    test::WriteFile(folder + "/inside.txt", Previous);
    for (int fileType = 1; fileType <= 9; ++fileType) {
        SCOPED_TRACE("file type " + std::to_string(fileType));
        messages.messages.clear();
        EXPECT_EQ(save(folder, fileType, 25), false);
        expectCannotSave();
        EXPECT_EQ(entries(dir.path("")), QStringList { "out.sub" });
        EXPECT_EQ(entries(folder), QStringList { "inside.txt" });
        EXPECT_EQ(test::ReadFile(folder + "/inside.txt"), Previous);
    }
}

// Every format that stores clock times divides by the framerate.
TEST_F(SaveFailures, ZeroFramerateKeepsThePreviousFile)
{
    struct Case {
        int fileType;
        bool fails;
    };
    const Case cases[] = {
        { 1, false }, // MicroDVD: frames as they are, no framerate asked
        { 2, true },
        { 3, true },
        { 4, true },
        { 5, false }, // AQTitle: frames too
        { 6, true },
        { 7, true },
        { 9, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("file type " + std::to_string(c.fileType));
        const std::string target = dir.path("out" + std::to_string(c.fileType));
        test::WriteFile(target, Previous);
        messages.messages.clear();
        EXPECT_EQ(save(target, c.fileType, 0), !c.fails);
        EXPECT_EQ(asked, c.fails ? 1 : 0);
        if (c.fails) {
            expectCannotSave();
            EXPECT_EQ(test::ReadFile(target), Previous);
        } else {
            EXPECT_TRUE(messages.messages.empty());
            EXPECT_NE(test::ReadFile(target), Previous);
        }
        QFile::remove(QString::fromStdString(target));
        EXPECT_EQ(entries(dir.path("")), QStringList {});
    }
}

// The Sub Station Alpha writer takes its framerate from the export settings' FPS text.
TEST_F(SaveFailures, SsaFramerateOfZeroCannotBeSaved)
{
    const std::string target = dir.path("out.ssa");
    for (const auto& [text, separator] : { std::pair<QString, char> { "0", '.' }, { "0,0", ',' }, { "0.000", '.' } }) {
        SCOPED_TRACE(text.toStdString());
        test::WriteFile(target, Previous);
        messages.messages.clear();
        EXPECT_EQ(save(target, 8, 25, text, separator), false);
        expectCannotSave();
        EXPECT_EQ(test::ReadFile(target), Previous);
        EXPECT_EQ(entries(dir.path("")), QStringList { "out.ssa" });
        EXPECT_EQ(asked, 0); // the framerate prompt is not this writer's
    }
}

// A text that is no number ends the save before the file is touched, with the conversion's message.
TEST_F(SaveFailures, SsaFpsTextThatIsNoNumberLeavesBeforeTheFile)
{
    const std::string target = dir.path("out.ssa");
    const std::pair<QString, char> cases[] = { { "abc", '.' }, { "", '.' }, { "25.0", ',' }, { "25fps", '.' } };
    for (const auto& [text, separator] : cases) {
        SCOPED_TRACE(text.toStdString());
        messages.messages.clear();
        try {
            save(dir.path("new.ssa"), 8, 25, text, separator);
            ADD_FAILURE() << "saved";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.what(), "'" + text.toStdString() + "' is not a valid floating point value");
        }
        EXPECT_TRUE(messages.messages.empty());
        EXPECT_EQ(entries(dir.path("")), QStringList {});

        test::WriteFile(target, Previous);
        EXPECT_THROW(save(target, 8, 25, text, separator), ConversionError);
        EXPECT_EQ(test::ReadFile(target), Previous);
        EXPECT_EQ(entries(dir.path("")), QStringList { "out.ssa" });
        QFile::remove(QString::fromStdString(target));
    }
}

TEST_F(SaveFailures, ReadOnlyFolderInProcess)
{
    if (::getuid() == 0) GTEST_SKIP() << "root writes into read-only folders; ConverterInReadOnlyFolder covers it";
    const std::string folder = dir.path("ro");
    QDir().mkpath(QString::fromStdString(folder));
    test::WriteFile(folder + "/out.srt", Previous);
    QFile::setPermissions(QString::fromStdString(folder), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_EQ(save(folder + "/out.srt", 2, 25), false);
    expectCannotSave();
    EXPECT_EQ(save(folder + "/new.srt", 2, 25), false);
    const QStringList left = entries(folder);
    const std::string content = test::ReadFile(folder + "/out.srt");
    QFile::setPermissions(QString::fromStdString(folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(left, QStringList { "out.srt" });
    EXPECT_EQ(content, Previous);
}

namespace {

} // namespace

TEST_F(SaveFailures, ConverterInReadOnlyFolder)
{
    if (::getuid() != 0) GTEST_SKIP() << "ReadOnlyFolderInProcess covers it";
    // Root ignores permissions, so the converter runs as another user.
    const QFile::Permissions open
        = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(QString::fromStdString(dir.path("")), open);
    test::WriteFile(dir.path("in.sub"), "{25}{50}One\r\n");
    QFile::setPermissions(QString::fromStdString(dir.path("in.sub")), open);
    const std::string folder = dir.path("ro");
    QDir().mkpath(QString::fromStdString(folder));
    test::WriteFile(folder + "/out.srt", Previous);
    QFile::setPermissions(
        QString::fromStdString(folder), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    for (const char* name : { "out.srt", "new.srt" }) {
        SCOPED_TRACE(name);
        const QStringList args { "--fps", "25", QString::fromStdString(dir.path("in.sub")),
            QString::fromStdString(folder + "/" + name) };
        const std::optional<test::Converted> run = test::ConvertAsNobody(args);
        if (!run) GTEST_SKIP() << "cannot run the converter as another user here";
        EXPECT_EQ(run->status, 1);
        EXPECT_EQ(run->err, CannotSave.toStdString() + "\n");
        EXPECT_EQ(entries(folder), QStringList { "out.srt" });
        EXPECT_EQ(test::ReadFile(folder + "/out.srt"), Previous);
    }
}

TEST_F(SaveFailures, ConverterTargetsThatCannotBeWritten)
{
    test::WriteFile(dir.path("in.sub"), "{25}{50}One\r\n");
    test::WriteFile(dir.path("plain"), Previous);
    QDir().mkpath(QString::fromStdString(dir.path("folder.srt")));
    const std::string in = dir.path("in.sub");
    const std::vector<std::vector<std::string>> cases = {
        { in, dir.path("folder.srt") }, { "--to", "table", in, dir.path("folder.srt") },
        { "--to", "ssa", in, dir.path("folder.srt") }, { in, dir.path("missing/out.srt") },
        { in, dir.path("plain/out.srt") }, // a file where a folder should be
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[args.size() - 1] + " " + args[0]);
        const test::Converted run = test::Convert(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, CannotSave.toStdString() + "\n");
        EXPECT_EQ(entries(dir.path("")), (QStringList { "folder.srt", "in.sub", "plain" }));
        EXPECT_EQ(entries(dir.path("folder.srt")), QStringList {});
        EXPECT_EQ(test::ReadFile(dir.path("plain")), Previous);
    }
}

// A framerate of 0 never reaches the writer: it is a usage error, and the target stays.
TEST_F(SaveFailures, ConverterRefusesAZeroFramerateBeforeWriting)
{
    test::WriteFile(dir.path("in.sub"), "{25}{50}One\r\n");
    test::WriteFile(dir.path("out.srt"), Previous);
    for (const char* option : { "--fps", "--out-fps" }) {
        const test::Converted run = test::Convert({ option, "0", dir.path("in.sub"), dir.path("out.srt") });
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(test::ReadFile(dir.path("out.srt")), Previous);
        EXPECT_EQ(entries(dir.path("")), (QStringList { "in.sub", "out.srt" }));
    }
}
