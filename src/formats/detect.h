#pragma once
#include <string>
#include <string_view>

// Telling a file's format from its start and its name.
namespace tessel {

// What DetectFormat gives: 0 unknown, 1..9 the nine formats read from the
// start. A format added later takes the next free number in its registry row.
enum class FormatCode : int {
    Unknown = 0,
    MicroDVD = 1,
    SubRip = 2,
    SubViewer1 = 3,
    SubViewer2 = 4,
    AQTitle = 5,
    SAMI = 6,
    DVDSubripper = 7,
    SSA = 8,
    SimpleTimeCode = 9,
    ASS = 10,
    WebVTT = 11,
    TTML = 12,
    EbuStl = 13,
    SCC = 14,
    Pgs = 15,
    VobSub = 16,
};

// What a format's detection rule looks at.
struct DetectionInput {
    std::string_view firstLine; // without its line end
    std::string_view fileName;
    std::string_view head; // the first lines of the text, the first line among them (DecodedText::head)
};

// A format's detection rule: does the file look like one of its files?
using DetectFn = bool (*)(const DetectionInput& input);

// Runs the registry's rules in their rank order; the first that matches
// gives the format.
FormatCode DetectFormat(const DetectionInput& input);
// From the first line and the name alone (the head is that line).
FormatCode DetectFormat(std::string_view firstLine, std::string_view fileName);
// Reads the file's head itself; throws Error when it cannot be read.
FormatCode DetectFormat(const std::string& fileName);
// The binary format whose rule takes these bytes, told before anything is
// decoded (their rules look at the bytes themselves), or Unknown.
FormatCode DetectBinaryFormat(std::string_view bytes, std::string_view fileName);

// For the rules: the first `count` characters (code points) of a UTF-8 text,
// and whether the file name's extension, lower-cased, is the one given (".ssa").
std::u32string FirstCharacters(std::string_view text, size_t count);
bool HasExtension(std::string_view fileName, std::string_view lowerCaseExtension);

} // namespace tessel
