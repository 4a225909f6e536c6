#pragma once
#include "formats/detect.h"
#include "formats/format.h"

#include <string>
#include <string_view>
#include <vector>

// Every format, one row each, in the order of the save dialog's file types.
// The open and save dialogs' file types, detection, and the converter's
// format names, extension map and usage text all come from these rows.
//
// To add a format:
//  1. Write formats/<name>.{h,cpp}: its reader and writer (format.h gives
//     their shape) and, if its files can be told from their start or name, a
//     detection rule over a DetectionInput.
//  2. Add its row at the end of the table in registry.cpp, with the include
//     of its header: the next free code and save type, its converter name,
//     dialog texts and patterns, a detection rank from LaterFormatsRank on,
//     what it asks for, its reader and writer.
//  3. Test it in tests/formats/<name>_test.cpp.
//  4. Fuzz its reader in fuzz/<name>_fuzzer.cpp with FuzzReader of
//     fuzz_reader.h, with a few seed files in fuzz/corpus/<name>_fuzzer/.
namespace tessel {

struct FormatInfo {
    FormatCode code;
    const char* id; // the converter's name for it
    const char* name;
    int saveType; // save dialog file type, 1, 2, ... in row order
    const char* saveDescription; // save dialog file type text
    const char* savePattern;
    const char* extension; // default extension of that save type; the converter's too
    const char* openDescription; // open dialog file type text
    const char* openPatterns; // ';'-separated
    int detectionRank; // rules are tried from the lowest rank up
    DetectFn detect; // nullptr: never detected
    bool readAsksFramerate;
    bool writeAsksFramerate;
    bool writeAsksExportSettings;
    ReaderFn read; // nullptr: not available yet
    WriterFn write;
    // A binary format: its reader gets the file's bytes as they are, not
    // decoded text (LineReader::rest), and what its writer writes goes out
    // byte for byte, whatever the output encoding.
    bool binary = false;
    // Pictures of text, read by OCR: LoadSubtitles hands the file to its
    // PictureSubtitleReader (formats/picture_subtitles.h), and `read` is nullptr.
    bool picture = false;
};

// Files match more than one rule: the first-line rules of the first nine
// formats hold ranks 1 to 8 and the ".ssa" name rule 9, in that order. A
// later format's rule is tried only where none of those matched.
constexpr int LaterFormatsRank = 100;

struct FileFilter {
    const char* description;
    const char* patterns; // ';'-separated
};

const std::vector<FormatInfo>& Formats();
const FormatInfo* FormatByCode(FormatCode code);
const FormatInfo* FormatBySaveType(int saveType);
const FormatInfo* FormatById(std::string_view id);
// The first row whose extension is this one (without its dot, any case).
const FormatInfo* FormatByExtension(std::string_view extension);
// The open dialog's file types, in order: all supported (every save
// pattern once), one per format, all files.
const std::vector<FileFilter>& OpenFileFilters();

} // namespace tessel
