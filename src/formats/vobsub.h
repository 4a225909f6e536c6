#pragma once
#include "formats/detect.h"

#include <string>

// DVD subtitles (VobSub): an index (.idx, text: size, palette, a time and
// a place for each subtitle) and beside it the pictures (.sub, an MPEG
// program stream). Read by OCR above the formats (picture/); not written.
namespace tessel {

// An index's first line, or a .sub that starts with an MPEG pack header.
bool LooksLikeVobSub(const DetectionInput& input);

struct VobSubFiles {
    std::string index, pictures; // "" where none exists
};
// The index and the pictures of the pair `fileName` (either of them)
// belongs to: the same name with the other extension, in any case.
VobSubFiles FindVobSubFiles(const std::string& fileName);

} // namespace tessel
