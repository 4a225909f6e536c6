#pragma once
#include "preview/waveform_cuts.h"
#include "preview/waveform_rows.h"

#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <optional>

// The movie's sound as a waveform under a time ruler, with every subtitle
// row as a shaded region and the playing position as a line. A click seeks,
// the wheel zooms (Shift and the wheel scroll), dragging a region's edge
// retimes its row, a double click makes a region's row current. Times are
// the film's milliseconds; frames are counted as the table counts them.
namespace tessel {

class WaveformSource;

class WaveformView : public QWidget {
    Q_OBJECT
public:
    static constexpr int RulerHeight = 30;
    static constexpr double InitialSpanMs = 30000;
    static constexpr double ShortestSpanMs = 1000;
    static constexpr int EdgeSlack = 4; // pixels either side of an edge that grab it
    static constexpr double WheelStep = 1.25;

    WaveformView(const SubtitleTable& table, const WaveformSource& source, QWidget* parent = nullptr);

    // Shows the first InitialSpanMs of a movie.
    void setMovie(double framesPerSecond, int64_t lengthMs);
    void clearMovie();
    bool hasMovie() const { return fps_ > 0; }
    // While playing the line moves on by itself between reports.
    void setPlayPosition(int frame, bool playing, double rate = 1);
    void setCurrentRow(int row);
    int currentRow() const { return currentRow_; }
    // The table or the peaks changed.
    void contentChanged();

    double viewStart() const { return start_; } // ms at the left edge
    double msPerPixel() const { return scale_; }
    double visibleMs() const { return scale_ * std::max(width(), 1); }
    int64_t lengthMs() const { return length_; }
    void setViewStart(double ms);
    // Zooms by `factor` (above 1: out) keeping the time under `x` in place.
    void zoomAt(double factor, double x);
    void showWholeFilm();
    // Scrolls a row's start into view if it is out of it.
    void ensureVisible(int row);

    double xOfFrame(double frame) const;
    int frameAt(double x) const; // the frame shown at the time under x
    bool dragging() const { return drag_.has_value(); }

    // The shot changes drawn over the sound, moved by their handles in the
    // ruler, and snapped to by dragged edges (not while Shift is held).
    WaveformCuts& cuts() { return cuts_; }
    void setCuts(std::vector<int64_t> cuts, int64_t snapReach);

signals:
    void seekRequested(int frame);
    // `frame` is the row's new start, or its new end (the last frame shown).
    // The moves of one drag share `drag`.
    void edgeDragged(int row, bool end, int frame, quint64 drag);
    void rowActivated(int row);
    void viewChanged();
    // A cut's handle was dragged from one frame to another, or the pop-up
    // menu asks for a cut to be added or removed.
    void cutMoved(int from, int to);
    void cutAdded(int frame);
    void cutRemoved(int frame);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Edge {
        int row = 0;
        bool end = false;
    };
    double xOfMs(double ms) const;
    double msAt(double x) const;
    double playMs() const;
    void clampView();
    void invalidate();
    void followPlayback();
    std::optional<Edge> edgeAt(double x);
    int rowAt(double x);
    void dragTo(double x, bool snap);
    int boundaryAt(double x) const;

    void renderLayer();
    void drawRows(QPainter& painter);
    void drawRegion(QPainter& painter, const RowSpan& span, bool current, int& labels);
    void drawPeaks(QPainter& painter);
    void drawRuler(QPainter& painter);

    const SubtitleTable& table_;
    const WaveformSource& source_;
    WaveformRows rows_;
    double fps_ = 0;
    int64_t length_ = 0;
    double start_ = 0;
    double scale_ = 1;
    int currentRow_ = 0;
    int playFrame_ = 0;
    bool playing_ = false;
    double rate_ = 1;
    QElapsedTimer sinceReport_;
    QTimer animation_;
    QPixmap layer_; // everything but the playing position
    bool layerValid_ = false;
    std::optional<Edge> drag_;
    quint64 drags_ = 0;
    WaveformCuts cuts_;
    std::optional<std::pair<int64_t, int64_t>> cutDrag_; // from, to
};

} // namespace tessel
