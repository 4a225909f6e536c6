#include "app/regional.h"

#include <QLocale>

namespace tessel::app {

char RegionalDecimalSeparator()
{
    const QString point = QLocale::system().decimalPoint();
    const char c = point.size() == 1 ? point.at(0).toLatin1() : 0;
    return c > ' ' && c < 127 ? c : '.';
}

QStringList FrameratePresets(char decimalSeparator)
{
    QStringList presets;
    for (const char* text : { "23,976", "24", "25", "29,976", "30" })
        presets << QString::fromLatin1(text).replace(QLatin1Char(','), QLatin1Char(decimalSeparator));
    return presets;
}

} // namespace tessel::app
