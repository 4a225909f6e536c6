// ffmpeg's functions that reading subtitle tracks needs beyond those the
// sound already loads (audio/libav_library.cpp); loaded the same way.
#include "core/shared_library.h"

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/macros.h>
}

namespace {
const char* const Codec = "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR);
} // namespace

extern "C" {

TESSEL_LOADED_FUNCTION(Codec, nullptr, uint8_t*, av_packet_get_side_data,
    (const AVPacket* pkt, enum AVPacketSideDataType type, size_t* size), (pkt, type, size))

} // extern "C"
