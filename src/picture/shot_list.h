#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Lists of shot changes as other tools read and write them, and the changes a
// user made by hand to the ones found in the picture. A cut is the number of
// the first frame of its shot, counted from the film's start at its frame
// rate; lists keep them in order, each once.
namespace tessel {

// One cut a line: a frame number ("1551"), seconds ("62.04", "62.04 s") or a
// time ("00:01:02.040", "1:02,04"); times become the nearest frame at
// `framesPerSecond`. Blank lines and lines starting with "#" are skipped.
// Throws Error "NAME:LINE: ..." for anything else, nothing taken.
std::vector<int64_t> ParseShotList(std::string_view text, double framesPerSecond, const std::string& name);
// Reads a list file (UTF-8, up to 16 MiB). Throws Error naming the file.
std::vector<int64_t> ReadShotList(const std::string& path, double framesPerSecond);
// One frame number a line, or one time ("00:01:02.040") a line.
std::string ShotListText(const std::vector<int64_t>& cuts, double framesPerSecond, bool asTimes = false);
// Whether a file reads as a list rather than being a film: small, and text.
bool LooksLikeShotList(const std::string& path);

// Frames counted at `from` as the nearest frames at `to` (the same when the
// rates agree).
std::vector<int64_t> ConvertCuts(const std::vector<int64_t>& cuts, double from, double to);

// Hand edits over the detected cuts: kept apart from them, so that finding
// the cuts again at another sensitivity keeps what was added and removed.
struct ShotEdits {
    bool replaced = false; // a list stands for the detected cuts: `added` is all there is
    std::vector<int64_t> added, removed; // in order, none in both

    bool empty() const { return !replaced && added.empty() && removed.empty(); }
    std::vector<int64_t> apply(const std::vector<int64_t>& detected) const;
    // The edits that make `wanted` of `detected`, replaced or not as these are.
    ShotEdits towards(const std::vector<int64_t>& detected, const std::vector<int64_t>& wanted) const;

    // A few lines of text; Decode throws Error for text it did not write.
    std::string encode() const;
    static ShotEdits Decode(std::string_view text);
    bool operator==(const ShotEdits& other) const;
};

} // namespace tessel
