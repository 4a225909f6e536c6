// Windows kept on the screen and in their places from one run to the next.
// The on-screen tests run on a 1600x1000 X screen with a window manager
// (CTest runs them through tests/with-window-manager) and skip elsewhere.
#include "app/command_palette.h"
#include "app/commands.h"
#include "app/editor.h"
#include "app/main_window.h"
#include "app/playback_wiring.h"
#include "app/waveform_wiring.h"
#include "app/window_places.h"
#include "fakes.h"
#include "preview/waveform_window.h"
#include "window_fakes.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

// Hand-worked: an 800x600 work area from (0, 30), as under a top panel.
const QRect Area(0, 30, 800, 600);

TEST(WindowPlaces, FitInsideMovesAndShrinksIntoTheArea)
{
    const struct {
        QRect outer, fitted;
    } cases[] = {
        { { 100, 100, 300, 200 }, { 100, 100, 300, 200 } }, // inside: as it is
        { { 600, 500, 300, 200 }, { 500, 430, 300, 200 } }, // past the right and the bottom
        { { -50, 0, 300, 200 }, { 0, 30, 300, 200 } }, // past the left and under the panel
        { { 100, 100, 1000, 700 }, { 0, 30, 800, 600 } }, // larger than the area
        { { 2000, 2000, 100, 100 }, { 700, 530, 100, 100 } }, // on a screen gone
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitInside(c.outer, Area), c.fitted) << ::testing::PrintToString(c.outer);
    EXPECT_EQ(FitInside(QRect(5, 5, 10, 10), QRect()), QRect(5, 5, 10, 10)) << "no area: nothing to fit";
}

constexpr int Settling = 10000; // ms for the window manager to frame and place a window

bool inside(const QRect& outer, const QRect& area) { return area.contains(outer); }

class UnderAWindowManagerOn1600x1000 : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_WINDOW_MANAGER();
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen->geometry().size() != QSize(1600, 1000)) GTEST_SKIP() << "needs a 1600x1000 screen";
        area = screen->availableGeometry();
        newState();
    }
    // A run of the editor on a fresh state folder: nothing remembered.
    void newState()
    {
        state = std::make_unique<QTemporaryDir>();
        qputenv("XDG_STATE_HOME", state->path().toUtf8());
    }
    static bool framed(const QWidget& window)
    {
        const QRect frame = ManagerFrame(window);
        return frame != window.geometry() && frame.contains(window.geometry());
    }
    // The editor's main window shown with its frame's top-left at `where`.
    static bool showMainAt(MainWindow& window, QPoint where)
    {
        window.show();
        // Framed, then given its outer size.
        if (!QTest::qWaitFor([&] { return framed(window) && ManagerFrame(window).height() == 449; }, Settling))
            return false;
        window.move(where);
        return QTest::qWaitFor([&] { return ManagerFrame(window).topLeft() == where; }, Settling);
    }
    static WaveformWindow& openWaveform(Editor& editor)
    {
        editor.waveform()->showWindow(false);
        WaveformWindow& waveform = editor.waveform()->window();
        static_cast<void>(QTest::qWaitFor([&] { return framed(waveform); }, Settling));
        return waveform;
    }

    RecordingMessages messages;
    std::unique_ptr<QTemporaryDir> state;
    QRect area;
};

} // namespace

// Wherever the main window stands, the Waveform window opens whole on the
// screen: below the main window, above it when there is no room below, and
// never over the bottom edge (where its scroll bar was out of reach).
TEST_F(UnderAWindowManagerOn1600x1000, TheWaveformWindowOpensInsideTheWorkArea)
{
    for (const int top : { 40, 330, 560 }) {
        newState();
        Editor editor(EditorOverrides { &messages }, CreateMovieWindow);
        MainWindow& window = editor.mainWindow();
        ASSERT_TRUE(showMainAt(window, QPoint(200, top))) << ::testing::PrintToString(ManagerFrame(window));
        const QRect main = ManagerFrame(window);
        WaveformWindow& waveform = openWaveform(editor);
        const auto below = [&] {
            const QRect outer = ManagerFrame(waveform);
            return inside(outer, area) && !outer.intersects(main) && outer.left() == main.left()
                && outer.width() == main.width();
        };
        EXPECT_TRUE(QTest::qWaitFor(below, Settling));
        const QRect outer = ManagerFrame(waveform);
        EXPECT_TRUE(inside(outer, area)) << top << ": " << ::testing::PrintToString(outer) << " in "
                                         << ::testing::PrintToString(area);
        EXPECT_FALSE(outer.intersects(main)) << top << ": " << ::testing::PrintToString(outer);
        EXPECT_EQ(outer.left(), main.left()) << top;
        EXPECT_EQ(outer.width(), main.width()) << top;
        EXPECT_EQ(waveform.height(), 200) << top;
    }
    EXPECT_TRUE(messages.messages.empty());
}

// Moved and resized by the user, it comes back there in the next run; a
// remembered place partly off the screen comes back on it.
TEST_F(UnderAWindowManagerOn1600x1000, TheWaveformWindowComesBackWhereItWasLeft)
{
    const QRect left(300, 120, 900, 260);
    {
        Editor editor(EditorOverrides { &messages }, CreateMovieWindow);
        ASSERT_TRUE(showMainAt(editor.mainWindow(), QPoint(100, 450)));
        WaveformWindow& waveform = openWaveform(editor);
        const QRect frame = ManagerFrame(waveform), client = waveform.geometry();
        const QRect moved = left.adjusted(client.left() - frame.left(), client.top() - frame.top(),
            client.right() - frame.right(), client.bottom() - frame.bottom());
        waveform.setGeometry(moved);
        // As the user leaves it: the window manager and the window agree.
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return ManagerFrame(waveform) == left && waveform.geometry() == moved; }, Settling))
            << ::testing::PrintToString(ManagerFrame(waveform));
        waveform.close();
    }
    {
        Editor editor(EditorOverrides { &messages }, CreateMovieWindow);
        ASSERT_TRUE(showMainAt(editor.mainWindow(), QPoint(100, 450)));
        WaveformWindow& waveform = openWaveform(editor);
        EXPECT_TRUE(QTest::qWaitFor([&] { return ManagerFrame(waveform) == left; }, Settling))
            << ::testing::PrintToString(ManagerFrame(waveform));
    }

    QSettings(WindowPlacesFile(), QSettings::IniFormat).setValue("waveform/client", QRect(1300, 900, 698, 275));
    Editor editor(EditorOverrides { &messages }, CreateMovieWindow);
    ASSERT_TRUE(showMainAt(editor.mainWindow(), QPoint(100, 100)));
    WaveformWindow& waveform = openWaveform(editor);
    EXPECT_TRUE(QTest::qWaitFor([&] { return inside(ManagerFrame(waveform), area); }, Settling));
    const QRect outer = ManagerFrame(waveform);
    EXPECT_TRUE(inside(outer, area)) << ::testing::PrintToString(outer);
    EXPECT_EQ(waveform.size(), QSize(698, 275));
    EXPECT_TRUE(messages.messages.empty());
}

// Over a main window in the lower right corner the palette opens whole on the screen.
TEST_F(UnderAWindowManagerOn1600x1000, ThePaletteOpensInsideTheWorkArea)
{
    Editor editor(EditorOverrides { &messages });
    ASSERT_TRUE(showMainAt(editor.mainWindow(), QPoint(990, 545)));
    ASSERT_TRUE(editor.commands().run(QStringLiteral("palette")));
    auto* palette = editor.mainWindow().findChild<CommandPalette*>();
    ASSERT_NE(palette, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return framed(*palette) && inside(ManagerFrame(*palette), area); }, Settling))
        << ::testing::PrintToString(ManagerFrame(*palette));
}
