#pragma once
#include "cli/options.h"
#include "core/subtitle_table.h"
#include "core/user_prompts.h"

#include <string>
#include <vector>

namespace tessel::cli {

// How many values the option takes, or -1 when it is not a tool option.
// "--replace" takes one here; its "--with" value is added by the parser.
int ToolStepArity(const std::string& option);
// Throws UsageError for values the tool cannot take.
void ValidateToolStep(const ToolStep& step);
// Runs the steps in command-line order; what the tools say goes to `messages`.
// "--short-time" is not a step of its own but changes every "--fix-timing".
// `framerate` is the rate the frames are read at; returns the rate they are
// in after the steps (a framerate conversion changes it).
double RunToolSteps(
    const std::vector<ToolStep>& steps, SubtitleTable& table, MessageSink& messages, double framerate = 23.976);
std::string ToolStepUsage();

} // namespace tessel::cli
