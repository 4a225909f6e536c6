#pragma once
#include "app/tool_wiring.h"

#include <QRect>
#include <memory>

// Where the Waveform window meets the editor: it opens with each movie, below
// the main window the first time (then where the user left it, on the
// screen), and again with F4 on the grid; it follows playback, the grid's
// current row and every change of the table; its clicks seek the movie, its
// dragged edges retime rows (each drag one undo step) and its double clicks
// select rows in the grid; Ctrl+Z and Ctrl+Y undo and redo there as on the
// grid.
namespace tessel {
class PeakCache;
class WaveformWindow;
} // namespace tessel

namespace tessel::app {

class PlaybackWiring;
class TimingKeys;

class WaveformWiring {
public:
    WaveformWiring(const ToolContext& context, PlaybackWiring& playback, TimingKeys& keys);
    ~WaveformWiring();
    WaveformWiring(const WaveformWiring&) = delete;
    WaveformWiring& operator=(const WaveformWiring&) = delete;

    WaveformWindow& window() { return *window_; }
    // Shows the window (below the main window the first time) and brings it up.
    void showWindow(bool activate);

private:
    void connectPlayer();
    void connectGrid();
    void connectView();
    void moveEdge(int row, bool end, int frame, quint64 drag);
    QRect belowMainWindow() const;

    ToolContext context_;
    PlaybackWiring& playback_;
    std::unique_ptr<PeakCache> cache_;
    std::unique_ptr<WaveformWindow> window_;
};

} // namespace tessel::app
