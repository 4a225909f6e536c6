#include "formats/kept_data.h"

#include <algorithm>
#include <charconv>

namespace tessel {

void JoinKeptInto(std::string& data, std::string_view tag, const std::vector<std::string_view>& lines)
{
    size_t size = tag.size();
    for (std::string_view line : lines)
        size += line.size() + 1;
    data.clear();
    data.reserve(size);
    data += tag;
    for (std::string_view line : lines) {
        data += '\n';
        data += line;
    }
}

std::string JoinKept(std::string_view tag, const std::vector<std::string_view>& lines)
{
    std::string data;
    JoinKeptInto(data, tag, lines);
    return data;
}

std::string JoinKept(std::string_view tag, const std::vector<std::string_view>& lines, FileForm form)
{
    if (!form.byteOrderMark && !form.lineFeeds) return JoinKept(tag, lines);
    std::string tagLine(tag);
    tagLine += '\t';
    if (form.byteOrderMark) tagLine += "bom";
    if (form.lineFeeds) tagLine += form.byteOrderMark ? " lf" : "lf";
    return JoinKept(tagLine, lines);
}

FileForm KeptFileForm(std::string_view data, std::string_view tag)
{
    FileForm form;
    if (!IsKeptBy(data, tag) || data.size() == tag.size() || data[tag.size()] != '\t') return form;
    const std::string_view rest = data.substr(tag.size() + 1, data.find('\n') - tag.size() - 1);
    for (size_t at = 0; at < rest.size();) {
        const size_t end = std::min(rest.find(' ', at), rest.size());
        const std::string_view word = rest.substr(at, end - at);
        form.byteOrderMark = form.byteOrderMark || word == "bom";
        form.lineFeeds = form.lineFeeds || word == "lf";
        at = end + 1;
    }
    return form;
}

bool IsKeptBy(std::string_view data, std::string_view tag)
{
    if (data.size() < tag.size()) return false;
    // Asked for every row by every count of what a format leaves out: tags
    // are a few letters, fewer than a call to memcmp costs.
    for (size_t i = 0; i < tag.size(); ++i)
        if (data[i] != tag[i]) return false;
    return data.size() == tag.size() || data[tag.size()] == '\n' || data[tag.size()] == '\t';
}

bool SplitKept(std::string_view data, std::string_view tag, std::vector<std::string_view>& lines)
{
    lines.clear();
    if (!IsKeptBy(data, tag)) return false;
    const size_t tagLineEnd = data.find('\n');
    if (tagLineEnd == std::string_view::npos) return true;
    data.remove_prefix(tagLineEnd + 1);
    for (;;) {
        const size_t end = data.find('\n');
        lines.push_back(data.substr(0, end));
        if (end == std::string_view::npos) return true;
        data.remove_prefix(end + 1);
    }
}

void AppendLineGroup(std::vector<std::string_view>& out, std::string& countText, const std::vector<std::string>& group)
{
    countText = std::to_string(group.size());
    out.push_back(countText);
    for (const std::string& line : group)
        out.push_back(line);
}

std::vector<std::string_view> ReadLineGroup(const std::vector<std::string_view>& lines, size_t& index)
{
    const std::string_view countText = KeptLine(lines, index);
    size_t count = 0;
    std::from_chars(countText.data(), countText.data() + countText.size(), count);
    ++index;
    count = std::min(count, lines.size() - std::min(index, lines.size()));
    std::vector<std::string_view> group(lines.begin() + static_cast<std::ptrdiff_t>(std::min(index, lines.size())),
        lines.begin() + static_cast<std::ptrdiff_t>(std::min(index, lines.size()) + count));
    index += count;
    return group;
}

} // namespace tessel
