#include "app/font_choice.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>

namespace tessel::app {

FontChooser PlatformFontChooser(const char* dialogName)
{
    return [name = QString::fromLatin1(dialogName)](const QFont& current) -> std::optional<QFont> {
        QFontDialog dialog(current);
        dialog.setObjectName(name);
        dialog.setOption(QFontDialog::DontUseNativeDialog);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.selectedFont();
    };
}

ColourChooser PlatformColourChooser(const char* dialogName)
{
    return [name = QString::fromLatin1(dialogName)](const QColor& current) -> std::optional<QColor> {
        QColorDialog dialog(current);
        dialog.setObjectName(name);
        dialog.setOption(QColorDialog::DontUseNativeDialog);
        if (dialog.exec() != QDialog::Accepted || !dialog.selectedColor().isValid()) return std::nullopt;
        return dialog.selectedColor();
    };
}

int FontPointSize(const QFont& font)
{
    if (font.pointSize() > 0) return font.pointSize();
    return QFontInfo(font).pointSize();
}

} // namespace tessel::app
