#pragma once
#include "core/subtitle_table.h"

#include <cstdint>
#include <vector>

// The subtitle rows by time, for drawing them over the waveform: each row
// whose From and To are numbers with To not before From, as the frames it
// shows (To included), searched by start. Read again whenever the table
// changed.
namespace tessel {

struct RowSpan {
    int64_t start = 0; // first frame shown
    int64_t end = 0; // last frame shown
    int row = 0;
};

class WaveformRows {
public:
    void refresh(const SubtitleTable& table);

    // The spans that show any frame of [first, last], by start.
    template <typename F> void forEachIn(int64_t first, int64_t last, F&& f) const
    {
        for (size_t i = firstReaching(first); i < spans_.size() && spans_[i].start <= last; ++i)
            if (spans_[i].end >= first) f(spans_[i]);
    }
    // The span of a row; nullptr when the row has none.
    const RowSpan* find(int row) const;
    size_t size() const { return spans_.size(); }

private:
    size_t firstReaching(int64_t frame) const;

    const SubtitleTable* table_ = nullptr;
    uint64_t revision_ = 0;
    bool read_ = false;
    std::vector<RowSpan> spans_;
    std::vector<int64_t> furthestEnd_; // the latest end among spans_[0..i]
    std::vector<int> indexOfRow_; // -1: no span
};

} // namespace tessel
