#include "cli/tool_steps.h"

#include "cli/reading_steps.h"
#include "cli/sync_steps.h"
#include "cli/text_steps.h"
#include "core/numbers.h"
#include "core/text_utils.h"
#include "tools/repair.h"
#include "tools/timing_check.h"
#include "tools/timing_tools.h"

#include <algorithm>
#include <array>

namespace tessel::cli {
namespace {

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

void runConvertFps(const ToolStep& step, const ToolRun& run)
{
    const Rates rates = splitRates(step);
    reportConversion(run.messages, ConvertFramerate(run.table, rates.from, rates.to, '.', run.messages));
    run.framerate = *ParseFramerate(rates.to);
}

void runAddFrames(const ToolStep& step, const ToolRun& run)
{
    if (auto report = AddFrames(run.table, 1, step.args.at(0), false))
        reportLeftRows(run.messages, step.option, *report);
}

void runExpandDelay(const ToolStep& step, const ToolRun& run)
{
    reportLeftRows(run.messages, step.option, ExpandDelay(run.table, step.args.at(0)));
}

void requireFind(const ToolStep& step)
{
    if (step.args.at(0).empty()) throw UsageError { step.option + ": FIND is empty" };
}

void runReplace(const ToolStep& step, const ToolRun& run) { UserReplace(run.table, step.args.at(0), step.args.at(1)); }

void validateRepair(const ToolStep& step) { repairItems(step); }

void runRepair(const ToolStep& step, const ToolRun& run) { RunAutoRepair(run.table, repairItems(step)); }

void runFixTiming(const ToolStep&, const ToolRun& run)
{
    NoDialog dialog;
    NoVideo video;
    CheckTiming(run.table, true, run.given("--short-time"), CheckServices { dialog, video, run.messages });
}

void validateRates(const ToolStep& step) { splitRates(step); }

void validateReading(const ToolStep& step) { ResolveProfile(step.option, step.args.at(0)); }

void runFixReading(const ToolStep& step, const ToolRun& run)
{
    FixReadingStep(step.args.at(0), run.table, run.framerate, run.messages, run.shots);
}

// Option, value, joined option and its value, usage text, check, action, and
// the tool a modifier modifies.
const std::vector<ToolDeclaration> Tools = {
    { "--convert-fps", "FROM:TO", nullptr, nullptr,
        "framerate conversion (\".\" or \",\" as separator; a rate <= 0 is a usage error)", validateRates,
        runConvertFps, nullptr },
    { "--add-frames", "N", nullptr, nullptr, "\"Add frames\" from row 1", requireWholeNumber, runAddFrames, nullptr },
    { "--expand-delay", "N", nullptr, nullptr, "\"Expand delay\"", requireWholeNumber, runExpandDelay, nullptr },
    { "--replace", "FIND", "--with", "REPLACEMENT", "the user replace (case-insensitive search)", requireFind,
        runReplace, nullptr },
    { "--repair", "LIST", nullptr, nullptr, "auto-repair items by index 0..6, comma-separated, run in index order",
        validateRepair, runRepair, nullptr },
    { "--fix-timing", nullptr, nullptr, nullptr, "the timing check with \"Auto-fix\" ticked", nullptr, runFixTiming,
        nullptr },
    { "--short-time", nullptr, nullptr, nullptr, "with --fix-timing: also \"Check for too short delay\"", nullptr,
        nullptr, "--fix-timing" },
    { "--fix-reading", "PROFILE", nullptr, nullptr, "every safe correction of the reading speed and layout check",
        validateReading, runFixReading, nullptr },
    { "--text-profile", "PROFILE", nullptr, nullptr,
        "the profile the text tools below follow (default \"Netflix English (adults)\")", ValidateTextProfile, nullptr,
        nullptr },
    { "--break-lines", "N", nullptr, nullptr,
        "break every subtitle again into the profile's lines of at most N characters", ValidateCharsPerLine,
        RunBreakLines, nullptr },
    { "--unbreak", nullptr, nullptr, nullptr, "join the lines of subtitles that fit one line of the profile", nullptr,
        RunUnbreak, nullptr },
    { "--split-long", "N", nullptr, nullptr, "split subtitles that do not fit the profile's lines of N characters",
        ValidateCharsPerLine, RunSplitLong, nullptr },
    { "--merge-short", "MS", nullptr, nullptr, "merge subtitles shown under MS ms with the next while the text fits",
        ValidateMilliseconds, RunMergeShort, nullptr },
    { "--merge-gap", "MS", nullptr, nullptr, "with --merge-short: only when the next starts within MS (default 250)",
        ValidateMilliseconds, nullptr, "--merge-short" },
    { "--remove-hi", nullptr, nullptr, nullptr, "remove [brackets], (parentheses), LABELS: and lines of music signs",
        nullptr, RunRemoveHearingImpaired, nullptr },
    { "--keep-brackets", nullptr, nullptr, nullptr, "with --remove-hi: leave [brackets]", nullptr, nullptr,
        "--remove-hi" },
    { "--keep-parentheses", nullptr, nullptr, nullptr, "with --remove-hi: leave (parentheses)", nullptr, nullptr,
        "--remove-hi" },
    { "--keep-labels", nullptr, nullptr, nullptr, "with --remove-hi: leave speaker labels", nullptr, nullptr,
        "--remove-hi" },
    { "--keep-music-signs", nullptr, nullptr, nullptr, "with --remove-hi: leave lines of music signs alone", nullptr,
        nullptr, "--remove-hi" },
    { "--remove-sung-lines", nullptr, nullptr, nullptr,
        "with --remove-hi: also lines that start or end with a music sign", nullptr, nullptr, "--remove-hi" },
    { "--replace-regex", "PATTERN", "--with", "TEXT",
        "replace a regular expression (case-sensitive; \\n a line break, \\1 a group)", ValidateRegex, RunReplaceRegex,
        nullptr },
    { "--sync-audio", "MOVIE", nullptr, nullptr,
        "synchronise to MOVIE's speech: offset, speed ratio, splits at cuts; one summary line", nullptr, RunSyncAudio,
        nullptr },
    { "--sync-reference", "FILE", nullptr, nullptr, "synchronise to FILE, subtitles already timed to the film", nullptr,
        RunSyncReference, nullptr },
    { "--sync-no-splits", nullptr, nullptr, nullptr, "with --sync-audio or --sync-reference: one offset, no splits",
        nullptr, nullptr, "--sync-audio|--sync-reference" },
    { "--sync-force", nullptr, nullptr, nullptr, "with --sync-audio or --sync-reference: write even on a low score",
        nullptr, nullptr, "--sync-audio|--sync-reference" },
    { "--sync-point", "ROW=FRAME", nullptr, nullptr,
        "point sync: row ROW (from 1) starts at FRAME; repeatable, straight lines between points", ValidateSyncPoint,
        RunSyncPoints, nullptr },
};

// The option and its values, then the description from this column on.
constexpr size_t UsageDescriptionColumn = 37;

std::string usageLine(const ToolDeclaration& tool)
{
    std::string line = std::string("  ") + tool.option;
    if (tool.valueName) line += std::string(" ") + tool.valueName;
    if (tool.joinedOption) line += std::string(" ") + tool.joinedOption + " " + tool.joinedValueName;
    line.resize(std::max(line.size() + 2, UsageDescriptionColumn), ' ');
    return line + tool.description + "\n";
}

} // namespace

bool ToolRun::given(const char* option) const
{
    return std::any_of(steps.begin(), steps.end(), [option](const ToolStep& s) { return s.option == option; });
}

bool ToolRun::givenAny(const char* options) const
{
    for (const std::string& option : SplitText(options, "|", false, -1))
        if (given(option.c_str())) return true;
    return false;
}

const ToolDeclaration* FindTool(const std::string& option)
{
    for (const ToolDeclaration& tool : Tools)
        if (option == tool.option) return &tool;
    return nullptr;
}

const ToolDeclaration* FindToolJoinedBy(const std::string& option)
{
    for (const ToolDeclaration& tool : Tools)
        if (tool.joinedOption && option == tool.joinedOption) return &tool;
    return nullptr;
}

double RunToolSteps(const std::vector<ToolStep>& steps, SubtitleTable& table, MessageSink& messages, double framerate,
    ShotChangeInput* shots)
{
    const ToolRun run { table, messages, steps, framerate, shots };
    for (const ToolDeclaration& tool : Tools)
        if (tool.modifies && run.given(tool.option) && !run.givenAny(tool.modifies))
            warn(messages,
                std::string(tool.option) + " does nothing without "
                    + ReplaceAllText(tool.modifies, "|", " or ", false));
    for (const ToolStep& step : steps) {
        const ToolDeclaration* tool = FindTool(step.option);
        if (tool && tool->run) tool->run(step, run);
    }
    return framerate;
}

std::string ToolStepUsage()
{
    std::string usage;
    for (const ToolDeclaration& tool : Tools)
        usage += usageLine(tool);
    return usage;
}

} // namespace tessel::cli
