#include "test_support.h"
#include "tool_fakes.h"
#include "tools/check_dialog.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;
using tessel::test::ScriptedDialog;

namespace {

std::vector<Row> numbered(int count)
{
    std::vector<Row> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({ std::to_string(i), std::to_string(i + 1), "r" + std::to_string(i), "", "" });
    return rows;
}

} // namespace

TEST(CheckDialog, ShowsThreeNeighbouringRowsWithTheFindingMarked)
{
    struct Case {
        int rows, row;
        std::vector<std::string> shownStarts;
        int markRow;
    };
    const Case cases[] = {
        { 10, 1, { "1", "2", "3" }, 1 },
        { 10, 5, { "4", "5", "6" }, 2 },
        { 10, 10, { "8", "9", "10" }, 3 },
        { 2, 2, { "1", "2" }, 2 },
        { 2, 1, { "1", "2" }, 1 },
        { 1, 1, { "1" }, 1 },
        { 3, 3, { "1", "2", "3" }, 3 },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, numbered(c.rows));
        ScriptedDialog dialog({ CheckIgnore });
        EXPECT_TRUE(ShowCheckDialog(table, dialog, c.row, 1, "msg", ""));
        ASSERT_EQ(dialog.shown.size(), 1u);
        const CheckWindow& window = dialog.shown[0].window;
        std::vector<std::string> starts;
        for (int i = 0; i < window.rowsFilled; ++i)
            starts.push_back(window.rows[static_cast<size_t>(i)][0]);
        EXPECT_EQ(starts, c.shownStarts) << "row " << c.row << " of " << c.rows;
        EXPECT_EQ(window.markRow, c.markRow) << "row " << c.row << " of " << c.rows;
        EXPECT_EQ(window.markColumn, 1);
        EXPECT_EQ(dialog.shown[0].message, "msg");
        EXPECT_FALSE(dialog.shown[0].autoFixEnabled);
    }
}

TEST(CheckDialog, AnswersWriteBackAsTheButtonSays)
{
    struct Case {
        int answer;
        bool goesOn;
        std::vector<Row> expected;
    };
    auto original = numbered(4);
    auto edited = original;
    edited[1][2] = "edited 2";
    edited[2][4] = "edited 3";
    auto fixed = original;
    fixed[2][0] = "99";
    const Case cases[] = {
        { CheckChange, true, edited },
        { CheckAutoFix, true, fixed }, // the proposed value only; the dialog's edits are dropped
        { CheckIgnore, true, original }, { CheckCancel, false, original },
        { 7, true, original }, // any other code below Cancel changes nothing but goes on
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, original);
        ScriptedDialog dialog({ c.answer });
        dialog.edit = [](CheckWindow& window) {
            window.rows[0][2] = "edited 2";
            window.rows[1][4] = "edited 3";
        };
        EXPECT_EQ(ShowCheckDialog(table, dialog, 3, 0, "msg", "99"), c.goesOn) << c.answer;
        EXPECT_TRUE(dialog.shown[0].autoFixEnabled);
        EXPECT_EQ(Rows(table), c.expected) << c.answer;
    }
}

TEST(CheckDialog, ChangeOnASmallTableWritesOnlyItsRows)
{
    SubtitleTable table;
    Fill(table, numbered(1));
    ScriptedDialog dialog({ CheckChange });
    dialog.edit = [](CheckWindow& window) {
        window.rows[0][3] = "new";
        window.rows[1][0] = "not a row of the table";
    };
    EXPECT_TRUE(ShowCheckDialog(table, dialog, 1, 3, "msg", ""));
    EXPECT_EQ(Rows(table), (std::vector<Row> { { "1", "2", "r1", "new", "" } }));
}

// The dialog shows only the visible cells; Change must neither lose what a
// format keeps beside them nor count an unedited window as a change.
TEST(CheckDialog, ChangeKeepsTheHiddenCellOfEveryRowItWritesBack)
{
    SubtitleTable table;
    Fill(table, numbered(3));
    for (int row = 1; row <= 3; ++row)
        table.setCell(SubtitleTable::Extra, row, "style " + std::to_string(row));
    const uint64_t revision = table.revision();
    ScriptedDialog untouched({ CheckChange });
    ShowCheckDialog(table, untouched, 2, 0, "msg", "");
    EXPECT_EQ(table.revision(), revision);
    ScriptedDialog edited({ CheckChange });
    edited.edit = [](CheckWindow& window) { window.rows[1][2] = "new"; };
    ShowCheckDialog(table, edited, 2, 0, "msg", "");
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 2), "new");
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(table.cell(SubtitleTable::Extra, row), "style " + std::to_string(row)) << row;
}
