#pragma once
#include "app/tool_wiring.h"
#include "tools/row_changes.h"

#include <QWidget>
#include <array>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTreeWidget;

// The "Text tools" window: the batch text tools over the whole table, each
// with its options, a preview list of every change and "Apply" (one undo
// step). Line lengths start from the Reading page's profile, times are
// turned into frames at its framerate.
namespace tessel::app {

class TextToolsWindow : public QWidget {
    Q_OBJECT
public:
    enum Tool { BreakLines, Unbreak, SplitLong, MergeShort, RemoveHearingImpaired };
    static constexpr int ToolCount = 5;
    // "Break lines", ...: also the names of their undo steps.
    static const char* ToolName(Tool tool);

    TextToolsWindow(const ToolContext& context, QWidget* parent);

    // Shows the window on that tool, its line options taken from the profile again.
    void open(Tool tool);
    Tool tool() const;
    void preview();
    void apply();

    QComboBox* toolChoice() const { return tool_; }
    QSpinBox* charsPerLine() const { return chars_; }
    QSpinBox* lines() const { return lines_; }
    QSpinBox* shorterThan() const { return shorterThan_; }
    QSpinBox* gapUnder() const { return gapUnder_; }
    // Brackets, parentheses, speaker labels, music signs, sung lines.
    QCheckBox* hearingImpaired(int index) const { return hi_[static_cast<size_t>(index)]; }
    QTreeWidget* previewList() const { return list_; }
    QLabel* status() const { return status_; }

private:
    // Nothing when the Reading page's framerate is no number.
    std::optional<std::vector<RowChange>> plan(QString& note);
    void showOptions();

    ToolContext context_;
    QComboBox* tool_ = nullptr;
    QLabel* profile_ = nullptr;
    QSpinBox* chars_ = nullptr;
    QSpinBox* lines_ = nullptr;
    QSpinBox* shorterThan_ = nullptr;
    QSpinBox* gapUnder_ = nullptr;
    std::array<QCheckBox*, 5> hi_ {};
    QWidget* lineOptions_ = nullptr;
    QWidget* mergeOptions_ = nullptr;
    QWidget* hiOptions_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace tessel::app
