#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The subtitle tracks of a film (Matroska, WebM, MP4, QuickTime) and their
// packets: text tracks for the subtitle formats, picture tracks (PGS,
// VobSub, DVB) listed and read the same way for whatever turns pictures
// into text.
namespace tessel {

enum class TrackKind { Text, Picture };

struct FilmTrack {
    int number = 0; // the container's own: Matroska's TrackNumber, MP4's track ID (ffprobe's stream id)
    TrackKind kind = TrackKind::Text;
    std::string codec; // as ffmpeg names it: subrip, ass, ssa, webvtt, mov_text, hdmv_pgs_subtitle, dvd_subtitle...
    std::string language, title; // "" when the file gives none
    bool isDefault = false, forced = false;
    // A text track one of our formats reads.
    bool readable() const;
};

struct SubtitlePacket {
    int64_t startMs = 0;
    int64_t durationMs = -1; // -1: the file gives none
    std::string data; // decompressed
    std::string identifier, settings; // of a WebVTT cue, when the container keeps them apart
};

struct TrackPackets {
    std::string codecPrivate; // a script's header, a WebVTT file's header block, a tx3g sample description
    std::vector<SubtitlePacket> packets; // in the order of their times
    int64_t bytesRead = 0; // of the film, to read them
    std::string note; // what the reader should know of what was read, or ""
};

// Throw Error naming the file when it cannot be read.
std::vector<FilmTrack> ListSubtitleTracks(const std::string& fileName);
TrackPackets ReadTrackPackets(const std::string& fileName, const FilmTrack& track);

// "2\ttext\tsubrip\teng\tEnglish SDH\tdefault,forced": the converter's --list-tracks line.
std::string DescribeTrack(const FilmTrack& track);

} // namespace tessel
