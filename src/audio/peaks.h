#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A film's sound reduced to peaks: one per millisecond of the film's time,
// the lowest and highest sample of every channel in it and its mean level,
// with coarser summaries above so that any stretch is summed up in a few
// steps. Three bytes a millisecond: two hours take about 22 MB.
namespace tessel {

constexpr int PeaksPerSecond = 1000;
// No film's sound is longer: a day of peaks (some 260 MB) at the most, what
// ever a damaged file's timestamps say.
constexpr int64_t MostPeaks = int64_t(24) * 3600 * PeaksPerSecond;

struct Peak {
    int8_t low = 0; // -127..127; any sound at all shows as at least 1
    int8_t high = 0;
    uint8_t level = 0; // root mean square, 0..255

    bool silent() const { return low == 0 && high == 0; }
    bool operator==(const Peak& other) const { return low == other.low && high == other.high && level == other.level; }
};
static_assert(sizeof(Peak) == 3, "peaks are cached as three bytes each");

// What a stretch of peaks adds up to.
struct PeakSummary {
    int low = 0;
    int high = 0;
    double level = 0; // root mean square of the peaks' levels, 0..255
    bool empty = true;
};

class PeakTrack {
public:
    // Each summary level holds one peak for this many of the level below.
    static constexpr size_t LevelFactor = 16;
    static constexpr size_t SummaryLevels = 3; // 16 ms, 256 ms, 4096 ms

    size_t size() const { return peaks_.size(); } // milliseconds covered
    const std::vector<Peak>& peaks() const { return peaks_; }
    void reserve(size_t count) { peaks_.reserve(count); }
    void append(const Peak* peaks, size_t count);
    // Takes the peaks over whole, without a copy.
    void assign(std::vector<Peak>&& peaks);
    void clear();

    // Peaks [begin, end) summed up; positions beyond the end count as nothing.
    PeakSummary summary(int64_t begin, int64_t end) const;

    size_t memoryBytes() const;

private:
    struct Level {
        std::vector<Peak> peaks;
        std::vector<uint32_t> squares; // sum of the levels' squares below each peak
    };
    void summarise(size_t level);

    std::vector<Peak> peaks_;
    std::array<Level, SummaryLevels> levels_;
};

// Turns samples into peaks. Samples arrive interleaved, as floats, with
// their position in the film counted in samples at the stream's rate; a gap
// is silence, and what lies before the film's start is dropped.
class PeakBuilder {
public:
    using Output = std::function<void(const Peak* peaks, size_t count)>;

    PeakBuilder(int sampleRate, int channels, Output output);

    // No peak from `peaks` on is made (MostPeaks unless told).
    void setLimit(int64_t peaks);
    // A long gap of silence stops being filled once this is set.
    void setCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
    int64_t limitSample() const { return limitSample_; }

    // `first` is the film position of the first sample frame.
    void add(int64_t first, const float* samples, size_t frames);
    // Hands over the last, partly filled peak.
    void finish();

    int64_t nextSample() const { return next_; }
    int64_t peaksOut() const { return emitted_; }

private:
    int64_t binStart(int64_t bin) const;
    void moveTo(int64_t sample);
    void closeBin();
    void flush();

    int rate_;
    int channels_;
    Output output_;
    int64_t next_ = 0; // film position of the next sample expected
    int64_t bin_ = 0; // the peak being filled
    int64_t binEnd_ = 0; // its first sample beyond
    float low_ = 0, high_ = 0;
    double squares_ = 0;
    int64_t count_ = 0;
    int64_t emitted_ = 0;
    std::vector<Peak> pending_;
    int64_t limit_ = MostPeaks;
    int64_t limitSample_ = 0; // the first sample of peak limit_
    const std::atomic<bool>* cancel_ = nullptr;
};

// "h:mm:ss,mmm" for a time in milliseconds.
std::string ClockText(int64_t milliseconds);

} // namespace tessel
