#pragma once
#include "app/file_dialogs.h"
#include "app/qt_messages.h"
#include "fakes.h"
#include "preview/playback_sync.h"
#include "preview/video_dialog.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>

// Scripted stand-ins for the user and for the grid, shared by the window and
// movie preview tests.
namespace tessel::test {

class ScriptedQuestions : public app::UserQuestions {
public:
    bool askYesNo(const QString&, const QString& text) override
    {
        asked << text;
        return answer;
    }
    bool answer = false;
    QStringList asked;
};

class ScriptedFileDialogs : public app::SubtitleFileDialogs {
public:
    std::optional<QString> chooseSubtitleFile() override;
    std::optional<app::SaveChoice> chooseSaveFile() override;
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<app::SaveChoice>> saveAnswers;
    int opensShown = 0;
};

// "Open movie": answers with `answer` and notes what it was shown.
class ScriptedVideoDialog : public OpenFileDialog {
public:
    std::optional<QString> Execute(const QString& title, const QStringList& nameFilters) override;
    std::optional<QString> answer;
    QString title;
    QStringList filters;
    int shown = 0;
};

// The grid as playback sees it, without a grid.
class FakeGridView : public SubtitleGridView {
public:
    int currentRow() const override { return current; }
    void selectCellQuietly(int column, int row) override;
    int topRow() const override { return top; }
    void setTopRow(int row) override { top = row; }
    int visibleRowCount() const override { return visible; }
    int current = 1;
    int top = 1;
    int visible = 10;
    int quietSelections = 0;
    int lastQuietColumn = -1;
};

// Runs `action` on the next modal window whose object name is `name` (any
// modal window for an empty name) once it is shown, polling every 10 ms.
void WhenModal(const QString& name, std::function<void(QWidget*)> action);

// Finds a named child, failing the test when it is missing.
template <typename T> T* Child(const QWidget& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

std::string MicroDvdLines(int first, int count); // "{n}{n+1}Line n" lines

// Why windows here are not on an X screen whose window manager frames them,
// or nothing when they are. Run such tests with tests/with-window-manager.
std::optional<QString> MissingWindowManager();

// The window's frame as the X server has it: the window manager's frame
// window around it, where Qt's own report of the frame comes and goes. Qt's
// report where there is no X screen.
QRect ManagerFrame(const QWidget& window);

} // namespace tessel::test

// Skips the test without an X screen and a window manager; fails it instead
// where one was promised (TESSEL_REQUIRE_WINDOW_MANAGER set).
#define REQUIRE_WINDOW_MANAGER()                                                                                       \
    do {                                                                                                               \
        if (const std::optional<QString> missing = tessel::test::MissingWindowManager()) {                             \
            if (qEnvironmentVariableIsSet("TESSEL_REQUIRE_WINDOW_MANAGER")) FAIL() << missing->toStdString();          \
            GTEST_SKIP() << missing->toStdString();                                                                    \
        }                                                                                                              \
    } while (false)
