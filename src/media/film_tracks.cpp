#include "media/film_tracks.h"

#include "audio/libav_handles.h"
#include "core/errors.h"
#include "media/matroska.h"

#include <algorithm>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

// Matroska and WebM go through our own EBML walk (media/matroska), which
// reads only the blocks of the track; everything else, and a Matroska file
// whose cues do not lead to its subtitles, through libavformat with every
// other stream discarded.
namespace tessel {
namespace {

const auto errorText = libav::ErrorText;

struct CloseInput {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
using Input = std::unique_ptr<AVFormatContext, CloseInput>;
struct FreePacket {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

Input openInput(const std::string& fileName)
{
    AVFormatContext* context = nullptr;
    const int status = avformat_open_input(&context, fileName.c_str(), nullptr, nullptr);
    if (status < 0) throw Error("Cannot read \"" + fileName + "\": " + errorText(status) + ".");
    return Input(context);
}

std::optional<FilmTrack> trackOf(const AVStream& stream)
{
    if (stream.codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) return std::nullopt;
    FilmTrack track;
    track.number = stream.id;
    const AVCodecID id = stream.codecpar->codec_id;
    track.kind = id == AV_CODEC_ID_HDMV_PGS_SUBTITLE || id == AV_CODEC_ID_DVD_SUBTITLE || id == AV_CODEC_ID_DVB_SUBTITLE
            || id == AV_CODEC_ID_XSUB
        ? TrackKind::Picture
        : TrackKind::Text;
    track.codec = id == AV_CODEC_ID_SSA ? "ssa" : avcodec_get_name(id);
    if (const AVDictionaryEntry* e = av_dict_get(stream.metadata, "language", nullptr, 0)) track.language = e->value;
    if (const AVDictionaryEntry* e = av_dict_get(stream.metadata, "title", nullptr, 0)) track.title = e->value;
    track.isDefault = stream.disposition & AV_DISPOSITION_DEFAULT;
    track.forced = stream.disposition & AV_DISPOSITION_FORCED;
    return track;
}

std::string sideData(const AVPacket& packet, AVPacketSideDataType type)
{
    size_t size = 0;
    const uint8_t* data = av_packet_get_side_data(&packet, type, &size);
    return data ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
}

int64_t milliseconds(int64_t value, AVRational base) { return value * 1000 * base.num / std::max(base.den, 1); }

// The track is the stream with its number as id (MP4's track ID), or, for
// Matroska, whose streams libavformat does not number so, the subtitle
// stream at its place among them (`ordinal`, from 0).
TrackPackets readWithLibav(const std::string& fileName, const FilmTrack& track, int ordinal = -1)
{
    Input input = openInput(fileName);
    AVStream* wanted = nullptr;
    int subtitles = 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        AVStream* stream = input->streams[i];
        const bool subtitle = stream->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE;
        const bool isIt = !wanted && subtitle && (ordinal >= 0 ? subtitles == ordinal : stream->id == track.number);
        subtitles += subtitle;
        if (isIt) wanted = stream;
        stream->discard = isIt ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    if (!wanted) throw Error("\"" + fileName + "\" has no subtitle track " + std::to_string(track.number) + ".");
    TrackPackets out;
    const AVCodecParameters& codec = *wanted->codecpar;
    if (codec.extradata)
        out.codecPrivate.assign(
            reinterpret_cast<const char*>(codec.extradata), static_cast<size_t>(codec.extradata_size));
    // Freed however the loop ends, a throw from within it too.
    const std::unique_ptr<AVPacket, FreePacket> held(av_packet_alloc());
    AVPacket* packet = held.get();
    if (!packet) throw Error("Out of memory reading \"" + fileName + "\".");
    for (;;) {
        const int status = av_read_frame(input.get(), packet);
        if (status == AVERROR_EOF) break;
        if (status < 0) throw Error("Cannot read \"" + fileName + "\": " + errorText(status) + ".");
        if (packet->stream_index == wanted->index && packet->size >= 0) {
            SubtitlePacket p;
            const int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            p.startMs = milliseconds(time == AV_NOPTS_VALUE ? 0 : time, wanted->time_base);
            p.durationMs = packet->duration > 0 ? milliseconds(packet->duration, wanted->time_base) : -1;
            p.data.assign(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size));
            p.identifier = sideData(*packet, AV_PKT_DATA_WEBVTT_IDENTIFIER);
            p.settings = sideData(*packet, AV_PKT_DATA_WEBVTT_SETTINGS);
            out.packets.push_back(std::move(p));
        }
        av_packet_unref(packet);
    }
    if (input->pb) out.bytesRead = input->pb->bytes_read;
    std::stable_sort(out.packets.begin(), out.packets.end(),
        [](const SubtitlePacket& a, const SubtitlePacket& b) { return a.startMs < b.startMs; });
    return out;
}

} // namespace

bool FilmTrack::readable() const
{
    if (ocr) return picturesOfText();
    return kind == TrackKind::Text
        && (codec == "subrip" || codec == "ass" || codec == "ssa" || codec == "webvtt" || codec == "mov_text");
}

std::vector<FilmTrack> ListSubtitleTracks(const std::string& fileName)
{
    if (const std::optional<MatroskaFile> file = ReadMatroskaHeader(fileName)) {
        std::vector<FilmTrack> tracks;
        for (const MatroskaTrack& t : file->tracks)
            tracks.push_back(t.track);
        return tracks;
    }
    Input input = openInput(fileName);
    std::vector<FilmTrack> tracks;
    for (unsigned i = 0; i < input->nb_streams; ++i)
        if (std::optional<FilmTrack> track = trackOf(*input->streams[i])) tracks.push_back(std::move(*track));
    return tracks;
}

TrackPackets ReadTrackPackets(const std::string& fileName, const FilmTrack& track)
{
    int64_t headerBytes = 0;
    if (const std::optional<MatroskaFile> file = ReadMatroskaHeader(fileName, &headerBytes)) {
        const auto found = std::find_if(file->tracks.begin(), file->tracks.end(),
            [&](const MatroskaTrack& t) { return t.track.number == track.number; });
        if (found == file->tracks.end())
            throw Error("\"" + fileName + "\" has no subtitle track " + std::to_string(track.number) + ".");
        // Cues cut short may lead to only some of the blocks: such a film is read the long way.
        const bool cut = file->segmentEnd > file->fileSize;
        std::optional<TrackPackets> packets;
        if (!cut) packets = ReadMatroskaTrack(fileName, *file, *found);
        if (!packets) packets = readWithLibav(fileName, track, static_cast<int>(found - file->tracks.begin()));
        packets->bytesRead += headerBytes;
        if (cut)
            packets->note = "\"" + fileName + "\" is cut short: it ends at byte " + std::to_string(file->fileSize)
                + " of " + std::to_string(file->segmentEnd) + "; the subtitles after that are missing.";
        return std::move(*packets);
    }
    TrackPackets packets = readWithLibav(fileName, track);
    packets.bytesRead += headerBytes;
    return packets;
}

std::string DescribeTrack(const FilmTrack& track)
{
    std::string flags;
    if (track.isDefault) flags += "default";
    if (track.forced) flags += flags.empty() ? "forced" : ",forced";
    const auto orDash = [](const std::string& s) { return s.empty() ? std::string("-") : s; };
    return std::to_string(track.number) + '\t' + (track.kind == TrackKind::Picture ? "picture" : "text") + '\t'
        + track.codec + '\t' + orDash(track.language) + '\t' + orDash(track.title) + '\t' + orDash(flags);
}

} // namespace tessel
