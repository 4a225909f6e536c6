#include "audio/waveform_source.h"

#include "audio/peak_cache.h"
#include "core/errors.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>

namespace tessel {
namespace {

using Clock = std::chrono::steady_clock;
// Hand over at least this often while decoding, so that drawing keeps up.
constexpr auto PublishInterval = std::chrono::milliseconds(100);
// The first screenful goes out before that.
constexpr size_t FirstBatch = 30 * PeaksPerSecond;

} // namespace

WaveformSource::WaveformSource(const PeakCache* cache, QObject* parent)
    : QObject(parent)
    , cache_(cache)
{
}

WaveformSource::~WaveformSource() { stop(); }

void WaveformSource::stop()
{
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    cancel_ = false;
}

void WaveformSource::close()
{
    stop();
    ++generation_;
    fileName_.clear();
    tracks_.clear();
    stream_ = -1;
    busy_ = fromCache_ = false;
    expected_ = decoded_ = 0;
    message_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    peaks_.clear();
    speech_.reset();
}

void WaveformSource::open(const QString& fileName, int stream)
{
    close();
    fileName_ = fileName;
    stream_ = stream;
    busy_ = true;
    const Job job { generation_, fileName, stream };
    worker_ = std::thread([this, job] { run(job); });
}

double WaveformSource::progress() const
{
    if (!busy_) return 1;
    return expected_ > 0 ? std::clamp(double(decoded_) / double(expected_), 0.0, 1.0) : 0;
}

template <typename F> void WaveformSource::post(quint64 generation, F update)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, update = std::move(update)]() mutable {
            if (generation == generation_) update();
        },
        Qt::QueuedConnection);
}

void WaveformSource::done(quint64 generation, const QString& message, bool fromCache)
{
    const int64_t decoded = read([](const PeakTrack& peaks) { return int64_t(peaks.size()); });
    post(generation, [this, message, fromCache, decoded] {
        busy_ = false;
        message_ = message;
        fromCache_ = fromCache;
        decoded_ = decoded;
        emit finished();
    });
}

// The worker thread.
void WaveformSource::run(const Job& job)
{
    try {
        AudioDecoder decoder(job.fileName.toStdString(), &cancel_);
        const int stream = chooseTrack(job, decoder);
        if (stream < 0) {
            done(job.generation, QStringLiteral("No audio track"), false);
            return;
        }
        if (loadCached(job, stream)) return;
        decodeTrack(job, decoder, stream);
    } catch (const Error& error) {
        if (!cancel_) done(job.generation, QString::fromUtf8(error.what()), false);
    } catch (const std::bad_alloc&) {
        done(job.generation, QStringLiteral("Out of memory reading the sound."), false);
    } catch (const std::exception& error) {
        // Nothing leaves the thread: an exception there would end the editor.
        done(job.generation, QStringLiteral("The sound could not be read: %1").arg(QString::fromUtf8(error.what())),
            false);
    } catch (...) {
        done(job.generation, QStringLiteral("The sound could not be read."), false);
    }
}

int WaveformSource::chooseTrack(const Job& job, AudioDecoder& decoder)
{
    const std::vector<AudioTrack> tracks = decoder.tracks();
    if (tracks.empty()) return -1;
    const bool known
        = std::any_of(tracks.begin(), tracks.end(), [&](const AudioTrack& t) { return t.stream == job.stream; });
    const int stream = known ? job.stream : tracks.front().stream;
    const int64_t expected = decoder.expectedMilliseconds(stream);
    post(job.generation, [this, tracks, stream, expected] {
        tracks_ = tracks;
        stream_ = stream;
        expected_ = expected;
        emit tracksFound();
    });
    return stream;
}

bool WaveformSource::loadCached(const Job& job, int stream)
{
    if (!cache_) return false;
    const std::optional<PeakCacheKey> key = PeakCacheKey::ForMovie(job.fileName, stream);
    if (!key) return false;
    std::optional<PeakTrack> cached = cache_->load(*key);
    if (!cached) return false;
    std::optional<SpeechTrack> speech = cache_->loadSpeech(*key);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        peaks_ = std::move(*cached);
        if (speech) speech_ = std::make_shared<const SpeechTrack>(std::move(*speech));
    }
    done(job.generation, {}, true);
    return true;
}

void WaveformSource::decodeTrack(const Job& job, AudioDecoder& decoder, int stream)
{
    // The file as it is now: one that changes while it is read is not
    // cached under its new state.
    const std::optional<PeakCacheKey> key = cache_ ? PeakCacheKey::ForMovie(job.fileName, stream) : std::nullopt;
    {
        // A damaged header may claim any length.
        const int64_t expected = std::clamp<int64_t>(decoder.expectedMilliseconds(stream), 0, MostPeaks);
        std::lock_guard<std::mutex> lock(mutex_);
        peaks_.reserve(size_t(expected) + PeaksPerSecond);
    }
    std::vector<Peak> batch;
    Clock::time_point last = Clock::now();
    bool first = true;
    const PeakBuilder::Output output = [&](const Peak* peaks, size_t count) {
        batch.insert(batch.end(), peaks, peaks + count);
        if ((first && batch.size() >= FirstBatch) || Clock::now() - last >= PublishInterval) {
            publish(batch);
            const int64_t decoded = read([](const PeakTrack& p) { return int64_t(p.size()); });
            post(job.generation, [this, decoded] {
                decoded_ = decoded;
                emit peaksAdded();
            });
            last = Clock::now();
            first = false;
        }
    };
    // The voices are told in the same pass, for synchronising.
    SpeechDetector detector;
    const DecodeOutcome outcome = decoder.decode(stream, output, cancel_, &detector);
    publish(batch);
    if (outcome.kind == DecodeOutcome::Cancelled) return;
    auto speech = std::make_shared<const SpeechTrack>(detector.takeTrack());
    QString message;
    if (outcome.kind == DecodeOutcome::Stopped) {
        message = QStringLiteral("The sound could be read up to %1 only: %2")
                      .arg(QString::fromStdString(ClockText(outcome.decodedMilliseconds)),
                          QString::fromStdString(outcome.reason));
    } else if (outcome.skippedPackets > 0) {
        message = QStringLiteral("%1 damaged sound packets were left out.").arg(outcome.skippedPackets);
    }
    // Complete peaks only: a file that could not be read to its end may read
    // better next time.
    if (outcome.kind == DecodeOutcome::Complete && key) {
        cache_->store(*key, peaks_); // only this thread writes them
        cache_->storeSpeech(*key, *speech);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        speech_ = std::move(speech);
    }
    done(job.generation, message, false);
}

void WaveformSource::publish(std::vector<Peak>& batch)
{
    if (batch.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    peaks_.append(batch.data(), batch.size());
    batch.clear();
}

} // namespace tessel
