#include "test_support.h"
#include "tools/split_merge.h"

#include <gtest/gtest.h>

using namespace tessel;
using test::Row;

namespace {

std::vector<Row> split(const Row& row, std::optional<size_t> at, int gap, std::string* problem = nullptr)
{
    SubtitleTable table;
    test::Fill(table, { row });
    const TextToolResult result = PlanSplit(table, 1, at, gap);
    if (problem) *problem = result.problem;
    if (result.change) ApplyRowChanges(table, { *result.change });
    return test::Rows(table);
}

} // namespace

// Time by hand: (end - start - gap) shared in proportion to the characters
// each part shows, rounded to whole frames; the second starts `gap` frames
// after the first ends.
TEST(SplitMerge, SplitsShareTimeByCharactersAndCarryMarkupAcross)
{
    struct Case {
        Row row;
        std::optional<size_t> at;
        std::vector<Row> expected;
    };
    const Case cases[] = {
        // At the line break: 12 and 12 characters, 98 frames -> 49 each.
        { { "100", "200", "<i>Hello there.</i>", "How are you?" }, std::nullopt,
            { { "100", "149", "<i>Hello there.</i>", "", "" }, { "151", "200", "How are you?", "", "" } } },
        // At a cursor inside italics: closed before the cut, opened after it.
        { { "0", "100", "<i>Where are you going</i>" }, 13,
            { { "0", "49", "<i>Where are</i>", "", "" }, { "51", "100", "<i>you going</i>", "", "" } } },
        // Overrides in effect go on; switched off, they do not. 7 and 11 characters: 38.1.
        { { "0", "100", "{\\an8}{\\i1}Stop it{\\i0} now, please" }, 23,
            { { "0", "38", "{\\an8}{\\i1}Stop it{\\i0}", "", "" }, { "40", "100", "{\\an8}now, please", "", "" } } },
        // Characters, not bytes: 16 and 9 of 250 frames -> 160 (bytes would give 161).
        { { "0", "252", "Ça va très bien.", "J'espère." }, std::nullopt,
            { { "0", "160", "Ça va très bien.", "", "" }, { "162", "252", "J'espère.", "", "" } } },
        // Right to left: 8 and 14 characters of 222 frames -> 80.7, 81.
        { { "1000", "1224", "שלום לך.", "מה שלומך היום?" }, std::nullopt,
            { { "1000", "1081", "שלום לך.", "", "" }, { "1083", "1224", "מה שלומך היום?", "", "" } } },
        // One line: where BreakText would break it into two.
        { { "0", "42", "The quick brown fox jumps over the lazy dog" }, std::nullopt,
            { { "0", "18", "The quick brown fox", "", "" }, { "20", "42", "jumps over the lazy dog", "", "" } } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(split(c.row, c.at, 2), c.expected) << c.row[2];
}

TEST(SplitMerge, ASplitThatCannotBeMadeSaysWhy)
{
    std::string problem;
    EXPECT_EQ(split({ "10", "12", "Two", "lines" }, std::nullopt, 2, &problem).size(), 1u);
    EXPECT_NE(problem.find("too short"), std::string::npos);
    EXPECT_EQ(split({ "0", "50", "<i>Hello</i>" }, 12, 2, &problem).size(), 1u); // after the last letter
    EXPECT_NE(problem.find("no text"), std::string::npos);
    EXPECT_EQ(split({ "x", "50", "Two", "lines" }, std::nullopt, 2, &problem).size(), 1u);
    EXPECT_NE(problem.find("not whole numbers"), std::string::npos);
}

TEST(SplitMerge, MergesJoinLinesAndTimes)
{
    SubtitleTable table;
    test::Fill(
        table, { { "0", "10", "Hello." }, { "12", "40", "- Hi.", "- Bye." }, { "50", "60", "One two three", "four" } });
    ApplyRowChanges(table, { *PlanMerge(table, 1, 42).change });
    EXPECT_EQ(test::Rows(table)[0], (Row { "0", "40", "Hello.", "- Hi.", "- Bye." }));
    // Five lines do not fit three: broken again into three of at most 14
    // characters (none fits 10); of 12/10/14 and 12/14/10, both after "Hi.",
    // the first found.
    ApplyRowChanges(table, { *PlanMerge(table, 1, 10).change });
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "0", "60", "Hello. - Hi.", "- Bye. One", "two three four" } }));
    EXPECT_FALSE(PlanMerge(table, 1, 42).change); // nothing after it
}

TEST(SplitMerge, ShortRowsMergeWithTheNextWhileShortAndClose)
{
    SubtitleTable table;
    test::Fill(table,
        { { "0", "10", "Yes." }, { "12", "15", "No." }, { "17", "50", "Maybe." }, { "60", "70", "Far." },
            { "100", "110", "Last." } });
    // Under 20 frames, within 5: 0-10 takes 12-15 (13 frames, still short) and 17-50.
    ApplyRowChanges(table, PlanMergeShort(table, MergeShortOptions { 20, 5, LineLimits { 42, 3 } }));
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> { { "0", "50", "Yes.", "No.", "Maybe." }, { "60", "70", "Far.", "", "" },
            { "100", "110", "Last.", "", "" } }));
}

TEST(SplitMerge, LongRowsSplitIntoAsManyPartsAsTheyNeedAtSentenceEnds)
{
    SubtitleTable table;
    test::Fill(
        table, { { "0", "100", "One two three. Four five six.", "Seven eight nine." }, { "100", "110", "Next" } });
    // 47 characters in lines of 20, one line each: three parts of 14, 14 and 17
    // characters; 96 frames: ends at 30 (29.87) and 60 + 2 (59.73), the last at 100.
    const SplitLongPlan plan = PlanSplitLong(table, LineLimits { 20, 1 }, 2);
    ApplyRowChanges(table, plan.changes);
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> { { "0", "30", "One two three.", "", "" }, { "32", "62", "Four five six.", "", "" },
            { "64", "100", "Seven eight nine.", "", "" }, { "100", "110", "Next", "", "" } }));
}

TEST(SplitMerge, ChangesOfRowsAreAppliedInOnePass)
{
    SubtitleTable table;
    test::Fill(
        table, { { "1", "1", "a" }, { "2", "2", "b" }, { "3", "3", "c" }, { "4", "4", "d" }, { "5", "5", "e" } });
    const NewRow x { "9", "9", "x", "" }, y { "8", "8", "y\nz", "" };
    ApplyRowChanges(table, { { 1, 2, { x } }, { 3, 1, { x, y, x } }, { 5, 1, {} } });
    EXPECT_EQ(test::Rows(table),
        (std::vector<Row> { { "9", "9", "x", "", "" }, { "9", "9", "x", "", "" }, { "8", "8", "y", "z", "" },
            { "9", "9", "x", "", "" }, { "4", "4", "d", "", "" } }));
    ApplyRowChanges(table, { { 1, 5, {} } });
    EXPECT_EQ(test::Rows(table), (std::vector<Row> { { "0", "0", "", "", "" } }));
}

TEST(SplitMerge, TimeForEveryPartOrNone)
{
    using Shares = std::vector<std::pair<int32_t, int32_t>>;
    EXPECT_EQ(ShareTime(0, 10, { 0, 0 }, 0), (Shares { { 0, 5 }, { 5, 10 } })); // no characters: equal
    // A part with few characters still keeps a frame.
    EXPECT_EQ(ShareTime(0, 5, { 100, 1 }, 2), (Shares { { 0, 2 }, { 4, 5 } }));
    EXPECT_TRUE(ShareTime(0, 5, { 1, 1, 1 }, 2).empty());
    EXPECT_TRUE(ShareTime(10, 5, { 1 }, 0).empty());
}

TEST(SplitMerge, TextsThatCannotBeSplitOrAreHugeEndQuickly)
{
    SubtitleTable table;
    const std::string word(200, 'x'), huge = [] {
        std::string s;
        for (int i = 0; i < 20000; ++i)
            s += "word. ";
        return s;
    }();
    test::Fill(table, { { "0", "100", word }, { "0", "1000000", huge } });
    const SplitLongPlan plan = PlanSplitLong(table, LineLimits { 42, 2 }, 2);
    ASSERT_EQ(plan.changes.size(), 1u); // a word longer than a line stays whole
    EXPECT_EQ(plan.changes[0].first, 2);
    EXPECT_GT(plan.changes[0].rows.size(), 1000u);
    for (const NewRow& r : plan.changes[0].rows)
        EXPECT_TRUE(TextFits(r.text, LineLimits { 42, 2 })) << r.text;
}
