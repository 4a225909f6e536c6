// A Matroska file's header, the tracks' blocks the cues lead to, and their
// documents, on arbitrary bytes (written to a file: the reader reads films
// from disk, a few blocks at a time).
#include "core/errors.h"
#include "media/matroska.h"
#include "media/track_document.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One file for the whole run, removed at its end.
    struct TemporaryFile {
        std::string name = "/tmp/matroska_fuzzer_XXXXXX";
        TemporaryFile()
        {
            const int fd = mkstemp(name.data());
            if (fd >= 0) close(fd);
        }
        ~TemporaryFile() { unlink(name.c_str()); }
    };
    static const TemporaryFile temporary;
    const std::string& file = temporary.name;
    if (FILE* out = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    try {
        const std::optional<tessel::MatroskaFile> film = tessel::ReadMatroskaHeader(file);
        if (!film) return 0;
        for (const tessel::MatroskaTrack& track : film->tracks) {
            try {
                if (std::optional<tessel::TrackPackets> packets = tessel::ReadMatroskaTrack(file, *film, track))
                    tessel::TrackDocument(file, track.track, *packets);
            } catch (const std::exception&) {
                // A damaged block or a track no format reads.
            }
        }
    } catch (const std::exception&) {
        // A Matroska file that cannot be read.
    }
    return 0;
}
