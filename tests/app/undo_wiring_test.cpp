#include "app/adjust_page.h"
#include "app/check_page.h"
#include "app/editor.h"
#include "app/file_actions.h"
#include "app/file_buttons.h"
#include "app/main_window.h"
#include "app/repair_page.h"
#include "app/subtitle_grid.h"
#include "fakes.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;

namespace {

class UndoWiringTest : public ::testing::Test {
protected:
    UndoWiringTest()
    {
        EditorOverrides o { &messages, &questions, &files, &framerate, nullptr, '.' };
        o.checkDialog = &checks;
        editor = std::make_unique<Editor>(o);
        QGuiApplication::clipboard()->clear();
    }
    void start(const std::vector<Row>& rows)
    {
        Fill(table(), rows);
        editor->history().clear(true);
    }
    SubtitleTable& table() { return editor->table(); }
    MainWindow& window() { return editor->mainWindow(); }
    SubtitleGrid& grid() { return window().grid(); }
    EditHistory& history() { return editor->history(); }
    // The keys go to the focused grid of the active window.
    void focusGrid()
    {
        window().show();
        QApplication::setActiveWindow(&window());
        grid().setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    QLineEdit* openEditor(int column, int row)
    {
        grid().selectCell(column, row);
        grid().edit(grid().currentIndex());
        auto* edit = grid().viewport()->findChild<QLineEdit*>();
        EXPECT_NE(edit, nullptr);
        if (edit) edit->setFocus();
        return edit;
    }
    std::pair<QString, bool> undoItem()
    {
        openMenu();
        return { grid().menuItemUndo()->text(), grid().menuItemUndo()->isEnabled() };
    }
    std::pair<QString, bool> redoItem()
    {
        openMenu();
        return { grid().menuItemRedo()->text(), grid().menuItemRedo()->isEnabled() };
    }
    void openMenu()
    {
        grid().popupMenu()->popup(grid().viewport()->mapToGlobal(QPoint(10, 10)));
        grid().popupMenu()->close();
    }

    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    FixedFramerate framerate { 25 };
    tessel::test::ScriptedCheckDialog checks;
    std::unique_ptr<Editor> editor;
};

std::vector<Row> Numbered(int count)
{
    std::vector<Row> rows;
    for (int n = 1; n <= count; ++n)
        rows.push_back({ std::to_string(n * 100), std::to_string(n * 100 + 50), "Line " + std::to_string(n), "", "" });
    return rows;
}

} // namespace

TEST_F(UndoWiringTest, TheKeysUndoAndRedoWhileTheGridHasTheFocus)
{
    start(Numbered(3));
    focusGrid();
    grid().selectCell(2, 2);
    press(Qt::Key_X, Qt::ControlModifier);
    ASSERT_EQ(table().cell(2, 2), "");
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(table().cell(2, 2), "Line 2");
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(table().cell(2, 2), "");
    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(table().cell(2, 2), "");
    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Z, Qt::ControlModifier); // nothing more to undo
    EXPECT_EQ(Rows(table()), Numbered(3));
    EXPECT_TRUE(messages.messages.empty());
}

// One step for everything typed while the editor is open; its own keys undo
// the text in the editor, not the table's history.
TEST_F(UndoWiringTest, AllTypingInOneCellEditorIsOneStep)
{
    start(Numbered(2));
    focusGrid();
    QLineEdit* edit = openEditor(2, 1);
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, "Hello");
    EXPECT_EQ(table().cell(2, 1), "Hello");
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier); // the editor's own undo
    EXPECT_EQ(edit->text(), table().text(2, 1));
    EXPECT_NE(table().cell(2, 1), "Hello");
    QTest::keyClicks(edit, "Hi");
    const std::string typed(table().cell(2, 1));
    QTest::keyClick(edit, Qt::Key_Return);
    QApplication::processEvents(); // the editor closes after its key
    EXPECT_EQ(history().undoCount(), 1u);
    EXPECT_EQ(undoItem(), std::make_pair(QStringLiteral("Undo Edit cell"), true));

    grid().setFocus();
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(table().cell(2, 1), "Line 1");
    press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(table().cell(2, 1), typed);
}

TEST_F(UndoWiringTest, EscapePutsBackTheTextTheCellHadWhenItsEditorOpened)
{
    start(Numbered(2));
    focusGrid();
    grid().selectCell(3, 2);
    press(Qt::Key_V, Qt::ControlModifier); // an earlier step: the empty clipboard empties nothing
    QGuiApplication::clipboard()->setText(QStringLiteral("pasted"));
    press(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(table().cell(3, 2), "pasted");

    QLineEdit* edit = openEditor(3, 2);
    ASSERT_NE(edit, nullptr);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClicks(edit, " and typed");
    ASSERT_EQ(table().cell(3, 2), "pasted and typed");
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(table().cell(3, 2), "pasted");
    EXPECT_EQ(grid().editSession(), 0u) << "the editor closed";
    EXPECT_EQ(undoItem(), std::make_pair(QStringLiteral("Undo Paste"), true));
    EXPECT_EQ(redoItem(), std::make_pair(QStringLiteral("Redo"), false)) << "nothing typed is left to redo";
    EXPECT_TRUE(history().isModified());
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Rows(table()), Numbered(2));
    EXPECT_FALSE(history().isModified());
}

TEST_F(UndoWiringTest, ThePopupItemsComeBelowTheOthersAndNameTheSteps)
{
    start(Numbered(3));
    const QList<QAction*> items = grid().popupMenu()->actions();
    ASSERT_GE(items.size(), 7); // the registry's commands come after these
    EXPECT_EQ(items[3]->text(), "&Cancel");
    EXPECT_TRUE(items[4]->isSeparator());
    EXPECT_EQ(items[5], grid().menuItemUndo());
    EXPECT_EQ(items[6], grid().menuItemRedo());
    EXPECT_EQ(undoItem(), std::make_pair(QStringLiteral("Undo"), false));
    EXPECT_EQ(redoItem(), std::make_pair(QStringLiteral("Redo"), false));

    grid().selectCell(0, 2);
    grid().menuItemInsert()->trigger();
    EXPECT_EQ(undoItem(), std::make_pair(QStringLiteral("Undo Insert new row"), true));
    grid().menuItemUndo()->trigger();
    EXPECT_EQ(Rows(table()), Numbered(3));
    EXPECT_EQ(undoItem(), std::make_pair(QStringLiteral("Undo"), false));
    EXPECT_EQ(redoItem(), std::make_pair(QStringLiteral("Redo Insert new row"), true));
    grid().menuItemRedo()->trigger();
    EXPECT_EQ(table().rowCount(), 5);
    EXPECT_EQ(table().cell(0, 2), "0");
}

// Each command of the window is one step of its own name, undone in one go.
TEST_F(UndoWiringTest, EveryCommandIsOneNamedStep)
{
    struct Command {
        const char* name;
        std::function<void()> run;
    };
    tessel::test::TempDir dir;
    tessel::test::WriteFile(dir.path("more.sub"), MicroDvdLines(10, 3));
    AdjustPage& adjust = window().adjustPage();
    RepairPage& repair = window().repairPage();
    CheckPage& check = window().checkPage();
    const std::vector<Command> commands = {
        { "Framerate convert",
            [&] {
                adjust.frameRateFrom()->setEditText(QStringLiteral("25"));
                adjust.frameRateTo()->setEditText(QStringLiteral("30"));
                adjust.frameRateGo()->click();
            } },
        { "Add frames",
            [&] {
                adjust.addFramesCount()->setText(QStringLiteral("-7"));
                adjust.addFrames()->click();
            } },
        { "Change start",
            [&] {
                adjust.changeToStartFrame()->setText(QStringLiteral("1000"));
                adjust.changeStart()->click();
            } },
        { "Expand delay",
            [&] {
                adjust.expandDelayFrames()->setText(QStringLiteral("20"));
                adjust.expandDelay()->click();
            } },
        { "Replace",
            [&] {
                repair.replaceFrom()->setText(QStringLiteral("line"));
                repair.replaceTo()->setText(QStringLiteral("row"));
                repair.replaceGo()->click();
            } },
        { "Auto-Repair",
            [&] {
                for (int i : { 0, 1, 6 })
                    repair.autoRepairList()->item(i)->setCheckState(Qt::Checked);
                repair.autoRepairGo()->click();
            } },
        { "Check subtitles timing",
            [&] {
                check.timingAutoFix()->setChecked(true);
                check.checkTimingNow()->click();
                check.timingAutoFix()->setChecked(false);
            } },
        { "Append subtitles",
            [&] {
                files.openAnswers.push_back(QString::fromStdString(dir.path("more.sub")));
                window().fileButtons().appendSubtitles()->click();
            } },
        { "Delete selected row", [&] { grid().menuItemDelete()->trigger(); } },
    };
    for (const Command& command : commands) {
        start({ { "100", "150", "[music]", "line one" }, { "140", "150", "" }, { "300", "301", "l line l" } });
        grid().selectCell(0, 2);
        const std::vector<Row> before = Rows(table());
        command.run();
        const std::vector<Row> after = Rows(table());
        ASSERT_NE(after, before) << command.name;
        EXPECT_EQ(history().undoCount(), 1u) << command.name;
        EXPECT_EQ(history().undoName(), command.name);
        grid().menuItemUndo()->trigger();
        EXPECT_EQ(Rows(table()), before) << command.name;
        EXPECT_FALSE(history().isModified()) << command.name;
        grid().menuItemRedo()->trigger();
        EXPECT_EQ(Rows(table()), after) << command.name;
    }
    for (const Message& m : messages.messages)
        EXPECT_NE(m.icon, MessageIcon::Error) << m.text.toStdString();
}

// Answers given before a Cancel stay, and one undo takes back all of them.
TEST_F(UndoWiringTest, OneCheckRunIsOneStepUpToItsCancel)
{
    start({ { "100", "200", "a" }, { "150", "300", "b" }, { "250", "400", "c" }, { "390", "500", "d" } });
    checks = tessel::test::ScriptedCheckDialog({ CheckAutoFix, CheckAutoFix, CheckCancel });
    window().checkPage().checkTimingNow()->click();
    ASSERT_EQ(checks.shown.size(), 3u);
    EXPECT_EQ(table().cell(0, 2), "201");
    EXPECT_EQ(table().cell(0, 3), "301");
    EXPECT_EQ(table().cell(0, 4), "390");
    EXPECT_EQ(history().undoCount(), 1u);
    grid().menuItemUndo()->trigger();
    EXPECT_EQ(table().cell(0, 2), "150");
    EXPECT_EQ(table().cell(0, 3), "250");
}

TEST_F(UndoWiringTest, UndoMakesTheFirstChangedCellCurrentAndShowsIt)
{
    start(Numbered(300));
    window().show();
    grid().selectCell(2, 250);
    window().adjustPage().addFramesCount()->setText(QStringLiteral("5"));
    window().adjustPage().addFrames()->click(); // rows 250 to 300
    grid().selectCell(4, 1);
    grid().scrollToTop();
    grid().menuItemUndo()->trigger();
    EXPECT_EQ(grid().currentTableRow(), 250);
    EXPECT_EQ(grid().currentTableColumn(), 0);
    EXPECT_TRUE(grid().viewport()->rect().contains(grid().visualRect(grid().currentIndex())));
    grid().selectCell(4, 1);
    grid().menuItemRedo()->trigger();
    EXPECT_EQ(grid().currentTableRow(), 250);
}

// The question about unsaved changes comes only when the table differs from
// what was opened or saved.
TEST_F(UndoWiringTest, OnlyARealChangeAsksBeforeItIsLost)
{
    tessel::test::TempDir dir;
    tessel::test::WriteFile(dir.path("a.sub"), MicroDvdLines(1, 5));
    const QString file = QString::fromStdString(dir.path("a.sub"));
    files.openAnswers.push_back(file);
    window().fileButtons().openSubtitles()->click();
    ASSERT_EQ(table().rowCount(), 6);
    EXPECT_FALSE(history().canUndo()) << "Open starts a new history";

    window().repairPage().replaceFrom()->setText(QStringLiteral("nothing like this"));
    window().repairPage().replaceGo()->click();
    EXPECT_FALSE(editor->fileActions().isModified()) << "a tool that changed nothing";
    grid().selectCell(2, 3);
    grid().menuItemDelete()->trigger();
    EXPECT_TRUE(editor->fileActions().isModified());
    grid().menuItemUndo()->trigger();
    EXPECT_FALSE(editor->fileActions().isModified()) << "undone back to what was opened";

    window().show();
    window().close();
    EXPECT_TRUE(questions.asked.isEmpty());
    EXPECT_FALSE(window().isVisible());
}
