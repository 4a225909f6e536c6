#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>

namespace tessel::cli {

struct Options;

// The batch form: every input converted on its own, on options.jobs workers,
// each written next to its input (or into options.outputDir) under its name
// with the format's extension. A file that fails is named with its
// conversion's messages and the others go on. Ends with a summary line on
// `err`; 0 when every file was converted, 1 otherwise, 2 for a missing DIR.
int ConvertBatch(const Options& options, std::ostream& err);

// A file's identity on this machine, whatever name it goes by.
struct FileId {
    uint64_t device = 0, inode = 0;
    bool operator==(const FileId& o) const { return device == o.device && inode == o.inode; }
    bool operator<(const FileId& o) const { return std::tie(device, inode) < std::tie(o.device, o.inode); }
};
std::optional<FileId> IdOf(const std::string& path);

// The refusal of the single form when OUTPUT is INPUT under any name (the
// batch form's message), or "".
std::string WritesOverInput(const Options& options);

// --formats: one line per format: its code (as --detect prints it; "-" for
// the table), its name for --to, full name, extensions, "yes"/"no" for read
// and for write, TAB-separated.
std::string FormatList();

} // namespace tessel::cli
