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

QPoint BesideMainWindow(const QRect& mainFrame, const QSize& movieFrame, const QRect& workArea)
{
    const auto inside = [&](QPoint place) {
        // Near edges last: a window larger than the area shows its top-left.
        place.setX(std::max(std::min(place.x(), workArea.right() + 1 - movieFrame.width()), workArea.left()));
        place.setY(std::max(std::min(place.y(), workArea.bottom() + 1 - movieFrame.height()), workArea.top()));
        return place;
    };
    if (mainFrame.right() + movieFrame.width() <= workArea.right())
        return inside({ mainFrame.right() + 1, mainFrame.top() });
    if (mainFrame.left() - movieFrame.width() >= workArea.left())
        return inside({ mainFrame.left() - movieFrame.width(), mainFrame.top() });
    return inside({ mainFrame.left(), mainFrame.bottom() + 1 });
}

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
