#include "fakes.h"
#include "test_support.h"
#include "tools/timing_tools.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Fill;
using tessel::test::RecordingMessages;
using tessel::test::Row;
using tessel::test::Rows;

namespace {

// The frame cells of every row, as "from-to".
std::vector<std::string> frames(const SubtitleTable& table)
{
    std::vector<std::string> out;
    for (int row = 1; row < table.rowCount(); ++row)
        out.push_back(std::string(table.cell(0, row)) + "-" + std::string(table.cell(1, row)));
    return out;
}

void fillFrames(SubtitleTable& table, const std::vector<std::pair<std::string, std::string>>& rows)
{
    std::vector<Row> full;
    for (const auto& [from, to] : rows)
        full.push_back({ from, to, "text" });
    Fill(table, full);
}

} // namespace

TEST(FramerateConversion, DividesFirstAndRoundsTiesToEven)
{
    struct Case {
        const char* from;
        const char* to;
        char separator;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        { "25", "23,976", ',', { "24-959", "1-3" } }, // 23.976, 959.04, 0.959, 2.877
        { "25", "23.976", '.', { "24-959", "1-3" } }, { "2", "1", '.', { "12-500", "0-2" } }, // 0.5 -> 0, 1.5 -> 2
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        fillFrames(table, { { "25", "1000" }, { "1", "3" } });
        RecordingMessages messages;
        const FramerateConversion result = ConvertFramerate(table, c.from, c.to, c.separator, messages);
        EXPECT_TRUE(result.ratesValid);
        EXPECT_EQ(result.stoppedAtRow, 0);
        EXPECT_EQ(frames(table), c.expected) << c.from << " -> " << c.to;
        EXPECT_TRUE(messages.messages.empty());
    }
}

TEST(FramerateConversion, StopsSilentlyAtTheFirstBadCell)
{
    SubtitleTable table;
    fillFrames(table, { { "10", "20" }, { "30", "40" }, { "50", "" }, { "70", "80" } });
    RecordingMessages messages;
    const FramerateConversion result = ConvertFramerate(table, "1", "2", '.', messages);
    EXPECT_EQ(frames(table), (std::vector<std::string> { "20-40", "60-80", "100-", "70-80" }));
    EXPECT_EQ(result.stoppedAtRow, 3);
    EXPECT_EQ(result.stoppedAtColumn, SubtitleTable::To);
    EXPECT_FALSE(result.outOfRange);
    EXPECT_TRUE(messages.messages.empty());
}

TEST(FramerateConversion, RefusesRatesThatAreNotPositiveNumbers)
{
    struct Case {
        const char* from;
        const char* to;
        char separator;
    };
    const Case cases[] = {
        { "abc", "25", '.' },
        { "25", "abc", '.' },
        { "0", "25", '.' },
        { "25", "0", '.' },
        { "-25", "25", '.' },
        { "23.976", "25", ',' },
        { "", "25", '.' },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        fillFrames(table, { { "25", "50" } });
        RecordingMessages messages;
        EXPECT_FALSE(ConvertFramerate(table, c.from, c.to, c.separator, messages).ratesValid);
        EXPECT_EQ(frames(table), (std::vector<std::string> { "25-50" })) << c.from << " -> " << c.to;
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].title, "Error");
        EXPECT_EQ(messages.messages[0].text, "Invalid framerate.");
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
    }
}

TEST(FramerateConversion, StopsBeforeAResultBeyond32Bits)
{
    SubtitleTable table;
    fillFrames(table, { { "1", "2" }, { "1000000000", "1000000001" }, { "5", "6" } });
    RecordingMessages messages;
    const FramerateConversion result = ConvertFramerate(table, "1", "3", '.', messages);
    EXPECT_EQ(frames(table), (std::vector<std::string> { "3-6", "1000000000-1000000001", "5-6" }));
    EXPECT_EQ(result.stoppedAtRow, 2);
    EXPECT_EQ(result.stoppedAtColumn, SubtitleTable::From);
    EXPECT_TRUE(result.outOfRange);
}

TEST(Shifts, AddFramesFromTheCurrentRowOrFromTheStart)
{
    struct Case {
        int current;
        const char* count;
        bool fromCurrent;
        std::vector<std::string> expected;
        bool applied;
    };
    const std::vector<std::pair<std::string, std::string>> rows
        = { { "50", "60" }, { "", "80" }, { "100", "110" }, { "200", "210" }, { "300", "310" } };
    const Case cases[] = {
        { 1, "-100", true, { "-50--40", "-80", "0-10", "100-110", "200-210" }, true },
        { 4, "5", true, { "50-60", "-80", "100-110", "205-215", "305-315" }, true },
        { 4, "5", false, { "55-65", "-80", "105-115", "205-215", "305-315" }, true },
        { 1, "", true, { "50-60", "-80", "100-110", "200-210", "300-310" }, false },
        { 1, "5x", true, { "50-60", "-80", "100-110", "200-210", "300-310" }, false },
        { 1, " +7", true, { "57-67", "-80", "107-117", "207-217", "307-317" }, true },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        fillFrames(table, rows);
        const auto report = AddFrames(table, c.current, c.count, c.fromCurrent);
        EXPECT_EQ(report.has_value(), c.applied) << c.count;
        EXPECT_EQ(frames(table), c.expected) << c.count << " from row " << c.current;
    }
}

TEST(Shifts, ChangeStartMovesTheCurrentRowToTheNewStart)
{
    struct Case {
        const char* newStart;
        bool fromCurrent;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        { "900", true, { "500-600", "900-1050", "1900-2000" } },
        { "900", false, { "400-500", "900-1050", "1900-2000" } },
        { "nine", true, { "500-600", "1000-1150", "2000-2100" } },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        fillFrames(table, { { "500", "600" }, { "1000", "1150" }, { "2000", "2100" } });
        ChangeStart(table, 2, c.newStart, c.fromCurrent);
        EXPECT_EQ(frames(table), c.expected) << c.newStart;
    }
}

TEST(Shifts, RowsThatWouldLeave32BitsStayAndAreCounted)
{
    SubtitleTable table;
    fillFrames(table, { { "10", "20" }, { "2147483600", "2147483647" }, { "x", "1" }, { "30", "40" } });
    const AdjustReport report = ShiftFrames(table, 1, 100, true);
    EXPECT_EQ(frames(table), (std::vector<std::string> { "110-120", "2147483600-2147483647", "x-1", "130-140" }));
    EXPECT_EQ(report.changedRows, 2);
    EXPECT_EQ(report.badRows, 1);
    EXPECT_EQ(report.outOfRangeRows, 1);
    // The difference itself may not fit 32 bits.
    fillFrames(table, { { "-2147483648", "0" } });
    EXPECT_EQ(ChangeStart(table, 1, "2147483647", true)->outOfRangeRows, 1);
    EXPECT_EQ(frames(table), (std::vector<std::string> { "-2147483648-0" }));
}

TEST(Shifts, DoubleClickCopiesTheStartOrZero)
{
    SubtitleTable table;
    fillFrames(table, { { "1234", "2000" }, { "", "5" }, { "12a", "5" } });
    EXPECT_EQ(ChangeStartFieldText(table, 1), "1234");
    EXPECT_EQ(ChangeStartFieldText(table, 2), "0");
    EXPECT_EQ(ChangeStartFieldText(table, 3), "12a");
}

TEST(ExpandDelay, MovesEndsWithinTheirLimits)
{
    struct Case {
        const char* frames;
        std::vector<std::pair<std::string, std::string>> rows;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        { "10", { { "100", "150" }, { "155", "200" } }, { "100-154", "155-210" } },
        { "-60", { { "100", "150" } }, { "100-101" } },
        { "10", { { "100", "0" }, { "200", "" }, { "300", "x" } }, { "100-0", "200-", "300-x" } },
        { "0", { { "1", "007" } }, { "1-7" } }, { "oops", { { "1", "007" } }, { "1-7" } }, // a bad count counts as 0
        { "10", { { "100", "150" }, { "140", "200" } }, { "100-139", "140-210" } }, // pulled back below the old end
        { "10", { { "100", "150" }, { "", "200" }, { "x", "300" } },
            { "100-160", "-210", "x-310" } }, // no number, no limit
        { "-60", { { "x", "50" } }, { "x-1" } }, // a bad start counts as 0
        { "10", { { "5", "10" }, { "0", "2147483640" } }, { "5--1", "0-2147483640" } }, // a real 0 start limits
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        fillFrames(table, c.rows);
        ExpandDelay(table, c.frames);
        EXPECT_EQ(frames(table), c.expected) << c.frames;
    }
}

TEST(ExpandDelay, CountsRowsLeftBecauseOf32Bits)
{
    SubtitleTable table;
    fillFrames(table, { { "0", "20" }, { "30", "2147483640" } });
    const AdjustReport report = ExpandDelay(table, "10");
    EXPECT_EQ(frames(table), (std::vector<std::string> { "0-29", "30-2147483640" }));
    EXPECT_EQ(report.outOfRangeRows, 1);
    EXPECT_EQ(report.changedRows, 1);
}
