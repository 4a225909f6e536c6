#include "core/errors.h"
#include "preview/movie_metrics.h"
#include "preview/video_dialog.h"
#include "preview/video_player.h"
#include "preview/window_follow.h"

#include <gtest/gtest.h>

using namespace tessel;

TEST(MovieMetrics, FontSizeFollowsTheFreeHeight)
{
    const std::pair<int, int> cases[] = { { 0, 11 }, { -40, 11 }, { 173, 11 }, { 182, 12 }, { 348, 23 }, { 5000, 23 },
        { 189, 13 }, { 166, 11 }, { 1 << 30, 23 } };
    for (const auto& [height, size] : cases)
        EXPECT_EQ(CalculateFontSize(height), size) << height;
}

TEST(MovieMetrics, ZoomScalesTheNativeSize)
{
    EXPECT_EQ(ZoomedPictureSize(640, 480, 50), QSize(320, 240));
    EXPECT_EQ(ZoomedPictureSize(321, 240, 25), QSize(80, 60)); // 80.25
    EXPECT_EQ(ZoomedPictureSize(75, 125, 50), QSize(38, 62)); // 37.5 and 62.5: ties to even
    EXPECT_EQ(ZoomedPictureSize(320, 240, 150), QSize(480, 360));
}

TEST(MovieMetrics, MovieInfoTexts)
{
    const std::optional<MovieInfo> hour = ComputeMovieInfo(90000, 3600, 640, 480, QStringLiteral("."));
    ASSERT_TRUE(hour);
    EXPECT_EQ(hour->length, "1:00:00,000");
    EXPECT_EQ(hour->framesText, "90000");
    EXPECT_EQ(hour->frames, 90000);
    EXPECT_EQ(hour->framesPerSecond, "25");
    EXPECT_EQ(hour->size, "640x480");

    const std::optional<MovieInfo> odd = ComputeMovieInfo(97726.4, 3909.04, 720, 576, QStringLiteral(","));
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->length, "1:05:09,040");
    EXPECT_EQ(odd->framesText, "97726");
    EXPECT_EQ(odd->framesPerSecond, "25"); // 24.99974...

    const std::optional<MovieInfo> ntsc = ComputeMovieInfo(96, 4.004, 320, 240, QStringLiteral(","));
    ASSERT_TRUE(ntsc);
    EXPECT_EQ(ntsc->length, "0:00:04,004");
    EXPECT_EQ(ntsc->framesPerSecond, "23,976");
}

TEST(MovieMetrics, ZeroLengthGivesNoInfo)
{
    EXPECT_FALSE(ComputeMovieInfo(0, 0, 320, 240, QStringLiteral(".")));
    EXPECT_FALSE(ComputeMovieInfo(0.01, 0.0004, 320, 240, QStringLiteral(".")));
    EXPECT_THROW(ComputeMovieInfo(1e12, 1e10, 320, 240, QStringLiteral(".")), MathError);
}

TEST(MovieMetrics, ReportedFrameRatesGetTheirExactValue)
{
    EXPECT_DOUBLE_EQ(ExactFrameRate(23.976025), 24000.0 / 1001);
    EXPECT_DOUBLE_EQ(ExactFrameRate(29.970030), 30000.0 / 1001);
    EXPECT_DOUBLE_EQ(ExactFrameRate(25.000001), 25);
    EXPECT_DOUBLE_EQ(ExactFrameRate(12.5), 12.5);
    EXPECT_DOUBLE_EQ(ExactFrameRate(23.9761), 23.9761);
    EXPECT_DOUBLE_EQ(ExactFrameRate(29.97), 29.97);
}

TEST(MovieMetrics, VideoOutputFollowsThePlatform)
{
    const QByteArray forced = qgetenv("TESSEL_MPV_VO");
    qunsetenv("TESSEL_MPV_VO");
    const MpvOptions x11 = ChooseMpvOptions(QStringLiteral("xcb"), 42);
    EXPECT_EQ(x11.videoOutput, "gpu,x11");
    EXPECT_EQ(x11.windowId, 42u);
    const MpvOptions offscreen = ChooseMpvOptions(QStringLiteral("offscreen"), 42);
    EXPECT_EQ(offscreen.videoOutput, "null");
    EXPECT_EQ(offscreen.windowId, 0u);
    qputenv("TESSEL_MPV_VO", "null");
    EXPECT_EQ(ChooseMpvOptions(QStringLiteral("xcb"), 42).videoOutput, "null");
    EXPECT_EQ(ChooseMpvOptions(QStringLiteral("xcb"), 42).windowId, 0u);
    if (forced.isNull())
        qunsetenv("TESSEL_MPV_VO");
    else
        qputenv("TESSEL_MPV_VO", forced);
}

TEST(WindowFollow, TheMovieWindowStartsBesideTheMainWindowInsideTheWorkArea)
{
    const QRect work(0, 0, 1600, 1000);
    const QSize movie(240, 220);
    struct Case {
        QRect main;
        QPoint expected;
    };
    const Case cases[] = {
        { { 100, 50, 600, 449 }, { 700, 50 } }, // to the right, tops level
        { { 1000, 50, 600, 449 }, { 760, 50 } }, // no room right: to the left
        { { 1360, 50, 240, 449 }, { 1120, 50 } }, // a main window at the right edge
        { { 1120, 50, 240, 449 }, { 1360, 50 } }, // just room on the right
        { { 100, 900, 600, 400 }, { 700, 780 } }, // a main window past the bottom: up inside
        { { 100, 50, 1400, 449 }, { 100, 499 } }, // no room either side: below
        { { 100, 600, 1400, 400 }, { 100, 780 } }, // nor below: inside, over the main window
        { { 0, 0, 1600, 1000 }, { 0, 780 } }, // a maximised main window
    };
    for (const Case& c : cases)
        EXPECT_EQ(BesideMainWindow(c.main, movie, work), c.expected) << ::testing::PrintToString(c.main);
    // On a second screen whose work area starts below a panel.
    EXPECT_EQ(BesideMainWindow({ 1700, 10, 600, 449 }, movie, { 1600, 30, 1024, 738 }), QPoint(2300, 30));
}

TEST(WindowFollow, MovieWindowMovesWithTheMainWindow)
{
    const QRect work(0, 0, 1280, 800);
    MovieWindowFollower follower;
    // The first known position only starts the tracking.
    EXPECT_FALSE(follower.MainWindowMoved(true, { 100, 50 }, { 100, 70, 240, 220 }, work));
    EXPECT_EQ(follower.MainWindowMoved(true, { 130, 40 }, { 100, 70, 240, 220 }, work), QPoint(130, 60));
    // Hidden: neither moved nor remembered.
    EXPECT_FALSE(follower.MainWindowMoved(false, { 500, 500 }, { 130, 60, 240, 220 }, work));
    EXPECT_EQ(follower.MainWindowMoved(true, { 120, 40 }, { 130, 60, 240, 220 }, work), QPoint(120, 60));
}

TEST(WindowFollow, StaysInsideTheWorkArea)
{
    const QRect work(0, 0, 1280, 800);
    struct Case {
        QPoint from, to;
        QRect movie;
        QPoint expected;
    };
    const Case cases[] = {
        { { 100, 100 }, { 50, 20 }, { 20, 30, 240, 220 }, { 0, 0 } }, // negative becomes 0
        { { 100, 100 }, { 400, 200 }, { 1000, 500, 240, 220 }, { 1040, 580 } }, // right and bottom edges
        { { 100, 100 }, { 150, 100 }, { 0, 0, 1500, 220 }, { -220, 0 } }, // wider than the area: negative left
    };
    for (const Case& c : cases) {
        MovieWindowFollower follower;
        follower.MainWindowMoved(true, c.from, c.movie, work);
        EXPECT_EQ(follower.MainWindowMoved(true, c.to, c.movie, work), c.expected);
    }
}

TEST(WindowFollow, FromLeftZeroTheFirstMoveIsNotFollowed)
{
    const QRect work(0, 0, 1280, 800);
    MovieWindowFollower follower;
    EXPECT_FALSE(follower.MainWindowMoved(true, { 0, 10 }, { 0, 30, 240, 220 }, work));
    EXPECT_FALSE(follower.MainWindowMoved(true, { 40, 10 }, { 0, 30, 240, 220 }, work));
    EXPECT_EQ(follower.MainWindowMoved(true, { 60, 20 }, { 0, 30, 240, 220 }, work), QPoint(20, 40));
}

TEST(WindowFollow, WorkAreaAwayFromTheOrigin)
{
    const QRect work(1280, 0, 1024, 768); // a second screen
    MovieWindowFollower follower;
    follower.MainWindowMoved(true, { 1400, 100 }, { 1400, 120, 240, 220 }, work);
    EXPECT_EQ(follower.MainWindowMoved(true, { 1300, 100 }, { 1400, 120, 240, 220 }, work), QPoint(1300, 120));
    EXPECT_EQ(follower.MainWindowMoved(true, { 1200, 100 }, { 1300, 120, 240, 220 }, work), QPoint(1280, 120));
}

TEST(VideoDialog, FilterListBecomesQtFilters)
{
    const QStringList expected = {
        "All supported video files (*.avi *.mpg *.mpg *.mpeg *.asf *.wmv *.mov)",
        "Audio-Video Interleave (AVI) (*.avi)",
        "MPEG-1 Video (MPG) (*.mpg *.mpeg)",
        "Advanced Streaming file (ASF) (*.asf)",
        "Windows Media file (WMV) (*.wmv)",
        "Quicktime video (MOV) (*.mov)",
        "All files (*)",
    };
    EXPECT_EQ(NameFilters(VideoFilterList), expected);
}
