#pragma once
#include <QPoint>
#include <QRect>
#include <optional>

// Keeps the movie window beside the main window: it moves by as much as the
// main window moved, without leaving the work area's left/top edges, and then
// without crossing its right/bottom edges.
namespace tessel {

// Where the movie window stands at start: beside the main window, top edges
// level, to its right where the work area has room, else to its left, else
// below it (left edges level); always inside the work area, over the main
// window only where nothing else fits. Frames, outer sizes.
QPoint BesideMainWindow(const QRect& mainFrame, const QSize& movieFrame, const QRect& workArea);

class MovieWindowFollower {
public:
    // Called after each move of the main window. Returns where the movie
    // window goes, or nothing when it stays. A main window that is not
    // visible is not tracked at all.
    std::optional<QPoint> MainWindowMoved(
        bool mainVisible, QPoint mainTopLeft, const QRect& movieFrame, const QRect& workArea);

private:
    // A left of 0 stands for "no earlier position known".
    int LastLeft = 0;
    int LastTop = 0;
};

} // namespace tessel
