#include "core/subtitle_table.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace tessel {
namespace {

constexpr size_t FirstBlockSize = 64 * 1024;
constexpr size_t LargestBlockSize = 4 * 1024 * 1024;
constexpr size_t WindowBlockSize = 1024 * 1024;
// Unused bytes are reclaimed once they outweigh the used ones by this much.
constexpr size_t WasteAllowance = 4 * 1024 * 1024;

void checkColumn(int column)
{
    if (column < 0 || column >= SubtitleTable::CellCount) throw std::out_of_range("column index out of range");
}

} // namespace

SubtitleTable::SubtitleTable()
    : rows_(1)
{
}

SubtitleTable::~SubtitleTable() = default;

SubtitleTable::Slot& SubtitleTable::slot(int row)
{
    if (row < firstRow() || row >= rowCount()) throw std::out_of_range("row index out of range");
    return rows_[static_cast<size_t>(row - firstRow())];
}

const SubtitleTable::Slot& SubtitleTable::slot(int row) const
{
    if (row < firstRow() || row >= rowCount()) throw std::out_of_range("row index out of range");
    return rows_[static_cast<size_t>(row - firstRow())];
}

void SubtitleTable::requireAllRows() const
{
    if (gone_ > 0) throw std::logic_error("the table's first rows were dropped");
}

void SubtitleTable::retire(Block& block)
{
    usedBytes_ -= block.used;
    // A table whose rows are dropped as they are written needs such a block
    // again at once: kept, its pages need no new faults.
    if (dropping_ && block.data.use_count() == 1 && (!spare_.data || spare_.capacity < block.capacity)) {
        spare_.data = std::move(block.data);
        spare_.capacity = block.capacity;
    }
    block = Block();
}

const char* SubtitleTable::rowData(const Slot& s) const
{
    return s.block == NoBlock ? nullptr : blocks_[s.block].data.get() + s.offset;
}

std::string_view SubtitleTable::cellIn(const Slot& s, const char* data, int column)
{
    const uint32_t begin = column == 0 ? 0 : s.ends[static_cast<size_t>(column - 1)];
    const uint32_t end = s.ends[static_cast<size_t>(column)];
    if (begin == end) return {};
    return std::string_view(data + begin, end - begin);
}

std::string_view SubtitleTable::slotCell(const Slot& s, int column) const { return cellIn(s, rowData(s), column); }

char* SubtitleTable::allocate(Slot& s, size_t size)
{
    if (size == 0) {
        s.block = NoBlock;
        s.offset = 0;
        return nullptr;
    }
    if (size > UINT32_MAX) throw std::length_error("subtitle row too long");
    if (currentBlock_ == NoBlock || blocks_[currentBlock_].capacity - blocks_[currentBlock_].used < size) {
        const size_t previous = currentBlock_ == NoBlock ? 0 : blocks_[currentBlock_].capacity;
        // A table whose first rows leave as they are written holds few at a time.
        const size_t largest = dropping_ ? WindowBlockSize : LargestBlockSize;
        const size_t capacity = std::max(size, std::clamp(previous * 2, FirstBlockSize, largest));
        Block block;
        if (spare_.data && spare_.capacity >= size) {
            block = std::move(spare_);
            spare_ = Block();
        } else {
            block.data = SharedBig(capacity);
            block.capacity = capacity;
        }
        if (currentBlock_ != NoBlock && blocks_[currentBlock_].live == 0) {
            retire(blocks_[currentBlock_]);
            freeBlocks_.push_back(currentBlock_);
        }
        if (freeBlocks_.empty()) {
            blocks_.push_back(std::move(block));
            currentBlock_ = static_cast<uint32_t>(blocks_.size() - 1);
        } else {
            currentBlock_ = freeBlocks_.back();
            freeBlocks_.pop_back();
            blocks_[currentBlock_] = std::move(block);
        }
    }
    Block& block = blocks_[currentBlock_];
    s.block = currentBlock_;
    s.offset = static_cast<uint32_t>(block.used);
    block.used += size;
    usedBytes_ += size;
    block.live += size;
    liveBytes_ += size;
    return block.data.get() + s.offset;
}

void SubtitleTable::release(Slot& s)
{
    if (s.block == NoBlock) return;
    Block& block = blocks_[s.block];
    block.live -= s.size();
    liveBytes_ -= s.size();
    if (block.live == 0 && s.block != currentBlock_) {
        retire(block);
        freeBlocks_.push_back(s.block);
    }
    s.block = NoBlock;
}

void SubtitleTable::storeRow(Slot& s, const std::array<std::string_view, CellCount>& cells)
{
    size_t size = 0;
    for (std::string_view c : cells)
        size += c.size();
    // The new text may come from the old row: copy first, release after.
    Slot fresh;
    char* out = allocate(fresh, size);
    uint32_t end = 0;
    for (int c = 0; c < CellCount; ++c) {
        const std::string_view text = cells[static_cast<size_t>(c)];
        if (!text.empty()) std::memcpy(out + end, text.data(), text.size());
        end += static_cast<uint32_t>(text.size());
        fresh.ends[static_cast<size_t>(c)] = end;
    }
    release(s);
    s = fresh;
}

size_t SubtitleTable::storedBytes() const { return usedBytes_; }

std::shared_ptr<SubtitleTable::Image> SubtitleTable::ImageRoom(int rows)
{
    auto room = std::make_shared<Image>();
    room->rows_.resize(static_cast<size_t>(std::max(rows, 0)));
    room->rows_.clear(); // the capacity stays, its pages touched
    return room;
}

std::shared_ptr<const SubtitleTable::Image> SubtitleTable::image(std::shared_ptr<Image> room) const
{
    requireAllRows();
    std::shared_ptr<Image> image
        = room && room->rows_.capacity() >= rows_.size() ? std::move(room) : std::make_shared<Image>();
    image->rows_.assign(rows_.begin(), rows_.end());
    image->blocks_.clear();
    image->blocks_.resize(blocks_.size());
    for (size_t i = 0; i < blocks_.size(); ++i) {
        const Block& b = blocks_[i];
        if (b.live > 0) image->blocks_[i] = b.data;
    }
    image->documentData_ = documentData_;
    image->sideData_ = sideData_;
    image->bytes_ = liveBytes_;
    return image;
}

std::string_view SubtitleTable::Image::cell(int column, int row) const
{
    checkColumn(column);
    if (row < 1 || row >= rowCount()) throw std::out_of_range("row index out of range");
    const Slot& s = rows_[static_cast<size_t>(row - 1)];
    return cellIn(s, s.block == NoBlock ? nullptr : blocks_[s.block].get() + s.offset, column);
}

void SubtitleTable::compactIfWasteful()
{
    if (bulkDepth_ > 0) return;
    const size_t used = storedBytes();
#ifdef TESSEL_TABLE_COMPACT_ALWAYS // a check that no caller keeps a cell's view across a change
    if (used > liveBytes_) compact();
#else
    if (used - liveBytes_ > liveBytes_ + WasteAllowance) compact();
#endif
}

void SubtitleTable::compact()
{
    const size_t live = liveBytes_;
    Block block;
    if (live > 0) {
        block.data = SharedBig(live);
        block.capacity = live;
    }
    std::vector<Block> old = std::move(blocks_);
    blocks_.clear();
    freeBlocks_.clear();
    currentBlock_ = NoBlock;
    liveBytes_ = 0;
    usedBytes_ = 0;
    if (live > 0) {
        blocks_.push_back(std::move(block));
        currentBlock_ = 0;
    }
    for (Slot& s : rows_) {
        if (s.block == NoBlock) continue;
        const char* from = old[s.block].data.get() + s.offset;
        Slot moved = s;
        std::memcpy(allocate(moved, s.size()), from, s.size());
        s = moved;
    }
}

void SubtitleTable::changed(int column, int row)
{
    ++revision_;
    if (notifying() && column != Extra) listener_->cellChanged(column, row);
}

void SubtitleTable::tellRowsInserted(int row, int count)
{
    for (TableRecorder* r : recorders_)
        r->rowsInserted(row, count);
}

void SubtitleTable::tellRowsRemoving(int row, int count)
{
    for (TableRecorder* r : recorders_)
        r->rowsRemoving(row, count);
}

void SubtitleTable::setRowCount(int count)
{
    if (count < firstRow() + 1) count = firstRow() + 1;
    const int old = rowCount();
    if (count == old) return;
    const bool tell = notifying();
    if (count > old) {
        if (tell) listener_->rowsAboutToBeInserted(old, count - old);
        rows_.resize(static_cast<size_t>(count - firstRow()));
        ++revision_;
        if (tell) listener_->rowsInserted();
        tellRowsInserted(old, count - old);
        return;
    }
    tellRowsRemoving(count, old - count);
    if (tell) listener_->rowsAboutToBeRemoved(count, old - count);
    for (size_t i = static_cast<size_t>(count - firstRow()); i < rows_.size(); ++i)
        release(rows_[i]);
    rows_.resize(static_cast<size_t>(count - firstRow()));
    ++revision_;
    if (tell) listener_->rowsRemoved();
    compactIfWasteful();
}

void SubtitleTable::reserveRows(int count)
{
    if (count > rowCount()) rows_.reserve(static_cast<size_t>(count - firstRow()));
}

void SubtitleTable::clear()
{
    if (!recorders_.empty() || listener_) throw std::logic_error("a table that is followed cannot be cleared");
    rows_.assign(1, Slot());
    blocks_.clear();
    freeBlocks_.clear();
    currentBlock_ = NoBlock;
    liveBytes_ = 0;
    usedBytes_ = 0;
    gone_ = 0;
    dropping_ = false;
    spare_ = Block();
    documentData_.clear();
    sideData_.clear();
    revision_ = 0;
}

void SubtitleTable::dropRowsBefore(int row)
{
    dropping_ = true;
    const int count = std::min(row, rowCount()) - firstRow();
    if (count <= 0) return;
    for (size_t i = 0; i < static_cast<size_t>(count); ++i)
        release(rows_[i]);
    rows_.erase(rows_.begin(), rows_.begin() + count);
    gone_ += count;
    // One row stays, as in any table: an empty one at `row` when all went.
    if (rows_.empty()) {
        rows_.emplace_back();
        gone_ = row - 1;
    }
    ++revision_;
}

void SubtitleTable::shareRowsOf(const SubtitleTable& source, int first, int last)
{
    if (listener_ || !recorders_.empty()) throw std::logic_error("a table that is followed cannot share rows");
    if (first < source.firstRow() || last >= source.rowCount() || last < first)
        throw std::out_of_range("row index out of range");
    const auto from = source.rows_.begin() + (first - source.firstRow());
    rows_.assign(from, from + (last - first + 1));
    blocks_.assign(source.blocks_.size(), Block());
    liveBytes_ = 0;
    for (const Slot& s : rows_) {
        if (s.block == NoBlock) continue;
        Block& block = blocks_[s.block];
        if (!block.data) block.data = source.blocks_[s.block].data;
        block.live += s.size();
        liveBytes_ += s.size();
    }
    freeBlocks_.clear();
    for (size_t i = 0; i < blocks_.size(); ++i) {
        // Full as far as this table knows: it never writes into a shared block.
        blocks_[i].used = blocks_[i].capacity = blocks_[i].live;
        if (!blocks_[i].data) freeBlocks_.push_back(static_cast<uint32_t>(i));
    }
    usedBytes_ = liveBytes_;
    currentBlock_ = NoBlock;
    spare_ = Block();
    gone_ = first - 1;
    dropping_ = true;
    ++revision_;
}

std::string_view SubtitleTable::otherCell(int column, int row) const
{
    checkColumn(column);
    if (row == 0) return column < ColumnCount ? HeaderTexts[static_cast<size_t>(column)] : std::string_view();
    return slotCell(slot(row), column);
}

QString SubtitleTable::text(int column, int row) const
{
    std::string_view s = cell(column, row);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A row whose block no image reads can change where it stands when its new
// text is not longer, or when the row is the last thing allocated and its
// block has the room. Most batch changes (frame numbers) need no copy of
// the row that way.
bool SubtitleTable::resizeCellInPlace(Slot& s, int column, std::string_view text)
{
    if (s.block == NoBlock) return false;
    Block& block = blocks_[s.block];
    if (block.data.use_count() != 1) return false;
    char* row = block.data.get() + s.offset;
    const size_t rowSize = s.size();
    // The new text may lie in this very row: only a same-length copy is safe then.
    const bool inRow = text.data() >= row && text.data() < row + rowSize;
    const uint32_t begin = column == 0 ? 0 : s.ends[static_cast<size_t>(column - 1)];
    const uint32_t end = s.ends[static_cast<size_t>(column)];
    const size_t oldSize = end - begin;
    if (text.size() == oldSize) {
        std::memmove(row + begin, text.data(), text.size());
        return true;
    }
    if (inRow) return false;
    const bool last = s.block == currentBlock_ && s.offset + rowSize == block.used;
    if (text.size() > oldSize && !(last && block.capacity - block.used >= text.size() - oldSize)) return false;
    const int64_t grow = static_cast<int64_t>(text.size()) - static_cast<int64_t>(oldSize);
    if (static_cast<int64_t>(rowSize) + grow == 0) return false; // an empty row holds no block
    std::memmove(row + end + grow, row + end, rowSize - end);
    if (!text.empty()) std::memcpy(row + begin, text.data(), text.size());
    for (int c = column; c < CellCount; ++c)
        s.ends[static_cast<size_t>(c)] = static_cast<uint32_t>(s.ends[static_cast<size_t>(c)] + grow);
    if (last) {
        block.used = static_cast<size_t>(static_cast<int64_t>(block.used) + grow);
        usedBytes_ = static_cast<size_t>(static_cast<int64_t>(usedBytes_) + grow);
    }
    block.live = static_cast<size_t>(static_cast<int64_t>(block.live) + grow);
    liveBytes_ = static_cast<size_t>(static_cast<int64_t>(liveBytes_) + grow);
    return true;
}

void SubtitleTable::setCell(int column, int row, std::string_view text)
{
    checkColumn(column);
    Slot& s = slot(row);
    const std::string_view old = slotCell(s, column);
    if (old == text) return;
    std::array<std::string_view, CellCount> after {};
    after[static_cast<size_t>(column)] = text;
    for (TableRecorder* r : recorders_)
        r->cellsChanging(row, 1u << column, after.data());
    if (!resizeCellInPlace(s, column, text)) {
        std::array<std::string_view, CellCount> cells;
        for (int c = 0; c < CellCount; ++c)
            cells[static_cast<size_t>(c)] = c == column ? text : slotCell(s, c);
        storeRow(s, cells);
    }
    changed(column, row);
    compactIfWasteful();
}

void SubtitleTable::setRow(int row, std::string_view from, std::string_view to, std::string_view line1,
    std::string_view line2, std::string_view line3, std::string_view extra)
{
    Slot& s = slot(row);
    const std::array<std::string_view, CellCount> cells = { from, to, line1, line2, line3, extra };
    unsigned mask = 0;
    // A row just added, as every reader stores them, has no text to compare.
    if (s.size() == 0) {
        for (int c = 0; c < CellCount; ++c)
            if (!cells[static_cast<size_t>(c)].empty()) mask |= 1u << c;
    } else {
        for (int c = 0; c < CellCount; ++c)
            if (slotCell(s, c) != cells[static_cast<size_t>(c)]) mask |= 1u << c;
    }
    if (mask == 0) return;
    for (TableRecorder* r : recorders_)
        r->cellsChanging(row, mask, cells.data());
    storeRow(s, cells);
    changed(-1, row);
    compactIfWasteful();
}

std::array<std::string, SubtitleTable::ColumnCount> SubtitleTable::row(int row) const
{
    std::array<std::string, ColumnCount> cells;
    for (int c = 0; c < ColumnCount; ++c)
        cells[static_cast<size_t>(c)] = std::string(cell(c, row));
    return cells;
}

int SubtitleTable::removeRowsWhere(const std::function<bool(int row)>& remove)
{
    requireAllRows();
    const size_t n = rows_.size();
    std::vector<bool> gone(n);
    size_t goneCount = 0;
    for (size_t i = 0; i < n; ++i)
        if ((gone[i] = remove(static_cast<int>(i + 1)))) ++goneCount;
    if (goneCount == n) { // the table keeps its first row
        gone[0] = false;
        --goneCount;
    }
    if (goneCount == 0) return 0;
    std::vector<std::pair<int, int>> runs;
    for (size_t end = n; end > 0;) {
        if (!gone[end - 1]) {
            --end;
            continue;
        }
        size_t begin = end - 1;
        while (begin > 0 && gone[begin - 1])
            --begin;
        runs.emplace_back(static_cast<int>(begin + 1), static_cast<int>(end - begin));
        end = begin;
    }
    removeRowRuns(runs);
    return static_cast<int>(goneCount);
}

void SubtitleTable::removeRowRuns(const std::vector<std::pair<int, int>>& runs)
{
    if (runs.empty()) return;
    requireAllRows();
    int below = rowCount();
    int total = 0;
    for (const auto& [row, count] : runs) {
        if (count <= 0 || row < 1 || row + count > below) throw std::out_of_range("row runs out of order");
        below = row;
        total += count;
    }
    if (total >= rowCount() - 1) throw std::out_of_range("the last subtitle row cannot go");
    const bool single = runs.size() == 1;
    const bool tell = notifying() && single;
    std::optional<BulkChange> bulk;
    if (!single) bulk.emplace(*this);
    for (const auto& [row, count] : runs)
        tellRowsRemoving(row, count);
    if (tell) listener_->rowsAboutToBeRemoved(runs[0].first, runs[0].second);
    std::vector<bool> gone(rows_.size());
    for (const auto& [row, count] : runs)
        for (int i = 0; i < count; ++i)
            gone[static_cast<size_t>(row - 1 + i)] = true;
    size_t kept = 0;
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (gone[i]) {
            release(rows_[i]);
            continue;
        }
        if (kept != i) rows_[kept] = rows_[i];
        ++kept;
    }
    rows_.resize(kept);
    ++revision_;
    if (tell) listener_->rowsRemoved();
    bulk.reset();
    compactIfWasteful();
}

void SubtitleTable::insertRowRuns(const std::vector<std::pair<int, int>>& runs)
{
    if (runs.empty()) return;
    requireAllRows();
    size_t size = rows_.size();
    int above = 1;
    for (const auto& [row, count] : runs) {
        if (count <= 0 || row < above || static_cast<size_t>(row) > size + 1)
            throw std::out_of_range("row runs out of order");
        size += static_cast<size_t>(count);
        above = row + count;
    }
    const bool single = runs.size() == 1;
    const bool tell = notifying() && single;
    std::optional<BulkChange> bulk;
    if (!single) bulk.emplace(*this);
    if (tell) listener_->rowsAboutToBeInserted(runs[0].first, runs[0].second);
    if (single) {
        rows_.insert(rows_.begin() + (runs[0].first - 1), static_cast<size_t>(runs[0].second), Slot());
    } else {
        SlotVector grown;
        grown.reserve(size);
        size_t next = 0;
        for (const auto& [row, count] : runs) {
            while (grown.size() < static_cast<size_t>(row - 1))
                grown.push_back(rows_[next++]);
            grown.insert(grown.end(), static_cast<size_t>(count), Slot());
        }
        while (next < rows_.size())
            grown.push_back(rows_[next++]);
        rows_ = std::move(grown);
    }
    ++revision_;
    if (tell) listener_->rowsInserted();
    for (const auto& [row, count] : runs)
        tellRowsInserted(row, count);
}

void SubtitleTable::insertRow(int row)
{
    if (row < 1 || row > rowCount()) throw std::out_of_range("row index out of range");
    insertRowRuns({ { row, 1 } });
}

void SubtitleTable::deleteRow(int row)
{
    if (row < 1 || row >= rowCount() || rowCount() <= 2) return;
    removeRowRuns({ { row, 1 } });
}

void SubtitleTable::replaceWith(SubtitleTable& other)
{
    requireAllRows();
    other.requireAllRows();
    BulkChange bulk(*this);
    const bool told = std::all_of(
        recorders_.begin(), recorders_.end(), [](const TableRecorder* r) { return r->followsReplacement(); });
    if (!told) {
        setRowCount(other.rowCount());
        for (int row = 1; row < other.rowCount(); ++row)
            setRow(row, other.cell(From, row), other.cell(To, row), other.cell(Line1, row), other.cell(Line2, row),
                other.cell(Line3, row), other.cell(Extra, row));
        setDocumentData(other.documentData());
        return;
    }
    std::swap(rows_, other.rows_);
    std::swap(blocks_, other.blocks_);
    std::swap(freeBlocks_, other.freeBlocks_);
    std::swap(currentBlock_, other.currentBlock_);
    std::swap(liveBytes_, other.liveBytes_);
    std::swap(usedBytes_, other.usedBytes_);
    std::swap(documentData_, other.documentData_);
    ++revision_;
    ++other.revision_;
    for (TableRecorder* r : recorders_)
        r->tableReplaced();
}

void SubtitleTable::setDocumentData(std::string_view data)
{
    if (data == documentData_) return;
    for (TableRecorder* r : recorders_)
        r->documentDataChanging(data);
    documentData_ = std::string(data);
    ++revision_;
}

const std::string& SubtitleTable::sideData(std::string_view key) const
{
    static const std::string none;
    const auto found = sideData_.find(key);
    return found == sideData_.end() ? none : found->second;
}

void SubtitleTable::setSideData(std::string_view key, std::string_view value)
{
    if (value == sideData(key)) return;
    for (TableRecorder* r : recorders_)
        r->sideDataChanging(key, value);
    if (value.empty())
        sideData_.erase(sideData_.find(key));
    else
        sideData_.insert_or_assign(std::string(key), std::string(value));
    ++revision_;
}

void SubtitleTable::addRecorder(TableRecorder* recorder)
{
    if (std::find(recorders_.begin(), recorders_.end(), recorder) == recorders_.end()) recorders_.push_back(recorder);
}

void SubtitleTable::removeRecorder(TableRecorder* recorder)
{
    recorders_.erase(std::remove(recorders_.begin(), recorders_.end(), recorder), recorders_.end());
}

SubtitleTable::BulkChange::BulkChange(SubtitleTable& table)
    : table_(table)
{
    if (table_.bulkDepth_++ == 0 && table_.listener_) table_.listener_->resetBegins();
}

SubtitleTable::BulkChange::~BulkChange()
{
    if (--table_.bulkDepth_ == 0) {
        if (table_.listener_) table_.listener_->resetEnds();
        try {
            table_.compactIfWasteful();
        } catch (const std::bad_alloc&) {
            // Nothing lost: the unused bytes stay until the next chance.
        }
    }
}

} // namespace tessel
