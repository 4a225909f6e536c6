#include "audio/peak_cache.h"
#include "audio/waveform_source.h"
#include "sound_clips.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tessel;
using test::ProcessEventsUntil;

namespace {

// A movie of its own in a folder of its own, and a cache beside it.
class PeakCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_FFMPEG();
        movie = folder.filePath(QStringLiteral("film.mkv"));
        ASSERT_TRUE(QFile::copy(test::BurstMovie(), movie));
    }

    struct Opened {
        bool fromCache = false;
        QString message;
        std::vector<Peak> peaks;
    };
    Opened open(const QString& file)
    {
        WaveformSource source(&cache);
        source.open(file);
        EXPECT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }));
        Opened opened { source.fromCache(), source.message(), {} };
        opened.peaks = source.read([](const PeakTrack& t) { return t.peaks(); });
        return opened;
    }
    QStringList cacheFiles() const
    {
        return QDir(cache.folder()).entryList({ QStringLiteral("*.peaks") }, QDir::Files);
    }
    QString cacheFile() const { return cache.folder() + QLatin1Char('/') + cacheFiles().value(0); }

    QTemporaryDir folder;
    QString movie;
    PeakCache cache { folder.filePath(QStringLiteral("cache/tessel/peaks")) };
};

void Damage(const QString& file, qint64 at, const QByteArray& bytes)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(at < 0 ? f.size() + at : at));
    f.write(bytes);
}

} // namespace

TEST_F(PeakCacheTest, TheSecondOpenReadsTheCache)
{
    const Opened first = open(movie);
    EXPECT_FALSE(first.fromCache);
    EXPECT_EQ(first.peaks.size(), 4000u);
    ASSERT_EQ(cacheFiles().size(), 1);
    // Header (magic, version, rate, key length, key, count, checksum) and three bytes a peak.
    const qint64 key = PeakCacheKey::ForMovie(movie, 1)->bytes().size();
    EXPECT_EQ(QFileInfo(cacheFile()).size(), 8 + 4 + 4 + 4 + key + 8 + 8 + 3 * 4000);

    const Opened second = open(movie);
    EXPECT_TRUE(second.fromCache);
    EXPECT_TRUE(second.peaks == first.peaks);
    EXPECT_TRUE(second.message.isEmpty());
}

TEST_F(PeakCacheTest, AChangedMovieIsDecodedAgain)
{
    const Opened before = open(movie);
    // Another movie under the same name: other size, other time.
    QFile::remove(movie);
    ASSERT_TRUE(QFile::copy(test::BurstMovie(0.5), movie));
    const Opened replaced = open(movie);
    EXPECT_FALSE(replaced.fromCache);
    EXPECT_EQ(replaced.peaks.size(), 4500u);
    // The same bytes, touched: decoded again as well.
    QFile file(movie);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(60), QFileDevice::FileModificationTime));
    file.close();
    EXPECT_FALSE(open(movie).fromCache);
    EXPECT_TRUE(open(movie).fromCache);
}

TEST_F(PeakCacheTest, ADamagedCacheFileIsRebuiltNotTrusted)
{
    const std::vector<Peak> good = open(movie).peaks;
    ASSERT_EQ(cacheFiles().size(), 1);
    const QString file = cacheFile();
    const qint64 size = QFileInfo(file).size();
    struct Damaged {
        const char* what;
        std::function<void()> damage;
    } cases[] = {
        { "a peak changed", [&] { Damage(file, -1500, QByteArray("\x7f", 1)); } },
        { "cut short", [&] { QFile(file).resize(size - 7); } },
        { "longer", [&] { Damage(file, size, QByteArray(3, '\0')); } },
        { "not a peak file", [&] { Damage(file, 0, "RIFF"); } },
        { "another movie's key", [&] { Damage(file, 21, "X"); } },
        { "a wrong count", [&] { Damage(file, size - 3 * 4000 - 16, QByteArray("\x01", 1)); } },
        { "empty", [&] { QFile(file).resize(0); } },
    };
    for (const Damaged& c : cases) {
        c.damage();
        const Opened opened = open(movie);
        EXPECT_FALSE(opened.fromCache) << c.what;
        EXPECT_TRUE(opened.peaks == good) << c.what;
        EXPECT_EQ(QFileInfo(file).size(), size) << c.what; // written again, whole
        EXPECT_TRUE(open(movie).fromCache) << c.what;
    }
}

TEST_F(PeakCacheTest, TheFolderIsTrimmedOldestFirst)
{
    std::vector<Peak> peaks(1000);
    PeakTrack track;
    track.append(peaks.data(), peaks.size());
    // Four tracks of one movie; each file is 3000 bytes of peaks and a header under 300.
    PeakCache small(cache.folder(), 3 * 3300);
    QStringList names;
    for (int stream = 0; stream < 4; ++stream) {
        const PeakCacheKey key = *PeakCacheKey::ForMovie(movie, stream);
        ASSERT_TRUE(small.store(key, track));
        names << key.fileName();
        // Used an hour apart, the first longest ago.
        QFile file(cache.folder() + QLatin1Char('/') + key.fileName());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(
            QDateTime::currentDateTimeUtc().addSecs(3600 * (stream - 4)), QFileDevice::FileModificationTime);
    }
    QStringList left = cacheFiles();
    left.sort();
    QStringList expected = names.mid(1);
    expected.sort();
    EXPECT_EQ(left, expected);
    // Reading one makes it the most recently used.
    ASSERT_TRUE(small.load(*PeakCacheKey::ForMovie(movie, 1)));
    ASSERT_TRUE(small.store(*PeakCacheKey::ForMovie(movie, 0), track));
    EXPECT_TRUE(cacheFiles().contains(names[1]));
    EXPECT_FALSE(cacheFiles().contains(names[2]));
}

TEST_F(PeakCacheTest, WithoutAWritableCacheTheWaveformStillComes)
{
    const QString blocker = folder.filePath(QStringLiteral("file"));
    QFile(blocker).open(QIODevice::WriteOnly);
    PeakCache unwritable(blocker + QStringLiteral("/peaks"));
    WaveformSource source(&unwritable);
    source.open(movie);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }));
    EXPECT_TRUE(source.message().isEmpty());
    EXPECT_EQ(source.decodedMilliseconds(), 4000);
}

TEST(PeakCacheFolder, FollowsXdgCacheHome)
{
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", "/tmp/somewhere");
    EXPECT_EQ(PeakCache::DefaultFolder(), "/tmp/somewhere/tessel/peaks");
    qunsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(PeakCache::DefaultFolder(), QDir::homePath() + "/.cache/tessel/peaks");
    if (!saved.isEmpty()) qputenv("XDG_CACHE_HOME", saved);
}

// The cache keeps peaks under the file as it was when decoding began: one
// changed meanwhile is decoded again when it is next opened.
TEST_F(PeakCacheTest, AMovieChangedWhileItIsDecodedIsDecodedAgain)
{
    const QString sound = test::MakeMovie(
        QStringLiteral("long-20min.mka"), { "-f", "lavfi", "-i", "sine=f=440:r=8000:d=1200", "-c:a", "flac" });
    const QString film = folder.filePath(QStringLiteral("long.mka"));
    ASSERT_TRUE(QFile::copy(sound, film));
    WaveformSource source(&cache);
    bool touched = false;
    QObject::connect(&source, &WaveformSource::peaksAdded, [&] {
        if (touched) return;
        touched = true;
        QFile file(film);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(60), QFileDevice::FileModificationTime);
    });
    source.open(film);
    ASSERT_TRUE(ProcessEventsUntil([&] { return !source.busy(); }, 60000));
    ASSERT_TRUE(touched);
    EXPECT_FALSE(open(film).fromCache);
}
