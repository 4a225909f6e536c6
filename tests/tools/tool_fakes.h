#pragma once
#include "core/user_prompts.h"
#include "tools/check_dialog.h"
#include "tools/check_run.h"

#include <functional>
#include <string>
#include <vector>

// Stand-ins for the window's dialogs, the movie and the font, shared by the tool tests.
namespace tessel::test {

struct Message {
    std::string title, text;
    MessageIcon icon;
};

class RecordingMessages : public MessageSink {
public:
    void showMessage(const QString& title, const QString& text, MessageIcon icon) override
    {
        messages.push_back({ title.toStdString(), text.toStdString(), icon });
    }
    std::vector<Message> messages;
};

// One finding as the dialog saw it.
struct Shown {
    CheckWindow window;
    std::string message;
    bool autoFixEnabled;
};

// Answers each finding with the next scripted code (`fallback` once they
// run out); `edit` may change the window's cells before a Change.
class ScriptedDialog : public CheckDialogView {
public:
    explicit ScriptedDialog(std::vector<int> answers = {}, int fallback = CheckIgnore)
        : answers_(std::move(answers))
        , fallback_(fallback)
    {
    }
    int Exec(CheckWindow& window, const QString& message, bool autoFixEnabled) override
    {
        shown.push_back({ window, message.toStdString(), autoFixEnabled });
        if (edit) edit(window);
        return next_ < answers_.size() ? answers_[next_++] : fallback_;
    }
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
    int Width(const std::string& utf8Text) override
    {
        int characters = 0;
        for (char c : utf8Text)
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
        return 10 * characters;
    }
};

// Everything a check needs, wired together.
struct CheckFixture {
    ScriptedDialog dialog;
    CountingPause video;
    RecordingMessages messages;
    CheckServices services() { return CheckServices { dialog, video, messages }; }
};

} // namespace tessel::test
