#include "picture/shot_detector.h"

#include "audio/libav_handles.h"
#include "core/errors.h"
#include "picture/shot_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace tessel {
namespace {

constexpr int SkippablePacketsInARow = 16;
// Reduced decoding keeps the picture at least this wide.
constexpr int NarrowestDecoded = 160;
// A change this small needs no look at whether the picture comes back.
constexpr float NotableChange = 0.02f;
// Frames after a change within which a picture that comes back makes it a flash.
constexpr int FlashFrames = 3;
// No film runs past a day at 120 frames a second: later frame numbers are damage.
constexpr int64_t MostFrames = int64_t(86400) * 120;
constexpr int MostThreads = 16;

using libav::CodecPtr;
using libav::FormatPtr;
using libav::FramePtr;
using libav::PacketPtr;
const auto errorText = libav::ErrorText;

struct ScalerCloser {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

using ScalerPtr = std::unique_ptr<SwsContext, ScalerCloser>;

int interrupted(void* cancel) { return cancel && static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0; }

// The picture the player shows: the default one, else the first; never a cover.
int pictureStream(const AVFormatContext& format)
{
    int found = -1;
    for (unsigned i = 0; i < format.nb_streams; ++i) {
        const AVStream& stream = *format.streams[i];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_VIDEO || (stream.disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        if (stream.disposition & AV_DISPOSITION_DEFAULT) return int(i);
        if (found < 0) found = int(i);
    }
    return found;
}

// Each frame's picture, the frames before it, and their scores.
class Scorer {
public:
    explicit Scorer(ShotScores& scores)
        : scores_(scores)
    {
    }

    void add(int64_t frame, std::unique_ptr<ShotPicture> picture)
    {
        std::vector<FrameScore>& frames = scores_.frames;
        if (frames.size() <= size_t(frame)) frames.resize(size_t(frame) + 1);
        if (!recent_.empty()) {
            FrameScore& score = frames[size_t(frame)];
            score.change = PictureDifference(*recent_.back().picture, *picture);
            // Was this picture there just before (the end of a flash)?
            if (score.change >= NotableChange)
                for (size_t i = 0; i + 1 < recent_.size(); ++i)
                    score.back = std::min(score.back, PictureDifference(*recent_[i].picture, *picture));
            // Does the picture before a recent change come back now?
            for (size_t i = 1; i < recent_.size(); ++i) {
                FrameScore& earlier = frames[size_t(recent_[i].frame)];
                if (earlier.change >= NotableChange)
                    earlier.back = std::min(earlier.back, PictureDifference(*recent_[i - 1].picture, *picture));
            }
        }
        recent_.push_back({ frame, std::move(picture) });
        if (recent_.size() > FlashFrames + 1) {
            spare_ = std::move(recent_.front().picture);
            recent_.pop_front();
        }
    }

    // A picture to fill, the oldest one's memory when there is one.
    std::unique_ptr<ShotPicture> take() { return spare_ ? std::move(spare_) : std::make_unique<ShotPicture>(); }

private:
    struct Seen {
        int64_t frame;
        std::unique_ptr<ShotPicture> picture;
    };
    ShotScores& scores_;
    std::deque<Seen> recent_;
    std::unique_ptr<ShotPicture> spare_;
};

} // namespace

struct ShotDetector::Context {
    FormatPtr format;
    CodecPtr codec;
    ScalerPtr scaler;
    std::string fileName;
    int stream = -1;
    AVRational rate {};
    double fps = 0;
    int64_t filmStart = 0; // AV_TIME_BASE units: frame 0
    int64_t expected = 0; // frames
    bool endKnown = false; // the picture's own end, not the film's
    std::string description;

    void findEnd();
    void openCodec();
    // The frame's number, or -1 to leave it out.
    int64_t frameNumber(const AVFrame& frame, int64_t previous) const;
    bool reduce(const AVFrame& frame, ShotPicture& picture);
};

ShotDetector::ShotDetector(const std::string& fileName, const std::atomic<bool>* cancel)
    : context_(std::make_unique<Context>())
{
    Context& c = *context_;
    c.fileName = fileName;
    AVFormatContext* format = avformat_alloc_context();
    if (!format) throw Error("Out of memory opening \"" + fileName + "\".");
    format->interrupt_callback.callback = &interrupted;
    format->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(cancel);
    int status = avformat_open_input(&format, fileName.c_str(), nullptr, nullptr);
    if (status < 0) throw Error("Cannot read \"" + fileName + "\": " + errorText(status) + ".");
    c.format.reset(format);
    status = avformat_find_stream_info(format, nullptr);
    if (status < 0) throw Error("Cannot read the streams of \"" + fileName + "\": " + errorText(status) + ".");
    c.stream = pictureStream(*format);
    if (c.stream < 0) throw Error("\"" + fileName + "\" holds no picture to find shot changes in.");
    const AVStream& stream = *format->streams[c.stream];
    // As the movie player counts frames.
    c.rate
        = stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
    if (c.rate.num <= 0 || c.rate.den <= 0) throw Error("The frame rate of \"" + fileName + "\" is unknown.");
    c.fps = av_q2d(c.rate);
    if (format->start_time != AV_NOPTS_VALUE) c.filmStart = format->start_time;
    c.findEnd();
    c.openCodec();
}

ShotDetector::~ShotDetector() = default;

// Where the picture ends: its stream's length, Matroska's DURATION tag
// ("HH:MM:SS.nnnnnnnnn"), else the film's.
void ShotDetector::Context::findEnd()
{
    const AVStream& s = *format->streams[stream];
    const double start = double(filmStart) / AV_TIME_BASE;
    const double streamStart = s.start_time != AV_NOPTS_VALUE ? double(s.start_time) * av_q2d(s.time_base) : start;
    double seconds = 0;
    int hours = 0, minutes = 0;
    if (s.duration != AV_NOPTS_VALUE && s.duration > 0) {
        seconds = streamStart - start + double(s.duration) * av_q2d(s.time_base);
        endKnown = true;
    } else if (const AVDictionaryEntry* tag = av_dict_get(s.metadata, "DURATION", nullptr, 0);
               tag && std::sscanf(tag->value, "%d:%d:%lf", &hours, &minutes, &seconds) == 3) {
        seconds += hours * 3600.0 + minutes * 60.0 + streamStart - start;
        endKnown = true;
    } else if (format->duration != AV_NOPTS_VALUE && format->duration > 0) {
        seconds = double(format->duration) / AV_TIME_BASE;
    }
    expected = std::clamp<int64_t>(std::llround(seconds * fps), 0, MostFrames);
}

void ShotDetector::Context::openCodec()
{
    AVStream& s = *format->streams[stream];
    const AVCodec* decoder = avcodec_find_decoder(s.codecpar->codec_id);
    if (!decoder)
        throw Error("\"" + fileName + "\": there is no decoder for its picture ("
            + avcodec_get_name(s.codecpar->codec_id) + ").");
    codec.reset(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), s.codecpar) < 0)
        throw Error("\"" + fileName + "\": the picture's decoder could not be set up.");
    codec->pkt_timebase = s.time_base;
    // Shot changes need no fine detail: a smaller picture where the codec
    // can decode one, and shortcuts the standard does not allow. The loop
    // filter is left out only where no later frame builds on the picture:
    // without it the error grows from frame to frame until the next key
    // frame puts it right, a jump that looks like a cut.
    int lowres = 0;
    while (lowres < decoder->max_lowres && (s.codecpar->width >> (lowres + 1)) >= NarrowestDecoded)
        ++lowres;
    codec->lowres = lowres;
    codec->skip_loop_filter = AVDISCARD_NONREF;
    codec->flags2 |= AV_CODEC_FLAG2_FAST;
    // One frame thread more than cores: a frame waiting for its reference's
    // rows leaves a core idle otherwise.
    codec->thread_count = std::clamp(int(std::thread::hardware_concurrency()) + 1, 1, MostThreads);
    codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    const int status = avcodec_open2(codec.get(), decoder, nullptr);
    if (status < 0)
        throw Error("\"" + fileName + "\": the picture's decoder could not be opened: " + errorText(status) + ".");
    for (unsigned i = 0; i < format->nb_streams; ++i)
        format->streams[i]->discard = int(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    description = std::string(avcodec_get_name(s.codecpar->codec_id)) + ", " + std::to_string(s.codecpar->width) + "x"
        + std::to_string(s.codecpar->height) + ", decoded at " + std::to_string(s.codecpar->width >> lowres) + "x"
        + std::to_string(s.codecpar->height >> lowres);
}

int64_t ShotDetector::Context::frameNumber(const AVFrame& frame, int64_t previous) const
{
    const int64_t timestamp = frame.best_effort_timestamp;
    if (timestamp == AV_NOPTS_VALUE) return previous + 1;
    const AVRational base = format->streams[stream]->time_base;
    const long double seconds = static_cast<long double>(timestamp) * base.num / base.den
        - static_cast<long double>(filmStart) / AV_TIME_BASE;
    const long double number = std::round(seconds * rate.num / rate.den);
    const int64_t most = expected > 0 ? expected + int64_t(fps * 60) : MostFrames;
    if (number < 0) return -1;
    if (number > static_cast<long double>(most)) return previous + 1; // a damaged timestamp
    return static_cast<int64_t>(number);
}

namespace {

// Each output pixel the mean of its box of the plane, two rows of it: the
// plane's noise averages out, and reading the whole frame would cost more
// than all the rest of the scoring. Rows are summed first, a loop the
// compiler makes wide.
void boxReduce(const uint8_t* plane, int stride, int width, int height, uint8_t* out, int outWidth, int outHeight)
{
    std::vector<uint16_t> sums(static_cast<size_t>(width));
    for (int oy = 0; oy < outHeight; ++oy) {
        const int y0 = oy * height / outHeight, y1 = std::max((oy + 1) * height / outHeight, y0 + 1);
        const int step = std::max(1, (y1 - y0) / 2);
        std::fill(sums.begin(), sums.end(), 0);
        int rows = 0;
        for (int y = y0; y < y1; y += step, ++rows) {
            const uint8_t* row = plane + ptrdiff_t(y) * stride;
            for (int x = 0; x < width; ++x)
                sums[size_t(x)] = uint16_t(sums[size_t(x)] + row[x]);
        }
        for (int ox = 0; ox < outWidth; ++ox) {
            const int x0 = ox * width / outWidth, x1 = std::max((ox + 1) * width / outWidth, x0 + 1);
            unsigned sum = 0;
            for (int x = x0; x < x1; ++x)
                sum += sums[size_t(x)];
            const unsigned count = unsigned(rows * (x1 - x0));
            *out++ = uint8_t((sum + count / 2) / count);
        }
    }
}

} // namespace

bool ShotDetector::Context::reduce(const AVFrame& frame, ShotPicture& picture)
{
    // Nearly every film's picture: done here, at a tenth of swscale's cost.
    if ((frame.format == AV_PIX_FMT_YUV420P || frame.format == AV_PIX_FMT_YUVJ420P) && frame.width >= 2
        && frame.height >= 2) {
        boxReduce(frame.data[0], frame.linesize[0], frame.width, frame.height, picture.luma.data(), ShotPicture::Width,
            ShotPicture::Height);
        const int cw = (frame.width + 1) / 2, ch = (frame.height + 1) / 2;
        boxReduce(frame.data[1], frame.linesize[1], cw, ch, picture.u.data(), ShotPicture::ChromaWidth,
            ShotPicture::ChromaHeight);
        boxReduce(frame.data[2], frame.linesize[2], cw, ch, picture.v.data(), ShotPicture::ChromaWidth,
            ShotPicture::ChromaHeight);
        picture.finish();
        return true;
    }
    SwsContext* scaler = sws_getCachedContext(this->scaler.release(), frame.width, frame.height,
        static_cast<AVPixelFormat>(frame.format), ShotPicture::Width, ShotPicture::Height, AV_PIX_FMT_YUV420P, SWS_AREA,
        nullptr, nullptr, nullptr);
    this->scaler.reset(scaler);
    if (!scaler) return false;
    uint8_t* const planes[] = { picture.luma.data(), picture.u.data(), picture.v.data() };
    const int strides[] = { ShotPicture::Width, ShotPicture::ChromaWidth, ShotPicture::ChromaWidth };
    if (sws_scale(scaler, frame.data, frame.linesize, 0, frame.height, planes, strides) <= 0) return false;
    picture.finish();
    return true;
}

int ShotDetector::stream() const { return context_->stream; }

double ShotDetector::framesPerSecond() const { return context_->fps; }

int64_t ShotDetector::expectedFrames() const { return context_->expected; }

std::string ShotDetector::description() const { return context_->description; }

ShotScanOutcome ShotDetector::scan(
    ShotScores& scores, const std::atomic<bool>& cancel, const Progress& progress, int64_t every)
{
    Context& c = *context_;
    ShotScanOutcome outcome;
    scores.framesPerSecond = c.fps;
    scores.frames.clear();
    if (c.expected > 0) scores.frames.reserve(size_t(c.expected) + 1);
    Scorer scorer(scores);
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame) throw Error("Out of memory reading the picture.");
    int64_t previous = -1, nextReport = every;
    auto receive = [&] {
        while (!cancel.load() && avcodec_receive_frame(c.codec.get(), frame.get()) >= 0) {
            const int64_t number = c.frameNumber(*frame, previous);
            if (number > previous) {
                std::unique_ptr<ShotPicture> picture = scorer.take();
                if (c.reduce(*frame, *picture)) {
                    scorer.add(number, std::move(picture));
                    previous = number;
                    ++outcome.framesRead;
                }
            }
            av_frame_unref(frame.get());
            if (progress && outcome.framesRead >= nextReport) {
                progress(scores, outcome.framesRead);
                nextReport = outcome.framesRead + every;
            }
        }
    };
    auto send = [&](const AVPacket* p) {
        int status = avcodec_send_packet(c.codec.get(), p);
        if (status == AVERROR(EAGAIN)) {
            receive();
            status = avcodec_send_packet(c.codec.get(), p);
        }
        receive();
        return status == AVERROR_EOF ? 0 : status;
    };
    int refusedInARow = 0;
    for (;;) {
        if (cancel.load()) {
            outcome.kind = ShotScanOutcome::Cancelled;
            return outcome;
        }
        const int status = av_read_frame(c.format.get(), packet.get());
        if (status == AVERROR_EOF) break;
        if (status < 0) {
            send(nullptr);
            outcome.kind = ShotScanOutcome::Stopped;
            outcome.reason = errorText(status);
            return outcome;
        }
        if (packet->stream_index == c.stream) {
            const int sent = send(packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN)) {
                ++outcome.skippedPackets;
                if (++refusedInARow >= SkippablePacketsInARow) {
                    outcome.kind = ShotScanOutcome::Stopped;
                    outcome.reason = errorText(sent);
                    return outcome;
                }
            } else {
                refusedInARow = 0;
            }
        }
        av_packet_unref(packet.get());
    }
    send(nullptr);
    if (cancel.load()) {
        outcome.kind = ShotScanOutcome::Cancelled;
        return outcome;
    }
    if (progress) progress(scores, outcome.framesRead);
    // A file cut short reads to its end without an error.
    if (c.endKnown && previous + 1 + int64_t(c.fps) < c.expected) {
        outcome.kind = ShotScanOutcome::Stopped;
        outcome.reason = "the file ends before the picture does";
    }
    return outcome;
}

} // namespace tessel
