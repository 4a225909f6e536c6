#pragma once
#include <functional>

namespace tessel {
class MessageSink;
}

// The application's general error report: every command handler runs through
// it, so an error the command does not handle itself ends that command and is
// shown with its text, and nothing escapes into the event loop.
namespace tessel::app {

class ErrorReport {
public:
    explicit ErrorReport(MessageSink& messages)
        : messages_(&messages)
    {
    }
    void setMessages(MessageSink& messages) { messages_ = &messages; }

    // Whatever the command changed before the error stays changed.
    void run(const std::function<void()>& command) noexcept;

private:
    MessageSink* messages_;
};

} // namespace tessel::app
