#pragma once
#include "core/subtitle_table.h"
#include "tools/reading_profile.h"
#include "tools/row_changes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Breaking a subtitle's text into lines of a profile's length. Breaks go
// where ICU's line-break iterator allows one (between words, after a hyphen,
// between ideographs), never inside markup. Characters are counted as the
// reading check counts them: markup is not read.
//
// Text on one line stays on one line when it fits. Otherwise the fewest
// lines that fit are used, and among the ways to break into them the one of
// least cost, in characters:
//   the longest line less the shortest,
//   less 24 for a break after the end of a sentence (. ! ? ...), 16 after a
//   comma, semicolon, colon or dash, 8 before a conjunction, 4 before a
//   preposition,
//   plus 12 for a break after an article, a possessive, a subject pronoun,
//   an auxiliary verb, a conjunction or a preposition, or before "not", and
//   20 after a hyphen,
// and of two that cost the same, the one whose lower line is the longer (a
// bottom-heavy pyramid). The word lists are English. Text that cannot fit is
// broken into the most lines allowed with the shortest longest line. Lines of
// a dialogue (each after the first starting with a dash) are left as they are.
namespace tessel {

struct LineLimits {
    int charsPerLine = 42;
    int lines = 2; // 1 to 3
};

// A profile's characters per line and lines (42 and 2 where it sets none).
LineLimits LineLimitsOf(const ReadingProfile& profile);

// The lines of a text (joined by "\n") with something in them, trimmed.
std::vector<std::string> TextLines(std::string_view text);
// Lines of a dialogue: at least two, each after the first starting with a dash.
bool IsDialogue(const std::vector<std::string>& lines);

// `text`: lines joined by "\n". Returns the new lines.
std::vector<std::string> BreakText(std::string_view text, const LineLimits& limits);
// The lines on one line when that is at most `charsPerLine` characters long
// (dialogues stay as they are); otherwise nothing.
std::optional<std::string> UnbreakText(std::string_view text, int charsPerLine);
// Every line at most the limit and no more lines than allowed.
bool TextFits(std::string_view text, const LineLimits& limits);

// Where to cut the text in two for a split: after its first line when it has
// several (the cut most even in characters when three), else at the break
// BreakText would make into two lines. A byte offset into `text`; nothing
// when there is no place to cut.
std::optional<size_t> BestCut(std::string_view text);
// Places a text can be cut, with the cost of each as above (lower is better)
// and the characters before and after: for splitting into several subtitles.
struct CutPlace {
    size_t end = 0; // the first part's text ends here
    size_t start = 0; // the second part's begins here
    int charsBefore = 0, charsAfter = 0;
    int bonus = 0; // the preferences above, in characters
    std::string closing, opening; // markup between them for each side
};
std::vector<CutPlace> CutPlaces(std::string_view text);

// "Break lines" and "Unbreak" over every row (or one row: `row` > 0); rows
// that would stay the same are not listed.
std::vector<RowChange> PlanBreakLines(const SubtitleTable& table, const LineLimits& limits, int row = 0);
std::vector<RowChange> PlanUnbreak(const SubtitleTable& table, int charsPerLine, int row = 0);

} // namespace tessel
