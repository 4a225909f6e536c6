#include "tools/repair.h"

#include "core/text_utils.h"

#include <string>

namespace tessel {

const std::array<std::string_view, AutoRepairItemCount> AutoRepairCaptions = {
    "Remove [captions]",
    "Delete empty lines",
    "Fix stroke at begin of line",
    "Replace ` with '",
    "Replace '' with \"",
    "Replace \"\" with \"",
    "Replace single l with I",
};

namespace {

constexpr int TextColumns[] = { SubtitleTable::Line1, SubtitleTable::Line2, SubtitleTable::Line3 };

bool isCaptionLine(std::string_view cell) { return !cell.empty() && cell.front() == '[' && cell.back() == ']'; }

void removeCaptionsInRow(SubtitleTable& table, int row)
{
    for (int column = SubtitleTable::Line3; column >= SubtitleTable::Line1; --column) {
        if (!isCaptionLine(table.cell(column, row))) continue;
        for (int later = column; later < SubtitleTable::Line3; ++later)
            table.setCell(later, row, std::string(table.cell(later + 1, row)));
        table.setCell(SubtitleTable::Line3, row, "");
    }
}

bool hasNoText(const SubtitleTable& table, int row)
{
    for (int column : TextColumns)
        if (!TrimBlanks(table.cell(column, row)).empty()) return false;
    return true;
}

void fixStrokesInRow(SubtitleTable& table, int row)
{
    // Last column first, so that a comma moved onto a line is never taken as its own leading comma.
    for (int column = SubtitleTable::Line3; column >= SubtitleTable::Line1; --column) {
        const std::string_view cell = table.cell(column, row);
        if (cell.empty() || cell.front() != ',') continue;
        const std::string rest = TrimLeftBlanks(cell.substr(1));
        if (column > SubtitleTable::Line1) {
            const std::string_view before = table.cell(column - 1, row);
            if (!before.empty() && before.back() != ',') table.setCell(column - 1, row, std::string(before) + ",");
        }
        table.setCell(column, row, rest);
    }
}

} // namespace

void ReplaceInText(SubtitleTable& table, std::string_view searched, std::string_view replacement)
{
    SubtitleTable::BulkChange bulk(table);
    // A cell without a match would be written back as it is: a write that changes nothing, left out.
    std::string replaced;
    for (int row = 1; row < table.rowCount(); ++row)
        for (int column : TextColumns)
            if (ReplaceAllTextTo(replaced, table.cell(column, row), searched, replacement, true))
                table.setCell(column, row, replaced);
}

bool UserReplace(SubtitleTable& table, std::string_view findText, std::string_view replacementText)
{
    if (findText.empty()) return false;
    ReplaceInText(table, findText, replacementText);
    return true;
}

void RemoveCaptions(SubtitleTable& table)
{
    SubtitleTable::BulkChange bulk(table);
    for (int row = 1; row < table.rowCount(); ++row)
        removeCaptionsInRow(table, row);
}

int DeleteEmptyRows(SubtitleTable& table)
{
    // One pass instead of a deletion per row; like deleting upwards, it keeps row 1 when every row is empty.
    return table.removeRowsWhere([&table](int row) { return hasNoText(table, row); });
}

void FixStrokes(SubtitleTable& table)
{
    SubtitleTable::BulkChange bulk(table);
    for (int row = 1; row < table.rowCount(); ++row)
        fixStrokesInRow(table, row);
}

void RunAutoRepairItem(SubtitleTable& table, int index)
{
    switch (index) {
    case 0:
        RemoveCaptions(table);
        break;
    case 1:
        DeleteEmptyRows(table);
        break;
    case 2:
        FixStrokes(table);
        break;
    case 3: // does what item 5 does, whatever its caption says of backquotes
    case 5:
        ReplaceInText(table, "\"\"", "\"");
        break;
    case 4:
        ReplaceInText(table, "''", "\"");
        break;
    case 6:
        ReplaceInText(table, " l ", " I ");
        break;
    default:
        break;
    }
}

void RunAutoRepair(SubtitleTable& table, const std::array<bool, AutoRepairItemCount>& checked,
    const std::function<void(int index)>& starting)
{
    for (int index = 0; index < AutoRepairItemCount; ++index) {
        if (!checked[static_cast<size_t>(index)]) continue;
        if (starting) starting(index);
        RunAutoRepairItem(table, index);
    }
}

} // namespace tessel
