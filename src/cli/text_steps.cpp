#include "cli/text_steps.h"

#include "cli/reading_steps.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "tools/find_replace.h"
#include "tools/hearing_impaired.h"
#include "tools/line_breaking.h"
#include "tools/spell_check.h"
#include "tools/split_merge.h"

#include <cmath>
#include <map>

namespace tessel::cli {
namespace {

constexpr const char* DefaultTextProfile = "Netflix English (adults)";
constexpr int DefaultMergeGapMs = 250;

void warn(MessageSink& messages, const std::string& text)
{
    messages.showMessage(QStringLiteral("Warning"), QString::fromStdString(text), MessageIcon::Warning);
}

const ToolStep* lastStep(const ToolRun& run, const char* option)
{
    const ToolStep* last = nullptr;
    for (const ToolStep& step : run.steps)
        if (step.option == option) last = &step;
    return last;
}

int wholeNumber(const ToolStep& step) { return *TryStrToInt(step.args.at(0)); }

int framesOf(int milliseconds, double framerate)
{
    return static_cast<int>(std::lround(std::min(milliseconds * framerate / 1000.0, 1e9)));
}

} // namespace

ReadingProfile TextProfile(const ToolRun& run)
{
    const ToolStep* step = lastStep(run, "--text-profile");
    return ResolveProfile("--text-profile", step ? step->args.at(0) : DefaultTextProfile);
}

void ValidateCharsPerLine(const ToolStep& step)
{
    const auto n = TryStrToInt(step.args.at(0));
    if (!n || *n < 1 || *n > 10000)
        throw UsageError { step.option + ": '" + step.args.at(0) + "' is not a number of characters from 1" };
}

void ValidateMilliseconds(const ToolStep& step)
{
    const auto n = TryStrToInt(step.args.at(0));
    if (!n || *n < 0) throw UsageError { step.option + ": '" + step.args.at(0) + "' is not milliseconds from 0" };
}

void ValidateRegex(const ToolStep& step)
{
    try {
        TextSearch(FindOptions { step.args.at(0), true, true });
    } catch (const Error& e) {
        throw UsageError { step.option + ": " + e.what() };
    }
}

void ValidateTextProfile(const ToolStep& step) { ResolveProfile(step.option, step.args.at(0)); }

void RunBreakLines(const ToolStep& step, const ToolRun& run)
{
    LineLimits limits = LineLimitsOf(TextProfile(run));
    limits.charsPerLine = wholeNumber(step);
    ApplyRowChanges(run.table, PlanBreakLines(run.table, limits));
}

void RunUnbreak(const ToolStep&, const ToolRun& run)
{
    ApplyRowChanges(run.table, PlanUnbreak(run.table, LineLimitsOf(TextProfile(run)).charsPerLine));
}

void RunSplitLong(const ToolStep& step, const ToolRun& run)
{
    const ReadingProfile profile = TextProfile(run);
    LineLimits limits = LineLimitsOf(profile);
    limits.charsPerLine = wholeNumber(step);
    const int gap = MinGapFrames(profile, run.framerate);
    const SplitLongPlan plan = PlanSplitLong(run.table, limits, gap);
    ApplyRowChanges(run.table, plan.changes);
    if (!plan.tooShort.empty())
        warn(run.messages,
            step.option + ": " + std::to_string(plan.tooShort.size()) + " row(s) left whole, too short to split with "
                + std::to_string(gap) + " frame(s) between the parts (the first: row "
                + std::to_string(plan.tooShort.front()) + ")");
}

void RunMergeShort(const ToolStep& step, const ToolRun& run)
{
    const ToolStep* gap = lastStep(run, "--merge-gap");
    MergeShortOptions options;
    options.maxDuration = framesOf(wholeNumber(step), run.framerate);
    options.maxGap = framesOf(gap ? wholeNumber(*gap) : DefaultMergeGapMs, run.framerate);
    options.limits = LineLimitsOf(TextProfile(run));
    ApplyRowChanges(run.table, PlanMergeShort(run.table, options));
}

void RunRemoveHearingImpaired(const ToolStep&, const ToolRun& run)
{
    HearingImpairedOptions options;
    options.brackets = !run.given("--keep-brackets");
    options.parentheses = !run.given("--keep-parentheses");
    options.speakerLabels = !run.given("--keep-labels");
    options.musicSigns = !run.given("--keep-music-signs");
    options.sungLines = run.given("--remove-sung-lines");
    ApplyRowChanges(run.table, PlanRemoveHearingImpaired(run.table, options));
}

void RunReplaceRegex(const ToolStep& step, const ToolRun& run)
{
    const TextSearch search(FindOptions { step.args.at(0), true, true });
    ApplyRowChanges(run.table, PlanReplaceAll(run.table, search, step.args.at(1)));
}

void ValidateSpellLanguage(const std::string& language)
{
    std::string installed;
    for (const Dictionary& d : InstalledDictionaries()) {
        if (d.language == language) return;
        installed += (installed.empty() ? "" : ", ") + d.language;
    }
    throw UsageError { "--spell-check: no dictionary for '" + language
        + "'; installed: " + (installed.empty() ? std::string("none (install a hunspell-* package)") : installed) };
}

int SpellCheckTable(const SubtitleTable& table, const std::string& language, std::ostream& out)
{
    Speller speller(language);
    std::map<std::string, std::string> suggested;
    std::string text;
    bool found = false;
    CheckSpelling(table, speller, 1, SubtitleTable::Line1, 0, [&](const SpellFinding& f) {
        found = true;
        auto known = suggested.find(f.word);
        if (known == suggested.end()) {
            std::string list;
            for (const std::string& s : speller.suggestions(f.word))
                list += (list.empty() ? "" : ",") + s;
            known = suggested.emplace(f.word, list).first;
        }
        text += IntToStr(f.row) + '\t' + IntToStr(f.column) + '\t' + f.word + '\t' + known->second + '\n';
        return true;
    });
    out << text;
    return found ? SpellFindingsStatus : 0;
}

} // namespace tessel::cli
