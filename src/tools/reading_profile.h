#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Delivery profiles for the reading speed and layout check: the limits a
// broadcaster or a streaming service sets, built in or read from the user's
// profile files.
//
// A profile file ("NAME.profile") is UTF-8 text, one "key = value" a line;
// blank lines and lines starting with "#" are skipped:
//
//     name = Broadcaster (adults)
//     max-chars-per-second = 17
//     max-chars-per-line = 37
//     max-lines = 2
//     min-duration = 5/6 s
//     max-duration = 7 s
//     min-gap = 2 frames
//     count-spaces-and-punctuation = yes
//     max-translation-ratio = 1.4
//     shot-change-in = 0.5 s
//     shot-change-out = 0.5 s
//     shot-change-gap = 2 frames
//
// Numbers take "." as decimal separator; times are seconds ("1.5 s", "5/6 s")
// or whole frames ("20 frames"). The name defaults to the file's name; a
// limit left out is not checked; spaces and punctuation count towards reading
// speed unless that key says "no". The translation ratio is how many times
// its original's characters a translated subtitle may have (checked against
// an original only; 1.5 when left out). The shot-change keys need the
// film's cuts: an in-time within `shot-change-in` of a cut (before or after
// it) belongs on it; an out-time within `shot-change-out` of a cut belongs on
// it or `shot-change-gap` before it (2 frames when left out). Seconds there
// become the nearest whole frames, halves down (0.5 s: 12 frames at 24 and 25
// fps, 15 at 30).
namespace tessel {

// A length of time as the profile gives it: seconds or whole frames.
struct TimeSpan {
    double value = 0; // seconds or frames
    bool inFrames = false;
    std::string text; // as written, for showing: "5/6 s", "2 frames"

    // Whole frames at `framerate`: the fewest that last at least the span,
    // and the most that last at most the span.
    int64_t atLeastFrames(double framerate) const;
    int64_t atMostFrames(double framerate) const;
    // The nearest whole frames, halves down.
    int64_t nearestFrames(double framerate) const;
};

struct ReadingProfile {
    std::string name;
    std::optional<double> maxCharsPerSecond;
    std::optional<int> maxCharsPerLine;
    std::optional<int> maxLines;
    std::optional<TimeSpan> minDuration, maxDuration, minGap;
    bool countSpacesAndPunctuation = true;
    std::optional<double> maxTranslationRatio;
    std::optional<TimeSpan> shotChangeIn, shotChangeOut, shotChangeGap;
    std::string origin; // "built-in" or the file it came from
};

// "Netflix English (adults)", "Netflix English (children)" and "Relaxed".
const std::vector<ReadingProfile>& BuiltInProfiles();

// The translation ratio of a profile that leaves it out.
constexpr double DefaultTranslationRatio = 1.5;

// A profile file that cannot be used: where and why.
struct ProfileProblem {
    std::string path;
    int line = 0; // 0: the file as a whole
    std::string message;

    std::string text() const; // "path:line: message"
};

// Parses a profile file's text; `path` names it in problems and gives the
// default name. Throws ProfileProblem.
ReadingProfile ParseProfile(std::string_view text, const std::string& path);
// Reads and parses one file. Throws ProfileProblem.
ReadingProfile ReadProfileFile(const std::string& path);

// $XDG_CONFIG_HOME/tessel/profiles (~/.config when the variable is unset or
// not an absolute path).
std::string UserProfileFolder();

struct ProfileList {
    std::vector<ReadingProfile> profiles; // the built-in ones first, then the files by name
    std::vector<ProfileProblem> problems; // files skipped
};

// The built-in profiles and every "*.profile" file of the folder that can be
// used; a file whose name is already taken is skipped as a problem.
ProfileList LoadProfiles(const std::string& folder = UserProfileFolder());

// A profile by name, or nothing.
const ReadingProfile* FindProfile(const ProfileList& list, std::string_view name);

// The profile in the file format, a comment line with its origin first.
std::string ProfileFileText(const ReadingProfile& profile);
// One line for a tooltip: "20 characters/s, 42 characters a line, ...".
std::string ProfileSummary(const ReadingProfile& profile);

} // namespace tessel
