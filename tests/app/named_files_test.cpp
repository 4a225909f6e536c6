#include "app/editor.h"
#include "app/file_actions.h"
#include "app/main_window.h"
#include "app/named_files.h"
#include "app/playback_panel.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "clips.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QDropEvent>
#include <QMimeData>
#include <QProcess>
#include <QToolButton>
#include <QUrl>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::Row;
using tessel::test::Rows;

namespace {

// Hand-made: at 25 fps 00:00:01,000 is frame 25 and 00:00:02,500 frame 62.5, stored as 62.
const std::string SubRipFile = "1\r\n00:00:01,000 --> 00:00:02,500\r\nHello\r\n\r\n"
                               "2\r\n00:00:04,000 --> 00:00:05,000\r\nWorld\r\n\r\n";
const std::vector<Row> SubRipRows { { "25", "62", "Hello", "", "" }, { "100", "125", "World", "", "" } };

class NamedFilesTest : public ::testing::Test {
protected:
    NamedFilesTest() { editor.mainWindow().show(); }

    QString file(const std::string& name, const std::string& content)
    {
        WriteFile(dir.path(name), content);
        return QString::fromStdString(dir.path(name));
    }
    // A drop as the platform delivers it: the drag enters, then the drop.
    bool drop(const QStringList& files, Qt::KeyboardModifiers modifiers = {})
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << (f.contains(QLatin1String("://")) ? QUrl(f) : QUrl::fromLocalFile(f));
        data.setUrls(urls);
        // On the grid, most of the window: the event goes up to the window.
        QWidget* target = editor.mainWindow().grid().viewport();
        const QPoint middle = target->rect().center();
        QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(target, &dropped);
        QApplication::processEvents(); // the opening waits for the drop to end
        return dropped.isAccepted();
    }

    TempDir dir;
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    FixedFramerate framerate { 25 };
    Editor editor { EditorOverrides { &messages, &questions, &files, &framerate, nullptr, '.' } };
    SubtitleTable& table = editor.table();
};

} // namespace

TEST_F(NamedFilesTest, ASubtitleFileOnTheCommandLineOpensAsOpenSubtitlesWould)
{
    OpenCommandLine(editor, { file("film.srt", SubRipFile) });
    EXPECT_EQ(framerate.timesAsked(), 1);
    EXPECT_EQ(Rows(table), SubRipRows);
    EXPECT_FALSE(editor.fileActions().isModified());
    EXPECT_EQ(editor.fileActions().document().fileName, dir.path("film.srt"));
    EXPECT_EQ(files.opensShown, 0);
    EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('\n').toStdString();
}

TEST_F(NamedFilesTest, WhatCannotBeOpenedIsSaidAndTheEditorStaysEmpty)
{
    struct Case {
        const char* name;
        QStringList arguments;
        QString message;
    };
    const std::string empty = AllCells(table);
    const QString garbage = file("noise.sub", "this is no subtitle file\n");
    const QString missing = QString::fromStdString(dir.path("gone.srt"));
    for (const Case& c : std::initializer_list<Case> {
             { "unknown option", { "--fullscreen" }, "Unknown option: --fullscreen\n" + EditorUsage },
             { "no such file", { missing }, "No such file: " + missing },
             { "not subtitles", { garbage }, "Unknow subtitles format." },
         }) {
        messages.messages.clear();
        OpenCommandLine(editor, c.arguments);
        EXPECT_EQ(messages.texts(), QStringList { c.message }) << c.name;
        EXPECT_EQ(AllCells(table), empty) << c.name;
        EXPECT_FALSE(editor.fileActions().isModified()) << c.name;
    }
    EXPECT_EQ(framerate.timesAsked(), 0);
}

TEST_F(NamedFilesTest, ASecondSubtitleFileIsLeftOutWithAMessage)
{
    const QString first = file("a.sub", "{1}{2}first\n");
    const QString second = file("b.sub", "{3}{4}second\n");
    OpenCommandLine(editor, { "--", first, second });
    EXPECT_EQ(Rows(table), (std::vector<Row> { { "1", "2", "first", "", "" } }));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_TRUE(messages.messages[0].text.endsWith("Not opened:\n" + second))
        << messages.messages[0].text.toStdString();
}

TEST_F(NamedFilesTest, DroppingASubtitleFileAsksAboutUnsavedChangesAsOpenDoes)
{
    Fill(table, { { "1", "2", "mine" } }); // an edit since the last open
    ASSERT_TRUE(editor.fileActions().isModified());
    const QString film = file("film.srt", SubRipFile);

    questions.answer = false;
    ASSERT_TRUE(drop({ film }));
    EXPECT_EQ(questions.asked, QStringList { DiscardOnOpenQuestion });
    EXPECT_EQ(Rows(table), (std::vector<Row> { { "1", "2", "mine", "", "" } }));

    questions.answer = true;
    ASSERT_TRUE(drop({ film }));
    EXPECT_EQ(Rows(table), SubRipRows);
    EXPECT_EQ(framerate.timesAsked(), 1);
}

TEST_F(NamedFilesTest, DroppingWithShiftHeldAppends)
{
    ASSERT_TRUE(drop({ file("a.sub", "{1}{2}first\n{3}{4}second\n") }));
    ASSERT_TRUE(drop({ file("b.sub", "{5}{6}third\n") }, Qt::ShiftModifier));
    EXPECT_EQ(Rows(table),
        (std::vector<Row> {
            { "1", "2", "first", "", "" }, { "3", "4", "second", "", "" }, { "5", "6", "third", "", "" } }));
    EXPECT_TRUE(questions.asked.isEmpty());
    EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('\n').toStdString();
}

TEST_F(NamedFilesTest, OfSeveralDroppedFilesOnlyOneSubtitleFileOpensAndTheOthersAreNamed)
{
    const QString first = file("a.sub", "{1}{2}first\n");
    const QString second = file("b.srt", SubRipFile);
    const QString third = file("c.txt", "{5}{6}third\n");
    ASSERT_TRUE(drop({ first, second, third, "https://example.org/d.srt" }));
    EXPECT_EQ(Rows(table), (std::vector<Row> { { "1", "2", "first", "", "" } }));
    EXPECT_EQ(framerate.timesAsked(), 0);
    EXPECT_EQ(messages.texts(),
        (QStringList { "Only files on this computer can be opened: https://example.org/d.srt",
            "Only one subtitle file and one movie are opened at a time. Not opened:\n" + second + "\n" + third }));
}

TEST_F(NamedFilesTest, TextThatIsNoFileIsNotTaken)
{
    QMimeData data;
    data.setText(QStringLiteral("{1}{2}typed"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&editor.mainWindow(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

TEST(NamedMovieFiles, TheMovieNamedOnTheCommandLineOrDroppedOpensInTheMovieWindow)
{
    REQUIRE_CLIPS();
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    ScriptedVideoDialog video;
    FixedFramerate framerate { 25 };
    EditorOverrides overrides { &messages, &questions, &files, &framerate, nullptr, '.' };
    overrides.videoDialog = &video;
    TempDir dir;
    WriteFile(dir.path("film.sub"), "{10}{20}a\n");
    const QString subtitles = QString::fromStdString(dir.path("film.sub"));
    // The clip is an AVI file: named after the subtitles, in either order.
    for (const bool dropped : { false, true }) {
        Editor editor(overrides, CreateMovieWindow);
        editor.mainWindow().show();
        PlaybackPanel& panel = editor.mainWindow().playback();
        if (!dropped)
            OpenCommandLine(editor, { Clip25(), subtitles });
        else
            OpenFiles(editor, SortFiles({ Clip25(), subtitles }), false);
        EXPECT_EQ(Rows(editor.table()), (std::vector<Row> { { "10", "20", "a", "", "" } }));
        EXPECT_TRUE(WaitFor([&] { return panel.play()->isEnabled(); })) << dropped;
        EXPECT_EQ(video.shown, 0);
        EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('\n').toStdString();
    }
}

TEST(EditorProgram, HelpAndVersionNeedNoScreen)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TESSEL_EDITOR), { "--version" });
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput().toStdString(), std::string("tessel ") + TESSEL_PROJECT_VERSION + "\n");
    process.start(QStringLiteral(TESSEL_EDITOR), { "--help" });
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().startsWith("Usage: tessel [SUBTITLE_FILE] [MOVIE_FILE]\n"));
}
