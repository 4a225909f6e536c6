#pragma once
#include "tools/sync.h"

#include <QWidget>
#include <functional>
#include <memory>

class QScrollBar;

// The Synchronise window's picture of a proposal: the film's sound (its
// peaks, when the waveform has them) with where the voices are (or the
// reference file's subtitles) shaded under it, and the subtitles before and
// after over the same stretch of time. The wheel zooms, the scroll bar moves.
namespace tessel {
class PeakTrack;
}

namespace tessel::app {

class SyncStrip : public QWidget {
    Q_OBJECT
public:
    // Reads the peaks (nullptr: none) for drawing.
    using PeakReader = std::function<void(const std::function<void(const PeakTrack*)>&)>;

    explicit SyncStrip(QWidget* parent = nullptr);

    void setPeaks(PeakReader reader) { peaks_ = std::move(reader); }
    void setTarget(std::shared_ptr<const SyncTarget> target, const QString& name);
    // Times in ms; `after` empty until there is a proposal.
    void setSubtitles(std::vector<SyncInterval> before, std::vector<SyncInterval> after);
    // Shows `spanMs` from `startMs` on.
    void showSpan(double startMs, double spanMs);
    double viewStart() const { return start_; }
    double viewSpan() const { return span_; }
    QScrollBar& scrollBar() { return *scroll_; }

    QSize sizeHint() const override { return { 640, 150 }; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    double lengthMs() const;
    void syncScrollBar();
    QRect lanes() const;

    PeakReader peaks_;
    std::shared_ptr<const SyncTarget> target_;
    QString targetName_;
    std::vector<SyncInterval> before_, after_;
    double start_ = 0;
    double span_ = 60000;
    QScrollBar* scroll_ = nullptr;
};

} // namespace tessel::app
