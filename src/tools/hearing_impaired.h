#pragma once
#include "core/subtitle_table.h"
#include "tools/row_changes.h"

#include <string>
#include <string_view>
#include <vector>

// "Remove hearing-impaired text": what a version for hearing viewers leaves
// out. Markup inside what goes stays in place (and goes with it only when it
// is left empty: "<i>[sighs]</i>" goes whole). Lines left empty are closed
// up, a dialogue left with one speaker loses its dash, and a subtitle left
// with no text goes.
namespace tessel {

struct HearingImpairedOptions {
    bool brackets = true; // "[door slams]"
    bool parentheses = true; // "(laughs)"
    bool speakerLabels = true; // "JOHN:", "DR. WHO:" at the start of a line, in capitals
    bool musicSigns = true; // lines of music signs alone: "♪", "♪♪"
    bool sungLines = false; // lines that start or end with a music sign: "♪ Happy birthday ♪"
};

// The text (lines joined by "\n") with what the options name taken out.
std::string RemoveHearingImpaired(std::string_view text, const HearingImpairedOptions& options);

// Every row that changes; a row left with no text is listed as going.
std::vector<RowChange> PlanRemoveHearingImpaired(const SubtitleTable& table, const HearingImpairedOptions& options);

} // namespace tessel
