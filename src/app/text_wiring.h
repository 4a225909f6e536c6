#pragma once
#include "app/tool_wiring.h"

#include <QObject>
#include <optional>

// The text side in the window: the Find, Spelling and Text tools windows,
// the misspelled words underlined in the grid, and the commands on one row
// (split, merge with the next, break lines, unbreak), each in the command
// registry with its key and, for the row commands, an item of the grid's
// pop-up menu. Every change is one undo step.
namespace tessel::app {

class FindWindow;
class SpellingService;
class SpellingWindow;
class TextToolsWindow;

class TextTools : public QObject {
    Q_OBJECT
public:
    explicit TextTools(const ToolContext& context);
    ~TextTools() override;

    // Each made when first needed, so that the editor starts as fast as without them.
    FindWindow& findWindow();
    SpellingWindow& spellingWindow();
    TextToolsWindow& toolsWindow();
    SpellingService& spelling() const { return *service_; }

    // At the cursor of the open cell editor, else at the line break or the best break.
    void splitRow();
    void mergeWithNext();
    void breakRow();
    void unbreakRow();

private:
    void registerCommands();
    std::optional<size_t> cursorInRowText();
    QString rowUnavailable(bool needsNext) const;

    ToolContext context_;
    SpellingService* service_ = nullptr;
    FindWindow* find_ = nullptr;
    SpellingWindow* spelling_ = nullptr;
    TextToolsWindow* tools_ = nullptr;
};

// Made once by WireTools; lives as long as the main window (its child "TextTools").
void WireTextTools(const ToolContext& context);

} // namespace tessel::app
