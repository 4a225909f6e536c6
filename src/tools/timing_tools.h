#pragma once
#include "core/subtitle_table.h"
#include "core/user_prompts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The "Adjust" page: framerate conversion, "Add frames", "Change start" and
// "Expand delay" over the frame cells. Texts are the controls' texts as typed.
namespace tessel {

// What the framerate conversion did. It stops at the first cell it cannot
// convert, leaving that cell and everything after it as it was.
struct FramerateConversion {
    bool ratesValid = false; // false: "Invalid framerate." was shown and nothing changed
    int stoppedAtRow = 0; // 0: every row converted
    int stoppedAtColumn = 0; // the cell that stopped it (a To: its row's From is converted)
    bool outOfRange = false; // the stop was a result beyond 32 bits rather than a bad cell
};

// Rows a shift or "Expand delay" left unchanged, for the window to mention.
struct AdjustReport {
    int changedRows = 0;
    int badRows = 0; // a frame cell is not an integer (shifts only)
    int outOfRangeRows = 0; // the new frame would not fit 32 bits
};

// "Go!": rescales every From and To from one framerate to the other.
FramerateConversion ConvertFramerate(SubtitleTable& table, std::string_view fromRateText, std::string_view toRateText,
    char decimalSeparator, MessageSink& messages);

// Adds `frames` to both frame cells from `startRow` on (from row 1 when
// "Start at current row" is not ticked).
AdjustReport ShiftFrames(SubtitleTable& table, int startRow, int64_t frames, bool startAtCurrentRow);
// "Add frames": nothing (nullopt) when the count is not an integer.
std::optional<AdjustReport> AddFrames(
    SubtitleTable& table, int currentRow, std::string_view countText, bool startAtCurrentRow);
// "Change start": nothing (nullopt) when the new start or the row's From is not an integer.
std::optional<AdjustReport> ChangeStart(
    SubtitleTable& table, int currentRow, std::string_view newStartText, bool startAtCurrentRow);
// Double click on the table: the text for the "Change start" field.
std::string ChangeStartFieldText(const SubtitleTable& table, int currentRow);

// "Expand delay": moves every end frame by the count, stopping short of the next start.
AdjustReport ExpandDelay(SubtitleTable& table, std::string_view framesText);

} // namespace tessel
