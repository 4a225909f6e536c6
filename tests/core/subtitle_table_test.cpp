#include "core/subtitle_table.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Fill;
using test::Rows;

TEST(SubtitleTable, StartsWithHeaderAndOneEmptyRow)
{
    SubtitleTable table;
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(table.cell(0, 0), "From");
    EXPECT_EQ(table.cell(4, 0), "Line 3");
    EXPECT_EQ(table.cell(2, 1), "");
}

TEST(SubtitleTable, RowCountGrowsAndCutsWithItsCells)
{
    SubtitleTable table;
    Fill(table, { { "1", "2", "a" }, { "3", "4", "b" }, { "5", "6", "c" } });
    table.setRowCount(2);
    table.setRowCount(4);
    EXPECT_EQ(Rows(table),
        (std::vector<test::Row> { { "1", "2", "a", "", "" }, { "", "", "", "", "" }, { "", "", "", "", "" } }));
    table.setRowCount(0);
    EXPECT_EQ(table.rowCount(), 2);
}

TEST(SubtitleTable, CellWritesChangeOnlyThatCell)
{
    SubtitleTable table;
    Fill(table, { { "1", "2", "abc", "de", "f" } });
    table.setCell(SubtitleTable::Line1, 1, "longer text");
    table.setCell(SubtitleTable::From, 1, "");
    EXPECT_EQ(Rows(table)[0], (test::Row { "", "2", "longer text", "de", "f" }));
}

TEST(SubtitleTable, RemoveRowsKeepsTheFirstWhenAllGo)
{
    SubtitleTable table;
    Fill(table, { { "1" }, { "2" }, { "3" } });
    EXPECT_EQ(table.removeRowsWhere([](int) { return true; }), 2);
    EXPECT_EQ(Rows(table), (std::vector<test::Row> { { "1", "", "", "", "" } }));
    Fill(table, { { "1" }, { "2" }, { "3" }, { "4" } });
    table.removeRowsWhere([](int row) { return row % 2 == 0; });
    EXPECT_EQ(Rows(table).size(), 2u);
    EXPECT_EQ(table.cell(0, 2), "3");
}

TEST(SubtitleTable, RevisionCountsChanges)
{
    SubtitleTable table;
    const auto before = table.revision();
    table.setCell(0, 1, "5");
    EXPECT_GT(table.revision(), before);
}
