// Blu-ray subtitles (.sup) on arbitrary bytes: libavformat's demuxer and
// libavcodec's decoder as we drive them, and our making each picture ready
// for the engine.
#include "picture_fuzz.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const tessel::fuzz::TemporaryFile file("/tmp/pgs_fuzzer_XXXXXX.sup");
    file.write(data, size);
    tessel::fuzz::PreparePictures({ file.name, tessel::FormatCode::Pgs, -1, {} });
    return 0;
}
