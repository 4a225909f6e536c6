#pragma once
#include "formats/detect.h"
#include "formats/format.h"

#include <string>
#include <string_view>
#include <vector>

// EBU STL (EBU Tech 3264, .stl), a binary format: a 1024-byte GSI block,
// then 128-byte TTI blocks. Kept whole: the GSI block with the document, each
// subtitle's blocks with its row, so that a file saved unedited comes back
// byte for byte, and an edited row keeps its group, cumulative status,
// position, justification and teletext framing.
namespace tessel {

// `lines` holds the file's bytes (LineReader::rest).
void ReadEbuStl(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeEbuStlWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteEbuStl(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
// Three digits of a code page and a disk format code "STLnn.01" at the start.
bool LooksLikeEbuStl(const DetectionInput& input);

// What writing the table in the format `target` leaves out of what EBU STL
// kept ("12 comment subtitles").
std::vector<std::string> EbuStlDataLeftOut(const SubtitleTable& table, std::string_view target);
// The same a block of rows at a time; nullptr for a target that leaves nothing out.
std::unique_ptr<LeftOutCount> EbuStlLeftOut(std::string_view target);

} // namespace tessel
