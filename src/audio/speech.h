#pragma once
#include "audio/audio_decoder.h"

#include <cstdint>
#include <memory>
#include <vector>

// Where a film's sound holds a voice: one decision every 10 ms, made while the
// sound is decoded for its peaks (the same pass), for synchronising subtitles
// with the film. A decision is a likelihood, 0 to 255; from 128 on the frame
// counts as speech.
namespace tessel {

constexpr int SpeechFramesPerSecond = 100;
// No film's sound is longer: a day of decisions at the most.
constexpr int64_t MostSpeechFrames = int64_t(24) * 3600 * SpeechFramesPerSecond;

struct SpeechTrack {
    static constexpr uint8_t Threshold = 128;
    std::vector<uint8_t> likelihood; // one a 10 ms frame from the film's start

    size_t size() const { return likelihood.size(); }
    bool speech(size_t frame) const { return frame < likelihood.size() && likelihood[frame] >= Threshold; }
    bool operator==(const SpeechTrack& other) const { return likelihood == other.likelihood; }
};

// A voice detector of our own: per frame, how far the voice band's energy
// stands above the sound's floor in several bands, how tonal the frame is
// and whether it has a pitch in a voice's range; decided over the whole film
// at the end, with the floor known on both sides of each frame.
class SpeechDetector : public SoundListener {
public:
    static constexpr int Rate = 16000;

    SpeechDetector();
    ~SpeechDetector() override;
    SpeechDetector(const SpeechDetector&) = delete;
    SpeechDetector& operator=(const SpeechDetector&) = delete;

    int sampleRate() const override { return Rate; }
    void add(int64_t first, const float* samples, size_t count) override;
    // Decides every frame; the track is complete after it.
    void finish() override;

    const SpeechTrack& track() const { return track_; }
    SpeechTrack takeTrack() { return std::move(track_); }
    // Frames analysed so far.
    int64_t frames() const;

private:
    struct Analysis;
    void analyseReadyFrames();
    void skipSilence(int64_t toSample);

    std::unique_ptr<Analysis> analysis_;
    std::vector<float> buffer_; // samples from bufferStart_ on
    int64_t bufferStart_ = 0;
    int64_t next_ = 0; // the next sample expected
    SpeechTrack track_;
    bool finished_ = false;
};

} // namespace tessel
