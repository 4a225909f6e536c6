#include "core/errors.h"
#include "picture/shot_cache.h"
#include "picture/shot_detector.h"
#include "shot_films.h"
#include "test_support.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;

namespace {

struct FilmCase {
    const char* rate;
    const char* container;
    int late; // frames of sound before the picture
    double fps;
};

std::vector<int64_t> cutsOf(const std::string& path) { return LoadFilmCuts(path, DefaultSensitivity, nullptr).cuts; }

} // namespace

// Every cut on the first frame of its shot, counted from the film's start as
// the player counts them; the flash, the pan, the dissolve and the fade not.
TEST(ShotDetection, FindsEveryCutOnItsFrameAndNothingElse)
{
    const FilmCase cases[] = {
        { "25", "mp4", 0, 25 }, { "24000/1001", "mkv", 0, 24000.0 / 1001 },
        { "25", "mkv", 10, 25 }, // the picture starts 0.4 s into the film
        { "24000/1001", "ts", 0, 24000.0 / 1001 }, // the container starts at 1.4 s
    };
    for (const FilmCase& c : cases) {
        const ShotFilm film = MakeShotFilm(c.rate, c.container, c.late);
        REQUIRE_SHOT_FILM(film);
        const FilmCuts found = LoadFilmCuts(film.path, DefaultSensitivity, nullptr);
        EXPECT_EQ(found.cuts, film.cuts) << c.rate << " " << c.container << " late " << c.late;
        EXPECT_NEAR(found.framesPerSecond, c.fps, 1e-9) << c.rate << " " << c.container;
    }
}

TEST(ShotDetection, TheSensitivityTradesCutsForFalseOnes)
{
    const ShotFilm film = MakeShotFilm("25", "mp4");
    REQUIRE_SHOT_FILM(film);
    for (int sensitivity : { LeastSensitivity, 25, 75 })
        EXPECT_EQ(LoadFilmCuts(film.path, sensitivity, nullptr).cuts, film.cuts) << sensitivity;
    // Anything that stands out of its neighbours at all: the flash's first frame too.
    const std::vector<int64_t> most = LoadFilmCuts(film.path, MostSensitivity, nullptr).cuts;
    EXPECT_TRUE(std::includes(most.begin(), most.end(), film.cuts.begin(), film.cuts.end()));
}

TEST(ShotDetection, TheCacheGivesTheSameCutsAndDropsWhatItCannotTrust)
{
    const ShotFilm film = MakeShotFilm("25", "mp4");
    REQUIRE_SHOT_FILM(film);
    TempDir dir;
    const ShotCache cache(QString::fromStdString(dir.path("cache")), QString::fromStdString(dir.path("state")));
    EXPECT_EQ(LoadFilmCuts(film.path, DefaultSensitivity, &cache).cuts, film.cuts);
    ShotDetector detector(film.path);
    const PeakCacheKey key = *PeakCacheKey::ForMovie(QString::fromStdString(film.path), detector.stream());
    const std::optional<ShotScores> stored = cache.load(key);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->frames.size(), 260u);
    EXPECT_EQ(FindCuts(*stored), film.cuts);

    // Edits are kept for the film and applied over what is found.
    ShotEdits edits;
    edits.added = { 100 };
    edits.removed = { 90 };
    ASSERT_TRUE(cache.storeEdits(key, edits));
    EXPECT_EQ(
        LoadFilmCuts(film.path, DefaultSensitivity, &cache).cuts, (std::vector<int64_t> { 40, 100, 130, 180, 230 }));
    ASSERT_TRUE(cache.storeEdits(key, {}));
    EXPECT_TRUE(cache.loadEdits(key).empty());

    // A damaged file is thrown away, and the film scanned again.
    const QString file
        = QString::fromStdString(dir.path("cache")) + "/" + QString::fromStdString(FilmIdentity(key)) + ".shots";
    QFile damaged(file);
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    damaged.seek(damaged.size() - 3);
    damaged.write("xyz");
    damaged.close();
    EXPECT_FALSE(cache.load(key));
    EXPECT_FALSE(QFile::exists(file));
}

TEST(ShotDetection, ACancelledScanKeepsWhatItScoredAndBadFilesAreNamed)
{
    const ShotFilm film = MakeShotFilm("25", "mp4");
    REQUIRE_SHOT_FILM(film);
    ShotDetector detector(film.path);
    EXPECT_EQ(detector.expectedFrames(), 260);
    std::atomic<bool> cancel { false };
    ShotScores scores;
    int64_t reports = 0;
    const ShotScanOutcome outcome = detector.scan(
        scores, cancel,
        [&](const ShotScores&, int64_t read) {
            ++reports;
            if (read >= 100) cancel = true;
        },
        50);
    EXPECT_EQ(outcome.kind, ShotScanOutcome::Cancelled);
    EXPECT_GE(reports, 2);
    EXPECT_LT(scores.frames.size(), 260u);

    TempDir dir;
    WriteFile(dir.path("notes.txt"), "not a film\n");
    try {
        ShotDetector notAFilm(dir.path("notes.txt"));
        ADD_FAILURE() << "a text file read as a film";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("notes.txt"), std::string::npos) << error.what();
    }
    // Cut short: what was there is read, and where it stopped is said.
    const ShotFilm mkv = MakeShotFilm("24000/1001", "mkv");
    REQUIRE_SHOT_FILM(mkv);
    const std::string bytes = ReadFile(mkv.path);
    WriteFile(dir.path("short.mkv"), bytes.substr(0, bytes.size() / 2));
    try {
        LoadFilmCuts(dir.path("short.mkv"), DefaultSensitivity, nullptr);
        ADD_FAILURE() << "half a film read as a whole one";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("could be read up to frame"), std::string::npos) << error.what();
    }
}
