#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace tessel {
class SubtitleTable;
}

namespace tessel::cli {

// The whole converter: exit status 0 done, 1 reading/writing/format error,
// 2 usage error, 3 findings of --lint.
int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The table as TSV: a header line, then one line per subtitle row, with
// backslash, TAB, CR and LF inside cells escaped.
std::string DumpTable(const SubtitleTable& table);

} // namespace tessel::cli
