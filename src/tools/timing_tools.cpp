#include "tools/timing_tools.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/text_utils.h"

#include <limits>
#include <locale>
#include <sstream>

namespace tessel {
namespace {

const QString InvalidFramerateMessage = QStringLiteral("Invalid framerate.");

// The rate in extended precision, as the arithmetic that uses it.
std::optional<long double> readRate(std::string_view text, char decimalSeparator)
{
    if (!TryStrToFloat(text, decimalSeparator)) return std::nullopt;
    std::string normal = TrimBlanks(text);
    for (char& c : normal)
        if (c == decimalSeparator) c = '.';
    std::istringstream in(normal);
    in.imbue(std::locale::classic());
    long double rate = 0;
    in >> rate;
    if (in.fail() || !(rate > 0)) return std::nullopt;
    return rate;
}

bool fitsInt32(int64_t value)
{
    return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

enum class Rescale { Done, BadCell, OutOfRange };

// Divide first, then multiply: the order decides which frames round which way.
Rescale rescaleCell(SubtitleTable& table, int column, int row, long double oldRate, long double newRate)
{
    const auto frame = TryStrToInt(table.cell(column, row));
    if (!frame) return Rescale::BadCell;
    try {
        table.setCell(column, row, IntToStr(RoundTiesEvenToInt32(Divide(*frame, oldRate) * newRate)));
    } catch (const MathError&) {
        return Rescale::OutOfRange;
    }
    return Rescale::Done;
}

bool validRow(const SubtitleTable& table, int row) { return row >= 1 && row < table.rowCount(); }

} // namespace

FramerateConversion ConvertFramerate(SubtitleTable& table, std::string_view fromRateText, std::string_view toRateText,
    char decimalSeparator, MessageSink& messages)
{
    FramerateConversion result;
    const auto oldRate = readRate(fromRateText, decimalSeparator);
    const auto newRate = readRate(toRateText, decimalSeparator);
    if (!oldRate || !newRate) {
        messages.showMessage(QStringLiteral("Error"), InvalidFramerateMessage, MessageIcon::Warning);
        return result;
    }
    result.ratesValid = true;
    SubtitleTable::BulkChange bulk(table);
    for (int row = 1; row < table.rowCount(); ++row) {
        for (int column : { SubtitleTable::From, SubtitleTable::To }) {
            const Rescale done = rescaleCell(table, column, row, *oldRate, *newRate);
            if (done == Rescale::Done) continue;
            result.stoppedAtRow = row;
            result.stoppedAtColumn = column;
            result.outOfRange = done == Rescale::OutOfRange;
            return result;
        }
    }
    return result;
}

AdjustReport ShiftFrames(SubtitleTable& table, int startRow, int64_t frames, bool startAtCurrentRow)
{
    AdjustReport report;
    SubtitleTable::BulkChange bulk(table);
    for (int row = startAtCurrentRow && startRow > 1 ? startRow : 1; row < table.rowCount(); ++row) {
        const auto from = TryStrToInt(table.cell(SubtitleTable::From, row));
        const auto to = TryStrToInt(table.cell(SubtitleTable::To, row));
        if (!from || !to) {
            ++report.badRows;
            continue;
        }
        const int64_t newFrom = *from + frames, newTo = *to + frames;
        if (!fitsInt32(newFrom) || !fitsInt32(newTo)) {
            ++report.outOfRangeRows;
            continue;
        }
        table.setCell(SubtitleTable::From, row, IntToStr(newFrom));
        table.setCell(SubtitleTable::To, row, IntToStr(newTo));
        ++report.changedRows;
    }
    return report;
}

std::optional<AdjustReport> AddFrames(
    SubtitleTable& table, int currentRow, std::string_view countText, bool startAtCurrentRow)
{
    const auto frames = TryStrToInt(countText);
    if (!frames) return std::nullopt;
    return ShiftFrames(table, currentRow, *frames, startAtCurrentRow);
}

std::optional<AdjustReport> ChangeStart(
    SubtitleTable& table, int currentRow, std::string_view newStartText, bool startAtCurrentRow)
{
    if (!validRow(table, currentRow)) return std::nullopt;
    const auto start = TryStrToInt(table.cell(SubtitleTable::From, currentRow));
    const auto newStart = TryStrToInt(newStartText);
    if (!start || !newStart) return std::nullopt;
    return ShiftFrames(table, currentRow, static_cast<int64_t>(*newStart) - *start, startAtCurrentRow);
}

std::string ChangeStartFieldText(const SubtitleTable& table, int currentRow)
{
    if (!validRow(table, currentRow)) return "0";
    const std::string_view from = table.cell(SubtitleTable::From, currentRow);
    return from.empty() ? "0" : std::string(from);
}

namespace {

// The new end of one row, before the 32-bit check; nullopt: leave the row alone.
std::optional<int64_t> expandedEnd(const SubtitleTable& table, int row, int32_t frames)
{
    const int32_t end = TryStrToInt(table.cell(SubtitleTable::To, row)).value_or(0);
    if (end == 0) return std::nullopt;
    int64_t newEnd = static_cast<int64_t>(end) + frames;
    if (frames > 0 && row + 1 < table.rowCount()) {
        // A next start that is not a number sets no limit (it would pull the end to -1).
        const auto next = TryStrToInt(table.cell(SubtitleTable::From, row + 1));
        if (next && *next <= newEnd) newEnd = static_cast<int64_t>(*next) - 1;
    }
    if (frames < 0) {
        const int32_t start = TryStrToInt(table.cell(SubtitleTable::From, row)).value_or(0);
        if (start >= newEnd) newEnd = static_cast<int64_t>(start) + 1;
    }
    return newEnd;
}

} // namespace

AdjustReport ExpandDelay(SubtitleTable& table, std::string_view framesText)
{
    const int32_t frames = TryStrToInt(framesText).value_or(0);
    AdjustReport report;
    SubtitleTable::BulkChange bulk(table);
    for (int row = 1; row < table.rowCount(); ++row) {
        const auto end = expandedEnd(table, row, frames);
        if (!end) continue;
        if (!fitsInt32(*end)) {
            ++report.outOfRangeRows;
            continue;
        }
        table.setCell(SubtitleTable::To, row, IntToStr(*end));
        ++report.changedRows;
    }
    return report;
}

} // namespace tessel
