#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Synchronising subtitles with a film: their intervals are aligned to where
// the film's voices are (or to another subtitle file's intervals) on a grid
// of 10 ms, by a global offset and speed ratio found with an FFT
// cross-correlation, then split where the film has a cut or an inserted
// break, by dynamic programming over the lines with a penalty per split.
namespace tessel {

constexpr int SyncCellsPerSecond = 100; // the grid: 10 ms

struct SyncInterval {
    int64_t start = 0; // milliseconds
    int64_t end = 0;
};

// What the subtitles are aligned to: a value per 10 ms cell from -1 (no
// voice there) to +1 (a voice), and what lies beyond its ends.
struct SyncTarget {
    std::vector<float> values;
    float outside = 0; // -1 beyond a film's sound: nothing is said there
    // A subtitle may come up this many cells before the voice: that much of
    // each line's start counts for nothing. None against another file's
    // subtitles, which start where these do.
    double lead = 0;
};

// From a speech detector's likelihoods (0..255, 128 the threshold).
SyncTarget TargetFromLikelihood(const std::vector<uint8_t>& likelihood);
// From another subtitle file's intervals: +1 inside one, -1 between them,
// nothing known beyond its last.
SyncTarget TargetFromIntervals(const std::vector<SyncInterval>& intervals);

struct SyncOptions {
    int64_t maxOffsetMs = 10 * 60 * 1000; // either way
    bool splits = true;
    // Each split costs this many times the average line's weight: a clean
    // file is never split, a cut is.
    double splitPenalty = 2.5;
    // At the file's own rate, an offset closer to 0 than this is none: the
    // voices' edges are not heard more precisely (a frame, say).
    double leastOffsetMs = 0;
    const std::atomic<bool>* cancel = nullptr;
    std::function<void(double done)> progress; // 0..1
};

// Lines first..last (indexes into the intervals as given) move by offsetMs
// after the ratio: new = ratio * old + offsetMs.
struct SyncSegment {
    size_t first = 0;
    size_t last = 0;
    double offsetMs = 0;
};

struct SyncResult {
    bool cancelled = false;
    double ratio = 1;
    std::vector<SyncSegment> segments; // in the lines' order
    // How sure the alignment is, 0..100, from its prominence: 0 is what
    // chance reaches, 100 what any real match does.
    double score = 0;
    // How far the proposal's fit stands out of the same proposal moved a few
    // seconds, in standard deviations.
    double prominence = 0;

    // Seconds spent aligning (the target was ready).
    double seconds = 0;

    // Below it, the match is not trusted.
    static constexpr double LowScore = 20;
    bool trusted() const { return score >= LowScore; }
    // The offset of line `index`'s segment.
    double offsetOf(size_t index) const;
    // Where a time of line `index` goes, in milliseconds.
    double map(size_t index, double milliseconds) const { return ratio * milliseconds + offsetOf(index); }
};

// The intervals must be in order of their starts (as a subtitle file's
// rows normally are); lines out of order are aligned all the same. Throws
// Error when there is nothing to align.
SyncResult Align(const std::vector<SyncInterval>& lines, const SyncTarget& target, const SyncOptions& options = {});

// "offset +3.420 s, ratio 25/23.976, 2 segments (rows 1-340 +3.420 s, rows 341-812 -16.580 s), score 71"
std::string DescribeRatio(double ratio);

} // namespace tessel
