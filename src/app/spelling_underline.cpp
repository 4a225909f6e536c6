#include "app/spelling_underline.h"

#include "app/spelling_service.h"
#include "app/subtitle_grid.h"
#include "core/markup.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <memory>

namespace tessel::app {
namespace {

// The misspelled words of each text, in UTF-16 units; forgotten when what is
// accepted changes.
class UnderlineCache {
public:
    static constexpr int MostTexts = 20000;

    const QVector<QPair<int, int>>& misspelled(Speller& speller, const QString& text)
    {
        if (speller.generation() != generation_ || &speller != speller_ || words_.size() > MostTexts) clear();
        speller_ = &speller;
        generation_ = speller.generation();
        auto known = words_.find(text);
        if (known != words_.end()) return *known;
        const std::string utf8 = text.toStdString();
        const Utf16Text units = ToUtf16(utf8);
        QVector<QPair<int, int>> ranges;
        for (const TextSpan& span : speller.misspelled(utf8)) {
            const auto unitOf = [&](size_t byte) {
                return static_cast<int>(
                    std::lower_bound(units.byteOf.begin(), units.byteOf.end(), byte) - units.byteOf.begin());
            };
            ranges.append({ unitOf(span.start), unitOf(span.end) });
        }
        return *words_.insert(text, ranges);
    }
    void clear() { words_.clear(); }

private:
    QHash<QString, QVector<QPair<int, int>>> words_;
    const Speller* speller_ = nullptr;
    uint64_t generation_ = 0;
};

// A red wave under [left, right) at `y`, as word processors draw it.
void drawWave(QPainter& painter, int left, int right, int y)
{
    QPainterPath wave;
    wave.moveTo(left, y + 1);
    for (int x = left; x < right; x += 2)
        wave.lineTo(std::min(x + 2, right), (x - left) % 4 == 0 ? y - 1 : y + 1);
    painter.setPen(QPen(QColor(220, 0, 0), 1));
    painter.drawPath(wave);
}

void underline(
    QPainter& painter, const QStyleOptionViewItem& option, const QString& text, const QVector<QPair<int, int>>& ranges)
{
    QStyleOptionViewItem opt(option);
    opt.text = text;
    opt.features |= QStyleOptionViewItem::HasDisplay;
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    QRect rect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    // The margin the style's own text drawing keeps.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    rect.adjust(margin, 0, -margin, 0);
    const QFontMetrics metrics(opt.font);
    int visibleRight = rect.right();
    if (metrics.horizontalAdvance(text) > rect.width())
        visibleRight = rect.left() + rect.width() - metrics.horizontalAdvance(QStringLiteral("\u2026"));
    const int baseline = rect.top() + (rect.height() - metrics.height()) / 2 + metrics.ascent();
    const int y = std::min(baseline + 2, option.rect.bottom() - 1);
    painter.save();
    painter.setClipRect(option.rect);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const auto& [start, end] : ranges) {
        const int left = rect.left() + metrics.horizontalAdvance(text.left(start));
        const int right = std::min(rect.left() + metrics.horizontalAdvance(text.left(end)), visibleRight);
        if (right > left) drawWave(painter, left, right, y);
    }
    painter.restore();
}

} // namespace

void UnderlineMisspelledWords(SubtitleGrid& grid, SpellingService& spelling)
{
    auto cache = std::make_shared<UnderlineCache>();
    QObject::connect(&spelling, &SpellingService::changed, &grid, [&grid, cache] {
        cache->clear();
        grid.viewport()->update();
    });
    const QPointer<SpellingService> service(&spelling);
    grid.setCellOverlay(
        [service, cache](QPainter& painter, const QStyleOptionViewItem& option, const QModelIndex& index) {
            if (!service || !service->underline() || index.column() < 2) return;
            const QString text = index.data(Qt::DisplayRole).toString();
            if (text.isEmpty()) return;
            Speller* speller = service->speller(); // nullptr while it is read: ready() repaints
            if (!speller) return;
            const QVector<QPair<int, int>>& ranges = cache->misspelled(*speller, text);
            if (!ranges.isEmpty()) underline(painter, option, text, ranges);
        });
}

} // namespace tessel::app
