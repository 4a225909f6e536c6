#pragma once
#include "formats/detect.h"
#include "formats/format.h"

namespace tessel {

void ReadSubViewer2(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeSubViewer2Writer(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteSubViewer2(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
bool LooksLikeSubViewer2(const DetectionInput& input);

} // namespace tessel
