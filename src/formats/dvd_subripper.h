#pragma once
#include "formats/format.h"

namespace tessel {

void ReadDVDSubripper(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
void WriteDVDSubripper(
    const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);

} // namespace tessel
