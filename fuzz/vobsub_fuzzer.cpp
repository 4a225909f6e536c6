// DVD subtitles on arbitrary bytes: the first two bytes give the length of
// the index (.idx), the rest are its pictures (.sub), read as a pair.
#include "picture_fuzz.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const tessel::fuzz::TemporaryFile index("/tmp/vobsub_fuzzer_XXXXXX.idx");
    static const tessel::fuzz::TemporaryFile pictures(index.name.substr(0, index.name.size() - 4) + ".sub", false);
    if (size < 2) return 0;
    const size_t length = std::min<size_t>(size - 2, static_cast<size_t>(data[0]) << 8 | data[1]);
    index.write(data + 2, length);
    pictures.write(data + 2 + length, size - 2 - length);
    tessel::fuzz::PreparePictures({ index.name, tessel::FormatCode::VobSub, -1, {} });
    return 0;
}
