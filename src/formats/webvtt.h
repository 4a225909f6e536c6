#pragma once
#include "formats/detect.h"
#include "formats/format.h"

#include <string>
#include <string_view>
#include <vector>

// WebVTT (.vtt), kept whole: the header line and every block around the cues
// stay in the document data or with the cue they stand before, and each cue's
// identifier, settings and time texts in its row's hidden cell.
namespace tessel {

void ReadWebVtt(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeWebVttWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteWebVtt(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
// "WEBVTT" alone or followed by a space or a tab as the first line (after a
// byte-order mark), or a name ending ".vtt" on a file that is not an ASS script.
bool LooksLikeWebVtt(const DetectionInput& input);
bool IsWebVttHeader(std::string_view firstLine);

// What writing the table in the format `target` (a converter name) leaves
// out of what WebVTT kept, as items of one sentence ("styles", "2 notes").
std::vector<std::string> WebVttDataLeftOut(const SubtitleTable& table, std::string_view target);
// The same a block of rows at a time; nullptr for a target that leaves nothing out.
std::unique_ptr<LeftOutCount> WebVttLeftOut(std::string_view target);

} // namespace tessel
