#pragma once
#include "app/font_choice.h"

#include <QFont>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The "Check" page: the text width check's font and screen width, and the
// timing check's options. The font choice works here; the two checks are
// connected to "Check now" and "Check Now" by the tool wiring.
namespace tessel::app {

class CheckPage : public QWidget {
    Q_OBJECT
public:
    explicit CheckPage(QWidget* parent = nullptr);

    // "Arial, Bold, 20pt": italic and the other styles are not named.
    static QString FontDescription(const QFont& font);

    // ButtonFontBrowseClick.
    void chooseFont();
    void setFontChooser(FontChooser chooser) { fontChooser_ = std::move(chooser); }
    const QFont& checkFont() const { return checkFont_; }

    QLineEdit* fontNameEdit() const { return fontNameEdit_; }
    QPushButton* fontBrowse() const { return fontBrowse_; }
    QComboBox* screenPx() const { return screenPx_; }
    QPushButton* checkWidthNow() const { return checkWidthNow_; }
    QCheckBox* shortTime() const { return shortTime_; }
    QCheckBox* timingAutoFix() const { return timingAutoFix_; }
    QPushButton* checkTimingNow() const { return checkTimingNow_; }

private:
    QWidget* buildCheckWidth();
    QWidget* buildCheckTiming();

    QFont checkFont_;
    FontChooser fontChooser_;
    QLineEdit* fontNameEdit_ = nullptr;
    QPushButton* fontBrowse_ = nullptr;
    QComboBox* screenPx_ = nullptr;
    QPushButton* checkWidthNow_ = nullptr;
    QCheckBox* shortTime_ = nullptr;
    QCheckBox* timingAutoFix_ = nullptr;
    QPushButton* checkTimingNow_ = nullptr;
};

} // namespace tessel::app
