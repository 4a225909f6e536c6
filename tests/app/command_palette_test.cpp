// The command palette and the Keys window in the editor's own windows,
// offscreen, and the keys file they keep.
#include "app/command_palette.h"
#include "app/commands.h"
#include "app/editor.h"
#include "app/key_settings.h"
#include "app/keys_window.h"
#include "app/main_window.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "app/timing_keys_wiring.h"
#include "fakes.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <stdexcept>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

QString keysFile()
{
    QFile file(KeysFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeKeysFile(const char* text)
{
    QDir().mkpath(QFileInfo(KeysFilePath()).path());
    QFile file(KeysFilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

class CommandWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor = std::make_unique<Editor>(
            EditorOverrides { &messages, nullptr, nullptr, nullptr, nullptr, '.' }, CreateMovieWindow);
        Fill(editor->table(), { { "0", "50", "Hello there" }, { "52", "100", "Bye." } });
        editor->history().clear(true);
        window().show();
        QApplication::setActiveWindow(&window());
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
        grid().setFocus();
        grid().selectCell(2, 1);
    }
    MainWindow& window() { return editor->mainWindow(); }
    SubtitleGrid& grid() { return window().grid(); }
    CommandRegistry& registry() { return editor->commands(); }
    QString keyOf(const char* id) { return registry().key(*registry().find(QLatin1String(id))).toString(); }
    CommandPalette* palette() { return window().findChild<CommandPalette*>(); }
    KeysWindow* keysWindow() { return window().findChild<KeysWindow*>(); }
    static QString chosen(const CommandPalette& palette)
    {
        const QTreeWidgetItem* item = palette.list()->currentItem();
        return item ? item->data(0, Qt::UserRole).toString() : QString();
    }
    static QString chosenColumn(const CommandPalette& palette, int column)
    {
        const QTreeWidgetItem* item = palette.list()->currentItem();
        return item ? item->text(column) : QString();
    }

    RecordingMessages messages;
    std::unique_ptr<Editor> editor;
};

} // namespace

TEST_F(CommandWindowsTest, ThePaletteFindsACommandByItsWordsAndRunsIt)
{
    QTest::keyClick(&grid(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_NE(palette(), nullptr);
    CommandPalette& commands = *palette();
    EXPECT_TRUE(commands.isVisible());
    EXPECT_EQ(commands.windowTitle(), "Commands");
    EXPECT_EQ(commands.shownIds().size(), static_cast<qsizetype>(registry().commands().size()));
    QTest::keyClicks(commands.search(), "next MERGE");
    EXPECT_EQ(chosen(commands), "text.merge");
    EXPECT_EQ(chosenColumn(commands, 1), "Alt+M");
    QTest::keyClick(commands.search(), Qt::Key_Return);
    EXPECT_FALSE(commands.isVisible());
    EXPECT_EQ(Rows(editor->table()), (std::vector<Row> { { "0", "100", "Hello there", "Bye.", "" } }));
    EXPECT_EQ(editor->history().undoName(), "Merge subtitles");

    // Without a movie the timing commands are there, greyed, saying why.
    QTest::keyClick(&grid(), Qt::Key_F1);
    ASSERT_TRUE(commands.isVisible());
    EXPECT_TRUE(commands.search()->text().isEmpty());
    QTest::keyClicks(commands.search(), "set start");
    EXPECT_EQ(chosen(commands), "timing.setStart");
    EXPECT_EQ(chosenColumn(commands, 1), "F8");
    EXPECT_EQ(chosenColumn(commands, 2), "needs a movie");
    EXPECT_EQ(commands.about()->text(), "Cannot run now: needs a movie");
    EXPECT_EQ(commands.list()->currentItem()->foreground(0).color(),
        commands.palette().color(QPalette::Disabled, QPalette::Text));
    QTest::keyClick(commands.search(), Qt::Key_Return);
    EXPECT_TRUE(commands.isVisible()) << "nothing ran";
    EXPECT_EQ(editor->table().rowCount(), 2);

    // Up and Down go through what is shown, from the first command whose
    // name has the words (others may match by their description only).
    commands.search()->setText(QStringLiteral("one frame"));
    const QStringList shown = commands.shownIds();
    const qsizetype first = shown.indexOf(chosen(commands));
    ASSERT_GE(first, 0);
    ASSERT_GE(shown.size(), first + 3);
    EXPECT_EQ(chosen(commands), "timing.endEarlier");
    QTest::keyClick(commands.search(), Qt::Key_Down);
    QTest::keyClick(commands.search(), Qt::Key_Down);
    EXPECT_EQ(chosen(commands), shown[first + 2]);
    QTest::keyClick(commands.search(), Qt::Key_Up);
    EXPECT_EQ(chosen(commands), shown[first + 1]);
    commands.search()->setText(QStringLiteral("nothing has these words"));
    EXPECT_TRUE(commands.shownIds().isEmpty());
    EXPECT_FALSE(commands.runChosen());
    QTest::keyClick(commands.search(), Qt::Key_Escape);
    EXPECT_FALSE(commands.isVisible());
    EXPECT_TRUE(messages.messages.empty());
}

// What a command does not handle reaches the general error report, as from its key.
TEST_F(CommandWindowsTest, ACommandRunFromThePaletteGoesThroughTheErrorReport)
{
    Command failing;
    failing.id = QStringLiteral("test.failing");
    failing.name = QStringLiteral("Fail on purpose");
    failing.description = QStringLiteral("A command that cannot do what it is asked");
    failing.run = [] { throw std::runtime_error("Nothing could be done."); };
    registry().add(std::move(failing));
    ASSERT_TRUE(registry().run(QStringLiteral("palette")));
    QTest::keyClicks(palette()->search(), "purpose fail");
    QTest::keyClick(palette()->search(), Qt::Key_Enter);
    EXPECT_EQ(messages.texts(), QStringList { "Nothing could be done." });
}

TEST(ReservedKeys, TheGridsAndTheWindowsOwnKeysCannotBeTaken)
{
    for (const char* key : { "Ctrl+C", "Ctrl+X", "Ctrl+V", "Ctrl+Shift+C", "Ctrl+Alt+V", "Del", "Shift+Del", "Ctrl+Del",
             "Tab", "Backtab", "Left", "Ctrl+Right", "Shift+Up", "Down", "Home", "Ctrl+End", "PgDown", "Return",
             "Enter", "Esc", "F2", "Alt+F4", "A", "Shift+A", "1", "Space", "Shift+?" })
        EXPECT_FALSE(ReservedKeyReason(QKeySequence(QString::fromLatin1(key))).isEmpty()) << key;
    for (const char* key :
        { "Ctrl+Shift+P", "F1", "F4", "F5", "Alt+S", "Ctrl+F", "Ctrl+Z", "Ctrl+K", "Meta+A", "Alt+1" })
        EXPECT_TRUE(ReservedKeyReason(QKeySequence(QString::fromLatin1(key))).isEmpty()) << key;
}

// A key pressed in the Keys window goes to the chosen command, unless the
// grid keeps it or another command has it; the change takes effect at once
// (keys, tooltips) and is kept in the keys file; Reset brings the defaults back.
TEST_F(CommandWindowsTest, KeysAreChangedByPressingThemAndClashesAreRefused)
{
    ASSERT_TRUE(registry().run(QStringLiteral("keys")));
    KeysWindow* keys = keysWindow();
    ASSERT_NE(keys, nullptr);
    EXPECT_TRUE(keys->isVisible());
    EXPECT_EQ(keys->windowTitle(), "Keys");
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        keys->startCapture();
        QTest::keyClick(keys->list(), key, modifiers);
        EXPECT_FALSE(keys->capturing());
        return keys->message()->text();
    };
    keys->choose(QStringLiteral("text.split"));
    EXPECT_TRUE(press(Qt::Key_C, Qt::ControlModifier).startsWith("Ctrl+C cannot be taken"));
    EXPECT_TRUE(press(Qt::Key_Tab).startsWith("Tab cannot be taken")); // not a move to the next button
    EXPECT_EQ(press(Qt::Key_M, Qt::AltModifier),
        "Alt+M is already the key of \"Merge with next\"; give that one another key first.");
    keys->startCapture();
    QTest::keyClick(keys->list(), Qt::Key_Escape);
    EXPECT_EQ(keys->message()->text(), "The key stays as it was.");
    EXPECT_EQ(keyOf("text.split"), "Alt+S");
    EXPECT_TRUE(keysFile().isEmpty()) << "nothing written yet";

    EXPECT_EQ(press(Qt::Key_X, Qt::AltModifier), "\"Split subtitle\" now has Alt+X.");
    EXPECT_EQ(keyOf("text.split"), "Alt+X");
    EXPECT_EQ(keys->list()->currentItem()->text(1), "Alt+X");
    EXPECT_EQ(keys->list()->currentItem()->text(2), "Alt+S");
    keys->choose(QStringLiteral("timing.playPause"));
    press(Qt::Key_F11);
    EXPECT_TRUE(editor->timingKeys()->keyList().contains("F11: Play or pause"));
    EXPECT_FALSE(editor->timingKeys()->keyList().contains(QRegularExpression("(^|\n)F5:")));
    keys->choose(QStringLiteral("edit.undo"));
    keys->noKeyButton()->click();
    EXPECT_EQ(keyOf("edit.undo"), "");
    EXPECT_EQ(grid().menuItemUndo()->toolTip(), "Undo the last change") << "no key to list";
    const QString file = keysFile();
    EXPECT_TRUE(file.contains("\ntext.split = Alt+X\n")) << file.toStdString();
    EXPECT_TRUE(file.contains("\ntiming.playPause = F11\n")) << file.toStdString();
    EXPECT_TRUE(file.contains("\nedit.undo = \n")) << file.toStdString();

    // The new key works in the main window; the old one no longer does.
    QApplication::setActiveWindow(&window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    grid().setFocus();
    QTest::keyClick(&grid(), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(editor->table().rowCount(), 3) << "no split";
    QTest::keyClick(&grid(), Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(editor->table().rowCount(), 4);
    EXPECT_EQ(editor->history().undoName(), "Split subtitle");

    keys->resetButton()->click();
    EXPECT_EQ(keyOf("text.split"), "Alt+S");
    EXPECT_EQ(keyOf("edit.undo"), "Ctrl+Z");
    EXPECT_EQ(grid().menuItemUndo()->toolTip(), "Undo the last change (Ctrl+Z)");
    EXPECT_TRUE(editor->timingKeys()->keyList().contains("F5: Play or pause"));
    for (const char* id : { "text.split", "timing.playPause", "edit.undo" })
        EXPECT_FALSE(keysFile().contains(QLatin1String(id))) << keysFile().toStdString();
    EXPECT_TRUE(messages.messages.empty());
}

// The user's keys come back in the next run; each line that cannot be used is
// named with its number and skipped, and the lines about no command of this
// run stay in the file when it is written again.
TEST(KeysFile, ReadWithItsBadLinesSkippedAndReported)
{
    writeKeysFile("# mine\n"
                  "text.split = Alt+X\n"
                  "text.merge Alt+Q\n"
                  "text.breakRow = Ctrl+\n"
                  "text.unbreakRow = Ctrl+C\n"
                  "somebody.else = Alt+Q\n"
                  "text.removeHi = Alt+M\n"
                  "text.tools =\r\n"
                  "edit.redo = Ctrl+R\n");
    RecordingMessages messages;
    Editor editor(EditorOverrides { &messages });
    CommandRegistry& registry = editor.commands();
    const auto key = [&](const char* id) { return KeysText(registry.keys(*registry.find(QLatin1String(id)))); };
    EXPECT_EQ(key("text.split"), "Alt+X");
    EXPECT_EQ(key("text.merge"), "Alt+M");
    EXPECT_EQ(key("text.breakRow"), "Alt+B");
    EXPECT_EQ(key("text.unbreakRow"), "Alt+U");
    EXPECT_EQ(key("text.removeHi"), "Alt+H");
    EXPECT_EQ(key("text.tools"), "");
    EXPECT_EQ(key("edit.redo"), "Ctrl+R") << "the user's key replaces both defaults";
    QApplication::processEvents(); // the report, once every command is there
    const QStringList problems = registry.keyProblems();
    ASSERT_EQ(problems.size(), 5) << problems.join('\n').toStdString();
    EXPECT_EQ(problems[0], "line 3: no \"=\" between a command and its key");
    EXPECT_EQ(problems[1], "line 4: \"Ctrl+\" is no key");
    EXPECT_TRUE(problems[2].startsWith("line 5: Ctrl+C cannot be taken")) << problems[2].toStdString();
    EXPECT_EQ(problems[3], "line 7: Alt+M is already the key of \"Merge with next\"");
    EXPECT_EQ(problems[4], "line 6: no command \"somebody.else\"");
    EXPECT_TRUE(editor.mainWindow().statusBar()->currentMessage().contains("line 4: \"Ctrl+\" is no key"));

    registry.setKey(QStringLiteral("text.merge"), QKeySequence(QStringLiteral("Alt+Q")));
    ASSERT_EQ(registry.saveKeys(), "");
    EXPECT_EQ(keysFile(),
        "# mine\n"
        "text.merge Alt+Q\n"
        "somebody.else = Alt+Q\n"
        "edit.redo = Ctrl+R\n"
        "text.split = Alt+X\n"
        "text.merge = Alt+Q\n"
        "text.tools = \n");
    EXPECT_TRUE(messages.messages.empty());
}
