#include "app/text_measurer.h"

namespace tessel::app {

QtTextMeasurer::QtTextMeasurer(const QFont& font)
    : canvas_(1, 1, QImage::Format_RGB32)
    , font_(font)
    , metrics_(font_, &canvas_)
{
}

int QtTextMeasurer::Width(const std::string& utf8Text)
{
    if (utf8Text.empty()) return 0;
    return metrics_.horizontalAdvance(QString::fromStdString(utf8Text));
}

} // namespace tessel::app
