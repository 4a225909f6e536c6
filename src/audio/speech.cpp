#include "audio/speech.h"

#include "core/fft.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

namespace tessel {
namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int Hop = SpeechDetector::Rate / SpeechFramesPerSecond; // 160 samples
constexpr int Window = 512; // 32 ms, centred on its frame
constexpr int64_t Lead = Window / 2 - Hop / 2; // samples of a frame's window before the frame
constexpr int64_t MostSamples = MostSpeechFrames * Hop;

// Bands of the voice, in Hz: the floor is followed in each.
constexpr std::array<double, 9> BandEdges = { 150, 300, 500, 800, 1200, 1800, 2600, 3600, 5000 };
constexpr size_t Bands = BandEdges.size() - 1;

// Band levels are kept in half decibels from -40 dB (far below anything
// heard) on: eight bytes a frame, 6 MB for two hours.
constexpr float LowestLevel = -40;
constexpr float LevelStep = 0.5f;

using Frame = std::array<uint8_t, Bands>;

} // namespace

struct SpeechDetector::Analysis {
    RealFft fft { Window };
    std::array<float, Window> window;
    std::array<std::pair<int, int>, Bands> bins;
    std::vector<Frame> frames;

    Analysis()
    {
        for (int i = 0; i < Window; ++i)
            window[size_t(i)] = float(0.5 - 0.5 * std::cos(2 * Pi * (i + 0.5) / Window));
        for (size_t b = 0; b < Bands; ++b)
            bins[b] = { int(std::lround(BandEdges[b] * Window / Rate)),
                int(std::lround(BandEdges[b + 1] * Window / Rate)) };
    }

    void analyse(const float* samples)
    {
        float* real = fft.real();
        for (int i = 0; i < Window; ++i)
            real[i] = samples[i] * window[size_t(i)];
        fft.forward();
        const std::complex<float>* spectrum = fft.spectrum();
        Frame frame;
        for (size_t b = 0; b < Bands; ++b) {
            double energy = 1e-12;
            for (int k = bins[b].first; k < bins[b].second; ++k)
                energy += std::norm(spectrum[k]);
            const double level = (10 * std::log10(energy) - LowestLevel) / LevelStep;
            frame[b] = uint8_t(std::clamp<long>(std::lround(level), 0, 255));
        }
        frames.push_back(frame);
    }

    void silence() { frames.push_back(Frame {}); }
};

SpeechDetector::SpeechDetector()
    : analysis_(std::make_unique<Analysis>())
{
    // The first frames' windows reach before the film: silence there.
    buffer_.assign(size_t(Lead), 0.0f);
    bufferStart_ = -Lead;
}

SpeechDetector::~SpeechDetector() = default;

int64_t SpeechDetector::frames() const { return int64_t(analysis_->frames.size()); }

void SpeechDetector::add(int64_t first, const float* samples, size_t count)
{
    if (finished_ || count == 0) return;
    if (first >= MostSamples) return;
    count = size_t(std::min<int64_t>(int64_t(count), MostSamples - first));
    size_t skip = 0;
    if (first < next_) {
        // Heard already, or before the film's start.
        skip = size_t(std::min<int64_t>(next_ - first, int64_t(count)));
    } else if (first > next_) {
        skipSilence(first);
    }
    buffer_.insert(buffer_.end(), samples + skip, samples + count);
    next_ = std::max(next_, first + int64_t(count));
    analyseReadyFrames();
}

// A gap is silence; a long one is passed over without analysing its frames.
void SpeechDetector::skipSilence(int64_t toSample)
{
    const int64_t gap = toSample - next_;
    if (gap > 4 * Window) {
        buffer_.insert(buffer_.end(), size_t(Window), 0.0f);
        next_ += Window;
        analyseReadyFrames();
        // Frames whose windows lie wholly in the gap.
        const int64_t firstFrame = frames();
        const int64_t lastFrame = (toSample - Window + Lead) / Hop;
        for (int64_t f = firstFrame; f < lastFrame; ++f)
            analysis_->silence();
        const int64_t from = frames() * Hop - Lead;
        buffer_.assign(size_t(toSample - from), 0.0f);
        bufferStart_ = from;
        next_ = toSample;
        return;
    }
    buffer_.insert(buffer_.end(), size_t(gap), 0.0f);
    next_ = toSample;
}

void SpeechDetector::analyseReadyFrames()
{
    size_t used = 0;
    for (;;) {
        const int64_t start = frames() * Hop - Lead; // the next frame's window
        const size_t offset = size_t(start - bufferStart_);
        if (offset + Window > buffer_.size()) break;
        analysis_->analyse(buffer_.data() + offset);
        used = offset + Hop;
    }
    if (used > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + long(used));
        bufferStart_ += int64_t(used);
    }
}

namespace {

// The lowest value within `reach` on either side of each, in O(n).
std::vector<float> slidingMinimum(const std::vector<float>& values, size_t reach)
{
    std::vector<float> result(values.size());
    std::deque<size_t> candidates;
    size_t next = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        for (; next < values.size() && next <= i + reach; ++next) {
            while (!candidates.empty() && values[candidates.back()] >= values[next])
                candidates.pop_back();
            candidates.push_back(next);
        }
        while (candidates.front() + reach < i)
            candidates.pop_front();
        result[i] = values[candidates.front()];
    }
    return result;
}

// The mean within `reach` on either side of each (fewer at the ends).
std::vector<float> slidingMean(const std::vector<float>& values, size_t reach)
{
    std::vector<double> sums(values.size() + 1, 0.0);
    for (size_t i = 0; i < values.size(); ++i)
        sums[i + 1] = sums[i] + values[i];
    std::vector<float> result(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const size_t from = i >= reach ? i - reach : 0, to = std::min(values.size(), i + reach + 1);
        result[i] = float((sums[to] - sums[from]) / double(to - from));
    }
    return result;
}

// How far a signal stands above its floor: the lowest of its level, lightly
// smoothed, within 2.5 s on either side.
std::vector<float> aboveFloor(const std::vector<float>& level)
{
    const std::vector<float> floor = slidingMinimum(slidingMean(level, 2), 250);
    std::vector<float> above(level.size());
    for (size_t i = 0; i < level.size(); ++i)
        above[i] = level[i] - floor[i];
    return above;
}

} // namespace

// The voice is told by four things, weighed by a logistic fit on films of
// voices over noise and over music: the bands' levels above their floors
// (a voice over a steady sound), the whole level above its floor, how fast
// the spectrum changes (phonemes follow each other every few tens of ms)
// and how much the level swings within 150 ms either side (syllables; held
// notes and steady noise swing little).
void SpeechDetector::finish()
{
    if (finished_) return;
    finished_ = true;
    // The last frames' windows run past the sound's end: silence there.
    const int64_t lastFrame = (next_ + Hop - 1) / Hop;
    while (frames() < lastFrame) {
        buffer_.insert(buffer_.end(), size_t(Window), 0.0f);
        analyseReadyFrames();
    }
    std::vector<Frame>& frames = analysis_->frames;
    frames.resize(size_t(lastFrame));
    const size_t n = frames.size();
    auto decibels = [](uint8_t level) { return LowestLevel + LevelStep * float(level); };
    std::vector<float> bandsAbove(n, 0.0f), total(n, 0.0f), flux(n, 0.0f), level(n);
    for (size_t b = 0; b < Bands; ++b) {
        for (size_t i = 0; i < n; ++i)
            level[i] = decibels(frames[i][b]);
        if (b >= 1 && b <= 6) {
            const std::vector<float> above = aboveFloor(level);
            for (size_t i = 0; i < n; ++i)
                bandsAbove[i] += std::clamp(above[i], 0.0f, 20.0f) / 6;
        }
        for (size_t i = 0; i < n; ++i) {
            total[i] += std::pow(10.0f, level[i] / 10);
            if (i > 0) flux[i] += std::fabs(level[i] - level[i - 1]) / float(Bands);
        }
    }
    for (float& t : total)
        t = 10 * std::log10(t);
    frames.clear();
    frames.shrink_to_fit();
    const std::vector<float> totalAbove = aboveFloor(total);
    const std::vector<float> change = slidingMean(flux, 3);
    std::vector<float> squares(n);
    for (size_t i = 0; i < n; ++i)
        squares[i] = total[i] * total[i];
    const std::vector<float> mean = slidingMean(total, 8), meanSquare = slidingMean(squares, 8);
    track_.likelihood.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const float swing = std::sqrt(std::max(0.0f, meanSquare[i] - mean[i] * mean[i]));
        const float z = 0.065f * bandsAbove[i] + 0.61f * change[i] + 0.143f * totalAbove[i] + 0.538f * swing - 4.08f;
        track_.likelihood[i] = uint8_t(std::lround(255 / (1 + std::exp(-z))));
    }
}

} // namespace tessel
