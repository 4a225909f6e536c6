#pragma once
#include "formats/detect.h"
#include "formats/format.h"

namespace tessel {

void ReadSubRip(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeSubRipWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteSubRip(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
bool LooksLikeSubRip(const DetectionInput& input);

} // namespace tessel
