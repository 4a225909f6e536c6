#include "core/text_utils.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

namespace tessel {

void AppendUtf8(std::string& out, char32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | codePoint >> 6);
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | codePoint >> 12);
        out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | codePoint >> 18);
        out += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}
namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

size_t findAsciiFolded(std::string_view text, std::string_view searched, size_t from)
{
    if (searched.empty() || text.size() < searched.size()) return std::string_view::npos;
    const char first = asciiUpper(searched[0]);
    // Where the first character has one case only, memchr finds the candidates.
    const bool oneCase = first == searched[0] && !(first >= 'A' && first <= 'Z');
    for (size_t i = from; i + searched.size() <= text.size(); ++i) {
        if (oneCase) {
            const void* at = std::memchr(text.data() + i, first, text.size() - searched.size() + 1 - i);
            if (!at) break;
            i = static_cast<size_t>(static_cast<const char*>(at) - text.data());
        } else if (asciiUpper(text[i]) != first)
            continue;
        size_t k = 1;
        while (k < searched.size() && asciiUpper(text[i + k]) == asciiUpper(searched[k]))
            ++k;
        if (k == searched.size()) return i;
    }
    return std::string_view::npos;
}

size_t find(std::string_view text, std::string_view separator, bool ignoreCase, size_t from)
{
    if (separator.empty()) return std::string_view::npos;
    return ignoreCase ? findAsciiFolded(text, separator, from) : text.find(separator, from);
}

// Locale upper-casing, one UTF-16 unit for one, so that positions map back.
QString upperSameLength(const QString& s)
{
    QString r = s;
    for (QChar& c : r) {
        QChar u = c.toUpper();
        c = u;
    }
    return r;
}

// Byte offset in the UTF-8 text of the UTF-16 index.
size_t utf8OffsetOf(std::string_view text, qsizetype utf16Index)
{
    size_t i = 0;
    qsizetype units = 0;
    while (i < text.size() && units < utf16Index) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        units += len == 4 ? 2 : 1;
        i += len;
    }
    return std::min(i, text.size());
}

} // namespace

std::string TrimLeftBlanks(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return std::string(text.substr(i));
}

std::string TrimRightBlanks(std::string_view text)
{
    size_t n = text.size();
    while (n > 0 && isBlank(text[n - 1]))
        --n;
    return std::string(text.substr(0, n));
}

std::string TrimBlanks(std::string_view text) { return TrimLeftBlanks(TrimRightBlanks(text)); }

void SplitText(
    std::string_view text, std::string_view separator, std::vector<std::string>& list, bool ignoreCase, int maxPieces)
{
    list.clear();
    std::string_view rest = text;
    size_t at = find(rest, separator, ignoreCase, 0);
    while (at != std::string_view::npos && maxPieces != 1) {
        list.emplace_back(rest.substr(0, at));
        rest.remove_prefix(at + separator.size());
        --maxPieces;
        at = find(rest, separator, ignoreCase, 0);
    }
    if (!rest.empty()) list.emplace_back(rest);
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator, bool ignoreCase, int maxPieces)
{
    std::vector<std::string> list;
    SplitText(text, separator, list, ignoreCase, maxPieces);
    return list;
}

namespace {

struct Match {
    size_t at = std::string_view::npos; // byte offset
    size_t length = 0; // bytes matched in the text
};

Match findMatch(int start, std::string_view text, std::string_view searched, bool ignoreCase)
{
    if (start < 1) start = 1;
    if (searched.empty() || static_cast<size_t>(start) > text.size()) return {};
    const size_t from = static_cast<size_t>(start - 1);
    if (!ignoreCase || (isAscii(searched) && isAscii(text))) {
        size_t at = ignoreCase ? findAsciiFolded(text, searched, from) : text.find(searched, from);
        return at == std::string_view::npos ? Match {} : Match { at, searched.size() };
    }
    const std::string_view tail = text.substr(from);
    const QString rest = upperSameLength(QString::fromUtf8(tail.data(), tail.size()));
    const QString needle = upperSameLength(QString::fromUtf8(searched.data(), searched.size()));
    const qsizetype at = rest.indexOf(needle);
    if (at < 0) return {};
    const size_t begin = utf8OffsetOf(tail, at);
    const size_t end = utf8OffsetOf(tail, at + needle.size());
    return Match { from + begin, end - begin };
}

// Ignoring case beyond ASCII: the text is upper-cased once and searched on
// from the end of each match, the same matches as searching the text rebuilt
// after each replacement, in linear time.
std::string replaceAllFolded(std::string_view text, std::string_view searched, std::string_view replacement)
{
    const QString upper = upperSameLength(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    const QString needle = upperSameLength(QString::fromUtf8(searched.data(), static_cast<qsizetype>(searched.size())));
    std::string out;
    size_t done = 0; // bytes of the text already copied or replaced
    qsizetype unit = 0; // the UTF-16 index of `done`
    for (qsizetype at; !needle.isEmpty() && (at = upper.indexOf(needle, unit)) >= 0;) {
        const size_t begin = done + utf8OffsetOf(text.substr(done), at - unit);
        const size_t end = begin + utf8OffsetOf(text.substr(begin), needle.size());
        out.append(text.substr(done, begin - done));
        out.append(replacement);
        done = end;
        unit = at + needle.size();
    }
    out.append(text.substr(done));
    return out;
}

} // namespace

int FindFrom(int start, std::string_view text, std::string_view searched, bool ignoreCase)
{
    Match m = findMatch(start, text, searched, ignoreCase);
    return m.at == std::string_view::npos ? 0 : static_cast<int>(m.at + 1);
}

namespace {

// The upper case of every UTF-16 unit, as QChar gives it, looked up instead of asked.
const char16_t* upperUnits()
{
    static const std::unique_ptr<char16_t[]> table = [] {
        auto units = std::make_unique<char16_t[]>(0x10000);
        for (uint32_t u = 0; u < 0x10000; ++u)
            units[u] = QChar(static_cast<char16_t>(u)).toUpper().unicode();
        return units;
    }();
    return table.get();
}

// The code point at text[i] and its length in bytes; 0 for a byte that does not start a valid one.
int decodeAt(std::string_view text, size_t i, char32_t& cp)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    const int length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0 || i + static_cast<size_t>(length) > text.size()) return 0;
    cp = c & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)))
        || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return length;
}

bool isValidUtf8(std::string_view text)
{
    char32_t cp;
    for (size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const int length = decodeAt(text, i, cp);
        if (length == 0) return false;
        i += static_cast<size_t>(length);
    }
    return true;
}

// The searched text upper-cased one unit for one, as the UTF-16 search does,
// compared code point by code point over the UTF-8 text: the same matches
// without converting the text. Only for valid UTF-8 on both sides.
class FoldedSearch {
public:
    explicit FoldedSearch(std::string_view searched)
        : upper_(upperUnits())
    {
        char32_t cp = 0;
        for (size_t i = 0; i < searched.size();) {
            i += static_cast<size_t>(decodeAt(searched, i, cp));
            needle_.push_back(folded(cp));
        }
    }
    Match find(std::string_view text, size_t from) const
    {
        char32_t cp;
        // Only ASCII bytes start a match of an ASCII letter other than I and S:
        // the rest are passed over without decoding.
        const bool asciiStart = needle_[0] < 0x80 && needle_[0] != 'I' && needle_[0] != 'S';
        for (size_t i = from; i < text.size();) {
            if (asciiStart && upper_[static_cast<unsigned char>(text[i])] != needle_[0]) {
                ++i;
                continue;
            }
            const int length = decodeAt(text, i, cp);
            if (folded(cp) == needle_[0]) {
                const size_t end = matchEnd(text, i + static_cast<size_t>(length));
                if (end != std::string_view::npos) return Match { i, end - i };
            }
            i += static_cast<size_t>(length);
        }
        return {};
    }

private:
    char32_t folded(char32_t cp) const { return cp < 0x10000 ? upper_[cp] : cp; }
    // Where the match that began before `i` with the first code point ends, or npos.
    size_t matchEnd(std::string_view text, size_t i) const
    {
        char32_t cp;
        for (size_t k = 1; k < needle_.size(); ++k) {
            if (i >= text.size()) return std::string_view::npos;
            const int length = decodeAt(text, i, cp);
            if (folded(cp) != needle_[k]) return std::string_view::npos;
            i += static_cast<size_t>(length);
        }
        return i;
    }

    const char16_t* upper_;
    std::vector<char32_t> needle_;
};

// Only a dotless i and a long s among the non-ASCII characters upper-case to
// ASCII letters (I and S): without those letters an ASCII text is found
// byte by byte in any UTF-8 text.
bool foldsOnlyAscii(std::string_view searched)
{
    return isAscii(searched) && searched.find_first_of("iIsS") == std::string_view::npos;
}

template <typename Find>
bool replaceEach(std::string& out, std::string_view text, std::string_view replacement, const Find& find)
{
    Match m = find(size_t(0));
    if (m.at == std::string_view::npos) return false;
    out.clear();
    size_t pos = 0;
    do {
        out.append(text.substr(pos, m.at - pos));
        out.append(replacement);
        pos = m.at + m.length;
        m = find(pos);
    } while (m.at != std::string_view::npos);
    out.append(text.substr(pos));
    return true;
}

} // namespace

bool ReplaceAllTextTo(
    std::string& out, std::string_view text, std::string_view searched, std::string_view replacement, bool ignoreCase)
{
    if (searched.empty() || text.size() < (ignoreCase ? 1 : searched.size())) return false;
    if (!ignoreCase) {
        return replaceEach(out, text, replacement, [&](size_t from) {
            const size_t at = text.find(searched, from);
            return at == std::string_view::npos ? Match {} : Match { at, searched.size() };
        });
    }
    if (foldsOnlyAscii(searched) || (isAscii(searched) && isAscii(text))) {
        return replaceEach(out, text, replacement, [&](size_t from) {
            const size_t at = findAsciiFolded(text, searched, from);
            return at == std::string_view::npos ? Match {} : Match { at, searched.size() };
        });
    }
    if (!isValidUtf8(text) || !isValidUtf8(searched)) {
        std::string replaced = replaceAllFolded(text, searched, replacement);
        if (replaced == text) return false;
        out = std::move(replaced);
        return true;
    }
    // A replace over a table asks for the same searched text for every cell.
    thread_local std::string lastSearched;
    thread_local std::optional<FoldedSearch> lastSearch;
    if (!lastSearch || lastSearched != searched) {
        lastSearch.emplace(searched);
        lastSearched.assign(searched);
    }
    const FoldedSearch& search = *lastSearch;
    return replaceEach(out, text, replacement, [&](size_t from) { return search.find(text, from); });
}

std::string ReplaceAllText(
    std::string_view text, std::string_view searched, std::string_view replacement, bool ignoreCase)
{
    std::string out;
    if (!ReplaceAllTextTo(out, text, searched, replacement, ignoreCase)) return std::string(text);
    return out;
}

std::string RemoveBlocks(std::string_view text, std::string_view opening, std::string_view closing)
{
    std::string result;
    if (opening.empty()) return std::string(text);
    size_t at;
    while ((at = text.find(opening)) != std::string_view::npos) {
        result.append(text.substr(0, at));
        text.remove_prefix(at + opening.size());
        size_t close = closing.empty() ? std::string_view::npos : text.find(closing);
        if (close != std::string_view::npos) text.remove_prefix(close + closing.size());
    }
    result.append(text);
    return result;
}

int CharacterCount(std::string_view text)
{
    int n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

std::string_view DropLastCharacter(std::string_view text)
{
    if (text.empty()) return text;
    size_t n = text.size() - 1;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return text.substr(0, n);
}

} // namespace tessel
