#include "preview/row_finder.h"

#include "core/numbers.h"

#include <algorithm>
#include <limits>

namespace tessel {
namespace {

constexpr int64_t NotANumber = std::numeric_limits<int64_t>::max();

} // namespace

void SubtitleRowFinder::refresh(const SubtitleTable& table)
{
    if (table_ == &table && revision_ == table.revision() && !starts_.empty()) return;
    table_ = &table;
    revision_ = table.revision();
    starts_.assign(static_cast<size_t>(table.rowCount()), NotANumber);
    ordered_ = true;
    for (int row = 1; row < table.rowCount(); ++row) {
        const std::optional<int32_t> start = TryStrToInt(table.cell(SubtitleTable::From, row));
        if (start) starts_[row] = *start;
        if (!start || (row > 1 && starts_[row] < starts_[row - 1])) ordered_ = false;
    }
}

int SubtitleRowFinder::FindSubtitleRow(const SubtitleTable& table, int currentRow, int frame)
{
    refresh(table);
    const int last = table.rowCount() - 1;
    const int row = std::clamp(currentRow, 1, last);
    if (starts_[row] == NotANumber) return -1;
    int candidate = -1;
    if (ordered_)
        candidate = byHalves(frame);
    else if (starts_[row] <= frame)
        candidate = forward(row, frame);
    else
        candidate = backward(row, frame);
    if (candidate < 1) return -1;
    const std::optional<int32_t> end = TryStrToInt(table.cell(SubtitleTable::To, candidate));
    return end && *end >= frame ? candidate : -1;
}

int SubtitleRowFinder::forward(int row, int frame) const
{
    const int last = static_cast<int>(starts_.size()) - 1;
    while (starts_[row] <= frame && row < last) {
        ++row;
        if (starts_[row] == NotANumber) return -1;
    }
    return starts_[row] > frame ? row - 1 : row;
}

int SubtitleRowFinder::backward(int row, int frame) const
{
    while (--row >= 1) {
        if (starts_[row] == NotANumber) return -1;
        if (starts_[row] <= frame) return row;
    }
    return -1;
}

int SubtitleRowFinder::byHalves(int frame) const
{
    const auto after = std::upper_bound(starts_.begin() + 1, starts_.end(), static_cast<int64_t>(frame));
    return static_cast<int>(after - starts_.begin()) - 1;
}

} // namespace tessel
