#pragma once
#include "core/subtitle_table.h"
#include "tools/line_breaking.h"
#include "tools/row_changes.h"

#include <optional>
#include <string>
#include <vector>

// Splitting a subtitle in two or more, and merging neighbours. No text is
// lost: a split cuts between characters outside markup, closes what markup
// is open at the cut and opens it again after. Time is shared in proportion
// to the characters each part has (as the reading check counts them), in
// whole frames, with `gap` frames between the parts.
namespace tessel {

// A change, or why there is none ("No place to split this subtitle.").
struct TextToolResult {
    std::optional<RowChange> change;
    std::string problem;
};

// Splits `row` at `position` of its text (a byte offset into RowText) or,
// without one, at BestCut.
TextToolResult PlanSplit(const SubtitleTable& table, int row, std::optional<size_t> position, int gap);

// `row` and the next become one: the start of the first, the end of the
// second, their lines one after the other when there are at most three, or
// else broken again into three lines of `charsPerLine`.
TextToolResult PlanMerge(const SubtitleTable& table, int row, int charsPerLine);

// Rows that do not fit the limits even after breaking their lines are split
// into as few subtitles as fit, cut where a line would best be broken.
struct SplitLongPlan {
    std::vector<RowChange> changes;
    std::vector<int> tooShort; // rows with too few frames for their parts
};
SplitLongPlan PlanSplitLong(const SubtitleTable& table, const LineLimits& limits, int gap);

// A row shown for fewer than `maxDuration` frames, with the next starting
// fewer than `maxGap` frames after its end, takes the next row in as long as
// the text still fits the limits; so does the merged row, while it is short.
struct MergeShortOptions {
    int maxDuration = 0;
    int maxGap = 0;
    LineLimits limits;
};
std::vector<RowChange> PlanMergeShort(const SubtitleTable& table, const MergeShortOptions& options);

// The profile's minimum gap in whole frames at the framerate (0 where it sets none).
int MinGapFrames(const ReadingProfile& profile, double framerate);

// Frames for parts of these weights between `start` and `end`: each part's
// (start, end), `gap` frames between them; nothing when some part would get
// no frame.
std::vector<std::pair<int32_t, int32_t>> ShareTime(
    int32_t start, int32_t end, const std::vector<int>& weights, int gap);

} // namespace tessel
