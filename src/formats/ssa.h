#pragma once
#include "formats/detect.h"
#include "formats/format.h"

namespace tessel {

void ReadSSA(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeSSAWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteSSA(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
bool LooksLikeSSA(const DetectionInput& input);

} // namespace tessel
