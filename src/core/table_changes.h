#pragma once
#include "core/subtitle_table.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Changes of a table as compact records: the undo history keeps the way back
// from each step, the recovery journal the way forward from a snapshot. Both
// replay them through the table's own operations, so what a replay changes is
// recorded again like any other change.
namespace tessel {

// A list of table operations in the order they were recorded. Only the text
// of the cells an operation sets is kept, never a copy of the table.
class ChangeRecord {
public:
    bool empty() const { return operations_ == 0; }
    size_t operationCount() const { return operations_; }
    size_t bytes() const { return data_.size(); }
    // The encoded operations, for the journal's files; FromBytes checks them.
    const std::string& data() const { return data_; }
    static ChangeRecord FromBytes(std::string bytes); // throws std::runtime_error
    // `later` happened right after this record's operations.
    void append(const ChangeRecord& later);
    void reserve(size_t bytes) { data_.reserve(bytes); }
    // For records of the way back: both are one cell operation on the same
    // row and this one covers every cell of `later`, so replaying this one
    // alone undoes both.
    bool restoresAllOf(const ChangeRecord& later) const;

private:
    friend class ChangeEncoder;
    friend class ChangeReplay;
    std::string data_;
    size_t operations_ = 0;
    int lastRow_ = 0; // row of the last operation; the next is stored relative to it
};

// Where a replay touched the table first: the smallest row and, in it, the
// smallest column (-1 when whole rows came or went there).
struct ChangedCell {
    int row = 0;
    int column = -1;
};

// Records, for each change of the table, the operation that undoes it:
// replayed from the last to the first, they restore the table as it was.
class UndoRecorder : public TableRecorder {
public:
    explicit UndoRecorder(const SubtitleTable& table)
        : table_(table)
    {
    }
    ChangeRecord take();
    bool empty() const;
    // Room for a record of about that many bytes, when it is known ahead.
    void reserve(size_t bytes);

    void cellsChanging(int row, unsigned columns, const std::string_view* after) override;
    void rowsInserted(int row, int count) override;
    void rowsRemoving(int row, int count) override;
    void documentDataChanging(std::string_view after) override;
    void sideDataChanging(std::string_view key, std::string_view after) override;

private:
    bool isFresh(int row) const;
    void flushPending();

    const SubtitleTable& table_;
    ChangeRecord record_;
    // Rows this record inserted and will remove again: their cells need no record.
    std::vector<std::pair<int, int>> fresh_;
    int pendingRow_ = 0, pendingCount_ = 0; // growth not yet written, merged while it continues
};

// Records each change as the operation that repeats it: replayed from the
// first to the last over the table as it was, they give the table as it is.
class ForwardRecorder : public TableRecorder {
public:
    ChangeRecord take();
    bool empty() const;

    void cellsChanging(int row, unsigned columns, const std::string_view* after) override;
    void rowsInserted(int row, int count) override;
    void rowsRemoving(int row, int count) override;
    void documentDataChanging(std::string_view after) override;
    void sideDataChanging(std::string_view key, std::string_view after) override;

private:
    void flushPending();

    ChangeRecord record_;
    int pendingRow_ = 0, pendingCount_ = 0;
};

// Replays an UndoRecorder's record (last operation first). Returns the first
// changed cell. Throws std::out_of_range when the record does not fit the
// table, which happens only when the table changed outside the record.
ChangedCell ReplayBackward(SubtitleTable& table, const ChangeRecord& record);
// Replays a ForwardRecorder's record (first operation first).
ChangedCell ReplayForward(SubtitleTable& table, const ChangeRecord& record);

} // namespace tessel
