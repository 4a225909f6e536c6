#pragma once
#include "core/edit_history.h"

#include <QUndoStack>
#include <exception>
#include <optional>

namespace tessel::app {

struct ToolContext;

// Qt's undo stack as the window's face of the table's history: one command
// per step, with the step's name, so that the stack's texts and states drive
// the grid's "Undo <name>" and "Redo <name>". The history stays the one that
// records and replays (and holds the saved point and the memory limit); the
// stack follows its events and, when it cannot follow (oldest steps dropped,
// a new start), is built again from the history's step names.
class HistoryUndoStack : public QUndoStack {
    Q_OBJECT
public:
    HistoryUndoStack(EditHistory& history, QObject* parent);
    ~HistoryUndoStack() override;

    // Through the stack; the first changed cell, or nothing when there was
    // no step. Rethrows what the history's replay threw.
    std::optional<ChangedCell> undoStep();
    std::optional<ChangedCell> redoStep();

private:
    class Command;

    std::optional<ChangedCell> act(bool undo);
    void replay(bool undo); // a command's undo() or redo()
    void historyChanged(EditHistory::Event event);
    void rebuild();

    EditHistory& history_;
    int observer_ = 0;
    bool acting_ = false; // the stack is moving: its commands replay
    bool rebuildAfter_ = false;
    std::optional<ChangedCell> changed_;
    std::exception_ptr error_;
};

// Undo and redo in the window: the stack above, the grid's keys and pop-up
// items, one step per open cell editor with Escape taking it back, and the
// current cell moved to what undo or redo changed.
void WireUndo(const ToolContext& context);

} // namespace tessel::app
