#include "app/editor.h"
#include "app/main_window.h"
#include "app/subtitle_grid.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAction>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;

namespace {

class GridEditingWiringTest : public ::testing::Test {
protected:
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    Editor editor { EditorOverrides { &messages, &questions, &files, nullptr, nullptr, ',' } };
    SubtitleTable& table = editor.table();
    SubtitleGrid& grid = editor.mainWindow().grid();

    void SetUp() override { QGuiApplication::clipboard()->clear(); }

    bool deleteEnabledWhenMenuOpens()
    {
        grid.popupMenu()->popup(grid.viewport()->mapToGlobal(QPoint(10, 10)));
        const bool enabled = grid.menuItemDelete()->isEnabled();
        grid.popupMenu()->close();
        return enabled;
    }
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&grid, Qt::Key(key), modifiers);
    }
    std::pair<int, int> currentCell() const { return { grid.currentTableColumn(), grid.currentTableRow() }; }
};

std::vector<Row> Numbered(int count)
{
    std::vector<Row> rows;
    for (int n = 1; n <= count; ++n)
        rows.push_back({ std::to_string(n), std::to_string(n), "Line " + std::to_string(n), "", "" });
    return rows;
}

} // namespace

TEST_F(GridEditingWiringTest, DeleteIsOfferedOnlyWithMoreThanOneRow)
{
    Fill(table, Numbered(1));
    EXPECT_FALSE(deleteEnabledWhenMenuOpens());
    Fill(table, Numbered(2));
    EXPECT_TRUE(deleteEnabledWhenMenuOpens());
    EXPECT_TRUE(grid.menuItemInsert()->isEnabled());
}

TEST_F(GridEditingWiringTest, InsertPutsANewRowAtTheCurrentRowAndStaysThere)
{
    Fill(table, Numbered(5));
    grid.selectCell(2, 3);
    grid.menuItemInsert()->trigger();
    std::vector<Row> expected = Numbered(5);
    expected.insert(expected.begin() + 2, Row { "0", "0", "", "", "" });
    EXPECT_EQ(Rows(table), expected);
    EXPECT_EQ(currentCell(), std::make_pair(2, 3));
}

TEST_F(GridEditingWiringTest, DeleteRemovesTheCurrentRowAndKeepsTheCellIndex)
{
    Fill(table, Numbered(4));
    grid.selectCell(3, 2);
    grid.menuItemDelete()->trigger();
    EXPECT_EQ(Rows(table), (std::vector<Row> { Numbered(4)[0], Numbered(4)[2], Numbered(4)[3] }));
    EXPECT_EQ(currentCell(), std::make_pair(3, 2));

    grid.selectCell(1, 3); // the last row: the one before it becomes current
    grid.menuItemDelete()->trigger();
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(currentCell(), std::make_pair(1, 2));
}

TEST_F(GridEditingWiringTest, TheLastRowCannotBeDeleted)
{
    Fill(table, Numbered(1));
    grid.selectCell(2, 1);
    grid.menuItemDelete()->trigger();
    EXPECT_EQ(Rows(table), Numbered(1));
}

TEST_F(GridEditingWiringTest, CutOnOneCellAndPasteOnAnotherMovesTheText)
{
    Fill(table, { { "10", "20", "Hello", "", "" }, { "30", "40", "World", "", "" } });
    grid.selectCell(2, 1);
    press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(table.cell(2, 1), "");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Hello");
    grid.selectCell(3, 2);
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Rows(table), (std::vector<Row> { { "10", "20", "", "", "" }, { "30", "40", "World", "Hello", "" } }));
}

TEST_F(GridEditingWiringTest, CopyLeavesTheCellAndPasteWritesFrameCellsToo)
{
    Fill(table, { { "10", "20", "Grüße", "", "" } });
    grid.selectCell(2, 1);
    press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Grüße"));
    grid.selectCell(0, 1);
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Rows(table)[0], (Row { "Grüße", "20", "Grüße", "", "" }));
}

TEST_F(GridEditingWiringTest, DeleteEmptiesTheCellWhateverTheModifiers)
{
    const Qt::KeyboardModifiers modifiers[]
        = { Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier };
    for (Qt::KeyboardModifiers held : modifiers) {
        Fill(table, { { "10", "20", "Hello", "There", "" } });
        grid.selectCell(3, 1);
        press(Qt::Key_Delete, held);
        EXPECT_EQ(Rows(table)[0], (Row { "10", "20", "Hello", "", "" })) << held;
    }
}

TEST_F(GridEditingWiringTest, PasteWithAnEmptyClipboardEmptiesTheCell)
{
    Fill(table, { { "10", "20", "Hello", "", "" } });
    grid.selectCell(2, 1);
    press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(table.cell(2, 1), "");
}

TEST_F(GridEditingWiringTest, AnOpenCellEditorKeepsItsOwnKeys)
{
    Fill(table, { { "10", "20", "Hello", "", "" } });
    editor.mainWindow().show();
    grid.selectCell(2, 1);
    grid.edit(grid.currentIndex());
    auto* edit = grid.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Delete); // nothing right of the cursor
    QTest::keyClick(edit, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier); // copies the selected "o" only
    EXPECT_EQ(table.cell(2, 1), "Hello");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "o");
}
