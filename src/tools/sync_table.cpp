#include "tools/sync_table.h"

#include "core/errors.h"
#include "core/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tessel {
namespace {

int64_t millisecondsOf(int64_t frame, double framerate) { return std::llround(double(frame) * 1000 / framerate); }

} // namespace

std::optional<int32_t> FrameCell(const SubtitleTable& table, int column, int row)
{
    const std::string_view cell = table.cell(column, row);
    if (cell.find_first_not_of(' ') == std::string_view::npos) return std::nullopt;
    return TryStrToInt(cell);
}

TimedRows ReadTimedRows(const SubtitleTable& table, double framerate)
{
    TimedRows timed;
    timed.framerate = framerate;
    for (int row = 1; row < table.rowCount(); ++row) {
        const std::optional<int32_t> from = FrameCell(table, SubtitleTable::From, row);
        const std::optional<int32_t> to = FrameCell(table, SubtitleTable::To, row);
        if (!from || !to || (*from == 0 && *to == 0)) continue;
        timed.rows.push_back(row);
        timed.intervals.push_back(
            { millisecondsOf(*from, framerate), millisecondsOf(std::max(*to, *from), framerate) });
    }
    return timed;
}

std::vector<SyncInterval> ReferenceIntervals(const SubtitleTable& table, double framerate, const std::string& name)
{
    TimedRows timed = ReadTimedRows(table, framerate);
    if (timed.rows.empty()) throw Error("\"" + name + "\" has no timed subtitles to synchronise with.");
    return std::move(timed.intervals);
}

void RequireTimedRows(const TimedRows& rows)
{
    if (rows.rows.empty())
        throw Error("The subtitles have no timed rows (From and To frames) to synchronise: nothing was changed.");
}

int MappedFrame(const TimedRows& rows, const SyncResult& result, size_t index, int frame)
{
    const double ms = result.map(index, double(frame) * 1000 / rows.framerate);
    const double mapped = std::round(ms * rows.framerate / 1000);
    return int(std::clamp(mapped, 0.0, double(INT32_MAX)));
}

int ApplySync(SubtitleTable& table, const TimedRows& rows, const SyncResult& result)
{
    int changed = 0;
    SubtitleTable::BulkChange bulk(table);
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const int row = rows.rows[i];
        const int32_t from = *FrameCell(table, SubtitleTable::From, row);
        const int32_t to = *FrameCell(table, SubtitleTable::To, row);
        const int newFrom = MappedFrame(rows, result, i, from);
        const int newTo = std::max(newFrom, MappedFrame(rows, result, i, to));
        if (newFrom == from && newTo == to) continue;
        table.setCell(SubtitleTable::From, row, IntToStr(newFrom));
        table.setCell(SubtitleTable::To, row, IntToStr(newTo));
        ++changed;
    }
    return changed;
}

std::string LowScoreMessage(bool reference)
{
    return std::string(reference ? "the reference" : "the speech")
        + " and the subtitles do not match well: check before applying";
}

std::string OffsetText(double milliseconds)
{
    char text[40];
    std::snprintf(text, sizeof text, "%+.3f s", milliseconds / 1000);
    return text;
}

std::string DescribeSync(const SyncResult& result, const TimedRows& rows)
{
    const double offset = result.segments.empty() ? 0 : result.segments.front().offsetMs;
    std::string text = "offset " + OffsetText(offset) + ", ratio " + DescribeRatio(result.ratio) + ", "
        + std::to_string(result.segments.size()) + (result.segments.size() == 1 ? " segment" : " segments");
    if (result.segments.size() > 1) {
        text += " (";
        for (size_t s = 0; s < result.segments.size(); ++s) {
            const SyncSegment& segment = result.segments[s];
            if (s) text += ", ";
            text += "rows " + std::to_string(rows.rows[segment.first]) + "-" + std::to_string(rows.rows[segment.last])
                + " " + OffsetText(segment.offsetMs);
        }
        text += ")";
    }
    return text + ", score " + std::to_string(int(std::lround(result.score)));
}

} // namespace tessel
