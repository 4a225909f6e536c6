#include "core/table_changes.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>

namespace tessel {

// Operation layout: a kind byte, the row as a zigzag varint relative to the
// previous operation's row, then by kind:
//   Cells:  a column mask byte, then per set bit (ascending) a length varint and the text
//   Rows:   a count varint, then per row its six cells as length varint and text
//   Empty:  a count varint (empty rows)
//   Remove: a count varint
//   Document: a length varint and the text (its row field is 0)
//   Side: the key and the value, each as length varint and text (row field 0)
enum OperationKind : char { Cells = 'C', Rows = 'I', Empty = 'E', Remove = 'R', Document = 'D', Side = 'S' };

class ChangeEncoder {
public:
    explicit ChangeEncoder(ChangeRecord& record)
        : r_(record)
    {
    }
    void begin(OperationKind kind, int row)
    {
        r_.data_ += static_cast<char>(kind);
        const int64_t delta = static_cast<int64_t>(row) - r_.lastRow_;
        putNumber(static_cast<uint64_t>(delta < 0 ? ((-delta) << 1) - 1 : delta << 1));
        r_.lastRow_ = row;
        ++r_.operations_;
    }
    void putNumber(uint64_t v)
    {
        while (v >= 0x80) {
            r_.data_ += static_cast<char>((v & 0x7F) | 0x80);
            v >>= 7;
        }
        r_.data_ += static_cast<char>(v);
    }
    void putText(std::string_view text)
    {
        putNumber(text.size());
        r_.data_.append(text);
    }
    void putByte(unsigned char b) { r_.data_ += static_cast<char>(b); }

private:
    ChangeRecord& r_;
};

namespace {

struct Decoded {
    OperationKind kind;
    int row;
    size_t start; // offset of the kind byte
    size_t body; // offset just after the row field
};

class Reader {
public:
    Reader(const std::string& data, size_t at)
        : d_(data)
        , at_(at)
    {
    }
    size_t at() const { return at_; }
    uint64_t number()
    {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const unsigned char b = byte();
            v |= static_cast<uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        throw std::runtime_error("damaged change record");
    }
    unsigned char byte()
    {
        if (at_ >= d_.size()) throw std::runtime_error("damaged change record");
        return static_cast<unsigned char>(d_[at_++]);
    }
    std::string_view text()
    {
        const uint64_t n = number();
        if (n > d_.size() - at_) throw std::runtime_error("damaged change record");
        std::string_view t(d_.data() + at_, static_cast<size_t>(n));
        at_ += static_cast<size_t>(n);
        return t;
    }
    int count()
    {
        const uint64_t n = number();
        if (n == 0 || n > INT32_MAX) throw std::runtime_error("damaged change record");
        return static_cast<int>(n);
    }

private:
    const std::string& d_;
    size_t at_;
};

// Every operation's start and row, checking the layout on the way.
std::vector<Decoded> index(const std::string& data, size_t* count = nullptr, size_t expected = 0)
{
    std::vector<Decoded> ops;
    ops.reserve(expected);
    Reader in(data, 0);
    int64_t row = 0;
    while (in.at() < data.size()) {
        const size_t start = in.at();
        const auto kind = static_cast<OperationKind>(in.byte());
        const uint64_t z = in.number();
        row += (z & 1) ? -static_cast<int64_t>((z + 1) >> 1) : static_cast<int64_t>(z >> 1);
        if (row < 0 || row > INT32_MAX) throw std::runtime_error("damaged change record");
        ops.push_back({ kind, static_cast<int>(row), start, in.at() });
        switch (kind) {
        case Cells: {
            const unsigned mask = in.byte();
            if (mask == 0 || mask >= (1u << SubtitleTable::CellCount))
                throw std::runtime_error("damaged change record");
            for (int c = 0; c < SubtitleTable::CellCount; ++c)
                if (mask & (1u << c)) in.text();
            break;
        }
        case Rows: {
            const int n = in.count();
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < SubtitleTable::CellCount; ++c)
                    in.text();
            break;
        }
        case Empty:
        case Remove:
            in.count();
            break;
        case Document:
            in.text();
            break;
        case Side:
            in.text();
            in.text();
            break;
        default:
            throw std::runtime_error("damaged change record");
        }
    }
    if (count) *count = ops.size();
    return ops;
}

} // namespace

ChangeRecord ChangeRecord::FromBytes(std::string bytes)
{
    ChangeRecord record;
    record.data_ = std::move(bytes);
    const std::vector<Decoded> ops = index(record.data_, &record.operations_);
    record.lastRow_ = ops.empty() ? 0 : ops.back().row;
    return record;
}

void ChangeRecord::append(const ChangeRecord& later)
{
    if (later.empty()) return;
    // Only the first operation of `later` is stored relative to where that
    // record began; the rest follow it and keep their bytes.
    const std::vector<Decoded> ops = index(later.data_);
    const Decoded& first = ops.front();
    const size_t firstEnd = ops.size() > 1 ? ops[1].start : later.data_.size();
    ChangeEncoder out(*this);
    out.begin(first.kind, first.row);
    data_.append(later.data_, first.body, firstEnd - first.body);
    data_.append(later.data_, firstEnd, std::string::npos);
    operations_ += later.operations_ - 1;
    lastRow_ = later.lastRow_;
}

bool ChangeRecord::restoresAllOf(const ChangeRecord& later) const
{
    if (operations_ != 1 || later.operations_ != 1) return false;
    const Decoded mine = index(data_).front();
    const Decoded theirs = index(later.data_).front();
    if (mine.kind != Cells || theirs.kind != Cells || mine.row != theirs.row) return false;
    const auto mask
        = [](const std::string& data, const Decoded& d) { return static_cast<unsigned char>(data[d.body]); };
    return (mask(later.data_, theirs) & ~mask(data_, mine)) == 0;
}

// ---- recorders ---------------------------------------------------------------

// The fresh runs are kept in row order (see rowsInserted): a binary search.
bool UndoRecorder::isFresh(int row) const
{
    auto after = std::upper_bound(
        fresh_.begin(), fresh_.end(), row, [](int r, const std::pair<int, int>& run) { return r < run.first; });
    if (after == fresh_.begin()) return false;
    --after;
    return row < after->first + after->second;
}

void UndoRecorder::flushPending()
{
    if (pendingCount_ == 0) return;
    ChangeEncoder out(record_);
    out.begin(Remove, pendingRow_);
    out.putNumber(static_cast<uint64_t>(pendingCount_));
    pendingCount_ = 0;
}

void UndoRecorder::cellsChanging(int row, unsigned columns, const std::string_view*)
{
    if (isFresh(row)) return;
    flushPending();
    ChangeEncoder out(record_);
    out.begin(Cells, row);
    out.putByte(static_cast<unsigned char>(columns));
    for (int c = 0; c < SubtitleTable::CellCount; ++c)
        if (columns & (1u << c)) out.putText(table_.cell(c, row));
}

void UndoRecorder::rowsInserted(int row, int count)
{
    // Rows inserted above earlier fresh rows would move them: stop trusting
    // those. So the runs stay in row order.
    if (!fresh_.empty() && row < fresh_.back().first + fresh_.back().second) fresh_.clear();
    fresh_.emplace_back(row, count);
    if (pendingCount_ > 0 && row == pendingRow_ + pendingCount_) {
        pendingCount_ += count;
        return;
    }
    flushPending();
    pendingRow_ = row;
    pendingCount_ = count;
}

void UndoRecorder::rowsRemoving(int row, int count)
{
    flushPending();
    fresh_.clear();
    ChangeEncoder out(record_);
    out.begin(Rows, row);
    out.putNumber(static_cast<uint64_t>(count));
    for (int r = row; r < row + count; ++r)
        for (int c = 0; c < SubtitleTable::CellCount; ++c)
            out.putText(table_.cell(c, r));
}

void UndoRecorder::documentDataChanging(std::string_view)
{
    flushPending();
    ChangeEncoder out(record_);
    out.begin(Document, 0);
    out.putText(table_.documentData());
}

void UndoRecorder::sideDataChanging(std::string_view key, std::string_view)
{
    flushPending();
    ChangeEncoder out(record_);
    out.begin(Side, 0);
    out.putText(key);
    out.putText(table_.sideData(key));
}

void UndoRecorder::reserve(size_t bytes) { record_.reserve(bytes); }

bool UndoRecorder::empty() const { return record_.empty() && pendingCount_ == 0; }

ChangeRecord UndoRecorder::take()
{
    flushPending();
    fresh_.clear();
    ChangeRecord r = std::move(record_);
    record_ = ChangeRecord();
    return r;
}

void ForwardRecorder::flushPending()
{
    if (pendingCount_ == 0) return;
    ChangeEncoder out(record_);
    out.begin(Empty, pendingRow_);
    out.putNumber(static_cast<uint64_t>(pendingCount_));
    pendingCount_ = 0;
}

void ForwardRecorder::cellsChanging(int row, unsigned columns, const std::string_view* after)
{
    flushPending();
    ChangeEncoder out(record_);
    out.begin(Cells, row);
    out.putByte(static_cast<unsigned char>(columns));
    for (int c = 0; c < SubtitleTable::CellCount; ++c)
        if (columns & (1u << c)) out.putText(after[c]);
}

void ForwardRecorder::rowsInserted(int row, int count)
{
    if (pendingCount_ > 0 && row == pendingRow_ + pendingCount_) {
        pendingCount_ += count;
        return;
    }
    flushPending();
    pendingRow_ = row;
    pendingCount_ = count;
}

void ForwardRecorder::rowsRemoving(int row, int count)
{
    flushPending();
    ChangeEncoder out(record_);
    out.begin(Remove, row);
    out.putNumber(static_cast<uint64_t>(count));
}

void ForwardRecorder::documentDataChanging(std::string_view after)
{
    flushPending();
    ChangeEncoder out(record_);
    out.begin(Document, 0);
    out.putText(after);
}

void ForwardRecorder::sideDataChanging(std::string_view key, std::string_view after)
{
    flushPending();
    ChangeEncoder out(record_);
    out.begin(Side, 0);
    out.putText(key);
    out.putText(after);
}

bool ForwardRecorder::empty() const { return record_.empty() && pendingCount_ == 0; }

ChangeRecord ForwardRecorder::take()
{
    flushPending();
    ChangeRecord r = std::move(record_);
    record_ = ChangeRecord();
    return r;
}

// ---- replay ------------------------------------------------------------------

class ChangeReplay {
    static constexpr size_t ManyOperations = 64;

public:
    ChangeReplay(SubtitleTable& table, const ChangeRecord& record)
        : table_(table)
        , data_(record.data_)
        , ops_(index(record.data_, nullptr, record.operations_))
    {
    }

    ChangedCell run(bool backward)
    {
        // Many operations reach the grid as one reset instead of one signal each.
        std::optional<SubtitleTable::BulkChange> bulk;
        if (ops_.size() > ManyOperations) bulk.emplace(table_);
        const size_t n = ops_.size();
        size_t i = 0;
        while (i < n) {
            const size_t k = backward ? n - 1 - i : i;
            const size_t taken = apply(k, backward);
            i += taken;
        }
        return first_;
    }

private:
    void touched(int row, int column)
    {
        if (first_.row == 0 || row < first_.row) {
            first_ = { row, column };
        } else if (row == first_.row && first_.column >= 0) {
            first_.column = column < 0 ? -1 : std::min(first_.column, column);
        }
    }

    const Decoded& op(size_t k) const { return ops_[k]; }
    int countOf(size_t k) const
    {
        Reader in(data_, op(k).body);
        return in.count();
    }

    // Applies operation k and any that follow it in replay order and batch
    // with it; returns how many were applied.
    size_t apply(size_t k, bool backward)
    {
        const Decoded& d = op(k);
        switch (d.kind) {
        case Cells:
            applyCells(d);
            return 1;
        case Document: {
            Reader in(data_, d.body);
            table_.setDocumentData(in.text());
            return 1;
        }
        case Side: {
            Reader in(data_, d.body);
            const std::string_view key = in.text();
            table_.setSideData(key, in.text());
            return 1;
        }
        case Remove:
            return applyRemovals(k, backward);
        case Rows:
        case Empty:
            return applyInsertions(k, backward);
        }
        return 1;
    }

    void applyCells(const Decoded& d)
    {
        Reader in(data_, d.body);
        const unsigned mask = in.byte();
        if (d.row < 1 || d.row >= table_.rowCount()) throw std::out_of_range("change record does not fit the table");
        if (mask == (1u << SubtitleTable::CellCount) - 1) {
            std::array<std::string_view, SubtitleTable::CellCount> cells;
            for (auto& c : cells)
                c = in.text();
            table_.setRow(d.row, cells[0], cells[1], cells[2], cells[3], cells[4], cells[5]);
            touched(d.row, SubtitleTable::From);
            return;
        }
        int firstColumn = -1;
        for (int c = 0; c < SubtitleTable::CellCount; ++c) {
            if (!(mask & (1u << c))) continue;
            table_.setCell(c, d.row, in.text());
            if (firstColumn < 0 && c < SubtitleTable::ColumnCount) firstColumn = c;
        }
        touched(d.row, firstColumn); // only the hidden cell changed: no column to show
    }

    // Consecutive removals from the bottom up go in one pass.
    size_t applyRemovals(size_t k, bool backward)
    {
        std::vector<std::pair<int, int>> runs;
        size_t taken = 0;
        const size_t n = ops_.size();
        for (size_t j = k;; j = backward ? j - 1 : j + 1) {
            const Decoded& d = op(j);
            if (d.kind != Remove) break;
            const int count = countOf(j);
            if (!runs.empty() && d.row + count > runs.back().first) break;
            runs.emplace_back(d.row, count);
            ++taken;
            if (backward ? j == 0 : j + 1 == n) break;
        }
        table_.removeRowRuns(runs);
        for (const auto& run : runs)
            touched(run.first, -1);
        return taken;
    }

    // Consecutive insertions from the top down go in one pass, then the
    // inserted rows get their cells.
    size_t applyInsertions(size_t k, bool backward)
    {
        std::vector<std::pair<int, int>> runs;
        std::vector<size_t> withCells;
        size_t taken = 0;
        const size_t n = ops_.size();
        for (size_t j = k;; j = backward ? j - 1 : j + 1) {
            const Decoded& d = op(j);
            if (d.kind != Rows && d.kind != Empty) break;
            const int count = countOf(j);
            if (!runs.empty() && d.row < runs.back().first + runs.back().second) break;
            runs.emplace_back(d.row, count);
            if (d.kind == Rows) withCells.push_back(j);
            ++taken;
            if (backward ? j == 0 : j + 1 == n) break;
        }
        table_.insertRowRuns(runs);
        for (const auto& run : runs)
            touched(run.first, -1);
        for (size_t j : withCells) {
            Reader in(data_, op(j).body);
            const int count = in.count();
            for (int r = op(j).row; r < op(j).row + count; ++r) {
                std::array<std::string_view, SubtitleTable::CellCount> cells;
                for (auto& c : cells)
                    c = in.text();
                table_.setRow(r, cells[0], cells[1], cells[2], cells[3], cells[4], cells[5]);
            }
        }
        return taken;
    }

    SubtitleTable& table_;
    const std::string& data_;
    std::vector<Decoded> ops_;
    ChangedCell first_;
};

ChangedCell ReplayBackward(SubtitleTable& table, const ChangeRecord& record)
{
    return ChangeReplay(table, record).run(true);
}

ChangedCell ReplayForward(SubtitleTable& table, const ChangeRecord& record)
{
    return ChangeReplay(table, record).run(false);
}

} // namespace tessel
