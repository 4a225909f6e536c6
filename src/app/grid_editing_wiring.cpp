#include "app/grid_editing_wiring.h"

#include "app/main_window.h"
#include "app/subtitle_grid.h"
#include "app/tool_wiring.h"
#include "tools/row_editing.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <algorithm>

namespace tessel::app {
namespace {

// The current cell keeps its column and row index, whatever row now stands there.
void insertRow(const ToolContext& context)
{
    SubtitleGrid& grid = context.mainWindow.grid();
    const int column = grid.currentTableColumn(), row = grid.currentTableRow();
    EditHistory::Step step(context.history, "Insert new row");
    InsertNewRow(context.table, row);
    grid.selectCell(column, row);
}

void deleteRow(const ToolContext& context)
{
    if (!CanDeleteRow(context.table)) return; // the last subtitle row stays
    SubtitleGrid& grid = context.mainWindow.grid();
    const int column = grid.currentTableColumn(), row = grid.currentTableRow();
    EditHistory::Step step(context.history, "Delete selected row");
    DeleteRow(context.table, row);
    grid.selectCell(column, std::min(row, context.table.rowCount() - 1));
}

// Only keys that reach the grid come here: while a cell editor is open it
// takes its own clipboard keys.
void cellKey(const ToolContext& context, int key, Qt::KeyboardModifiers modifiers)
{
    const SubtitleGrid& grid = context.mainWindow.grid();
    const int row = grid.currentTableRow();
    if (row < 1) return;
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    QClipboard* clipboard = QGuiApplication::clipboard();
    const std::string pasted = ctrl && key == Qt::Key_V ? clipboard->text().toStdString() : std::string();
    EditHistory::Step step(context.history,
        ctrl && key == Qt::Key_X       ? "Cut"
            : ctrl && key == Qt::Key_V ? "Paste"
                                       : "Clear cell");
    if (const auto copied = HandleCellKey(context.table, grid.currentTableColumn(), row, key, ctrl, pasted))
        clipboard->setText(QString::fromStdString(*copied));
}

} // namespace

void WireGridEditing(const ToolContext& context)
{
    SubtitleGrid& grid = context.mainWindow.grid();
    ConnectGuarded(context.errors, grid.popupMenu(), &QMenu::aboutToShow,
        [context, &grid] { grid.menuItemDelete()->setEnabled(CanDeleteRow(context.table)); });
    ConnectGuarded(context.errors, grid.menuItemInsert(), &QAction::triggered, [context] { insertRow(context); });
    ConnectGuarded(context.errors, grid.menuItemDelete(), &QAction::triggered, [context] { deleteRow(context); });
    QObject::connect(&grid, &SubtitleGrid::keyDown, &grid, [context](int key, Qt::KeyboardModifiers modifiers) {
        context.errors.run([&] { cellKey(context, key, modifiers); });
    });
}

} // namespace tessel::app
