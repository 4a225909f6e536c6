#pragma once
#include <string>
#include <string_view>
#include <vector>

// Markup inside subtitle text, as the reading check counts it: a "{...}"
// block (Sub Station Alpha overrides and comments) or a "<...>" tag (a "<"
// followed by a letter, a digit, "/" or "!", up to the next ">"). Neither
// reaches past a line break, so a row's lines joined by "\n" read the same as
// each line on its own. The text tools read, cut and join text around
// markup, never through it.
namespace tessel {

// A range of bytes [start, end).
struct TextSpan {
    size_t start = 0, end = 0;
    bool operator==(const TextSpan& other) const { return start == other.start && end == other.end; }
};

// Every piece of markup, in order.
std::vector<TextSpan> MarkupSpans(std::string_view text);

// The text less its markup, with for each byte kept where it came from.
struct VisibleText {
    std::string text;
    std::vector<size_t> origin; // origin[i]: place in the source of text[i]; one more entry: the source's size
};
VisibleText WithoutMarkup(std::string_view text);
std::string StripMarkup(std::string_view text);
// Nothing but markup and white space.
bool IsMarkupOnly(std::string_view text);
// A closing tag ("</i>") or an override block that only switches off
// ("{\i0}"): it belongs with the text before it.
bool IsClosingMarkup(std::string_view markup);

// What is open at `position` of `text`: tags not yet closed ("<i>", "<font
// color=red>", "<v Bob>") and override tags in effect ("{\i1}", "{\an8}").
// A first part cut there ends with `closing`; the second part starts with
// `reopening` to look as before. Overrides last until their subtitle ends, so
// they need no closing.
struct OpenMarkup {
    std::string closing, reopening;
};
OpenMarkup MarkupOpenAt(std::string_view text, size_t position);

// "<i></i>", "<b> </b>", "{\i1}{\i0}" and the like taken out, with what they
// held between them.
std::string DropEmptyMarkupPairs(std::string_view text);

// The text as UTF-16 with the byte where each unit starts (and one more
// entry: the text's size); a byte that is no valid UTF-8 becomes U+FFFD.
struct Utf16Text {
    std::u16string units;
    std::vector<size_t> byteOf;
};
Utf16Text ToUtf16(std::string_view text);

// Lines joined by "\n", and split again; trailing empty lines are left out.
std::string JoinLines(const std::vector<std::string>& lines);
std::vector<std::string> SplitLines(std::string_view text);

} // namespace tessel
