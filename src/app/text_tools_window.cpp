#include "app/text_tools_window.h"

#include "app/main_window.h"
#include "app/text_support.h"
#include "app/widget_helpers.h"
#include "tools/hearing_impaired.h"
#include "tools/line_breaking.h"
#include "tools/split_merge.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

namespace tessel::app {
namespace {

constexpr const char* ToolNames[]
    = { "Break lines", "Unbreak", "Split long subtitles", "Merge short rows", "Remove hearing-impaired text" };

QSpinBox* spin(QWidget* parent, const char* name, int low, int high, int value, const QString& suffix = {})
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

int framesOf(int milliseconds, double framerate)
{
    return static_cast<int>(std::lround(milliseconds * framerate / 1000.0));
}

} // namespace

const char* TextToolsWindow::ToolName(Tool tool) { return ToolNames[tool]; }

TextToolsWindow::TextToolsWindow(const ToolContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , context_(context)
{
    setObjectName(QStringLiteral("FormTextTools"));
    setWindowTitle(QStringLiteral("Text tools"));
    QStringList names;
    for (const char* n : ToolNames)
        names << QString::fromLatin1(n);
    tool_ = MakeDropDownList(this, "TextToolDropDown", names, 0);
    profile_ = MakeLabel(this, "LabelTextToolProfile", QString());

    lineOptions_ = new QWidget(this);
    auto* lineForm = new QHBoxLayout(lineOptions_);
    lineForm->setContentsMargins(0, 0, 0, 0);
    chars_ = spin(lineOptions_, "SpinCharsPerLine", 1, 1000, 42);
    lines_ = spin(lineOptions_, "SpinLines", 1, TextLineCount, 2);
    lineForm->addWidget(MakeLabel(lineOptions_, "LabelCharsPerLine", QStringLiteral("Characters per line:")));
    lineForm->addWidget(chars_);
    lineForm->addWidget(MakeLabel(lineOptions_, "LabelLines", QStringLiteral("Lines:")));
    lineForm->addWidget(lines_);
    lineForm->addStretch(1);

    mergeOptions_ = new QWidget(this);
    auto* mergeForm = new QHBoxLayout(mergeOptions_);
    mergeForm->setContentsMargins(0, 0, 0, 0);
    shorterThan_ = spin(mergeOptions_, "SpinShorterThan", 1, 60000, 1000, QStringLiteral(" ms"));
    gapUnder_ = spin(mergeOptions_, "SpinGapUnder", 0, 60000, 250, QStringLiteral(" ms"));
    mergeForm->addWidget(MakeLabel(mergeOptions_, "LabelShorterThan", QStringLiteral("Shown for less than:")));
    mergeForm->addWidget(shorterThan_);
    mergeForm->addWidget(MakeLabel(mergeOptions_, "LabelGapUnder", QStringLiteral("next within:")));
    mergeForm->addWidget(gapUnder_);
    mergeForm->addStretch(1);

    hiOptions_ = new QWidget(this);
    auto* hiForm = new QHBoxLayout(hiOptions_);
    hiForm->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char*, const char*> hi[] = { { "ChkBoxHiBrackets", "[Brackets]" },
        { "ChkBoxHiParentheses", "(Parentheses)" }, { "ChkBoxHiLabels", "LABELS:" },
        { "ChkBoxHiMusicSigns", "\u266A lines" }, { "ChkBoxHiSungLines", "\u266A Sung lines \u266A" } };
    const HearingImpairedOptions defaults;
    const bool ticked[]
        = { defaults.brackets, defaults.parentheses, defaults.speakerLabels, defaults.musicSigns, defaults.sungLines };
    for (size_t i = 0; i < hi_.size(); ++i) {
        hi_[i] = MakeCheckBox(hiOptions_, hi[i].first, QString::fromUtf8(hi[i].second), ticked[i]);
        hiForm->addWidget(hi_[i]);
    }
    hi_[3]->setToolTip(QStringLiteral("Lines of music signs alone"));
    hi_[4]->setToolTip(QStringLiteral("Lines that start or end with a music sign: lyrics"));
    hiForm->addStretch(1);

    auto* previewButton = MakeButton(this, "ButtonTextToolPreview", QStringLiteral("Preview"));
    auto* applyButton = MakeButton(this, "ButtonTextToolApply", QStringLiteral("Apply"));
    applyButton->setToolTip(QStringLiteral("Make every change (one undo step)"));
    list_ = MakePreviewList(this, "TextToolPreviewList");
    status_ = MakeLabel(this, "LabelTextToolStatus", QString());

    auto* top = new QHBoxLayout;
    top->addWidget(MakeLabel(this, "LabelTextTool", QStringLiteral("Tool:")));
    top->addWidget(tool_, 1);
    top->addWidget(previewButton);
    top->addWidget(applyButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(profile_);
    layout->addWidget(lineOptions_);
    layout->addWidget(mergeOptions_);
    layout->addWidget(hiOptions_);
    layout->addWidget(list_, 1);
    layout->addWidget(status_);
    resize(640, 380);

    connect(tool_, &QComboBox::currentIndexChanged, this, [this] {
        showOptions();
        list_->clear();
        status_->clear();
    });
    ConnectGuarded(context_.errors, previewButton, &QPushButton::clicked, [this] { preview(); });
    ConnectGuarded(context_.errors, applyButton, &QPushButton::clicked, [this] { apply(); });
    ConnectGuarded(context_.errors, list_, &QTreeWidget::itemActivated, [this] {
        if (QTreeWidgetItem* item = list_->currentItem())
            GoToCell(context_, SubtitleTable::Line1, item->data(0, Qt::UserRole).toInt());
    });
    showOptions();
}

TextToolsWindow::Tool TextToolsWindow::tool() const { return static_cast<Tool>(tool_->currentIndex()); }

void TextToolsWindow::showOptions()
{
    const Tool t = tool();
    lineOptions_->setVisible(t != RemoveHearingImpaired);
    lines_->setEnabled(t == BreakLines || t == SplitLong || t == MergeShort);
    mergeOptions_->setVisible(t == MergeShort);
    hiOptions_->setVisible(t == RemoveHearingImpaired);
}

void TextToolsWindow::open(Tool tool)
{
    tool_->setCurrentIndex(tool);
    if (const auto settings = CurrentTextToolSettings(context_)) {
        const LineLimits limits = LineLimitsOf(settings->profile);
        chars_->setValue(limits.charsPerLine);
        lines_->setValue(limits.lines);
        profile_->setText(QStringLiteral("Profile: %1, at %2 fps (the Reading page's)")
                              .arg(QString::fromStdString(settings->profile.name))
                              .arg(settings->framerate));
    }
    show();
    raise();
    activateWindow();
}

std::optional<std::vector<RowChange>> TextToolsWindow::plan(QString& note)
{
    const auto settings = CurrentTextToolSettings(context_);
    if (!settings) return std::nullopt;
    const LineLimits limits { chars_->value(), lines_->value() };
    switch (tool()) {
    case BreakLines:
        return PlanBreakLines(context_.table, limits);
    case Unbreak:
        return PlanUnbreak(context_.table, limits.charsPerLine);
    case SplitLong: {
        SplitLongPlan split
            = PlanSplitLong(context_.table, limits, MinGapFrames(settings->profile, settings->framerate));
        if (!split.tooShort.empty())
            note = QStringLiteral(" %1 subtitle(s) too short to split, the first in row %2.")
                       .arg(split.tooShort.size())
                       .arg(split.tooShort.front());
        return std::move(split.changes);
    }
    case MergeShort:
        return PlanMergeShort(context_.table,
            MergeShortOptions { framesOf(shorterThan_->value(), settings->framerate),
                framesOf(gapUnder_->value(), settings->framerate), limits });
    case RemoveHearingImpaired:
        return PlanRemoveHearingImpaired(context_.table,
            HearingImpairedOptions { hi_[0]->isChecked(), hi_[1]->isChecked(), hi_[2]->isChecked(), hi_[3]->isChecked(),
                hi_[4]->isChecked() });
    }
    return std::nullopt;
}

void TextToolsWindow::preview()
{
    QString note;
    const auto changes = plan(note);
    if (!changes) return;
    FillPreview(list_, context_.table, *changes);
    status_->setText(QStringLiteral("%1 change(s).").arg(changes->size()) + note);
}

void TextToolsWindow::apply()
{
    QString note;
    const auto changes = plan(note);
    if (!changes) return;
    ApplyTextChanges(context_, ToolName(tool()), *changes);
    list_->clear();
    const QString done
        = QStringLiteral("%1: %2 change(s).").arg(QString::fromLatin1(ToolName(tool()))).arg(changes->size());
    status_->setText(done + note);
    ShowStatus(context_, done);
}

} // namespace tessel::app
