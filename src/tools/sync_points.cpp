#include "tools/sync_points.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/text_utils.h"
#include "tools/sync_table.h"

#include <algorithm>
#include <cmath>

namespace tessel {

std::vector<SyncPoint> DecodeSyncPoints(std::string_view text)
{
    std::vector<SyncPoint> points;
    for (const std::string& line : SplitText(std::string(text), "\n", false, -1)) {
        const size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        const std::optional<int32_t> row = TryStrToInt(std::string_view(line).substr(0, space));
        const std::optional<int32_t> frame = TryStrToInt(std::string_view(line).substr(space + 1));
        if (row && frame && *row >= 1) points.push_back({ *row, *frame });
    }
    return points;
}

std::string EncodeSyncPoints(std::vector<SyncPoint> points)
{
    std::sort(points.begin(), points.end(), [](const SyncPoint& a, const SyncPoint& b) { return a.row < b.row; });
    std::string text;
    for (const SyncPoint& p : points)
        text += std::to_string(p.row) + ' ' + std::to_string(p.frame) + '\n';
    return text;
}

std::vector<SyncPoint> ReadSyncPoints(const SubtitleTable& table)
{
    return DecodeSyncPoints(table.sideData(SyncPointsKey));
}

void SetSyncPoint(SubtitleTable& table, int row, std::optional<int> frame)
{
    std::vector<SyncPoint> points = ReadSyncPoints(table);
    points.erase(
        std::remove_if(points.begin(), points.end(), [row](const SyncPoint& p) { return p.row == row; }), points.end());
    if (frame) points.push_back({ row, *frame });
    table.setSideData(SyncPointsKey, EncodeSyncPoints(std::move(points)));
}

void ClearSyncPoints(SubtitleTable& table) { table.setSideData(SyncPointsKey, {}); }

void PointsAfterInsert(std::vector<SyncPoint>& points, int row, int count)
{
    for (SyncPoint& p : points)
        if (p.row >= row) p.row += count;
}

void PointsAfterRemove(std::vector<SyncPoint>& points, int row, int count)
{
    points.erase(std::remove_if(points.begin(), points.end(),
                     [&](const SyncPoint& p) { return p.row >= row && p.row < row + count; }),
        points.end());
    for (SyncPoint& p : points)
        if (p.row >= row + count) p.row -= count;
}

int PointSyncPlan::map(int frame) const
{
    if (points.empty()) return frame;
    if (points.size() == 1) return frame + points[0].to - points[0].from;
    // The line through the two points around the frame; beyond the ends,
    // the nearest line goes on.
    size_t k = 0;
    while (k + 2 < points.size() && frame >= points[k + 1].from)
        ++k;
    const Point& a = points[k];
    const Point& b = points[k + 1];
    const long double slope = (long double)(b.to - a.to) / (long double)(b.from - a.from);
    const long double mapped = a.to + slope * (long double)(frame - a.from);
    return int(std::clamp<long double>(std::round(mapped), INT32_MIN, INT32_MAX));
}

PointSyncPlan PlanPointSync(const SubtitleTable& table, const std::vector<SyncPoint>& points)
{
    if (points.empty()) throw Error("There are no sync points: mark rows with the frame they must start at first.");
    PointSyncPlan plan;
    for (const SyncPoint& p : points) {
        if (p.row < 1 || p.row >= table.rowCount())
            throw Error("Sync point row " + std::to_string(p.row) + " is not a row of the subtitles.");
        const std::optional<int32_t> from = FrameCell(table, SubtitleTable::From, p.row);
        if (!from) throw Error("Row " + std::to_string(p.row) + " has a sync point but no start frame.");
        plan.points.push_back({ p.row, *from, p.frame, 0 });
    }
    std::sort(plan.points.begin(), plan.points.end(),
        [](const PointSyncPlan::Point& a, const PointSyncPlan::Point& b) { return a.from < b.from; });
    for (size_t i = 1; i < plan.points.size(); ++i) {
        const PointSyncPlan::Point& a = plan.points[i - 1];
        const PointSyncPlan::Point& b = plan.points[i];
        if (a.from == b.from && a.to != b.to)
            throw Error("Rows " + std::to_string(std::min(a.row, b.row)) + " and "
                + std::to_string(std::max(a.row, b.row)) + " start at the same frame but their sync points differ.");
    }
    // Points of rows that start together and must start together are one.
    plan.points.erase(
        std::unique(plan.points.begin(), plan.points.end(),
            [](const PointSyncPlan::Point& a, const PointSyncPlan::Point& b) { return a.from == b.from; }),
        plan.points.end());
    if (plan.points.size() > 2) {
        // Least squares: to = slope * from + intercept.
        long double n = plan.points.size(), sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (const PointSyncPlan::Point& p : plan.points) {
            sx += p.from;
            sy += p.to;
            sxx += (long double)p.from * p.from;
            sxy += (long double)p.from * p.to;
        }
        const long double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        const long double intercept = (sy - slope * sx) / n;
        for (PointSyncPlan::Point& p : plan.points)
            p.residual = double(p.to - (slope * p.from + intercept));
    }
    return plan;
}

int ApplyPointSync(SubtitleTable& table, const PointSyncPlan& plan)
{
    int changed = 0;
    SubtitleTable::BulkChange bulk(table);
    for (int row = 1; row < table.rowCount(); ++row) {
        const std::optional<int32_t> from = FrameCell(table, SubtitleTable::From, row);
        const std::optional<int32_t> to = FrameCell(table, SubtitleTable::To, row);
        if (!from || !to) continue;
        const int newFrom = std::max(0, plan.map(*from));
        const int newTo = std::max(newFrom, plan.map(*to));
        if (newFrom == *from && newTo == *to) continue;
        table.setCell(SubtitleTable::From, row, IntToStr(newFrom));
        table.setCell(SubtitleTable::To, row, IntToStr(newTo));
        ++changed;
    }
    return changed;
}

} // namespace tessel
