#pragma once
#include "core/subtitle_table.h"

#include <optional>
#include <string>
#include <string_view>

// Row and cell editing from the table's popup menu and keys. Every function
// takes the current cell as the window's grid reports it.
namespace tessel {

// Whether "&Delete selected row" is enabled: more than one subtitle row.
bool CanDeleteRow(const SubtitleTable& table);
// Removes a subtitle row; rows up to 0 and the last remaining row stay.
void DeleteRow(SubtitleTable& table, int row);
// "&Insert new row": a row ("0", "0", "", "", "") takes the current row's place.
void InsertNewRow(SubtitleTable& table, int currentRow);

// Ctrl+C: the text for the clipboard.
std::string CopyCell(const SubtitleTable& table, int column, int row);
// Ctrl+X: the text for the clipboard; the cell is emptied.
std::string CutCell(SubtitleTable& table, int column, int row);
// Ctrl+V: the cell becomes the clipboard text as it is (empty when it holds none).
void PasteCell(SubtitleTable& table, int column, int row, std::string_view clipboardText);
// Delete, whatever modifiers: the cell is emptied.
void ClearCell(SubtitleTable& table, int column, int row);

// The table's key handler: `key` is a Qt::Key code, `ctrlHeld` whether Ctrl
// is down (other modifiers do not matter). Returns the text to put on the
// clipboard, if the key copies or cuts. The key is never consumed.
std::optional<std::string> HandleCellKey(
    SubtitleTable& table, int column, int row, int key, bool ctrlHeld, std::string_view clipboardText);

} // namespace tessel
