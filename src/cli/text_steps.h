#pragma once
#include "cli/tool_steps.h"
#include "tools/reading_profile.h"

#include <ostream>
#include <string>

// The converter's text tools (rows of the tool table) and "--spell-check
// LANG": line breaking, split and merge, hearing-impaired text, replace with
// a regular expression.
namespace tessel::cli {

// The profile the text tools take their line length, lines and gap from:
// the last "--text-profile", else "Netflix English (adults)".
ReadingProfile TextProfile(const ToolRun& run);

void ValidateCharsPerLine(const ToolStep& step);
void ValidateMilliseconds(const ToolStep& step);
void ValidateRegex(const ToolStep& step);
void ValidateTextProfile(const ToolStep& step);

void RunBreakLines(const ToolStep& step, const ToolRun& run);
void RunUnbreak(const ToolStep& step, const ToolRun& run);
void RunSplitLong(const ToolStep& step, const ToolRun& run);
void RunMergeShort(const ToolStep& step, const ToolRun& run);
void RunRemoveHearingImpaired(const ToolStep& step, const ToolRun& run);
void RunReplaceRegex(const ToolStep& step, const ToolRun& run);

// Exit status of a spell check that found something.
constexpr int SpellFindingsStatus = 3;

// Throws UsageError, listing the installed languages, when LANG is not one.
void ValidateSpellLanguage(const std::string& language);
// One line per word not in the dictionary: row, column (2, 3, 4 for Line 1
// to 3), word, suggestions joined by commas, separated by TABs. Returns 0, or
// SpellFindingsStatus when there was a finding.
int SpellCheckTable(const SubtitleTable& table, const std::string& language, std::ostream& out);

} // namespace tessel::cli
