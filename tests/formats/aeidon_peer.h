#pragma once
#include "formats/ffmpeg_peer.h"

#include <optional>
#include <string>
#include <vector>

// Gaupol's aeidon library (Debian's python3-aeidon) as an independent reader
// and writer, run at 25 frames a second in UTF-8.
namespace tessel::test {

bool AeidonAvailable();
// Its cues of the file; nothing when it fails. Text lines joined by "\n".
std::optional<std::vector<PeerCue>> AeidonReadCues(const std::string& file);
// Reads `from` and writes `to` in its format `format` (ASS, WEBVTT, SUBRIP...).
bool AeidonConvert(const std::string& from, const std::string& to, const std::string& format);

} // namespace tessel::test
