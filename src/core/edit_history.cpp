#include "core/edit_history.h"

namespace tessel {

EditHistory::EditHistory(SubtitleTable& table, size_t memoryLimit)
    : table_(table)
    , recorder_(table)
    , memoryLimit_(memoryLimit)
{
    table_.addRecorder(&recorder_);
}

EditHistory::~EditHistory() { table_.removeRecorder(&recorder_); }

uint64_t EditHistory::state() const { return applied_ > 0 ? entries_[applied_ - 1].state : baseState_; }

void EditHistory::notify(Event e)
{
    if (observer_) observer_(e);
}

void EditHistory::begin(const std::string& name, uint64_t mergeKey)
{
    if (depth_ > 0) {
        ++depth_;
        return;
    }
    closeLooseChanges(); // before the step opens, or they would become part of it
    depth_ = 1;
    openName_ = name;
    openMergeKey_ = mergeKey;
}

void EditHistory::end()
{
    if (depth_ == 0 || --depth_ > 0) return;
    if (recorder_.empty()) return;
    Entry entry { openName_, recorder_.take(), 0, openMergeKey_ };
    push(std::move(entry));
}

// Changes made outside any step still need a way back.
void EditHistory::closeLooseChanges()
{
    if (depth_ > 0 || recorder_.empty()) return;
    push(Entry { "Change", recorder_.take(), 0, 0 });
}

void EditHistory::push(Entry entry)
{
    // A new step makes the steps that were undone unreachable.
    while (entries_.size() > applied_) {
        memory_ -= entries_.back().record.bytes();
        entries_.pop_back();
    }
    if (entry.mergeKey != 0 && mergeAllowed_ && applied_ > 0 && entries_.back().mergeKey == entry.mergeKey
        && savedState_ != entries_.back().state) {
        Entry& last = entries_.back();
        memory_ -= last.record.bytes();
        last.record.append(entry.record);
        memory_ += last.record.bytes();
        last.state = nextState_++;
        notify(Event::StepMerged);
    } else {
        entry.state = nextState_++;
        memory_ += entry.record.bytes();
        entries_.push_back(std::move(entry));
        applied_ = entries_.size();
        notify(Event::StepAdded);
    }
    mergeAllowed_ = true;
    trim();
}

// The oldest steps go first, never the newest one.
void EditHistory::trim()
{
    bool dropped = false;
    while (memory_ > memoryLimit_ && applied_ > 1) {
        memory_ -= entries_.front().record.bytes();
        baseState_ = entries_.front().state;
        entries_.pop_front();
        --applied_;
        dropped = true;
    }
    if (dropped) notify(Event::OldestDropped);
}

void EditHistory::setMemoryLimit(size_t bytes)
{
    memoryLimit_ = bytes;
    trim();
}

void EditHistory::clear(bool saved)
{
    recorder_.take();
    entries_.clear();
    applied_ = 0;
    memory_ = 0;
    baseState_ = nextState_++;
    savedState_ = saved ? std::optional<uint64_t>(baseState_) : std::nullopt;
    mergeAllowed_ = false;
    notify(Event::Cleared);
}

bool EditHistory::canUndo() const { return applied_ > 0 || !recorder_.empty(); }

bool EditHistory::canRedo() const { return recorder_.empty() && applied_ < entries_.size(); }

std::string EditHistory::undoName() const
{
    if (!recorder_.empty()) return depth_ > 0 ? openName_ : "Change";
    return applied_ > 0 ? entries_[applied_ - 1].name : std::string();
}

std::string EditHistory::redoName() const { return canRedo() ? entries_[applied_].name : std::string(); }

size_t EditHistory::undoCount() const { return applied_ + (recorder_.empty() ? 0 : 1); }

size_t EditHistory::redoCount() const { return canRedo() ? entries_.size() - applied_ : 0; }

std::optional<ChangedCell> EditHistory::undo() { return replay(true); }

std::optional<ChangedCell> EditHistory::redo() { return replay(false); }

std::optional<ChangedCell> EditHistory::replay(bool undo)
{
    if (depth_ > 0) return std::nullopt; // not in the middle of a step
    closeLooseChanges();
    if (undo ? applied_ == 0 : applied_ >= entries_.size()) return std::nullopt;
    Entry& entry = entries_[undo ? applied_ - 1 : applied_];
    // The replay records its own way back: the step's record for the other direction.
    table_.removeRecorder(&recorder_);
    UndoRecorder reverse(table_);
    table_.addRecorder(&reverse);
    ChangedCell first;
    try {
        first = ReplayBackward(table_, entry.record);
    } catch (...) {
        table_.removeRecorder(&reverse);
        table_.addRecorder(&recorder_);
        clear(false);
        throw;
    }
    table_.removeRecorder(&reverse);
    table_.addRecorder(&recorder_);
    memory_ -= entry.record.bytes();
    entry.record = reverse.take();
    memory_ += entry.record.bytes();
    if (undo)
        --applied_;
    else
        ++applied_;
    mergeAllowed_ = false;
    notify(undo ? Event::Undone : Event::Redone);
    return first;
}

void EditHistory::markSaved()
{
    closeLooseChanges();
    savedState_ = state();
    mergeAllowed_ = false;
    notify(Event::Saved);
}

bool EditHistory::isModified() const { return !recorder_.empty() || savedState_ != state(); }

EditHistory::Unrecorded::Unrecorded(EditHistory& history)
    : history_(history)
    , revision_(history.table_.revision())
{
    history_.closeLooseChanges();
    history_.table_.removeRecorder(&history_.recorder_);
}

EditHistory::Unrecorded::~Unrecorded()
{
    history_.table_.addRecorder(&history_.recorder_);
    if (history_.table_.revision() != revision_) history_.clear(false);
}

} // namespace tessel
