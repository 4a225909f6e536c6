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
    std::string original; // --original FILE: with --lint, the translation checked against it
    bool listProfiles = false;
    std::string spellCheck; // --spell-check LANG: print the words not in the dictionary instead of writing
    std::vector<ToolStep> steps;
    std::string encoding; // read in this encoding, nothing detected; "": detected
    std::string outEncoding; // "": UTF-8 as always
    bool lf = false; // lines ended by LF alone
    bool lineEndsGiven = false; // --line-ends was given
    bool version = false;
    bool help = false;
    bool listFormats = false;
    std::string listTracks; // --list-tracks FILE
    std::string shotChanges; // --shot-changes MOVIE|LIST: the cuts for --lint and --fix-reading
    std::string listShotChanges; // --list-shot-changes MOVIE
    std::optional<int> track; // --track N: the film's subtitle track to read
    int pictureWidth = 1920, pictureHeight = 1080; // --picture-size: the video Blu-ray subtitles are drawn for
    std::string ocrLanguage; // --ocr-language LANG: picture subtitles read in it; "": the track's, or English
    // Several files in one call: each written next to its input or into
    // outputDir, with the format's extension.
    bool batch = false;
    std::vector<std::string> inputs;
    std::string outputDir;
    bool overwrite = false;
    int jobs = 0; // 0: one per processor core
    // Not an option: the whole table in memory even where the rows could
    // flow from the reader to the writer (the tests compare the two).
    bool wholeTable = false;
};

struct UsageError {
    std::string message;
};

// Throws UsageError.
Options ParseOptions(const std::vector<std::string>& args);
// A framerate from the command line: "." or "," as separator, above 0.
std::optional<double> ParseFramerate(const std::string& text);
std::string UsageText();
// The extension a format's files get from the batch form, without its dot.
std::string FormatExtension(const std::string& format);

} // namespace tessel::cli
