#pragma once
#include "core/subtitle_table.h"
#include "formats/detect.h"

#include <string>
#include <vector>

// Subtitles that are pictures of text (Blu-ray PGS, DVD VobSub, films'
// picture tracks) become rows by OCR, which lives above the formats
// (picture/): the load command hands such a file to one of these.
namespace tessel {

struct PictureSubtitleSource {
    std::string fileName;
    FormatCode format = FormatCode::Unknown; // Pgs or VobSub
    int track = -1; // a film's track, by its number; -1: the file is the subtitles
    std::string language; // the track's as the film names it; "" when unknown
};

class PictureSubtitleReader {
public:
    virtual ~PictureSubtitleReader() = default;
    // Stores a row for each subtitle from firstRow on (the fill rule), its
    // times as frames at `framerate`, and adds to `notes` one sentence on
    // each that could not be read. Throws Error with the rows read before
    // stored; returns false when the user chose not to read (nothing stored).
    virtual bool ReadPictures(const PictureSubtitleSource& source, SubtitleTable& table, int firstRow, double framerate,
        std::vector<std::string>& notes)
        = 0;
};

} // namespace tessel
