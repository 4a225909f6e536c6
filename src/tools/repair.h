#pragma once
#include "core/subtitle_table.h"

#include <array>
#include <functional>
#include <string_view>

// The "Repair" page: the user's replace and the seven auto-repairs over the
// text cells. Frame cells are never touched.
namespace tessel {

constexpr int AutoRepairItemCount = 7;
// Captions of the auto-repair list, in index order.
extern const std::array<std::string_view, AutoRepairItemCount> AutoRepairCaptions;

// Replaces every occurrence (ignoring case) in Line 1 to Line 3 of every row.
void ReplaceInText(SubtitleTable& table, std::string_view searched, std::string_view replacement);
// Replace "Go!": does nothing and returns false when the find text is empty.
bool UserReplace(SubtitleTable& table, std::string_view findText, std::string_view replacementText);

// Item 0: drops lines that are a whole "[...]" and closes up the rest.
void RemoveCaptions(SubtitleTable& table);
// Item 1: deletes rows whose text cells are blank, keeping at least one row; returns how many went.
int DeleteEmptyRows(SubtitleTable& table);
// Item 2: moves a comma at the start of a line to the end of the line before.
void FixStrokes(SubtitleTable& table);

// Runs one auto-repair by its index 0..6; other indexes do nothing.
void RunAutoRepairItem(SubtitleTable& table, int index);
// Auto-repair "Go!": the checked items in index order, telling `starting`
// each index before it runs so the window can select it.
void RunAutoRepair(SubtitleTable& table, const std::array<bool, AutoRepairItemCount>& checked,
    const std::function<void(int index)>& starting = {});

} // namespace tessel
