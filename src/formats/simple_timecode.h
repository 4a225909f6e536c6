#pragma once
#include "formats/detect.h"
#include "formats/format.h"

namespace tessel {

void ReadSimpleTimeCode(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeSimpleTimeCodeWriter(
    const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteSimpleTimeCode(
    const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
bool LooksLikeSimpleTimeCode(const DetectionInput& input);

} // namespace tessel
