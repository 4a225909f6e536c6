#include "audio/film_speech.h"

#include "audio/audio_decoder.h"
#include "audio/peak_cache.h"
#include "core/errors.h"

#include <QFileInfo>
#include <algorithm>

namespace tessel {

FilmSpeech LoadFilmSpeech(const std::string& film, int stream, const PeakCache* cache, const std::atomic<bool>& cancel,
    const FilmSpeechProgress& progress)
{
    FilmSpeech result;
    AudioDecoder decoder(film, &cancel);
    const std::vector<AudioTrack>& tracks = decoder.tracks();
    if (tracks.empty())
        throw Error("\"" + QFileInfo(QString::fromStdString(film)).fileName().toStdString()
            + "\" has no sound to synchronise with.");
    const bool known
        = std::any_of(tracks.begin(), tracks.end(), [&](const AudioTrack& t) { return t.stream == stream; });
    result.stream = known ? stream : tracks.front().stream;
    const std::optional<PeakCacheKey> key
        = cache ? PeakCacheKey::ForMovie(QString::fromStdString(film), result.stream) : std::nullopt;
    if (key) {
        if (std::optional<SpeechTrack> speech = cache->loadSpeech(*key)) {
            result.speech = std::move(*speech);
            result.fromCache = true;
            return result;
        }
        result.peaksWereCached = cache->load(*key).has_value();
    }
    const int64_t expected = std::clamp<int64_t>(decoder.expectedMilliseconds(result.stream), 0, MostPeaks);
    PeakTrack peaks;
    if (!result.peaksWereCached) peaks.reserve(size_t(expected) + PeaksPerSecond);
    int64_t decoded = 0;
    std::vector<Peak> batch;
    const PeakBuilder::Output output = [&](const Peak* p, size_t count) {
        decoded += int64_t(count);
        if (!result.peaksWereCached) batch.insert(batch.end(), p, p + count);
        if (batch.size() >= 64 * 1024) {
            peaks.append(batch.data(), batch.size());
            batch.clear();
        }
        if (progress && expected > 0)
            progress(std::min(1.0, double(decoded) / double(expected)), result.peaksWereCached);
    };
    if (progress) progress(0, result.peaksWereCached);
    SpeechDetector detector;
    const DecodeOutcome outcome = decoder.decode(result.stream, output, cancel, &detector);
    if (outcome.kind == DecodeOutcome::Cancelled) {
        result.cancelled = true;
        return result;
    }
    peaks.append(batch.data(), batch.size());
    result.speech = detector.takeTrack();
    if (outcome.kind == DecodeOutcome::Stopped) {
        result.note
            = "The sound could be read up to " + ClockText(outcome.decodedMilliseconds) + " only: " + outcome.reason;
    } else if (key) {
        // Complete only, as the peaks: a file cut short may read better later.
        cache->storeSpeech(*key, result.speech);
        if (!result.peaksWereCached) cache->store(*key, peaks);
    }
    return result;
}

} // namespace tessel
