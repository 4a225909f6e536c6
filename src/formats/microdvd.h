#pragma once
#include "formats/detect.h"
#include "formats/format.h"

namespace tessel {

void ReadMicroDVD(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeMicroDVDWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteMicroDVD(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
bool LooksLikeMicroDVD(const DetectionInput& input);

} // namespace tessel
