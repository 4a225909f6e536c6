#pragma once
#include <string>
#include <string_view>

namespace tessel {

// Format code (0 unknown, 1..9) of a file from its first line and its name.
int DetectFormat(std::string_view firstLine, std::string_view fileName);
// Reads the file's first line itself; throws Error when it cannot be read.
int DetectFormat(const std::string& fileName);

} // namespace tessel
