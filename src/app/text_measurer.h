#pragma once
#include "tools/check_dialog.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>

// Pixel widths of text lines in the width check's font, measured on an
// off-screen canvas (96 dots per inch, whatever the screen).
namespace tessel::app {

class QtTextMeasurer : public TextMeasurer {
public:
    explicit QtTextMeasurer(const QFont& font);
    int Width(const std::string& utf8Text) override;

private:
    QImage canvas_;
    QFont font_;
    QFontMetrics metrics_;
};

} // namespace tessel::app
