#include "app/commands.h"
#include "app/editor.h"
#include "app/file_buttons.h"
#include "app/main_window.h"
#include "app/playback_panel.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "app/subtitle_model.h"
#include "app/timing_keys_wiring.h"
#include "clips.h"
#include "fakes.h"
#include "preview/movie_window.h"
#include "preview/video_dialog.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QToolTip>
#include <cmath>
#include <tuple>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;
using tessel::test::WaitFor;

namespace {

struct MovieDialog : OpenFileDialog {
    QString answer;
    std::optional<QString> Execute(const QString&, const QStringList&) override { return answer; }
};

// A short lossless clip (in AVI), or a film (MJPEG with sound) in a container.
struct Movie {
    const char* rate;
    const char* film = nullptr;
};
void PrintTo(const Movie& movie, std::ostream* out) { *out << movie.rate << " fps " << (movie.film ? movie.film : ""); }

class TimingKeysTest : public ::testing::TestWithParam<Movie> {
protected:
    void SetUp() override
    {
        REQUIRE_CLIPS();
        window.show();
        QApplication::setActiveWindow(&window);
        grid.setFocus();
        Fill(editor.table(), { { "0", "0", "first" }, { "", "", "second" }, { "900", "950", "third" } });
        editor.history().clear(true);
        // The bar-code films change every picture, which may be found as cuts
        // the keys would snap to: these tests are about the frame itself.
        ASSERT_TRUE(editor.commands().run(QStringLiteral("shots.snap")));
        const Movie& movie = GetParam();
        dialog.answer = movie.film ? NumberedFilm(QLatin1String(movie.rate), QLatin1String(movie.film))
                                   : NumberedClip(QLatin1String(movie.rate), QStringLiteral("avi"));
        window.fileButtons().openMovie()->click();
        ASSERT_TRUE(WaitFor([&] { return player().isOpen(); }));
        QApplication::setActiveWindow(&window); // the Waveform window came up meanwhile
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        grid.setFocus();
    }

    EditorOverrides overrides()
    {
        EditorOverrides o { &messages, nullptr, nullptr, nullptr, nullptr, ',' };
        o.videoDialog = &dialog;
        return o;
    }
    VideoPlayer& player() { return qobject_cast<TFormMovie*>(editor.movieWindow())->videoPlayer(); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(&grid, key, modifiers); }
    // The frame the player reports once the picture is there, checked against the picture.
    int shown()
    {
        if (!WaitFor([&] { return !player().isSeeking(); })) return -1;
        const int frame = player().frameOnScreen();
        EXPECT_EQ(tessel::test::PictureNumber(player().currentPicture()), frame);
        return frame;
    }
    std::string cell(int column, int row) { return std::string(editor.table().cell(column, row)); }
    QString memo() { return qobject_cast<TFormMovie*>(editor.movieWindow())->subtitleMemo().text(); }

    RecordingMessages messages;
    MovieDialog dialog;
    Editor editor { overrides(), CreateMovieWindow };
    MainWindow& window = editor.mainWindow();
    SubtitleGrid& grid = window.grid();
};

} // namespace

TEST_P(TimingKeysTest, TimingAFilmFromTheKeyboard)
{
    const int last = player().frameCount() - 1;
    EXPECT_EQ(shown(), 0);
    key(Qt::Key_F8); // the first frame: "0" already, no undo step
    EXPECT_EQ(cell(0, 1), "0");
    for (int i = 0; i < 3; ++i)
        key(Qt::Key_F7);
    EXPECT_EQ(shown(), 3);
    key(Qt::Key_F6);
    EXPECT_EQ(shown(), 2);
    key(Qt::Key_F8);
    EXPECT_EQ(cell(0, 1), "2");
    player().setCurrentPosition(std::max(2, last - 100)); // a film's last seconds
    shown();
    key(Qt::Key_F7, Qt::ControlModifier); // five seconds on: past the end, so the last frame
    EXPECT_EQ(shown(), last);
    key(Qt::Key_F7);
    EXPECT_EQ(shown(), last);
    key(Qt::Key_F6, Qt::ShiftModifier); // one second back
    const int second = static_cast<int>(std::lround(player().framesPerSecond()));
    EXPECT_EQ(shown(), last - second);
    key(Qt::Key_F10); // end here, on to row 2, which starts two frames later
    EXPECT_EQ(cell(1, 1), std::to_string(last - second));
    EXPECT_EQ(cell(0, 2), std::to_string(last - second + 2));
    EXPECT_EQ(grid.currentTableRow(), 2);
    EXPECT_EQ(memo(), "first\n\n"); // the picture still shows row 1's last frame
    QTest::qWait(200); // timer events meanwhile: row 2 stays current
    EXPECT_EQ(grid.currentTableRow(), 2);
    player().setCurrentPosition(last);
    EXPECT_EQ(shown(), last);
    key(Qt::Key_F9); // the last frame
    EXPECT_EQ(cell(1, 2), std::to_string(last));
    EXPECT_EQ(memo(), "second\n\n");
    key(Qt::Key_F9, Qt::ShiftModifier);
    key(Qt::Key_F8, Qt::ControlModifier);
    EXPECT_EQ(Rows(editor.table())[1],
        (Row { std::to_string(last - second + 3), std::to_string(last - 1), "second", "", "" }));

    // One undo step a key, in reverse order.
    EXPECT_EQ(editor.history().undoCount(), 5u);
    EXPECT_EQ(editor.history().undoName(), "Nudge start");
    editor.history().undo();
    editor.history().undo();
    editor.history().undo();
    EXPECT_EQ(editor.history().undoName(), "Set end and go on");
    editor.history().undo();
    EXPECT_EQ(Rows(editor.table())[0], (Row { "2", "0", "first", "", "" }));
    EXPECT_EQ(cell(0, 2), "");
}

TEST_P(TimingKeysTest, SelectingARowShowsItsFirstFrame)
{
    Fill(editor.table(), { { "7", "20", "a" }, { "41", "50", "b" }, { "89", "90", "c" } });
    for (int row : { 2, 3, 1 }) {
        const QRect rect = grid.visualRect(grid.subtitleModel().index(row - 1, 0));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, rect.center()); // the user's own selection
        EXPECT_EQ(shown(), std::stoi(cell(0, row))) << row;
    }
}

TEST_P(TimingKeysTest, KeysWaitForTheGridAndAMovie)
{
    grid.edit(grid.subtitleModel().index(0, 2)); // a cell editor has the keys
    auto* edit = grid.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    QTest::keyClick(edit, Qt::Key_F7);
    QTest::keyClick(edit, Qt::Key_F9);
    EXPECT_EQ(shown(), 0);
    EXPECT_EQ(cell(1, 1), "0");
    EXPECT_EQ(editor.history().undoCount(), 0u);
    grid.setFocus();
    player().close();
    key(Qt::Key_F9);
    key(Qt::Key_F10);
    EXPECT_EQ(Rows(editor.table())[0], (Row { "0", "0", "first", "", "" }));
    EXPECT_EQ(grid.currentTableRow(), 1);
}

// Stepped from 184 as a user would: F7 twice, F6 twice, a second back and on.
TEST_P(TimingKeysTest, StepsShowExactlyTheFrameTheCounterShowsAndF8Takes)
{
    const int second = static_cast<int>(std::lround(player().framesPerSecond()));
    const int from = std::min(184, player().frameCount() - second - 3);
    const QString length = QStringLiteral("/%1").arg(player().frameCount());
    const auto counter = [&](int frame) {
        const QLabel& timeCode = qobject_cast<TFormMovie*>(editor.movieWindow())->timeCode();
        return WaitFor([&] { return timeCode.text() == QString::number(frame) + length; }, 2000);
    };
    player().setCurrentPosition(from);
    ASSERT_EQ(shown(), from);
    int frame = from;
    for (const auto& [pressed, modifiers, by] : { std::tuple { Qt::Key_F7, Qt::NoModifier, 1 }, { Qt::Key_F7, {}, 1 },
             { Qt::Key_F6, {}, -1 }, { Qt::Key_F6, {}, -1 }, { Qt::Key_F6, Qt::ShiftModifier, -second },
             { Qt::Key_F7, Qt::ShiftModifier, second }, { Qt::Key_F7, Qt::ShiftModifier, second } }) {
        key(pressed, modifiers);
        frame += by;
        EXPECT_EQ(shown(), frame) << "after " << QKeySequence(pressed | modifiers).toString().toStdString();
        EXPECT_TRUE(counter(frame)) << frame;
    }
    key(Qt::Key_F8);
    EXPECT_EQ(cell(0, 1), std::to_string(frame));
}

// A row's start shows that frame, and F8 without moving leaves the row as it is.
TEST_P(TimingKeysTest, F8AfterSelectingARowKeepsItsStart)
{
    const int start = std::min(399, player().frameCount() - 5);
    Fill(editor.table(), { { "7", "20", "a" }, { std::to_string(start), std::to_string(start + 3), "b" } });
    editor.history().clear(true);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(grid.subtitleModel().index(1, 0)).center());
    EXPECT_EQ(shown(), start);
    key(Qt::Key_F8);
    EXPECT_EQ(cell(0, 2), std::to_string(start));
    EXPECT_EQ(editor.history().undoCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Rates, TimingKeysTest,
    ::testing::Values(Movie { "25" }, Movie { "24000/1001" }, Movie { "25", "mkv" }, Movie { "24000/1001", "mkv" },
        Movie { "25", "mp4" }, Movie { "24000/1001", "avi" }),
    [](const ::testing::TestParamInfo<Movie>& info) {
        return std::string(std::string(info.param.rate) == "25" ? "Fps25" : "Fps23976")
            + (info.param.film ? std::string("_film_") + info.param.film : std::string());
    });

TEST(TimingKeyHints, PlaybackButtonsKeepTheirHintsAndListTheKeys)
{
    Editor editor({}, CreateMovieWindow);
    PlaybackPanel& panel = editor.mainWindow().playback();
    EXPECT_EQ(panel.play()->toolTip(), "Play");
    EXPECT_EQ(panel.stop()->toolTip(), "Stop");
    editor.mainWindow().show();
    QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), panel.play()->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(panel.play(), &help);
    EXPECT_TRUE(QToolTip::text().startsWith("Play\n\n")) << QToolTip::text().toStdString();
    for (const char* key :
        { "F5", "Shift+F5", "F6", "F7", "Shift+F6", "Ctrl+F7", "F8", "Shift+F8", "F9", "Ctrl+F9", "F10", "F4" })
        EXPECT_TRUE(editor.timingKeys()->keyList().contains(QLatin1String(key) + QLatin1Char(':'))
            || editor.timingKeys()->keyList().contains(QLatin1String(key) + QLatin1Char(',')))
            << key;
    QToolTip::hideText();
}
