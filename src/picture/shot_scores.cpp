#include "picture/shot_scores.h"

#include <algorithm>
#include <cstddef>

namespace tessel {
namespace {

// Frames either side whose changes make the background a cut must stand out of.
constexpr int Neighbours = 6;
// Changes within this factor of each other are alike.
constexpr float Comparable = 1.5f;

struct Thresholds {
    float least; // the change a cut needs at least
    float calm; // how many times the calmer side's background
    float busy; // how many times the busier side's
    float comesBack; // a picture that comes back within this share of the change: a flash
};

Thresholds thresholdsFor(int sensitivity)
{
    const float s = float(std::clamp(sensitivity, LeastSensitivity, MostSensitivity) - LeastSensitivity)
        / float(MostSensitivity - LeastSensitivity);
    return Thresholds { 0.30f - 0.25f * s, 6.0f - 4.0f * s, 2.0f - 0.8f * s, 0.5f };
}

// The mean change of the frames from `from` to `to` but the largest (which
// may be a cut close by).
float background(const std::vector<FrameScore>& frames, size_t from, size_t to)
{
    float sum = 0, largest = 0;
    int count = 0;
    for (size_t i = from; i < to; ++i, ++count) {
        sum += frames[i].change;
        largest = std::max(largest, frames[i].change);
    }
    return count > 1 ? (sum - largest) / float(count - 1) : 0;
}

} // namespace

std::vector<int64_t> FindCuts(const ShotScores& scores, int sensitivity)
{
    const Thresholds t = thresholdsFor(sensitivity);
    const std::vector<FrameScore>& frames = scores.frames;
    std::vector<int64_t> cuts;
    for (size_t n = 1; n < frames.size(); ++n) {
        const float change = frames[n].change;
        if (change < t.least) continue;
        // Of two changes in a row (a cut blended over two frames, a shot
        // whose second frame differs from its first) the first, unless the
        // second is far the larger.
        if (frames[n - 1].change >= t.least && frames[n - 1].change * Comparable >= change) continue;
        if (n + 1 < frames.size() && frames[n + 1].change > change * Comparable) continue;
        if (frames[n].back < t.comesBack * change) continue;
        // A cut stands out of both sides, far out of the calmer one: motion
        // that starts or stops changes every frame on one side as much.
        const size_t first = n >= Neighbours ? n - Neighbours : 0, last = std::min(frames.size(), n + 1 + Neighbours);
        // At the film's ends a side too short to tell is taken as the other.
        float before = background(frames, first, n), after = background(frames, n + 1, last);
        if (n - first < 2) before = after;
        if (last - n - 1 < 2) after = before;
        if (change < t.calm * std::min(before, after) || change < t.busy * std::max(before, after)) continue;
        cuts.push_back(int64_t(n));
    }
    return cuts;
}

} // namespace tessel
