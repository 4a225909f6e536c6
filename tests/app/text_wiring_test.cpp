#include "app/commands.h"
#include "app/editor.h"
#include "app/find_window.h"
#include "app/main_window.h"
#include "app/spelling_service.h"
#include "app/spelling_window.h"
#include "app/subtitle_grid.h"
#include "app/subtitle_model.h"
#include "app/text_tools_window.h"
#include "app/text_wiring.h"
#include "fakes.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

class TextWiringTest : public ::testing::Test {
protected:
    TextWiringTest()
    {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.path("config")));
        editor = std::make_unique<Editor>(EditorOverrides { &messages, &questions, &files, nullptr, nullptr, '.' });
        tools = window().findChild<TextTools*>(QStringLiteral("TextTools"));
    }
    ~TextWiringTest() override { qunsetenv("XDG_CONFIG_HOME"); }
    void start(const std::vector<Row>& rows)
    {
        Fill(editor->table(), rows);
        editor->history().clear(true);
    }
    MainWindow& window() { return editor->mainWindow(); }
    SubtitleGrid& grid() { return window().grid(); }
    bool run(const char* id) { return editor->commands().run(QString::fromLatin1(id)); }
    std::string undoName() { return editor->history().undoName(); }
    bool haveDictionary() { return !tools->spelling().language().empty(); }

    TempDir dir;
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    std::unique_ptr<Editor> editor;
    TextTools* tools = nullptr;
};

// The grid drawn, and whether any pixel of the cell's lower half is the underline's red.
bool underlined(SubtitleGrid& grid, int column, int row)
{
    const QImage image = grid.viewport()->grab().toImage();
    const QRect cell = grid.visualRect(grid.subtitleModel().index(row - 1, column));
    for (int y = cell.center().y(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            if (image.pixelColor(x, y) == QColor(220, 0, 0)) return true;
    return false;
}

} // namespace

TEST_F(TextWiringTest, EveryCommandIsRegisteredWithAKeyOfItsOwn)
{
    ASSERT_NE(tools, nullptr);
    const CommandRegistry& registry = editor->commands();
    const std::pair<const char*, const char*> keys[] = { { "text.find", "Ctrl+F" }, { "text.replace", "Ctrl+H" },
        { "text.findNext", "F3" }, { "text.findPrevious", "Shift+F3" }, { "text.spelling", "F12" },
        { "text.split", "Alt+S" }, { "text.merge", "Alt+M" }, { "text.breakRow", "Alt+B" },
        { "text.unbreakRow", "Alt+U" }, { "text.removeHi", "Alt+H" }, { "text.tools", "Alt+T" } };
    for (const auto& [id, key] : keys) {
        const Command* command = registry.find(QString::fromLatin1(id));
        ASSERT_NE(command, nullptr) << id;
        EXPECT_EQ(registry.key(*command).toString(), QString::fromLatin1(key));
        EXPECT_EQ(registry.keyClash(command->id, registry.key(*command)), nullptr) << id;
    }
    for (const char* id : { "text.breakAll", "text.unbreakAll", "text.splitLong", "text.mergeShort", "text.underline" })
        EXPECT_NE(registry.find(QString::fromLatin1(id)), nullptr) << id;
}

TEST_F(TextWiringTest, FindSelectsEachMatchAndReplaceAllIsOneStep)
{
    start({ { "0", "10", "Hello", "there" }, { "10", "20", "Nothing" }, { "20", "30", "Oh", "hello", "there" } });
    FindWindow& find = tools->findWindow();
    ASSERT_TRUE(run("text.find"));
    EXPECT_TRUE(find.isVisible());
    find.findText()->setText(QStringLiteral("hello\\nthere"));
    find.regex()->setChecked(true);
    grid().selectCell(0, 2);
    ASSERT_TRUE(run("text.findNext"));
    EXPECT_EQ(std::make_pair(grid().currentTableColumn(), grid().currentTableRow()), std::make_pair(3, 3));
    run("text.findNext"); // round to the top
    EXPECT_EQ(std::make_pair(grid().currentTableColumn(), grid().currentTableRow()), std::make_pair(2, 1));
    run("text.findPrevious");
    EXPECT_EQ(grid().currentTableRow(), 3);

    find.replaceText()->setText(QStringLiteral("bye"));
    find.listAll();
    ASSERT_EQ(find.preview()->topLevelItemCount(), 2);
    EXPECT_EQ(find.preview()->topLevelItem(1)->text(1), "Oh | hello | there");
    EXPECT_EQ(find.preview()->topLevelItem(1)->text(2), "Oh | bye");
    find.replaceAll();
    EXPECT_EQ(Rows(editor->table())[2], (Row { "20", "30", "Oh", "bye", "" }));
    EXPECT_EQ(window().statusBar()->currentMessage(), "Replaced 2 match(es) in 2 row(s).");
    EXPECT_EQ(undoName(), "Replace all");
    editor->history().undo();
    EXPECT_EQ(Rows(editor->table())[0], (Row { "0", "10", "Hello", "there", "" }));
    EXPECT_FALSE(editor->history().canUndo());

    find.matchCase()->setChecked(true);
    grid().selectCell(2, 1);
    EXPECT_TRUE(find.findNext()); // row 3's "hello"
    find.replaceOne();
    EXPECT_EQ(Rows(editor->table())[2], (Row { "20", "30", "Oh", "bye", "" }));
    EXPECT_EQ(undoName(), "Replace");
    find.findText()->setText(QStringLiteral("("));
    EXPECT_FALSE(find.findNext());
    EXPECT_TRUE(find.status()->text().startsWith("The regular expression is not valid"));
}

TEST_F(TextWiringTest, SplitAtTheCursorMergeBreakAndUnbreakAreAStepEach)
{
    start({ { "0", "50", "Hello there my friend" }, { "52", "100", "Bye." } });
    window().show();
    QApplication::setActiveWindow(&window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    grid().selectCell(2, 1);
    grid().edit(grid().currentIndex());
    auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(edit, nullptr);
    edit->setCursorPosition(12); // before "my"
    QTest::keyClick(edit, Qt::Key_S, Qt::AltModifier); // the cell editor leaves the key to the window
    // 11 and 9 characters of 48 frames: 26.4.
    EXPECT_EQ(Rows(editor->table()),
        (std::vector<Row> { { "0", "26", "Hello there", "", "" }, { "28", "50", "my friend", "", "" },
            { "52", "100", "Bye.", "", "" } }));
    EXPECT_EQ(undoName(), "Split subtitle");
    EXPECT_EQ(grid().editSession(), 0u);

    grid().selectCell(2, 2);
    run("text.merge");
    EXPECT_EQ(Rows(editor->table())[1], (Row { "28", "100", "my friend", "Bye.", "" }));
    EXPECT_EQ(undoName(), "Merge subtitles");
    run("text.unbreakRow");
    EXPECT_EQ(Rows(editor->table())[1], (Row { "28", "100", "my friend Bye.", "", "" }));
    EXPECT_EQ(undoName(), "Unbreak");
    editor->table().setCell(2, 1, "The quick brown fox jumps over the lazy dog");
    grid().selectCell(2, 1);
    run("text.breakRow");
    EXPECT_EQ(Rows(editor->table())[0], (Row { "0", "26", "The quick brown fox", "jumps over the lazy dog", "" }));
    EXPECT_EQ(undoName(), "Break lines");
    grid().selectCell(2, 2);
    EXPECT_FALSE(run("text.merge")); // the last row: nothing after it
}

TEST_F(TextWiringTest, TheTextToolsWindowPreviewsThenAppliesInOneStep)
{
    start({ { "0", "10", "[door slams]" }, { "10", "20", "JOHN: Hi." }, { "20", "30", "Fine." } });
    ASSERT_TRUE(run("text.removeHi"));
    TextToolsWindow& window = tools->toolsWindow();
    EXPECT_EQ(window.tool(), TextToolsWindow::RemoveHearingImpaired);
    window.preview();
    ASSERT_EQ(window.previewList()->topLevelItemCount(), 2);
    EXPECT_EQ(window.previewList()->topLevelItem(0)->text(2), "(removed)");
    EXPECT_EQ(Rows(editor->table()).size(), 3u); // a preview changes nothing
    window.hearingImpaired(2)->setChecked(false); // labels stay
    window.apply();
    EXPECT_EQ(Rows(editor->table()),
        (std::vector<Row> { { "10", "20", "JOHN: Hi.", "", "" }, { "20", "30", "Fine.", "", "" } }));
    EXPECT_EQ(undoName(), "Remove hearing-impaired text");
}

TEST_F(TextWiringTest, TheSpellingWindowWalksChangesAndRemembers)
{
    if (!haveDictionary()) GTEST_SKIP() << "no Hunspell dictionary installed";
    start({ { "0", "10", "<i>Thier</i> house", "is hear." }, { "10", "20", "Thier dog, Zorblax." } });
    grid().selectCell(2, 1);
    ASSERT_TRUE(run("text.spelling"));
    SpellingWindow& spelling = tools->spellingWindow();
    ASSERT_TRUE(spelling.finding());
    EXPECT_EQ(spelling.finding()->word, "Thier");
    EXPECT_GT(spelling.suggestions()->count(), 0);
    spelling.changeTo()->setText(QStringLiteral("Their"));
    spelling.changeAll();
    EXPECT_EQ(Rows(editor->table())[0][2], "<i>Their</i> house");
    EXPECT_EQ(Rows(editor->table())[1][2], "Their dog, Zorblax.");
    EXPECT_EQ(undoName(), "Change all");
    // "hear" is a word: next comes the name, made current.
    ASSERT_TRUE(spelling.finding());
    EXPECT_EQ(spelling.finding()->word, "Zorblax");
    EXPECT_EQ(std::make_pair(grid().currentTableColumn(), grid().currentTableRow()), std::make_pair(2, 2));
    spelling.addToDictionary();
    EXPECT_FALSE(spelling.finding());
    EXPECT_EQ(spelling.status()->text(), "The spelling check is complete.");
    EXPECT_EQ(ReadFile(dir.path("config/tessel/dictionaries/en_US.dic")), "Zorblax\n");
}

TEST_F(TextWiringTest, MisspelledWordsAreUnderlinedInTheCellsShown)
{
    if (!haveDictionary()) GTEST_SKIP() << "no Hunspell dictionary installed";
    start({ { "0", "10", "A wrod here", "Fine words" } });
    tools->spelling().waitForSpeller();
    window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    EXPECT_TRUE(underlined(grid(), 2, 1));
    EXPECT_FALSE(underlined(grid(), 3, 1));
    run("text.underline");
    EXPECT_FALSE(underlined(grid(), 2, 1));
}

TEST_F(TextWiringTest, IgnoreSkipsOnceIgnoreAllForTheRunAndTheChoicesAreKept)
{
    if (!haveDictionary()) GTEST_SKIP() << "no Hunspell dictionary installed";
    start({ { "0", "10", "Wrod one, wrod two" }, { "10", "20", "NASA 2nd wrod" } });
    grid().selectCell(2, 1);
    run("text.spelling");
    SpellingWindow& spelling = tools->spellingWindow();
    ASSERT_TRUE(spelling.finding());
    spelling.ignore();
    ASSERT_TRUE(spelling.finding());
    EXPECT_EQ(spelling.finding()->span.start, 10u);
    spelling.ignoreAll(); // row 2's "wrod" too; "NASA" and "2nd" are never checked
    EXPECT_FALSE(spelling.finding());
    tools->spelling().setUnderline(false);
    const SpellingService again;
    EXPECT_FALSE(again.underline());
    EXPECT_EQ(again.language(), tools->spelling().language());
    EXPECT_NE(ReadFile(dir.path("config/tessel/spelling.ini")).find("underline=false"), std::string::npos);
}

TEST_F(TextWiringTest, WholeWordsAndAllColumnsWiden)
{
    start({ { "12", "20", "a12 12" } });
    FindWindow& find = tools->findWindow();
    find.findText()->setText(QStringLiteral("12"));
    find.wholeWords()->setChecked(true);
    grid().selectCell(0, 1);
    ASSERT_TRUE(find.findNext());
    EXPECT_EQ(grid().currentTableColumn(), 2);
    find.scope()->setCurrentIndex(1);
    grid().selectCell(0, 1);
    ASSERT_TRUE(find.findNext());
    EXPECT_EQ(grid().currentTableColumn(), 0);
}

// Pictures for the README: TESSEL_SHOTS_DIR=docs under Xvfb.
TEST_F(TextWiringTest, Screenshots)
{
    const QString folder = qEnvironmentVariable("TESSEL_SHOTS_DIR");
    if (folder.isEmpty() || !haveDictionary()) GTEST_SKIP() << "TESSEL_SHOTS_DIR not set";
    start({ { "25", "120", "<i>I can't belive you did that,</i>", "Jonathan." },
        { "130", "200", "We're runing out of time!" },
        { "210", "260", "- Where's the recieve form?", "- In the drawer." },
        { "270", "330", "Don't worry, it's a small thing." }, { "340", "400", "Thier house is over there." } });
    tools->spelling().waitForSpeller();
    window().show();
    grid().selectCell(2, 1);
    run("text.spelling");
    const auto shoot = [&](QWidget& side, const QString& name) {
        QTest::qWait(200);
        const QPixmap main = window().grab(), other = side.grab();
        QImage picture(
            main.width() + other.width() + 12, std::max(main.height(), other.height()), QImage::Format_RGB32);
        picture.fill(QColor(90, 90, 90));
        QPainter painter(&picture);
        painter.drawPixmap(0, 0, main);
        painter.drawPixmap(main.width() + 12, 0, other);
        painter.end();
        EXPECT_TRUE(picture.save(folder + QLatin1Char('/') + name));
    };
    shoot(tools->spellingWindow(), QStringLiteral("screenshot-spelling.png"));
    tools->spellingWindow().close();
    run("text.replace");
    FindWindow& find = tools->findWindow();
    find.findText()->setText(QStringLiteral("\\?\\n- "));
    find.replaceText()->setText(QStringLiteral("? "));
    find.regex()->setChecked(true);
    find.listAll();
    find.findNext();
    shoot(find, QStringLiteral("screenshot-find.png"));
}
