#include "core/text_utils.h"

#include <QString>
#include <algorithm>

namespace tessel {
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
    for (size_t i = from; i + searched.size() <= text.size(); ++i) {
        if (asciiUpper(text[i]) != first) continue;
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

std::string ReplaceAllText(
    std::string_view text, std::string_view searched, std::string_view replacement, bool ignoreCase)
{
    if (searched.empty()) return std::string(text);
    if (!ignoreCase || isAscii(searched)) {
        // The common case, byte by byte.
        if (!ignoreCase || isAscii(text)) {
            std::string out;
            size_t pos = 0;
            for (;;) {
                size_t at = ignoreCase ? findAsciiFolded(text, searched, pos) : text.find(searched, pos);
                if (at == std::string_view::npos) break;
                out.append(text.substr(pos, at - pos));
                out.append(replacement);
                pos = at + searched.size();
            }
            out.append(text.substr(pos));
            return out;
        }
    }
    return replaceAllFolded(text, searched, replacement);
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
