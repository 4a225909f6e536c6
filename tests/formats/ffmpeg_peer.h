#pragma once
#include <optional>
#include <string>
#include <vector>

// ffmpeg as an independent reader: converts a file of ours to SubRip and
// hands back its cues.
namespace tessel::test {

struct PeerCue {
    int startMs = 0;
    int endMs = 0;
    std::string text; // lines joined by "\n"
};

bool FfmpegAvailable();
// ffmpeg -i FILE -f srt - with the given input options placed before -i
// (e.g. {"-f", "aqtitle", "-subfps", "25"}); nothing when ffmpeg fails.
std::optional<std::vector<PeerCue>> FfmpegReadCues(
    const std::string& file, const std::vector<std::string>& inputOptions = {});
std::vector<PeerCue> ParseSrt(const std::string& text);

} // namespace tessel::test
