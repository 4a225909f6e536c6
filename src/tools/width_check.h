#pragma once
#include "core/subtitle_table.h"
#include "tools/check_run.h"

#include <cstdint>
#include <string>
#include <string_view>

// "Check text width": every text line measured against the screen width.
namespace tessel {

// The widest a line may be: 98 % of the screen, ties to even (627 for 640).
int TextWidthLimit(int32_t screenWidth);
// The text less as many last characters as it takes to fit, at least one.
std::string ShortenToWidth(std::string_view text, int limit, TextMeasurer& measurer);
// "Check now": reports each line wider than the limit in the check dialog.
CheckOutcome CheckTextWidth(
    SubtitleTable& table, std::string_view screenWidthText, TextMeasurer& measurer, const CheckServices& services);
// The font field's text, e.g. "Arial, Bold, 20pt" or "Tahoma, 12pt".
std::string FontDescription(std::string_view family, bool bold, int pointSize);

} // namespace tessel
