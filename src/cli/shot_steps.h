#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// The converter's shot changes: "--shot-changes MOVIE|LIST" gives a film's
// cuts to --lint and --fix-reading; "--list-shot-changes MOVIE" prints them.
// A film's cuts are the editor's: found at the sensitivity chosen in the
// editor, from the same cache, with the edits made there.
namespace tessel::cli {

class ShotChangeInput {
public:
    // A film, or a list file when the file is text.
    explicit ShotChangeInput(std::string path);

    // The cuts as frames at `framerate` (a list's times become frames at it,
    // its frame numbers are taken as counted at it). Throws Error.
    std::vector<int64_t> cutsAt(double framerate);

private:
    std::string path_;
    bool list_ = false;
    std::optional<std::pair<double, std::vector<int64_t>>> film_; // its frame rate and cuts, once found
};

// One frame number a line. Returns the exit status.
int ListShotChanges(const std::string& film, std::ostream& out, std::ostream& err);

} // namespace tessel::cli
