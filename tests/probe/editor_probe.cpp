// The editor as a process of its own, for the tests that kill it: the same
// windows, start-up and recovery as the program, driven through its controls.
//
//   editor_probe edit FILE STATES   opens FILE and edits it; after each change
//       STATES/<n> holds the journal's size and the table; then prints
//       "ready" and waits to be killed
//   editor_probe recover OUT        starts, answers "Recover", writes the table
//       to OUT, prints the messages it got and ends cleanly
//   editor_probe unwritable         starts, edits, prints the status bar
//   editor_probe hung               starts, edits while its slot's disk does
//       not answer (a pipe nobody reads), quits, prints how long that took
#include "app/adjust_page.h"
#include "app/editor.h"
#include "app/file_buttons.h"
#include "app/main_window.h"
#include "app/recovery_wiring.h"
#include "app/subtitle_grid.h"
#include "core/recovery_journal.h"
#include "fakes.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <clocale>
#include <filesystem>
#include <iostream>
#include <sys/stat.h>

using namespace tessel;
using namespace tessel::app;
namespace shared = tessel::test;
namespace scripted = tessel::test;

namespace {

struct Probe {
    scripted::RecordingMessages messages;
    scripted::ScriptedQuestions questions;
    scripted::ScriptedFileDialogs files;
    FixedFramerate framerate { 25 };
    std::unique_ptr<Editor> editor;

    Probe()
    {
        questions.answer = true;
        editor = std::make_unique<Editor>(EditorOverrides { &messages, &questions, &files, &framerate, nullptr, '.' });
        editor->mainWindow().show();
    }
    SubtitleGrid& grid() { return editor->mainWindow().grid(); }
    void printMessages()
    {
        for (const scripted::Message& m : messages.messages)
            std::cout << "message: " << m.text.toStdString() << std::endl;
    }
};

size_t journalSize()
{
    const std::vector<std::string> slotPaths = RecoverySlot::List(RecoveryFolder());
    if (slotPaths.size() != 1) return 0;
    std::error_code error;
    const auto size = std::filesystem::file_size(slotPaths.front() + "/journal", error);
    return error ? 0 : static_cast<size_t>(size);
}

int edit(const QString& file, const std::string& states)
{
    Probe probe;
    Editor& editor = *probe.editor;
    editor.startRecovery(RecoveryFolder());
    probe.files.openAnswers.push_back(file);
    editor.mainWindow().fileButtons().openSubtitles()->click();

    // One journal record a change: flushed and noted right after each one.
    RecoveryJournal& journal = editor.recovery()->journal();
    int written = 0;
    bool noting = true;
    auto note = [&] {
        journal.flush();
        journal.waitUntilWritten();
        shared::WriteFile(states + "/" + std::to_string(written++),
            std::to_string(journalSize()) + "\n" + shared::AllCells(editor.table()));
    };
    editor.history().addObserver([&](EditHistory::Event e) {
        if (noting && e != EditHistory::Event::Cleared && e != EditHistory::Event::Saved) note();
    });

    SubtitleGrid& grid = probe.grid();
    grid.selectCell(2, 1);
    grid.edit(grid.currentIndex());
    auto* line = grid.viewport()->findChild<QLineEdit*>();
    if (!line) return 3;
    QTest::keyClicks(line, " typed");
    QTest::keyClick(line, Qt::Key_Return);
    QApplication::processEvents();
    grid.selectCell(0, 3);
    grid.menuItemInsert()->trigger();
    grid.selectCell(3, 2);
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTest::keyClick(&grid, Qt::Key_V, Qt::ControlModifier);
    AdjustPage& adjust = editor.mainWindow().adjustPage();
    adjust.frameRateFrom()->setEditText(QStringLiteral("25"));
    adjust.frameRateTo()->setEditText(QStringLiteral("23.976"));
    adjust.frameRateGo()->click();
    grid.menuItemUndo()->trigger();
    grid.menuItemRedo()->trigger();
    grid.selectCell(0, 5);
    grid.menuItemDelete()->trigger();

    // The last one as the window does it: the timer flushes within the second.
    noting = false;
    const size_t before = journalSize();
    QTest::keyClick(&grid, Qt::Key_Delete);
    QTest::qWait(1000);
    journal.waitUntilWritten();
    if (journalSize() <= before) return 4;
    shared::WriteFile(states + "/" + std::to_string(written++),
        std::to_string(journalSize()) + "\n" + shared::AllCells(editor.table()));

    std::cout << "ready" << std::endl;
    return QApplication::exec(); // until killed
}

int recover(const std::string& out)
{
    Probe probe;
    scripted::WhenModal(QStringLiteral("RecoveryQuestion"), [](QWidget* box) {
        std::cout
            << "question: "
            << box->findChild<QObject*>(QStringLiteral("qt_msgbox_label"))->property("text").toString().toStdString()
            << std::endl;
        box->findChild<QPushButton*>(QStringLiteral("Recover"))->click();
    });
    probe.editor->startRecovery(RecoveryFolder());
    shared::WriteFile(out, shared::AllCells(probe.editor->table()));
    std::cout << "modified: " << probe.editor->history().isModified() << std::endl;
    probe.printMessages();
    return 0;
}

int unwritable()
{
    Probe probe;
    probe.editor->startRecovery(RecoveryFolder());
    probe.grid().selectCell(2, 1);
    probe.grid().menuItemInsert()->trigger();
    QTest::qWait(700);
    probe.grid().menuItemInsert()->trigger();
    std::cout << "rows: " << probe.editor->table().rowCount() << std::endl;
    std::cout << "status: " << probe.editor->mainWindow().statusBar()->currentMessage().toStdString() << std::endl;
    probe.printMessages();
    return 0;
}

int hung()
{
    Probe probe;
    probe.editor->startRecovery(RecoveryFolder());
    RecoveryJournal& journal = probe.editor->recovery()->journal();
    journal.flush();
    journal.waitUntilWritten();
    const std::vector<std::string> slotPaths = RecoverySlot::List(RecoveryFolder());
    if (slotPaths.size() != 1 || ::mkfifo((slotPaths.front() + "/snapshot.new").c_str(), 0600) != 0) return 3;
    probe.grid().selectCell(2, 1);
    probe.grid().menuItemInsert()->trigger();
    journal.flush(); // the writing thread now waits for a reader
    QTest::qWait(200);
    QElapsedTimer quitting;
    quitting.start();
    probe.editor->mainWindow().fileButtons().quit()->click(); // "lose the changes?" yes
    probe.editor.reset();
    std::cout << "quit in " << quitting.elapsed() << " ms" << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "edit" && argc == 4) return edit(QString::fromLocal8Bit(argv[2]), argv[3]);
    if (mode == "recover" && argc == 3) return recover(argv[2]);
    if (mode == "unwritable") return unwritable();
    if (mode == "hung") return hung();
    std::cerr << "usage: editor_probe edit FILE STATES | recover OUT | unwritable | hung" << std::endl;
    return 2;
}
