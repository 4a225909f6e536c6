// The editor's own window on a large file: opening it after the framerate
// prompt, then each Adjust and Repair button and the undo of each, every time
// up to the grid painted again. Run by hand (offscreen or under Xvfb):
//
//   window_tools_bench SUBRIP_FILE [FRAMERATE]
#include "app/adjust_page.h"
#include "app/editor.h"
#include "app/file_actions.h"
#include "app/main_window.h"
#include "app/repair_page.h"
#include "app/subtitle_grid.h"
#include "core/edit_history.h"
#include "core/user_prompts.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <functional>

using namespace tessel;
using namespace tessel::app;

namespace {

class PrintedMessages : public MessageSink {
public:
    void showMessage(const QString& title, const QString& text, MessageIcon) override
    {
        std::fprintf(stderr, "  (%s: %s)\n", qPrintable(title), qPrintable(text.left(100)));
    }
};

// Wall milliseconds of `action` and of the repaint it causes.
double timed(QWidget& grid, const std::function<void()>& action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    grid.repaint();
    QApplication::processEvents();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_tools_bench SUBRIP_FILE [FRAMERATE]\n");
        return 2;
    }
    PrintedMessages messages;
    FixedFramerate framerate(argc > 2 ? std::atof(argv[2]) : 25);
    EditorOverrides overrides;
    overrides.messages = &messages;
    overrides.framerate = &framerate;
    overrides.decimalSeparator = '.';
    Editor editor(overrides);
    MainWindow& window = editor.mainWindow();
    window.show();
    QApplication::processEvents();
    SubtitleGrid& grid = window.grid();

    std::printf("| in the window | ms | its undo, ms |\n| --- | ---: | ---: |\n");
    const double open = timed(grid, [&] { editor.fileActions().openFile(QString::fromLocal8Bit(argv[1])); });
    std::printf("| open after the framerate prompt (%d rows) | %.0f | |\n", editor.table().rowCount() - 1, open);

    if (qEnvironmentVariableIsSet("WINDOW_BENCH_OPEN_ONLY")) return 0; // for profiling the opening
    AdjustPage& adjust = window.adjustPage();
    RepairPage& repair = window.repairPage();
    const auto measure = [&](const char* name, const std::function<void()>& action) {
        const size_t steps = editor.history().undoCount();
        const double done = timed(grid, action);
        if (editor.history().undoCount() == steps) {
            std::printf("| %s | %.0f | (no change) |\n", name, done);
            return;
        }
        const double undone = timed(grid, [&] { editor.history().undo(); });
        std::printf("| %s | %.0f | %.0f |\n", name, done, undone);
    };
    measure("framerate conversion 25 -> 23.976", [&] {
        adjust.frameRateFrom()->setEditText(QStringLiteral("25"));
        adjust.frameRateTo()->setEditText(QStringLiteral("23.976"));
        adjust.frameRateGo()->click();
    });
    measure("add frames 100", [&] {
        adjust.addFramesCount()->setText(QStringLiteral("100"));
        adjust.addFrames()->click();
    });
    measure("change start to 1000", [&] {
        adjust.changeToStartFrame()->setText(QStringLiteral("1000"));
        adjust.changeStart()->click();
    });
    measure("expand delay 10", [&] {
        adjust.expandDelayFrames()->setText(QStringLiteral("10"));
        adjust.expandDelay()->click();
    });
    QListWidget* items = repair.autoRepairList();
    for (int i = 0; i < items->count(); ++i) {
        for (int k = 0; k < items->count(); ++k)
            items->item(k)->setCheckState(k == i ? Qt::Checked : Qt::Unchecked);
        const QByteArray name = "auto-repair item " + QByteArray::number(i);
        measure(name.constData(), [&] { repair.autoRepairGo()->click(); });
    }
    measure("user replace: the -> a", [&] {
        repair.replaceFrom()->setText(QStringLiteral("the"));
        repair.replaceTo()->setText(QStringLiteral("a"));
        repair.replaceGo()->click();
    });
    return 0;
}
