#pragma once
#include <ostream>
#include <string>

namespace tessel::cli {

struct Options;

// The batch form: every input converted on its own, on options.jobs workers,
// each written next to its input (or into options.outputDir) under its name
// with the format's extension. A file that fails is named with its
// conversion's messages and the others go on. Ends with a summary line on
// `err`; 0 when every file was converted, 1 otherwise, 2 for a missing DIR.
int ConvertBatch(const Options& options, std::ostream& err);

// --formats: one line per format: its code (as --detect prints it; "-" for
// the table), its name for --to, full name, extensions, "yes"/"no" for read
// and for write, TAB-separated.
std::string FormatList();

} // namespace tessel::cli
