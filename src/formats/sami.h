#pragma once
#include "formats/detect.h"
#include "formats/format.h"

namespace tessel {

void ReadSAMI(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeSAMIWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteSAMI(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
bool LooksLikeSAMI(const DetectionInput& input);

} // namespace tessel
