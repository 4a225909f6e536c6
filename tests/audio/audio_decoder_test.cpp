#include "audio/audio_decoder.h"
#include "core/errors.h"
#include "sound_clips.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

using namespace tessel;

namespace {

struct Decoded {
    std::vector<Peak> peaks;
    DecodeOutcome outcome;
};

Decoded Decode(const QString& file, int track = 0)
{
    Decoded result;
    AudioDecoder decoder(file.toStdString());
    const std::atomic<bool> cancel { false };
    result.outcome = decoder.decode(
        decoder.tracks().at(track).stream,
        [&](const Peak* p, size_t n) { result.peaks.insert(result.peaks.end(), p, p + n); }, cancel);
    return result;
}

// The milliseconds [begin, end) that hold sound.
std::vector<std::pair<int, int>> SoundingSpans(const std::vector<Peak>& peaks)
{
    std::vector<std::pair<int, int>> spans;
    for (int i = 0; i < int(peaks.size()); ++i) {
        if (peaks[i].silent()) continue;
        if (!spans.empty() && spans.back().second == i)
            spans.back().second = i + 1;
        else
            spans.push_back({ i, i + 1 });
    }
    return spans;
}

using Spans = std::vector<std::pair<int, int>>;

} // namespace

TEST(AudioDecoder, SoundLandsOnTheFilmsMillisecondsExactly)
{
    REQUIRE_FFMPEG();
    // Bursts at 1.000-1.520 s and 2.400-2.920 s of the sound stream.
    struct Case {
        double soundDelay, filmStart;
        size_t length;
        Spans spans;
    } cases[] = {
        { 0, 0, 4000, { { 1000, 1520 }, { 2400, 2920 } } },
        { 0.5, 0, 4500, { { 1500, 2020 }, { 2900, 3420 } } }, // sound after the picture
        { 0.5, 10, 4500, { { 1500, 2020 }, { 2900, 3420 } } }, // the film counts from its first timestamp
    };
    for (const Case& c : cases) {
        const QString movie = test::BurstMovie(c.soundDelay, c.filmStart);
        ASSERT_FALSE(movie.isEmpty());
        const Decoded decoded = Decode(movie);
        EXPECT_EQ(decoded.outcome.kind, DecodeOutcome::Complete) << decoded.outcome.reason;
        EXPECT_EQ(decoded.peaks.size(), c.length) << c.soundDelay << " " << c.filmStart;
        EXPECT_EQ(decoded.outcome.decodedMilliseconds, int64_t(c.length));
        EXPECT_EQ(SoundingSpans(decoded.peaks), c.spans) << c.soundDelay << " " << c.filmStart;
        // The tone's amplitude is 0.5: 63.5 of 127 rounds out to 64; the
        // second channel is the first upside down.
        int low = 0, high = 0;
        for (int i = c.spans[0].first; i < c.spans[0].second; ++i) {
            low = std::min<int>(low, decoded.peaks[i].low);
            high = std::max<int>(high, decoded.peaks[i].high);
            EXPECT_EQ(decoded.peaks[i].low, -decoded.peaks[i].high) << i;
        }
        EXPECT_EQ(high, 64);
        EXPECT_EQ(low, -64);
    }
}

TEST(AudioDecoder, TracksAreListedAndEachCanBeDecoded)
{
    REQUIRE_FFMPEG();
    AudioDecoder decoder(test::TwoTrackMovie().toStdString());
    ASSERT_EQ(decoder.tracks().size(), 2u);
    EXPECT_EQ(decoder.tracks()[0].stream, 1); // stream 0 is the picture
    EXPECT_EQ(decoder.tracks()[0].description, "1: pcm_s16le, 2 channels, 48000 Hz");
    EXPECT_EQ(decoder.tracks()[1].description, "2: pcm_s16le, 2 channels, 48000 Hz");
    EXPECT_EQ(SoundingSpans(Decode(test::TwoTrackMovie(), 1).peaks), Spans({ { 200, 400 } }));
    EXPECT_TRUE(AudioDecoder(test::SilentMovie().toStdString()).tracks().empty());
}

TEST(AudioDecoder, AFileCutShortKeepsWhatWasReadAndSaysWhereItStopped)
{
    REQUIRE_FFMPEG();
    QTemporaryDir folder;
    const QString cut = folder.filePath(QStringLiteral("cut.mkv"));
    ASSERT_TRUE(QFile::copy(test::BurstMovie(), cut));
    QFile file(cut);
    ASSERT_TRUE(file.resize(file.size() * 6 / 10));
    const Decoded decoded = Decode(cut);
    EXPECT_EQ(decoded.outcome.kind, DecodeOutcome::Stopped);
    EXPECT_FALSE(decoded.outcome.reason.empty());
    EXPECT_EQ(decoded.outcome.decodedMilliseconds, int64_t(decoded.peaks.size()));
    EXPECT_GT(decoded.peaks.size(), 1520u);
    EXPECT_LT(decoded.peaks.size(), 3500u);
    EXPECT_EQ(SoundingSpans(decoded.peaks).front(), std::make_pair(1000, 1520));
}

TEST(AudioDecoder, WhatIsNoMovieIsAnError)
{
    QTemporaryDir folder;
    QFile noise(folder.filePath(QStringLiteral("noise.mkv")));
    ASSERT_TRUE(noise.open(QIODevice::WriteOnly));
    noise.write(QByteArray(5000, '\x5a'));
    noise.close();
    for (const QString& name : { noise.fileName(), folder.filePath(QStringLiteral("missing.mkv")), folder.path() })
        EXPECT_THROW(AudioDecoder(name.toStdString()), Error) << name.toStdString();
}
