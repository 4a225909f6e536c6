#include "audio/audio_decoder.h"

#include "audio/libav_handles.h"
#include "core/errors.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace tessel {
namespace {

// Damaged packets in a row that are skipped before the stream counts as broken.
constexpr int SkippablePacketsInARow = 16;
// The listener's resampler's filter length (libswresample's default: 32).
constexpr int MonoFilterTaps = 8;
// Sound may run on a little past where the header says it ends.
constexpr int64_t PeaksPastTheEnd = 60 * PeaksPerSecond;

using libav::CodecPtr;
using libav::FormatPtr;
using libav::FramePtr;
using libav::PacketPtr;
const auto errorText = libav::ErrorText;

struct ResamplerCloser {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerCloser>;

int interrupted(void* cancel) { return cancel && static_cast<const std::atomic<bool>*>(cancel)->load() ? 1 : 0; }

std::string describe(int number, const AVStream& stream)
{
    const AVCodecParameters& p = *stream.codecpar;
    std::string text = std::to_string(number) + ": " + avcodec_get_name(p.codec_id);
    if (p.ch_layout.nb_channels > 0)
        text += ", " + std::to_string(p.ch_layout.nb_channels)
            + (p.ch_layout.nb_channels == 1 ? " channel" : " channels");
    if (p.sample_rate > 0) text += ", " + std::to_string(p.sample_rate) + " Hz";
    for (const char* key : { "language", "title" })
        if (const AVDictionaryEntry* entry = av_dict_get(stream.metadata, key, nullptr, 0))
            text += std::string(", ") + entry->value;
    return text;
}

} // namespace

struct AudioDecoder::Context {
    FormatPtr format;
    std::string fileName;
    // Film time 0 in AV_TIME_BASE units: the player counts from here too.
    int64_t filmStart = 0;
};

AudioDecoder::AudioDecoder(const std::string& fileName, const std::atomic<bool>* cancel)
    : context_(std::make_unique<Context>())
{
    context_->fileName = fileName;
    AVFormatContext* format = avformat_alloc_context();
    if (!format) throw Error("Out of memory opening \"" + fileName + "\".");
    format->interrupt_callback.callback = &interrupted;
    format->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(cancel);
    int status = avformat_open_input(&format, fileName.c_str(), nullptr, nullptr);
    if (status < 0) throw Error("Cannot read \"" + fileName + "\": " + errorText(status) + ".");
    context_->format.reset(format);
    status = avformat_find_stream_info(format, nullptr);
    if (status < 0) throw Error("Cannot read the streams of \"" + fileName + "\": " + errorText(status) + ".");
    if (format->start_time != AV_NOPTS_VALUE) context_->filmStart = format->start_time;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream& stream = *format->streams[i];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
        tracks_.push_back({ static_cast<int>(i), describe(static_cast<int>(tracks_.size()) + 1, stream) });
    }
}

AudioDecoder::~AudioDecoder() = default;

namespace {

// Matroska files keep where a stream ends as a tag, "HH:MM:SS.nnnnnnnnn".
std::optional<int64_t> endTag(const AVStream& stream)
{
    const AVDictionaryEntry* entry = av_dict_get(stream.metadata, "DURATION", nullptr, 0);
    int hours = 0, minutes = 0;
    double seconds = 0;
    if (!entry || std::sscanf(entry->value, "%d:%d:%lf", &hours, &minutes, &seconds) != 3) return std::nullopt;
    // A damaged tag ("inf" seconds, a count of minutes past any int) is no length.
    if (hours < 0 || minutes < 0 || minutes > 1000000 || !(seconds >= 0 && seconds < 1e9)) return std::nullopt;
    return (int64_t(hours) * 3600 + int64_t(minutes) * 60) * 1000 + int64_t(seconds * 1000);
}

} // namespace

int64_t AudioDecoder::expectedMilliseconds(int streamIndex) const
{
    // A length beyond any film's is damage: no length at all.
    const int64_t expected = claimedMilliseconds(streamIndex);
    return expected > MostPeaks ? 0 : expected;
}

int64_t AudioDecoder::claimedMilliseconds(int streamIndex) const
{
    const AVFormatContext& format = *context_->format;
    const int64_t filmStart = context_->filmStart / (AV_TIME_BASE / 1000);
    if (streamIndex >= 0 && streamIndex < static_cast<int>(format.nb_streams)) {
        const AVStream& stream = *format.streams[streamIndex];
        const int64_t start = stream.start_time != AV_NOPTS_VALUE
            ? av_rescale_q(stream.start_time, stream.time_base, { 1, 1000 }) - filmStart
            : 0;
        if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0)
            return start + av_rescale_q(stream.duration, stream.time_base, { 1, 1000 });
        if (const std::optional<int64_t> end = endTag(stream)) return *end - filmStart;
    }
    return format.duration != AV_NOPTS_VALUE && format.duration > 0 ? format.duration / (AV_TIME_BASE / 1000) : 0;
}

namespace {

// One stream's decoding: packets in, peaks out.
class StreamDecoder {
public:
    // No peak at or after `limit` is made; timestamps that lie that far off
    // are damage, and the samples counted so far place the sound instead.
    StreamDecoder(AVStream& stream, int64_t filmStart, const PeakBuilder::Output& output, int64_t limit,
        const std::atomic<bool>& cancel, SoundListener* listener)
        : stream_(stream)
        , filmStart_(filmStart)
        , output_(output)
        , limit_(limit)
        , cancel_(cancel)
        , listener_(listener)
    {
        const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
        if (!codec) throw Error(std::string("there is no decoder for ") + avcodec_get_name(stream.codecpar->codec_id));
        codec_.reset(avcodec_alloc_context3(codec));
        if (!codec_ || avcodec_parameters_to_context(codec_.get(), stream.codecpar) < 0)
            throw Error("the decoder could not be set up");
        codec_->pkt_timebase = stream.time_base;
        const int status = avcodec_open2(codec_.get(), codec, nullptr);
        if (status < 0) throw Error("the decoder could not be opened: " + errorText(status));
        frame_.reset(av_frame_alloc());
        if (!frame_) throw Error("out of memory");
    }
    ~StreamDecoder()
    {
        av_channel_layout_uninit(&inLayout_);
        av_channel_layout_uninit(&outLayout_);
        av_channel_layout_uninit(&monoLayout_);
    }
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // A negative status for a packet the decoder refused.
    int send(const AVPacket* packet)
    {
        int status = avcodec_send_packet(codec_.get(), packet);
        if (status == AVERROR(EAGAIN)) {
            receive();
            status = avcodec_send_packet(codec_.get(), packet);
        }
        receive();
        return status == AVERROR_EOF ? 0 : status;
    }

    void finish()
    {
        send(nullptr);
        if (builder_) builder_->finish();
        if (listener_) listener_->finish();
    }

    int64_t decodedMilliseconds() const { return builder_ ? builder_->peaksOut() : 0; }

private:
    void receive()
    {
        while (!cancel_.load() && avcodec_receive_frame(codec_.get(), frame_.get()) >= 0) {
            take(*frame_);
            av_frame_unref(frame_.get());
        }
    }

    void take(const AVFrame& frame)
    {
        if (frame.nb_samples <= 0 || frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0) return;
        if (!builder_) start(frame);
        if (!matches(frame) && !reconfigure(frame)) return;
        const int capacity = swr_get_out_samples(resampler_.get(), frame.nb_samples);
        if (capacity <= 0) return;
        buffer_.resize(size_t(capacity) * channels_);
        uint8_t* out = reinterpret_cast<uint8_t*>(buffer_.data());
        const int converted = swr_convert(
            resampler_.get(), &out, capacity, const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
        if (converted <= 0) return;
        const int64_t position = positionOf(frame);
        builder_->add(position, buffer_.data(), size_t(converted));
        expected_ = position + converted;
        if (listener_ && !monoFailed_ && position < builder_->limitSample()) hear(position, converted);
    }

    // The listener's mono copy, from the floats just made: one more
    // resampler, no second decode.
    void hear(int64_t position, int frames)
    {
        const int rate = listener_->sampleRate();
        if (!mono_) {
            SwrContext* mono = nullptr;
            av_channel_layout_default(&monoLayout_, 1);
            // A short filter: a voice detector needs no clean top octave,
            // and the default one took a sixth of the decoding's time.
            if (swr_alloc_set_opts2(
                    &mono, &monoLayout_, AV_SAMPLE_FMT_FLT, rate, &outLayout_, AV_SAMPLE_FMT_FLT, rate_, 0, nullptr)
                    < 0
                || !mono || av_opt_set_int(mono, "filter_size", MonoFilterTaps, 0) < 0 || swr_init(mono) < 0) {
                swr_free(&mono);
                monoFailed_ = true; // the listener hears silence
                return;
            }
            mono_.reset(mono);
        }
        // What the resampler still holds comes out first.
        const int64_t held = swr_get_delay(mono_.get(), rate);
        const int capacity = swr_get_out_samples(mono_.get(), frames);
        if (capacity <= 0) return;
        monoBuffer_.resize(size_t(capacity));
        uint8_t* out = reinterpret_cast<uint8_t*>(monoBuffer_.data());
        const uint8_t* in = reinterpret_cast<const uint8_t*>(buffer_.data());
        const int converted = swr_convert(mono_.get(), &out, capacity, &in, frames);
        if (converted > 0)
            listener_->add(av_rescale(position, rate, rate_) - held, monoBuffer_.data(), size_t(converted));
    }

    // Film position of the frame's first sample. Timestamps that drift by
    // less than a peak from the samples counted so far are rounding: the
    // count wins, so that nothing shifts over a long film.
    int64_t positionOf(const AVFrame& frame) const
    {
        const int64_t timestamp = frame.best_effort_timestamp;
        if (timestamp == AV_NOPTS_VALUE) return expected_;
        const int64_t position
            = av_rescale_q(timestamp, stream_.time_base, { 1, rate_ }) - av_rescale(filmStart_, rate_, AV_TIME_BASE);
        if (position >= builder_->limitSample() || position <= -builder_->limitSample()) return expected_;
        return std::llabs(position - expected_) <= rate_ / PeaksPerSecond ? expected_ : position;
    }

    void start(const AVFrame& frame)
    {
        rate_ = frame.sample_rate;
        channels_ = frame.ch_layout.nb_channels;
        av_channel_layout_copy(&outLayout_, &frame.ch_layout);
        builder_ = std::make_unique<PeakBuilder>(rate_, channels_, output_);
        builder_->setLimit(limit_);
        builder_->setCancel(&cancel_);
        reconfigure(frame);
        const int64_t timestamp = frame.best_effort_timestamp;
        expected_ = timestamp == AV_NOPTS_VALUE
            ? 0
            : av_rescale_q(timestamp, stream_.time_base, { 1, rate_ }) - av_rescale(filmStart_, rate_, AV_TIME_BASE);
        if (expected_ >= builder_->limitSample() || expected_ <= -builder_->limitSample()) expected_ = 0;
    }

    bool matches(const AVFrame& frame) const
    {
        return resampler_ && frame.format == inFormat_ && frame.sample_rate == inRate_
            && av_channel_layout_compare(&frame.ch_layout, &inLayout_) == 0;
    }

    // Whatever comes in goes out as floats in the first frame's rate and
    // channel layout.
    bool reconfigure(const AVFrame& frame)
    {
        SwrContext* resampler = nullptr;
        const int status = swr_alloc_set_opts2(&resampler, &outLayout_, AV_SAMPLE_FMT_FLT, rate_,
            const_cast<AVChannelLayout*>(&frame.ch_layout), static_cast<AVSampleFormat>(frame.format),
            frame.sample_rate, 0, nullptr);
        if (status < 0 || !resampler || swr_init(resampler) < 0) {
            swr_free(&resampler);
            resampler_.reset();
            return false;
        }
        resampler_.reset(resampler);
        inFormat_ = frame.format;
        inRate_ = frame.sample_rate;
        av_channel_layout_uninit(&inLayout_);
        av_channel_layout_copy(&inLayout_, &frame.ch_layout);
        return true;
    }

    AVStream& stream_;
    int64_t filmStart_;
    const PeakBuilder::Output& output_;
    int64_t limit_;
    const std::atomic<bool>& cancel_;
    CodecPtr codec_;
    FramePtr frame_;
    ResamplerPtr resampler_;
    int inFormat_ = -1;
    int inRate_ = 0;
    AVChannelLayout inLayout_ {};
    AVChannelLayout outLayout_ {}; // the first frame's
    int rate_ = 0;
    int channels_ = 0;
    int64_t expected_ = 0;
    std::unique_ptr<PeakBuilder> builder_;
    std::vector<float> buffer_;
    SoundListener* listener_;
    ResamplerPtr mono_;
    bool monoFailed_ = false;
    AVChannelLayout monoLayout_ {};
    std::vector<float> monoBuffer_;
};

} // namespace

DecodeOutcome AudioDecoder::decode(
    int streamIndex, const PeakBuilder::Output& output, const std::atomic<bool>& cancel, SoundListener* listener)
{
    DecodeOutcome outcome;
    AVFormatContext& format = *context_->format;
    const auto track
        = std::find_if(tracks_.begin(), tracks_.end(), [&](const AudioTrack& t) { return t.stream == streamIndex; });
    if (track == tracks_.end()) {
        outcome.kind = DecodeOutcome::NoAudio;
        return outcome;
    }
    for (unsigned i = 0; i < format.nb_streams; ++i)
        format.streams[i]->discard = static_cast<int>(i) == streamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    auto stopped = [&](const std::string& reason, int64_t at) {
        outcome.kind = DecodeOutcome::Stopped;
        outcome.reason = reason;
        outcome.decodedMilliseconds = at;
        return outcome;
    };
    std::unique_ptr<StreamDecoder> decoder;
    try {
        const int64_t expected = expectedMilliseconds(streamIndex);
        const int64_t limit = expected > 0 ? std::min(expected + PeaksPastTheEnd, MostPeaks) : MostPeaks;
        decoder = std::make_unique<StreamDecoder>(
            *format.streams[streamIndex], context_->filmStart, output, limit, cancel, listener);
    } catch (const Error& error) {
        return stopped(error.what(), 0);
    }
    PacketPtr packet(av_packet_alloc());
    if (!packet) return stopped("out of memory", 0);
    int refusedInARow = 0;
    std::string lastRefusal;
    for (;;) {
        if (cancel.load()) {
            outcome.kind = DecodeOutcome::Cancelled;
            outcome.decodedMilliseconds = decoder->decodedMilliseconds();
            return outcome;
        }
        const int status = av_read_frame(&format, packet.get());
        if (status == AVERROR_EOF) break;
        if (status < 0) {
            decoder->finish();
            return stopped(errorText(status), decoder->decodedMilliseconds());
        }
        if (packet->stream_index == streamIndex) {
            const int sent = decoder->send(packet.get());
            if (sent < 0) {
                ++outcome.skippedPackets;
                lastRefusal = errorText(sent);
                if (++refusedInARow >= SkippablePacketsInARow) {
                    decoder->finish();
                    return stopped(lastRefusal, decoder->decodedMilliseconds());
                }
            } else {
                refusedInARow = 0;
            }
        }
        av_packet_unref(packet.get());
    }
    decoder->finish();
    outcome.decodedMilliseconds = decoder->decodedMilliseconds();
    if (cancel.load()) {
        outcome.kind = DecodeOutcome::Cancelled;
        return outcome;
    }
    // A file cut short reads to its end without an error; its header still
    // says how long the sound should be.
    const int64_t expected = expectedMilliseconds(streamIndex);
    constexpr int64_t Tolerance = 1000;
    if (expected > 0 && outcome.decodedMilliseconds + Tolerance < expected)
        return stopped("the file ends before the sound does", outcome.decodedMilliseconds);
    return outcome;
}

} // namespace tessel
