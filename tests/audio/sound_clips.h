#pragma once
#include <QString>
#include <QStringList>
#include <functional>

// Movies with known sound, made with ffmpeg once per run in a folder removed
// at the end. Empty when ffmpeg is not installed (the tests skip then).
namespace tessel::test {

bool HaveFfmpegTool();

// 4 s of 25 fps picture; 48 kHz stereo PCM sound that is silent but for two
// tone bursts, at frames 25 to 37 and 60 to 72 (1.000-1.520 s and
// 2.400-2.920 s of the sound). `soundDelay` starts the sound stream that
// many seconds after the picture; `filmStart` shifts every timestamp of the
// file, as a broadcast recording's are.
QString BurstMovie(double soundDelay = 0, double filmStart = 0);
// The same picture without any sound.
QString SilentMovie();
// Two sound tracks: the bursts above, then one burst at 0.200-0.400 s.
QString TwoTrackMovie();
// Three minutes of a tone (FLAC), long enough to be handed over in pieces.
QString LongSound();

// Makes `name` in the folder with these ffmpeg arguments (output last).
QString MakeMovie(const QString& name, const QStringList& arguments);

} // namespace tessel::test

#define REQUIRE_FFMPEG()                                                                                               \
    do {                                                                                                               \
        if (!tessel::test::HaveFfmpegTool()) GTEST_SKIP() << "ffmpeg is not installed";                                \
    } while (false)

namespace tessel::test {

// Runs queued calls until the condition holds; false after the timeout.
// Makes the application object the event loop needs, if there is none.
bool ProcessEventsUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

} // namespace tessel::test
