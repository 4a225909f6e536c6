#include "tools/shot_timing.h"

#include <algorithm>
#include <cmath>

namespace tessel {

int64_t ShotSnapReach(double fps) { return fps > 0 ? std::max<int64_t>(1, std::llround(fps / 6)) : 1; }

int64_t NearestCut(const std::vector<int64_t>& cuts, int64_t frame)
{
    const auto after = std::lower_bound(cuts.begin(), cuts.end(), frame);
    if (after == cuts.begin()) return after == cuts.end() ? -1 : *after;
    const int64_t before = *std::prev(after);
    if (after == cuts.end() || frame - before <= *after - frame) return before;
    return *after;
}

int64_t SnapToCut(const std::vector<int64_t>& cuts, int64_t frame, int64_t reach)
{
    const int64_t cut = NearestCut(cuts, frame);
    return cut >= 0 && std::llabs(cut - frame) <= reach ? cut : frame;
}

int64_t SnapNudge(const std::vector<int64_t>& cuts, int64_t from, int64_t to, int64_t reach)
{
    if (to > from) {
        const auto ahead = std::upper_bound(cuts.begin(), cuts.end(), from);
        return ahead != cuts.end() && *ahead - to <= reach ? std::max(*ahead, to) : to;
    }
    if (to < from) {
        const auto ahead = std::lower_bound(cuts.begin(), cuts.end(), from);
        return ahead != cuts.begin() && to - *std::prev(ahead) <= reach ? std::min(*std::prev(ahead), to) : to;
    }
    return to;
}

} // namespace tessel
