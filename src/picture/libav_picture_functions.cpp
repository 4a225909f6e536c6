// ffmpeg's functions that the picture analysis needs beyond those the sound
// and the films' tracks already load (audio/libav_library.cpp,
// media/libav_media_functions.cpp); loaded the same way, at first use.
#include "core/shared_library.h"

extern "C" {
#include <libavutil/macros.h>
#include <libswscale/swscale.h>
}

namespace {
const char* const Scale = "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR);
} // namespace

extern "C" {

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
