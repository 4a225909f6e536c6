#include "tools/keyboard_timing.h"

#include "core/numbers.h"

#include <algorithm>

namespace tessel {
namespace {

bool validRow(const SubtitleTable& table, int row) { return row >= 1 && row < table.rowCount(); }

void setFrame(SubtitleTable& table, int column, int row, int64_t frame)
{
    if (validRow(table, row)) table.setCell(column, row, IntToStr(std::max<int64_t>(frame, 0)));
}

bool nudge(SubtitleTable& table, int column, int row, int frames)
{
    if (!validRow(table, row)) return false;
    const std::optional<int32_t> frame = TryStrToInt(table.cell(column, row));
    if (!frame) return false;
    setFrame(table, column, row, int64_t(*frame) + frames);
    return true;
}

} // namespace

void SetRowStart(SubtitleTable& table, int row, int frame) { setFrame(table, SubtitleTable::From, row, frame); }

void SetRowEnd(SubtitleTable& table, int row, int frame) { setFrame(table, SubtitleTable::To, row, frame); }

bool HasNoStart(const SubtitleTable& table, int row)
{
    const std::string_view from = table.cell(SubtitleTable::From, row);
    if (from.empty()) return true;
    const std::string_view to = table.cell(SubtitleTable::To, row);
    return TryStrToInt(from) == 0 && (to.empty() || TryStrToInt(to) == 0);
}

int SetEndAndGoOn(SubtitleTable& table, int row, int frame)
{
    if (!validRow(table, row)) return row;
    SetRowEnd(table, row, frame);
    const int next = row + 1;
    if (!validRow(table, next)) return row;
    if (HasNoStart(table, next)) SetRowStart(table, next, frame + TimingGap);
    return next;
}

bool NudgeStart(SubtitleTable& table, int row, int frames) { return nudge(table, SubtitleTable::From, row, frames); }

bool NudgeEnd(SubtitleTable& table, int row, int frames) { return nudge(table, SubtitleTable::To, row, frames); }

} // namespace tessel
