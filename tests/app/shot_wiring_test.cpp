#include "app/editor.h"
#include "app/file_buttons.h"
#include "app/main_window.h"
#include "app/playback_wiring.h"
#include "app/reading_page.h"
#include "app/shot_wiring.h"
#include "app/subtitle_grid.h"
#include "app/timing_keys_wiring.h"
#include "app/waveform_wiring.h"
#include "clips.h"
#include "fakes.h"
#include "preview/movie_window.h"
#include "preview/shot_bar.h"
#include "preview/video_dialog.h"
#include "preview/waveform_view.h"
#include "preview/waveform_window.h"
#include "shot_films.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::Fill;
using tessel::test::WaitFor;

namespace {

// The editor with the film of known cuts (40, 90, 130, 180, 230 at 25 fps)
// open, its whole length across 650 pixels: 2.5 pixels a frame. The cache,
// the edits and the settings go to folders of the test's own.
class ShotWiringTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_CLIPS();
        REQUIRE_SHOT_FILM(film);
        window.show();
        ASSERT_TRUE(open(film.path));
        waveform().resize(650, 200);
        ASSERT_TRUE(WaitFor([&] { return view().width() == 650; }));
        view().showWholeFilm();
    }

    bool open(const std::string& movie)
    {
        dialog.answer = QString::fromStdString(movie);
        window.fileButtons().openMovie()->click();
        return WaitFor([&] { return player().isOpen() && player().fileName() == dialog.answer; })
            && WaitFor([&] { return !shots().source().busy() && shots().available(); });
    }
    EditorOverrides overrides()
    {
        for (const char* name : { "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME" })
            qputenv(name, QByteArray::fromStdString(folders.path(name)));
        EditorOverrides o { &messages, nullptr, nullptr, nullptr, nullptr, '.' };
        o.videoDialog = &dialog;
        return o;
    }
    VideoPlayer& player() { return qobject_cast<TFormMovie*>(editor.movieWindow())->videoPlayer(); }
    ShotWiring& shots() { return *editor.shots(); }
    WaveformWindow& waveform() { return editor.waveform()->window(); }
    WaveformView& view() { return waveform().view(); }
    QPoint at(double frame, int y = WaveformView::RulerHeight + 20)
    {
        return QPoint(static_cast<int>(std::lround(view().xOfFrame(frame))), y);
    }
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(&view(), Qt::LeftButton, modifiers, from);
        for (int i = 1; i <= 4; ++i) {
            QMouseEvent move(QEvent::MouseMove, from + (to - from) * i / 4,
                view().mapToGlobal(from + (to - from) * i / 4), Qt::NoButton, Qt::LeftButton, modifiers);
            QApplication::sendEvent(&view(), &move);
        }
        QTest::mouseRelease(&view(), Qt::LeftButton, modifiers, to);
    }
    void showFrame(int frame)
    {
        player().setCurrentPosition(frame);
        ASSERT_TRUE(WaitFor([&] { return !player().isSeeking() && player().frameOnScreen() == frame; }));
    }
    std::string cell(int column, int row) { return std::string(editor.table().cell(column, row)); }
    std::vector<int64_t> cutsWith(std::vector<int64_t> more, std::vector<int64_t> less = {})
    {
        std::vector<int64_t> cuts = film.cuts;
        cuts.insert(cuts.end(), more.begin(), more.end());
        for (int64_t cut : less)
            cuts.erase(std::remove(cuts.begin(), cuts.end(), cut), cuts.end());
        std::sort(cuts.begin(), cuts.end());
        return cuts;
    }

    ShotFilm film = MakeShotFilm("25", "mp4");
    TempDir folders;
    RecordingMessages messages;
    ScriptedVideoDialog dialog;
    Editor editor { overrides(), CreateMovieWindow };
    MainWindow& window = editor.mainWindow();
};

// The cut's colour: magenta, far from the sound's green and the regions' blue.
bool CutColour(QRgb pixel) { return qRed(pixel) > 180 && qBlue(pixel) > 180 && qGreen(pixel) < 150; }

} // namespace

TEST_F(ShotWiringTest, FindsTheFilmsCutsDrawsThemAndShowsThemAtOnceNextTime)
{
    EXPECT_EQ(shots().cuts(), film.cuts);
    EXPECT_EQ(shots().bar().count().text(), "5 shot changes");
    EXPECT_FALSE(shots().bar().stopOrFind().isVisible());
    const QImage shot = view().grab().toImage();
    for (int64_t cut : film.cuts) {
        EXPECT_TRUE(CutColour(shot.pixel(at(double(cut), 2)))) << cut; // the handle in the ruler
        EXPECT_TRUE(CutColour(shot.pixel(at(double(cut), view().height() - 4)))) << cut; // and the line
    }
    EXPECT_FALSE(CutColour(shot.pixel(at(65, view().height() - 4))));
    EXPECT_FALSE(shots().source().fromCache());

    ASSERT_TRUE(open(SoundClip().toStdString()));
    EXPECT_TRUE(shots().cuts().empty()); // a test picture with no cuts
    ASSERT_TRUE(open(film.path));
    EXPECT_TRUE(shots().source().fromCache());
    EXPECT_EQ(shots().cuts(), film.cuts);
}

TEST_F(ShotWiringTest, HandEditsAreUndoStepsKeptForTheFilm)
{
    EditHistory& history = editor.history();
    emit view().cutAdded(60);
    EXPECT_EQ(shots().cuts(), cutsWith({ 60 }));
    EXPECT_EQ(history.undoName(), "Add shot change");
    drag(at(90, 5), at(95, 5)); // by its handle in the ruler
    EXPECT_EQ(shots().cuts(), cutsWith({ 60, 95 }, { 90 }));
    EXPECT_EQ(history.undoName(), "Move shot change");
    emit view().cutRemoved(130);
    EXPECT_EQ(shots().cuts(), cutsWith({ 60, 95 }, { 90, 130 }));
    history.undo();
    history.undo();
    EXPECT_EQ(shots().cuts(), cutsWith({ 60 }));
    history.redo();
    EXPECT_EQ(shots().cuts(), cutsWith({ 60, 95 }, { 90 }));
    // Another sensitivity finds the same cuts here; the edits stay over them.
    shots().bar().sensitivity().setValue(70);
    EXPECT_EQ(shots().cuts(), cutsWith({ 60, 95 }, { 90 }));
    EXPECT_EQ(QSettings(ShotSettingsFile(), QSettings::IniFormat).value("sensitivity").toInt(), 70);

    // The film opened again, after another: the edits are there.
    ASSERT_TRUE(open(SoundClip().toStdString()));
    ASSERT_TRUE(open(film.path));
    EXPECT_EQ(shots().cuts(), cutsWith({ 60, 95 }, { 90 }));

    // A list stands for the found cuts; out as frames or times.
    TempDir dir;
    WriteFile(dir.path("cuts.txt"), "# from elsewhere\n50\n00:00:08.000\n");
    shots().importList(QString::fromStdString(dir.path("cuts.txt")));
    EXPECT_EQ(shots().cuts(), (std::vector<int64_t> { 50, 200 }));
    shots().exportList(QString::fromStdString(dir.path("frames.txt")), false);
    EXPECT_EQ(ReadFile(dir.path("frames.txt")), "50\n200\n");
    shots().exportList(QString::fromStdString(dir.path("times.txt")), true);
    EXPECT_EQ(ReadFile(dir.path("times.txt")), "00:00:02.000\n00:00:08.000\n");
    shots().discardEdits();
    EXPECT_EQ(shots().cuts(), film.cuts);
    history.undo();
    EXPECT_EQ(shots().cuts(), (std::vector<int64_t> { 50, 200 }));
}

TEST_F(ShotWiringTest, EdgesAndTimingKeysSnapToACutNearbyUnlessTold)
{
    Fill(editor.table(), { { "30", "60", "one" }, { "70", "120", "two" } });
    editor.history().clear(true);
    drag(at(70), at(88)); // two frames short of the cut at 90
    EXPECT_EQ(cell(0, 2), "90");
    drag(at(90), at(88), Qt::ShiftModifier);
    EXPECT_EQ(cell(0, 2), "88");
    drag(at(61), at(85)); // an end 6 frames before the cut at 90: out of reach (4 frames at 25 fps)
    EXPECT_EQ(cell(1, 1), "84");
    drag(at(85), at(87)); // 4 frames: it leaves on the cut
    EXPECT_EQ(cell(1, 1), "90");

    editor.mainWindow().grid().selectCell(0, 2);
    TimingKeys& keys = *editor.timingKeys();
    showFrame(127);
    keys.setStart();
    EXPECT_EQ(cell(0, 2), "130");
    keys.setStart(false); // Ctrl+Shift+F8
    EXPECT_EQ(cell(0, 2), "127");
    keys.nudgeStart(-1); // away from the cut: one frame
    EXPECT_EQ(cell(0, 2), "126");
    keys.nudgeStart(1); // towards it: onto it
    EXPECT_EQ(cell(0, 2), "130");
    showFrame(178);
    keys.setEnd();
    EXPECT_EQ(cell(1, 2), "180");
    shots().setSnapping(false);
    EXPECT_FALSE(shots().bar().snap().isChecked());
    keys.setEnd();
    EXPECT_EQ(cell(1, 2), "178");
}

TEST_F(ShotWiringTest, TheReadingPageFixesStartsAndEndsNearTheFilmsCuts)
{
    // A start 3 frames before the cut at 40, an end 5 frames before the cut at 180.
    Fill(editor.table(), { { "37", "80", "Hello" }, { "100", "175", "there" } });
    ReadingPage& page = window.readingPage();
    EXPECT_EQ(page.shotChanges(25), film.cuts);
    EXPECT_EQ(page.shotChanges(50), (std::vector<int64_t> { 80, 180, 260, 360, 460 }));
    page.framerate()->setCurrentText("25");
    page.autoFix()->setChecked(true);
    page.go()->click();
    EXPECT_EQ(cell(0, 1), "40");
    EXPECT_EQ(cell(1, 2), "178"); // 2 frames before the cut
}
