#include "clips.h"
#include "preview/movie_pause.h"
#include "preview/video_player.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

using test::WaitFor;

class VideoPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_CLIPS(); }

    bool open(const QString& file)
    {
        QSignalSpy complete(&player, &VideoPlayer::openComplete);
        QSignalSpy failed(&player, &VideoPlayer::openFailed);
        player.setDisplayMode(VideoPlayer::FrameMode);
        player.setFileName(file);
        if (!WaitFor([&] { return complete.count() + failed.count() > 0; })) failure = "no answer";
        if (!failed.isEmpty()) failure = failed.first().first().toString();
        return !complete.isEmpty();
    }

    // Waits until the picture is at the position asked for last.
    bool settled()
    {
        return WaitFor([&] { return !player.isSeeking(); });
    }

    // Waits until mpv itself has stopped playing.
    bool stopped(QSignalSpy& playing)
    {
        return WaitFor([&] { return !playing.isEmpty() && !playing.last().first().toBool(); }) && settled();
    }

    long frame() const { return std::lround(player.currentPosition()); }

    VideoPlayer player;
    QString failure;
};

} // namespace

TEST_F(VideoPlayerTest, OpenCompleteKnowsLengthRateAndSize)
{
    ASSERT_TRUE(open(test::Clip25())) << failure.toStdString();
    EXPECT_TRUE(player.isOpen());
    EXPECT_NEAR(player.duration(), 100, 1e-6);
    player.setDisplayMode(VideoPlayer::TimeMode);
    EXPECT_NEAR(player.duration(), 4.0, 1e-6);
    EXPECT_DOUBLE_EQ(player.framesPerSecond(), 25);
    EXPECT_EQ(player.imageSourceWidth(), 320);
    EXPECT_EQ(player.imageSourceHeight(), 240);
    EXPECT_FALSE(player.isPlaying());
}

TEST_F(VideoPlayerTest, SeeksExactlyToAFrame)
{
    ASSERT_TRUE(open(test::Clip23976())) << failure.toStdString();
    EXPECT_NEAR(player.framesPerSecond(), 24000.0 / 1001, 1e-9);
    EXPECT_NEAR(player.duration(), 96, 1e-3);
    for (int target : { 37, 5, 90, 0 }) {
        player.setCurrentPosition(target);
        ASSERT_TRUE(settled());
        EXPECT_EQ(frame(), target);
        EXPECT_NEAR(player.currentPosition(), target, 1e-3);
    }
    player.setDisplayMode(VideoPlayer::TimeMode);
    player.setCurrentPosition(2.002); // frame 48
    ASSERT_TRUE(settled());
    player.setDisplayMode(VideoPlayer::FrameMode);
    EXPECT_EQ(frame(), 48);
}

TEST_F(VideoPlayerTest, RateReachesThePlayerAndOutlivesTheMovie)
{
    player.setRate(1.5); // before any movie
    ASSERT_TRUE(open(test::Clip25())) << failure.toStdString();
    ASSERT_TRUE(WaitFor([&] { return player.appliedRate() == 1.5; })) << player.appliedRate();
    player.setRate(0.5);
    ASSERT_TRUE(WaitFor([&] { return player.appliedRate() == 0.5; })) << player.appliedRate();
    player.setRate(0); // refused
    EXPECT_EQ(player.rate(), 0.5);
}

TEST_F(VideoPlayerTest, PauseHoldsThePosition)
{
    ASSERT_TRUE(open(test::Clip25())) << failure.toStdString();
    QSignalSpy playing(&player, &VideoPlayer::playingChanged);
    player.run();
    ASSERT_TRUE(WaitFor([&] { return frame() >= 5; }));
    MoviePause(player).Pause(); // what the checks call
    ASSERT_TRUE(stopped(playing));
    const double held = player.currentPosition();
    EXPECT_LT(held, 100);
    QSignalSpy ticks(&player, &VideoPlayer::timer);
    ASSERT_TRUE(WaitFor([&] { return ticks.count() >= 4; }));
    EXPECT_EQ(player.currentPosition(), held);
    EXPECT_FALSE(player.isPlaying());
}

TEST_F(VideoPlayerTest, PlayRangeStopsAtItsEnd)
{
    ASSERT_TRUE(open(test::Clip25())) << failure.toStdString();
    QSignalSpy playing(&player, &VideoPlayer::playingChanged);
    player.setCurrentPosition(10);
    player.setSelectionStart(10);
    player.setSelectionEnd(30);
    player.run();
    ASSERT_TRUE(stopped(playing));
    EXPECT_EQ(frame(), 30);
    // Running again from the end of the range starts it over.
    playing.clear();
    player.run();
    ASSERT_TRUE(WaitFor([&] { return !playing.isEmpty() && playing.first().first().toBool(); }));
    ASSERT_TRUE(stopped(playing));
    EXPECT_EQ(frame(), 30);
}

TEST_F(VideoPlayerTest, StopGoesBackToTheStartOfTheRange)
{
    ASSERT_TRUE(open(test::Clip25())) << failure.toStdString();
    player.setCurrentPosition(60);
    ASSERT_TRUE(settled());
    player.stop();
    ASSERT_TRUE(settled());
    EXPECT_EQ(frame(), 0);
    EXPECT_FALSE(player.isPlaying());
}

TEST_F(VideoPlayerTest, WithoutAMovieNothingHappens)
{
    MoviePause pause(player);
    pause.Pause();
    player.run();
    player.setCurrentPosition(20);
    player.stop();
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(player.currentPosition(), 0);
    EXPECT_EQ(player.duration(), 0);
}

TEST_F(VideoPlayerTest, FilesThatCannotPlayAreReported)
{
    const QString missing = test::Clip25() + QStringLiteral(".missing");
    EXPECT_FALSE(open(missing));
    EXPECT_EQ(failure, "there is no such file");
    EXPECT_FALSE(open(test::AudioOnly()));
    EXPECT_EQ(failure, "it holds no video that can be shown");
    // A folder, even one named like a movie and holding one, is no movie:
    // mpv would take it for a playlist and play what is inside.
    test::TempDir folder;
    const QString movieFolder = QString::fromStdString(folder.path("film.avi"));
    ASSERT_TRUE(QDir().mkpath(movieFolder));
    ASSERT_TRUE(QFile::copy(test::Clip25(), movieFolder + QStringLiteral("/clip.avi")));
    EXPECT_FALSE(open(movieFolder));
    EXPECT_FALSE(failure.isEmpty());
    EXPECT_NE(failure, "no answer"); // refused at once, not left opening
    EXPECT_FALSE(player.isOpen());
    test::WriteFile(folder.path("notes.txt"), "just some words\n");
    EXPECT_FALSE(open(QString::fromStdString(folder.path("notes.txt"))));
    EXPECT_FALSE(failure.isEmpty());
    EXPECT_FALSE(player.isOpen());
    // A movie that was open goes with the failed one.
    ASSERT_TRUE(open(test::Clip25())) << failure.toStdString();
    EXPECT_FALSE(open(missing));
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(player.duration(), 0);
}
