#pragma once
#include "audio/peak_cache.h"
#include "picture/shot_scores.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The shot changes of the film that is open, found on a thread of its own at
// a low priority so that the editor stays responsive: read from the cache,
// or scanned there and handed over piece by piece, so that the cuts show as
// they are found. Opening another film or closing this one stops the work at
// once; cancel() stops it and keeps what was found.
namespace tessel {

class ShotCache;

class ShotSource : public QObject {
    Q_OBJECT
public:
    // `cache` may be nullptr: scan every time.
    explicit ShotSource(const ShotCache* cache, QObject* parent = nullptr);
    ~ShotSource() override;

    void open(const QString& fileName);
    void cancel();
    void close();

    QString fileName() const { return fileName_; }
    // The film's key for its cache and its edits; nothing before the film is read.
    const std::optional<PeakCacheKey>& key() const { return key_; }
    bool busy() const { return busy_; }
    bool fromCache() const { return fromCache_; }
    // Every frame scored (a scan to the end, or the cache).
    bool complete() const { return complete_; }
    double framesPerSecond() const { return fps_; }
    // 0..1 while scanning.
    double progress() const;
    // What went wrong or was left out; empty: all well.
    QString message() const { return message_; }

    // The cuts at `sensitivity` among the frames scored so far.
    std::vector<int64_t> cuts(int sensitivity) const;

signals:
    // The film was opened: its frame rate and key are known.
    void started();
    // More frames scored.
    void progressed();
    void finished();

private:
    struct Job {
        quint64 generation;
        QString fileName;
    };
    void stop();
    void run(const Job& job);
    template <typename F> void post(quint64 generation, F update);
    void publish(const ShotScores& scores);
    void done(quint64 generation, const QString& message, bool complete, bool fromCache);

    const ShotCache* cache_;
    mutable std::mutex mutex_;
    ShotScores scores_; // written by the worker under the lock
    std::thread worker_;
    std::atomic<bool> cancel_ { false };

    // The object's own thread only.
    quint64 generation_ = 0;
    QString fileName_;
    std::optional<PeakCacheKey> key_;
    double fps_ = 0;
    int64_t expected_ = 0;
    int64_t read_ = 0;
    bool busy_ = false, fromCache_ = false, complete_ = false;
    QString message_;
};

} // namespace tessel
