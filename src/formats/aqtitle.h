#pragma once
#include "formats/detect.h"
#include "formats/format.h"

namespace tessel {

void ReadAQTitle(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeAQTitleWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteAQTitle(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
bool LooksLikeAQTitle(const DetectionInput& input);

} // namespace tessel
