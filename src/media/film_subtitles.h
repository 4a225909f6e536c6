#pragma once
#include "formats/film_tracks.h"
#include "media/film_tracks.h"

#include <optional>
#include <string>
#include <vector>

// Films opened as subtitles: the text track to read is the one asked for,
// the only one there is, or the one the user picks.
namespace tessel {

class TrackChooser {
public:
    virtual ~TrackChooser() = default;
    // The number of the track to read among `tracks` (picture tracks among
    // them, which cannot be read as text), or nothing to read none.
    virtual std::optional<int> ChooseTrack(const std::string& fileName, const std::vector<FilmTrack>& tracks) = 0;
};

class FilmSubtitles : public FilmTrackSource {
public:
    // `wanted`: the track to read, whatever there is (the converter's
    // --track); else `chooser` is asked when there is more than one text
    // track, and without one that is an error. With `pictures`, PGS and
    // VobSub tracks are offered too, for OCR.
    explicit FilmSubtitles(TrackChooser* chooser, std::optional<int> wanted = std::nullopt, bool pictures = false)
        : chooser_(chooser)
        , wanted_(wanted)
        , pictures_(pictures)
    {
    }
    bool HoldsFilm(const std::string& fileName) override;
    std::optional<FilmTrackDocument> ReadChosenTrack(const std::string& fileName) override;
    // Of the last track read.
    int64_t bytesRead() const { return bytesRead_; }

private:
    TrackChooser* chooser_;
    std::optional<int> wanted_;
    bool pictures_;
    int64_t bytesRead_ = 0;
};

} // namespace tessel
