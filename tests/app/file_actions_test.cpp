#include "app/commands.h"
#include "app/editor.h"
#include "app/file_actions.h"
#include "app/main_window.h"
#include "app/reading_page.h"
#include "app/subtitle_grid.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QStatusBar>
#include <QTest>
#include <deque>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::Rows;
using tessel::test::TempDir;
using tessel::test::WriteFile;

namespace {

class FileActionsTest : public ::testing::Test {
protected:
    FileActionsTest() { editor.mainWindow().show(); }

    QString file(const std::string& name, const std::string& content)
    {
        WriteFile(dir.path(name), content);
        return QString::fromStdString(dir.path(name));
    }
    void click(const char* name) { Child<QAbstractButton>(editor.mainWindow(), name)->click(); }
    void open(const QString& name)
    {
        files.openAnswers.push_back(name);
        click("ButtonOpenSubtitles");
    }
    void append(const QString& name)
    {
        files.openAnswers.push_back(name);
        click("ButtonAppendSubtitles");
    }

    TempDir dir;
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    FixedFramerate framerate { 25 };
    FixedExportSettings exportSettings { SsaExportAnswer { SsaExportSettings {}, QStringLiteral("25") } };
    Editor editor { EditorOverrides { &messages, &questions, &files, &framerate, &exportSettings, '.' } };
    SubtitleTable& table = editor.table();
    SubtitleGrid& grid = editor.mainWindow().grid();
};

} // namespace

TEST_F(FileActionsTest, OpenReplacesEveryRowOfTheOldTable)
{
    open(file("big.sub", MicroDvdLines(1, 500)));
    ASSERT_EQ(table.rowCount(), 501);
    open(file("three.sub", "{1}{2}a\n{3}{4}b|c\n{5}{6}d\n"));
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(Rows(table),
        (std::vector<tessel::test::Row> {
            { "1", "2", "a", "", "" }, { "3", "4", "b", "c", "" }, { "5", "6", "d", "", "" } }));
    EXPECT_EQ(grid.model()->rowCount(), 3);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(FileActionsTest, AppendSelectsTheFirstNewRowWithTwoRowsAboveIt)
{
    open(file("twenty.sub", MicroDvdLines(1, 20)));
    ASSERT_EQ(table.rowCount(), 21);
    append(file("ten.sub", MicroDvdLines(21, 10)));
    EXPECT_EQ(table.rowCount(), 31);
    EXPECT_EQ(table.cell(2, 21), "Line 21");
    EXPECT_EQ(table.cell(2, 30), "Line 30");
    EXPECT_EQ(grid.currentTableRow(), 21);
    EXPECT_EQ(grid.currentTableColumn(), 0);
    EXPECT_EQ(grid.topRow(), 19);
}

TEST_F(FileActionsTest, AppendToAFreshTableFillsFromRowOneAndSelectsNothing)
{
    grid.selectCell(3, 1);
    append(file("two.sub", MicroDvdLines(1, 2)));
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.cell(2, 1), "Line 1");
    EXPECT_EQ(grid.currentTableColumn(), 3);
    EXPECT_EQ(grid.topRow(), 1);
}

TEST_F(FileActionsTest, UnknownFormatIsReportedAndTheTableKept)
{
    open(file("two.sub", MicroDvdLines(1, 2)));
    open(file("notes.txt", "just some notes\n"));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].title, "Error");
    EXPECT_EQ(messages.messages[0].text, "Unknow subtitles format.");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(table.rowCount(), 3);
}

TEST_F(FileActionsTest, CancelledDialogsDoNothing)
{
    open(file("two.sub", MicroDvdLines(1, 2)));
    files.openAnswers.push_back(std::nullopt);
    click("ButtonOpenSubtitles");
    files.saveAnswers.push_back(std::nullopt);
    click("ButtonSaveSubtitles");
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(FileActionsTest, SaveWritesTheChosenTypeUnderTheChosenName)
{
    open(file("one.sub", "{10}{15}Hello|World\n"));
    const std::string target = dir.path("out.srt");
    files.saveAnswers.push_back(SaveChoice { QString::fromStdString(target), 2 });
    click("ButtonSaveSubtitles");
    EXPECT_EQ(tessel::test::ReadFile(target), "1\r\n00:00:00,400 --> 00:00:00,600\r\nHello\r\nWorld\r\n\r\n");
    EXPECT_EQ(framerate.timesAsked(), 1);
}

TEST_F(FileActionsTest, OpenAsksBeforeLosingEditsAndNoKeepsThem)
{
    open(file("two.sub", MicroDvdLines(1, 2)));
    EXPECT_FALSE(editor.fileActions().isModified());
    table.setCell(2, 1, "edited");
    EXPECT_TRUE(editor.fileActions().isModified());
    questions.answer = false;
    const int shownBefore = files.opensShown;
    click("ButtonOpenSubtitles");
    EXPECT_EQ(questions.asked.size(), 1);
    EXPECT_EQ(files.opensShown, shownBefore); // no dialog after No
    EXPECT_EQ(table.cell(2, 1), "edited");

    questions.answer = true;
    open(file("three.sub", MicroDvdLines(1, 3)));
    EXPECT_EQ(questions.asked.size(), 2);
    EXPECT_EQ(table.cell(2, 1), "Line 1");
    EXPECT_FALSE(editor.fileActions().isModified());
}

TEST_F(FileActionsTest, AppendNeverAsksAndLeavesTheTableModified)
{
    open(file("two.sub", MicroDvdLines(1, 2)));
    table.setCell(2, 1, "edited");
    append(file("more.sub", MicroDvdLines(3, 2)));
    EXPECT_TRUE(questions.asked.isEmpty());
    EXPECT_TRUE(editor.fileActions().isModified());
}

TEST_F(FileActionsTest, SavingMakesTheTableUnmodified)
{
    table.setCell(0, 1, "1");
    table.setCell(1, 1, "2");
    ASSERT_TRUE(editor.fileActions().isModified());
    files.saveAnswers.push_back(SaveChoice { QString::fromStdString(dir.path("out.sub")), 1 });
    click("ButtonSaveSubtitles");
    EXPECT_FALSE(editor.fileActions().isModified());
}

TEST_F(FileActionsTest, AFailedSaveLeavesTheTableModified)
{
    table.setCell(2, 1, "text");
    files.saveAnswers.push_back(SaveChoice { QString::fromStdString(dir.path("missing/folder/out.sub")), 1 });
    click("ButtonSaveSubtitles");
    EXPECT_EQ(messages.texts(), QStringList({ "Subtiles file can't be saved!" }));
    EXPECT_TRUE(editor.fileActions().isModified());
}

TEST_F(FileActionsTest, AnOpenThatStoresNothingKeepsTheModifiedState)
{
    table.setCell(2, 1, "edited");
    questions.answer = true;
    open(file("styles.ssa", "[Script Info]\nTitle: none\n"));
    EXPECT_EQ(table.cell(2, 1), "edited");
    EXPECT_TRUE(editor.fileActions().isModified());
}

// A file that cannot be read to its end is refused whole: the table, its
// unsaved state and its history stay as they were before Open. A file whose
// bad cues were skipped says which lines in the status bar.
TEST_F(FileActionsTest, AReadingErrorPartWayLeavesTheTableAsItWasBeforeOpen)
{
    open(file("two.sub", MicroDvdLines(1, 2)));
    {
        EditHistory::Step step(editor.history(), "Edit cell");
        table.setCell(2, 1, "edited");
    }
    const std::string before = AllCells(table);
    questions.answer = true;
    open(file("cut.srt",
        "1\r\n00:00:01,000 --> 00:00:02,000\r\nOne\r\n\r\n2\r\n99999999999:00:05,000 --> 00:00:06,000\r\nTwo\r\n"));
    ASSERT_EQ(messages.texts(), QStringList { "'99999999999' is not a valid integer value" });
    EXPECT_EQ(AllCells(table), before);
    EXPECT_TRUE(editor.fileActions().isModified());
    EXPECT_EQ(editor.history().undoName(), "Edit cell");
    EXPECT_EQ(editor.fileActions().document().fileName, dir.path("two.sub"));

    open(file("a.vtt", "WEBVTT\n\n00:01.000 --> 00:02.000\nOne\n\n00:0x.000 --> 00:04.000\nlost\n"));
    EXPECT_EQ(Rows(table), (std::vector<tessel::test::Row> { { "25", "50", "One", "", "" } }));
    EXPECT_EQ(editor.mainWindow().statusBar()->currentMessage(),
        "Line 6 could not be read as a subtitle and was skipped; a save as WebVTT writes it back.");
}

// Ctrl+S writes the table's own file in the format it was opened in, through
// the same save (the framerate asked again); with no file yet it asks where,
// and from then on saves there in the type chosen.
TEST_F(FileActionsTest, CtrlSSavesToTheDocumentInItsOwnFormat)
{
    editor.mainWindow().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor.mainWindow()));
    const auto ctrlS = [&] { QTest::keyClick(&grid, Qt::Key_S, Qt::ControlModifier); };
    ctrlS(); // nothing to save to yet: the dialog, cancelled
    EXPECT_TRUE(messages.messages.empty());

    const QString offset = file("offset.srt", "1\r\n00:00:01,000 --> 00:00:02,000\r\nOne\r\n\r\n");
    open(offset);
    {
        EditHistory::Step step(editor.history(), "Edit cell");
        table.setCell(2, 1, "Uno");
    }
    ctrlS();
    EXPECT_EQ(ReadFile(offset.toStdString()), "1\r\n00:00:01,000 --> 00:00:02,000\r\nUno\r\n\r\n");
    EXPECT_EQ(framerate.timesAsked(), 2);
    EXPECT_FALSE(editor.fileActions().isModified());

    const QString script = file("a.ass",
        "[Script Info]\nScriptType: v4.00+\n\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, "
        "MarginR, MarginV, Effect, Text\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,One\n");
    open(script);
    table.setCell(2, 1, "Uno");
    ctrlS(); // kept whole: no export settings asked
    EXPECT_EQ(ReadFile(script.toStdString()),
        "[Script Info]\nScriptType: v4.00+\n\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, "
        "MarginR, MarginV, Effect, Text\nDialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Uno\n");

    Editor fresh { EditorOverrides { &messages, &questions, &files, &framerate, &exportSettings, '.' } };
    const std::string chosen = dir.path("new.sub");
    files.saveAnswers.push_back(SaveChoice { QString::fromStdString(chosen), 1 });
    fresh.table().setRow(1, "10", "20", "first", "", "");
    ASSERT_TRUE(fresh.commands().run(QStringLiteral("file.save")));
    EXPECT_EQ(ReadFile(chosen), "{10}{20}first\r\n");
    fresh.table().setCell(2, 1, "again");
    ASSERT_TRUE(fresh.commands().run(QStringLiteral("file.save"))); // no answer left: no dialog
    EXPECT_EQ(ReadFile(chosen), "{10}{20}again\r\n");
    EXPECT_TRUE(messages.messages.empty());
}

// The Reading page's framerate starts at the one the table was read or last
// written with; a file read without one leaves it.
TEST_F(FileActionsTest, TheReadingPageTakesTheFramerateOfTheLastReadOrWrite)
{
    struct Rates : FramerateSource {
        std::deque<double> answers;
        double ChooseFramerate(const QString&, const QString&) override
        {
            const double rate = answers.front();
            answers.pop_front();
            return rate;
        }
    } rates;
    rates.answers = { 25, 29.97 };
    FixedExportSettings settings { SsaExportAnswer { SsaExportSettings {}, QStringLiteral("24") } };
    Editor other { EditorOverrides { &messages, &questions, &files, &rates, &settings, ',' } };
    const QComboBox* shown = other.mainWindow().readingPage().framerate();
    EXPECT_EQ(shown->currentText(), "23,976");
    other.fileActions().openFile(file("offset.srt", "1\r\n00:00:01,000 --> 00:00:02,000\r\nOne\r\n\r\n"));
    EXPECT_EQ(shown->currentText(), "25");
    other.fileActions().openFile(file("frames.sub", "{25}{50}One\r\n"));
    EXPECT_EQ(shown->currentText(), "25");
    files.saveAnswers.push_back(SaveChoice { QString::fromStdString(dir.path("out.srt")), 2 });
    other.fileActions().saveSubtitles();
    EXPECT_EQ(shown->currentText(), "29,97");
    files.saveAnswers.push_back(SaveChoice { QString::fromStdString(dir.path("out.ssa")), 8 });
    other.fileActions().saveSubtitles();
    EXPECT_EQ(shown->currentText(), "24");
    EXPECT_TRUE(messages.messages.empty());
}
