#include "app/editor.h"
#include "app/file_buttons.h"
#include "app/main_window.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "app/subtitle_model.h"
#include "app/waveform_wiring.h"
#include "audio/waveform_source.h"
#include "clips.h"
#include "fakes.h"
#include "preview/movie_window.h"
#include "preview/video_dialog.h"
#include "preview/waveform_view.h"
#include "preview/waveform_window.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <cmath>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::Fill;
using tessel::test::WaitFor;

namespace {

struct MovieDialog : OpenFileDialog {
    QString answer;
    std::optional<QString> Execute(const QString&, const QStringList&) override { return answer; }
};

// The editor with the sound clip open and its whole length in view: four
// seconds across 600 pixels, 6 pixels a frame.
class WaveformWiringTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_CLIPS();
        window.move(40, 40);
        window.show();
        Fill(
            editor.table(), { { "25", "37", "first burst" }, { "60", "72", "second burst" }, { "80", "90", "quiet" } });
        editor.history().clear(true);
        ASSERT_TRUE(open(tessel::test::SoundClip()));
        ASSERT_TRUE(WaitFor([&] { return !waveform().source().busy(); }));
        waveform().resize(600, 200);
        ASSERT_TRUE(WaitFor([&] { return view().width() == 600; }));
        view().showWholeFilm();
    }

    bool open(const QString& movie)
    {
        dialog.answer = movie;
        window.fileButtons().openMovie()->click();
        return WaitFor([&] { return player().isOpen() && player().fileName() == movie; });
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
        EditorOverrides o { &messages, nullptr, nullptr, nullptr, nullptr, ',' };
        o.videoDialog = &dialog;
        return o;
    }
    VideoPlayer& player() { return qobject_cast<TFormMovie*>(editor.movieWindow())->videoPlayer(); }
    WaveformWindow& waveform() { return editor.waveform()->window(); }
    WaveformView& view() { return waveform().view(); }
    int settledFrame()
    {
        return WaitFor([&] { return !player().isSeeking(); }) ? player().frameOnScreen() : -1;
    }
    QPoint at(double frame, int y = WaveformView::RulerHeight + 20)
    {
        return QPoint(static_cast<int>(std::lround(view().xOfFrame(frame))), y);
    }
    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(&view(), Qt::LeftButton, {}, from);
        for (int i = 1; i <= 4; ++i)
            QTest::mouseMove(&view(), from + (to - from) * i / 4);
        QTest::mouseRelease(&view(), Qt::LeftButton, {}, to);
    }
    std::string cell(int column, int row) { return std::string(editor.table().cell(column, row)); }
    QString memo() { return qobject_cast<TFormMovie*>(editor.movieWindow())->subtitleMemo().text(); }

    RecordingMessages messages;
    MovieDialog dialog;
    Editor editor { overrides(), CreateMovieWindow };
    MainWindow& window = editor.mainWindow();
    SubtitleGrid& grid = window.grid();
};

// Green: the peaks and their level; dark blue-grey: nothing there.
bool Sounding(QRgb pixel) { return qGreen(pixel) > 100 && qGreen(pixel) > qRed(pixel) + 30; }

} // namespace

TEST_F(WaveformWiringTest, OpensBelowTheMainWindowWithTheMoviesSound)
{
    EXPECT_TRUE(waveform().isVisible());
    EXPECT_EQ(waveform().windowTitle(), "Waveform");
    EXPECT_GE(waveform().geometry().top(), window.geometry().bottom());
    EXPECT_EQ(waveform().source().decodedMilliseconds(), 4000);
    EXPECT_FALSE(waveform().message().isVisible());
    EXPECT_DOUBLE_EQ(view().msPerPixel(), 4000.0 / 600);

    // Sound only within the bursts (1.000-1.520 s and 2.400-2.920 s).
    const QImage shot = view().grab().toImage();
    const int middle = (WaveformView::RulerHeight + view().height()) / 2;
    for (int ms : { 1100, 1500, 2500, 2900 })
        EXPECT_TRUE(Sounding(shot.pixel(ms * 600 / 4000, middle - 10))) << ms;
    for (int ms : { 500, 980, 1560, 2000, 2360, 2960, 3500 })
        EXPECT_FALSE(Sounding(shot.pixel(ms * 600 / 4000, middle - 10))) << ms;
    // The current row stands out from the others, below the peaks (however
    // much room the window's controls leave the view).
    const int top = view().height() - 6;
    grid.selectCell(0, 2);
    const QImage current = view().grab().toImage();
    EXPECT_NE(current.pixel(at(66).x(), top), current.pixel(at(31).x(), top));
    EXPECT_EQ(current.pixel(at(31).x(), top), current.pixel(at(85).x(), top));
}

TEST_F(WaveformWiringTest, AClickSeeksTheMovie)
{
    QTest::mouseClick(&view(), Qt::LeftButton, {}, at(50.5));
    EXPECT_EQ(settledFrame(), 50);
    QTest::mouseClick(&view(), Qt::LeftButton, {}, at(12.5, view().height() - 5));
    EXPECT_EQ(settledFrame(), 12);
}

TEST_F(WaveformWiringTest, DraggingAnEdgeRetimesTheRowInOneUndoStep)
{
    player().setCurrentPosition(45); // between the first two rows
    EXPECT_EQ(settledFrame(), 45);
    drag(at(38), at(50)); // the first row's end: it shows frames 25 to 37
    EXPECT_EQ(cell(1, 1), "49");
    EXPECT_EQ(grid.subtitleModel().index(0, 1).data().toString(), "49");
    EXPECT_EQ(memo(), "first burst\n\n");
    EXPECT_EQ(editor.history().undoCount(), 1u);
    EXPECT_EQ(editor.history().undoName(), "Move end");
    drag(at(60), at(52.2)); // the second row's start, snapped to a frame
    EXPECT_EQ(cell(0, 2), "52");
    drag(at(52), at(90)); // never past its own end
    EXPECT_EQ(cell(0, 2), "72");
    EXPECT_EQ(editor.history().undoCount(), 3u);
    editor.history().undo();
    editor.history().undo();
    EXPECT_EQ(cell(0, 2), "60");
    editor.history().undo();
    EXPECT_EQ(cell(1, 1), "37");
    EXPECT_TRUE(WaitFor([&] { return memo().isEmpty(); })); // by the next timer event
}

TEST_F(WaveformWiringTest, CtrlZAndCtrlYUndoAndRedoInTheWindow)
{
    drag(at(38), at(50));
    drag(at(60), at(52.2));
    ASSERT_EQ(cell(1, 1) + " " + cell(0, 2), "49 52");
    QApplication::setActiveWindow(&waveform());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&waveform()));
    QTest::keyClick(&view(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cell(1, 1) + " " + cell(0, 2), "49 60");
    QTest::keyClick(&view(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cell(1, 1) + " " + cell(0, 2), "37 60");
    QTest::keyClick(&view(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(cell(1, 1) + " " + cell(0, 2), "49 60");
    QTest::keyClick(&view(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(cell(1, 1) + " " + cell(0, 2), "49 52");
    EXPECT_EQ(grid.currentTableRow(), 2); // the row redone is current, as on the grid
}

TEST_F(WaveformWiringTest, TheWheelZoomsBetweenTheWholeFilmAndASecond)
{
    const double whole = view().msPerPixel();
    const QPoint centre(300, 100);
    auto wheel = [&](int delta) {
        QWheelEvent event(centre, view().mapToGlobal(centre), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view(), &event);
    };
    wheel(120);
    EXPECT_DOUBLE_EQ(view().msPerPixel(), whole / 1.25);
    EXPECT_NEAR(view().viewStart() + 300 * view().msPerPixel(), 2000, 1e-6); // the time under the mouse stays
    for (int i = 0; i < 20; ++i)
        wheel(120);
    EXPECT_DOUBLE_EQ(view().msPerPixel(), 1000.0 / 600);
    for (int i = 0; i < 20; ++i)
        wheel(-120);
    EXPECT_DOUBLE_EQ(view().msPerPixel(), whole);
    EXPECT_EQ(view().viewStart(), 0);
}

TEST_F(WaveformWiringTest, ADoubleClickMakesARegionsRowCurrent)
{
    QTest::mouseDClick(&view(), Qt::LeftButton, {}, at(66));
    EXPECT_EQ(grid.currentTableRow(), 2);
    EXPECT_EQ(settledFrame(), 60); // as a click on the row in the grid
    EXPECT_EQ(view().currentRow(), 2);
}

TEST_F(WaveformWiringTest, ClosedItComesBackWithF4OrTheNextMovie)
{
    waveform().close();
    EXPECT_FALSE(waveform().isVisible());
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_F4);
    EXPECT_TRUE(waveform().isVisible());
    waveform().close();
    ASSERT_TRUE(open(tessel::test::Clip25())); // no sound in this one
    EXPECT_TRUE(waveform().isVisible());
    ASSERT_TRUE(WaitFor([&] { return !waveform().source().busy(); }));
    EXPECT_TRUE(waveform().message().isVisible());
    EXPECT_EQ(waveform().message().text(), "No audio track");
}

// The three windows on a screen, the Waveform window under the main window
// with a film's sound and its subtitles. Runs only on an X screen (under
// xvfb-run with a window manager, QT_QPA_PLATFORM=xcb); TESSEL_SCREENSHOT
// names the picture file to write.
TEST(WaveformOnScreen, UnderTheMainWindowWithoutTakingTheFocus)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X screen";
    if (!tessel::test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    qunsetenv("TESSEL_MPV_VO");
    qputenv("TESSEL_MPV_AO", "null");
    tessel::test::TempDir folder;
    // Twenty seconds of noise that swells and fades like speech.
    const QString film = QString::fromStdString(folder.path("film.mkv"));
    ASSERT_EQ(QProcess::execute("ffmpeg",
                  { "-loglevel", "error", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25:d=20", "-f", "lavfi", "-i",
                      "anoisesrc=r=48000:c=pink:a=0.5:d=20", "-filter_complex",
                      "[1]volume='0.1+0.9*gt(sin(2*PI*t/5.3)\\,-0.2)*abs(sin(2*PI*t*0.7))':eval=frame[a]", "-map",
                      "0:v", "-map", "[a]", "-c:v", "mjpeg", "-c:a", "pcm_s16le", film }),
        0);
    const std::string subtitles = folder.path("film.sub");
    tessel::test::WriteFile(subtitles,
        "{2}{68}Good evening.\n{130}{201}The waveform shows|where the words are.\n{263}{333}Drag an edge|to retime.\n"
        "{395}{466}Good night.\n");
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    RecordingMessages messages;
    ScriptedFileDialogs files;
    files.openAnswers.push_back(QString::fromStdString(subtitles));
    MovieDialog video;
    video.answer = film;
    EditorOverrides overrides { &messages, nullptr, &files };
    overrides.videoDialog = &video;
    Editor editor(overrides, CreateMovieWindow);
    MainWindow& window = editor.mainWindow();
    auto& movie = *qobject_cast<TFormMovie*>(editor.movieWindow());
    window.move(20, 20);
    window.show();
    movie.move(window.frameGeometry().right() + 20, 20);
    window.fileButtons().openSubtitles()->click();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.fileButtons().openMovie()->click();
    WaveformWindow& waveform = editor.waveform()->window();
    ASSERT_TRUE(WaitFor([&] { return waveform.isVisible() && !waveform.source().busy(); }));
    EXPECT_EQ(waveform.source().decodedMilliseconds(), 20000);
    EXPECT_GE(waveform.frameGeometry().top(), window.frameGeometry().bottom());
    QTest::qWait(300);
    EXPECT_EQ(QApplication::activeWindow(), &window); // the keys still go to the grid
    movie.ZoomMovie(100);
    window.grid().selectCell(0, 2);
    waveform.view().showWholeFilm();
    movie.videoPlayer().setCurrentPosition(150);
    ASSERT_TRUE(WaitFor([&] { return !movie.videoPlayer().isSeeking(); }));
    QTest::qWait(600); // the picture, the labels and the line reach the screen
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    ASSERT_FALSE(screen.isNull());
    const QRect all = window.frameGeometry()
                          .united(movie.frameGeometry())
                          .united(waveform.frameGeometry())
                          .adjusted(-20, -20, 20, 20);
    const QString file = qEnvironmentVariable("TESSEL_SCREENSHOT");
    if (!file.isEmpty()) {
        EXPECT_TRUE(screen.copy(all.intersected(screen.rect())).save(file));
    }
    EXPECT_TRUE(messages.messages.empty());
}
