#pragma once
#include "formats/detect.h"
#include "formats/format.h"

#include <cstdint>
#include <string>
#include <vector>

// Scenarist Closed Captions (.scc): CEA-608 byte pairs for caption channel 1,
// one pair a frame at 29.97 frames a second, each line starting at its time
// code. A row is what the screen shows from the frame it appears (the end of
// caption command of a pop-on caption, a carriage return of roll-up
// captions, the first character painted) to the frame it goes. Written as
// pop-on captions; a file opened and saved unedited is written as it was.
namespace tessel {

void ReadScc(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeSccWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteScc(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
// The first line starts "Scenarist_SCC".
bool LooksLikeScc(const DetectionInput& input);
// Tests: the lines of a file decoded at a time (0: as many as suit a large file), on a second core from the
// second batch on.
void SetSccDecodingBatch(size_t lines);

// SCC time codes at 29.97 frames a second and the frames they stand for;
// drop-frame ones ("00:01:00;02") skip two labels a minute but every tenth.
std::string SccTimeCode(int64_t frame, bool dropFrame);
// Throws nothing: -1 for a text that is no time code.
int64_t SccFrameOf(std::string_view timeCode);

} // namespace tessel
