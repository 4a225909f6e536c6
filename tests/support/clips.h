#pragma once
#include <QImage>
#include <QString>
#include <QTest>
#include <optional>

// Short movies made with ffmpeg for the player tests, once per run, in a
// folder removed at the end.
namespace tessel::test {

// Empty when ffmpeg is not installed (the tests skip then).
QString Clip25(); // 4 s, 25 fps, 320x240, MJPEG in AVI
QString Clip23976(); // 4 s, 24000/1001 fps
QString StillPicture(); // one PNG picture: a length of zero
QString AudioOnly(); // a WAV file: no picture
// 4 s of 32x32 frames, lossless, each showing its own number: red is the
// number modulo 256, green the number divided by 256 (see PictureNumber).
// `container` "avi" or "mkv" (whose timestamps are whole milliseconds).
QString NumberedClip(const QString& rate, const QString& container);
// 20 s of 320x240 MJPEG with 48 kHz sound, as films are usually made: each
// picture shows its number as a bar code of 16 bars 20 pixels wide, lowest
// bit first, white for 1 (see PictureNumber). `container` "mkv" (AAC sound;
// millisecond timestamps, the picture 21 ms after the sound by AAC's
// priming), "mp4" (AAC) or "avi" (PCM).
QString NumberedFilm(const QString& rate, const QString& container);
// 4 s at 25 fps with 48 kHz PCM sound, silent but for tone bursts at
// 1.000-1.520 s and 2.400-2.920 s (frames 25-37 and 60-72), in Matroska.
QString SoundClip();
// The same picture with two sound tracks: the bursts, then one burst at
// 0.200-0.400 s.
QString TwoTrackClip();
// The frame number a picture of NumberedClip or NumberedFilm shows; -1 for none.
int PictureNumber(const std::optional<QImage>& picture);
bool HaveFfmpeg();

// Plays without a screen or a sound card.
void UseNullOutputs();

// Runs the event loop until the condition holds; false after the timeout.
constexpr int Patience = 20000; // ms: generous, for a busy machine
template <typename Condition> bool WaitFor(Condition condition, int timeout = Patience)
{
    return QTest::qWaitFor(condition, timeout);
}

} // namespace tessel::test

// Skips the test when there is nothing to make clips with.
#define REQUIRE_CLIPS()                                                                                                \
    do {                                                                                                               \
        if (!tessel::test::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";                                    \
        tessel::test::UseNullOutputs();                                                                                \
    } while (false)
