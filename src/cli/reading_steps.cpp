#include "cli/reading_steps.h"

#include "cli/options.h"
#include "cli/shot_steps.h"
#include "core/numbers.h"
#include "tools/reading_check.h"

#include <QFileInfo>
#include <cmath>

namespace tessel::cli {
namespace {

bool namesAFile(const std::string& text) { return QFileInfo(QString::fromStdString(text)).isFile(); }

void appendField(std::string& line, std::string_view field)
{
    line += field;
    line += '\t';
}

} // namespace

ReadingProfile ResolveProfile(const std::string& option, const std::string& nameOrPath)
{
    const ProfileList list = LoadProfiles();
    if (const ReadingProfile* profile = FindProfile(list, nameOrPath)) return *profile;
    if (namesAFile(nameOrPath)) {
        try {
            return ReadProfileFile(nameOrPath);
        } catch (const ProfileProblem& problem) {
            throw UsageError { option + ": " + problem.text() };
        }
    }
    std::string message = option + ": no profile or profile file '" + nameOrPath + "' (--list-profiles lists them)";
    for (const ProfileProblem& problem : list.problems)
        message += "\n  skipped " + problem.text();
    throw UsageError { message };
}

void FixReadingStep(
    const std::string& profile, SubtitleTable& table, double framerate, MessageSink& messages, ShotChangeInput* shots)
{
    ReadingRules rules(ResolveProfile("--fix-reading", profile), framerate);
    if (shots) rules.setShotChanges(shots->cutsAt(framerate));
    const ReadingFixReport report = FixReading(table, rules);
    if (report.left > 0)
        messages.showMessage(QStringLiteral("Warning"),
            QStringLiteral("--fix-reading: %1 finding(s) left without a safe fix (--lint lists them)").arg(report.left),
            MessageIcon::Warning);
}

int LintTable(
    const SubtitleTable& table, const std::string& profile, double framerate, std::ostream& out, ShotChangeInput* shots)
{
    ReadingRules rules(ResolveProfile("--lint", profile), framerate);
    if (shots) rules.setShotChanges(shots->cutsAt(framerate));
    std::string text;
    bool found = false;
    LintReading(table, rules, [&](const ReadingFinding& f) {
        found = true;
        appendField(text, IntToStr(f.row));
        appendField(text, f.start ? IntToStr(*f.start) : std::string("-"));
        appendField(text, ReadingRuleId(f.rule));
        appendField(text, ReadingRules::MeasuredText(f));
        text += ReadingRules::LimitText(f);
        text += '\n';
        if (text.size() >= (1 << 20)) {
            out << text;
            text.clear();
        }
    });
    out << text;
    return found ? LintFindingsStatus : 0;
}

int LintTranslation(
    const SubtitleTable& table, const std::string& profile, const OriginalSubtitles& original, std::ostream& out)
{
    const double limit = ResolveProfile("--lint", profile).maxTranslationRatio.value_or(DefaultTranslationRatio);
    const Pairing pairing(original, table, DefaultPairing(original.rowCount(), table.rowCount() - 1));
    const std::vector<TranslationFinding> findings = CheckTranslation(table, original, pairing, limit);
    std::string text;
    for (const TranslationFinding& f : findings) {
        appendField(text, f.row ? IntToStr(f.row) : std::string("-"));
        appendField(text, f.start ? IntToStr(*f.start) : std::string("-"));
        if (f.kind == TranslationFinding::TooLong) {
            appendField(text, "translation-length");
            appendField(text, FormatFloatThreeDecimals(std::round(f.ratio * 100) / 100, '.', true));
            text += FormatFloatThreeDecimals(limit, '.', true);
        } else {
            appendField(text, "no-translation");
            appendField(text, IntToStr(f.original));
            text += '-';
        }
        text += '\n';
    }
    out << text;
    return findings.empty() ? 0 : LintFindingsStatus;
}

int ListProfiles(std::ostream& out, std::ostream& err)
{
    const ProfileList list = LoadProfiles();
    for (size_t i = 0; i < list.profiles.size(); ++i)
        out << (i > 0 ? "\n" : "") << ProfileFileText(list.profiles[i]);
    for (const ProfileProblem& problem : list.problems)
        err << "tessel-convert: skipped " << problem.text() << '\n';
    return 0;
}

} // namespace tessel::cli
