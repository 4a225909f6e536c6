#include "app/check_page.h"

#include "app/widget_helpers.h"
#include "tools/width_check.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessel::app {

CheckPage::CheckPage(QWidget* parent)
    : QWidget(parent)
    , checkFont_(QStringLiteral("Arial"), 20, QFont::Bold)
    , fontChooser_(PlatformFontChooser())
{
    setObjectName(QStringLiteral("TabSheetCheck"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(buildCheckWidth());
    layout->addWidget(buildCheckTiming());
    layout->addStretch(1);
    connect(fontBrowse_, &QPushButton::clicked, this, &CheckPage::chooseFont);
}

QString CheckPage::FontDescription(const QFont& font)
{
    return QString::fromStdString(
        tessel::FontDescription(font.family().toStdString(), font.bold(), FontPointSize(font)));
}

void CheckPage::chooseFont()
{
    const std::optional<QFont> font = fontChooser_(checkFont_);
    if (!font) return;
    checkFont_ = *font;
    fontNameEdit_->setText(FontDescription(checkFont_));
}

QWidget* CheckPage::buildCheckWidth()
{
    QGroupBox* box = MakeGroupBox(this, "GroupBoxCheckWidth", QStringLiteral("Check text width"));
    fontNameEdit_ = MakeEdit(box, "CheckFontNameEdit", FontDescription(checkFont_));
    fontNameEdit_->setReadOnly(true);
    fontNameEdit_->setFocusPolicy(Qt::ClickFocus); // skipped by Tab
    fontNameEdit_->setMaximumHeight(18);
    fontNameEdit_->setStyleSheet(QStringLiteral("QLineEdit { background: palette(window); }"));
    fontBrowse_ = MakeButton(box, "ButtonFontBrowse", QStringLiteral("..."));
    fontBrowse_->setFixedWidth(24);
    screenPx_ = MakeEditableDropDown(
        box, "ComboBoxScreenPx", { "380", "420", "480", "512", "640", "800", "1024" }, QStringLiteral("640"));
    checkWidthNow_ = MakeButton(box, "Button1", QStringLiteral("Check now"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setSpacing(2);
    grid->addWidget(MakeLabel(box, "LabelFont", QStringLiteral("Font:")), 0, 0);
    grid->addWidget(fontNameEdit_, 0, 1, 1, 2);
    grid->addWidget(fontBrowse_, 0, 3);
    grid->addWidget(MakeLabel(box, "LabelScreen", QStringLiteral("Screen:")), 1, 0);
    grid->addWidget(screenPx_, 1, 1);
    grid->addWidget(MakeLabel(box, "LabelPx", QStringLiteral("px")), 1, 2);
    grid->addWidget(checkWidthNow_, 1, 3, 1, 2);
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* CheckPage::buildCheckTiming()
{
    QGroupBox* box = MakeGroupBox(this, "GroupBoxCheckTiming", QStringLiteral("Check subtitles timing"));
    shortTime_ = MakeCheckBox(box, "ChkBoxShortTime", QStringLiteral("Check for too short delay"), false);
    timingAutoFix_ = MakeCheckBox(box, "ChkBoxCheckTimeAutoFix", QStringLiteral("Auto-fix"), false);
    checkTimingNow_ = MakeButton(box, "Button2", QStringLiteral("Check Now"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(6, 2, 6, 4);
    row->addWidget(shortTime_);
    row->addWidget(timingAutoFix_);
    row->addStretch(1);
    row->addWidget(checkTimingNow_);
    return box;
}

} // namespace tessel::app
