#pragma once
#include "media/film_tracks.h"

#include <optional>
#include <string>
#include <vector>

// Matroska and WebM read by walking their EBML ourselves: the header
// elements up to the first cluster give the tracks, and the cues (which
// muxers write for every subtitle block) lead to exactly the blocks of one
// track, so that a subtitle track of a 1 GB film costs some hundred small
// reads instead of the whole file.
namespace tessel {

struct MatroskaTrack {
    FilmTrack track;
    std::string codecId; // "S_TEXT/UTF8"
    std::string codecPrivate;
    int compression = -1; // -1 none; 0 zlib, 1 bzlib, 2 lzo, 3 header stripping
    std::string strippedHeader; // for header stripping
    bool encrypted = false;
};

struct MatroskaFile {
    std::vector<MatroskaTrack> tracks; // subtitle tracks only
    int64_t segmentStart = 0;
    int64_t cuesPosition = -1; // in the segment; -1: none found
    int64_t timestampScale = 1000000; // nanoseconds a tick
    int64_t fileSize = 0, segmentEnd = 0; // a segment that ends past the file's end: the file was cut short
};

// Nothing when the file is no Matroska file; throws Error when it is one we cannot read.
std::optional<MatroskaFile> ReadMatroskaHeader(const std::string& fileName, int64_t* bytesRead = nullptr);
// The track's blocks as the cues point to them; nothing when the cues do not
// lead to every block of the track (none for it, or one that is not where it
// says), so that the caller reads the track the long way.
std::optional<TrackPackets> ReadMatroskaTrack(
    const std::string& fileName, const MatroskaFile& file, const MatroskaTrack& track);

} // namespace tessel
