#include "app/reading_wiring.h"

#include "app/file_actions.h"
#include "app/main_window.h"
#include "app/reading_page.h"
#include "app/tool_wiring.h"
#include "core/numbers.h"
#include "tools/reading_check.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <memory>

namespace tessel::app {
namespace {

const QString InvalidFramerateMessage = QStringLiteral("Invalid framerate!");

// Profile files that could not be used are told once, at the next "Go!",
// and again only when what is wrong changes.
struct ProfileState {
    QString problems;
    QString told;
};

void loadProfiles(ReadingPage& page, ProfileState& state)
{
    ProfileList list = LoadProfiles();
    state.problems.clear();
    for (const ProfileProblem& problem : list.problems)
        state.problems += QStringLiteral("\n") + QString::fromStdString(problem.text());
    page.setProfiles(std::move(list.profiles));
}

void tellProblems(MessageSink& messages, ProfileState& state)
{
    if (state.problems == state.told) return;
    state.told = state.problems;
    if (state.problems.isEmpty()) return;
    messages.showMessage(QStringLiteral("Error"), QStringLiteral("These profile files were skipped:") + state.problems,
        MessageIcon::Warning);
}

void checkReading(const ToolContext& context, ProfileState& state)
{
    ReadingPage& page = context.mainWindow.readingPage();
    tellProblems(context.messages, state);
    const ReadingProfile* profile = page.currentProfile();
    if (!profile) return;
    const std::optional<double> framerate
        = TryStrToFloat(page.framerate()->currentText().toStdString(), context.decimalSeparator);
    if (!framerate || !(*framerate > 0)) {
        context.messages.showError(InvalidFramerateMessage);
        return;
    }
    ReadingRules rules(*profile, *framerate, page.rules());
    if (std::optional<std::vector<int64_t>> cuts = page.shotChanges(*framerate)) rules.setShotChanges(std::move(*cuts));
    NoVideo noVideo;
    const CheckServices services { context.checkDialog, context.video ? *context.video : noVideo, context.messages };
    EditHistory::Step step(context.history, "Check reading speed");
    CheckReading(context.table, rules, page.autoFix()->isChecked(), services, context.decimalSeparator);
}

} // namespace

void FollowDocumentFramerate(ReadingPage& page, FileActions& files)
{
    files.addDocumentCallback([&page](const RecoveryDocument& document) {
        if (document.framerate > 0) page.setFramerate(document.framerate);
    });
}

void WireReadingPage(const ToolContext& context)
{
    ReadingPage& page = context.mainWindow.readingPage();
    auto state = std::make_shared<ProfileState>();
    loadProfiles(page, *state);
    QObject::connect(&page, &ReadingPage::shown, &page, [&page, state] { loadProfiles(page, *state); });
    ConnectGuarded(
        context.errors, page.go(), &QPushButton::clicked, [context, state] { checkReading(context, *state); });
}

} // namespace tessel::app
