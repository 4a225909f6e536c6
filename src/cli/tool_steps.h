#pragma once
#include "cli/options.h"
#include "core/subtitle_table.h"

#include <string>

namespace tessel::cli {

// How many values the option takes, or -1 when it is not a tool option.
// "--replace" takes one here; its "--with" value is added by the parser.
int ToolStepArity(const std::string& option);
// Throws UsageError for values the tool cannot take.
void ValidateToolStep(const ToolStep& step);
void RunToolStep(const ToolStep& step, SubtitleTable& table);
std::string ToolStepUsage();

} // namespace tessel::cli
