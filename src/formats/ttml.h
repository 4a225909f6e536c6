#pragma once
#include "formats/detect.h"
#include "formats/format.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// TTML (.ttml, .dfxp, and .xml by content). A document read is kept as it
// was: each p element becomes a row, and saving writes the document again
// with only the edited paragraphs made anew (their attributes kept, their
// times in the form they had). A table from another format is written as an
// IMSC 1.1 Text profile document.
namespace tessel {

void ReadTtml(LineReader& lines, SubtitleTable& table, int firstRow, double framerate);
std::unique_ptr<RowWriter> MakeTtmlWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out);
void WriteTtml(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out);
// A name ending ".ttml" or ".dfxp", or a tt element of a TTML namespace in the head.
bool LooksLikeTtml(const DetectionInput& input);
// What writing the table in the format `target` leaves out of what TTML kept
// ("the styles and regions of a TTML head").
std::vector<std::string> TtmlDataLeftOut(const SubtitleTable& table, std::string_view target);
// The same a block of rows at a time; nullptr for a target that leaves nothing out.
std::unique_ptr<LeftOutCount> TtmlLeftOut(std::string_view target);

// The time parameters of a document, and its time expressions in seconds.
struct TtmlTiming {
    double frameRate = 30; // ttp:frameRate times ttp:frameRateMultiplier
    double subFrameRate = 1;
    double tickRate = 1;
};
// Clock times ("01:02:03.5", "01:02:03:12.1") and offsets ("3.5s", "90f",
// "10000000t"); nothing for anything else.
std::optional<double> TtmlSeconds(std::string_view expression, const TtmlTiming& timing);

} // namespace tessel
