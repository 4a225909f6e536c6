#pragma once
#include "core/subtitle_table.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Point sync: rows the user marked with the frame they must start at. Every
// row is then mapped by straight lines between consecutive points (one point:
// a shift; before the first and after the last point the nearest line goes
// on), rounded to frames. The points are kept with the document in the
// table's side data, so undo, redo and the recovery journal keep them.
namespace tessel {

struct SyncPoint {
    int row = 0; // table row, counted from 1 as in the grid
    int frame = 0; // where its start must be
    bool operator==(const SyncPoint& other) const { return row == other.row && frame == other.frame; }
};

inline constexpr std::string_view SyncPointsKey = "sync-points";

// "row frame" a line, by row; lines that do not read are left out.
std::vector<SyncPoint> DecodeSyncPoints(std::string_view text);
std::string EncodeSyncPoints(std::vector<SyncPoint> points);

std::vector<SyncPoint> ReadSyncPoints(const SubtitleTable& table);
// Sets (or with nothing, clears) the point of a row.
void SetSyncPoint(SubtitleTable& table, int row, std::optional<int> frame);
void ClearSyncPoints(SubtitleTable& table);

// The points after rows were inserted or removed: they stay with their rows;
// a removed row's point goes with it.
void PointsAfterInsert(std::vector<SyncPoint>& points, int row, int count);
void PointsAfterRemove(std::vector<SyncPoint>& points, int row, int count);

struct PointSyncPlan {
    struct Point {
        int row = 0;
        int from = 0; // the row's start now
        int to = 0; // where it must start
        // Frames off the one straight line that fits all points best (0 for
        // one or two points): a point far off it marks a cut, or a mistake.
        double residual = 0;
    };
    std::vector<Point> points; // by their rows' starts

    // Where a frame goes.
    int map(int frame) const;
};

// Throws Error when there is no point, or a point's row has no start frame,
// or two rows starting at the same frame must start at different ones.
PointSyncPlan PlanPointSync(const SubtitleTable& table, const std::vector<SyncPoint>& points);
// Maps From and To of every row whose frames are whole numbers; returns how
// many rows changed.
int ApplyPointSync(SubtitleTable& table, const PointSyncPlan& plan);

} // namespace tessel
