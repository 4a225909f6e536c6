#pragma once
#include "core/user_prompts.h"
#include "tools/check_dialog.h"
#include "tools/check_run.h"

#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Stand-ins for what the program asks of the user (messages, the check
// dialog), for the movie and for the font, shared by every test.
namespace tessel::test {

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

// One finding as the dialog saw it.
struct Shown {
    CheckWindow window;
    std::string message;
    bool autoFixEnabled;
};

// Answers each finding of a check with the next scripted code (`fallback`
// once they run out); `edit` may change the window's cells before a Change.
class ScriptedCheckDialog : public CheckDialogView {
public:
    explicit ScriptedCheckDialog(std::vector<int> answers = {}, int fallback = CheckIgnore)
        : answers_(std::move(answers))
        , fallback_(fallback)
    {
    }
    int Exec(CheckWindow& window, const QString& message, bool autoFixEnabled) override;
    std::vector<Shown> shown;
    std::function<void(CheckWindow&)> edit;

private:
    std::vector<int> answers_;
    int fallback_;
    size_t next_ = 0;
};

class CountingPause : public VideoPause {
public:
    void Pause() override { ++pauses; }
    int pauses = 0;
};

// 10 pixels per character.
class TenPixelFont : public TextMeasurer {
public:
    int Width(const std::string& utf8Text) override;
};

// Everything a check needs, wired together.
struct CheckFixture {
    ScriptedCheckDialog dialog;
    CountingPause video;
    RecordingMessages messages;
    CheckServices services() { return CheckServices { dialog, video, messages }; }
};

} // namespace tessel::test

// Readable failure messages for Qt's texts and geometry.
void PrintTo(const QString& text, std::ostream* out);
void PrintTo(const QPoint& point, std::ostream* out);
void PrintTo(const QSize& size, std::ostream* out);
void PrintTo(const QRect& rect, std::ostream* out);
