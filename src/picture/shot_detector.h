#pragma once
#include "picture/shot_scores.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// A film's picture decoded with ffmpeg's libraries and scored frame by frame
// for shot changes (see ShotScores). Frames are counted as the table and the
// movie player count them: from the film's start (the container's start
// time, whatever time the picture starts at) at the picture's average frame
// rate. Decoding is made cheap where the codec allows it: at a reduced size,
// without the loop filter, on every core.
namespace tessel {

struct ShotScanOutcome {
    enum Kind {
        Complete,
        Stopped, // the picture could not be read to its end: what came before is kept
        Cancelled,
    };
    Kind kind = Complete;
    int64_t framesRead = 0;
    int skippedPackets = 0;
    std::string reason; // for Stopped
};

class ShotDetector {
public:
    // Opens the film and picks its picture. Throws Error naming the file
    // when it cannot be read or holds no picture.
    explicit ShotDetector(const std::string& fileName, const std::atomic<bool>* cancel = nullptr);
    ~ShotDetector();
    ShotDetector(const ShotDetector&) = delete;
    ShotDetector& operator=(const ShotDetector&) = delete;

    int stream() const; // the picture's stream index
    double framesPerSecond() const;
    // From the film's length; 0 when unknown.
    int64_t expectedFrames() const;
    // "h264, 1920x1080, decoded at 1920x1080": what the scan works on.
    std::string description() const;

    // Scores every frame into `scores` (resized as it goes). `progress` is
    // called every `every` frames with the frames scored so far; their
    // scores stay as given except for the last CutLookahead.
    using Progress = std::function<void(const ShotScores& scores, int64_t framesRead)>;
    ShotScanOutcome scan(
        ShotScores& scores, const std::atomic<bool>& cancel, const Progress& progress = {}, int64_t every = 250);

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

} // namespace tessel
