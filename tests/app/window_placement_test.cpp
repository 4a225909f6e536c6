// Sizes and places as a window manager frames them. These run on an X screen
// with a window manager only (CTest runs them through tests/with-window-manager)
// and skip elsewhere.
#include "app/check_dialog.h"
#include "app/editor.h"
#include "app/export_dialog.h"
#include "app/file_dialogs.h"
#include "app/framerate_prompt.h"
#include "app/main_window.h"
#include "app/placement.h"
#include "app/playback_wiring.h"
#include "app/recovery_wiring.h"
#include "clips.h"
#include "window_fakes.h"

#include <QDialog>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <functional>
#include <map>
#include <optional>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

constexpr int Settling = 10000; // ms for the window manager to frame and place a window, on a busy machine

bool framed(const QWidget& window) { return window.frameGeometry() != window.geometry(); }

// Where a dialog stands once framed, and where its rule puts it.
struct Placed {
    QRect frame;
    QPoint wanted;
};

QMargins reportedFrame(const QWidget& window)
{
    const QRect frame = window.frameGeometry(), client = window.geometry();
    return { client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
        frame.bottom() - client.bottom() };
}

// Qt reports a window's frame when it is first framed, but may forget it when
// the window is shown again: from then on the frame is the one seen first.
class FrameWitness {
public:
    Placed settle(QWidget& dialog, const QWidget& mainWindow, QPoint (*rule)(const QRect&, const QSize&))
    {
        const auto frame = [&]() -> std::optional<QRect> {
            const QMargins reported = reportedFrame(dialog);
            if (!reported.isNull()) seen_[&dialog] = reported;
            const auto known = seen_.find(&dialog);
            if (known == seen_.end()) return std::nullopt;
            return dialog.geometry().marginsAdded(known->second);
        };
        const auto wanted = [&](const QRect& outer) { return rule(mainWindow.frameGeometry(), outer.size()); };
        static_cast<void>(QTest::qWaitFor(
            [&] {
                const std::optional<QRect> outer = frame();
                return outer && outer->topLeft() == wanted(*outer);
            },
            Settling));
        const QRect outer = frame().value_or(dialog.geometry());
        return { outer, wanted(outer) };
    }

private:
    std::map<const QWidget*, QMargins> seen_;
};

class UnderAWindowManager : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_WINDOW_MANAGER(); }
    RecordingMessages messages;
};

// On the screen the movie window was reported on.
class MovieWindowOn1600x1000 : public UnderAWindowManager {
protected:
    void SetUp() override
    {
        UnderAWindowManager::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (QGuiApplication::primaryScreen()->geometry().size() != QSize(1600, 1000))
            GTEST_SKIP() << "needs a 1600x1000 screen";
    }
};

} // namespace

// The window manager chooses where the main window goes; the movie window
// comes beside it, to its right on this screen, tops level, and both have
// their sizes with the frame.
TEST_F(UnderAWindowManager, MainAndMovieWindowsHaveTheirOuterSizesAndStandTogether)
{
    Editor editor(EditorOverrides { &messages }, CreateMovieWindow);
    MainWindow& window = editor.mainWindow();
    QWidget& movie = *editor.movieWindow();
    window.show();
    const auto together = [&] {
        return framed(window) && framed(movie) && window.frameGeometry().size() == QSize(600, 449)
            && movie.frameGeometry().size() == QSize(240, 220)
            && movie.frameGeometry().topLeft() == window.frameGeometry().topRight() + QPoint(1, 0);
    };
    ASSERT_TRUE(QTest::qWaitFor(together, Settling)) << "main " << ::testing::PrintToString(window.frameGeometry())
                                                     << ", movie " << ::testing::PrintToString(movie.frameGeometry());
    EXPECT_NE(window.frameGeometry().topLeft(), QPoint(0, 0)) << "the window manager left the main window at 0,0";

    window.resize(100, 100);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.frameGeometry().size() == QSize(600, 400); }, Settling))
        << ::testing::PrintToString(window.frameGeometry());

    // From here on the movie window follows the main window.
    const QPoint movieBefore = movie.frameGeometry().topLeft();
    window.move(window.frameGeometry().topLeft() + QPoint(30, 10));
    EXPECT_TRUE(QTest::qWaitFor([&] { return movie.frameGeometry().topLeft() == movieBefore + QPoint(30, 10); }))
        << ::testing::PrintToString(movie.frameGeometry());
    EXPECT_TRUE(messages.messages.empty());
}

// To the right where there is room; where the right has none the movie window
// goes to the left, and where neither side has, below; never over the
// controls, never off the work area.
TEST_F(MovieWindowOn1600x1000, TheMovieWindowGoesLeftOrBelowWhereTheRightHasNoRoom)
{
    {
        Editor editor(EditorOverrides { &messages }, CreateMovieWindow);
        MainWindow& window = editor.mainWindow();
        QWidget& movie = *editor.movieWindow();
        window.move(200, 150);
        window.show();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return framed(window) && framed(movie)
                    && movie.frameGeometry().topLeft() == window.frameGeometry().topRight() + QPoint(1, 0);
            },
            Settling))
            << "right: main " << ::testing::PrintToString(window.frameGeometry()) << ", movie "
            << ::testing::PrintToString(movie.frameGeometry());
    }
    for (const bool wide : { false, true }) {
        Editor editor(EditorOverrides { &messages }, CreateMovieWindow);
        MainWindow& window = editor.mainWindow();
        QWidget& movie = *editor.movieWindow();
        const QRect area = window.screen()->availableGeometry();
        if (wide)
            window.setGeometry(area.left() + 100, area.top() + 60, area.width() - 200, 449);
        else
            window.move(area.right() - 700, area.top() + 60);
        window.show();
        const auto placed = [&] {
            const QRect main = window.frameGeometry(), beside = movie.frameGeometry();
            const QPoint wanted = wide ? main.bottomLeft() + QPoint(0, 1) : main.topLeft() - QPoint(beside.width(), 0);
            // The size goes to the frame when the window manager has told it
            // by then, else to the client (a loaded machine).
            const bool sized = beside.size() == QSize(240, 220) || movie.size() == QSize(240, 220);
            return framed(window) && framed(movie) && beside.topLeft() == wanted && sized;
        };
        EXPECT_TRUE(QTest::qWaitFor(placed, Settling))
            << (wide ? "below" : "left") << ": main " << ::testing::PrintToString(window.frameGeometry()) << ", movie "
            << ::testing::PrintToString(movie.frameGeometry()) << " client "
            << ::testing::PrintToString(movie.geometry());
        EXPECT_TRUE(area.contains(movie.frameGeometry())) << ::testing::PrintToString(movie.frameGeometry());
        EXPECT_FALSE(movie.frameGeometry().intersects(window.frameGeometry()));
    }
    EXPECT_TRUE(messages.messages.empty());
}

// Every modal dialog comes up above the always-on-top movie window, even where
// the two overlap: what the screen shows in the dialog's middle is the dialog.
TEST_F(MovieWindowOn1600x1000, ModalDialogsStandAboveTheMovieWindow)
{
    QtMessages boxes;
    Editor editor(EditorOverrides { &boxes }, CreateMovieWindow);
    MainWindow& window = editor.mainWindow();
    QWidget& movie = *editor.movieWindow();
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return framed(window) && framed(movie); }, Settling));
    struct Shown {
        QString name;
        bool above = false;
    };
    const auto checkAbove
        = [&](const char* name, const std::function<void(QWidget*)>& close, const std::function<void()>& open) {
              Shown shown;
              WhenModal(QString(), [&](QWidget* dialog) {
                  shown.name = dialog->objectName();
                  static_cast<void>(QTest::qWaitFor([&] { return framed(*dialog); }, Settling));
                  movie.move(dialog->geometry().center() - QPoint(movie.width() / 2, movie.height() / 2));
                  // The movie window is black: the screen must show the dialog's own middle.
                  const QRect middle(dialog->rect().center() - QPoint(10, 10), QSize(20, 20));
                  shown.above = QTest::qWaitFor(
                      [&] {
                          const QPoint at = dialog->mapToGlobal(middle.topLeft());
                          const QImage own = dialog->grab(middle).toImage().convertToFormat(QImage::Format_RGB32);
                          const QImage screen = dialog->screen()
                                                    ->grabWindow(0, at.x(), at.y(), middle.width(), middle.height())
                                                    .toImage()
                                                    .convertToFormat(QImage::Format_RGB32);
                          return movie.frameGeometry().contains(dialog->mapToGlobal(dialog->rect().center()))
                              && screen == own;
                      },
                      3000);
                  close(dialog);
              });
              open();
              EXPECT_TRUE(shown.above) << name << " (" << shown.name.toStdString() << ")";
          };
    const auto reject = [](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); };
    checkAbove(
        "an error message", reject, [&] { editor.messages().showError(QStringLiteral("Unknow subtitles format.")); });
    checkAbove("the save dialog", reject, [&] { editor.platformFileDialogs().chooseSaveFile(); });
    checkAbove("the recovery question", reject, [&] {
        QtRecoveryQuestions().askRecover(
            RecoveryQuestion.arg(QStringLiteral("\"offset.srt\""), QStringLiteral("now")).arg(3));
    });
    checkAbove(
        "the framerate prompt", [](QWidget* dialog) { Child<QPushButton>(*dialog, "Button1")->click(); },
        [&] { editor.frameratePrompt().ChooseFramerate(FramerateCaption, FrameratePrompt); });
}

// The framerate prompt and the export settings stand in the middle of the
// main window, the check dialog a third down, by their sizes with the frame,
// also on their first showing, when the frame comes only after the dialog.
TEST_F(UnderAWindowManager, DialogsArePlacedByTheirFramesAtTheirFirstShowing)
{
    Editor editor(EditorOverrides { &messages });
    MainWindow& window = editor.mainWindow();
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return framed(window); }, Settling));

    FrameWitness witness;
    for (int showing = 1; showing <= 3; ++showing) {
        Placed prompt;
        WhenModal(QStringLiteral("FormChooseFPS"), [&](QWidget* dialog) {
            prompt = witness.settle(*dialog, window, CentredOver);
            Child<QPushButton>(*dialog, "Button1")->click();
        });
        editor.frameratePrompt().ChooseFramerate(FramerateCaption, FrameratePrompt);
        EXPECT_EQ(prompt.frame.topLeft(), prompt.wanted) << showing << ": " << ::testing::PrintToString(prompt.frame);

        Placed check;
        WhenModal(QStringLiteral("FormCheck"), [&](QWidget* dialog) {
            check = witness.settle(*dialog, window, ThirdDownOver);
            Child<QPushButton>(*dialog, "BtnIgnore")->click();
        });
        CheckWindow rows;
        rows.rowsFilled = 1;
        editor.checkDialog().Exec(rows, QStringLiteral("This subtitle is visible for too short time."), false);
        EXPECT_EQ(check.frame.topLeft(), check.wanted) << showing << ": " << ::testing::PrintToString(check.frame);

        Placed settings;
        WhenModal(QStringLiteral("FormSSAExport"), [&](QWidget* dialog) {
            settings = witness.settle(*dialog, window, CentredOver);
            Child<QPushButton>(*dialog, "Button1")->click();
        });
        editor.exportDialog().AskExportSettings();
        EXPECT_EQ(settings.frame.height(), ExportDialog::CompactHeight) << showing;
        EXPECT_EQ(settings.frame.topLeft(), settings.wanted)
            << showing << ": " << ::testing::PrintToString(settings.frame);
    }
    EXPECT_TRUE(messages.messages.empty());
}
