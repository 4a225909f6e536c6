#pragma once
#include "formats/format.h"

namespace tessel {

void ReadMicroDVD(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
void WriteMicroDVD(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);

} // namespace tessel
