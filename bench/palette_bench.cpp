// The command palette with many commands: opening it (every command listed
// with its key and state) and each keystroke of a search, up to the list
// painted again. Run by hand (offscreen or under Xvfb):
//
//   palette_bench [COMMANDS]      (default 500)
#include "app/command_palette.h"
#include "app/commands.h"
#include "app/editor.h"
#include "app/main_window.h"
#include "core/user_prompts.h"

#include <QApplication>
#include <QLineEdit>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tessel;
using namespace tessel::app;

namespace {

class QuietMessages : public MessageSink {
public:
    void showMessage(const QString&, const QString&, MessageIcon) override { }
};

double timed(QWidget& painted, const std::function<void()>& action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    painted.repaint();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    QuietMessages messages;
    Editor editor(EditorOverrides { &messages });
    editor.mainWindow().show();
    // Names and descriptions of the length and spread of the real ones.
    const char* const verbs[] = { "Set", "Move", "Split", "Merge", "Check", "Show", "Open", "Find", "Mark", "Snap" };
    const char* const things[] = { "start", "end", "subtitle", "original", "shot change", "waveform", "picture",
        "spelling", "reading speed", "translation", "sync point", "track" };
    for (int i = 0; i < count; ++i) {
        Command command;
        command.id = QStringLiteral("bench.%1").arg(i);
        command.name
            = QStringLiteral("%1 %2 %3").arg(QLatin1String(verbs[i % 10]), QLatin1String(things[i % 12])).arg(i);
        command.description = QStringLiteral("Does what %1 says to the current row, the selection or the whole "
                                             "table, with one undo step")
                                  .arg(command.name);
        if (i % 3 == 0) command.unavailable = [] { return QStringLiteral("needs a movie"); };
        command.run = [] {};
        editor.commands().add(std::move(command));
    }
    std::printf("%zu commands\n", editor.commands().commands().size());
    std::vector<double> opens, keystrokes;
    for (int round = 0; round < 5; ++round) {
        editor.commands().run(QStringLiteral("palette"));
        auto* palette = editor.mainWindow().findChild<CommandPalette*>();
        palette->hide();
        opens.push_back(timed(*palette->list(), [&] { palette->open(); }));
        QString typed;
        for (const QChar c : QStringLiteral("snap shot end")) {
            typed += c;
            keystrokes.push_back(timed(*palette->list(), [&] { palette->search()->setText(typed); }));
        }
        palette->hide();
    }
    std::printf("open (list built, painted): median %.2f ms, worst %.2f ms\n", median(opens),
        *std::max_element(opens.begin(), opens.end()));
    std::printf("a keystroke (filtered, painted): median %.2f ms, worst %.2f ms\n", median(keystrokes),
        *std::max_element(keystrokes.begin(), keystrokes.end()));
    return 0;
}
