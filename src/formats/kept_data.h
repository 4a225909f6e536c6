#pragma once
#include <string>
#include <string_view>
#include <vector>

// What a format keeps of its files beyond the five visible cells: per row in
// the table's hidden cell, per document in its document data. Both are lines
// joined by LF (no line read from a file holds one); the first line is the
// keeping format's converter name, so that every other writer can tell
// foreign data from its own and ignore it.
namespace tessel {

// The tag line, then each of `lines`.
std::string JoinKept(std::string_view tag, const std::vector<std::string_view>& lines);
// The same into `data`, whose room is used again.
void JoinKeptInto(std::string& data, std::string_view tag, const std::vector<std::string_view>& lines);

// How a file was written beyond its lines, kept with its document so that a
// save in the same format writes it so again.
struct FileForm {
    bool byteOrderMark = false; // a UTF-8 one
    bool lineFeeds = false; // every line ended by LF alone
};
// The document's lines, with the form after the tag on its line ("ass\tbom lf").
std::string JoinKept(std::string_view tag, const std::vector<std::string_view>& lines, FileForm form);
// The form of document data kept by the format `tag`; the default for any other.
FileForm KeptFileForm(std::string_view data, std::string_view tag);

// The lines after the tag line when `data` was kept by the format `tag`;
// false (and no lines) for data of another format or none.
bool SplitKept(std::string_view data, std::string_view tag, std::vector<std::string_view>& lines);
bool IsKeptBy(std::string_view data, std::string_view tag);

// Appends `count` lines as a decimal count followed by the lines themselves,
// and reads such a group back from `lines` at `index` (moved past it);
// a damaged count reads as the lines that are there.
void AppendLineGroup(std::vector<std::string_view>& out, std::string& countText, const std::vector<std::string>& group);
std::vector<std::string_view> ReadLineGroup(const std::vector<std::string_view>& lines, size_t& index);

// The line at `index`, or an empty one past the end.
inline std::string_view KeptLine(const std::vector<std::string_view>& lines, size_t index)
{
    return index < lines.size() ? lines[index] : std::string_view();
}

} // namespace tessel
