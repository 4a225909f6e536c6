#include "core/subtitle_table.h"
#include "test_support.h"

#include <array>
#include <gtest/gtest.h>
#include <random>

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

// Random writes of every length, texts taken from the table itself among
// them, against plain strings; an image taken on the way keeps what the
// table held then, whatever happens to the table after.
TEST(SubtitleTable, CellWritesOfAnyLengthAndImagesStayExact)
{
    std::mt19937 random(5);
    SubtitleTable table;
    const int rows = 300;
    table.setRowCount(rows + 1);
    std::vector<std::array<std::string, SubtitleTable::CellCount>> model(rows);
    std::shared_ptr<const SubtitleTable::Image> image;
    std::vector<std::array<std::string, SubtitleTable::CellCount>> imaged;
    for (int step = 0; step < 60000; ++step) {
        const int row = 1 + static_cast<int>(random() % rows);
        const int column = static_cast<int>(random() % SubtitleTable::CellCount);
        std::string text;
        switch (random() % 4) {
        case 0:
            break; // empty
        case 1: // a cell of the same row
            table.setCell(column, row, table.cell(static_cast<int>(random() % SubtitleTable::CellCount), row));
            model[row - 1][column] = std::string(table.cell(column, row));
            continue;
        default:
            text = std::string(random() % 40, static_cast<char>('a' + random() % 26));
        }
        table.setCell(column, row, text);
        model[row - 1][column] = text;
        if (step % 20000 == 10000) {
            image = table.image();
            imaged = model;
        }
    }
    for (int row = 1; row <= rows; ++row)
        for (int c = 0; c < SubtitleTable::CellCount; ++c) {
            ASSERT_EQ(table.cell(c, row), model[row - 1][c]) << row << "," << c;
            ASSERT_EQ(image->cell(c, row), imaged[row - 1][c]) << row << "," << c;
        }
}

// An opened file takes the table's place whole: a recorder that follows such a
// replacement is told once, one that records cells is told every cell.
TEST(SubtitleTable, AReplacementIsToldWholeOnlyToRecordersThatFollowIt)
{
    struct Counting : TableRecorder {
        bool follows = false;
        int cells = 0, replaced = 0;
        void cellsChanging(int, unsigned, const std::string_view*) override { ++cells; }
        void rowsInserted(int, int) override { }
        void rowsRemoving(int, int) override { }
        void documentDataChanging(std::string_view) override { }
        bool followsReplacement() const override { return follows; }
        void tableReplaced() override { ++replaced; }
    };
    for (const bool follows : { true, false }) {
        SubtitleTable table, incoming;
        incoming.setRowCount(4);
        for (int row = 1; row < 4; ++row)
            incoming.setRow(row, std::to_string(row * 10), std::to_string(row * 10 + 5), "text", "", "", "");
        incoming.setDocumentData("kept");
        Counting recorder;
        recorder.follows = follows;
        table.addRecorder(&recorder);
        table.replaceWith(incoming);
        EXPECT_EQ(table.rowCount(), 4);
        EXPECT_EQ(table.cell(SubtitleTable::To, 3), "35");
        EXPECT_EQ(table.documentData(), "kept");
        EXPECT_EQ(recorder.replaced, follows ? 1 : 0);
        EXPECT_EQ(recorder.cells, follows ? 0 : 3);
        table.removeRecorder(&recorder);
    }
}

// A block of rows handed to the writing thread shares its text: whatever the
// reading table does next (an edit in place, rows dropped and their memory
// used again) must leave the block's cells as they were handed.
TEST(SubtitleTable, SharedRowsKeepTheirTextWhileTheSourceGoesOn)
{
    SubtitleTable source, block;
    source.setRowCount(5);
    for (int row = 1; row < 5; ++row)
        source.setRow(row, std::to_string(row), std::to_string(row + 1), "line " + std::to_string(row), "", "", "x");
    block.shareRowsOf(source, 2, 4);
    EXPECT_EQ(block.firstRow(), 2);
    EXPECT_EQ(block.rowCount(), 5);
    source.setCell(SubtitleTable::From, 4, "9"); // same length: in place unless shared
    source.setCell(SubtitleTable::Line1, 3, "a longer line 3");
    source.dropRowsBefore(4);
    for (int row = 5; row < 2000; ++row) {
        source.setRowCount(row + 1);
        source.setRow(row, "1", "2", std::string(100, 'y'), "", "", "");
        source.dropRowsBefore(row);
    }
    for (int row = 2; row <= 4; ++row) {
        EXPECT_EQ(block.cell(SubtitleTable::From, row), std::to_string(row));
        EXPECT_EQ(block.cell(SubtitleTable::Line1, row), "line " + std::to_string(row));
        EXPECT_EQ(block.cell(SubtitleTable::Extra, row), "x");
    }
    EXPECT_THROW(block.shareRowsOf(source, 1, 2), std::out_of_range);
}
