#pragma once
#include <QPainter>
#include <cstdint>
#include <optional>
#include <vector>

// The shot changes over the waveform: a line at each cut's first frame with
// a handle in the ruler, found by the pixel, and the frame a dragged edge
// snaps to. The view owns one; what they mean is the wiring's business.
namespace tessel {

class WaveformView;

class WaveformCuts {
public:
    // In order; `reach` in frames (see ShotSnapReach).
    void set(std::vector<int64_t> cuts, int64_t reach);
    const std::vector<int64_t>& cuts() const { return cuts_; }
    // Off: nothing snaps (the user's choice, or no film).
    void setSnapping(bool on) { snapping_ = on; }
    bool snapping() const { return snapping_; }
    // Whether the cuts may be moved, added and removed here (a film's picture is open).
    void setEditable(bool on) { editable_ = on; }
    bool editable() const { return editable_; }

    // The cut drawn within `slack` pixels of x, the nearest; nothing for none.
    std::optional<int64_t> at(const WaveformView& view, double x, double slack) const;
    // A start or end cell value near a cut, on it.
    int64_t snap(int64_t frame) const;
    // `moving`: a cut being dragged, drawn at its new place.
    void draw(QPainter& painter, const WaveformView& view, std::optional<std::pair<int64_t, int64_t>> moving) const;

private:
    std::vector<int64_t> cuts_;
    int64_t reach_ = 1;
    bool snapping_ = true;
    bool editable_ = false;
};

} // namespace tessel
