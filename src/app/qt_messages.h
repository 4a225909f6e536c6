#pragma once
#include "core/user_prompts.h"

#include <QString>

// Message boxes without an owner window, as the whole program shows them.
namespace tessel::app {

// A question the user answers with Yes or No.
class UserQuestions {
public:
    virtual ~UserQuestions() = default;
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
};

class QtMessages : public MessageSink, public UserQuestions {
public:
    void showMessage(const QString& title, const QString& text, MessageIcon icon) override;
    bool askYesNo(const QString& title, const QString& text) override;
};

inline const QString ApplicationTitle = QStringLiteral("Tessel Subtitles Editor");

} // namespace tessel::app
