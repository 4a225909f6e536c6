#include "test_support.h"
#include "tools/reading_check.h"
#include "tools/shot_timing.h"

#include <gtest/gtest.h>
#include <random>

using namespace tessel;
using tessel::test::Fill;
using tessel::test::Row;

namespace {

const ReadingProfile& netflix() { return BuiltInProfiles().front(); }

std::vector<ReadingFinding> findings(const std::vector<Row>& rows, double fps, std::vector<int64_t> cuts)
{
    SubtitleTable table;
    Fill(table, rows);
    ReadingRules rules(netflix(), fps);
    rules.setShotChanges(std::move(cuts));
    std::vector<ReadingFinding> found;
    for (int row = 1; row < table.rowCount(); ++row)
        rules.forEachFinding(table, row, [&](const ReadingFinding& f) {
            if (f.rule == ReadingRule::ShotChangeIn || f.rule == ReadingRule::ShotChangeOut) found.push_back(f);
            return true;
        });
    return found;
}

} // namespace

TEST(ShotSnapping, StartsEndsAndNudgesGoOntoACutWithinReach)
{
    EXPECT_EQ(ShotSnapReach(25), 4);
    EXPECT_EQ(ShotSnapReach(24000.0 / 1001), 4);
    EXPECT_EQ(ShotSnapReach(30), 5);
    EXPECT_EQ(ShotSnapReach(60), 10);
    const std::vector<int64_t> cuts { 100, 200, 204 };
    struct Case {
        int64_t frame, snapped;
    } snaps[] = { { 96, 100 }, { 95, 95 }, { 104, 100 }, { 105, 105 }, { 150, 150 }, { 202, 200 }, { 203, 204 } };
    for (const Case& c : snaps)
        EXPECT_EQ(SnapToCut(cuts, c.frame, 4), c.snapped) << c.frame;
    EXPECT_EQ(SnapToCut({}, 7, 4), 7);
    struct Nudge {
        int64_t from, to, landed;
    } nudges[] = {
        { 96, 97, 100 }, // towards the cut: onto it
        { 97, 96, 96 }, // away from it: one frame
        { 100, 101, 101 }, // off the cut
        { 101, 100, 100 },
        { 105, 104, 100 },
        { 106, 105, 105 }, // 5 frames: out of reach
        { 150, 151, 151 },
    };
    for (const Nudge& n : nudges)
        EXPECT_EQ(SnapNudge(cuts, n.from, n.to, 4), n.landed) << n.from << " -> " << n.to;
}

// Netflix's timing rules, written at 24 fps: an in-time within 12 frames of
// a shot change (either side) moves onto it; an out-time within 12 frames of
// one ends 2 frames before it or on it; half a second is 12 frames at 24 and
// 25 fps, 15 at 30; the minimum gap is 2 frames and the minimum duration 5/6 s
// (20 frames at 24 fps). Frames here are the cells' values, an end the first
// frame no longer shown; the cut is at frame 1000.
TEST(ShotRules, NetflixTimingToShotChangesHandWorked)
{
    struct Case {
        const char* label;
        std::vector<Row> rows; // the row checked is the last, or `row`
        double fps;
        const char* rule; // "" for no finding
        int64_t measured;
        std::optional<int32_t> start, end; // the proposal
        int row = 0;
    } cases[] = {
        { "in 12 frames before", { { "988", "1100", "a" } }, 24, "shot-change-in", -12, 1000, {} },
        { "in 13 frames before", { { "987", "1100", "a" } }, 24, "", 0, {}, {} },
        { "in 12 frames after", { { "900", "980", "a" }, { "1012", "1100", "b" } }, 24, "shot-change-in", 12, 1000,
            {} },
        { "in on the cut", { { "1000", "1100", "a" } }, 24, "", 0, {}, {} },
        { "in after a cut but 1 frame from the one before it: the gap would be 1",
            { { "900", "999", "a" }, { "1005", "1100", "b" } }, 24, "shot-change-in", 5, {}, {} },
        { "in before a cut the subtitle never reaches", { { "990", "1000", "a" } }, 24, "", 0, {}, {} },
        { "out 5 frames before: 2 before the cut", { { "900", "995", "a" } }, 24, "shot-change-out", -5, {}, 998 },
        { "out 1 frame before: 2 before the cut", { { "900", "999", "a" } }, 24, "shot-change-out", -1, {}, 998 },
        { "out 2 frames before", { { "900", "998", "a" } }, 24, "", 0, {}, {} },
        { "out on the cut", { { "900", "1000", "a" } }, 24, "", 0, {}, {} },
        { "out 12 frames before", { { "900", "988", "a" } }, 24, "shot-change-out", -12, {}, 998 },
        { "out 13 frames before", { { "900", "987", "a" } }, 24, "", 0, {}, {} },
        { "out 10 frames into the next shot: back onto the cut", { { "900", "1010", "a" } }, 24, "shot-change-out", 10,
            {}, 1000 },
        { "out 13 frames into the next shot", { { "900", "1013", "a" } }, 24, "", 0, {}, {} },
        { "2 before would make it shorter than 20 frames: on the cut", { { "980", "999", "a" } }, 24, "shot-change-out",
            -1, {}, 1000 },
        { "neither without overlapping the next", { { "900", "995", "a" }, { "997", "1100", "b" } }, 24,
            "shot-change-out", -5, {}, {}, 1 },
        { "2 before would read too fast: on the cut", { { "960", "999", "thirty-two characters, read fast" } }, 24,
            "shot-change-out", -1, {}, 1000 },
        { "30 fps: 15 frames", { { "985", "1100", "a" } }, 30, "shot-change-in", -15, 1000, {} },
        { "30 fps: not 16", { { "984", "1100", "a" } }, 30, "", 0, {}, {} },
        { "25 fps: 12 frames", { { "988", "1100", "a" } }, 25, "shot-change-in", -12, 1000, {} },
        { "25 fps: not 13", { { "987", "1100", "a" } }, 25, "", 0, {}, {} },
    };
    for (const Case& c : cases) {
        const std::vector<ReadingFinding> found = findings(c.rows, c.fps, { 500, 1000, 1500 });
        const int row = c.row ? c.row : int(c.rows.size());
        std::vector<ReadingFinding> mine;
        for (const ReadingFinding& f : found)
            if (f.row == row) mine.push_back(f);
        if (!*c.rule) {
            EXPECT_TRUE(mine.empty()) << c.label;
            continue;
        }
        ASSERT_EQ(mine.size(), 1u) << c.label;
        EXPECT_EQ(std::string(ReadingRuleId(mine[0].rule)), c.rule) << c.label;
        EXPECT_EQ(mine[0].measured, c.measured) << c.label;
        EXPECT_EQ(mine[0].cut, 1000) << c.label;
        EXPECT_EQ(mine[0].proposedStart, c.start) << c.label;
        EXPECT_EQ(mine[0].proposedEnd, c.end) << c.label;
    }
}

TEST(ShotRules, WithoutCutsOrWithoutTheKeysNothingIsChecked)
{
    EXPECT_TRUE(findings({ { "988", "1100", "a" } }, 24, {}).empty());
    SubtitleTable table;
    Fill(table, { { "988", "1100", "a" } });
    ReadingRules relaxed(BuiltInProfiles().back(), 24); // no shot-change keys
    relaxed.setShotChanges({ 1000 });
    EXPECT_FALSE(relaxed.checks(ReadingRule::ShotChangeIn));
    ReadingRules withoutCuts(netflix(), 24);
    EXPECT_FALSE(withoutCuts.checks(ReadingRule::ShotChangeIn));
}

// Whatever the rows and cuts, the fix leaves no two subtitles overlapping
// that did not, and every rule a row passed it still passes.
TEST(ShotRules, TheFixNeverOverlapsNorBreaksAnotherRule)
{
    std::mt19937 random(7);
    SubtitleTable table;
    std::vector<Row> rows;
    int64_t at = 0;
    for (int i = 0; i < 3000; ++i) {
        at += std::uniform_int_distribution<int>(0, 30)(random);
        const int64_t end = at + std::uniform_int_distribution<int>(5, 120)(random);
        rows.push_back({ std::to_string(at), std::to_string(end), std::string(size_t(random() % 60), 'x') });
        at = end;
    }
    Fill(table, rows);
    std::vector<int64_t> cuts;
    for (int64_t frame = 0; frame < at; frame += std::uniform_int_distribution<int>(3, 80)(random))
        cuts.push_back(frame);
    ReadingRules all(netflix(), 24);
    ReadingRules others(netflix(), 24);
    all.setShotChanges(cuts);
    auto otherFindings = [&](const SubtitleTable& t) {
        std::vector<std::pair<int, ReadingRule>> list;
        LintReading(t, others, [&](const ReadingFinding& f) { list.emplace_back(f.row, f.rule); });
        return list;
    };
    // Without the shot changes first, so that only their fixes are looked at.
    FixReading(table, others);
    const auto before = otherFindings(table);
    const ReadingFixReport report = FixReading(table, all);
    EXPECT_GT(report.fixed, 100);
    const auto after = otherFindings(table);
    for (const auto& finding : after)
        EXPECT_NE(std::find(before.begin(), before.end(), finding), before.end())
            << "row " << finding.first << " " << ReadingRuleId(finding.second);
    for (int row = 1; row + 1 < table.rowCount(); ++row) {
        const int64_t start = std::stoll(std::string(table.cell(0, row))),
                      end = std::stoll(std::string(table.cell(1, row)));
        EXPECT_LT(start, end) << row;
        EXPECT_LE(end, std::stoll(std::string(table.cell(0, row + 1)))) << row;
    }
}
