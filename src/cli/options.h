#pragma once
#include <optional>
#include <string>
#include <vector>

namespace tessel::cli {

// One batch tool from the command line, run in the order given.
struct ToolStep {
    std::string option; // e.g. "--add-frames"
    std::vector<std::string> args; // its values
};

struct Options {
    std::string input;
    std::string output; // "" or "-": standard output
    double inFps = 23.976;
    double outFps = 23.976;
    std::string format; // a format id or "table"; "" until chosen
    bool detect = false;
    std::string lint; // --lint PROFILE: print the findings instead of writing
    bool listProfiles = false;
    std::vector<ToolStep> steps;
};

struct UsageError {
    std::string message;
};

// Throws UsageError.
Options ParseOptions(const std::vector<std::string>& args);
// A framerate from the command line: "." or "," as separator, above 0.
std::optional<double> ParseFramerate(const std::string& text);
std::string UsageText();

} // namespace tessel::cli
