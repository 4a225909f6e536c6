#include "core/errors.h"
#include "test_support.h"
#include "tools/sync.h"
#include "tools/sync_points.h"
#include "tools/sync_table.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

using namespace tessel;
using test::Fill;
using test::Rows;

namespace {

constexpr double Film = 24000.0 / 1001;

// A reference file's subtitles: 120 lines of 1-4 s with 0.3-3 s between.
std::vector<SyncInterval> referenceLines()
{
    std::mt19937 random(4);
    std::vector<SyncInterval> lines;
    int64_t at = 2000;
    for (int i = 0; i < 120; ++i) {
        const int64_t length = 1000 + int64_t(random() % 3000);
        lines.push_back({ at, at + length });
        at += length + 300 + int64_t(random() % 2700);
    }
    return lines;
}

struct Damaged {
    std::vector<SyncInterval> lines;
    std::vector<int64_t> truth; // each line's right start; -1: a line of a scene the film lacks
};

// The reference's lines timed otherwise: `ratio` and `shift` on all of them,
// and with `cut`, 20 s more (and 5 lines of a scene the film does not have)
// from line 60 on.
Damaged damage(const std::vector<SyncInterval>& reference, double ratio, double shift, bool cut)
{
    Damaged d;
    for (size_t i = 0; i < reference.size(); ++i) {
        int64_t start = reference[i].start, end = reference[i].end;
        if (cut && i == 60) {
            for (int k = 0; k < 5; ++k) {
                const int64_t s = reference[59].end + 500 + k * 3800;
                d.lines.push_back({ s, s + 3000 });
                d.truth.push_back(-1);
            }
        }
        if (cut && i >= 60) {
            start += 20000;
            end += 20000;
        }
        d.lines.push_back({ std::llround(start * ratio + shift), std::llround(end * ratio + shift) });
        d.truth.push_back(reference[i].start);
    }
    return d;
}

} // namespace

// The same lines as the reference, damaged as files are: each line comes back
// to the reference's start (the truth), give or take the 10 ms grid.
TEST(Sync, ReferenceFileUndoesShiftStretchAndCut)
{
    struct Case {
        const char* name;
        double ratio, shift;
        bool cut;
        size_t segments;
    } cases[] = {
        { "clean", 1, 0, false, 1 },
        { "shifted", 1, 7300, false, 1 },
        { "nine minutes late", 1, 540000, false, 1 },
        { "timed for 25 fps, shown at 23.976", Film / 25, -2600, false, 1 },
        { "cut", 1, 0, true, 2 },
        { "all three", 25 / Film, 4100, true, 2 },
    };
    const std::vector<SyncInterval> reference = referenceLines();
    const SyncTarget target = TargetFromIntervals(reference);
    for (const Case& c : cases) {
        const Damaged d = damage(reference, c.ratio, c.shift, c.cut);
        const SyncResult result = Align(d.lines, target);
        EXPECT_EQ(result.segments.size(), c.segments) << c.name;
        EXPECT_GE(result.score, SyncResult::LowScore) << c.name;
        int off = 0;
        for (size_t i = 0; i < d.lines.size(); ++i)
            if (d.truth[i] >= 0 && std::fabs(result.map(i, double(d.lines[i].start)) - double(d.truth[i])) > 20) ++off;
        EXPECT_EQ(off, 0) << c.name << ": ratio " << result.ratio;
    }
}

TEST(Sync, ASplitIsRefusedWhenForbiddenAndAStrangerScoresLow)
{
    const std::vector<SyncInterval> reference = referenceLines();
    const SyncTarget target = TargetFromIntervals(reference);
    SyncOptions noSplits;
    noSplits.splits = false;
    EXPECT_EQ(Align(damage(reference, 1, 3000, true).lines, target, noSplits).segments.size(), 1u);
    // Another film's subtitles: nothing fits anywhere.
    std::vector<SyncInterval> stranger;
    std::mt19937 random(99);
    for (int64_t at = 1000; at < reference.back().end; at += 8000 + int64_t(random() % 9000))
        stranger.push_back({ at, at + 700 });
    EXPECT_LT(Align(stranger, target).score, SyncResult::LowScore);
}

TEST(Sync, NothingToAlignIsSaid)
{
    EXPECT_THROW(Align({}, TargetFromIntervals(referenceLines())), Error);
    SubtitleTable table;
    Fill(table, { { "", "", "no times" }, { "0", "0", "nor here" }, { "x", "12", "a frame that is text" } });
    EXPECT_THROW(RequireTimedRows(ReadTimedRows(table, 25)), Error);
    EXPECT_THROW(ReferenceIntervals(table, 25, "ref.srt"), Error);
}

// A proposal applied to the table: frames rounded, rows without times left
// alone, nothing before frame 0; the summary names rows as the grid does.
TEST(Sync, AProposalMovesEachRowBySegment)
{
    SubtitleTable table;
    Fill(table,
        { { "25", "50", "a", "", "" }, { "", "", "untimed", "", "" }, { "100", "125", "b", "", "" },
            { "200", "250", "c", "", "" } });
    const TimedRows rows = ReadTimedRows(table, 25);
    ASSERT_EQ(rows.rows, (std::vector<int> { 1, 3, 4 }));
    SyncResult result;
    result.ratio = 1;
    result.score = 80;
    result.segments = { { 0, 1, -2000 }, { 2, 2, 1020 } };
    EXPECT_EQ(ApplySync(table, rows, result), 3);
    EXPECT_EQ(Rows(table),
        (std::vector<test::Row> { { "0", "0", "a", "", "" }, { "", "", "untimed", "", "" }, { "50", "75", "b", "", "" },
            { "226", "276", "c", "", "" } }));
    EXPECT_EQ(DescribeSync(result, rows),
        "offset -2.000 s, ratio 1, 2 segments (rows 1-3 -2.000 s, rows 4-4 +1.020 s), score 80");
}

// Worked by hand: rows start at 100, 200, 300 and 1000; row 1 must start at
// 110 and row 4 at 1040, so frames go by 930/900 from 100 -> 110.
TEST(SyncPoints, StraightLinesBetweenPointsRoundedToFrames)
{
    SubtitleTable table;
    Fill(table,
        { { "100", "150", "a", "", "" }, { "200", "260", "b", "", "" }, { "300", "330", "c", "", "" },
            { "1000", "1090", "d", "", "" }, { "1200", "1250", "e", "", "" } });
    const PointSyncPlan plan = PlanPointSync(table, { { 4, 1040 }, { 1, 110 } });
    EXPECT_EQ(ApplyPointSync(table, plan), 5);
    // 150 -> 110 + 50 * 1.0333 = 161.67; 200 -> 213.33; 1090 -> 1133; 1200 (past the
    // last point, the line goes on) -> 1246.67; 1250 -> 1298.33.
    EXPECT_EQ(Rows(table),
        (std::vector<test::Row> { { "110", "162", "a", "", "" }, { "213", "275", "b", "", "" },
            { "317", "348", "c", "", "" }, { "1040", "1133", "d", "", "" }, { "1247", "1298", "e", "", "" } }));
    // One point: a shift.
    SubtitleTable shifted;
    Fill(shifted, { { "100", "150", "a", "", "" }, { "200", "260", "b", "", "" } });
    ApplyPointSync(shifted, PlanPointSync(shifted, { { 2, 190 } }));
    EXPECT_EQ(Rows(shifted), (std::vector<test::Row> { { "90", "140", "a", "", "" }, { "190", "250", "b", "", "" } }));
}

// Three points: the middle one 6 frames off the line through the others
// shows a residual of 4 (least squares: -2, +4, -2).
TEST(SyncPoints, ResidualsAndBadPoints)
{
    SubtitleTable table;
    Fill(table,
        { { "0", "10", "a", "", "" }, { "100", "110", "b", "", "" }, { "200", "210", "c", "", "" },
            { "", "", "untimed", "", "" } });
    const PointSyncPlan plan = PlanPointSync(table, { { 1, 0 }, { 2, 106 }, { 3, 200 } });
    ASSERT_EQ(plan.points.size(), 3u);
    EXPECT_NEAR(plan.points[0].residual, -2, 1e-9);
    EXPECT_NEAR(plan.points[1].residual, 4, 1e-9);
    EXPECT_NEAR(plan.points[2].residual, -2, 1e-9);
    EXPECT_THROW(PlanPointSync(table, {}), Error);
    EXPECT_THROW(PlanPointSync(table, { { 4, 50 } }), Error);
    EXPECT_THROW(PlanPointSync(table, { { 9, 50 } }), Error);
    table.setCell(SubtitleTable::From, 2, "0");
    EXPECT_THROW(PlanPointSync(table, { { 1, 0 }, { 2, 5 } }), Error);
}

// Kept in the side data; they follow their rows when rows come and go.
TEST(SyncPoints, KeptBesideTheRowsAndMovedWithThem)
{
    SubtitleTable table;
    Fill(table, { { "0", "10", "a", "", "" }, { "100", "110", "b", "", "" }, { "200", "210", "c", "", "" } });
    SetSyncPoint(table, 3, 250);
    SetSyncPoint(table, 1, 5);
    SetSyncPoint(table, 3, 260);
    EXPECT_EQ(table.sideData(SyncPointsKey), "1 5\n3 260\n");
    std::vector<SyncPoint> points = ReadSyncPoints(table);
    PointsAfterInsert(points, 2, 2);
    EXPECT_EQ(points, (std::vector<SyncPoint> { { 1, 5 }, { 5, 260 } }));
    PointsAfterRemove(points, 1, 1);
    EXPECT_EQ(points, (std::vector<SyncPoint> { { 4, 260 } }));
    EXPECT_EQ(DecodeSyncPoints("2 7\nrubbish\n0 3\n4 x\n"), (std::vector<SyncPoint> { { 2, 7 } }));
    SetSyncPoint(table, 1, std::nullopt);
    SetSyncPoint(table, 3, std::nullopt);
    EXPECT_TRUE(table.sideData(SyncPointsKey).empty());
}
