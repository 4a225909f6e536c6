#pragma once
#include "audio/speech.h"

#include <atomic>
#include <functional>
#include <string>

// A film's speech for synchronising, where no waveform window has it: from
// the cache beside the peaks, or by decoding the film once, its peaks made
// in the same pass and cached too (so its waveform then opens at once).
namespace tessel {

class PeakCache;

struct FilmSpeech {
    SpeechTrack speech;
    int stream = -1; // the sound track it came from
    bool cancelled = false;
    bool fromCache = false;
    // The peaks were in the cache, the speech not: the film was decoded for
    // its speech alone.
    bool peaksWereCached = false;
    // The sound could be read only in part: what was read is used and said.
    std::string note;
};

// How far the decoding is (0..1), and whether the cache held the film's
// peaks (so that the decoding is for the voices alone); first told at 0.
using FilmSpeechProgress = std::function<void(double done, bool peaksCached)>;

// `stream` -1: the film's first sound track. Throws Error for a film that
// cannot be read or has no sound.
FilmSpeech LoadFilmSpeech(const std::string& film, int stream, const PeakCache* cache, const std::atomic<bool>& cancel,
    const FilmSpeechProgress& progress = {});

} // namespace tessel
