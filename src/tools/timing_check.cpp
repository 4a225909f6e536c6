#include "tools/timing_check.h"

#include "core/numbers.h"
#include "core/text_utils.h"

#include <optional>

namespace tessel {
namespace {

const std::string OverlapMessage = "This subtitle start before the previous one ends.";
const std::string TooShortMessage = "This subtitle is visible for too short time.";
const QString TimingCheckDoneMessage = QStringLiteral("The subtitles timing check is complete.");

// A frame cell that is not a number counts as 0; with auto-fix it is also rewritten as "0".
int64_t readFrame(SubtitleTable& table, int column, int row, bool autoFix)
{
    if (const auto value = TryStrToInt(table.cell(column, row))) return *value;
    if (autoFix) table.setCell(column, row, "0");
    return 0;
}

int64_t previousEnd(const SubtitleTable& table, int row)
{
    return row > 1 ? TryStrToInt(table.cell(SubtitleTable::To, row - 1)).value_or(0) : 0;
}

int textCharacters(const SubtitleTable& table, int row)
{
    return CharacterCount(table.cell(SubtitleTable::Line1, row)) + CharacterCount(table.cell(SubtitleTable::Line2, row))
        + CharacterCount(table.cell(SubtitleTable::Line3, row));
}

// False when the user cancelled.
bool checkRow(SubtitleTable& table, int row, bool autoFix, bool checkShortTime, CheckDialogView& dialog)
{
    int64_t start = readFrame(table, SubtitleTable::From, row, autoFix);
    const int64_t end = readFrame(table, SubtitleTable::To, row, autoFix);
    const int64_t prevEnd = previousEnd(table, row);
    if (prevEnd > start) {
        if (autoFix) {
            start = prevEnd + 1;
            table.setCell(SubtitleTable::From, row, IntToStr(start));
        } else if (!ShowCheckDialog(table, dialog, row, SubtitleTable::From, OverlapMessage, IntToStr(prevEnd + 1))) {
            return false;
        }
    }
    if (!checkShortTime) return true;
    const int64_t need = NeededFrames(textCharacters(table, row));
    if (need <= end - start + 10) return true;
    if (autoFix) {
        table.setCell(SubtitleTable::To, row, IntToStr(start + need));
        return true;
    }
    return ShowCheckDialog(table, dialog, row, SubtitleTable::To, TooShortMessage, IntToStr(start + need));
}

// False when the user cancelled.
bool checkAllRows(SubtitleTable& table, bool autoFix, bool checkShortTime, CheckDialogView& dialog)
{
    // Without the dialog nothing needs the grid refreshed per cell.
    std::optional<SubtitleTable::BulkChange> bulk;
    if (autoFix) bulk.emplace(table);
    for (int row = 1; row < table.rowCount(); ++row)
        if (!checkRow(table, row, autoFix, checkShortTime, dialog)) return false;
    return true;
}

} // namespace

int64_t NeededFrames(int characters) { return RoundTiesEven(characters * 1.398L) + 30; }

CheckOutcome CheckTiming(SubtitleTable& table, bool autoFix, bool checkShortTime, const CheckServices& services)
{
    services.video.Pause();
    if (!checkAllRows(table, autoFix, checkShortTime, services.dialog)) return CheckOutcome::Cancelled;
    services.messages.showDone(TimingCheckDoneMessage);
    return CheckOutcome::Completed;
}

} // namespace tessel
