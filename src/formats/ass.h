#pragma once
#include "formats/detect.h"
#include "formats/format.h"

#include <string>
#include <string_view>
#include <vector>

// Advanced SubStation Alpha (.ass), kept whole: every line of the script
// that the table does not show stays in the document data, and each event's
// fields in its row's hidden cell, so that a script opened and saved again
// keeps all of it and an edit changes only its own lines.
namespace tessel {

void ReadAss(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeAssWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteAss(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
// A name ending ".ass", or HasAssContent.
bool LooksLikeAss(const DetectionInput& input);
// The first non-empty line is "[Script Info]" and the text names script type
// v4.00+ or holds a "[V4+ Styles]" section.
bool HasAssContent(std::string_view head);

// The event a row came from is a comment: it is shown nowhere.
bool IsAssComment(std::string_view extra);
// What writing the table in the format `target` (a converter name) leaves
// out of what ASS kept, as items of one sentence ("styles", "3 comment lines").
std::vector<std::string> AssDataLeftOut(const SubtitleTable& table, std::string_view target);
// The same a block of rows at a time; nullptr for a target that leaves nothing out.
std::unique_ptr<LeftOutCount> AssLeftOut(std::string_view target);

// The style line "[V4+ Styles]" gets from the export settings.
std::string AssStyleLine(const SsaExportSettings& settings);

} // namespace tessel
