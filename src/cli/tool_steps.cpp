#include "cli/tool_steps.h"

#include "cli/reading_steps.h"
#include "core/numbers.h"
#include "core/text_utils.h"
#include "tools/repair.h"
#include "tools/timing_check.h"
#include "tools/timing_tools.h"

#include <algorithm>
#include <array>
#include <map>

namespace tessel::cli {
namespace {

const std::map<std::string, int> Arities = {
    { "--convert-fps", 1 },
    { "--add-frames", 1 },
    { "--expand-delay", 1 },
    { "--replace", 1 },
    { "--repair", 1 },
    { "--fix-timing", 0 },
    { "--short-time", 0 },
    { "--fix-reading", 1 },
};

struct Rates {
    std::string from, to; // with "." as decimal separator
};

std::string normalRate(const ToolStep& step, const std::string& rate)
{
    if (!ParseFramerate(rate)) throw UsageError { step.option + ": '" + rate + "' is not a framerate above 0" };
    std::string normal = rate;
    std::replace(normal.begin(), normal.end(), ',', '.');
    return normal;
}

// "FROM:TO" with "." or "," in each rate.
Rates splitRates(const ToolStep& step)
{
    const std::string& value = step.args.at(0);
    const size_t colon = value.find(':');
    if (colon == std::string::npos || value.find(':', colon + 1) != std::string::npos)
        throw UsageError { step.option + " needs FROM:TO, not '" + value + "'" };
    return Rates { normalRate(step, value.substr(0, colon)), normalRate(step, value.substr(colon + 1)) };
}

void requireWholeNumber(const ToolStep& step)
{
    if (!TryStrToInt(step.args.at(0)))
        throw UsageError { step.option + ": '" + step.args.at(0) + "' is not a whole number" };
}

std::array<bool, AutoRepairItemCount> repairItems(const ToolStep& step)
{
    std::array<bool, AutoRepairItemCount> checked {};
    const std::vector<std::string> items = SplitText(step.args.at(0), ",", false, -1);
    if (items.empty()) throw UsageError { step.option + " needs a list of items 0 to 6" };
    for (const std::string& item : items) {
        if (item.size() != 1 || item[0] < '0' || item[0] >= '0' + AutoRepairItemCount)
            throw UsageError { step.option + ": '" + item + "' is not an item 0 to 6" };
        checked[static_cast<size_t>(item[0] - '0')] = true;
    }
    return checked;
}

void warn(MessageSink& messages, const std::string& text)
{
    messages.showMessage(QStringLiteral("Warning"), QString::fromStdString(text), MessageIcon::Warning);
}

void reportLeftRows(MessageSink& messages, const std::string& option, const AdjustReport& report)
{
    if (report.badRows > 0)
        warn(messages,
            option + ": " + std::to_string(report.badRows)
                + " row(s) left unchanged: a frame cell is not a whole number");
    if (report.outOfRangeRows > 0)
        warn(messages,
            option + ": " + std::to_string(report.outOfRangeRows)
                + " row(s) left unchanged: the new frame would not fit 32 bits");
}

void reportConversion(MessageSink& messages, const FramerateConversion& result)
{
    if (!result.ratesValid || result.stoppedAtRow == 0) return;
    const std::string cell = result.stoppedAtColumn == SubtitleTable::From ? "From" : "To";
    warn(messages,
        "--convert-fps: stopped at the " + cell + " cell of row " + std::to_string(result.stoppedAtRow)
            + (result.outOfRange ? ": the new frame would not fit 32 bits" : ": not a whole number")
            + "; it and the cells after it are unconverted");
}

// Only reached with auto-fix, which never asks.
class NoDialog : public CheckDialogView {
public:
    int Exec(CheckWindow&, const QString&, bool) override { return CheckCancel; }
};

// `framerate`: the rate the frames are in, which a framerate conversion changes.
void runStep(const ToolStep& step, SubtitleTable& table, MessageSink& messages, bool shortTime, double& framerate)
{
    const std::string& option = step.option;
    if (option == "--convert-fps") {
        const Rates rates = splitRates(step);
        reportConversion(messages, ConvertFramerate(table, rates.from, rates.to, '.', messages));
        framerate = *ParseFramerate(rates.to);
    } else if (option == "--add-frames") {
        if (auto report = AddFrames(table, 1, step.args.at(0), false)) reportLeftRows(messages, option, *report);
    } else if (option == "--expand-delay") {
        reportLeftRows(messages, option, ExpandDelay(table, step.args.at(0)));
    } else if (option == "--replace") {
        UserReplace(table, step.args.at(0), step.args.at(1));
    } else if (option == "--repair") {
        RunAutoRepair(table, repairItems(step));
    } else if (option == "--fix-timing") {
        NoDialog dialog;
        NoVideo video;
        CheckTiming(table, true, shortTime, CheckServices { dialog, video, messages });
    } else if (option == "--fix-reading") {
        FixReadingStep(step.args.at(0), table, framerate, messages);
    }
}

} // namespace

int ToolStepArity(const std::string& option)
{
    const auto found = Arities.find(option);
    return found == Arities.end() ? -1 : found->second;
}

void ValidateToolStep(const ToolStep& step)
{
    const std::string& option = step.option;
    if (option == "--convert-fps")
        splitRates(step);
    else if (option == "--add-frames" || option == "--expand-delay")
        requireWholeNumber(step);
    else if (option == "--replace" && step.args.at(0).empty())
        throw UsageError { "--replace: FIND is empty" };
    else if (option == "--repair")
        repairItems(step);
    else if (option == "--fix-reading")
        ResolveProfile(option, step.args.at(0));
}

double RunToolSteps(const std::vector<ToolStep>& steps, SubtitleTable& table, MessageSink& messages, double framerate)
{
    const auto has = [&steps](const char* option) {
        return std::any_of(steps.begin(), steps.end(), [option](const ToolStep& s) { return s.option == option; });
    };
    const bool shortTime = has("--short-time");
    if (shortTime && !has("--fix-timing")) warn(messages, "--short-time does nothing without --fix-timing");
    for (const ToolStep& step : steps)
        runStep(step, table, messages, shortTime, framerate);
    return framerate;
}

std::string ToolStepUsage()
{
    return "  --convert-fps FROM:TO              framerate conversion (\".\" or \",\" as separator; a rate <= 0 is a "
           "usage error)\n"
           "  --add-frames N                     \"Add frames\" from row 1\n"
           "  --expand-delay N                   \"Expand delay\"\n"
           "  --replace FIND --with REPLACEMENT  the user replace (case-insensitive search)\n"
           "  --repair LIST                      auto-repair items by index 0..6, comma-separated, run in index order\n"
           "  --fix-timing                       the timing check with \"Auto-fix\" ticked\n"
           "  --short-time                       with --fix-timing: also \"Check for too short delay\"\n"
           "  --fix-reading PROFILE              every safe correction of the reading speed and layout check\n";
}

} // namespace tessel::cli
