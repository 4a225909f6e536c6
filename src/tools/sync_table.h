#pragma once
#include "core/subtitle_table.h"
#include "tools/sync.h"

#include <optional>
#include <string>
#include <vector>

// Synchronisation over the table: the rows that have times, a result applied
// to them (rounded to frames), and the summary the window and the converter
// show.
namespace tessel {

// The rows whose From and To are whole numbers (an empty row is no timed
// row), as intervals in milliseconds at the framerate.
struct TimedRows {
    std::vector<int> rows; // table rows, in table order
    std::vector<SyncInterval> intervals; // the same order
    double framerate = 25;
};

TimedRows ReadTimedRows(const SubtitleTable& table, double framerate);
// The whole number a frame cell holds; nothing for an empty cell or text.
std::optional<int32_t> FrameCell(const SubtitleTable& table, int column, int row);
// The same from a reference file's table; throws Error naming the file when
// it has none.
std::vector<SyncInterval> ReferenceIntervals(const SubtitleTable& table, double framerate, const std::string& name);

// Throws Error ("no timed rows") for a table with none.
void RequireTimedRows(const TimedRows& rows);

// Each timed row's From and To mapped by its segment and rounded to frames,
// never before frame 0. Returns how many rows changed.
int ApplySync(SubtitleTable& table, const TimedRows& rows, const SyncResult& result);

// The frame a row's start goes to.
int MappedFrame(const TimedRows& rows, const SyncResult& result, size_t index, int frame);

// "offset +3.420 s, ratio 25/23.976, 2 segments (rows 1-340 +3.420 s, rows
// 341-812 -16.580 s), score 71"
std::string DescribeSync(const SyncResult& result, const TimedRows& rows);
// "+3.420 s"
std::string OffsetText(double milliseconds);

// What a score below SyncResult::LowScore is called.
std::string LowScoreMessage(bool reference);

} // namespace tessel
