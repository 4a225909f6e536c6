#pragma once
#include "audio/audio_decoder.h"
#include "audio/peaks.h"
#include "audio/speech.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The peaks of the movie that is open, made on a thread of their own: read
// from the cache, or decoded there and handed over piece by piece so that a
// window can draw what is there while the rest comes. Opening another movie
// or closing this one stops the work at once.
namespace tessel {

class PeakCache;

class WaveformSource : public QObject {
    Q_OBJECT
public:
    // `cache` may be nullptr: decode every time.
    explicit WaveformSource(const PeakCache* cache, QObject* parent = nullptr);
    ~WaveformSource() override;

    // Starts over with this movie's sound track `stream` (-1: its first).
    void open(const QString& fileName, int stream = -1);
    void close();

    QString fileName() const { return fileName_; }
    const std::vector<AudioTrack>& tracks() const { return tracks_; }
    int stream() const { return stream_; }
    bool busy() const { return busy_; }
    bool fromCache() const { return fromCache_; }
    int64_t expectedMilliseconds() const { return expected_; }
    int64_t decodedMilliseconds() const { return decoded_; }
    // 0..1 while decoding.
    double progress() const;
    // What the window says instead of or under the waveform; empty: all well.
    QString message() const { return message_; }

    // The film's speech decisions, made in the same decoding as the peaks or
    // read from the cache beside them; nullptr until the work is done, and
    // when the cache had the peaks only.
    std::shared_ptr<const SpeechTrack> speech() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return speech_;
    }

    // Calls f(const PeakTrack&) with the peaks there are so far.
    template <typename F> auto read(F&& f) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(peaks_);
    }

signals:
    void tracksFound();
    // More peaks arrived (and the progress moved).
    void peaksAdded();
    void finished();

private:
    struct Job {
        quint64 generation;
        QString fileName;
        int stream;
    };
    void stop();
    void run(const Job& job);
    int chooseTrack(const Job& job, AudioDecoder& decoder);
    bool loadCached(const Job& job, int stream);
    void decodeTrack(const Job& job, AudioDecoder& decoder, int stream);
    void publish(std::vector<Peak>& batch);
    // Runs `update` on the object's thread unless another job began meanwhile.
    template <typename F> void post(quint64 generation, F update);
    void done(quint64 generation, const QString& message, bool fromCache);

    const PeakCache* cache_;
    mutable std::mutex mutex_;
    PeakTrack peaks_; // written by the worker under the lock
    std::shared_ptr<const SpeechTrack> speech_; // the same
    std::thread worker_;
    std::atomic<bool> cancel_ { false };

    // The object's own thread only.
    quint64 generation_ = 0;
    QString fileName_;
    std::vector<AudioTrack> tracks_;
    int stream_ = -1;
    bool busy_ = false;
    bool fromCache_ = false;
    int64_t expected_ = 0;
    int64_t decoded_ = 0;
    QString message_;
};

} // namespace tessel
