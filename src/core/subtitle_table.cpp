#include "core/subtitle_table.h"

#include <cassert>
#include <stdexcept>

namespace tessel {

std::string_view SubtitleTable::Row::cell(int column) const
{
    const uint32_t begin = column == 0 ? 0 : ends_[column - 1];
    return std::string_view(buffer_).substr(begin, ends_[column] - begin);
}

void SubtitleTable::Row::set(int column, std::string_view text)
{
    const uint32_t begin = column == 0 ? 0 : ends_[column - 1];
    const uint32_t oldLength = ends_[column] - begin;
    buffer_.replace(begin, oldLength, text);
    const int64_t delta = static_cast<int64_t>(text.size()) - oldLength;
    for (int c = column; c < ColumnCount; ++c)
        ends_[c] = static_cast<uint32_t>(ends_[c] + delta);
}

void SubtitleTable::Row::setAll(
    std::string_view a, std::string_view b, std::string_view c, std::string_view d, std::string_view e)
{
    buffer_.clear();
    buffer_.reserve(a.size() + b.size() + c.size() + d.size() + e.size());
    const std::string_view parts[ColumnCount] = { a, b, c, d, e };
    for (int i = 0; i < ColumnCount; ++i) {
        buffer_.append(parts[i]);
        ends_[i] = static_cast<uint32_t>(buffer_.size());
    }
}

SubtitleTable::SubtitleTable()
    : rows_(1)
{
}

SubtitleTable::Row& SubtitleTable::subtitleRow(int row)
{
    if (row < 1 || row >= rowCount()) throw std::out_of_range("row index out of range");
    return rows_[static_cast<size_t>(row - 1)];
}

const SubtitleTable::Row& SubtitleTable::subtitleRow(int row) const
{
    if (row < 1 || row >= rowCount()) throw std::out_of_range("row index out of range");
    return rows_[static_cast<size_t>(row - 1)];
}

void SubtitleTable::setRowCount(int count)
{
    if (count < 2) count = 2;
    const int old = rowCount();
    if (count == old) return;
    const bool tell = notifying();
    if (tell && count > old) listener_->rowsAboutToBeInserted(old, count - old);
    if (tell && count < old) listener_->rowsAboutToBeRemoved(count, old - count);
    rows_.resize(static_cast<size_t>(count - 1));
    ++revision_;
    if (tell) count > old ? listener_->rowsInserted() : listener_->rowsRemoved();
}

std::string_view SubtitleTable::cell(int column, int row) const
{
    if (column < 0 || column >= ColumnCount) throw std::out_of_range("column index out of range");
    if (row == 0) return HeaderTexts[static_cast<size_t>(column)];
    return subtitleRow(row).cell(column);
}

QString SubtitleTable::text(int column, int row) const
{
    std::string_view s = cell(column, row);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

void SubtitleTable::changed(int column, int row)
{
    ++revision_;
    if (notifying()) listener_->cellChanged(column, row);
}

void SubtitleTable::setCell(int column, int row, std::string_view text)
{
    if (column < 0 || column >= ColumnCount) throw std::out_of_range("column index out of range");
    subtitleRow(row).set(column, text);
    changed(column, row);
}

void SubtitleTable::setRow(int row, std::string_view from, std::string_view to, std::string_view line1,
    std::string_view line2, std::string_view line3)
{
    subtitleRow(row).setAll(from, to, line1, line2, line3);
    changed(-1, row);
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
    const size_t n = rows_.size();
    std::vector<bool> gone(n);
    size_t goneCount = 0;
    for (size_t i = 0; i < n; ++i)
        if ((gone[i] = remove(static_cast<int>(i + 1)))) ++goneCount;
    if (goneCount == 0) return 0;
    if (goneCount == n) { // the table keeps its first row
        gone[0] = false;
        --goneCount;
        if (goneCount == 0) return 0;
    }
    BulkChange bulk(*this);
    size_t kept = 0;
    for (size_t i = 0; i < n; ++i) {
        if (gone[i]) continue;
        if (kept != i) rows_[kept] = std::move(rows_[i]);
        ++kept;
    }
    rows_.resize(kept);
    ++revision_;
    return static_cast<int>(goneCount);
}

void SubtitleTable::insertRow(int row)
{
    if (row < 1 || row > rowCount()) throw std::out_of_range("row index out of range");
    const bool tell = notifying();
    if (tell) listener_->rowsAboutToBeInserted(row, 1);
    rows_.insert(rows_.begin() + (row - 1), Row());
    ++revision_;
    if (tell) listener_->rowsInserted();
}

void SubtitleTable::deleteRow(int row)
{
    if (row < 1 || row >= rowCount() || rowCount() <= 2) return;
    const bool tell = notifying();
    if (tell) listener_->rowsAboutToBeRemoved(row, 1);
    rows_.erase(rows_.begin() + (row - 1));
    ++revision_;
    if (tell) listener_->rowsRemoved();
}

SubtitleTable::BulkChange::BulkChange(SubtitleTable& table)
    : table_(table)
{
    if (table_.bulkDepth_++ == 0 && table_.listener_) table_.listener_->resetBegins();
}

SubtitleTable::BulkChange::~BulkChange()
{
    if (--table_.bulkDepth_ == 0 && table_.listener_) table_.listener_->resetEnds();
}

} // namespace tessel
