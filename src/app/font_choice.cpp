#include "app/font_choice.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>

namespace tessel::app {

FontChooser PlatformFontChooser()
{
    return [](const QFont& current) -> std::optional<QFont> {
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, current, nullptr, QString(), QFontDialog::DontUseNativeDialog);
        if (!ok) return std::nullopt;
        return font;
    };
}

ColourChooser PlatformColourChooser()
{
    return [](const QColor& current) -> std::optional<QColor> {
        const QColor colour = QColorDialog::getColor(current, nullptr, QString(), QColorDialog::DontUseNativeDialog);
        if (!colour.isValid()) return std::nullopt;
        return colour;
    };
}

int FontPointSize(const QFont& font)
{
    if (font.pointSize() > 0) return font.pointSize();
    return QFontInfo(font).pointSize();
}

} // namespace tessel::app
