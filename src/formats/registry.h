#pragma once
#include "formats/format.h"

#include <string_view>
#include <vector>

// The nine formats. To add one: write formats/<name>.{h,cpp} with its reader
// and writer, add one row to the table in registry.cpp (detection code, save
// dialog type, texts, what it asks for), add a rule to DetectFormat if its
// files can be recognised, and give it a test file under tests/formats.
namespace tessel {

struct FormatInfo {
    int code; // DetectFormat's code, 1..9
    const char* id; // the converter's name for it
    const char* name;
    int saveType; // save dialog file type, 1..9
    const char* saveDescription; // save dialog file type text
    const char* savePattern;
    const char* extension; // default extension of that save type
    bool readAsksFramerate;
    bool writeAsksFramerate;
    bool writeAsksExportSettings;
    ReaderFn read; // nullptr: not available yet
    WriterFn write;
};

struct FileFilter {
    const char* description;
    const char* patterns; // ';'-separated
};

const std::vector<FormatInfo>& Formats();
const FormatInfo* FormatByCode(int code);
const FormatInfo* FormatBySaveType(int saveType);
const FormatInfo* FormatById(std::string_view id);
// The open dialog's file types, in order.
const std::vector<FileFilter>& OpenFileFilters();

} // namespace tessel
