#pragma once
#include "formats/detect.h"
#include "formats/format.h"

namespace tessel {

void ReadSubViewer1(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeSubViewer1Writer(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteSubViewer1(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
bool LooksLikeSubViewer1(const DetectionInput& input);

} // namespace tessel
