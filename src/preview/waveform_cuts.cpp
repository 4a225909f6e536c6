#include "preview/waveform_cuts.h"

#include "preview/waveform_view.h"
#include "tools/shot_timing.h"

#include <algorithm>
#include <cmath>

namespace tessel {
namespace {

const QColor CutLine(0xe8, 0x6c, 0xf0, 200);
const QColor MovingLine(0xff, 0xff, 0xff);
constexpr int HandleWidth = 5;
// Closer lines than this are drawn once: a zoomed-out film has thousands.
constexpr double CrowdedPixels = 2;

} // namespace

void WaveformCuts::set(std::vector<int64_t> cuts, int64_t reach)
{
    cuts_ = std::move(cuts);
    reach_ = std::max<int64_t>(reach, 1);
}

std::optional<int64_t> WaveformCuts::at(const WaveformView& view, double x, double slack) const
{
    if (!view.hasMovie() || cuts_.empty()) return std::nullopt;
    const int64_t from = view.frameAt(x - slack) - 1, to = view.frameAt(x + slack) + 1;
    std::optional<int64_t> found;
    double nearest = slack + 0.5;
    for (auto it = std::lower_bound(cuts_.begin(), cuts_.end(), from); it != cuts_.end() && *it <= to; ++it) {
        const double distance = std::abs(view.xOfFrame(double(*it)) - x);
        if (distance < nearest) {
            nearest = distance;
            found = *it;
        }
    }
    return found;
}

int64_t WaveformCuts::snap(int64_t frame) const { return snapping_ ? SnapToCut(cuts_, frame, reach_) : frame; }

void WaveformCuts::draw(
    QPainter& painter, const WaveformView& view, std::optional<std::pair<int64_t, int64_t>> moving) const
{
    if (!view.hasMovie()) return;
    const int width = view.width(), height = view.height();
    const int64_t first = view.frameAt(0) - 1, last = view.frameAt(width) + 1;
    painter.setPen(QPen(CutLine, 1));
    double drawn = -CrowdedPixels;
    for (auto it = std::lower_bound(cuts_.begin(), cuts_.end(), first); it != cuts_.end() && *it <= last; ++it) {
        if (moving && *it == moving->first) continue;
        const double x = std::floor(view.xOfFrame(double(*it))) + 0.5;
        if (x - drawn < CrowdedPixels) continue;
        drawn = x;
        painter.drawLine(QPointF(x, 0), QPointF(x, height));
        const QPointF handle[] = { { x - HandleWidth, 0 }, { x + HandleWidth, 0 }, { x, HandleWidth + 2.0 } };
        painter.setBrush(CutLine);
        painter.drawPolygon(handle, 3);
    }
    if (moving) {
        const double x = std::floor(view.xOfFrame(double(moving->second))) + 0.5;
        painter.setPen(QPen(MovingLine, 1, Qt::DashLine));
        painter.drawLine(QPointF(x, 0), QPointF(x, height));
    }
    painter.setBrush(Qt::NoBrush);
}

} // namespace tessel
