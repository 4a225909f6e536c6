#pragma once
#include "audio/peaks.h"
#include "audio/speech.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// Peaks kept between runs, one file per movie and sound track, so that a
// movie opened again shows its waveform at once; beside them, under the same
// key, the speech decisions made in the same decoding. A movie file that changed
// (size or modification time) is decoded again; a cache file that does not
// read back exactly as it was written is thrown away. The folder is kept
// under a size limit, the files used longest ago going first.
namespace tessel {

struct PeakCacheKey {
    QString path; // absolute, links resolved
    qint64 size = 0;
    qint64 modified = 0; // ms since the epoch
    int stream = -1;

    // Nothing when the movie cannot be found.
    static std::optional<PeakCacheKey> ForMovie(const QString& fileName, int stream);
    QString fileName() const; // the cache file's name inside the folder
    QByteArray bytes() const; // what the cache file repeats, to tell keys apart
};

// Removes the files of `folder` whose names end in one of `suffixes`, those
// used longest ago first, until they take `limit` bytes at most; `keep` stays.
void TrimCacheFolder(const QString& folder, const QStringList& suffixes, qint64 limit, const QString& keep = {});

class PeakCache {
public:
    static constexpr qint64 DefaultLimit = qint64(2) << 30;

    // $XDG_CACHE_HOME/tessel/peaks, by default ~/.cache/tessel/peaks.
    static QString DefaultFolder();

    explicit PeakCache(QString folder = DefaultFolder(), qint64 limitBytes = DefaultLimit);

    const QString& folder() const { return folder_; }

    // The peaks stored for the key; a damaged or foreign file is removed and
    // nothing returned.
    std::optional<PeakTrack> load(const PeakCacheKey& key) const;
    // Writes the peaks (whole or not at all), then trims the folder. False
    // when the folder cannot be written: the cache is a convenience, the
    // waveform works without it.
    bool store(const PeakCacheKey& key, const PeakTrack& track) const;
    // The same for the film's speech decisions.
    std::optional<SpeechTrack> loadSpeech(const PeakCacheKey& key) const;
    bool storeSpeech(const PeakCacheKey& key, const SpeechTrack& speech) const;
    // Removes the files used longest ago until the folder is within the
    // limit; `keep` stays.
    void trim(const QString& keep = {}) const;

private:
    QString path(const PeakCacheKey& key, bool speech) const;

    QString folder_;
    qint64 limit_;
};

} // namespace tessel
