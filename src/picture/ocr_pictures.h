#pragma once
#include "formats/picture_subtitles.h"
#include "media/film_tracks.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// The pictures of picture subtitles with their times, decoded by
// libavcodec (hdmv_pgs_subtitle, dvd_subtitle) from the packets libavformat
// or our Matroska walk reads: a .sup, an .idx with its .sub, a film's track.
namespace tessel {

// A subtitle's picture: palette indexes, kept compressed (a film's
// subtitles stay with their rows while they are reviewed), and the palette.
class SubtitlePicture {
public:
    SubtitlePicture() = default;
    // `indexes` holds width * height bytes.
    SubtitlePicture(int width, int height, const std::vector<uint8_t>& indexes, const std::array<uint32_t, 256>& argb);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    std::vector<uint8_t> indexes() const;
    // 0xAARRGGBB
    const std::array<uint32_t, 256>& palette() const { return palette_; }
    // Pixels as 0xAARRGGBB, row by row.
    std::vector<uint32_t> argb() const;
    size_t storedBytes() const { return packed_.size(); }
    bool samePixels(const SubtitlePicture& other) const
    {
        return width_ == other.width_ && height_ == other.height_ && packed_ == other.packed_;
    }

private:
    int width_ = 0, height_ = 0;
    std::string packed_;
    std::array<uint32_t, 256> palette_ {};
};

struct TimedPicture {
    int number = 0; // from 1, as the file holds them
    int64_t startMs = 0, endMs = 0;
    SubtitlePicture picture; // empty for one that could not be decoded
    std::string damage; // why not: ffmpeg's words
};

// What a picture track is read from.
struct PictureTrackInput {
    TrackPackets packets;
    bool dvd = false; // dvd_subtitle; else hdmv_pgs_subtitle
};

// The subtitles of `source` (a .sup, an .idx or its .sub, a film's track);
// for a VobSub pair of several languages, the track `source.track` (by its
// number as --list-tracks gives it) or else the first. Throws Error naming
// the file when it cannot be read at all: a missing .sub or .idx among them.
PictureTrackInput ReadPictureTrack(const PictureSubtitleSource& source);
// The file libavformat opens for `source`: for a VobSub pair its index,
// after checking that both files are there (throws Error otherwise).
std::string PictureFileOf(const PictureSubtitleSource& source);
// The pictures in time order; each damaged display set is one with its
// damage said. A picture shows until its own end, the clearing display set
// after it, or the next picture (the last one of a file that ends without
// an end: 5 seconds). Stops early when `cancel` becomes true.
std::vector<TimedPicture> DecodePictures(const PictureTrackInput& input, const std::atomic<bool>* cancel = nullptr);

// The picture tracks OCR reads in a file of several (an .idx of several
// languages): by number, with their language.
std::vector<FilmTrack> PictureTracksOf(const std::string& fileName);

} // namespace tessel
