#include "app/adjust_page.h"

#include "app/regional.h"
#include "app/widget_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessel::app {

AdjustPage::AdjustPage(char decimalSeparator, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheetAdjust"));
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(buildFrameRateConvert(decimalSeparator), 0, 0, 1, 2);
    layout->addWidget(buildAdjustTime(), 1, 0);
    layout->addWidget(buildExpandDelay(), 1, 1);
    layout->setRowStretch(2, 1);
}

QWidget* AdjustPage::buildFrameRateConvert(char decimalSeparator)
{
    QGroupBox* box = MakeGroupBox(this, "GroupBoxFrameRateConvert", QStringLiteral("Framerate convert"));
    const QStringList presets = FrameratePresets(decimalSeparator);
    frameRateFrom_ = MakeEditableDropDown(box, "FrameRateFromDropDown", presets, presets.first());
    frameRateTo_ = MakeEditableDropDown(box, "FrameRateToDropDown", presets, presets.first());
    frameRateGo_ = MakeButton(box, "ButtonFrameRateGo", QStringLiteral("Go!"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(6, 2, 6, 4);
    row->addWidget(frameRateFrom_, 1);
    row->addWidget(MakeLabel(box, "LabelFramerateTo", QStringLiteral("=>")));
    row->addWidget(frameRateTo_, 1);
    row->addWidget(frameRateGo_);
    return box;
}

QWidget* AdjustPage::buildAdjustTime()
{
    QGroupBox* box = MakeGroupBox(this, "GroupBoxAdjustTime", QStringLiteral("Adjust time"));
    addFramesCount_ = MakeEdit(box, "AddFramesCount", QStringLiteral("0"));
    addFrames_ = MakeButton(box, "ButtonAddFrames", QStringLiteral("Add frames"));
    changeToStartFrame_ = MakeEdit(box, "ChangeToStartFrame", QStringLiteral("0"));
    changeStart_ = MakeButton(box, "ButtonChangeStart", QStringLiteral("Change start"));
    adjustStart_ = MakeCheckBox(box, "AdjustStartCheckBox", QStringLiteral("Start at current row"), true);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setSpacing(2);
    grid->addWidget(addFramesCount_, 0, 0);
    grid->addWidget(addFrames_, 0, 1);
    grid->addWidget(changeToStartFrame_, 1, 0);
    grid->addWidget(changeStart_, 1, 1);
    grid->addWidget(adjustStart_, 2, 0, 1, 2);
    return box;
}

QWidget* AdjustPage::buildExpandDelay()
{
    QGroupBox* box = MakeGroupBox(this, "GroupBoxExpandDelay", QStringLiteral("Expand delay"));
    expandDelayFrames_ = MakeEdit(box, "ExpandDelayFrames", QStringLiteral("0"));
    expandDelay_ = MakeButton(box, "BtnExpandDealy", QStringLiteral("Add frames"));
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(6, 2, 6, 4);
    column->setSpacing(2);
    column->addWidget(expandDelayFrames_);
    column->addWidget(expandDelay_);
    column->addStretch(1);
    return box;
}

} // namespace tessel::app
