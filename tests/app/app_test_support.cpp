#include "app_test_support.h"

#include <QApplication>
#include <QTimer>

namespace tessel::app::test {

QStringList RecordingMessages::texts() const
{
    QStringList list;
    for (const Message& m : messages)
        list << m.text;
    return list;
}

std::optional<QString> ScriptedFileDialogs::chooseSubtitleFile()
{
    ++opensShown;
    if (openAnswers.empty()) return std::nullopt;
    std::optional<QString> answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

std::optional<SaveChoice> ScriptedFileDialogs::chooseSaveFile()
{
    if (saveAnswers.empty()) return std::nullopt;
    std::optional<SaveChoice> answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

void WhenModal(const QString& name, std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, name, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || (!name.isEmpty() && modal->objectName() != name)) return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

std::string MicroDvdLines(int first, int count)
{
    std::string text;
    for (int n = first; n < first + count; ++n)
        text += "{" + std::to_string(n * 10) + "}{" + std::to_string(n * 10 + 5) + "}Line " + std::to_string(n) + "\n";
    return text;
}

} // namespace tessel::app::test
