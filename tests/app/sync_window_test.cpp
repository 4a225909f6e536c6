#include "app/commands.h"
#include "app/editor.h"
#include "app/file_buttons.h"
#include "app/main_window.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "app/sync_strip.h"
#include "app/sync_wiring.h"
#include "app/waveform_wiring.h"
#include "audio/waveform_source.h"
#include "clips.h"
#include "preview/movie_window.h"
#include "preview/playback_controller.h"
#include "preview/waveform_window.h"
#include "speech_films.h"
#include "test_support.h"
#include "tools/sync_points.h"
#include "window_fakes.h"

#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cmath>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

// The editor with the voices film open (25 fps) and its subtitles shifted
// 3.2 s late, in a cache of its own.
class SyncWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_CLIPS();
        if (TestSpeechFilm().path.isEmpty()) GTEST_SKIP() << "espeak-ng is not installed";
        window.move(40, 40);
        window.show();
        fill(Damage::Shift);
        dialog.answer = TestSpeechFilm().path;
        window.fileButtons().openMovie()->click();
        ASSERT_TRUE(WaitFor([&] { return player().isOpen(); }));
        ASSERT_TRUE(WaitFor([&] { return !editor.waveform()->window().source().busy(); }));
    }

    void fill(Damage damage)
    {
        const DamagedSubtitles damaged = DamageSubtitles(TestSpeechFilm().subtitles(), damage, 3200, 2);
        std::vector<Row> rows;
        for (const Span& s : damaged.spans)
            rows.push_back(
                { std::to_string(std::lround(s.start / 40.0)), std::to_string(std::lround(s.end / 40.0)), "line" });
        Fill(editor.table(), rows);
        editor.history().clear(true);
        truth = damaged.truth;
    }

    static QByteArray cacheHome()
    {
        static QTemporaryDir folder;
        qputenv("XDG_CACHE_HOME", folder.path().toUtf8());
        return folder.path().toUtf8();
    }
    EditorOverrides overrides()
    {
        cacheHome();
        EditorOverrides o { &messages, nullptr, &files, &fps25, nullptr, ',' };
        o.videoDialog = &dialog;
        return o;
    }
    VideoPlayer& player() { return qobject_cast<TFormMovie*>(editor.movieWindow())->videoPlayer(); }
    SyncWindow& sync() { return editor.sync().window(); }
    bool findAndWait()
    {
        sync().find();
        return WaitFor([&] { return !sync().busy(); }, 60000) && sync().proposal().has_value();
    }
    int rowsNearTruth()
    {
        int near = 0;
        for (size_t i = 0; i < truth.size(); ++i)
            near += std::fabs(std::stoi(std::string(editor.table().cell(0, int(i) + 1))) * 40.0 - truth[i]) <= 100;
        return near;
    }

    RecordingMessages messages;
    ScriptedFileDialogs files;
    FixedFramerate fps25 { 25 };
    ScriptedVideoDialog dialog;
    Editor editor { overrides(), CreateMovieWindow };
    MainWindow& window = editor.mainWindow();
    std::vector<int64_t> truth;
};

} // namespace

// The key opens the window on the movie's speech and finds at once; Apply is
// one undo step that brings the rows to the voices; undo takes it back.
TEST_F(SyncWindowTest, SpeechProposalAppliedAsOneUndoStep)
{
    const std::string before = AllCells(editor.table());
    ASSERT_TRUE(editor.commands().run(QStringLiteral("sync.open")));
    ASSERT_TRUE(WaitFor([&] { return sync().isVisible() && !sync().busy(); }, 60000));
    ASSERT_TRUE(sync().proposal().has_value()) << sync().status()->text().toStdString();
    EXPECT_TRUE(sync().speechChoice()->isChecked());
    EXPECT_TRUE(sync().summary()->text().startsWith("offset -3.")) << sync().summary()->text().toStdString();
    EXPECT_TRUE(sync().warning()->text().isEmpty());
    EXPECT_EQ(sync().segments()->rowCount(), 1);
    const QRect screen = window.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(sync().frameGeometry())) << "the window stays on the screen";
    EXPECT_EQ(AllCells(editor.table()), before) << "nothing changes before Apply";

    const size_t steps = editor.history().undoCount();
    sync().applyButton()->click();
    EXPECT_EQ(editor.history().undoCount(), steps + 1);
    EXPECT_EQ(editor.history().undoName(), "Synchronise");
    EXPECT_GE(rowsNearTruth(), int(0.9 * truth.size()));
    editor.history().undo();
    EXPECT_EQ(AllCells(editor.table()), before);
}

// Cancel while the work runs, and a proposal not applied: the table stays as
// it was. A reference file is offered too.
TEST_F(SyncWindowTest, CancelLeavesTheTableAsItWas)
{
    const std::string before = AllCells(editor.table());
    editor.commands().run(QStringLiteral("sync.open"));
    sync().cancel();
    EXPECT_FALSE(sync().busy());
    EXPECT_FALSE(sync().proposal().has_value());
    ASSERT_TRUE(findAndWait());
    sync().cancelButton()->click();
    sync().close();
    EXPECT_EQ(AllCells(editor.table()), before);
    EXPECT_EQ(editor.history().undoCount(), 0u);

    TempDir dir;
    const QString reference = WriteSubRip(TestSpeechFilm().subtitles(), QString::fromStdString(dir.path("ref.srt")));
    files.openAnswers.push_back(reference);
    editor.commands().run(QStringLiteral("sync.open"));
    QTest::mouseClick(Child<QPushButton>(sync(), "ButtonChooseReference"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !sync().busy() && sync().proposal().has_value(); }));
    EXPECT_TRUE(sync().referenceChoice()->isChecked());
    EXPECT_NEAR(sync().proposal()->segments.front().offsetMs, -3200, 40);
}

// The sync point key takes the frame on screen; "Sync to points" is one undo
// step; the window lists the points with their residuals.
TEST_F(SyncWindowTest, PointsSetFromTheMovieAndApplied)
{
    // Selecting a row shows its first frame.
    window.grid().selectCell(0, 1);
    editor.playback()->controller().SubtitleGridSelectCell(0, 1);
    ASSERT_TRUE(WaitFor([&] { return !player().isSeeking() && player().frameOnScreen() > 0; }));
    ASSERT_TRUE(editor.commands().run(QStringLiteral("sync.setPoint")));
    EXPECT_EQ(ReadSyncPoints(editor.table()), (std::vector<SyncPoint> { { 1, player().frameOnScreen() } }));
    // The row starts 80 frames (3.2 s) late.
    const int first = std::stoi(std::string(editor.table().cell(0, 1)));
    SetSyncPoint(editor.table(), 1, first - 80);
    editor.history().clear(true);
    ASSERT_TRUE(editor.commands().run(QStringLiteral("sync.points")));
    EXPECT_TRUE(sync().pointsChoice()->isChecked());
    ASSERT_EQ(sync().pointList()->rowCount(), 1);
    EXPECT_EQ(sync().pointList()->item(0, 3)->text(), QString::number(first - 80));
    EXPECT_EQ(sync().pointList()->item(0, 4)->text(), "0.0");
    const std::string firstEnd(editor.table().cell(1, 1));
    ASSERT_TRUE(editor.commands().run(QStringLiteral("sync.toPoints")));
    EXPECT_EQ(editor.history().undoCount(), 1u);
    EXPECT_EQ(editor.history().undoName(), "Sync to points");
    EXPECT_EQ(std::string(editor.table().cell(0, 1)), std::to_string(first - 80));
    EXPECT_EQ(std::string(editor.table().cell(1, 1)), std::to_string(std::stoi(firstEnd) - 80));
    EXPECT_EQ(rowsNearTruth(), int(truth.size()));
    // The point stays with its row when a row goes in above it; undo takes both back.
    {
        EditHistory::Step step(editor.history(), "Insert new row");
        editor.table().insertRow(1);
    }
    EXPECT_EQ(ReadSyncPoints(editor.table()), (std::vector<SyncPoint> { { 2, first - 80 } }));
    editor.history().undo();
    EXPECT_EQ(ReadSyncPoints(editor.table()), (std::vector<SyncPoint> { { 1, first - 80 } }));
}

// Pictures for the README: TESSEL_SHOTS_DIR=docs under Xvfb.
TEST_F(SyncWindowTest, Screenshot)
{
    const QString folder = qEnvironmentVariable("TESSEL_SHOTS_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "TESSEL_SHOTS_DIR not set";
    fill(Damage::All);
    editor.commands().run(QStringLiteral("sync.open"));
    ASSERT_TRUE(WaitFor([&] { return !sync().busy() && sync().proposal().has_value(); }, 60000));
    sync().resize(820, 640);
    sync().strip().showSpan(20000, 40000);
    QTest::qWait(300);
    EXPECT_TRUE(sync().grab().save(folder + QStringLiteral("/screenshot-sync.png")));
}
