#include "test_support.h"
#include "tools/repair.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;

namespace {

// Only the three text cells of a one-row table.
Row textAfter(const Row& lines, void (*repair)(SubtitleTable&))
{
    SubtitleTable table;
    Row row { "1", "2" };
    row.insert(row.end(), lines.begin(), lines.end());
    Fill(table, { row });
    repair(table);
    Row after = Rows(table)[0];
    EXPECT_EQ(after[0], "1");
    EXPECT_EQ(after[1], "2");
    return Row(after.begin() + 2, after.end());
}

} // namespace

TEST(AutoRepair, CaptionsAreListedInIndexOrder)
{
    const std::array<std::string_view, 7> expected = {
        "Remove [captions]",
        "Delete empty lines",
        "Fix stroke at begin of line",
        "Replace ` with '",
        "Replace '' with \"",
        "Replace \"\" with \"",
        "Replace single l with I",
    };
    EXPECT_EQ(AutoRepairCaptions, expected);
}

TEST(AutoRepair, FixStrokesMovesALeadingCommaUp)
{
    struct Case {
        Row before, after;
    };
    const Case cases[] = {
        { { "Well", ", I think", "" }, { "Well,", "I think", "" } },
        { { "Well,", ", I think", "" }, { "Well,", "I think", "" } },
        { { ", yes", "", "" }, { "yes", "", "" } },
        { { "", ",x", "" }, { "", "x", "" } }, // nothing to append to
        { { "a", ",b", ",c" }, { "a,", "b,", "c" } }, // the moved comma is not taken again
        { { ",,a", "", "" }, { ",a", "", "" } }, // one comma per run
        { { "a", "b", "c, d" }, { "a", "b", "c, d" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(textAfter(c.before, FixStrokes), c.after) << c.before[0] << c.before[1];
}

TEST(AutoRepair, RemoveCaptionsDropsWholeBracketLines)
{
    struct Case {
        Row before, after;
    };
    const Case cases[] = {
        { { "[music]", "Hello", "[laughs]" }, { "Hello", "", "" } },
        { { "[a] b", "a [b]", "[]" }, { "[a] b", "a [b]", "" } },
        { { "[", "]", " [x]" }, { "[", "]", " [x]" } }, // the whole cell, not trimmed
        { { "[x]", "[y]", "z" }, { "z", "", "" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(textAfter(c.before, RemoveCaptions), c.after) << c.before[0];
}

TEST(AutoRepair, DeleteEmptyRowsKeepsOneRow)
{
    struct Case {
        std::vector<Row> before;
        std::vector<std::string> keptStarts;
        int removed;
    };
    const Case cases[] = {
        { { { "1", "", "a" }, { "2", "", " ", "\t" }, { "3", "", "", "", "c" }, { "4" }, { "5", "", "e" } },
            { "1", "3", "5" }, 2 },
        { { { "1" }, { "2", "", " " }, { "3" } }, { "1" }, 2 },
        { { { "1", "", "a" } }, { "1" }, 0 },
        { { { "1" }, { "2", "", "b" } }, { "2" }, 1 },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, c.before);
        EXPECT_EQ(DeleteEmptyRows(table), c.removed);
        std::vector<std::string> starts;
        for (const Row& row : Rows(table))
            starts.push_back(row[0]);
        EXPECT_EQ(starts, c.keptStarts);
    }
}

TEST(AutoRepair, ReplaceItemsOnTheirOwn)
{
    struct Case {
        int item;
        std::string before, after;
    };
    const Case cases[] = {
        { 3, "\"\"Hi\"\" `x`", "\"Hi\" `x`" }, // item 3 does what item 5 does, backquotes stay
        { 4, "''Hi''", "\"Hi\"" },
        { 5, "\"\"\"\"", "\"\"" }, // four become two, not one
        { 6, "a l b L c", "a I b I c" },
        { 6, "l at start, end l", "l at start, end l" },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, { { "1", "2", c.before, c.before } });
        std::array<bool, AutoRepairItemCount> checked {};
        checked[static_cast<size_t>(c.item)] = true;
        RunAutoRepair(table, checked);
        EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), c.after) << c.item;
        EXPECT_EQ(table.cell(SubtitleTable::Line2, 1), c.after) << c.item;
    }
}

TEST(AutoRepair, CheckedItemsRunInIndexOrderEachSeeingTheLast)
{
    SubtitleTable table;
    Fill(table, { { "1", "2", "[noise]", ", ''so''" }, { "3", "4", "[only]" }, { "5", "6", "next" } });
    std::array<bool, AutoRepairItemCount> checked {};
    checked[0] = checked[1] = checked[2] = checked[4] = true;
    std::vector<int> started;
    RunAutoRepair(table, checked, [&started](int index) { started.push_back(index); });
    EXPECT_EQ(started, (std::vector<int> { 0, 1, 2, 4 }));
    // Caption removal closes up row 1 and empties row 2, which is then deleted.
    EXPECT_EQ(Rows(table), (std::vector<Row> { { "1", "2", "\"so\"", "", "" }, { "5", "6", "next", "", "" } }));
}

TEST(UserReplace, IgnoresCaseAndNeedsAFindText)
{
    SubtitleTable table;
    Fill(table, { { "Hello", "hello", "hello there", "HELLO", "Hello!" } });
    EXPECT_FALSE(UserReplace(table, "", "x"));
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "hello there");
    EXPECT_TRUE(UserReplace(table, "Hello", ""));
    EXPECT_EQ(Rows(table)[0], (Row { "Hello", "hello", " there", "", "!" }));
    Fill(table, { { "1", "2", "AB aB ab" } });
    UserReplace(table, "ab", "x");
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "x x x");
}
