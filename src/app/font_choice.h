#pragma once
#include <QColor>
#include <QFont>
#include <functional>
#include <optional>

// The platform's font and colour dialogs, as functions a test can replace.
namespace tessel::app {

using FontChooser = std::function<std::optional<QFont>(const QFont& current)>;
using ColourChooser = std::function<std::optional<QColor>(const QColor& current)>;

// Each dialog carries the given object name while it is shown.
FontChooser PlatformFontChooser(const char* dialogName = "ChooseFontDialog");
ColourChooser PlatformColourChooser(const char* dialogName = "DialogColor"); // any colour

// A font's size in whole points, whether it was given in points or pixels.
int FontPointSize(const QFont& font);

} // namespace tessel::app
