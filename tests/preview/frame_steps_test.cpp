#include "clips.h"
#include "preview/video_player.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tessel;
using test::WaitFor;

namespace {

struct Clip {
    const char* rate;
    const char* container;
    int frames;
    bool film = false; // NumberedFilm: MJPEG with sound; otherwise NumberedClip
};
void PrintTo(const Clip& clip, std::ostream* out)
{
    *out << clip.rate << " fps " << clip.container << (clip.film ? " film" : "");
}

class FrameSteps : public ::testing::TestWithParam<Clip> {
protected:
    void SetUp() override
    {
        REQUIRE_CLIPS();
        const Clip& kind = GetParam();
        const QString clip = kind.film ? test::NumberedFilm(QLatin1String(kind.rate), QLatin1String(kind.container))
                                       : test::NumberedClip(QLatin1String(kind.rate), QLatin1String(kind.container));
        ASSERT_FALSE(clip.isEmpty());
        QSignalSpy complete(&player, &VideoPlayer::openComplete);
        player.setDisplayMode(VideoPlayer::FrameMode);
        player.setFileName(clip);
        ASSERT_TRUE(WaitFor([&] { return !complete.isEmpty(); }));
    }

    // What the player says is on screen, and what the picture shows.
    std::pair<int, int> shown()
    {
        if (!WaitFor([&] { return !player.isSeeking(); })) return { -1, -1 };
        return { player.frameOnScreen(), test::PictureNumber(player.currentPicture()) };
    }

    VideoPlayer player;
};

std::pair<int, int> Both(int frame) { return { frame, frame }; }

} // namespace

TEST_P(FrameSteps, EachStepShowsTheNextOrPreviousFrameOfTheFile)
{
    const int last = GetParam().frames - 1;
    ASSERT_EQ(player.frameCount(), GetParam().frames);
    EXPECT_EQ(shown(), Both(0));
    player.stepFrames(-1); // nothing before the first frame
    EXPECT_EQ(shown(), Both(0));
    for (int frame = 1; frame <= 3; ++frame) {
        player.stepFrames(1);
        EXPECT_EQ(shown(), Both(frame));
    }
    player.stepFrames(-1);
    EXPECT_EQ(shown(), Both(2));

    const int middle = GetParam().frames / 2 + 1;
    player.setCurrentPosition(middle);
    EXPECT_EQ(shown(), Both(middle));
    for (int step : { 1, 1, -1, -1, -1 }) {
        const int before = player.frameOnScreen();
        player.stepFrames(step);
        EXPECT_EQ(shown(), Both(before + step)) << "from " << before;
    }

    player.setCurrentPosition(last);
    EXPECT_EQ(shown(), Both(last));
    player.stepFrames(1); // nothing after the last frame
    EXPECT_EQ(shown(), Both(last));
    player.stepFrames(-1);
    EXPECT_EQ(shown(), Both(last - 1));
    player.stepFrames(1);
    EXPECT_EQ(shown(), Both(last));
}

TEST_P(FrameSteps, StepsAskedForQuicklyAddUp)
{
    player.setCurrentPosition(10);
    for (int i = 0; i < 5; ++i)
        player.stepFrames(1); // as a held key repeats, before each picture arrives
    EXPECT_EQ(shown(), Both(15));
    player.seekFrames(25);
    EXPECT_EQ(shown(), Both(40));
    player.seekFrames(-1000);
    EXPECT_EQ(shown(), Both(0));
}

// Wherever playing stops, the picture and the frame reported are one.
TEST_P(FrameSteps, PausingHoldsTheFrameItReports)
{
    for (int wait : { 130, 170, 210 }) {
        player.run();
        QTest::qWait(wait);
        player.pause();
        const std::pair<int, int> stopped = shown();
        EXPECT_EQ(stopped.first, stopped.second) << "after " << wait << " ms";
        EXPECT_GT(stopped.first, 0);
    }
    player.setCurrentPosition(GetParam().frames - 8);
    player.run(); // on to the end, where mpv's position runs past the last picture
    EXPECT_TRUE(WaitFor([&] { return !player.isPlaying(); }));
    EXPECT_EQ(shown(), Both(GetParam().frames - 1));
}

TEST_P(FrameSteps, SeekingToAnyFrameShowsThatFrame)
{
    const int last = GetParam().frames - 1;
    for (int frame : { 0, 1, 2, 23, 24, 25, 47, 48, 49, 71, 72, 184, 399, last - 1, last }) {
        if (frame > last) continue;
        player.setCurrentPosition(frame);
        EXPECT_EQ(shown(), Both(frame));
    }
}

INSTANTIATE_TEST_SUITE_P(RatesAndContainers, FrameSteps,
    ::testing::Values(Clip { "25", "avi", 100 }, Clip { "24000/1001", "avi", 96 }, Clip { "25", "mkv", 100 },
        Clip { "24000/1001", "mkv", 96 }, Clip { "25", "mkv", 500, true }, Clip { "24000/1001", "mkv", 480, true },
        Clip { "25", "mp4", 500, true }, Clip { "24000/1001", "mp4", 480, true }, Clip { "25", "avi", 500, true },
        Clip { "24000/1001", "avi", 480, true }),
    [](const ::testing::TestParamInfo<Clip>& info) {
        return std::string(info.param.rate == std::string("25") ? "Fps25" : "Fps23976") + "_" + info.param.container
            + (info.param.film ? "_film" : "");
    });
