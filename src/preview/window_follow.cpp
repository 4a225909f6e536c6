#include "preview/window_follow.h"

#include <algorithm>

namespace tessel {
namespace {

// The near edge first, then the far edge: a window larger than the area ends
// up past its near edge.
int keepInside(int position, int size, int areaStart, int areaSize)
{
    position = std::max(position, areaStart);
    if (position + size > areaStart + areaSize) position = areaStart + areaSize - size;
    return position;
}

} // namespace

std::optional<QPoint> MovieWindowFollower::MainWindowMoved(
    bool mainVisible, QPoint mainTopLeft, const QRect& movieFrame, const QRect& workArea)
{
    if (!mainVisible) return std::nullopt;
    std::optional<QPoint> target;
    if (LastLeft != 0) {
        const int left = movieFrame.left() + (mainTopLeft.x() - LastLeft);
        const int top = movieFrame.top() + (mainTopLeft.y() - LastTop);
        target = QPoint(keepInside(left, movieFrame.width(), workArea.left(), workArea.width()),
            keepInside(top, movieFrame.height(), workArea.top(), workArea.height()));
    }
    LastLeft = mainTopLeft.x();
    LastTop = mainTopLeft.y();
    return target;
}

} // namespace tessel
