#include "app/check_page.h"
#include "app/editor.h"
#include "app/file_buttons.h"
#include "app/main_window.h"
#include "app/playback_panel.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "app/subtitle_model.h"
#include "clips.h"
#include "fakes.h"
#include "preview/movie_window.h"
#include "preview/playback_controller.h"
#include "preview/video_dialog.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>
#include <cmath>
#include <functional>
#include <set>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

class PlaybackWiringTest : public ::testing::Test {
protected:
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    ScriptedCheckDialog checks;
    ScriptedVideoDialog video;
    Editor editor { overrides(), CreateMovieWindow };
    MainWindow& window = editor.mainWindow();
    PlaybackPanel& panel = window.playback();
    SubtitleGrid& grid = window.grid();
    TFormMovie& movie = *qobject_cast<TFormMovie*>(editor.movieWindow());

    EditorOverrides overrides()
    {
        EditorOverrides o { &messages, &questions, &files, nullptr, nullptr, ',' };
        o.checkDialog = &checks;
        o.videoDialog = &video;
        return o;
    }
    VideoPlayer& player() { return movie.videoPlayer(); }
    long frame() { return std::lround(player().currentPosition()); }
    bool settledAt(long wanted)
    {
        return WaitFor([&] { return !player().isSeeking() && frame() == wanted; });
    }
    QString memo() { return movie.subtitleMemo().text(); }
    bool openClip()
    {
        video.answer = tessel::test::Clip25();
        window.fileButtons().openMovie()->click();
        return WaitFor([&] { return panel.play()->isEnabled(); });
    }
    void clickCell(int column, int row, Qt::MouseButton button = Qt::LeftButton)
    {
        const QRect cell = grid.visualRect(grid.subtitleModel().index(row - 1, column));
        QTest::mouseClick(grid.viewport(), button, {}, cell.center());
    }
};

} // namespace

TEST_F(PlaybackWiringTest, PlaybackControlsWaitForAMovie)
{
    ASSERT_NE(editor.playback(), nullptr);
    EXPECT_FALSE(panel.play()->isEnabled());
    EXPECT_FALSE(panel.movieTracker()->isEnabled());
    EXPECT_TRUE(panel.playCurrent()->isHidden());
    EXPECT_EQ(panel.speed()->toolTip(), "Playback speed (1.0x)");
    EXPECT_TRUE(panel.seekMovie()->isChecked());
}

TEST_F(PlaybackWiringTest, OpenMovieFillsMovieInfoAndEnablesThePlaybackControls)
{
    REQUIRE_CLIPS();
    window.fileButtons().openMovie()->click(); // cancelled: nothing changes
    EXPECT_EQ(video.title, "Open Movie file");
    EXPECT_FALSE(panel.play()->isEnabled());

    ASSERT_TRUE(openClip());
    const FileButtons& info = window.fileButtons();
    EXPECT_EQ(info.movieLength()->text(), "0:00:04,000");
    EXPECT_EQ(info.movieFrames()->text(), "100");
    EXPECT_EQ(info.movieFps()->text(), "25");
    EXPECT_EQ(info.movieSize()->text(), "320x240");
    for (QWidget* control : std::initializer_list<QWidget*> { panel.seekMovie(), panel.autoSelect(), panel.autoScroll(),
             panel.movieTracker(), panel.play(), panel.stop() })
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_EQ(panel.movieTracker()->maximum(), 100);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(PlaybackWiringTest, SelectingARowSeeksToItsFromFrameAndTheTrackBarFollows)
{
    REQUIRE_CLIPS();
    Fill(editor.table(), { { "40", "60", "first" }, { "70", "90", "second" } });
    window.show();
    ASSERT_TRUE(openClip());

    clickCell(2, 2);
    EXPECT_EQ(memo(), "second\n\n");
    EXPECT_EQ(panel.movieTracker()->value(), 70);
    ASSERT_TRUE(settledAt(70));

    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(grid.currentTableRow(), 1);
    EXPECT_EQ(panel.movieTracker()->value(), 40);
    ASSERT_TRUE(settledAt(40));

    panel.movieTracker()->setValue(10);
    ASSERT_TRUE(settledAt(10));
    clickCell(0, 1); // the current cell again: back to its row's start
    EXPECT_EQ(panel.movieTracker()->value(), 40);
    ASSERT_TRUE(settledAt(40));

    panel.movieTracker()->setValue(10);
    ASSERT_TRUE(settledAt(10));
    clickCell(0, 1, Qt::RightButton); // the pop-up menu's click is no selection
    if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
    EXPECT_EQ(panel.movieTracker()->value(), 10);
}

TEST_F(PlaybackWiringTest, SelectionsNotMadeByTheUserDoNotSeek)
{
    REQUIRE_CLIPS();
    SubtitleTable& table = editor.table();
    Fill(table, { { "40", "60", "first" }, { "70", "90", "second" } });
    window.show();
    ASSERT_TRUE(openClip());
    clickCell(0, 1);
    ASSERT_TRUE(settledAt(40));

    editor.playback()->controller().ProcessTimer(75, 100); // auto-select follows the movie
    EXPECT_EQ(grid.currentTableRow(), 2);
    EXPECT_EQ(memo(), "second\n\n");
    {
        SubtitleTable::BulkChange bulk(table); // a batch tool: the grid keeps its place
        table.setCell(SubtitleTable::From, 2, "20");
    }
    EXPECT_EQ(grid.currentTableRow(), 2);
    EXPECT_EQ(panel.movieTracker()->value(), 40);
    ASSERT_TRUE(settledAt(40));
}

// Insert and Delete keep the current cell's place and an append selects its
// first row: selection writes, not the user's selections.
TEST_F(PlaybackWiringTest, InsertDeleteAndAppendLeaveTheMovieAlone)
{
    REQUIRE_CLIPS();
    TempDir folder;
    const std::string appended = folder.path("more.sub");
    WriteFile(appended, "{80}{85}appended\n");
    const std::vector<Row> rows = { { "10", "30", "first" }, { "40", "60", "second" }, { "70", "90", "third" } };
    window.show();
    ASSERT_TRUE(openClip());
    const std::pair<const char*, std::function<void()>> commands[] = {
        { "insert", [&] { grid.menuItemInsert()->trigger(); } },
        { "delete", [&] { grid.menuItemDelete()->trigger(); } },
        { "append",
            [&] {
                files.openAnswers.push_back(QString::fromStdString(appended));
                window.fileButtons().appendSubtitles()->click();
            } },
    };
    for (const auto& [name, command] : commands) {
        Fill(editor.table(), rows);
        clickCell(0, 2);
        ASSERT_TRUE(settledAt(40)) << name;
        panel.movieTracker()->setValue(50);
        ASSERT_TRUE(settledAt(50)) << name;
        command();
        EXPECT_NE(editor.table().rowCount(), 4) << name;
        EXPECT_EQ(panel.movieTracker()->value(), 50) << name;
        QTest::qWait(100);
        EXPECT_FALSE(player().isSeeking()) << name;
        EXPECT_EQ(frame(), 50) << name;
    }

    // The play range of "Play current subtitle" survives an insert.
    Fill(editor.table(), rows);
    clickCell(0, 2);
    ASSERT_TRUE(settledAt(40));
    panel.speed()->setValue(5);
    editor.playback()->controller().BtnPlayCurrentClick();
    ASSERT_TRUE(WaitFor([&] { return player().isPlaying(); }));
    grid.menuItemInsert()->trigger();
    EXPECT_EQ(grid.currentTableRow(), 2);
    ASSERT_TRUE(WaitFor([&] { return !player().isPlaying(); }));
    ASSERT_TRUE(settledAt(60));
}

// What the video player refuses in play, stop or the speed ends up in the
// general error report.
TEST_F(PlaybackWiringTest, PlayerRefusalsReachTheGeneralErrorReport)
{
    REQUIRE_CLIPS();
    ASSERT_TRUE(openClip());
    panel.speed()->setRange(5, 2000);
    panel.speed()->setValue(1500); // 150 times: more than mpv plays
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].title, "Tessel Subtitles Editor");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    EXPECT_TRUE(messages.messages[0].text.startsWith("The video player refused \"speed = 150\": "))
        << messages.messages[0].text.toStdString();
    EXPECT_EQ(player().rate(), 1.0); // the refused speed is not kept
    panel.speed()->setValue(10);
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST_F(PlaybackWiringTest, FollowingPlaybackScrollsOnlyWhenAutoScrollIsTicked)
{
    std::vector<tessel::test::Row> rows;
    for (int i = 1; i <= 60; ++i)
        rows.push_back({ std::to_string(i * 10), std::to_string(i * 10 + 5), "line " + std::to_string(i) });
    Fill(editor.table(), rows);
    window.show();
    PlaybackController& controller = editor.playback()->controller();
    panel.autoScroll()->setChecked(false);
    controller.ProcessTimer(502, 1000);
    EXPECT_EQ(grid.currentTableRow(), 50);
    EXPECT_EQ(grid.topRow(), 1);

    panel.autoScroll()->setChecked(true);
    controller.ProcessTimer(552, 1000);
    EXPECT_EQ(grid.currentTableRow(), 55);
    const int visible = grid.viewport()->height() / 16;
    EXPECT_EQ(grid.topRow(), 55 - visible);
}

TEST_F(PlaybackWiringTest, EditingACellShowsItsRowUnderThePicture)
{
    Fill(editor.table(), { { "0", "10", "first", "under" }, { "20", "30", "second" } });
    window.show();
    grid.selectCell(2, 1);
    grid.edit(grid.currentIndex());
    auto* edit = grid.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, "A & B");
    EXPECT_EQ(editor.table().cell(SubtitleTable::Line1, 1), "A & B");
    EXPECT_EQ(memo(), "A & B\nunder\n");
    EXPECT_EQ(movie.subtitleMemo().textFormat(), Qt::PlainText);
}

// Undo puts the current cell on what it changed, quietly: the movie stays
// where it was and only its text follows.
TEST_F(PlaybackWiringTest, UndoShowsTheChangedRowWithoutSeeking)
{
    REQUIRE_CLIPS();
    Fill(editor.table(), { { "40", "60", "first" }, { "70", "90", "second" } });
    window.show();
    ASSERT_TRUE(openClip());
    clickCell(2, 2);
    ASSERT_TRUE(settledAt(70));
    QTest::keyClick(&grid, Qt::Key_Delete);
    ASSERT_EQ(editor.table().cell(SubtitleTable::Line1, 2), "");
    clickCell(0, 1);
    ASSERT_TRUE(settledAt(40));
    EXPECT_EQ(memo(), "first\n\n");
    grid.menuItemUndo()->trigger();
    EXPECT_EQ(grid.currentTableRow(), 2);
    EXPECT_EQ(grid.currentTableColumn(), 2);
    EXPECT_EQ(memo(), "second\n\n");
    EXPECT_EQ(panel.movieTracker()->value(), 40);
    EXPECT_FALSE(player().isSeeking());
    EXPECT_EQ(frame(), 40);
}

TEST_F(PlaybackWiringTest, TimingCheckPausesAPlayingMovieFirst)
{
    REQUIRE_CLIPS();
    Fill(editor.table(), { { "0", "50", "first" }, { "40", "60", "overlaps" } });
    ASSERT_TRUE(openClip());
    panel.speed()->setValue(5); // half speed: the movie cannot end on its own meanwhile
    panel.play()->click();
    ASSERT_TRUE(WaitFor([&] { return player().isPlaying(); }));
    window.checkPage().checkTimingNow()->click();
    EXPECT_EQ(checks.shown.size(), 1u);
    ASSERT_TRUE(WaitFor([&] { return !player().isPlaying(); }));
    EXPECT_LT(frame(), 100);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].title, "Done");
}

TEST_F(PlaybackWiringTest, MovieWindowComesWithTheMainWindowFollowsItAndStays)
{
    EXPECT_FALSE(movie.isVisible());
    window.show();
    EXPECT_TRUE(movie.isVisible());
    EXPECT_FALSE(movie.close());
    EXPECT_TRUE(movie.isVisible());

    window.move(120, 110);
    ASSERT_TRUE(WaitFor([&] { return window.pos() == QPoint(120, 110); }));
    const QPoint before = movie.pos();
    window.move(160, 140);
    ASSERT_TRUE(WaitFor([&] { return movie.pos() == before + QPoint(40, 30); }))
        << movie.pos().x() << "," << movie.pos().y();
}

// The whole screen with both windows, a movie paused inside a subtitle. Runs
// only on an X screen (for instance under xvfb-run with QT_QPA_PLATFORM=xcb);
// TESSEL_SCREENSHOT names the picture file to write.
TEST(PlaybackWiringOnScreen, BothWindowsWithASubtitleUnderThePicture)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X screen";
    if (!tessel::test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    qunsetenv("TESSEL_MPV_VO");
    qputenv("TESSEL_MPV_AO", "null");
    tessel::test::TempDir folder;
    const std::string subtitles = folder.path("film.sub");
    tessel::test::WriteFile(
        subtitles, "{0}{30}Good evening.\n{31}{75}Tessel shows the subtitle|under the picture.\n{76}{99}Good night.\n");
    RecordingMessages messages;
    ScriptedFileDialogs files;
    files.openAnswers.push_back(QString::fromStdString(subtitles));
    ScriptedVideoDialog video;
    video.answer = tessel::test::Clip25();
    EditorOverrides overrides { &messages, nullptr, &files };
    overrides.videoDialog = &video;
    Editor editor(overrides, CreateMovieWindow);
    MainWindow& window = editor.mainWindow();
    auto& movie = *qobject_cast<TFormMovie*>(editor.movieWindow());
    window.move(20, 20);
    window.show();
    // A window manager places the movie window beside the main window once it
    // has framed the main window: move it aside after that.
    static_cast<void>(QTest::qWaitFor([&] { return window.frameGeometry() != window.geometry(); }, 2000));
    QTest::qWait(100);
    movie.move(window.frameGeometry().right() + 20, 20);
    window.fileButtons().openSubtitles()->click();
    window.fileButtons().openMovie()->click();
    ASSERT_TRUE(WaitFor([&] { return window.playback().play()->isEnabled(); }));
    movie.ZoomMovie(100);
    window.playback().play()->click();
    ASSERT_TRUE(WaitFor([&] { return std::lround(movie.videoPlayer().currentPosition()) >= 45; }));
    window.playback().stop()->click();
    ASSERT_TRUE(WaitFor([&] { return movie.subtitleMemo().text().startsWith("Tessel shows"); }));
    ASSERT_TRUE(WaitFor([&] { return !movie.videoPlayer().isPlaying(); }));
    QTest::qWait(500); // let the picture and the labels reach the screen
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    ASSERT_FALSE(screen.isNull());
    const QRect picture(movie.videoPlayer().mapToGlobal(QPoint(0, 0)), movie.videoPlayer().size());
    std::set<QRgb> colours;
    for (int y = picture.top(); y < picture.bottom(); y += 4)
        for (int x = picture.left(); x < picture.right(); x += 4)
            colours.insert(screen.pixel(x, y));
    EXPECT_GT(colours.size(), 20u) << "the picture is not on the screen";
    const QRect both = window.frameGeometry().united(movie.frameGeometry()).adjusted(-20, -20, 20, 20);
    const QString file = qEnvironmentVariable("TESSEL_SCREENSHOT");
    if (!file.isEmpty()) {
        EXPECT_TRUE(screen.copy(both.intersected(screen.rect())).save(file));
    }
    EXPECT_TRUE(messages.messages.empty());
}
