#pragma once
#include "formats/detect.h"
#include "formats/format.h"

namespace tessel {

void ReadSSA(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
void WriteSSA(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
bool LooksLikeSSA(const DetectionInput& input);

} // namespace tessel
