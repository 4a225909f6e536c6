#include "preview/waveform_view.h"

#include "audio/peaks.h"
#include "audio/waveform_source.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace tessel {
namespace {

const QColor Background(0x1e, 0x22, 0x26);
const QColor RulerBackground(0x2e, 0x33, 0x38);
const QColor RulerText(0xd0, 0xd4, 0xd8);
const QColor PeakColour(0x4f, 0xa8, 0x78);
const QColor LevelColour(0xa8, 0xf0, 0xc4);
const QColor RegionFill(0x50, 0x82, 0xdc, 70);
const QColor RegionEdge(0x78, 0xa0, 0xf0);
const QColor CurrentFill(0xf0, 0xb4, 0x3c, 90);
const QColor CurrentEdge(0xff, 0xc8, 0x50);
const QColor RegionText(0xf0, 0xf0, 0xf0);
const QColor PlayLine(0xff, 0x50, 0x50);

constexpr int AnimationInterval = 16; // ms: a screen's frame
constexpr double LongestGuess = 250; // ms the line moves on without a report
constexpr int NarrowRegion = 3; // pixels: drawn as covered columns, no edges
constexpr int LabelledRegion = 24; // pixels: wide enough for a label
constexpr int MostLabels = 300;
constexpr int TickSpacing = 110; // pixels between labelled ticks at least

} // namespace

WaveformView::WaveformView(const SubtitleTable& table, const WaveformSource& source, QWidget* parent)
    : QWidget(parent)
    , table_(table)
    , source_(source)
{
    setObjectName(QStringLiteral("WaveformView"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, RulerHeight + 40);
    animation_.setInterval(AnimationInterval);
    connect(&animation_, &QTimer::timeout, this, [this] {
        followPlayback();
        update();
    });
}

void WaveformView::setMovie(double framesPerSecond, int64_t lengthMs)
{
    fps_ = framesPerSecond > 0 ? framesPerSecond : 0;
    length_ = std::max<int64_t>(lengthMs, 0);
    start_ = 0;
    scale_ = std::min(InitialSpanMs, std::max<double>(double(length_), ShortestSpanMs)) / std::max(width(), 1);
    playFrame_ = 0;
    playing_ = false;
    animation_.stop();
    clampView();
    invalidate();
}

void WaveformView::clearMovie()
{
    drag_.reset();
    cutDrag_.reset();
    setMovie(0, 0);
}

void WaveformView::setPlayPosition(int frame, bool playing, double rate)
{
    if (frame == playFrame_ && playing == playing_ && !playing) return;
    playFrame_ = frame;
    playing_ = playing && fps_ > 0;
    rate_ = rate > 0 ? rate : 1;
    sinceReport_.restart();
    if (playing_ && !animation_.isActive()) animation_.start();
    if (!playing_) animation_.stop();
    followPlayback();
    update();
}

double WaveformView::playMs() const
{
    if (fps_ <= 0) return 0;
    const double reported = playFrame_ * 1000.0 / fps_;
    if (!playing_ || !sinceReport_.isValid()) return reported;
    return reported + std::min(double(sinceReport_.elapsed()) * rate_, LongestGuess);
}

// While playing, a line about to leave the view turns the page.
void WaveformView::followPlayback()
{
    if (!playing_ || drag_) return;
    const double at = playMs();
    if (at < start_ || at > start_ + visibleMs()) setViewStart(at - visibleMs() * 0.1);
}

void WaveformView::setCurrentRow(int row)
{
    if (row == currentRow_) return;
    currentRow_ = row;
    if (!drag_) ensureVisible(row);
    invalidate();
}

void WaveformView::contentChanged() { invalidate(); }

void WaveformView::setCuts(std::vector<int64_t> cuts, int64_t snapReach)
{
    cuts_.set(std::move(cuts), snapReach);
    invalidate();
}

void WaveformView::invalidate()
{
    layerValid_ = false;
    update();
}

void WaveformView::clampView()
{
    const double w = std::max(width(), 1);
    const double longest = std::max<double>(double(length_), ShortestSpanMs) / w;
    scale_ = std::clamp(scale_, ShortestSpanMs / w, std::max(longest, ShortestSpanMs / w));
    start_ = std::clamp(start_, 0.0, std::max(0.0, double(length_) - scale_ * w));
}

void WaveformView::setViewStart(double ms)
{
    const double before = start_;
    start_ = ms;
    clampView();
    if (start_ == before) return;
    invalidate();
    emit viewChanged();
}

void WaveformView::zoomAt(double factor, double x)
{
    const double at = msAt(x);
    scale_ *= factor;
    clampView();
    start_ = at - x * scale_;
    clampView();
    invalidate();
    emit viewChanged();
}

void WaveformView::showWholeFilm()
{
    start_ = 0;
    scale_ = std::max<double>(double(length_), ShortestSpanMs) / std::max(width(), 1);
    clampView();
    invalidate();
    emit viewChanged();
}

void WaveformView::ensureVisible(int row)
{
    if (fps_ <= 0) return;
    rows_.refresh(table_);
    const RowSpan* span = rows_.find(row);
    if (!span) return;
    const double at = span->start * 1000.0 / fps_;
    if (at < start_ || at > start_ + visibleMs()) setViewStart(at - visibleMs() * 0.25);
}

double WaveformView::xOfMs(double ms) const { return (ms - start_) / scale_; }

double WaveformView::msAt(double x) const { return start_ + x * scale_; }

double WaveformView::xOfFrame(double frame) const { return fps_ > 0 ? xOfMs(frame * 1000.0 / fps_) : 0; }

int WaveformView::frameAt(double x) const
{
    return fps_ > 0 ? static_cast<int>(std::floor(std::max(msAt(x), 0.0) * fps_ / 1000.0)) : 0;
}

void WaveformView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    clampView();
    invalidate();
    emit viewChanged();
}

// The edge nearest to x within reach; the current row's wins a tie.
std::optional<WaveformView::Edge> WaveformView::edgeAt(double x)
{
    if (fps_ <= 0) return std::nullopt;
    rows_.refresh(table_);
    std::optional<Edge> found;
    double nearest = EdgeSlack + 0.5;
    rows_.forEachIn(frameAt(x - EdgeSlack) - 1, frameAt(x + EdgeSlack) + 1, [&](const RowSpan& span) {
        for (bool end : { false, true }) {
            const double distance = std::abs(xOfFrame(end ? span.end + 1 : span.start) - x);
            if (distance < nearest || (distance == nearest && span.row == currentRow_)) {
                nearest = distance;
                found = Edge { span.row, end };
            }
        }
    });
    return found;
}

// The row whose region is under x: the current one, else the one that started last.
int WaveformView::rowAt(double x)
{
    if (fps_ <= 0) return 0;
    rows_.refresh(table_);
    const int frame = frameAt(x);
    int found = 0;
    bool current = false;
    rows_.forEachIn(frame, frame, [&](const RowSpan& span) {
        if (current) return;
        found = span.row;
        current = span.row == currentRow_;
    });
    return found;
}

void WaveformView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || fps_ <= 0) return;
    const double x = event->position().x();
    if (event->position().y() < RulerHeight && cuts_.editable()) {
        if (const std::optional<int64_t> cut = cuts_.at(*this, x, EdgeSlack)) {
            cutDrag_ = std::make_pair(*cut, *cut);
            return;
        }
    }
    drag_ = edgeAt(x);
    if (drag_) {
        ++drags_;
        return;
    }
    emit seekRequested(frameAt(x));
}

void WaveformView::mouseMoveEvent(QMouseEvent* event)
{
    const double x = event->position().x();
    if (cutDrag_) {
        cutDrag_->second = boundaryAt(x);
        invalidate();
        return;
    }
    if (drag_) {
        dragTo(x, !event->modifiers().testFlag(Qt::ShiftModifier));
        return;
    }
    const bool onHandle = event->position().y() < RulerHeight && cuts_.editable() && cuts_.at(*this, x, EdgeSlack);
    setCursor(onHandle || edgeAt(x) ? Qt::SizeHorCursor : Qt::ArrowCursor);
}

int WaveformView::boundaryAt(double x) const
{
    return static_cast<int>(std::lround(std::max(msAt(x), 0.0) * fps_ / 1000.0));
}

// Snapped to the nearest frame boundary, and to a shot change near it; a
// region keeps at least one frame.
void WaveformView::dragTo(double x, bool snap)
{
    rows_.refresh(table_);
    const RowSpan* span = rows_.find(drag_->row);
    if (!span) return;
    const int boundary = boundaryAt(x);
    int64_t frame = drag_->end ? boundary - 1 : boundary;
    if (snap) frame = cuts_.snap(frame);
    frame = drag_->end ? std::max<int64_t>(frame, span->start) : std::clamp<int64_t>(frame, 0, span->end);
    if (frame == (drag_->end ? span->end : span->start)) return;
    emit edgeDragged(drag_->row, drag_->end, static_cast<int>(frame), drags_);
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    drag_.reset();
    if (const std::optional<std::pair<int64_t, int64_t>> moved = std::exchange(cutDrag_, std::nullopt)) {
        invalidate();
        if (moved->first != moved->second) emit cutMoved(int(moved->first), int(moved->second));
    }
}

void WaveformView::contextMenuEvent(QContextMenuEvent* event)
{
    if (fps_ <= 0 || !cuts_.editable()) return;
    const double x = event->pos().x();
    const int frame = boundaryAt(x);
    QMenu menu(this);
    QAction* add = menu.addAction(QStringLiteral("Add a shot change at frame %1").arg(frame));
    const std::optional<int64_t> near = cuts_.at(*this, x, EdgeSlack * 2);
    QAction* remove = near ? menu.addAction(QStringLiteral("Remove the shot change at frame %1").arg(*near)) : nullptr;
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen && chosen == add) emit cutAdded(frame);
    if (chosen && chosen == remove) emit cutRemoved(int(*near));
}

void WaveformView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const int row = rowAt(event->position().x());
    if (row > 0) emit rowActivated(row);
}

void WaveformView::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (fps_ <= 0 || delta.isNull()) return;
    const bool scroll = event->modifiers().testFlag(Qt::ShiftModifier) || std::abs(delta.x()) > std::abs(delta.y());
    const int steps = std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y();
    if (scroll)
        setViewStart(start_ - steps / 120.0 * visibleMs() / 8);
    else
        zoomAt(std::pow(WheelStep, -steps / 120.0), event->position().x());
    event->accept();
}

void WaveformView::paintEvent(QPaintEvent*)
{
    if (!layerValid_ || layer_.size() != size() * devicePixelRatioF()) renderLayer();
    QPainter painter(this);
    painter.drawPixmap(0, 0, layer_);
    if (fps_ <= 0) return;
    const double x = xOfMs(playMs());
    if (x < 0 || x > width()) return;
    painter.setPen(QPen(PlayLine, 1));
    painter.drawLine(QPointF(x + 0.5, 0), QPointF(x + 0.5, height()));
}

void WaveformView::renderLayer()
{
    layer_ = QPixmap(size() * devicePixelRatioF());
    layer_.setDevicePixelRatio(devicePixelRatioF());
    layer_.fill(Background);
    layerValid_ = true;
    if (fps_ <= 0) return;
    QPainter painter(&layer_);
    drawRows(painter);
    drawPeaks(painter);
    drawRuler(painter);
    cuts_.draw(painter, *this, cutDrag_);
}

void WaveformView::drawRows(QPainter& painter)
{
    rows_.refresh(table_);
    const int w = width();
    std::vector<bool> covered(size_t(std::max(w, 0)), false);
    int labels = 0;
    rows_.forEachIn(frameAt(0) - 1, frameAt(w) + 1, [&](const RowSpan& span) {
        if (span.row == currentRow_) return;
        const double x0 = xOfFrame(span.start), x1 = xOfFrame(span.end + 1);
        if (x1 - x0 >= NarrowRegion) {
            drawRegion(painter, span, false, labels);
            return;
        }
        // Thousands of short rows in a zoomed-out view: one fill per run of columns.
        for (int x = std::max(0, int(x0)); x < std::min(w, int(std::ceil(x1)) + 1); ++x)
            covered[size_t(x)] = true;
    });
    for (int x = 0; x < w;) {
        if (!covered[size_t(x)]) {
            ++x;
            continue;
        }
        const int from = x;
        while (x < w && covered[size_t(x)])
            ++x;
        painter.fillRect(QRect(from, RulerHeight, x - from, height() - RulerHeight), RegionFill);
    }
    if (const RowSpan* current = rows_.find(currentRow_)) drawRegion(painter, *current, true, labels);
}

void WaveformView::drawRegion(QPainter& painter, const RowSpan& span, bool current, int& labels)
{
    const double x0 = xOfFrame(span.start), x1 = std::max(xOfFrame(span.end + 1), x0 + 1);
    if (x1 < 0 || x0 > width()) return;
    const QRectF area(x0, RulerHeight, x1 - x0, height() - RulerHeight);
    painter.fillRect(area, current ? CurrentFill : RegionFill);
    painter.setPen(QPen(current ? CurrentEdge : RegionEdge, current ? 2 : 1));
    painter.drawLine(area.topLeft(), area.bottomLeft());
    painter.drawLine(area.topRight(), area.bottomRight());
    if (x1 - x0 < LabelledRegion || (labels >= MostLabels && !current)) return;
    ++labels;
    const QString text = QString::number(span.row) + QLatin1Char(' ') + table_.text(SubtitleTable::Line1, span.row);
    const QRectF box = area.adjusted(3, 2, -3, 0).intersected(QRectF(0, 0, width(), height()));
    QFont font = painter.font();
    font.setBold(current);
    painter.setFont(font);
    painter.setPen(RegionText);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop,
        painter.fontMetrics().elidedText(text, Qt::ElideRight, static_cast<int>(box.width())));
}

void WaveformView::drawPeaks(QPainter& painter)
{
    const int w = width();
    const double middle = (RulerHeight + height()) / 2.0;
    const double half = (height() - RulerHeight) / 2.0 - 2;
    std::vector<QLineF> peaks, levels;
    peaks.reserve(size_t(w));
    levels.reserve(size_t(w));
    source_.read([&](const PeakTrack& track) {
        const int64_t decoded = static_cast<int64_t>(track.size());
        for (int x = 0; x < w; ++x) {
            const double from = msAt(x);
            const int64_t first = static_cast<int64_t>(std::floor(from));
            const int64_t last = std::max(static_cast<int64_t>(std::floor(from + scale_)), first + 1);
            if (first >= decoded) break;
            if (last <= 0) continue;
            const PeakSummary s = track.summary(first, last);
            if (s.empty) continue;
            const double top = middle - s.high * half / 127, bottom = middle - s.low * half / 127;
            peaks.emplace_back(x + 0.5, top, x + 0.5, std::max(bottom, top + 1));
            const double level = s.level * half / 255;
            if (level >= 0.5) levels.emplace_back(x + 0.5, middle - level, x + 0.5, middle + level);
        }
    });
    painter.setPen(QPen(PeakColour, 1));
    painter.drawLines(peaks.data(), static_cast<int>(peaks.size()));
    painter.setPen(QPen(LevelColour, 1));
    painter.drawLines(levels.data(), static_cast<int>(levels.size()));
}

// Ticks at frame boundaries, labelled with the frame and its time code.
void WaveformView::drawRuler(QPainter& painter)
{
    const int w = width();
    painter.fillRect(QRect(0, 0, w, RulerHeight), RulerBackground);
    const double pixelsPerFrame = 1000.0 / fps_ / scale_;
    std::vector<int64_t> steps = { 1, 2, 5, 10 };
    for (int seconds : { 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200 })
        steps.push_back(std::max<int64_t>(std::llround(seconds * fps_), 1));
    int64_t step = steps.back();
    for (int64_t candidate : steps)
        if (candidate * pixelsPerFrame >= TickSpacing) {
            step = candidate;
            break;
        }
    const int64_t first = frameAt(0) / step * step;
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    for (int64_t frame = first; xOfFrame(double(frame)) <= w; frame += step) {
        const double x = xOfFrame(double(frame));
        painter.setPen(RulerText);
        painter.drawLine(QPointF(x + 0.5, RulerHeight - 8), QPointF(x + 0.5, RulerHeight));
        const int64_t ms = std::llround(frame * 1000.0 / fps_);
        painter.drawText(QPointF(x + 3, 11), QString::number(frame));
        painter.drawText(QPointF(x + 3, 23), QString::fromStdString(ClockText(ms)));
        const int64_t minor = step % 5 == 0 ? step / 5 : 0;
        if (minor > 0 && minor * pixelsPerFrame >= 8)
            for (int i = 1; i < 5; ++i) {
                const double mx = xOfFrame(double(frame + i * minor));
                painter.drawLine(QPointF(mx + 0.5, RulerHeight - 3), QPointF(mx + 0.5, RulerHeight));
            }
    }
    painter.setPen(RulerText.darker(160));
    painter.drawLine(0, RulerHeight - 1, w, RulerHeight - 1);
}

} // namespace tessel
