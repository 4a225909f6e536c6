#include "app/error_report.h"

#include "app/qt_messages.h"

#include <exception>

namespace tessel::app {

void ErrorReport::run(const std::function<void()>& command) noexcept
{
    QString text;
    try {
        command();
        return;
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("An unknown error ended the command.");
    }
    try {
        messages_->showMessage(ApplicationTitle, text, MessageIcon::Error);
    } catch (...) {
        // A report that cannot be shown must not take the program down.
    }
}

} // namespace tessel::app
