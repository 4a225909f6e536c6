#pragma once
#include "app/file_dialogs.h"
#include "app/qt_messages.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

// Scripted stand-ins for the user, shared by the window tests.
namespace tessel::app::test {

struct Message {
    QString title, text;
    MessageIcon icon;
};

class RecordingMessages : public MessageSink {
public:
    void showMessage(const QString& title, const QString& text, MessageIcon icon) override
    {
        messages.push_back({ title, text, icon });
    }
    QStringList texts() const;
    std::vector<Message> messages;
};

class ScriptedQuestions : public UserQuestions {
public:
    bool askYesNo(const QString&, const QString& text) override
    {
        asked << text;
        return answer;
    }
    bool answer = false;
    QStringList asked;
};

class ScriptedFileDialogs : public SubtitleFileDialogs {
public:
    std::optional<QString> chooseSubtitleFile() override;
    std::optional<SaveChoice> chooseSaveFile() override;
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<SaveChoice>> saveAnswers;
    int opensShown = 0;
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

} // namespace tessel::app::test
