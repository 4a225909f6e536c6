#include "audio/film_speech.h"
#include "audio/peak_cache.h"
#include "audio/waveform_source.h"
#include "core/errors.h"
#include "sound_clips.h"
#include "speech_films.h"
#include "tools/sync.h"

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

#define REQUIRE_SPEECH_FILM()                                                                                          \
    do {                                                                                                               \
        if (TestSpeechFilm().path.isEmpty()) GTEST_SKIP() << "ffmpeg or espeak-ng is not installed";                   \
    } while (false)

const SpeechTrack& filmSpeech()
{
    static const SpeechTrack speech = [] {
        const std::atomic<bool> never { false };
        return LoadFilmSpeech(TestSpeechFilm().path.toStdString(), -1, nullptr, never).speech;
    }();
    return speech;
}

} // namespace

// Against where the film generator put the voices: most 10 ms frames agree.
TEST(Speech, VoicesAreFoundWhereTheyAreHeard)
{
    REQUIRE_SPEECH_FILM();
    const SpeechTrack& speech = filmSpeech();
    ASSERT_NEAR(double(speech.size()), 18000, 10);
    std::vector<bool> truth(speech.size(), false);
    for (const SpeechLine& line : TestSpeechFilm().lines)
        for (int64_t f = line.speech.start / 10; f < line.speech.end / 10 && f < int64_t(truth.size()); ++f)
            truth[size_t(f)] = true;
    size_t agree = 0;
    for (size_t f = 0; f < truth.size(); ++f)
        agree += speech.speech(f) == truth[f];
    EXPECT_GT(double(agree) / double(truth.size()), 0.85);
}

// One decoding makes peaks and speech; the second time both come from the
// cache; with the peaks cached alone, the film is decoded once more for its
// speech, as the Waveform window's decoding does it.
TEST(Speech, CachedBesideThePeaks)
{
    REQUIRE_SPEECH_FILM();
    QTemporaryDir folder;
    const PeakCache cache(folder.path());
    const std::atomic<bool> never { false };
    const std::string film = TestSpeechFilm().path.toStdString();
    const FilmSpeech first = LoadFilmSpeech(film, -1, &cache, never);
    EXPECT_FALSE(first.fromCache);
    EXPECT_FALSE(first.peaksWereCached);
    EXPECT_EQ(first.speech, filmSpeech());
    const FilmSpeech again = LoadFilmSpeech(film, -1, &cache, never);
    EXPECT_TRUE(again.fromCache);
    EXPECT_EQ(again.speech, first.speech);
    for (const QString& name : QDir(folder.path()).entryList({ QStringLiteral("*.speech") }))
        QFile::remove(folder.filePath(name));
    const FilmSpeech peaksOnly = LoadFilmSpeech(film, -1, &cache, never);
    EXPECT_TRUE(peaksOnly.peaksWereCached);
    EXPECT_EQ(peaksOnly.speech, first.speech);

    QTemporaryDir fresh;
    const PeakCache waveformCache(fresh.path());
    WaveformSource source(&waveformCache);
    source.open(TestSpeechFilm().path);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }));
    ASSERT_TRUE(source.speech());
    EXPECT_EQ(*source.speech(), first.speech);
    EXPECT_TRUE(LoadFilmSpeech(film, -1, &waveformCache, never).fromCache);
}

TEST(Speech, AFilmWithoutSoundIsSaid)
{
    REQUIRE_FFMPEG();
    const std::atomic<bool> never { false };
    try {
        LoadFilmSpeech(SilentMovie().toStdString(), -1, nullptr, never);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("has no sound"), std::string::npos) << error.what();
    }
}

// The film's subtitles damaged each way come back to where the voices are:
// 90% of the lines within 100 ms, all within 800 ms; the clean file as it was.
TEST(FilmSync, ShiftStretchAndCutAreUndone)
{
    REQUIRE_SPEECH_FILM();
    const SyncTarget target = TargetFromLikelihood(filmSpeech().likelihood);
    const std::vector<Span> subtitles = TestSpeechFilm().subtitles();
    constexpr double Fps = 25;
    struct Case {
        const char* name;
        Damage damage;
        size_t segments;
    } cases[] = {
        { "clean", Damage::None, 1 },
        { "shifted", Damage::Shift, 1 },
        { "shifted and stretched", Damage::Stretch, 1 },
        { "cut", Damage::Cut, 2 },
        { "all three", Damage::All, 2 },
    };
    for (const Case& c : cases) {
        const DamagedSubtitles damaged = DamageSubtitles(subtitles, c.damage, -4370, 3);
        // As the table holds them: frames.
        std::vector<SyncInterval> lines;
        for (const Span& s : damaged.spans)
            lines.push_back({ std::llround(std::round(s.start * Fps / 1000) * 1000 / Fps),
                std::llround(std::round(s.end * Fps / 1000) * 1000 / Fps) });
        SyncOptions options;
        options.leastOffsetMs = 1000 / Fps;
        const SyncResult result = Align(lines, target, options);
        EXPECT_EQ(result.segments.size(), c.segments) << c.name;
        EXPECT_TRUE(result.trusted()) << c.name << " scores " << result.score;
        int lines100 = 0, lines800 = 0, truths = 0, unchanged = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (damaged.truth[i] < 0) continue;
            ++truths;
            const double frame = std::round(result.map(i, double(lines[i].start)) * Fps / 1000);
            const double error = std::fabs(frame * 1000 / Fps - std::round(damaged.truth[i] * Fps / 1000) * 1000 / Fps);
            lines100 += error <= 100;
            lines800 += error <= 800;
            unchanged += frame == std::round(lines[i].start * Fps / 1000);
        }
        EXPECT_GE(lines100, 0.9 * truths) << c.name;
        EXPECT_EQ(lines800, truths) << c.name;
        if (c.damage == Damage::None) {
            EXPECT_EQ(unchanged, truths);
        }
    }
}
