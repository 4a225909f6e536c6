#include "app/window_font.h"

#include <QStringList>

namespace tessel::app {

QFont WindowFont()
{
    QFont font;
    // MS Sans Serif where it exists; its metric look-alikes elsewhere.
    font.setFamilies(QStringList { QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
        QStringLiteral("Arial"), QStringLiteral("DejaVu Sans") });
    font.setPixelSize(11);
    return font;
}

} // namespace tessel::app
