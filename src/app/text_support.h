#pragma once
#include "tools/reading_profile.h"
#include "tools/row_changes.h"

#include <QString>
#include <optional>
#include <vector>

class QTreeWidget;
class QWidget;

// What the text tools' windows and commands share: the profile and framerate
// they follow (the Reading page's), one undo step a change, the preview list
// and the status bar.
namespace tessel::app {

struct ToolContext;

struct TextToolSettings {
    ReadingProfile profile;
    double framerate = 0;
};

// The Reading page's profile and framerate; nothing (and the page's own
// "Invalid framerate!" message) when its framerate is no number above 0.
std::optional<TextToolSettings> CurrentTextToolSettings(const ToolContext& context);

// The changes as one undo step called `name`; the current cell moves to the
// first changed row. Nothing happens (and no step) without changes.
void ApplyTextChanges(const ToolContext& context, const char* name, const std::vector<RowChange>& changes);

// Rows, before and after, at most `most` of them; the list's items carry their row.
void FillPreview(
    QTreeWidget* list, const SubtitleTable& table, const std::vector<RowChange>& changes, int most = 10000);
QTreeWidget* MakePreviewList(QWidget* parent, const char* name);

void ShowStatus(const ToolContext& context, const QString& text);
// Makes the cell current and scrolls to it, as the user would.
void GoToCell(const ToolContext& context, int column, int row);

} // namespace tessel::app
