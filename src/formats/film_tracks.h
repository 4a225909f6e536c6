#pragma once
#include "formats/detect.h"

#include <QByteArray>
#include <optional>
#include <string>
#include <string_view>

// Subtitles inside a film (Matroska, WebM, MP4), as the load command sees
// them: one of the film's tracks, turned into a document of a subtitle format
// of ours. The demuxing lives above the formats (src/media), which implement
// this for the window and the converter.
namespace tessel {

struct FilmTrackDocument {
    FormatCode format = FormatCode::Unknown; // the reader that takes `text`
    QByteArray text; // UTF-8
    // Where the subtitles could be saved: beside the film, under its name with
    // the track's language and the format's extension ("film.en.srt").
    std::string name;
    std::string note; // said after reading, or ""
};

class FilmTrackSource {
public:
    virtual ~FilmTrackSource() = default;
    // The file is a film container this source reads tracks from.
    virtual bool HoldsFilm(const std::string& fileName) = 0;
    // The text track the user (or the converter's --track) picks, or nothing
    // when no track was chosen. Throws Error when none can be read.
    virtual std::optional<FilmTrackDocument> ReadChosenTrack(const std::string& fileName) = 0;
};

// Matroska and WebM (an EBML header) or an MP4 or QuickTime file (an "ftyp"
// or "moov" box first), from the file's first 12 bytes or more.
bool LooksLikeFilm(std::string_view start);

} // namespace tessel
