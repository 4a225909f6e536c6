#pragma once
#include "formats/detect.h"
#include "formats/format.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Blu-ray subtitles (PGS, .sup): pictures, not text. Read by OCR above the
// formats (picture/); written here, each row drawn with the export
// settings' font, size, outline and colours into a picture of the chosen
// video size and stored as a display set (composition, window, palette,
// run-length coded object, end), cleared by an empty display set at its end.
namespace tessel {

void WritePgs(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
// "PG" and a segment type.
bool LooksLikePgs(const DetectionInput& input);

// One picture of palette indexes, row by row, in PGS's run-length code.
std::string PgsRunLengths(const uint8_t* pixels, int width, int height);

} // namespace tessel
