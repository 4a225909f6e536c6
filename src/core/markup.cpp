#include "core/markup.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace tessel {
namespace {

bool opensTag(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '!';
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The tag's name, lower case: "i" of "<i>" and "</i>", "font" of "<font
// color=red>", "c" of "<c.yellow>".
std::string tagName(std::string_view tag)
{
    size_t i = tag.size() > 1 && tag[1] == '/' ? 2 : 1;
    std::string name;
    while (i < tag.size() && (isLetter(tag[i]) || (tag[i] >= '0' && tag[i] <= '9')))
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(tag[i++])));
    return name;
}

bool isOverrideBlock(std::string_view markup) { return markup.size() > 2 && markup[0] == '{' && markup[1] == '\\'; }

// One override tag of a block: its name ("i", "an", "1c", "pos") and all of it ("i1").
struct OverrideTag {
    std::string name;
    std::string_view whole;
    std::string_view value;
};

std::vector<OverrideTag> overrideTags(std::string_view block)
{
    std::vector<OverrideTag> tags;
    const std::string_view inner = block.substr(1, block.size() - 2);
    size_t i = 0;
    while ((i = inner.find('\\', i)) != std::string_view::npos) {
        size_t end = inner.find('\\', i + 1);
        // "\t(...\i1...)" and "\clip(...)" hold backslashes of their own.
        const size_t paren = inner.find('(', i);
        if (paren != std::string_view::npos && (end == std::string_view::npos || paren < end)) {
            const size_t close = inner.find(')', paren);
            end = close == std::string_view::npos ? std::string_view::npos : inner.find('\\', close);
        }
        const std::string_view whole = inner.substr(i + 1, end == std::string_view::npos ? end : end - i - 1);
        size_t n = 0;
        if (n < whole.size() && whole[n] >= '1' && whole[n] <= '4') ++n;
        while (n < whole.size() && isLetter(whole[n]))
            ++n;
        std::string name(whole.substr(0, n));
        // Font and style names follow their tag without a separator.
        if (name.rfind("fn", 0) == 0) name = "fn";
        if (!name.empty() && name[0] == 'r') name = "r";
        tags.push_back({ name, whole, whole.substr(std::min(name.size(), whole.size())) });
        i = end == std::string_view::npos ? inner.size() : end;
    }
    return tags;
}

bool isToggle(const std::string& name) { return name == "i" || name == "b" || name == "u" || name == "s"; }
bool switchesOff(const OverrideTag& tag) { return isToggle(tag.name) && (tag.value.empty() || tag.value == "0"); }
// Karaoke, animation and drawing tags make sense only where they stand.
bool staysInPlace(const std::string& name)
{
    return name == "k" || name == "K" || name == "kf" || name == "ko" || name == "t" || name == "p" || name == "pbo";
}

// An opening tag that some closing tag ends: not "<br>", "<br/>", "<!-- -->" or a time stamp.
bool opensElement(std::string_view tag)
{
    if (tag.size() < 3 || tag[1] == '/' || tag[1] == '!' || (tag[1] >= '0' && tag[1] <= '9')) return false;
    if (tag[tag.size() - 2] == '/') return false;
    return tagName(tag) != "br";
}

struct ElementOpen {
    std::string name;
    std::string_view tag;
};

} // namespace

std::vector<TextSpan> MarkupSpans(std::string_view text)
{
    std::vector<TextSpan> spans;
    size_t lineStart = 0;
    while (lineStart <= text.size()) {
        size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) lineEnd = text.size();
        const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        // Once a closing brace or bracket is missing, it is missing for the rest of the line.
        bool braceCloses = true, bracketCloses = true;
        for (size_t i = 0; i < line.size(); ++i) {
            size_t close = std::string_view::npos;
            if (line[i] == '{' && braceCloses) {
                close = line.find('}', i + 1);
                braceCloses = close != std::string_view::npos;
            } else if (line[i] == '<' && bracketCloses && i + 1 < line.size() && opensTag(line[i + 1])) {
                close = line.find('>', i + 2);
                bracketCloses = close != std::string_view::npos;
            }
            if (close == std::string_view::npos) continue;
            spans.push_back({ lineStart + i, lineStart + close + 1 });
            i = close;
        }
        lineStart = lineEnd + 1;
    }
    return spans;
}

VisibleText WithoutMarkup(std::string_view text)
{
    VisibleText visible;
    visible.text.reserve(text.size());
    visible.origin.reserve(text.size() + 1);
    size_t i = 0;
    for (const TextSpan& span : MarkupSpans(text)) {
        for (; i < span.start; ++i) {
            visible.text += text[i];
            visible.origin.push_back(i);
        }
        i = span.end;
    }
    for (; i < text.size(); ++i) {
        visible.text += text[i];
        visible.origin.push_back(i);
    }
    visible.origin.push_back(text.size());
    return visible;
}

std::string StripMarkup(std::string_view text) { return WithoutMarkup(text).text; }

bool IsMarkupOnly(std::string_view text)
{
    const std::string visible = StripMarkup(text);
    return std::all_of(visible.begin(), visible.end(), isSpace);
}

bool IsClosingMarkup(std::string_view markup)
{
    if (markup.size() > 2 && markup[0] == '<' && markup[1] == '/') return true;
    if (!isOverrideBlock(markup)) return false;
    const std::vector<OverrideTag> tags = overrideTags(markup);
    return !tags.empty() && std::all_of(tags.begin(), tags.end(), switchesOff);
}

OpenMarkup MarkupOpenAt(std::string_view text, size_t position)
{
    std::vector<ElementOpen> elements;
    std::vector<std::pair<std::string, std::string_view>> overrides; // in the order first set
    for (const TextSpan& span : MarkupSpans(text)) {
        if (span.end > position) break;
        const std::string_view markup = text.substr(span.start, span.end - span.start);
        if (markup[0] == '<') {
            if (markup[1] == '/') {
                const std::string name = tagName(markup);
                const auto open = std::find_if(
                    elements.rbegin(), elements.rend(), [&](const ElementOpen& e) { return e.name == name; });
                if (open != elements.rend()) elements.erase(std::next(open).base(), elements.end());
            } else if (opensElement(markup))
                elements.push_back({ tagName(markup), markup });
            continue;
        }
        if (!isOverrideBlock(markup)) continue; // a comment
        for (const OverrideTag& tag : overrideTags(markup)) {
            if (tag.name == "r") {
                overrides.clear();
                continue;
            }
            if (staysInPlace(tag.name)) continue;
            const auto same
                = std::find_if(overrides.begin(), overrides.end(), [&](const auto& o) { return o.first == tag.name; });
            if (switchesOff(tag)) {
                if (same != overrides.end()) overrides.erase(same);
            } else if (same != overrides.end())
                same->second = tag.whole;
            else
                overrides.emplace_back(tag.name, tag.whole);
        }
    }
    OpenMarkup open;
    if (!overrides.empty()) {
        open.reopening = "{";
        for (const auto& [name, whole] : overrides)
            (open.reopening += '\\') += whole;
        open.reopening += '}';
    }
    for (const ElementOpen& e : elements)
        open.reopening += e.tag;
    for (auto e = elements.rbegin(); e != elements.rend(); ++e)
        open.closing += "</" + e->name + ">";
    return open;
}

namespace {

// Whether `b`, standing right after `a` with only white space between, closes it.
bool closesRightAway(std::string_view a, std::string_view b)
{
    if (a[0] == '<') return opensElement(a) && b.size() > 2 && b[1] == '/' && tagName(a) == tagName(b);
    if (!isOverrideBlock(a) || !isOverrideBlock(b)) return false;
    const std::vector<OverrideTag> on = overrideTags(a), off = overrideTags(b);
    if (on.empty() || on.size() != off.size()) return false;
    for (size_t i = 0; i < on.size(); ++i)
        if (!isToggle(on[i].name) || switchesOff(on[i]) || !switchesOff(off[i]) || on[i].name != off[i].name)
            return false;
    return true;
}

} // namespace

std::string DropEmptyMarkupPairs(std::string_view text)
{
    std::string result(text);
    for (bool dropped = true; dropped;) {
        dropped = false;
        const std::vector<TextSpan> spans = MarkupSpans(result);
        for (size_t k = 0; k + 1 < spans.size(); ++k) {
            const TextSpan a = spans[k], b = spans[k + 1];
            const std::string_view between = std::string_view(result).substr(a.end, b.start - a.end);
            if (!std::all_of(between.begin(), between.end(), isSpace)) continue;
            if (!closesRightAway(std::string_view(result).substr(a.start, a.end - a.start),
                    std::string_view(result).substr(b.start, b.end - b.start)))
                continue;
            // The space between two words stays.
            result.replace(a.start, b.end - a.start, between.empty() ? "" : " ");
            dropped = true;
            break;
        }
    }
    return result;
}

Utf16Text ToUtf16(std::string_view text)
{
    Utf16Text out;
    out.units.reserve(text.size());
    out.byteOf.reserve(text.size() + 1);
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = byte(i);
        const size_t more = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        char32_t cp = more == 3 ? lead & 0x07 : more == 2 ? lead & 0x0F : more == 1 ? lead & 0x1F : lead;
        size_t k = 1;
        for (; k <= more && i + k < text.size() && (byte(i + k) & 0xC0) == 0x80; ++k)
            cp = (cp << 6) | (byte(i + k) & 0x3F);
        if ((lead >= 0x80 && lead < 0xC0) || k != more + 1 || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            cp = 0xFFFD;
            k = 1;
        }
        if (cp >= 0x10000) {
            out.units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out.units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            out.byteOf.push_back(i);
            out.byteOf.push_back(i);
        } else {
            out.units += static_cast<char16_t>(cp);
            out.byteOf.push_back(i);
        }
        i += k;
    }
    out.byteOf.push_back(text.size());
    return out;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    size_t count = lines.size();
    while (count > 0 && lines[count - 1].empty())
        --count;
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        if (i) text += '\n';
        text += lines[i];
    }
    return text;
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    return lines;
}

} // namespace tessel
