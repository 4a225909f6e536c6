#include "clips.h"
#include "preview/movie_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <set>

using namespace tessel;
using test::WaitFor;

namespace {

const char* const ChildVariable = "TESSEL_XVFB_CHILD";

// Distinct colours in the screen's picture of the player: the test pattern
// has many, a black or empty window one or two.
int ColoursShown(VideoPlayer& player)
{
    const QPoint origin = player.mapToGlobal(QPoint(0, 0));
    const QImage shot = QGuiApplication::primaryScreen()
                            ->grabWindow(0, origin.x(), origin.y(), player.width(), player.height())
                            .toImage();
    std::set<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 4)
        for (int x = 0; x < shot.width(); x += 4)
            colours.insert(shot.pixel(x, y));
    return static_cast<int>(colours.size());
}

} // namespace

// Runs the next test in a child process on a virtual X screen.
TEST(MovieWindowOnScreen, ShowsThePictureUnderXvfb)
{
    if (qEnvironmentVariableIsSet(ChildVariable)) GTEST_SKIP() << "inside the virtual screen already";
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty()) GTEST_SKIP() << "xvfb-run is not installed";
    if (!test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(ChildVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("TESSEL_MPV_AO"), QStringLiteral("null"));
    environment.remove(QStringLiteral("TESSEL_MPV_VO"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(xvfbRun,
        { QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x800x24"),
            QCoreApplication::applicationFilePath(),
            QStringLiteral("--gtest_filter=MovieWindowOnScreen.PictureInsideTheWindow") });
    ASSERT_TRUE(child.waitForFinished(100000)) << "the child did not finish";
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QLatin1String("[  PASSED  ] 1 test"))) << output.toStdString();
    EXPECT_FALSE(output.contains(QLatin1String("SKIPPED"))) << output.toStdString();
}

TEST(MovieWindowOnScreen, PictureInsideTheWindow)
{
    if (!qEnvironmentVariableIsSet(ChildVariable) || QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "runs on a virtual X screen only, started by ShowsThePictureUnderXvfb";
    if (!test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    TFormMovie movie(nullptr);
    movie.move(40, 40);
    movie.show();
    QSignalSpy complete(&movie.videoPlayer(), &VideoPlayer::openComplete);
    movie.videoPlayer().setFileName(test::Clip25());
    ASSERT_TRUE(WaitFor([&] { return !complete.isEmpty(); }));
    movie.ZoomMovie(100);
    movie.videoPlayer().setCurrentPosition(50);
    ASSERT_TRUE(WaitFor([&] { return ColoursShown(movie.videoPlayer()) > 20; }))
        << ColoursShown(movie.videoPlayer()) << " colours";
}
