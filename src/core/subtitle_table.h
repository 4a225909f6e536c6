#pragma once
#include "core/big_memory.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessel {

// Told about every change of the table, so that a view can follow it. Changes
// inside a BulkChange arrive as one reset.
class TableListener {
public:
    virtual ~TableListener() = default;
    // Table row indexes; `first` is where the rows go in or come out.
    virtual void rowsAboutToBeInserted(int first, int count) = 0;
    virtual void rowsInserted() = 0;
    virtual void rowsAboutToBeRemoved(int first, int count) = 0;
    virtual void rowsRemoved() = 0;
    // column -1: the whole row. Only the five visible columns are reported.
    virtual void cellChanged(int column, int row) = 0;
    virtual void resetBegins() = 0;
    virtual void resetEnds() = 0;
};

// Told about every change with its content, bulk or not, before the change
// for what goes and after it for what comes: the undo history records the
// way back from here and the recovery journal the way forward. Every change
// of the table is made of these three.
class TableRecorder {
public:
    virtual ~TableRecorder() = default;
    // The cells of `row` whose bits are set in `columns` (bit c: column c,
    // 0..5) still hold their old texts; after[c] are the new ones.
    virtual void cellsChanging(int row, unsigned columns, const std::string_view* after) = 0;
    // `count` empty rows now stand at `row`.
    virtual void rowsInserted(int row, int count) = 0;
    // Rows row..row+count-1 are still there and about to go.
    virtual void rowsRemoving(int row, int count) = 0;
    // The document's own data is about to become `after`.
    virtual void documentDataChanging(std::string_view after) = 0;
    // The side data `key` is about to become `after` (empty: none).
    virtual void sideDataChanging(std::string_view /*key*/, std::string_view /*after*/) { }
    // A recorder that needs no cell told when the table takes another's rows
    // whole (an opened file) says so, and is told once it happened instead.
    virtual bool followsReplacement() const { return false; }
    virtual void tableReplaced() { }
};

// The document: a header row (row 0) and at least one subtitle row, five text
// cells each (From, To, Line 1, Line 2, Line 3) and one hidden cell, Extra,
// where a format keeps what the grid does not show. Cells hold UTF-8 text.
//
// A view returned by cell() stays valid until the next change of the table.
class SubtitleTable {
public:
    enum Column { From = 0, To = 1, Line1 = 2, Line2 = 3, Line3 = 4, Extra = 5 };
    // The visible columns; the rest of the program sees only these.
    static constexpr int ColumnCount = 5;
    // With the hidden one.
    static constexpr int CellCount = 6;
    static constexpr std::array<std::string_view, ColumnCount> HeaderTexts
        = { "From", "To", "Line 1", "Line 2", "Line 3" };

    SubtitleTable();
    ~SubtitleTable();
    SubtitleTable(const SubtitleTable&) = delete;
    SubtitleTable& operator=(const SubtitleTable&) = delete;

    // Header row included; never below 2.
    int rowCount() const { return static_cast<int>(rows_.size()) + 1 + gone_; }
    // Grows with empty rows or cuts off the rows at and after the new count.
    void setRowCount(int count);
    // Room for a row count, so that rows stored one by one never move the
    // row index to grow it. Reserved room costs address space, not memory.
    void reserveRows(int count);

    // Back to a table just made: one empty row, no document or side data,
    // revision 0. Only for a table no view or history follows yet.
    void clear();

    // For a file written while it is read: the rows before `row` leave the
    // table, written already, and the rows after them keep their indexes
    // (when none is left, an empty row stands at `row`); firstRow() is the
    // first one left. Their memory is used again by the rows that follow.
    // Only cells, the row count and the document data change in such a table.
    void dropRowsBefore(int row);
    int firstRow() const { return 1 + gone_; }
    // Rows first..last of `source` become this table's only rows, at the same
    // indexes, their text shared with it instead of copied, as an image
    // shares it: for a block of rows handed to another thread to be read.
    // The document data stays as it was.
    void shareRowsOf(const SubtitleTable& source, int first, int last);

    std::string_view cell(int column, int row) const
    {
        // Every reader and writer asks for cells many times a row.
        if (static_cast<unsigned>(column) < CellCount && row >= firstRow() && row < rowCount()) {
            const Slot& s = rows_[static_cast<size_t>(row - firstRow())];
            const uint32_t begin = column == 0 ? 0 : s.ends[static_cast<size_t>(column - 1)];
            const uint32_t end = s.ends[static_cast<size_t>(column)];
            if (begin == end) return {};
            return std::string_view(blocks_[s.block].data.get() + s.offset + begin, end - begin);
        }
        return otherCell(column, row);
    }
    QString text(int column, int row) const;
    void setCell(int column, int row, std::string_view text);
    void setText(int column, int row, const QString& text) { setCell(column, row, text.toUtf8().toStdString()); }
    // All cells of a subtitle row at once; Extra becomes `extra`.
    void setRow(int row, std::string_view from, std::string_view to, std::string_view line1, std::string_view line2,
        std::string_view line3, std::string_view extra = {});
    std::array<std::string, ColumnCount> row(int row) const;

    // Removes the subtitle rows the predicate picks, in one pass, keeping at
    // least one row; returns how many went.
    int removeRowsWhere(const std::function<bool(int row)>& remove);
    void insertRow(int row); // an empty row at that index, the rest moves down
    void deleteRow(int row); // the rows after it move up; the last row cannot go

    // Takes every row and the document data of `other`, which keeps this
    // table's old ones: one change, a reset for the listener. With recorders
    // attached (they cannot follow a swap) the rows are copied instead, as
    // changes they see.
    void replaceWith(SubtitleTable& other);

    // What the format a file came from keeps for the whole document.
    const std::string& documentData() const { return documentData_; }
    void setDocumentData(std::string_view data);

    // Named data the editor keeps with the document beside its cells (sync
    // points, say): undone and redone with the rest and kept by the recovery
    // journal, but written by no format. An empty value is no value.
    using SideData = std::map<std::string, std::string, std::less<>>;
    const std::string& sideData(std::string_view key) const;
    void setSideData(std::string_view key, std::string_view value);
    const SideData& allSideData() const { return sideData_; }

    // Counts every change; a window compares it with the count at its last save.
    uint64_t revision() const { return revision_; }

    void setListener(TableListener* listener) { listener_ = listener; }
    void addRecorder(TableRecorder* recorder);
    void removeRecorder(TableRecorder* recorder);

    // Changes made while one exists reach the listener as one reset.
    class BulkChange {
    public:
        explicit BulkChange(SubtitleTable& table);
        ~BulkChange();
        BulkChange(const BulkChange&) = delete;
        BulkChange& operator=(const BulkChange&) = delete;

    private:
        SubtitleTable& table_;
    };

    // Batches of row changes in one pass each, for replaying recorded changes.
    // Runs are (row, count) in the order they happen: removals from the
    // bottom up, so that each row index holds when its run goes; insertions
    // from the top down, each index counted with the runs before it in place.
    void removeRowRuns(const std::vector<std::pair<int, int>>& runs);
    void insertRowRuns(const std::vector<std::pair<int, int>>& runs);

    // Bytes held for the cells, and how many of them no row uses any more.
    size_t storedBytes() const;
    size_t unusedBytes() const { return storedBytes() - liveBytes_; }

    class Image;
    // A frozen copy of every cell and the document data, for writing on
    // another thread: the row index is copied, the blocks of text are shared
    // (a block an image holds is never written in place again). Into `room`
    // when it is large enough.
    std::shared_ptr<const Image> image(std::shared_ptr<Image> room = nullptr) const;
    // Room for the row index of up to `rows` rows, its memory touched: made
    // ahead of time on another thread, it leaves image() a plain copy.
    static std::shared_ptr<Image> ImageRoom(int rows);

private:
    // A row's cells lie one after the other in a block of a shared arena, so
    // a million rows are a few allocations, not a million.
    struct Slot {
        uint32_t block = NoBlock;
        uint32_t offset = 0;
        std::array<uint32_t, CellCount> ends {};
        uint32_t size() const { return ends[CellCount - 1]; }
    };
    struct Block {
        std::shared_ptr<char[]> data;
        size_t capacity = 0;
        size_t used = 0;
        size_t live = 0; // bytes of rows that still point here
    };
    static constexpr uint32_t NoBlock = UINT32_MAX;
    using SlotVector = std::vector<Slot, BigAllocator<Slot>>;

    Slot& slot(int row);
    const Slot& slot(int row) const;
    // The header row's cells, or out_of_range.
    std::string_view otherCell(int column, int row) const;
    const char* rowData(const Slot& s) const;
    std::string_view slotCell(const Slot& s, int column) const;
    // Room for `size` bytes; the slot's block and offset are set to it.
    char* allocate(Slot& s, size_t size);
    void release(Slot& s);
    // A block no row uses any more, given up (or kept as the spare).
    void retire(Block& block);
    void requireAllRows() const;
    void storeRow(Slot& s, const std::array<std::string_view, CellCount>& cells);
    bool resizeCellInPlace(Slot& s, int column, std::string_view text);
    void compactIfWasteful();
    void compact();

    void changed(int column, int row);
    bool notifying() const { return listener_ && bulkDepth_ == 0; }
    static std::string_view cellIn(const Slot& s, const char* data, int column);
    void tellRowsInserted(int row, int count);
    void tellRowsRemoving(int row, int count);

    SlotVector rows_;
    std::vector<Block> blocks_;
    std::vector<uint32_t> freeBlocks_;
    uint32_t currentBlock_ = NoBlock;
    int gone_ = 0; // rows dropped from the start (dropRowsBefore)
    bool dropping_ = false; // dropRowsBefore was called
    Block spare_; // a block all of whose rows were dropped, for the next rows
    size_t liveBytes_ = 0;
    size_t usedBytes_ = 0; // the blocks' `used`, summed: looked at after every change
    std::string documentData_;
    SideData sideData_;
    uint64_t revision_ = 0;
    TableListener* listener_ = nullptr;
    std::vector<TableRecorder*> recorders_;
    int bulkDepth_ = 0;
};

class SubtitleTable::Image {
public:
    int rowCount() const { return static_cast<int>(rows_.size()) + 1; }
    std::string_view cell(int column, int row) const; // subtitle rows only
    const std::string& documentData() const { return documentData_; }
    const SideData& sideData() const { return sideData_; }
    // The bytes of the cells it holds.
    size_t bytes() const { return bytes_; }

private:
    friend class SubtitleTable;
    SlotVector rows_;
    std::vector<std::shared_ptr<const char[]>> blocks_; // by the table's block index
    std::string documentData_;
    SideData sideData_;
    size_t bytes_ = 0;
};

} // namespace tessel
