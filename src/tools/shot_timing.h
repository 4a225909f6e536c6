#pragma once
#include <cstdint>
#include <vector>

// Timing to shot changes: a start or an end set near a cut goes onto it.
// Cuts are the first frames of their shots, in order. A start on a cut shows
// the subtitle from the new shot's first frame; an end on a cut (the To cell
// holding the cut's frame, the time a file writes for it) takes the subtitle
// away as the new shot comes.
namespace tessel {

// How near a cut a start or an end must be to snap to it: a sixth of a
// second, at least a frame.
int64_t ShotSnapReach(double framesPerSecond);

// The cut nearest to `frame` within `reach` (the earlier of two as near), or
// `frame` when there is none.
int64_t SnapToCut(const std::vector<int64_t>& cuts, int64_t frame, int64_t reach);

// A nudge from `from` to `to` that heads for a cut within `reach` beyond it
// lands on the cut; a nudge away from a cut is never held back by it.
int64_t SnapNudge(const std::vector<int64_t>& cuts, int64_t from, int64_t to, int64_t reach);

// The nearest cut to `frame` (the earlier of two as near); -1 for none.
int64_t NearestCut(const std::vector<int64_t>& cuts, int64_t frame);

} // namespace tessel
