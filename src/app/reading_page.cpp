#include "app/reading_page.h"

#include "app/regional.h"
#include "app/widget_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessel::app {
namespace {

constexpr std::array<const char*, ReadingRuleCount> RuleBoxNames
    = { "ChkBoxReadingSpeed", "ChkBoxLineLength", "ChkBoxLineCount", "ChkBoxMinDuration", "ChkBoxMaxDuration",
          "ChkBoxMinGap", "ChkBoxShotChangeIn", "ChkBoxShotChangeOut" };
constexpr int RuleColumns = 3;
constexpr int RuleRows = (ReadingRuleCount + RuleColumns - 1) / RuleColumns;

QString fromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

ReadingPage::ReadingPage(char decimalSeparator, QWidget* parent)
    : QWidget(parent)
    , decimalSeparator_(decimalSeparator)
{
    setObjectName(QStringLiteral("TabSheetReading"));
    QGroupBox* box = MakeGroupBox(this, "GroupBoxReadingCheck", QStringLiteral("Check reading speed and layout"));
    profile_ = MakeDropDownList(box, "ReadingProfileDropDown", {}, -1);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setSpacing(2);
    grid->addWidget(MakeLabel(box, "LabelReadingProfile", QStringLiteral("Profile:")), 0, 0);
    grid->addWidget(profile_, 0, 1, 1, 3);
    for (int i = 0; i < ReadingRuleCount; ++i) {
        const QString caption = fromUtf8(ReadingRuleCaption(static_cast<ReadingRule>(i)));
        rules_[static_cast<size_t>(i)] = MakeCheckBox(box, RuleBoxNames[static_cast<size_t>(i)], caption, true);
        grid->addWidget(rules_[static_cast<size_t>(i)], 1 + i / RuleColumns, 1 + i % RuleColumns);
    }
    const QString shots = QStringLiteral("Checked against the shot changes of the movie open, when the profile has "
                                         "the rule");
    rule(ReadingRule::ShotChangeIn)->setToolTip(shots);
    rule(ReadingRule::ShotChangeOut)->setToolTip(shots);
    const QStringList presets = FrameratePresets(decimalSeparator);
    framerate_ = MakeEditableDropDown(box, "ReadingFPSDropDown", presets, presets.first());
    framerate_->setToolTip(QStringLiteral("The film's framerate: frames become seconds at this rate"));
    autoFix_ = MakeCheckBox(box, "ChkBoxReadingAutoFix", QStringLiteral("Auto-fix"), false);
    autoFix_->setToolTip(QStringLiteral("Apply every safe correction at once; ask only about the rest"));
    go_ = MakeButton(box, "ButtonReadingGo", QStringLiteral("Go!"));
    go_->setToolTip(QStringLiteral("Check every subtitle against the profile (one undo step)"));
    grid->addWidget(MakeLabel(box, "LabelReadingFPS", QStringLiteral("FPS:")), 1 + RuleRows, 0);
    grid->addWidget(framerate_, 1 + RuleRows, 1);
    grid->addWidget(autoFix_, 1 + RuleRows, 2);
    grid->addWidget(go_, 1 + RuleRows, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(box);
    layout->addStretch(1);
    connect(profile_, &QComboBox::currentIndexChanged, this, &ReadingPage::showProfileSummary);
}

void ReadingPage::setProfiles(std::vector<ReadingProfile> profiles)
{
    const QString chosen = profile_->currentText();
    profiles_ = std::move(profiles);
    QSignalBlocker blocker(profile_);
    profile_->clear();
    for (const ReadingProfile& p : profiles_)
        profile_->addItem(QString::fromStdString(p.name));
    profile_->setCurrentIndex(std::max(0, profile_->findText(chosen)));
    blocker.unblock();
    showProfileSummary();
}

void ReadingPage::setFramerate(double framerate)
{
    framerate_->setEditText(
        QString::number(framerate, 'g', 15).replace(QLatin1Char('.'), QLatin1Char(decimalSeparator_)));
}

const ReadingProfile* ReadingPage::currentProfile() const
{
    const int index = profile_->currentIndex();
    return index >= 0 && index < static_cast<int>(profiles_.size()) ? &profiles_[static_cast<size_t>(index)] : nullptr;
}

ReadingRules::RuleSet ReadingPage::rules() const
{
    ReadingRules::RuleSet set {};
    for (size_t i = 0; i < set.size(); ++i)
        set[i] = rules_[i]->isChecked();
    return set;
}

std::optional<std::vector<int64_t>> ReadingPage::shotChanges(double framerate) const
{
    return shotChanges_ ? shotChanges_(framerate) : std::nullopt;
}

void ReadingPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit shown();
}

void ReadingPage::showProfileSummary()
{
    const ReadingProfile* p = currentProfile();
    profile_->setToolTip(p ? QString::fromStdString(ProfileSummary(*p) + "\n" + p->origin) : QString());
}

} // namespace tessel::app
