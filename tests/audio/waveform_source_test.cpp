#include "audio/waveform_source.h"
#include "sound_clips.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace tessel;
using test::ProcessEventsUntil;

TEST(WaveformSource, AMovieWithoutSoundSaysSo)
{
    REQUIRE_FFMPEG();
    WaveformSource source(nullptr);
    source.open(test::SilentMovie());
    ASSERT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }));
    EXPECT_EQ(source.message(), "No audio track");
    EXPECT_TRUE(source.tracks().empty());
    source.open(test::BurstMovie() + ".gone");
    ASSERT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }));
    EXPECT_TRUE(source.message().startsWith("Cannot read")) << source.message().toStdString();
}

TEST(WaveformSource, PeaksArriveInPiecesWhileDecoding)
{
    REQUIRE_FFMPEG();
    WaveformSource source(nullptr);
    int pieces = 0;
    int64_t partly = -1;
    QObject::connect(&source, &WaveformSource::peaksAdded, [&] {
        ++pieces;
        if (partly < 0) partly = source.read([](const PeakTrack& t) { return int64_t(t.size()); });
    });
    source.open(test::LongSound());
    ASSERT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }));
    EXPECT_GE(pieces, 1);
    EXPECT_GT(partly, 0);
    EXPECT_LT(partly, 180000);
    EXPECT_EQ(source.decodedMilliseconds(), 180000);
    EXPECT_EQ(source.expectedMilliseconds(), 180000);
    EXPECT_EQ(source.progress(), 1);
}

TEST(WaveformSource, AnotherMovieOrATrackPickStartsOver)
{
    REQUIRE_FFMPEG();
    WaveformSource source(nullptr);
    int finished = 0;
    QObject::connect(&source, &WaveformSource::finished, [&] { ++finished; });
    source.open(test::LongSound());
    source.open(test::TwoTrackMovie()); // the long one is dropped at once
    ASSERT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }));
    ASSERT_TRUE(ProcessEventsUntil([&] { return finished >= 1; }));
    EXPECT_EQ(source.tracks().size(), 2u);
    EXPECT_EQ(source.stream(), 1);
    EXPECT_EQ(source.decodedMilliseconds(), 4000);

    source.open(test::TwoTrackMovie(), source.tracks()[1].stream);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }));
    EXPECT_EQ(source.stream(), 2);
    const Peak at300 = source.read([](const PeakTrack& t) { return t.peaks().at(300); });
    EXPECT_FALSE(at300.silent()); // only the second track sounds at 0.3 s

    source.open(test::LongSound());
    source.close();
    EXPECT_FALSE(source.busy());
    const int before = finished;
    ProcessEventsUntil([] { return false; }, 200);
    EXPECT_EQ(finished, before); // nothing of the cancelled work arrives
    EXPECT_EQ(source.read([](const PeakTrack& t) { return t.size(); }), 0u);
}

// A film whose sound timestamps jump by 115 days after its first second (and
// whose header then claims that length): the jump is damage, not silence to
// fill, so the peaks are the three seconds of sound there are.
TEST(WaveformSource, DamagedTimestampsMakeNoEndlessSilence)
{
    REQUIRE_FFMPEG();
    const QString film = test::MakeMovie(QStringLiteral("jump.mka"),
        { "-f", "lavfi", "-i", "sine=f=440:r=8000:d=3", "-af", "asetpts='if(gte(T,1),PTS+1e7/TB,PTS)'", "-c:a",
            "flac" });
    WaveformSource source(nullptr);
    source.open(film);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }));
    EXPECT_TRUE(source.message().isEmpty()) << source.message().toStdString();
    EXPECT_NEAR(double(source.decodedMilliseconds()), 3000, 100);
    EXPECT_EQ(source.expectedMilliseconds(), 0); // no film is that long
}

// A Matroska length tag whose seconds overflow ("0.5e2000000", infinite):
// no length from it, rather than a negative one.
TEST(WaveformSource, ALengthTagPastAnyNumberIsNoLength)
{
    REQUIRE_FFMPEG();
    const QString film = test::MakeMovie(
        QStringLiteral("tagged.mka"), { "-f", "lavfi", "-i", "sine=f=440:r=8000:d=3", "-c:a", "flac" });
    QFile file(film);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype tag = bytes.indexOf("00:00:03.000000000");
    ASSERT_GE(tag, 0);
    bytes.replace(tag, 18, "00:00:00.5e2000000");
    file.seek(0);
    file.write(bytes);
    file.close();
    WaveformSource source(nullptr);
    source.open(film);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }));
    EXPECT_GE(source.expectedMilliseconds(), 0);
    EXPECT_NEAR(double(source.decodedMilliseconds()), 3000, 100);
}
