#include "tools/check_dialog.h"

namespace tessel {
namespace {

struct Placement {
    int firstRow;
    int markRow;
};

Placement placeWindow(int row, int rowCount)
{
    const bool last = row == rowCount - 1;
    if (row == 1) return { 1, 1 };
    if (last && row >= 3) return { row - 2, 3 };
    if (last && row == 2) return { 1, 2 };
    return { row - 1, 2 };
}

} // namespace

bool ShowCheckDialog(SubtitleTable& table, CheckDialogView& view, int row, int column, const std::string& message,
    const std::string& proposedValue)
{
    const Placement place = placeWindow(row, table.rowCount());
    CheckWindow window;
    for (int i = 1; i <= 3 && i < table.rowCount(); ++i) {
        for (int c = 0; c < SubtitleTable::ColumnCount; ++c)
            window.rows[i - 1][c] = std::string(table.cell(c, place.firstRow + i - 1));
        window.rowsFilled = i;
    }
    window.markRow = place.markRow;
    window.markColumn = column;
    const int result = view.Exec(window, QString::fromStdString(message), !proposedValue.empty());
    if (result == CheckChange) {
        for (int i = 1; i <= 3 && i < table.rowCount(); ++i) {
            const int row = place.firstRow + i - 1;
            const auto& cells = window.rows[i - 1];
            // The dialog shows only the visible cells: what a format keeps
            // beside them stays.
            const std::string extra(table.cell(SubtitleTable::Extra, row));
            table.setRow(row, cells[0], cells[1], cells[2], cells[3], cells[4], extra);
        }
    } else if (result == CheckAutoFix) {
        table.setCell(column, row, proposedValue);
    }
    return result < CheckCancel;
}

} // namespace tessel
