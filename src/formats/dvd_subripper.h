#pragma once
#include "formats/detect.h"
#include "formats/format.h"

namespace tessel {

void ReadDVDSubripper(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeDVDSubripperWriter(
    const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteDVDSubripper(
    const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
bool LooksLikeDVDSubripper(const DetectionInput& input);

} // namespace tessel
