#include "cli/tool_steps.h"

namespace tessel::cli {

int ToolStepArity(const std::string&) { return -1; }

void ValidateToolStep(const ToolStep&) {}

void RunToolStep(const ToolStep&, SubtitleTable&) {}

std::string ToolStepUsage() { return ""; }

} // namespace tessel::cli
