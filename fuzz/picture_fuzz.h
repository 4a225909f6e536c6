#pragma once
// What the picture fuzzers share: the decoded pictures made ready for the
// engine, every step but the engine itself (which is no code of ours and
// would take a second a picture).
#include "picture/ocr_image.h"
#include "picture/ocr_pictures.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace tessel::fuzz {

inline void PreparePictures(const PictureSubtitleSource& source)
{
    try {
        for (const TimedPicture& p : DecodePictures(ReadPictureTrack(source))) {
            const GreyImage ink = InkOf(p.picture);
            for (const TextBand& band : SplitTextLines(ink)) {
                const PreparedLine line = PrepareLine(ink, band, 48);
                ItalicEvidence(line.ink, 0, 0, line.ink.width, line.ink.height);
            }
        }
    } catch (const std::exception&) {
        // A file that cannot be read at all.
    }
}

// A file of its own for the whole run, removed at its end.
struct TemporaryFile {
    std::string name;
    // `pattern` ends in XXXXXX and a 4-character extension; or, with
    // `unique` false, is the name itself.
    explicit TemporaryFile(std::string pattern, bool unique = true)
        : name(std::move(pattern))
    {
        if (!unique) return;
        const int fd = mkstemps(name.data(), 4);
        if (fd >= 0) close(fd);
    }
    ~TemporaryFile() { unlink(name.c_str()); }
    void write(const uint8_t* data, size_t size) const
    {
        if (FILE* out = std::fopen(name.c_str(), "wb")) {
            std::fwrite(data, 1, size, out);
            std::fclose(out);
        }
    }
};

} // namespace tessel::fuzz
