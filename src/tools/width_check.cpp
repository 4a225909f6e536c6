#include "tools/width_check.h"

#include "core/numbers.h"
#include "core/text_utils.h"

namespace tessel {
namespace {

const QString InvalidWidthMessage = QStringLiteral("Invalid screen width!");
const QString WidthCheckDoneMessage = QStringLiteral("The subtitles text width check is complete.");

std::string tooLongMessage(const std::string& fitting)
{
    return "This text is too long. Please correct. [" + fitting + "<--]";
}

// False when the user cancelled.
bool checkCell(SubtitleTable& table, int column, int row, int limit, TextMeasurer& measurer, CheckDialogView& dialog)
{
    const std::string text(table.cell(column, row));
    if (measurer.Width(text) <= limit) return true;
    return ShowCheckDialog(table, dialog, row, column, tooLongMessage(ShortenToWidth(text, limit, measurer)), "");
}

} // namespace

int TextWidthLimit(int32_t screenWidth) { return static_cast<int>(RoundTiesEven(screenWidth * 0.98L)); }

std::string ShortenToWidth(std::string_view text, int limit, TextMeasurer& measurer)
{
    std::string_view shorter = DropLastCharacter(text);
    while (!shorter.empty() && measurer.Width(std::string(shorter)) > limit)
        shorter = DropLastCharacter(shorter);
    return std::string(shorter);
}

CheckOutcome CheckTextWidth(
    SubtitleTable& table, std::string_view screenWidthText, TextMeasurer& measurer, const CheckServices& services)
{
    // A negative width leaves a limit no line can meet, so it is refused like text.
    const auto width = TryStrToInt(screenWidthText);
    if (!width || *width < 0) {
        services.messages.showError(InvalidWidthMessage);
        return CheckOutcome::Invalid;
    }
    const int limit = TextWidthLimit(*width);
    services.video.Pause();
    for (int row = 1; row < table.rowCount(); ++row) {
        for (int column : { SubtitleTable::Line1, SubtitleTable::Line2, SubtitleTable::Line3 }) {
            if (!checkCell(table, column, row, limit, measurer, services.dialog)) return CheckOutcome::Cancelled;
        }
    }
    services.messages.showDone(WidthCheckDoneMessage);
    return CheckOutcome::Completed;
}

std::string FontDescription(std::string_view family, bool bold, int pointSize)
{
    return std::string(family) + ", " + (bold ? "Bold, " : "") + IntToStr(pointSize) + "pt";
}

} // namespace tessel
