#include "core/numbers.h"
#include "preview/row_finder.h"
#include "test_support.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using namespace tessel;
using tessel::test::Fill;

namespace {

// The search as the rule reads, row by row: forward from the current row, or
// backward when that row starts after the frame.
int ReferenceSearch(const SubtitleTable& table, int row, int frame)
{
    auto start = [&](int r) { return TryStrToInt(table.cell(SubtitleTable::From, r)); };
    std::optional<int32_t> s = start(row);
    if (!s) return -1;
    int candidate = -1;
    if (*s <= frame) {
        while (*s <= frame && row < table.rowCount() - 1) {
            s = start(++row);
            if (!s) return -1;
        }
        candidate = *s > frame ? row - 1 : row;
    } else {
        while (--row >= 1) {
            s = start(row);
            if (!s) return -1;
            if (*s <= frame) break;
        }
        candidate = row;
    }
    if (candidate < 1) return -1;
    const std::optional<int32_t> end = TryStrToInt(table.cell(SubtitleTable::To, candidate));
    return end && *end >= frame ? candidate : -1;
}

struct Search {
    int currentRow;
    int frame;
    int expected;
};

void ExpectSearches(const std::vector<test::Row>& rows, const std::vector<Search>& searches)
{
    SubtitleTable table;
    Fill(table, rows);
    SubtitleRowFinder finder;
    for (const Search& s : searches)
        EXPECT_EQ(finder.FindSubtitleRow(table, s.currentRow, s.frame), s.expected)
            << "row " << s.currentRow << ", frame " << s.frame;
}

} // namespace

TEST(RowFinder, FindsThePlayingSubtitleFromTheSelectedRow)
{
    ExpectSearches({ { "100", "150" }, { "200", "250" }, { "300", "350" } },
        { { 1, 120, 1 }, { 1, 175, -1 }, { 1, 210, 2 }, { 1, 320, 3 }, { 1, 100, 1 }, { 1, 150, 1 }, { 1, 351, -1 },
            { 2, 99, -1 }, { 3, 120, 1 }, { 3, 210, 2 }, { 2, 350, 3 } });
}

TEST(RowFinder, UnorderedStartsAreScannedRowByRow)
{
    // Forward from row 1 the scan stops at row 2 (300 > 210), whose
    // predecessor ended at 150.
    ExpectSearches({ { "100", "150" }, { "300", "350" }, { "200", "250" } },
        { { 1, 120, 1 }, { 1, 210, -1 }, { 3, 210, 3 }, { 2, 320, -1 }, { 3, 120, 1 }, { 2, 120, 1 } });
}

TEST(RowFinder, ACellThatIsNoNumberEndsTheSearch)
{
    ExpectSearches({ { "100", "150" }, { "12a", "250" }, { "300", "350" } },
        { { 1, 120, -1 }, { 1, 320, -1 }, { 3, 320, 3 }, { 3, 120, -1 }, { 2, 120, -1 } });
    ExpectSearches(
        { { "100", "" }, { "200", "x" }, { "", "350" } }, { { 1, 120, -1 }, { 2, 210, -1 }, { 3, 320, -1 } });
}

TEST(RowFinder, RowsOutsideTheTableStartAtTheNearestSubtitle)
{
    ExpectSearches({ { "100", "150" }, { "200", "250" } }, { { 0, 120, 1 }, { -1, 210, 2 }, { 7, 120, 1 } });
}

TEST(RowFinder, FollowsEditsOfTheTable)
{
    SubtitleTable table;
    Fill(table, { { "100", "150" }, { "200", "250" } });
    SubtitleRowFinder finder;
    EXPECT_EQ(finder.FindSubtitleRow(table, 1, 210), 2);
    table.setCell(SubtitleTable::From, 2, "220");
    EXPECT_EQ(finder.FindSubtitleRow(table, 1, 210), -1);
    table.setRowCount(2);
    EXPECT_EQ(finder.FindSubtitleRow(table, 1, 210), -1);
    EXPECT_EQ(finder.FindSubtitleRow(table, 1, 140), 1);
}

// Ordered tables are searched by halves; the answer must be the one the
// row-by-row search gives, wherever the selected row is. Odd rounds shuffle
// the rows.
TEST(RowFinder, SearchByHalvesAgreesWithTheRowByRowSearch)
{
    std::mt19937 random(20240611);
    for (int round = 0; round < 400; ++round) {
        SubtitleTable table;
        const int count = 1 + static_cast<int>(random() % 40);
        std::vector<test::Row> rows;
        int start = static_cast<int>(random() % 20);
        for (int i = 0; i < count; ++i) {
            start += static_cast<int>(random() % 30); // equal starts too
            const int length = static_cast<int>(random() % 40) - 5; // overlaps, and ends before starts
            rows.push_back({ std::to_string(start), std::to_string(start + length) });
        }
        if (round % 2) std::shuffle(rows.begin(), rows.end(), random);
        Fill(table, rows);
        SubtitleRowFinder finder;
        for (int probe = 0; probe < 30; ++probe) {
            const int row = 1 + static_cast<int>(random() % count);
            const int frame = static_cast<int>(random() % (start + 50)) - 5;
            ASSERT_EQ(finder.FindSubtitleRow(table, row, frame), ReferenceSearch(table, row, frame))
                << "round " << round << ", row " << row << ", frame " << frame;
        }
    }
}
