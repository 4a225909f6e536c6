#pragma once
#include <cstdint>
#include <vector>

// What a scan of a film's picture leaves behind for finding its shot changes:
// for every frame, how much it differs from the frame before it, and how
// near the pictures either side of that change come back (the one before it
// in the next few frames, this one in the few before). A cut is a frame that
// differs from the one before far more than its neighbours differ from
// theirs (fast motion and fades change every frame a little, a cut one frame
// a lot), with no picture coming back (a flash comes and goes). Kept in the cache, so that another sensitivity needs no
// new scan.
namespace tessel {

struct FrameScore {
    float change = 0; // 0..1 against the frame before
    float back = 1; // 0..1: the nearest return of either picture (for changes that count)
};

struct ShotScores {
    double framesPerSecond = 0; // the film's, at which frames are counted
    // Frame n (counted from the film's start) is frames[n]; frames the film
    // does not have (before its picture starts, dropped ones) score 0.
    std::vector<FrameScore> frames;
};

// Sensitivity runs from 1 (only the plainest cuts) to 100 (any change that
// stands out from its neighbours).
constexpr int LeastSensitivity = 1;
constexpr int MostSensitivity = 100;
constexpr int DefaultSensitivity = 50;

// How far ahead of a frame the decision for it looks: a cut before the last
// this many frames of a scan still running is not final.
constexpr int CutLookahead = 8;

// The first frames of the shots after the first, in order.
std::vector<int64_t> FindCuts(const ShotScores& scores, int sensitivity = DefaultSensitivity);

} // namespace tessel
