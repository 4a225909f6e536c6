#include "core/edit_history.h"

#include <algorithm>
#include <utility>

namespace tessel {

EditHistory::EditHistory(SubtitleTable& table, size_t memoryLimit)
    : table_(table)
    , recorder_(table)
    , memoryLimit_(memoryLimit)
{
    table_.addRecorder(&recorder_);
}

EditHistory::~EditHistory() { detach(); }

void EditHistory::attach()
{
    recording_ = true;
    table_.addRecorder(&recorder_);
    for (TableRecorder* r : followers_)
        table_.addRecorder(r);
}

void EditHistory::detach()
{
    recording_ = false;
    table_.removeRecorder(&recorder_);
    for (TableRecorder* r : followers_)
        table_.removeRecorder(r);
}

void EditHistory::addFollower(TableRecorder* recorder)
{
    followers_.push_back(recorder);
    if (recording_) table_.addRecorder(recorder);
}

void EditHistory::removeFollower(TableRecorder* recorder)
{
    followers_.erase(std::remove(followers_.begin(), followers_.end(), recorder), followers_.end());
    table_.removeRecorder(recorder);
}

int EditHistory::addObserver(std::function<void(Event)> observer)
{
    observers_.emplace_back(nextObserverId_, std::move(observer));
    return nextObserverId_++;
}

void EditHistory::removeObserver(int id)
{
    observers_.erase(
        std::remove_if(observers_.begin(), observers_.end(), [id](const auto& o) { return o.first == id; }),
        observers_.end());
}

uint64_t EditHistory::state() const { return applied_ > 0 ? entries_[applied_ - 1].state : baseState_; }

void EditHistory::notify(Event e)
{
    if (observer_) observer_(e);
    for (size_t i = 0; i < observers_.size(); ++i)
        observers_[i].second(e);
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
    if (depth_ == 1 && !recorder_.empty()) runClosingHooks();
    if (depth_ == 0 || --depth_ > 0) return;
    if (recorder_.empty()) return;
    Entry entry { openName_, recorder_.take(), 0, openMergeKey_ };
    push(std::move(entry));
}

// Changes made outside any step still need a way back.
void EditHistory::closeLooseChanges()
{
    if (depth_ > 0 || recorder_.empty()) return;
    runClosingHooks();
    push(Entry { "Change", recorder_.take(), 0, 0 });
}

int EditHistory::addClosingHook(std::function<void()> hook)
{
    closingHooks_.emplace_back(nextObserverId_, std::move(hook));
    return nextObserverId_++;
}

void EditHistory::removeClosingHook(int id)
{
    closingHooks_.erase(
        std::remove_if(closingHooks_.begin(), closingHooks_.end(), [id](const auto& h) { return h.first == id; }),
        closingHooks_.end());
}

// A hook that opens a step of its own joins the one closing. Steps close in
// destructors: what a hook throws goes no further than here.
void EditHistory::runClosingHooks()
{
    if (closing_) return;
    closing_ = true;
    const int depth = std::exchange(depth_, std::max(depth_, 1));
    for (size_t i = 0; i < closingHooks_.size(); ++i) {
        try {
            closingHooks_[i].second();
        } catch (...) {
        }
    }
    depth_ = depth;
    closing_ = false;
}

void EditHistory::push(Entry entry)
{
    // A new step makes the steps that were undone unreachable.
    dropRedoable();
    if (entry.mergeKey != 0 && mergeAllowed_ && applied_ > 0 && entries_.back().mergeKey == entry.mergeKey
        && savedState_ != entries_.back().state) {
        Entry& last = entries_.back();
        memory_ -= last.record.bytes();
        // Typing rewrites the same cell again and again: its first old text
        // is all the way back needs.
        if (!last.record.restoresAllOf(entry.record)) last.record.append(entry.record);
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

void EditHistory::dropRedoable()
{
    while (entries_.size() > applied_) {
        memory_ -= entries_.back().record.bytes();
        entries_.pop_back();
    }
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

bool EditHistory::withdraw(uint64_t mergeKey)
{
    if (depth_ > 0 || mergeKey == 0) return false;
    closeLooseChanges();
    bool withdrawn = false;
    while (applied_ > 0 && entries_[applied_ - 1].mergeKey == mergeKey) {
        replay(true);
        dropRedoable();
        withdrawn = true;
    }
    if (withdrawn) notify(Event::Withdrawn);
    return withdrawn;
}

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
    reverse.reserve(entry.record.bytes() + entry.record.bytes() / 8); // the other way is about as long
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
    history_.detach();
}

EditHistory::Unrecorded::~Unrecorded()
{
    history_.attach();
    if (history_.table_.revision() != revision_) history_.clear(false);
}

} // namespace tessel
