#pragma once
#include "core/subtitle_table.h"
#include "core/user_prompts.h"
#include "tools/reading_profile.h"
#include "tools/translation.h"

#include <ostream>
#include <string>

// The converter's reading speed and layout options: "--lint PROFILE",
// "--fix-reading PROFILE" and "--list-profiles". The checks run at the
// framerate the frames are in at that point of the command line.
namespace tessel::cli {

class ShotChangeInput;

// Exit status of a lint that found something.
constexpr int LintFindingsStatus = 3;

// A built-in or user profile by name, or else a profile file by path. Throws UsageError, naming the profile files that
// were skipped when the name is not found.
ReadingProfile ResolveProfile(const std::string& option, const std::string& nameOrPath);

// Applies every safe proposal; says on `messages` how many findings are left.
// `shots` (may be nullptr) gives the film's cuts to the shot-change rules.
void FixReadingStep(const std::string& profile, SubtitleTable& table, double framerate, MessageSink& messages,
    ShotChangeInput* shots = nullptr);

// One line per finding: row, start frame ("-" when the cell is no number),
// rule, measured value, limit, separated by TABs. Returns 0, or
// LintFindingsStatus when there was a finding.
int LintTable(const SubtitleTable& table, const std::string& profile, double framerate, std::ostream& out,
    ShotChangeInput* shots = nullptr);

// A translation against its original, paired by time (by row number when
// both have as many rows): one line per row whose text has more than the
// profile's max-translation-ratio times its original's characters (rule
// "translation-length", the ratio and the limit), and per original row with
// no translated text ("no-translation": the row beside it or "-" for none, the
// original's start frame, its row number, "-"). Returns 0 or LintFindingsStatus.
int LintTranslation(
    const SubtitleTable& table, const std::string& profile, const OriginalSubtitles& original, std::ostream& out);

// Every profile in the profile file format, a blank line between them; the
// files skipped go to `err`.
int ListProfiles(std::ostream& out, std::ostream& err);

} // namespace tessel::cli
