#include "audio/peaks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <string>

namespace tessel {
namespace {

// Outward, so that the faintest sound still shows.
int8_t quantise(float value)
{
    if (!(value != 0) || std::isnan(value)) return 0;
    const int magnitude = std::min(127, static_cast<int>(std::ceil(std::min(std::fabs(value), 1.0f) * 127)));
    return static_cast<int8_t>(value < 0 ? -magnitude : magnitude);
}

uint8_t quantiseLevel(double rms)
{
    if (!(rms > 0)) return 0;
    return static_cast<uint8_t>(std::clamp<long>(std::lround(std::min(rms, 1.0) * 255), 1, 255));
}

} // namespace

void PeakTrack::append(const Peak* peaks, size_t count)
{
    peaks_.insert(peaks_.end(), peaks, peaks + count);
    for (size_t level = 0; level < SummaryLevels; ++level)
        summarise(level);
}

void PeakTrack::assign(std::vector<Peak>&& peaks)
{
    clear();
    peaks_ = std::move(peaks);
    for (size_t level = 0; level < SummaryLevels; ++level)
        summarise(level);
}

void PeakTrack::clear()
{
    peaks_.clear();
    for (Level& level : levels_) {
        level.peaks.clear();
        level.squares.clear();
    }
}

void PeakTrack::summarise(size_t level)
{
    const std::vector<Peak>& below = level == 0 ? peaks_ : levels_[level - 1].peaks;
    Level& here = levels_[level];
    for (size_t group = here.peaks.size(); (group + 1) * LevelFactor <= below.size(); ++group) {
        Peak sum { 127, -127, 0 };
        uint64_t squares = 0;
        for (size_t i = group * LevelFactor; i < (group + 1) * LevelFactor; ++i) {
            sum.low = std::min(sum.low, below[i].low);
            sum.high = std::max(sum.high, below[i].high);
            squares += level == 0 ? uint64_t(below[i].level) * below[i].level : levels_[level - 1].squares[i];
        }
        here.peaks.push_back(sum);
        here.squares.push_back(static_cast<uint32_t>(squares));
    }
}

PeakSummary PeakTrack::summary(int64_t begin, int64_t end) const
{
    PeakSummary result;
    begin = std::max<int64_t>(begin, 0);
    end = std::min<int64_t>(end, static_cast<int64_t>(peaks_.size()));
    if (begin >= end) return result;
    int low = 127, high = -127;
    double squares = 0, count = 0;
    auto take = [&](const Peak& peak, double peakSquares, double width) {
        low = std::min<int>(low, peak.low);
        high = std::max<int>(high, peak.high);
        squares += peakSquares;
        count += width;
    };
    constexpr double Widths[] = { LevelFactor, LevelFactor * LevelFactor, LevelFactor * LevelFactor * LevelFactor };
    static_assert(std::size(Widths) == SummaryLevels);
    auto takeAt = [&](int level, int64_t i) {
        if (level < 0) {
            const Peak& p = peaks_[i];
            take(p, double(p.level) * p.level, 1);
        } else {
            take(levels_[level].peaks[i], levels_[level].squares[i], Widths[level]);
        }
    };
    // Whole groups go up a level; only the ragged ends are read below.
    int level = -1;
    const int64_t factor = LevelFactor;
    while (begin < end && level + 1 < static_cast<int>(SummaryLevels)) {
        while (begin < end && begin % factor != 0)
            takeAt(level, begin++);
        while (begin < end && end % factor != 0)
            takeAt(level, --end);
        begin /= factor;
        end /= factor;
        ++level;
    }
    for (int64_t i = begin; i < end; ++i)
        takeAt(level, i);
    result.low = low;
    result.high = high;
    result.level = std::sqrt(squares / count);
    result.empty = false;
    return result;
}

size_t PeakTrack::memoryBytes() const
{
    size_t bytes = peaks_.capacity() * sizeof(Peak);
    for (const Level& level : levels_)
        bytes += level.peaks.capacity() * sizeof(Peak) + level.squares.capacity() * sizeof(uint32_t);
    return bytes;
}

PeakBuilder::PeakBuilder(int sampleRate, int channels, Output output)
    : rate_(std::max(sampleRate, 1))
    , channels_(std::max(channels, 1))
    , output_(std::move(output))
{
    binEnd_ = binStart(1);
    setLimit(MostPeaks);
}

void PeakBuilder::setLimit(int64_t peaks)
{
    limit_ = std::clamp<int64_t>(peaks, 0, MostPeaks);
    limitSample_ = binStart(limit_);
}

// The first sample at or after the peak's start.
int64_t PeakBuilder::binStart(int64_t bin) const { return (bin * rate_ + PeaksPerSecond - 1) / PeaksPerSecond; }

void PeakBuilder::add(int64_t first, const float* samples, size_t frames)
{
    if (first >= limitSample_) return;
    frames = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(frames), limitSample_ - first));
    size_t done = 0;
    if (first < next_) {
        // Overlaps what is there already, or lies before the film's start.
        done = static_cast<size_t>(std::min<int64_t>(next_ - first, static_cast<int64_t>(frames)));
    } else if (first > next_) {
        moveTo(first);
    }
    while (done < frames) {
        const int64_t position = first + static_cast<int64_t>(done);
        if (position >= binEnd_) {
            closeBin();
            continue;
        }
        const size_t run = static_cast<size_t>(std::min<int64_t>(binEnd_ - position, int64_t(frames - done)));
        const float* from = samples + done * channels_;
        const float* to = from + run * channels_;
        // A millisecond's samples: floats add up exactly enough. A NaN leaves
        // low and high alone and silences the level.
        float low = count_ ? low_ : 0.0f, high = count_ ? high_ : 0.0f;
        if (!count_) low = high = std::isnan(*from) ? 0.0f : *from;
        float squares = 0;
        for (const float* s = from; s != to; ++s) {
            low = std::min(low, *s);
            high = std::max(high, *s);
            squares += *s * *s;
        }
        low_ = low;
        high_ = high;
        squares_ += squares;
        count_ += static_cast<int64_t>(run) * channels_;
        done += run;
    }
    next_ = std::max(next_, first + static_cast<int64_t>(frames));
    if (pending_.size() >= 4096) flush();
}

// A gap is handed over as it is filled, and stops at the limit or a cancel.
void PeakBuilder::moveTo(int64_t sample)
{
    while (binEnd_ <= sample && bin_ < limit_) {
        closeBin();
        if (pending_.size() < 4096) continue;
        flush();
        if (cancel_ && cancel_->load()) break;
    }
    next_ = sample;
}

void PeakBuilder::closeBin()
{
    Peak peak;
    if (count_ > 0) {
        peak.low = quantise(low_);
        peak.high = quantise(high_);
        peak.level = quantiseLevel(std::sqrt(squares_ / double(count_)));
    }
    pending_.push_back(peak);
    count_ = 0;
    squares_ = 0;
    ++bin_;
    binEnd_ = binStart(bin_ + 1);
}

void PeakBuilder::flush()
{
    if (pending_.empty()) return;
    output_(pending_.data(), pending_.size());
    emitted_ += static_cast<int64_t>(pending_.size());
    pending_.clear();
}

void PeakBuilder::finish()
{
    if (count_ > 0 && bin_ < limit_) closeBin();
    flush();
}

std::string ClockText(int64_t milliseconds)
{
    const int64_t ms = std::max<int64_t>(milliseconds, 0);
    char text[40];
    std::snprintf(text, sizeof text, "%lld:%02d:%02d,%03d", static_cast<long long>(ms / 3600000),
        static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
    return text;
}

} // namespace tessel
