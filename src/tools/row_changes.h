#pragma once
#include "core/subtitle_table.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// What the text tools change, worked out before it is done: runs of rows and
// the rows that take their place. The window lists them before applying
// them; the converter applies them at once. Applying is one pass over the
// table whatever the number of changes.
namespace tessel {

constexpr int TextLineCount = 3;

// A row's three lines joined by "\n", trailing empty lines left out.
std::string RowText(const SubtitleTable& table, int row);
// The three line cells of a text: a fourth line and more join the third with a space.
std::array<std::string, TextLineCount> LineCells(std::string_view text);

struct NewRow {
    std::string from, to;
    std::string text; // lines joined by "\n"
    std::string extra; // what the format keeps of the row
};

// Rows first..first+count-1 become `rows` (none: they go).
struct RowChange {
    int first = 0;
    int count = 1;
    std::vector<NewRow> rows;
};

// The row as it stands, to be changed.
NewRow CopyRow(const SubtitleTable& table, int row);

// Changes in row order that do not overlap. Keeps at least one row.
void ApplyRowChanges(SubtitleTable& table, const std::vector<RowChange>& changes);

// For the preview lists: the rows before ("12: text | text") and after.
std::string DescribeBefore(const SubtitleTable& table, const RowChange& change);
std::string DescribeAfter(const RowChange& change);

} // namespace tessel
