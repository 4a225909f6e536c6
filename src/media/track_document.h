#pragma once
#include "formats/film_tracks.h"
#include "media/film_tracks.h"

#include <string>

// A text track's packets as a document of the format of ours that reads it:
// SubRip (also for MP4's mov_text, its styles as tags), Advanced SubStation
// Alpha (the script's header from the track's private data, events in their
// read order) and WebVTT. Times come out in milliseconds.
namespace tessel {

// Throws Error for a track no format of ours reads.
FilmTrackDocument TrackDocument(const std::string& fileName, const FilmTrack& track, const TrackPackets& packets);

} // namespace tessel
