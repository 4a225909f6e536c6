// A movie's sound from arbitrary bytes, as the Waveform window decodes it:
// damaged headers and timestamps must end in peaks or an error, bounded.
#include "audio/audio_decoder.h"
#include "core/errors.h"

#include <atomic>
#include <cstdlib>
#include <exception>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

extern "C" {
#include <libavutil/mem.h>
}

// ffmpeg allocates whatever size a damaged header claims for a packet (up to
// 2 GiB) and trims it afterwards: its memory, not ours. Capped, the
// fuzzer's memory limit measures our code.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    av_max_alloc(size_t(64) << 20);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // ffmpeg opens files by name: the bytes as a file in memory.
    static const int fd = ::memfd_create("tessel-fuzz-movie", 0);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
    const std::string name = "/proc/self/fd/" + std::to_string(fd);
    std::atomic<bool> cancel { false };
    try {
        tessel::AudioDecoder decoder(name, &cancel);
        if (decoder.tracks().empty()) return 0;
        int64_t peaks = 0;
        decoder.decode(
            decoder.tracks().front().stream, [&](const tessel::Peak*, size_t count) { peaks += int64_t(count); },
            cancel);
        if (peaks > tessel::MostPeaks) std::abort();
    } catch (const tessel::Error&) {
        // A file that is no movie.
    }
    return 0;
}
