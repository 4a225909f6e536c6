#pragma once
#include "audio/peak_cache.h"
#include "picture/shot_list.h"
#include "picture/shot_scores.h"

#include <QString>
#include <optional>

// A film's shot-change scores kept between runs beside its sound's peaks,
// keyed the same way (the file's path, size and time, and the picture's
// stream), so that a film opened again shows its cuts at once and at any
// sensitivity. A cache file that does not read back exactly as it was
// written is thrown away. The cuts a user edited by hand are the user's work,
// not a cache: they are kept under $XDG_STATE_HOME, keyed the same way.
namespace tessel {

class ShotCache {
public:
    static constexpr qint64 DefaultLimit = qint64(256) << 20;

    // $XDG_CACHE_HOME/tessel/shots, by default ~/.cache/tessel/shots.
    static QString DefaultFolder();
    // $XDG_STATE_HOME/tessel/shot-changes, by default ~/.local/state/tessel/shot-changes.
    static QString DefaultEditsFolder();

    explicit ShotCache(
        QString folder = DefaultFolder(), QString editsFolder = DefaultEditsFolder(), qint64 limit = DefaultLimit);

    const QString& folder() const { return folder_; }

    // Scores stored for the key; a damaged or foreign file is removed.
    std::optional<ShotScores> load(const PeakCacheKey& key) const;
    // Whole or not at all, then trims the folder; false when it cannot be written.
    bool store(const PeakCacheKey& key, const ShotScores& scores) const;

    // The edits kept for the film; none when there are none or they cannot be read.
    ShotEdits loadEdits(const PeakCacheKey& key) const;
    // No edits: the file goes.
    bool storeEdits(const PeakCacheKey& key, const ShotEdits& edits) const;

private:
    QString folder_, editsFolder_;
    qint64 limit_;
};

// A short name for the film of a key, to tell edits of one film from another's.
std::string FilmIdentity(const PeakCacheKey& key);

// $XDG_CONFIG_HOME/tessel/shot-changes.conf: the sensitivity the user chose.
QString ShotSettingsFile();
int SavedShotSensitivity();
void SaveShotSensitivity(int sensitivity);

// A film's cuts as the editor shows them: found at `sensitivity` (from the
// cache, else scanned and cached), with the user's edits.
struct FilmCuts {
    double framesPerSecond = 0;
    std::vector<int64_t> cuts;
};
// Throws Error when the film cannot be read, or reads only in part.
FilmCuts LoadFilmCuts(const std::string& fileName, int sensitivity, const ShotCache* cache);

} // namespace tessel
