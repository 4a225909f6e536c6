#pragma once
#include "core/subtitle_table.h"
#include "core/table_changes.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Undo and redo of a table, one user action a step, and the saved point that
// decides whether the document has unsaved changes. It records every change of
// the table from the moment it exists: a change made outside begin()/end()
// becomes a step of its own, so the history can never fall out of step with
// the table.
namespace tessel {

class EditHistory {
public:
    static constexpr size_t DefaultMemoryLimit = size_t(512) << 20;

    // Withdrawn: the last step was undone and forgotten, with no redo.
    enum class Event { StepAdded, StepMerged, Undone, Redone, Cleared, Saved, OldestDropped, Withdrawn };

    explicit EditHistory(SubtitleTable& table, size_t memoryLimit = DefaultMemoryLimit);
    ~EditHistory();
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    // The changes from here to the matching end() are one step called `name`;
    // a begin() inside another joins the outer step. A step that changed
    // nothing is dropped. A step with the merge key of the step before it
    // (0: never) joins that one, unless something was undone, redone or saved
    // in between: all typing in one cell editor is one step.
    void begin(const std::string& name, uint64_t mergeKey = 0);
    void end();
    // Changes made outside any step become the step "Change" now rather
    // than at the next begin(), undo() or redo().
    void closeLooseChanges();

    class Step {
    public:
        Step(EditHistory& history, const std::string& name, uint64_t mergeKey = 0)
            : history_(history)
        {
            history_.begin(name, mergeKey);
        }
        ~Step() { history_.end(); }
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        EditHistory& history_;
    };

    // While one exists, changes are not recorded; when it ends after the
    // table changed, the history starts over (the table as it stands is the
    // new start, counted as modified until markSaved()).
    class Unrecorded {
    public:
        explicit Unrecorded(EditHistory& history);
        ~Unrecorded();
        Unrecorded(const Unrecorded&) = delete;
        Unrecorded& operator=(const Unrecorded&) = delete;

    private:
        EditHistory& history_;
        uint64_t revision_;
    };

    // An empty history starting from the table as it is; `saved` tells
    // whether that state is the saved one.
    void clear(bool saved);

    bool canUndo() const;
    bool canRedo() const;
    std::string undoName() const;
    std::string redoName() const;
    // The first cell the step changed, or nothing when there was no step.
    // A replay that does not fit the table (changed behind the history's
    // back) throws and leaves an empty history.
    std::optional<ChangedCell> undo();
    std::optional<ChangedCell> redo();
    size_t undoCount() const;
    size_t redoCount() const;
    // The steps from the oldest on: 0..undoCount() are undoable (once loose
    // changes are closed), the rest redoable.
    size_t stepCount() const { return entries_.size(); }
    const std::string& stepName(size_t index) const { return entries_.at(index).name; }

    // Takes back the steps on top with this merge key and forgets them, so
    // nothing is left to redo: an edit the user cancelled before it was done.
    // False when the last step has another key.
    bool withdraw(uint64_t mergeKey);

    // The table as it stands was saved.
    void markSaved();
    // The table differs from the saved point (or none was ever reached).
    bool isModified() const;

    size_t memoryUsed() const { return memory_; }
    size_t memoryLimit() const { return memoryLimit_; }
    void setMemoryLimit(size_t bytes);

    // Called after every change of the history itself.
    void setObserver(std::function<void(Event)> observer) { observer_ = std::move(observer); }
    // More of them, for the window's undo stack and the recovery journal.
    int addObserver(std::function<void(Event)> observer);
    void removeObserver(int id);

    // Recorders that see what the history records and miss what Unrecorded
    // hides, as the recovery journal must (it starts over from Cleared).
    void addFollower(TableRecorder* recorder);
    void removeFollower(TableRecorder* recorder);

    // Run just before a step closes (its outermost end(), or loose changes
    // becoming a step) when it changed something, still inside it: what they
    // change joins that step and is undone with it. Data kept beside the rows
    // that must follow the rows' moves is brought up to date here. A hook's
    // exceptions are dropped.
    int addClosingHook(std::function<void()> hook);
    void removeClosingHook(int id);

private:
    struct Entry {
        std::string name;
        ChangeRecord record; // undo side: the way back; redo side: the way forward
        uint64_t state = 0; // the state after the step
        uint64_t mergeKey = 0;
    };

    void push(Entry entry);
    void dropRedoable();
    void attach();
    void detach();
    void trim();
    uint64_t state() const;
    void notify(Event e);
    std::optional<ChangedCell> replay(bool undo);
    void runClosingHooks();

    SubtitleTable& table_;
    UndoRecorder recorder_;
    std::deque<Entry> entries_;
    size_t applied_ = 0; // entries_[0..applied_) are undoable, the rest redoable
    uint64_t baseState_ = 0, nextState_ = 1;
    std::optional<uint64_t> savedState_ = 0;
    int depth_ = 0;
    std::string openName_;
    uint64_t openMergeKey_ = 0;
    bool mergeAllowed_ = false;
    size_t memory_ = 0, memoryLimit_;
    bool recording_ = true;
    std::function<void(Event)> observer_;
    std::vector<std::pair<int, std::function<void(Event)>>> observers_;
    int nextObserverId_ = 1;
    std::vector<TableRecorder*> followers_;
    std::vector<std::pair<int, std::function<void()>>> closingHooks_;
    bool closing_ = false;
};

} // namespace tessel
