#pragma once
#include "audio/peaks.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A movie's sound tracks, decoded into peaks with ffmpeg's libraries. Times
// are the film's, as the movie player counts them: from the container's start
// time, so that a sound stream that starts later than the picture lands
// where it is heard.
namespace tessel {

struct AudioTrack {
    int stream = -1; // the stream's index in the file
    std::string description; // "1: aac, 2 channels, 48000 Hz, eng"
};

struct DecodeOutcome {
    enum Kind {
        Complete,
        Stopped, // the sound could not be read to its end: what came before is kept
        Cancelled,
        NoAudio,
    };
    Kind kind = Complete;
    int64_t decodedMilliseconds = 0; // how far the peaks reach
    int skippedPackets = 0; // damaged packets left out on the way
    std::string reason; // for Stopped
};

// Hears the sound as it is decoded, in the same pass as the peaks: mono, at
// the rate it asks for, placed in the film as the peaks are.
class SoundListener {
public:
    virtual ~SoundListener() = default;
    virtual int sampleRate() const = 0;
    // `first` is the film position of samples[0], counted at sampleRate();
    // positions may repeat what came before or leave a gap.
    virtual void add(int64_t first, const float* samples, size_t count) = 0;
    virtual void finish() = 0;
};

class AudioDecoder {
public:
    // Opens the movie and reads what streams it holds. Throws Error naming
    // the file when it cannot be read.
    explicit AudioDecoder(const std::string& fileName, const std::atomic<bool>* cancel = nullptr);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    const std::vector<AudioTrack>& tracks() const { return tracks_; }
    // Where the track's sound should end, in the film's milliseconds; 0:
    // unknown, or past MostPeaks.
    int64_t expectedMilliseconds(int stream) const;

    // Decodes the stream from its start, handing over peaks in order from
    // the film's first millisecond, and the samples to `listener` if any.
    // Checks `cancel` between packets.
    DecodeOutcome decode(int stream, const PeakBuilder::Output& output, const std::atomic<bool>& cancel,
        SoundListener* listener = nullptr);

private:
    int64_t claimedMilliseconds(int stream) const;

    struct Context;
    std::unique_ptr<Context> context_;
    std::vector<AudioTrack> tracks_;
};

} // namespace tessel
