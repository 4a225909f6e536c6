#include "test_support.h"
#include "tools/keyboard_timing.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Fill;
using test::Row;
using test::Rows;

TEST(KeyboardTiming, StartAndEndTakeTheFrame)
{
    SubtitleTable table;
    Fill(table, { { "10", "20", "a" }, { "", "", "b" } });
    SetRowStart(table, 1, 12);
    SetRowEnd(table, 2, 95);
    SetRowEnd(table, 3, 99); // no such row
    SetRowStart(table, 0, 99); // the header
    EXPECT_EQ(Rows(table), (std::vector<Row> { { "12", "20", "a", "", "" }, { "", "95", "b", "", "" } }));
    EXPECT_EQ(table.text(0, 0), "From");
}

TEST(KeyboardTiming, EndAndGoOnStartsTheNextRowTwoFramesLater)
{
    struct Case {
        Row next;
        std::string nextStart;
    } cases[] = {
        { { "", "", "new" }, "302" }, // no start yet
        { { "0", "0", "inserted" }, "302" }, // as "Insert new row" makes it
        { { "0", "", "half" }, "302" },
        { { "0", "350", "starts at the first frame" }, "0" },
        { { "280", "350", "timed already" }, "280" },
        { { "x", "", "no number" }, "x" },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, { { "250", "290", "first" }, c.next });
        EXPECT_EQ(SetEndAndGoOn(table, 1, 300), 2) << c.next[2];
        EXPECT_EQ(table.cell(1, 1), "300") << c.next[2];
        EXPECT_EQ(table.cell(0, 2), c.nextStart) << c.next[2];
    }
    SubtitleTable last;
    Fill(last, { { "250", "290", "only" } });
    EXPECT_EQ(SetEndAndGoOn(last, 1, 300), 1);
    EXPECT_EQ(Rows(last), (std::vector<Row> { { "250", "300", "only", "", "" } }));
}

TEST(KeyboardTiming, NudgesMoveOneFrameAndLeaveNonNumbersAlone)
{
    SubtitleTable table;
    Fill(table, { { "10", "20" }, { "0", " 7" }, { "", "12a" } });
    EXPECT_TRUE(NudgeStart(table, 1, 1));
    EXPECT_TRUE(NudgeEnd(table, 1, -1));
    EXPECT_TRUE(NudgeStart(table, 2, -1)); // stays at the film's first frame
    EXPECT_TRUE(NudgeEnd(table, 2, 1)); // read as a number, written plain
    EXPECT_FALSE(NudgeStart(table, 3, 1));
    EXPECT_FALSE(NudgeEnd(table, 3, -1));
    EXPECT_FALSE(NudgeEnd(table, 4, 1));
    EXPECT_EQ(Rows(table),
        (std::vector<Row> { { "11", "19", "", "", "" }, { "0", "8", "", "", "" }, { "", "12a", "", "", "" } }));
}
