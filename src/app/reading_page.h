#pragma once
#include "tools/reading_check.h"
#include "tools/reading_profile.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QPushButton;

// The "Reading" page: a delivery profile, the rules to check, the film's
// framerate and "Go!". Only the controls live here; the check is connected
// to them by the tool wiring.
namespace tessel::app {

class ReadingPage : public QWidget {
    Q_OBJECT
public:
    explicit ReadingPage(char decimalSeparator, QWidget* parent = nullptr);

    // Fills the profile choice, keeping the chosen profile when it is still there.
    void setProfiles(std::vector<ReadingProfile> profiles);
    // nullptr when there is none.
    const ReadingProfile* currentProfile() const;
    ReadingRules::RuleSet rules() const;

    // The film's cuts as frames at a framerate, for the shot-change rules;
    // nothing while no film's are known.
    using ShotChangeSource = std::function<std::optional<std::vector<int64_t>>(double framerate)>;
    void setShotChangeSource(ShotChangeSource source) { shotChanges_ = std::move(source); }
    std::optional<std::vector<int64_t>> shotChanges(double framerate) const;

    QComboBox* profile() const { return profile_; }
    QCheckBox* rule(ReadingRule rule) const { return rules_[static_cast<size_t>(rule)]; }
    QComboBox* framerate() const { return framerate_; }
    // Shows this framerate in the "FPS:" box, with the regional separator.
    void setFramerate(double framerate);
    QCheckBox* autoFix() const { return autoFix_; }
    QPushButton* go() const { return go_; }

signals:
    // Each time the page comes into view, so that new profile files show.
    void shown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showProfileSummary();

    char decimalSeparator_;
    std::vector<ReadingProfile> profiles_;
    QComboBox* profile_ = nullptr;
    std::array<QCheckBox*, ReadingRuleCount> rules_ {};
    QComboBox* framerate_ = nullptr;
    QCheckBox* autoFix_ = nullptr;
    QPushButton* go_ = nullptr;
    ShotChangeSource shotChanges_;
};

} // namespace tessel::app
