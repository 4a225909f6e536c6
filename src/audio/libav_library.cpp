// ffmpeg's functions, loaded with the first movie's sound (see
// core/shared_library.h). Each is looked up in the library that defines it.
#include "core/shared_library.h"

#include <cerrno>
#include <cstdio>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/macros.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {
const char* const Format = "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR);
const char* const Codec = "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR);
const char* const Util = "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);
const char* const Resample = "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR);
const int Missing = AVERROR(ENOSYS);
} // namespace

extern "C" {

TESSEL_LOADED_FUNCTION(Format, nullptr, AVFormatContext*, avformat_alloc_context, (void), ())
TESSEL_LOADED_FUNCTION(Format, Missing, int, avformat_open_input,
    (AVFormatContext * *ps, const char* url, const AVInputFormat* fmt, AVDictionary** options), (ps, url, fmt, options))
TESSEL_LOADED_FUNCTION(
    Format, Missing, int, avformat_find_stream_info, (AVFormatContext * ic, AVDictionary** options), (ic, options))
TESSEL_LOADED_FUNCTION(Format, void(), void, avformat_close_input, (AVFormatContext * *s), (s))
TESSEL_LOADED_FUNCTION(Format, Missing, int, av_read_frame, (AVFormatContext * s, AVPacket* pkt), (s, pkt))

TESSEL_LOADED_FUNCTION(Codec, nullptr, AVPacket*, av_packet_alloc, (void), ())
TESSEL_LOADED_FUNCTION(Codec, void(), void, av_packet_free, (AVPacket * *pkt), (pkt))
TESSEL_LOADED_FUNCTION(Codec, void(), void, av_packet_unref, (AVPacket * pkt), (pkt))
TESSEL_LOADED_FUNCTION(Codec, nullptr, AVCodecContext*, avcodec_alloc_context3, (const AVCodec* codec), (codec))
TESSEL_LOADED_FUNCTION(Codec, nullptr, const AVCodec*, avcodec_find_decoder, (enum AVCodecID id), (id))
TESSEL_LOADED_FUNCTION(Codec, void(), void, avcodec_free_context, (AVCodecContext * *avctx), (avctx))
TESSEL_LOADED_FUNCTION(Codec, "unknown", const char*, avcodec_get_name, (enum AVCodecID id), (id))
TESSEL_LOADED_FUNCTION(Codec, Missing, int, avcodec_open2,
    (AVCodecContext * avctx, const AVCodec* codec, AVDictionary** options), (avctx, codec, options))
TESSEL_LOADED_FUNCTION(Codec, Missing, int, avcodec_parameters_to_context,
    (AVCodecContext * codec, const AVCodecParameters* par), (codec, par))
TESSEL_LOADED_FUNCTION(
    Codec, Missing, int, avcodec_receive_frame, (AVCodecContext * avctx, AVFrame* frame), (avctx, frame))
TESSEL_LOADED_FUNCTION(
    Codec, Missing, int, avcodec_send_packet, (AVCodecContext * avctx, const AVPacket* avpkt), (avctx, avpkt))

TESSEL_LOADED_FUNCTION(Util, nullptr, AVFrame*, av_frame_alloc, (void), ())
TESSEL_LOADED_FUNCTION(Util, void(), void, av_max_alloc, (size_t max), (max))
TESSEL_LOADED_FUNCTION(Util, void(), void, av_frame_free, (AVFrame * *frame), (frame))
TESSEL_LOADED_FUNCTION(Util, void(), void, av_frame_unref, (AVFrame * frame), (frame))
TESSEL_LOADED_FUNCTION(
    Util, -1, int, av_channel_layout_compare, (const AVChannelLayout* chl, const AVChannelLayout* chl1), (chl, chl1))
TESSEL_LOADED_FUNCTION(
    Util, Missing, int, av_channel_layout_copy, (AVChannelLayout * dst, const AVChannelLayout* src), (dst, src))
TESSEL_LOADED_FUNCTION(
    Util, void(), void, av_channel_layout_uninit, (AVChannelLayout * channel_layout), (channel_layout))
TESSEL_LOADED_FUNCTION(Util, nullptr, AVDictionaryEntry*, av_dict_get,
    (const AVDictionary* m, const char* key, const AVDictionaryEntry* prev, int flags), (m, key, prev, flags))
TESSEL_LOADED_FUNCTION(Util, 0, int64_t, av_rescale, (int64_t a, int64_t b, int64_t c), (a, b, c))
TESSEL_LOADED_FUNCTION(Util, Missing, int, av_opt_set_int, (void* obj, const char* name, int64_t val, int search_flags),
    (obj, name, val, search_flags))
TESSEL_LOADED_FUNCTION(Util, void(), void, av_channel_layout_default, (AVChannelLayout * ch_layout, int nb_channels),
    (ch_layout, nb_channels))
TESSEL_LOADED_FUNCTION(Util, 0, int64_t, av_rescale_q, (int64_t a, AVRational bq, AVRational cq), (a, bq, cq))

int av_strerror(int errnum, char* errbuf, size_t errbuf_size)
{
    using Function = int (*)(int, char*, size_t);
    static const Function real = reinterpret_cast<Function>(tessel::LibrarySymbol(Util, "av_strerror"));
    if (real) return real(errnum, errbuf, errbuf_size);
    if (errbuf_size) std::snprintf(errbuf, errbuf_size, "%s cannot be loaded", Util);
    return -1;
}

TESSEL_LOADED_FUNCTION(Resample, Missing, int, swr_alloc_set_opts2,
    (struct SwrContext * *ps, AVChannelLayout* out_ch_layout, enum AVSampleFormat out_sample_fmt, int out_sample_rate,
        AVChannelLayout* in_ch_layout, enum AVSampleFormat in_sample_fmt, int in_sample_rate, int log_offset,
        void* log_ctx),
    (ps, out_ch_layout, out_sample_fmt, out_sample_rate, in_ch_layout, in_sample_fmt, in_sample_rate, log_offset,
        log_ctx))
TESSEL_LOADED_FUNCTION(Resample, Missing, int, swr_convert,
    (struct SwrContext * s, uint8_t** out, int out_count, const uint8_t** in, int in_count),
    (s, out, out_count, in, in_count))
TESSEL_LOADED_FUNCTION(Resample, void(), void, swr_free, (struct SwrContext * *s), (s))
TESSEL_LOADED_FUNCTION(
    Resample, Missing, int, swr_get_out_samples, (struct SwrContext * s, int in_samples), (s, in_samples))
TESSEL_LOADED_FUNCTION(Resample, Missing, int, swr_init, (struct SwrContext * s), (s))
TESSEL_LOADED_FUNCTION(Resample, 0, int64_t, swr_get_delay, (struct SwrContext * s, int64_t base), (s, base))

} // extern "C"
