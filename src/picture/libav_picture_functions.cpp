// ffmpeg's functions that picture analysis needs beyond those the sound and
// the films' tracks already load (audio/libav_library.cpp,
// media/libav_media_functions.cpp); loaded the same way, at first use.
#include "core/shared_library.h"

#include <cerrno>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/macros.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace {
const char* const Codec = "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR);
const char* const Util = "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);
const char* const Scale = "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR);
const int Missing = AVERROR(ENOSYS);
} // namespace

extern "C" {

TESSEL_LOADED_FUNCTION(Codec, Missing, int, avcodec_decode_subtitle2,
    (AVCodecContext * avctx, AVSubtitle* sub, int* got_sub_ptr, AVPacket* avpkt), (avctx, sub, got_sub_ptr, avpkt))
TESSEL_LOADED_FUNCTION(Codec, void(), void, avsubtitle_free, (AVSubtitle * sub), (sub))
TESSEL_LOADED_FUNCTION(Util, nullptr, void*, av_mallocz, (size_t size), (size))
TESSEL_LOADED_FUNCTION(
    Util, void(), void, av_log_set_callback, (void (*callback)(void*, int, const char*, va_list)), (callback))
TESSEL_LOADED_FUNCTION(Util, void(), void, av_log_default_callback,
    (void* avcl, int level, const char* fmt, va_list vl), (avcl, level, fmt, vl))
TESSEL_LOADED_FUNCTION(Scale, nullptr, struct SwsContext*, sws_getCachedContext,
    (struct SwsContext * context, int srcW, int srcH, enum AVPixelFormat srcFormat, int dstW, int dstH,
        enum AVPixelFormat dstFormat, int flags, SwsFilter* srcFilter, SwsFilter* dstFilter, const double* param),
    (context, srcW, srcH, srcFormat, dstW, dstH, dstFormat, flags, srcFilter, dstFilter, param))
TESSEL_LOADED_FUNCTION(Scale, -1, int, sws_scale,
    (struct SwsContext * c, const uint8_t* const srcSlice[], const int srcStride[], int srcSliceY, int srcSliceH,
        uint8_t* const dst[], const int dstStride[]),
    (c, srcSlice, srcStride, srcSliceY, srcSliceH, dst, dstStride))
TESSEL_LOADED_FUNCTION(Scale, void(), void, sws_freeContext, (struct SwsContext * swsContext), (swsContext))

} // extern "C"
