#include "tools/row_editing.h"

#include <Qt>

namespace tessel {

bool CanDeleteRow(const SubtitleTable& table) { return table.rowCount() > 2; }

void DeleteRow(SubtitleTable& table, int row)
{
    if (row <= 0) return;
    table.deleteRow(row);
}

void InsertNewRow(SubtitleTable& table, int currentRow)
{
    // One past the last row appends; further out there is no such row.
    if (currentRow <= 0 || currentRow > table.rowCount()) return;
    table.insertRow(currentRow);
    table.setRow(currentRow, "0", "0", "", "", "");
}

std::string CopyCell(const SubtitleTable& table, int column, int row) { return std::string(table.cell(column, row)); }

std::string CutCell(SubtitleTable& table, int column, int row)
{
    std::string text = CopyCell(table, column, row);
    ClearCell(table, column, row);
    return text;
}

void PasteCell(SubtitleTable& table, int column, int row, std::string_view clipboardText)
{
    table.setCell(column, row, clipboardText);
}

void ClearCell(SubtitleTable& table, int column, int row) { table.setCell(column, row, ""); }

std::optional<std::string> HandleCellKey(
    SubtitleTable& table, int column, int row, int key, bool ctrlHeld, std::string_view clipboardText)
{
    if (key == Qt::Key_Delete) {
        ClearCell(table, column, row);
        return std::nullopt;
    }
    if (!ctrlHeld) return std::nullopt;
    switch (key) {
    case Qt::Key_C:
        return CopyCell(table, column, row);
    case Qt::Key_X:
        return CutCell(table, column, row);
    case Qt::Key_V:
        PasteCell(table, column, row, clipboardText);
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace tessel
