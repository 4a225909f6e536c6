#pragma once
#include "cli/options.h"
#include "core/subtitle_table.h"
#include "core/user_prompts.h"

#include <string>
#include <vector>

namespace tessel::cli {

class ShotChangeInput;

// What a tool's action works on.
struct ToolRun {
    SubtitleTable& table;
    MessageSink& messages; // what the tools say
    const std::vector<ToolStep>& steps; // every step given, for tools that others modify
    double& framerate; // the rate the frames are in now; a framerate conversion changes it
    ShotChangeInput* shots = nullptr; // --shot-changes, for the reading check

    bool given(const char* option) const;
    // Any of the options separated by "|".
    bool givenAny(const char* options) const;
};

// One batch tool of the converter, declared once: its option, the values it
// takes, how they are checked, what it does and its line of the usage text.
// To add a tool, add one row to the table in tool_steps.cpp.
struct ToolDeclaration {
    const char* option; // "--add-frames"
    const char* valueName; // "N"; nullptr: the option takes no value
    // A second value that follows this word ("--replace FIND --with
    // REPLACEMENT"); nullptr: none.
    const char* joinedOption;
    const char* joinedValueName;
    const char* description; // the usage line's text
    // Throws UsageError for values the tool cannot take; nullptr: any value.
    void (*validate)(const ToolStep& step);
    // Runs one step; nullptr for a modifier, which `modifies` names (several
    // separated by "|"): it changes every step of that tool and does nothing
    // on its own.
    void (*run)(const ToolStep& step, const ToolRun& run);
    const char* modifies;
};

// The tool an option starts, or nullptr.
const ToolDeclaration* FindTool(const std::string& option);
// The tool whose joined option this is ("--with"), or nullptr.
const ToolDeclaration* FindToolJoinedBy(const std::string& option);

// Runs the steps in command-line order; what the tools say goes to `messages`.
// `framerate` is the rate the frames are read at; returns the rate they are
// in after the steps (a framerate conversion changes it).
double RunToolSteps(const std::vector<ToolStep>& steps, SubtitleTable& table, MessageSink& messages,
    double framerate = 23.976, ShotChangeInput* shots = nullptr);
std::string ToolStepUsage();

} // namespace tessel::cli
