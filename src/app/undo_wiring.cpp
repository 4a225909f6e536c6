#include "app/undo_wiring.h"

#include "app/commands.h"
#include "app/main_window.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "app/subtitle_model.h"
#include "app/tool_wiring.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <algorithm>

namespace tessel::app {

// Replays only when the stack moves on the user's behalf; pushed to mirror a
// step that already happened, it does nothing.
class HistoryUndoStack::Command : public QUndoCommand {
public:
    Command(HistoryUndoStack& stack, const std::string& name)
        : QUndoCommand(QString::fromStdString(name))
        , stack_(stack)
    {
    }
    void undo() override { stack_.replay(true); }
    void redo() override { stack_.replay(false); }

private:
    HistoryUndoStack& stack_;
};

HistoryUndoStack::HistoryUndoStack(EditHistory& history, QObject* parent)
    : QUndoStack(parent)
    , history_(history)
{
    setObjectName(QStringLiteral("HistoryUndoStack"));
    rebuild();
    observer_ = history_.addObserver([this](EditHistory::Event e) { historyChanged(e); });
}

HistoryUndoStack::~HistoryUndoStack() { history_.removeObserver(observer_); }

std::optional<ChangedCell> HistoryUndoStack::undoStep() { return act(true); }

std::optional<ChangedCell> HistoryUndoStack::redoStep() { return act(false); }

std::optional<ChangedCell> HistoryUndoStack::act(bool undo)
{
    history_.closeLooseChanges();
    if (undo ? !canUndo() : !canRedo()) return std::nullopt;
    changed_.reset();
    error_ = nullptr;
    acting_ = true;
    if (undo)
        QUndoStack::undo();
    else
        QUndoStack::redo();
    acting_ = false;
    // A replay that did not happen, or ended the history, leaves the stack
    // where the history is not.
    if (rebuildAfter_ || !changed_) rebuild();
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
    return changed_;
}

void HistoryUndoStack::replay(bool undo)
{
    if (!acting_) return;
    try {
        changed_ = undo ? history_.undo() : history_.redo();
    } catch (...) {
        error_ = std::current_exception();
    }
}

void HistoryUndoStack::historyChanged(EditHistory::Event event)
{
    using Event = EditHistory::Event;
    if (acting_) {
        rebuildAfter_ = rebuildAfter_ || event == Event::Cleared || event == Event::OldestDropped;
        return;
    }
    switch (event) {
    case Event::StepAdded:
        push(new Command(*this, history_.undoName()));
        break;
    case Event::Saved:
        setClean();
        break;
    case Event::StepMerged:
        break;
    default: // undone or redone behind the stack's back, dropped, cleared, withdrawn
        rebuild();
        break;
    }
}

void HistoryUndoStack::rebuild()
{
    rebuildAfter_ = false;
    clear();
    for (size_t i = 0; i < history_.stepCount(); ++i)
        push(new Command(*this, history_.stepName(i)));
    setIndex(static_cast<int>(std::min(history_.undoCount(), history_.stepCount())));
    if (history_.isModified())
        resetClean();
    else
        setClean();
}

namespace {

void setActionText(QAction* action, const QString& verb, const QString& name)
{
    action->setText(name.isEmpty() ? verb : verb + QLatin1Char(' ') + name);
}

// The current cell goes to the first changed cell and into view, quietly:
// the movie does not seek, and its text follows the table.
void showChange(const ToolContext& context, const ChangedCell& cell)
{
    SubtitleGrid& grid = context.mainWindow.grid();
    const int row = std::clamp(cell.row, 1, context.table.rowCount() - 1);
    const int column = cell.column >= 0 ? cell.column : grid.currentTableColumn();
    if (context.playback)
        context.playback->showChangedCell(column, row);
    else
        grid.selectCell(column, row);
    grid.scrollTo(grid.currentIndex());
}

void step(const ToolContext& context, HistoryUndoStack& stack, bool undo)
{
    if (const std::optional<ChangedCell> cell = undo ? stack.undoStep() : stack.redoStep()) showChange(context, *cell);
}

// Every keystroke of one cell editor goes into one step; Escape takes the
// whole step back, with nothing left to redo.
void wireCellEditing(const ToolContext& context)
{
    SubtitleGrid& grid = context.mainWindow.grid();
    EditHistory& history = context.history;
    SubtitleTable& table = context.table;
    grid.subtitleModel().setCellWriter([&history, &table, &grid](int column, int row, const QString& text) {
        EditHistory::Step step(history, "Edit cell", grid.editSession());
        table.setText(column, row, text);
    });
    QObject::connect(&grid, &SubtitleGrid::editCancelled, &grid,
        [context](int column, int row, const QString& textAtOpen, quint64 session) {
            context.errors.run([&] {
                context.history.withdraw(session);
                if (context.table.text(column, row) == textAtOpen) return;
                EditHistory::Step step(context.history, "Edit cell");
                context.table.setText(column, row, textAtOpen);
            });
        });
}

// A change made outside any step (none of this program's commands makes one)
// becomes a step once the event that made it is over.
void closeLooseChangesLater(const ToolContext& context, QObject* owner)
{
    auto* timer = new QTimer(owner);
    timer->setSingleShot(true);
    timer->setInterval(0);
    EditHistory& history = context.history;
    QObject::connect(timer, &QTimer::timeout, owner, [&history] { history.closeLooseChanges(); });
    SubtitleModel& model = context.mainWindow.grid().subtitleModel();
    auto later = [timer] {
        if (!timer->isActive()) timer->start();
    };
    QObject::connect(&model, &QAbstractItemModel::dataChanged, timer, later);
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, timer, later);
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, timer, later);
    QObject::connect(&model, &QAbstractItemModel::modelReset, timer, later);
}

// The keys work on the grid, not in an open cell editor, which keeps its own.
void registerCommands(CommandRegistry& registry, HistoryUndoStack& stack, QAction* undo, QAction* redo)
{
    Command undoCommand;
    undoCommand.id = QStringLiteral("edit.undo");
    undoCommand.name = QStringLiteral("Undo");
    undoCommand.description = QStringLiteral("Undo the last change");
    undoCommand.key = QKeySequence(Qt::CTRL | Qt::Key_Z);
    undoCommand.scope = KeyScope::Grid;
    undoCommand.menuItem = undo;
    undoCommand.run = [undo] { undo->trigger(); };
    undoCommand.unavailable = [&stack] { return stack.canUndo() ? QString() : QStringLiteral("nothing to undo"); };
    registry.add(std::move(undoCommand));
    Command redoCommand;
    redoCommand.id = QStringLiteral("edit.redo");
    redoCommand.name = QStringLiteral("Redo");
    redoCommand.description = QStringLiteral("Redo the change last undone");
    redoCommand.key = QKeySequence(Qt::CTRL | Qt::Key_Y);
    redoCommand.moreKeys = { QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z) };
    redoCommand.scope = KeyScope::Grid;
    redoCommand.menuItem = redo;
    redoCommand.run = [redo] { redo->trigger(); };
    redoCommand.unavailable = [&stack] { return stack.canRedo() ? QString() : QStringLiteral("nothing to redo"); };
    registry.add(std::move(redoCommand));
}

} // namespace

void WireUndo(const ToolContext& context)
{
    SubtitleGrid& grid = context.mainWindow.grid();
    auto* stack = new HistoryUndoStack(context.history, &context.mainWindow);
    QAction* undo = grid.menuItemUndo();
    QAction* redo = grid.menuItemRedo();
    auto update = [stack, undo, redo] {
        setActionText(undo, QStringLiteral("Undo"), stack->undoText());
        setActionText(redo, QStringLiteral("Redo"), stack->redoText());
        undo->setEnabled(stack->canUndo());
        redo->setEnabled(stack->canRedo());
    };
    QObject::connect(stack, &QUndoStack::indexChanged, undo, update);
    QObject::connect(stack, &QUndoStack::canUndoChanged, undo, update);
    QObject::connect(stack, &QUndoStack::canRedoChanged, undo, update);
    QObject::connect(stack, &QUndoStack::undoTextChanged, undo, update);
    QObject::connect(stack, &QUndoStack::redoTextChanged, undo, update);
    update();
    ConnectGuarded(context.errors, grid.popupMenu(), &QMenu::aboutToShow,
        [&history = context.history] { history.closeLooseChanges(); });
    ConnectGuarded(context.errors, undo, &QAction::triggered, [context, stack] { step(context, *stack, true); });
    ConnectGuarded(context.errors, redo, &QAction::triggered, [context, stack] { step(context, *stack, false); });
    if (context.commands) registerCommands(*context.commands, *stack, undo, redo);
    wireCellEditing(context);
    closeLooseChangesLater(context, stack);
}

} // namespace tessel::app
