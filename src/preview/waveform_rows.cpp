#include "preview/waveform_rows.h"

#include "core/numbers.h"

#include <algorithm>

namespace tessel {

void WaveformRows::refresh(const SubtitleTable& table)
{
    if (read_ && table_ == &table && revision_ == table.revision()) return;
    table_ = &table;
    revision_ = table.revision();
    read_ = true;
    spans_.clear();
    for (int row = 1; row < table.rowCount(); ++row) {
        const std::optional<int32_t> start = TryStrToInt(table.cell(SubtitleTable::From, row));
        const std::optional<int32_t> end = TryStrToInt(table.cell(SubtitleTable::To, row));
        if (start && end && *end >= *start) spans_.push_back({ *start, *end, row });
    }
    std::stable_sort(
        spans_.begin(), spans_.end(), [](const RowSpan& a, const RowSpan& b) { return a.start < b.start; });
    furthestEnd_.resize(spans_.size());
    int64_t furthest = INT64_MIN;
    indexOfRow_.assign(size_t(table.rowCount()), -1);
    for (size_t i = 0; i < spans_.size(); ++i) {
        furthest = std::max(furthest, spans_[i].end);
        furthestEnd_[i] = furthest;
        indexOfRow_[size_t(spans_[i].row)] = static_cast<int>(i);
    }
}

// Every span before this one ends before `frame`.
size_t WaveformRows::firstReaching(int64_t frame) const
{
    return size_t(std::lower_bound(furthestEnd_.begin(), furthestEnd_.end(), frame) - furthestEnd_.begin());
}

const RowSpan* WaveformRows::find(int row) const
{
    if (row < 0 || row >= static_cast<int>(indexOfRow_.size()) || indexOfRow_[size_t(row)] < 0) return nullptr;
    return &spans_[size_t(indexOfRow_[size_t(row)])];
}

} // namespace tessel
