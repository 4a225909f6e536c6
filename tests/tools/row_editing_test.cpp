#include "test_support.h"
#include "tools/row_editing.h"

#include <Qt>
#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;

namespace {

std::vector<Row> numbered(int count)
{
    std::vector<Row> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({ std::to_string(i * 10), std::to_string(i * 10 + 5), "t" + std::to_string(i) });
    return rows;
}

} // namespace

TEST(RowEditing, DeleteIsEnabledOnlyWithMoreThanOneRow)
{
    SubtitleTable table;
    EXPECT_FALSE(CanDeleteRow(table));
    Fill(table, numbered(2));
    EXPECT_TRUE(CanDeleteRow(table));
}

TEST(RowEditing, InsertPutsANewRowInTheCurrentRowsPlace)
{
    struct Case {
        int rows, current;
        std::vector<Row> expected;
    };
    const Row fresh { "0", "0", "", "", "" };
    auto r = numbered(5);
    const Case cases[] = {
        { 5, 3, { r[0], r[1], fresh, r[2], r[3], r[4] } },
        { 5, 5, { r[0], r[1], r[2], r[3], fresh, r[4] } }, // on the last row: the last row moves down
        { 5, 1, { fresh, r[0], r[1], r[2], r[3], r[4] } },
        { 5, 0, { r[0], r[1], r[2], r[3], r[4] } }, // the header row: nothing
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, numbered(c.rows));
        InsertNewRow(table, c.current);
        std::vector<Row> expected = c.expected;
        for (Row& row : expected)
            row.resize(5);
        EXPECT_EQ(Rows(table), expected) << "current row " << c.current;
    }
}

TEST(RowEditing, DeleteMovesTheLaterRowsUp)
{
    struct Case {
        int rows, deleted;
        std::vector<int> kept;
    };
    const Case cases[] = {
        { 4, 2, { 1, 3, 4 } },
        { 4, 4, { 1, 2, 3 } },
        { 4, 0, { 1, 2, 3, 4 } },
        { 1, 1, { 1 } },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, numbered(c.rows));
        DeleteRow(table, c.deleted);
        std::vector<Row> expected;
        for (int k : c.kept)
            expected.push_back(numbered(c.rows)[static_cast<size_t>(k - 1)]);
        for (Row& row : expected)
            row.resize(5);
        EXPECT_EQ(Rows(table), expected) << "deleting " << c.deleted << " of " << c.rows;
    }
}

TEST(RowEditing, CutThenPasteMovesTextBetweenCells)
{
    SubtitleTable table;
    Fill(table, { { "1", "2", "moving" }, { "3", "4", "old" } });
    const auto clipboard = HandleCellKey(table, SubtitleTable::Line1, 1, Qt::Key_X, true, "");
    ASSERT_EQ(clipboard, std::optional<std::string>("moving"));
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "");
    EXPECT_EQ(HandleCellKey(table, SubtitleTable::Line1, 2, Qt::Key_V, true, *clipboard), std::nullopt);
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 2), "moving");
}

TEST(RowEditing, KeysActOnTheCurrentCellOnly)
{
    struct Case {
        int key;
        bool ctrl;
        std::string clipboard;
        std::optional<std::string> copied;
        std::string cellAfter;
    };
    const Case cases[] = {
        { Qt::Key_C, true, "x", "12", "12" },
        { Qt::Key_C, false, "x", std::nullopt, "12" }, // a plain C is typing, not copying
        { Qt::Key_V, true, "a\r\nb", std::nullopt, "a\r\nb" }, // line breaks stay, frame cells are not checked
        { Qt::Key_V, true, "", std::nullopt, "" }, // an empty clipboard empties the cell
        { Qt::Key_Delete, false, "x", std::nullopt, "" },
        { Qt::Key_Delete, true, "x", std::nullopt, "" },
        { Qt::Key_A, true, "x", std::nullopt, "12" },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, { { "12", "20", "text" } });
        EXPECT_EQ(HandleCellKey(table, SubtitleTable::From, 1, c.key, c.ctrl, c.clipboard), c.copied) << c.key;
        EXPECT_EQ(table.cell(SubtitleTable::From, 1), c.cellAfter) << c.key;
        EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "text");
    }
}
