#include "formats/markup.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tessel {
namespace {

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// The value of color= in a font tag's attributes, quoted or not.
std::string_view colourAttribute(std::string_view attributes)
{
    std::string lower(attributes);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find("color");
    if (at == std::string::npos) return {};
    size_t i = at + 5;
    while (i < attributes.size() && (attributes[i] == ' ' || attributes[i] == '='))
        ++i;
    if (i >= attributes.size()) return {};
    const char quote = attributes[i] == '"' || attributes[i] == '\'' ? attributes[i] : 0;
    if (quote) ++i;
    size_t end = i;
    while (end < attributes.size() && (quote ? attributes[end] != quote : attributes[end] != ' '))
        ++end;
    return attributes.substr(i, end - i);
}

MarkupPiece tagPiece(std::string_view tag)
{
    const std::string_view inner = tag.substr(1, tag.size() - 2);
    const bool closing = !inner.empty() && inner.front() == '/';
    std::string_view name = inner.substr(closing ? 1 : 0);
    name = name.substr(0, name.find(' '));
    const std::pair<const char*, MarkupPiece::Kind> simple[]
        = { { "i", MarkupPiece::ItalicOn }, { "b", MarkupPiece::BoldOn }, { "u", MarkupPiece::UnderlineOn } };
    for (const auto& [letter, kind] : simple)
        if (sameLetters(inner.substr(closing ? 1 : 0), letter))
            return { static_cast<MarkupPiece::Kind>(kind + (closing ? 1 : 0)), {} };
    if (sameLetters(name, "font")) {
        if (closing) return { MarkupPiece::ColourOff, {} };
        const std::string_view colour = colourAttribute(inner.substr(4));
        if (!colour.empty()) return { MarkupPiece::ColourOn, colour };
    }
    return { MarkupPiece::Tag, tag };
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

std::vector<MarkupPiece> SplitMarkup(std::string_view line)
{
    std::vector<MarkupPiece> pieces;
    size_t textStart = 0, i = 0;
    const auto flush = [&](size_t end) {
        if (end > textStart) pieces.push_back({ MarkupPiece::Text, line.substr(textStart, end - textStart) });
    };
    while (i < line.size()) {
        const char c = line[i];
        const size_t close = c == '<' ? line.find('>', i) : c == '{' ? line.find('}', i) : std::string_view::npos;
        const bool opensTag = c == '<' && i + 1 < line.size()
            && (std::isalpha(static_cast<unsigned char>(line[i + 1])) || line[i + 1] == '/');
        if (close == std::string_view::npos || (c == '<' && !opensTag)) {
            ++i;
            continue;
        }
        flush(i);
        if (c == '<')
            pieces.push_back(tagPiece(line.substr(i, close - i + 1)));
        else
            pieces.push_back({ MarkupPiece::Block, line.substr(i + 1, close - i - 1) });
        i = textStart = close + 1;
    }
    flush(line.size());
    return pieces;
}

bool MayHoldMarkup(std::string_view line)
{
    return !line.empty()
        && (std::memchr(line.data(), '<', line.size()) != nullptr
            || std::memchr(line.data(), '{', line.size()) != nullptr);
}

void TextLines(
    std::string_view line1, std::string_view line2, std::string_view line3, std::vector<std::string_view>& lines)
{
    lines.clear();
    lines.push_back(line1);
    lines.push_back(line2);
    for (size_t at; (at = line3.find("\\N")) != std::string_view::npos; line3.remove_prefix(at + 2))
        lines.push_back(line3.substr(0, at));
    lines.push_back(line3);
}

std::optional<uint32_t> ColourRgb(std::string_view colour)
{
    static const std::pair<const char*, uint32_t> names[] = { { "black", 0x000000 }, { "silver", 0xC0C0C0 },
        { "gray", 0x808080 }, { "grey", 0x808080 }, { "white", 0xFFFFFF }, { "maroon", 0x800000 }, { "red", 0xFF0000 },
        { "purple", 0x800080 }, { "fuchsia", 0xFF00FF }, { "magenta", 0xFF00FF }, { "green", 0x008000 },
        { "lime", 0x00FF00 }, { "olive", 0x808000 }, { "yellow", 0xFFFF00 }, { "navy", 0x000080 }, { "blue", 0x0000FF },
        { "teal", 0x008080 }, { "aqua", 0x00FFFF }, { "cyan", 0x00FFFF } };
    for (const auto& [name, rgb] : names)
        if (sameLetters(colour, name)) return rgb;
    if (colour.empty() || colour[0] != '#') return std::nullopt;
    const std::string_view digits = colour.substr(1);
    uint32_t value = 0;
    for (char c : digits) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(d);
    }
    if (digits.size() == 3) return (value >> 8 & 0xF) * 0x110000 + (value >> 4 & 0xF) * 0x1100 + (value & 0xF) * 0x11;
    if (digits.size() == 6) return value;
    if (digits.size() == 8) return value >> 8;
    return std::nullopt;
}

std::string FontTag(std::string_view colour) { return "<font color=\"" + std::string(colour) + "\">"; }

std::string CellsFingerprint(const std::vector<std::string_view>& cells)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (std::string_view cell : cells) {
        for (unsigned char c : cell)
            hash = (hash ^ c) * 0x100000001b3ull;
        hash = (hash ^ 0x1F) * 0x100000001b3ull; // between cells, so that "ab","" and "a","b" differ
    }
    static const char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        text[static_cast<size_t>(i)] = digits[hash & 0xF];
    return text;
}

std::string ToHex(std::string_view bytes)
{
    std::string hex;
    AppendHex(hex, bytes);
    return hex;
}

void AppendHex(std::string& out, std::string_view bytes)
{
    const size_t at = out.size();
    out.resize(at + bytes.size() * 2);
    PutHex(out.data() + at, bytes);
}

char* PutHex(char* to, std::string_view bytes)
{
    size_t i = 0;
#ifdef __SSE2__
    // EBU STL keeps every block it reads as hex: sixteen bytes at a time.
    const __m128i mask = _mm_set1_epi8(0x0F), nine = _mm_set1_epi8(9), zero = _mm_set1_epi8('0'),
                  letters = _mm_set1_epi8('a' - '0' - 10);
    const auto hexDigits = [&](__m128i nibbles) {
        return _mm_add_epi8(_mm_add_epi8(nibbles, zero), _mm_and_si128(_mm_cmpgt_epi8(nibbles, nine), letters));
    };
    for (; i + 16 <= bytes.size(); i += 16, to += 32) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
        const __m128i high = _mm_and_si128(_mm_srli_epi16(v, 4), mask), low = _mm_and_si128(v, mask);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), hexDigits(_mm_unpacklo_epi8(high, low)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), hexDigits(_mm_unpackhi_epi8(high, low)));
    }
#endif
    static const char digits[] = "0123456789abcdef";
    for (; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        *to++ = digits[c >> 4];
        *to++ = digits[c & 0xF];
    }
    return to;
}

std::optional<std::string> FromHex(std::string_view hex)
{
    std::string bytes;
    if (!AppendFromHex(bytes, hex)) return std::nullopt;
    return bytes;
}

bool AppendFromHex(std::string& out, std::string_view hex)
{
    if (hex.size() % 2) return false;
    const size_t at = out.size();
    out.resize(at + hex.size() / 2);
    char* to = out.data() + at;
    size_t i = 0;
#ifdef __SSE2__
    // The blocks EBU STL kept, read again at each save: sixteen digits at a time.
    const auto below = [](__m128i v, char c) { return _mm_cmplt_epi8(v, _mm_set1_epi8(c)); };
    for (; i + 16 <= hex.size(); i += 16, to += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(hex.data() + i));
        const __m128i lower = _mm_or_si128(v, _mm_set1_epi8(0x20)); // 'A'..'F' as 'a'..'f', and only they
        const __m128i digit = _mm_andnot_si128(below(v, '0'), below(v, '9' + 1));
        const __m128i letter = _mm_andnot_si128(below(lower, 'a'), below(lower, 'f' + 1));
        if (_mm_movemask_epi8(_mm_or_si128(digit, letter)) != 0xFFFF) {
            out.resize(at);
            return false;
        }
        const __m128i values = _mm_or_si128(_mm_and_si128(digit, _mm_sub_epi8(v, _mm_set1_epi8('0'))),
            _mm_and_si128(letter, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10))));
        // Each pair of digits, high one first, as a byte.
        const __m128i high = _mm_slli_epi16(_mm_and_si128(values, _mm_set1_epi16(0xFF)), 4);
        const __m128i bytes = _mm_or_si128(high, _mm_srli_epi16(values, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(bytes, bytes));
    }
#endif
    for (; i < hex.size(); i += 2) {
        const int high = hexDigit(hex[i]), low = hexDigit(hex[i + 1]);
        if (high < 0 || low < 0) {
            out.resize(at);
            return false;
        }
        *to++ = static_cast<char>(high << 4 | low);
    }
    return true;
}

} // namespace tessel
