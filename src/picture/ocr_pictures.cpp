#include "picture/ocr_pictures.h"

#include "audio/libav_handles.h"
#include "core/errors.h"
#include "formats/vobsub.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <zlib.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace tessel {
namespace {

// A display set shown without an end and never cleared.
constexpr int64_t LastPictureMs = 5000;
constexpr uint32_t Day = 24 * 3600 * 1000;

// ffmpeg's words on what it could not decode, caught for the decoder of this
// thread; every other message goes where ffmpeg sends it.
thread_local const void* catching = nullptr;
thread_local std::string caught;

void logCatcher(void* object, int level, const char* format, va_list arguments)
{
    if (object && object == catching) {
        if (level <= AV_LOG_WARNING && caught.empty()) {
            char text[256];
            std::vsnprintf(text, sizeof text, format, arguments);
            caught = text;
            while (!caught.empty() && (caught.back() == '\n' || caught.back() == '.'))
                caught.pop_back();
        }
        return;
    }
    av_log_default_callback(object, level, format, arguments);
}

class Decoder {
public:
    Decoder(bool dvd, const std::string& codecPrivate)
    {
        static std::once_flag installed;
        std::call_once(installed, [] { av_log_set_callback(logCatcher); });
        const AVCodec* codec = avcodec_find_decoder(dvd ? AV_CODEC_ID_DVD_SUBTITLE : AV_CODEC_ID_HDMV_PGS_SUBTITLE);
        if (!codec) throw Error("ffmpeg's libavcodec cannot be loaded, or has no decoder for picture subtitles.");
        context_.reset(avcodec_alloc_context3(codec));
        if (!context_) throw Error("Out of memory decoding picture subtitles.");
        context_->pkt_timebase = AVRational { 1, 1000 };
        // A damaged display set is said, not drawn half.
        context_->err_recognition = AV_EF_EXPLODE | AV_EF_BUFFER;
        if (!codecPrivate.empty()) {
            context_->extradata = static_cast<uint8_t*>(av_mallocz(codecPrivate.size() + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!context_->extradata) throw Error("Out of memory decoding picture subtitles.");
            std::copy(codecPrivate.begin(), codecPrivate.end(), context_->extradata);
            context_->extradata_size = static_cast<int>(codecPrivate.size());
        }
        if (avcodec_open2(context_.get(), codec, nullptr) < 0)
            throw Error("ffmpeg cannot open its decoder for picture subtitles.");
    }

    // Decodes one packet; false with the reason in `damage` when it cannot.
    bool decode(const SubtitlePacket& in, AVSubtitle& out, bool& got, std::string& damage)
    {
        std::string data = in.data;
        data.append(AV_INPUT_BUFFER_PADDING_SIZE, '\0');
        AVPacket* packet = av_packet_alloc();
        if (!packet) throw Error("Out of memory decoding picture subtitles.");
        packet->data = reinterpret_cast<uint8_t*>(data.data());
        packet->size = static_cast<int>(in.data.size());
        packet->pts = in.startMs;
        catching = context_.get();
        caught.clear();
        int gotPicture = 0;
        const int status = avcodec_decode_subtitle2(context_.get(), &out, &gotPicture, packet);
        catching = nullptr;
        packet->data = nullptr;
        packet->size = 0;
        av_packet_free(&packet);
        got = gotPicture != 0;
        if (status >= 0) return true;
        damage = caught.empty() ? std::string("its data cannot be decoded") : "ffmpeg: " + caught;
        return false;
    }

private:
    libav::CodecPtr context_;
};

uint32_t alphaOf(uint32_t argb) { return argb >> 24; }

// The rectangles of a display set on one canvas of their bounds, their
// colours in one palette (entry 0 transparent).
SubtitlePicture compose(const AVSubtitle& subtitle)
{
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (unsigned i = 0; i < subtitle.num_rects; ++i) {
        const AVSubtitleRect& r = *subtitle.rects[i];
        if (r.type != SUBTITLE_BITMAP || r.w <= 0 || r.h <= 0 || !r.data[0] || !r.data[1]) continue;
        left = std::min(left, r.x);
        top = std::min(top, r.y);
        right = std::max(right, r.x + r.w);
        bottom = std::max(bottom, r.y + r.h);
    }
    if (right <= left || bottom <= top) return {};
    const int width = right - left, height = bottom - top;
    if (static_cast<int64_t>(width) * height > 4096 * 4096) return {};
    std::vector<uint8_t> indexes(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    std::array<uint32_t, 256> palette {};
    std::map<uint32_t, uint8_t> entries { { 0, 0 } };
    for (unsigned i = 0; i < subtitle.num_rects; ++i) {
        const AVSubtitleRect& r = *subtitle.rects[i];
        if (r.type != SUBTITLE_BITMAP || r.w <= 0 || r.h <= 0 || !r.data[0] || !r.data[1]) continue;
        const auto* colours = reinterpret_cast<const uint32_t*>(r.data[1]);
        const int count = std::clamp(r.nb_colors, 0, 256);
        for (int y = 0; y < r.h; ++y)
            for (int x = 0; x < r.w; ++x) {
                const uint8_t index = r.data[0][static_cast<ptrdiff_t>(y) * r.linesize[0] + x];
                uint32_t colour = index < count ? colours[index] : 0;
                if (alphaOf(colour) == 0) continue; // never over another rectangle
                auto found = entries.find(colour);
                if (found == entries.end()) {
                    if (entries.size() >= 256) continue; // beyond one palette: left out
                    found = entries.emplace(colour, static_cast<uint8_t>(entries.size())).first;
                    palette[found->second] = colour;
                }
                indexes[static_cast<size_t>(y + r.y - top) * static_cast<size_t>(width)
                    + static_cast<size_t>(x + r.x - left)]
                    = found->second;
            }
    }
    return SubtitlePicture(width, height, indexes, palette);
}

bool visible(const SubtitlePicture& picture)
{
    if (picture.empty()) return false;
    std::array<bool, 256> seen {};
    for (uint8_t i : picture.indexes())
        seen[i] = true;
    for (int i = 0; i < 256; ++i)
        if (seen[static_cast<size_t>(i)] && alphaOf(picture.palette()[static_cast<size_t>(i)]) > 16) return true;
    return false;
}

std::string nameOf(const std::string& fileName)
{
    return QFileInfo(QString::fromStdString(fileName)).fileName().toStdString();
}

} // namespace

SubtitlePicture::SubtitlePicture(
    int width, int height, const std::vector<uint8_t>& indexes, const std::array<uint32_t, 256>& argb)
    : width_(width)
    , height_(height)
    , palette_(argb)
{
    uLongf size = compressBound(static_cast<uLong>(indexes.size()));
    packed_.resize(size);
    if (compress2(reinterpret_cast<Bytef*>(packed_.data()), &size, indexes.data(), static_cast<uLong>(indexes.size()),
            Z_BEST_SPEED)
        != Z_OK)
        throw Error("Out of memory keeping a subtitle's picture.");
    packed_.resize(size);
}

std::vector<uint8_t> SubtitlePicture::indexes() const
{
    std::vector<uint8_t> out(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    uLongf size = static_cast<uLongf>(out.size());
    if (!out.empty()
        && uncompress(
               out.data(), &size, reinterpret_cast<const Bytef*>(packed_.data()), static_cast<uLong>(packed_.size()))
            != Z_OK)
        std::fill(out.begin(), out.end(), 0);
    return out;
}

std::vector<uint32_t> SubtitlePicture::argb() const
{
    const std::vector<uint8_t> in = indexes();
    std::vector<uint32_t> out(in.size());
    for (size_t i = 0; i < in.size(); ++i)
        out[i] = palette_[in[i]];
    return out;
}

std::vector<FilmTrack> PictureTracksOf(const std::string& fileName)
{
    std::vector<FilmTrack> tracks = ListSubtitleTracks(fileName);
    tracks.erase(std::remove_if(tracks.begin(), tracks.end(),
                     [](const FilmTrack& t) { return t.codec != "hdmv_pgs_subtitle" && t.codec != "dvd_subtitle"; }),
        tracks.end());
    return tracks;
}

std::string PictureFileOf(const PictureSubtitleSource& source)
{
    if (source.track >= 0 || source.format != FormatCode::VobSub) return source.fileName;
    const VobSubFiles pair = FindVobSubFiles(source.fileName);
    const QFileInfo file(QString::fromStdString(source.fileName));
    const std::string name = file.fileName().toStdString(), base = file.completeBaseName().toStdString();
    if (pair.pictures.empty())
        throw Error("The pictures of \"" + name + "\" are missing: \"" + base + ".sub\" should lie beside it.");
    if (pair.index.empty())
        throw Error("The index of \"" + name + "\" is missing: \"" + base + ".idx\" should lie beside it.");
    return pair.index;
}

PictureTrackInput ReadPictureTrack(const PictureSubtitleSource& source)
{
    const std::string fileName = PictureFileOf(source);
    const std::vector<FilmTrack> tracks = PictureTracksOf(fileName);
    if (tracks.empty()) throw Error("\"" + nameOf(fileName) + "\" holds no Blu-ray or DVD subtitle pictures.");
    auto track = tracks.begin();
    if (source.track >= 0)
        track
            = std::find_if(tracks.begin(), tracks.end(), [&](const FilmTrack& t) { return t.number == source.track; });
    if (track == tracks.end())
        throw Error("\"" + nameOf(fileName) + "\" has no picture subtitle track " + std::to_string(source.track) + ".");
    PictureTrackInput input;
    input.dvd = track->codec == "dvd_subtitle";
    input.packets = ReadTrackPackets(fileName, *track);
    return input;
}

std::vector<TimedPicture> DecodePictures(const PictureTrackInput& input, const std::atomic<bool>* cancel)
{
    Decoder decoder(input.dvd, input.packets.codecPrivate);
    std::vector<TimedPicture> out;
    int number = 0;
    bool open = false; // the last picture shows until something ends it
    std::string damage;
    int64_t damageAt = 0;
    // One picture shows at a time: the next one ends any before it.
    const auto close = [&](int64_t at) {
        if (!out.empty() && !out.back().picture.empty() && (open || out.back().endMs > at))
            out.back().endMs = std::max(at, out.back().startMs);
        open = false;
    };
    // A damaged display set that gave no picture is one of its own.
    const auto flushDamage = [&] {
        if (damage.empty()) return;
        out.push_back({ ++number, damageAt, damageAt, {}, damage });
        damage.clear();
    };
    for (const SubtitlePacket& packet : input.packets.packets) {
        if (cancel && cancel->load()) break;
        AVSubtitle subtitle {};
        bool got = false;
        std::string why;
        if (!decoder.decode(packet, subtitle, got, why)) {
            flushDamage();
            close(packet.startMs);
            damage = why;
            damageAt = packet.startMs;
            continue;
        }
        if (!got) continue;
        const int64_t at = (subtitle.pts != AV_NOPTS_VALUE ? subtitle.pts / 1000 : packet.startMs);
        const int64_t start = at + subtitle.start_display_time;
        // An end a day away or more is none (PGS gives UINT32_MAX).
        const bool ends = subtitle.end_display_time > subtitle.start_display_time && subtitle.end_display_time < Day;
        const int64_t end = at + subtitle.end_display_time;
        SubtitlePicture picture = compose(subtitle);
        avsubtitle_free(&subtitle);
        const bool shown = visible(picture);
        // A palette change of the picture on screen (a fade) goes on showing it.
        if (shown && open && damage.empty() && out.back().picture.samePixels(picture)) continue;
        close(start);
        if (!shown) {
            flushDamage();
            continue;
        }
        TimedPicture timed { ++number, start, 0, std::move(picture), std::move(damage) };
        damage.clear();
        const bool lasts = packet.durationMs > 0 && packet.durationMs < Day;
        if (ends)
            timed.endMs = end;
        else if (lasts)
            timed.endMs = packet.startMs + packet.durationMs;
        open = !ends && !lasts;
        out.push_back(std::move(timed));
    }
    flushDamage();
    if (open) out.back().endMs = out.back().startMs + LastPictureMs;
    return out;
}

} // namespace tessel
