#pragma once
#include "core/subtitle_table.h"

#include <cstdint>
#include <vector>

// Which subtitle row holds the playing frame. Start and end frames are the
// From and To cells read directly as integers; a cell that is no number ends
// the search with -1.
namespace tessel {

class SubtitleRowFinder {
public:
    // The row at or after currentRow that started last at or before `frame`,
    // if it still runs at `frame`; -1 for none. When currentRow starts after
    // the frame, the nearest such row before it is taken instead. Start
    // frames in order are searched by halves, so the distance between
    // currentRow and the frame costs nothing.
    int FindSubtitleRow(const SubtitleTable& table, int currentRow, int frame);

private:
    void refresh(const SubtitleTable& table);
    int forward(int row, int frame) const;
    int backward(int row, int frame) const;
    int byHalves(int frame) const;

    // Start frames by row (row 0 unused), read again whenever the table changed.
    const SubtitleTable* table_ = nullptr;
    uint64_t revision_ = 0;
    std::vector<int64_t> starts_;
    bool ordered_ = false; // every start a number, none before its predecessor
};

} // namespace tessel
