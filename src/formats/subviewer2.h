#pragma once
#include "formats/format.h"

namespace tessel {

void ReadSubViewer2(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
void WriteSubViewer2(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);

} // namespace tessel
