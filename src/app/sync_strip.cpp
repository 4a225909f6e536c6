#include "app/sync_strip.h"

#include "audio/peaks.h"

#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace tessel::app {
namespace {

constexpr int LabelWidth = 64;
constexpr int ScrollHeight = 14;
constexpr double ShortestSpan = 2000;
constexpr double CellMs = 1000.0 / SyncCellsPerSecond;

QString clock(double ms)
{
    const int64_t whole = std::max<int64_t>(0, std::llround(ms / 1000));
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

SyncStrip::SyncStrip(QWidget* parent)
    : QWidget(parent)
    , scroll_(new QScrollBar(Qt::Horizontal, this))
{
    setObjectName(QStringLiteral("SyncStrip"));
    setMinimumHeight(120);
    connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) {
        start_ = value;
        update();
    });
}

void SyncStrip::setTarget(std::shared_ptr<const SyncTarget> target, const QString& name)
{
    target_ = std::move(target);
    targetName_ = name;
    syncScrollBar();
    update();
}

void SyncStrip::setSubtitles(std::vector<SyncInterval> before, std::vector<SyncInterval> after)
{
    before_ = std::move(before);
    after_ = std::move(after);
    syncScrollBar();
    update();
}

void SyncStrip::showSpan(double startMs, double spanMs)
{
    span_ = std::max(spanMs, ShortestSpan);
    start_ = std::max(0.0, startMs);
    syncScrollBar();
    update();
}

double SyncStrip::lengthMs() const
{
    double length = target_ ? double(target_->values.size()) * CellMs : 0;
    for (const auto* list : { &before_, &after_ })
        for (const SyncInterval& i : *list)
            length = std::max(length, double(i.end));
    return length;
}

void SyncStrip::syncScrollBar()
{
    const QSignalBlocker block(scroll_);
    scroll_->setRange(0, int(std::max(0.0, std::min(lengthMs() - span_, 2e9))));
    scroll_->setPageStep(int(span_));
    scroll_->setSingleStep(int(span_ / 10));
    scroll_->setValue(int(start_));
    start_ = scroll_->value();
}

QRect SyncStrip::lanes() const { return QRect(LabelWidth, 0, width() - LabelWidth, height() - ScrollHeight - 14); }

void SyncStrip::resizeEvent(QResizeEvent*)
{
    scroll_->setGeometry(LabelWidth, height() - ScrollHeight, width() - LabelWidth, ScrollHeight);
}

void SyncStrip::wheelEvent(QWheelEvent* event)
{
    const QRect area = lanes();
    const double x = std::clamp(event->position().x() - area.left(), 0.0, double(area.width()));
    const double at = start_ + x / std::max(1, area.width()) * span_;
    const double factor = event->angleDelta().y() > 0 ? 1 / 1.25 : 1.25;
    span_ = std::clamp(span_ * factor, ShortestSpan, std::max(ShortestSpan, lengthMs()));
    start_ = std::max(0.0, at - x / std::max(1, area.width()) * span_);
    syncScrollBar();
    update();
    event->accept();
}

void SyncStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect area = lanes();
    const int laneHeight = area.height() / 3;
    const QRect sound(area.left(), area.top(), area.width(), laneHeight);
    const QRect beforeLane(area.left(), sound.bottom() + 1, area.width(), laneHeight);
    const QRect afterLane(area.left(), beforeLane.bottom() + 1, area.width(), laneHeight);
    const double perPixel = span_ / std::max(1, area.width());
    auto xOf = [&](double ms) { return area.left() + (ms - start_) / perPixel; };

    painter.setPen(palette().text().color());
    painter.drawText(QRect(0, sound.top(), LabelWidth - 4, sound.height()), Qt::AlignRight | Qt::AlignVCenter,
        targetName_.isEmpty() ? tr("Sound") : targetName_);
    painter.drawText(
        QRect(0, beforeLane.top(), LabelWidth - 4, laneHeight), Qt::AlignRight | Qt::AlignVCenter, tr("Before"));
    painter.drawText(
        QRect(0, afterLane.top(), LabelWidth - 4, laneHeight), Qt::AlignRight | Qt::AlignVCenter, tr("After"));

    // Where the voices are, under the sound.
    if (target_) {
        const QColor voice(120, 190, 120, 150);
        for (int x = 0; x < area.width(); ++x) {
            const int64_t cell = int64_t((start_ + (x + 0.5) * perPixel) / CellMs);
            if (cell < 0 || cell >= int64_t(target_->values.size())) continue;
            if (target_->values[size_t(cell)] > 0)
                painter.fillRect(area.left() + x, sound.top(), 1, sound.height(), voice);
        }
    }
    if (peaks_) {
        painter.setPen(QColor(40, 80, 150));
        peaks_([&](const PeakTrack* track) {
            if (!track) return;
            const int middle = sound.center().y();
            const double half = sound.height() / 2.0 - 1;
            for (int x = 0; x < area.width(); ++x) {
                const double from = start_ + x * perPixel;
                const PeakSummary s = track->summary(int64_t(from), int64_t(from + perPixel) + 1);
                if (s.empty) continue;
                painter.drawLine(area.left() + x, int(middle - s.high / 127.0 * half), area.left() + x,
                    int(middle - s.low / 127.0 * half));
            }
        });
    }
    const auto drawBlocks = [&](const std::vector<SyncInterval>& list, const QRect& lane, const QColor& fill) {
        painter.setPen(fill.darker(150));
        for (const SyncInterval& i : list) {
            const double left = xOf(double(i.start)), right = xOf(double(i.end));
            if (right < area.left() || left > area.right()) continue;
            painter.fillRect(
                QRectF(std::max<double>(left, area.left()), lane.top() + 3,
                    std::min<double>(right, area.right()) - std::max<double>(left, area.left()) + 1, lane.height() - 6),
                fill);
        }
    };
    drawBlocks(before_, beforeLane, QColor(170, 170, 170));
    drawBlocks(after_, afterLane, QColor(240, 160, 60));
    painter.setPen(palette().mid().color());
    painter.drawLine(area.left(), beforeLane.top(), area.right(), beforeLane.top());
    painter.drawLine(area.left(), afterLane.top(), area.right(), afterLane.top());
    painter.setPen(palette().text().color());
    const QRect ruler(area.left(), afterLane.bottom() + 1, area.width(), 14);
    painter.drawText(ruler, Qt::AlignLeft | Qt::AlignVCenter, clock(start_));
    painter.drawText(ruler, Qt::AlignRight | Qt::AlignVCenter, clock(start_ + span_));
}

} // namespace tessel::app
