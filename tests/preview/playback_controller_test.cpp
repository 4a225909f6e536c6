#include "clips.h"
#include "core/user_prompts.h"
#include "preview/movie_window.h"
#include "preview/playback_controller.h"
#include "preview/video_dialog.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>
#include <cmath>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

// Notes the order in which controls become enabled.
struct EnableOrder : QObject {
    QStringList order;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange && static_cast<QWidget*>(watched)->isEnabled())
            order << watched->objectName();
        return false;
    }
};

template <typename W> W* Named(QWidget* parent, const char* name)
{
    auto* widget = new W(parent);
    widget->setObjectName(QLatin1String(name));
    return widget;
}

class PlaybackControllerTest : public ::testing::Test {
protected:
    PlaybackControllerTest()
    {
        main.move(100, 100);
        c.ButtonOpenMovie = Named<QPushButton>(&main, "ButtonOpenMovie");
        c.BtnPlay = Named<QToolButton>(&main, "BtnPlay");
        c.BtnStop = Named<QToolButton>(&main, "BtnStop");
        c.BtnPlayCurrent = Named<QToolButton>(&main, "BtnPlayCurrent");
        c.TrckBarSpeed = Named<QSlider>(&main, "TrckBarSpeed");
        c.MovieTracker = Named<QSlider>(&main, "MovieTracker");
        c.SeekMovieCheckBox = Named<QCheckBox>(&main, "SeekMovieCheckBox");
        c.AutoSelectCheckBox = Named<QCheckBox>(&main, "AutoSelectCheckBox");
        c.AutoScrollCheckBox = Named<QCheckBox>(&main, "AutoScrollCheckBox");
        c.LabelMovieInfoLength = Named<QLabel>(&main, "LabelMovieInfoLength");
        c.LabelMovieInfoFrames = Named<QLabel>(&main, "LabelMovieInfoFrames");
        c.LabelMovieInfoFPS = Named<QLabel>(&main, "LabelMovieInfoFPS");
        c.LabelMovieInfoSize = Named<QLabel>(&main, "LabelMovieInfoSize");
        movie = std::make_unique<TFormMovie>(&main);
        controller = std::make_unique<PlaybackController>(&main, c, grid, table, *movie, dialog, messages);
    }
    ~PlaybackControllerTest() override { controller.reset(); }

    bool openClip(const QString& file)
    {
        QSignalSpy complete(&player(), &VideoPlayer::openComplete);
        controller->OpenMovie(file);
        return WaitFor([&] { return !complete.isEmpty(); });
    }
    VideoPlayer& player() { return movie->videoPlayer(); }
    long frame() { return std::lround(player().currentPosition()); }
    bool settled()
    {
        return WaitFor([&] { return !player().isSeeking(); });
    }
    QString memo() { return movie->subtitleMemo().text(); }

    QWidget main;
    PlaybackControls c;
    SubtitleTable table;
    FakeGridView grid;
    ScriptedVideoDialog dialog;
    RecordingMessages messages;
    std::unique_ptr<TFormMovie> movie;
    std::unique_ptr<PlaybackController> controller;
};

} // namespace

TEST_F(PlaybackControllerTest, BeforeAnyMovie)
{
    EXPECT_EQ(c.BtnPlay->toolTip(), "Play");
    EXPECT_EQ(c.BtnStop->toolTip(), "Stop");
    EXPECT_EQ(c.BtnPlayCurrent->toolTip(), "Play current subtitle");
    EXPECT_TRUE(c.BtnPlayCurrent->isHidden());
    EXPECT_EQ(c.TrckBarSpeed->toolTip(), "Playback speed (1.0x)");
    EXPECT_EQ(c.TrckBarSpeed->minimum(), 5);
    EXPECT_EQ(c.TrckBarSpeed->maximum(), 15);
    EXPECT_EQ(c.TrckBarSpeed->value(), 10);
    EXPECT_TRUE(c.TrckBarSpeed->isEnabled());
    EXPECT_TRUE(c.ButtonOpenMovie->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*> { c.BtnPlay, c.BtnStop, c.BtnPlayCurrent, c.MovieTracker,
             c.SeekMovieCheckBox, c.AutoSelectCheckBox, c.AutoScrollCheckBox })
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(
        c.SeekMovieCheckBox->isChecked() && c.AutoSelectCheckBox->isChecked() && c.AutoScrollCheckBox->isChecked());
    EXPECT_EQ(c.MovieTracker->maximum(), 0);
    EXPECT_EQ(c.LabelMovieInfoLength->text(), "0:00:00,000");
    EXPECT_EQ(c.LabelMovieInfoSize->text(), "0x0");
}

TEST_F(PlaybackControllerTest, OpeningAMovieFillsMovieInfoAndEnablesThePlaybackControls)
{
    REQUIRE_CLIPS();
    dialog.answer.reset();
    c.ButtonOpenMovie->click();
    EXPECT_EQ(dialog.title, "Open Movie file");
    EXPECT_EQ(dialog.filters, NameFilters(VideoFilterList));
    EXPECT_FALSE(c.BtnPlay->isEnabled());

    EnableOrder enabled;
    for (QObject* w : main.children())
        w->installEventFilter(&enabled);
    dialog.answer = test::Clip25();
    c.ButtonOpenMovie->click();
    ASSERT_TRUE(WaitFor([&] { return c.BtnStop->isEnabled(); }));
    EXPECT_EQ(enabled.order,
        QStringList({ "SeekMovieCheckBox", "AutoSelectCheckBox", "AutoScrollCheckBox", "MovieTracker", "BtnPlay",
            "BtnPlayCurrent", "BtnStop" }));
    EXPECT_EQ(c.LabelMovieInfoLength->text(), "0:00:04,000");
    EXPECT_EQ(c.LabelMovieInfoFrames->text(), "100");
    EXPECT_EQ(c.LabelMovieInfoFPS->text(), "25");
    EXPECT_EQ(c.LabelMovieInfoSize->text(), "320x240");
    EXPECT_EQ(c.MovieTracker->maximum(), 100);
    EXPECT_EQ(c.MovieTracker->value(), 0);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(PlaybackControllerTest, SpeedTrackBarSetsTheRateAndTheHint)
{
    const QString point = QLocale::system().decimalPoint();
    c.TrckBarSpeed->setValue(5);
    EXPECT_EQ(c.TrckBarSpeed->toolTip(), "speed (0" + point + "5x)");
    EXPECT_EQ(player().rate(), 0.5);
    c.TrckBarSpeed->setValue(15);
    EXPECT_EQ(c.TrckBarSpeed->toolTip(), "speed (1" + point + "5x)");
    EXPECT_EQ(player().rate(), 1.5);
}

TEST_F(PlaybackControllerTest, SelectingARowShowsItsTextAndSeeks)
{
    REQUIRE_CLIPS();
    test::Fill(table, { { "40", "60", "first", "A & B" }, { "", "10", "empty" }, { "12a", "20", "bad" } });
    ASSERT_TRUE(openClip(test::Clip25()));
    controller->SubtitleGridSelectCell(2, 1);
    EXPECT_EQ(memo(), "first\nA & B\n");
    EXPECT_EQ(c.MovieTracker->value(), 40);
    ASSERT_TRUE(settled());
    EXPECT_EQ(frame(), 40);

    controller->SubtitleGridSelectCell(0, 3); // no number: nothing changes
    EXPECT_EQ(memo(), "first\nA & B\n");
    EXPECT_EQ(c.MovieTracker->value(), 40);
    EXPECT_EQ(frame(), 40);

    controller->SubtitleGridSelectCell(0, 2); // empty: frame 0
    EXPECT_EQ(memo(), "empty\n\n");
    EXPECT_EQ(c.MovieTracker->value(), 0);
    ASSERT_TRUE(settled());
    EXPECT_EQ(frame(), 0);

    c.SeekMovieCheckBox->setChecked(false);
    controller->SubtitleGridSelectCell(0, 1);
    EXPECT_EQ(memo(), "first\nA & B\n");
    EXPECT_EQ(c.MovieTracker->value(), 0);
    EXPECT_EQ(frame(), 0);

    controller->ShowSubtitleText(3); // an edit in place
    EXPECT_EQ(memo(), "bad\n\n");
}

TEST_F(PlaybackControllerTest, TrackBarSeeksWhenAllowed)
{
    REQUIRE_CLIPS();
    ASSERT_TRUE(openClip(test::Clip25()));
    c.MovieTracker->setValue(70);
    ASSERT_TRUE(settled());
    EXPECT_EQ(frame(), 70);
    c.SeekMovieCheckBox->setChecked(false);
    c.MovieTracker->setValue(20);
    ASSERT_TRUE(settled());
    EXPECT_EQ(frame(), 70);
}

TEST_F(PlaybackControllerTest, PlayCurrentPlaysTheSubtitlesFrames)
{
    REQUIRE_CLIPS();
    test::Fill(table, { { "10", "30", "current" }, { "50", "x", "broken" } });
    ASSERT_TRUE(openClip(test::Clip25()));
    QSignalSpy playing(&player(), &VideoPlayer::playingChanged);
    controller->BtnPlayCurrentClick();
    EXPECT_EQ(c.MovieTracker->value(), 10);
    EXPECT_EQ(memo(), "current\n\n");
    ASSERT_TRUE(WaitFor([&] { return playing.count() >= 2 && !playing.last().first().toBool(); }));
    ASSERT_TRUE(settled());
    EXPECT_EQ(frame(), 30);

    grid.current = 2; // its To cell is no number: nothing happens
    controller->BtnPlayCurrentClick();
    EXPECT_EQ(c.MovieTracker->value(), 10);
    EXPECT_EQ(memo(), "current\n\n");
    EXPECT_FALSE(player().isPlaying());
}

TEST_F(PlaybackControllerTest, TheTableFollowsPlayback)
{
    REQUIRE_CLIPS();
    test::Fill(table, { { "0", "20", "first" }, { "21", "99", "second" } });
    ASSERT_TRUE(openClip(test::Clip25()));
    grid.visible = 1;
    c.BtnPlay->click();
    ASSERT_TRUE(WaitFor([&] { return grid.current == 2; }));
    EXPECT_EQ(grid.top, 1); // row 2 is just below the one visible row: no scroll yet
    EXPECT_EQ(memo(), "second\n\n");
    EXPECT_TRUE(movie->timeCode().text().endsWith("/100")) << movie->timeCode().text().toStdString();
    c.BtnStop->click();
    ASSERT_TRUE(WaitFor([&] { return !player().isPlaying(); }));
    EXPECT_EQ(c.MovieTracker->value(), 0); // the track bar does not follow playback
}

TEST_F(PlaybackControllerTest, StopHoldsAndPlayGoesOn)
{
    REQUIRE_CLIPS();
    ASSERT_TRUE(openClip(test::Clip25()));
    QSignalSpy playing(&player(), &VideoPlayer::playingChanged);
    c.BtnPlay->click();
    ASSERT_TRUE(WaitFor([&] { return frame() >= 10; }));
    c.BtnStop->click();
    ASSERT_TRUE(WaitFor([&] { return !playing.isEmpty() && !playing.last().first().toBool(); }));
    const long held = frame();
    EXPECT_GE(held, 10); // paused, not stopped: no way back to the start
    c.BtnPlay->click();
    ASSERT_TRUE(WaitFor([&] { return frame() > held; }));
}

TEST_F(PlaybackControllerTest, AMovieThatCannotPlayIsReportedAndDisablesPlayback)
{
    REQUIRE_CLIPS();
    ASSERT_TRUE(openClip(test::Clip25()));
    ASSERT_TRUE(c.BtnPlay->isEnabled());
    const QString missing = test::Clip25() + QStringLiteral(".gone");
    controller->OpenMovie(missing);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].title, "Error");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(
        messages.messages[0].text, QStringLiteral("Cannot play the movie \"%1\": there is no such file.").arg(missing));
    EXPECT_FALSE(c.BtnPlay->isEnabled());
    EXPECT_FALSE(c.MovieTracker->isEnabled());
    EXPECT_EQ(c.MovieTracker->maximum(), 0);
    EXPECT_EQ(c.LabelMovieInfoFrames->text(), "0");
    EXPECT_FALSE(player().isVisibleTo(movie.get()));

    controller->OpenMovie(test::StillPicture()); // opens, but has no length
    ASSERT_TRUE(WaitFor([&] { return messages.messages.size() == 2; }));
    EXPECT_TRUE(messages.texts().last().endsWith(": its length reads as zero."))
        << messages.texts().last().toStdString();
    EXPECT_FALSE(c.BtnPlay->isEnabled());
    EXPECT_FALSE(player().isOpen());

    controller->OpenMovie(test::AudioOnly());
    ASSERT_TRUE(WaitFor([&] { return messages.messages.size() == 3; }));
    EXPECT_FALSE(c.BtnPlay->isEnabled());
    c.BtnPlay->click(); // disabled anyway; and without a movie nothing happens
    controller->BtnPlayClick();
    EXPECT_FALSE(player().isPlaying());
}

TEST_F(PlaybackControllerTest, MovieWindowShowsAndMovesWithTheMainWindow)
{
    main.show();
    EXPECT_TRUE(movie->isVisible());
    main.move(120, 110);
    ASSERT_TRUE(WaitFor([&] { return main.pos() == QPoint(120, 110); }));
    const QPoint before = movie->pos();
    main.move(160, 140);
    ASSERT_TRUE(WaitFor([&] { return movie->pos() == before + QPoint(40, 30); })) << movie->pos().x();
}
