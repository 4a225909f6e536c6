#include "picture/shot_source.h"

#include "core/errors.h"
#include "picture/shot_cache.h"
#include "picture/shot_detector.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cmath>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace tessel {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto PublishInterval = std::chrono::milliseconds(250);
// Below the editor's own threads: ffmpeg's decoding threads started from
// here inherit it.
constexpr int Niceness = 10;

void lowerPriority()
{
#ifdef __linux__
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), Niceness);
#endif
}

QString timeText(int64_t frame, double fps)
{
    const int64_t seconds = fps > 0 ? int64_t(double(frame) / fps) : 0;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

ShotSource::ShotSource(const ShotCache* cache, QObject* parent)
    : QObject(parent)
    , cache_(cache)
{
}

ShotSource::~ShotSource() { stop(); }

void ShotSource::stop()
{
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    cancel_ = false;
}

void ShotSource::close()
{
    stop();
    ++generation_;
    fileName_.clear();
    key_.reset();
    fps_ = 0;
    expected_ = read_ = 0;
    busy_ = fromCache_ = complete_ = false;
    message_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    scores_ = {};
}

void ShotSource::open(const QString& fileName)
{
    close();
    fileName_ = fileName;
    busy_ = true;
    const Job job { generation_, fileName };
    worker_ = std::thread([this, job] { run(job); });
}

void ShotSource::cancel()
{
    if (!busy_) return;
    stop();
    busy_ = false;
    const int64_t scored = std::max<int64_t>(read_ - CutLookahead, 0);
    message_ = QStringLiteral("Shot changes found up to %1 only: the search was stopped.").arg(timeText(scored, fps_));
    emit finished();
}

double ShotSource::progress() const
{
    if (!busy_) return 1;
    return expected_ > 0 ? std::clamp(double(read_) / double(expected_), 0.0, 1.0) : 0;
}

std::vector<int64_t> ShotSource::cuts(int sensitivity) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int64_t> found = FindCuts(scores_, sensitivity);
    // Cuts near the end of a scan still running may not stand.
    if (!complete_) {
        const int64_t settled = int64_t(scores_.frames.size()) - CutLookahead;
        found.erase(std::find_if(found.begin(), found.end(), [&](int64_t cut) { return cut >= settled; }), found.end());
    }
    return found;
}

template <typename F> void ShotSource::post(quint64 generation, F update)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, update = std::move(update)]() mutable {
            if (generation == generation_) update();
        },
        Qt::QueuedConnection);
}

void ShotSource::done(quint64 generation, const QString& message, bool complete, bool fromCache)
{
    post(generation, [this, message, complete, fromCache] {
        busy_ = false;
        message_ = message;
        complete_ = complete;
        fromCache_ = fromCache;
        emit finished();
    });
}

// Only the frames a scan changed since the last time: the tail, whose flash
// scores may have moved, and what is new.
void ShotSource::publish(const ShotScores& scores)
{
    std::lock_guard<std::mutex> lock(mutex_);
    scores_.framesPerSecond = scores.framesPerSecond;
    const size_t from = scores_.frames.size() > size_t(CutLookahead) ? scores_.frames.size() - CutLookahead : 0;
    scores_.frames.resize(scores.frames.size());
    std::copy(scores.frames.begin() + std::ptrdiff_t(std::min(from, scores.frames.size())), scores.frames.end(),
        scores_.frames.begin() + std::ptrdiff_t(std::min(from, scores.frames.size())));
}

// The worker thread.
void ShotSource::run(const Job& job)
{
    lowerPriority();
    try {
        ShotDetector detector(job.fileName.toStdString(), &cancel_);
        const std::optional<PeakCacheKey> key = PeakCacheKey::ForMovie(job.fileName, detector.stream());
        const double fps = detector.framesPerSecond();
        const int64_t expected = detector.expectedFrames();
        post(job.generation, [this, key, fps, expected] {
            key_ = key;
            fps_ = fps;
            expected_ = expected;
            emit started();
        });
        if (cache_ && key) {
            if (std::optional<ShotScores> cached = cache_->load(*key)) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    scores_ = std::move(*cached);
                }
                done(job.generation, {}, true, true);
                return;
            }
        }
        ShotScores scores;
        Clock::time_point last = Clock::now();
        const ShotDetector::Progress progress = [&](const ShotScores& s, int64_t) {
            if (Clock::now() - last < PublishInterval) return;
            last = Clock::now();
            publish(s);
            const int64_t reached = int64_t(s.frames.size());
            post(job.generation, [this, reached] {
                read_ = reached;
                emit progressed();
            });
        };
        const ShotScanOutcome outcome = detector.scan(scores, cancel_, progress);
        if (outcome.kind == ShotScanOutcome::Cancelled) return;
        publish(scores);
        QString message;
        if (outcome.kind == ShotScanOutcome::Stopped)
            message = QStringLiteral("The picture could be read up to %1 only: %2")
                          .arg(timeText(int64_t(scores.frames.size()), fps), QString::fromStdString(outcome.reason));
        else if (outcome.skippedPackets > 0)
            message = QStringLiteral("%1 damaged picture packets were left out.").arg(outcome.skippedPackets);
        const bool complete = outcome.kind == ShotScanOutcome::Complete;
        if (complete && cache_ && key) cache_->store(*key, scores);
        done(job.generation, message, complete, false);
    } catch (const Error& error) {
        if (!cancel_) done(job.generation, QString::fromUtf8(error.what()), false, false);
    } catch (const std::bad_alloc&) {
        done(job.generation, QStringLiteral("Out of memory reading the picture."), false, false);
    } catch (const std::exception& error) {
        // Nothing leaves the thread: an exception there would end the editor.
        done(job.generation, QStringLiteral("The picture could not be read: %1").arg(QString::fromUtf8(error.what())),
            false, false);
    } catch (...) {
        done(job.generation, QStringLiteral("The picture could not be read."), false, false);
    }
}

} // namespace tessel
