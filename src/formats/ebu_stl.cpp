#include "formats/ebu_stl.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/text_utils.h"
#include "core/timecode.h"
#include "formats/encoding.h"
#include "formats/kept_data.h"
#include "formats/markup.h"
#include "formats/time_format.h"

#include <QDate>
#include <algorithm>
#include <array>
#include <bitset>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iconv.h>
#include <optional>
#include <unordered_map>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace tessel {
namespace {

constexpr std::string_view Tag = "ebu-stl";
constexpr size_t GsiSize = 1024, TtiSize = 128, TextOffset = 16, TextSize = 112;
constexpr unsigned char LineBreak = 0x8A, Padding = 0x8F, LastBlock = 0xFF, UserData = 0xFE;

// The hidden cell: the fingerprint of the text lines as read, the
// subtitle's blocks as read (hex), how many line breaks stand between two
// lines, each line's framing (the control codes before and after its text),
// and the comment and user data blocks that stood before it. A row that
// goes to the writer as read has no fingerprint, and its blocks follow the
// lines as they are, their size in their line ("*384"): hex is only for
// what may be stored.
enum RowLine : size_t { PrintLine, BlocksLine, BreaksLine, FramingLines };
// The document data: the GSI block (hex), how many rows were read, the
// frames taken off every time code (the start of the programme), then the
// blocks after the last subtitle.
enum DocumentLine : size_t { GsiLine, RowsLine, OffsetLine, AfterLines };

// GSI fields: where they start and how long they are.
struct Field {
    size_t at, size;
};
constexpr Field DiskFormat { 3, 8 }, DisplayStandard { 11, 1 }, CodeTableField { 12, 2 }, CreationDate { 224, 6 },
    RevisionDate { 230, 6 }, BlockCount { 238, 5 }, SubtitleCount { 243, 5 }, GroupCount { 248, 3 },
    MaxCharacters { 251, 2 }, MaxRows { 253, 2 }, TimeCodeStatus { 255, 1 }, ProgrammeStart { 256, 8 },
    FirstInCue { 264, 8 }, DiskCount { 272, 1 }, DiskNumber { 273, 1 };

struct CodeTable {
    const char* code;
    const char* iconvName;
    const char* name;
};
constexpr CodeTable CodeTables[]
    = { { "00", "ISO_6937", "Latin" }, { "01", "ISO-8859-5", "Latin/Cyrillic" }, { "02", "ISO-8859-6", "Latin/Arabic" },
          { "03", "ISO-8859-7", "Latin/Greek" }, { "04", "ISO-8859-8", "Latin/Hebrew" } };

const char* const ColourNames[8] = { "black", "red", "green", "yellow", "blue", "magenta", "cyan", "white" };
constexpr unsigned char White = 7;

// Teletext and open subtitle codes that have no tag of their own, shown as {name}.
const char* const TeletextNames[0x20] = { nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "flash", "steady", "end box", "start box", "normal height", "double height", "double width", "double size",
    "mosaic black", "mosaic red", "mosaic green", "mosaic yellow", "mosaic blue", "mosaic magenta", "mosaic cyan",
    "mosaic white", "conceal", "contiguous mosaic", "separated mosaic", "escape", "black background", "new background",
    "hold mosaic", "release mosaic" };

std::string blockName(unsigned char code)
{
    if (code < 0x20 && TeletextNames[code]) return TeletextNames[code];
    if (code == 0x84) return "box on";
    if (code == 0x85) return "box off";
    static const char digits[] = "0123456789abcdef";
    return std::string("code ") + digits[code >> 4] + digits[code & 0xF];
}

std::optional<unsigned char> codeOfBlock(std::string_view name)
{
    for (unsigned code = 0; code < 0x100; ++code)
        if ((code < 0x20 || (code >= 0x84 && code <= 0x8F && code != LineBreak && code != Padding))
            && blockName(static_cast<unsigned char>(code)) == name)
            return static_cast<unsigned char>(code);
    return std::nullopt;
}

bool isFraming(unsigned char c) { return c < 0x20 || c == 0x84 || c == 0x85; }
bool isPrintable(unsigned char c) { return (c >= 0x20 && c < 0x7F) || c >= 0xA0 || c == 0x7F; }

std::string stlError(const std::string& where, const std::string& what) { return "EBU STL, " + where + ": " + what; }
std::string blockError(size_t block, const std::string& what)
{
    return stlError(
        "TTI block " + std::to_string(block + 1) + " (byte " + std::to_string(GsiSize + block * TtiSize) + ")", what);
}

// One direction of iconv, started afresh for each piece.
class Converter {
public:
    Converter(const char* to, const char* from)
        : handle_(iconv_open(to, from))
    {
        if (handle_ == reinterpret_cast<iconv_t>(-1))
            throw Error(std::string("EBU STL: this system cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::optional<std::string> convert(std::string_view in)
    {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 8, '\0');
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char* dst = out.data();
        size_t dstLeft = out.size();
        if (iconv(handle_, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft) return std::nullopt;
        if (iconv(handle_, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) return std::nullopt;
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    iconv_t handle_;
};

// A byte of the file that no character of the table stands for is shown as a
// private-use character of its own, U+E000 + the byte, and written back as it was.
constexpr char32_t RawBase = 0xE000;

// The text codes of one character code table, both ways.
class TextCodes {
public:
    explicit TextCodes(const CodeTable& table)
        : table_(table)
        , decoder_("UTF-8", table.iconvName)
        , encoder_(table.iconvName, "UTF-8")
        , latin_(std::strcmp(table.code, "00") == 0)
    {
    }
    const CodeTable& table() const { return table_; }
    // Latin's diacritical marks come before their letter, as one character.
    bool startsPair(unsigned char c) const { return latin_ && c >= 0xC1 && c <= 0xCF; }

    // Where the run of printable bytes read as the same ASCII character, each
    // alone, that starts at `at` ends (`end` at most).
    size_t sameAsciiEnd(std::string_view bytes, size_t at, size_t end)
    {
        if (!asciiKnown_) knowAscii();
        return runEnd(bytes, at, end, sameAscii_, printableRead_);
    }

    void decode(std::string_view bytes, std::string& out)
    {
        for (size_t i = 0; i < bytes.size();) {
            if (const size_t end = sameAsciiEnd(bytes, i, bytes.size()); end > i) {
                // Most text is ASCII read as it is: a run at a time, not a character.
                out.append(bytes.data() + i, end - i);
                i = end;
                continue;
            }
            const size_t length = startsPair(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
            if (const std::string& text = decoded(bytes.substr(i, length)); !text.empty()) {
                out += text;
                i += length;
                continue;
            }
            const unsigned char c = static_cast<unsigned char>(bytes[i]);
            // ISO 6937 of 1983, which the EBU table follows, had these; glibc's has not.
            if (latin_ && c == 0xA4)
                out += '$';
            else if (latin_ && c == 0xA6)
                out += '#';
            else
                AppendUtf8(out, RawBase + c);
            ++i;
        }
    }

    void encode(std::string_view text, int row, std::string& out)
    {
        if (!asciiKnown_) knowAscii();
        for (size_t i = 0; i < text.size();) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (const size_t end = runEnd(text, i, text.size(), sameWritten_, printableWritten_); end > i) {
                // Most text is ASCII that the table keeps as it is: a run at a time.
                out.append(text.data() + i, end - i);
                i = end;
                continue;
            }
            const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            const std::string_view character = text.substr(i, length);
            i += length;
            if (character.size() == 3 && c == 0xEE && (static_cast<unsigned char>(character[1]) & 0xFC) == 0x80) {
                // U+E000..U+E0FF: a byte kept as it was read.
                out += static_cast<char>((character[1] & 0x03) << 6 | (character[2] & 0x3F));
                continue;
            }
            const std::string& bytes = encoded(character);
            if (bytes.empty())
                throw UnencodableText("EBU STL, row " + std::to_string(row) + ": the character '"
                    + std::string(character) + "' has no code in character code table " + table_.code + " ("
                    + table_.name + ")");
            out += bytes;
        }
    }

private:
    // iconv for each character took most of a file's time: each character is
    // converted once. Empty: it has no code (or no character) here.
    static uint64_t key(std::string_view character)
    {
        uint64_t k = character.size();
        for (const char c : character)
            k = k << 8 | static_cast<unsigned char>(c);
        return k;
    }
    const std::string& decoded(std::string_view bytes)
    {
        const auto [at, added] = decoded_.try_emplace(key(bytes));
        if (added) at->second = decoder_.convert(bytes).value_or("");
        return at->second;
    }
    const std::string& encoded(std::string_view character)
    {
        const auto [at, added] = encoded_.try_emplace(key(character));
        if (added) at->second = encoder_.convert(character).value_or("");
        return at->second;
    }

    // Which ASCII characters the table reads and writes as the same byte.
    void knowAscii()
    {
        printableRead_ = printableWritten_ = true;
        for (unsigned c = 0; c < 0x80; ++c) {
            const char character = static_cast<char>(c);
            const std::string& bytes = encoded(std::string_view(&character, 1));
            sameWritten_[c] = bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) == c;
            const std::string& text = decoded(std::string_view(&character, 1));
            sameAscii_[c] = isPrintable(static_cast<unsigned char>(c)) && !startsPair(static_cast<unsigned char>(c))
                && text.size() == 1 && static_cast<unsigned char>(text[0]) == c;
            if (c >= 0x20 && c < 0x7F) {
                printableRead_ = printableRead_ && sameAscii_[c];
                printableWritten_ = printableWritten_ && sameWritten_[c];
            }
        }
        asciiKnown_ = true;
    }

    // The end of the run from `at` of the bytes `same` holds: sixteen at a
    // time while they are printable ASCII, when `printable` says it holds them all.
    static size_t runEnd(
        std::string_view text, size_t at, size_t end, const std::array<bool, 0x100>& same, bool printable)
    {
#ifdef __SSE2__
        if (printable)
            while (at + 16 <= end) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
                // 0x20..0x7E: above 0x1F as signed bytes, but 0x7F.
                const int inside = _mm_movemask_epi8(
                    _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)), _mm_cmpgt_epi8(v, _mm_set1_epi8(0x1F))));
                if (inside != 0xFFFF) {
                    at += static_cast<size_t>(__builtin_ctz(~static_cast<unsigned>(inside)));
                    break;
                }
                at += 16;
            }
#endif
        while (at < end && same[static_cast<unsigned char>(text[at])])
            ++at;
        return at;
    }

    std::unordered_map<uint64_t, std::string> decoded_, encoded_;
    // The bytes read as the same printable ASCII character, the ASCII the
    // table writes as the same byte, and whether each holds 0x20..0x7E.
    std::array<bool, 0x100> sameAscii_ {}, sameWritten_ {};
    bool printableRead_ = false, printableWritten_ = false;
    bool asciiKnown_ = false;
    const CodeTable& table_;
    Converter decoder_, encoder_;
    bool latin_;
};

const CodeTable* codeTableOf(std::string_view code)
{
    for (const CodeTable& table : CodeTables)
        if (code == table.code) return &table;
    return nullptr;
}

std::string_view field(std::string_view gsi, Field f) { return gsi.substr(f.at, f.size); }

std::optional<int> digitsValue(std::string_view text)
{
    if (text.empty()) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// "STL25.01": the frames a second its time codes count (23 and 29 stand for
// 24 and 30 at 1000/1001).
std::optional<int> timeCodeRate(std::string_view gsi)
{
    const std::string_view code = field(gsi, DiskFormat);
    if (code.substr(0, 3) != "STL" || code.substr(5) != ".01") return std::nullopt;
    const std::optional<int> rate = digitsValue(code.substr(3, 2));
    if (!rate || *rate == 0) return std::nullopt;
    return *rate == 23 || *rate == 29 || *rate == 59 ? *rate + 1 : *rate;
}

bool isTeletext(std::string_view gsi)
{
    const char standard = gsi[DisplayStandard.at];
    return standard == '1' || standard == '2';
}

// Time codes and the table's frames: the same count when the film runs at the
// time code's rate (within 0.1 frame a second), else through the clock.
class Timing {
public:
    Timing(int timeCodeRate, double framerate, int64_t offset)
        : rate_(timeCodeRate)
        , framerate_(framerate)
        , direct_(std::fabs(framerate - timeCodeRate) < 0.1)
        , offset_(offset)
    {
    }
    int rate() const { return rate_; }

    int64_t toFrame(int64_t timeCode) const
    {
        const int64_t count = timeCode - offset_;
        if (direct_) return count;
        const long double ms = static_cast<long double>(count) * 1000 / rate_;
        return TimeToFrame(
            static_cast<int32_t>(std::clamp<long double>(std::llround(ms), INT32_MIN, INT32_MAX)), framerate_);
    }
    int64_t toTimeCode(int64_t frame) const
    {
        const int64_t count
            = direct_ ? frame : std::llround(static_cast<long double>(FrameToTime(frame, framerate_)) * rate_ / 1000);
        return std::max<int64_t>(count + offset_, 0);
    }

private:
    int rate_;
    double framerate_;
    bool direct_;
    int64_t offset_;
};

std::optional<int64_t> readTimeCode(std::string_view bytes, int rate)
{
    const auto b = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (b(1) > 59 || b(2) > 59 || b(3) >= rate) return std::nullopt;
    return ((int64_t(b(0)) * 60 + b(1)) * 60 + b(2)) * rate + b(3);
}

void putTimeCode(std::string& block, size_t at, int64_t timeCode, int rate)
{
    const int64_t seconds = timeCode / rate;
    block[at] = static_cast<char>(std::min<int64_t>(seconds / 3600, 255));
    block[at + 1] = static_cast<char>(seconds / 60 % 60);
    block[at + 2] = static_cast<char>(seconds % 60);
    block[at + 3] = static_cast<char>(timeCode % rate);
}

std::string timeCodeText(int64_t timeCode, int rate)
{
    const int64_t seconds = timeCode / rate;
    return FormatInt(std::min<int64_t>(seconds / 3600, 99), 2) + FormatInt(seconds / 60 % 60, 2)
        + FormatInt(seconds % 60, 2) + FormatInt(timeCode % rate, 2);
}

struct Framing {
    std::string prefix, suffix;
};

// The text field's bytes (padding and all) as the table's three text cells,
// the third holding every line past the second, "\N" between them. Its rooms
// are used again text after text.
struct DecodedText {
    std::string cells[3];
    std::vector<std::pair<std::string_view, std::string_view>> framings; // in the field read
    int breaks = 0; // 0: one line, so none seen
};

// The line after `out`; its framing, the codes before and after its text.
void decodeLine(
    std::string_view bytes, TextCodes& codes, std::pair<std::string_view, std::string_view>& framing, std::string& out)
{
    size_t begin = 0, end = bytes.size();
    while (begin < end && isFraming(static_cast<unsigned char>(bytes[begin])))
        ++begin;
    while (end > begin && isFraming(static_cast<unsigned char>(bytes[end - 1])))
        --end;
    framing = { bytes.substr(0, begin), bytes.substr(end) };
    bool coloured = false;
    const auto colour = [&](unsigned char code) {
        if (coloured) out += "</font>";
        coloured = code != White;
        if (coloured) out += FontTag(ColourNames[code]);
    };
    // The colour the line starts in, when it is not the usual white.
    const auto initial = std::find_if(
        framing.first.rbegin(), framing.first.rend(), [](char c) { return static_cast<unsigned char>(c) < 8; });
    if (initial != framing.first.rend()) colour(static_cast<unsigned char>(*initial));
    for (size_t i = begin; i < end;) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (const size_t run = codes.sameAsciiEnd(bytes, i, end); run > i) {
            // Most of a line: taken as it is, without a look at what the run is first.
            out.append(bytes.data() + i, run - i);
            i = run;
            continue;
        }
        if (isPrintable(c)) {
            size_t run = i;
            while (run < end && isPrintable(static_cast<unsigned char>(bytes[run])))
                run += codes.startsPair(static_cast<unsigned char>(bytes[run])) && run + 1 < end ? 2 : 1;
            codes.decode(bytes.substr(i, run - i), out);
            i = run;
            continue;
        }
        ++i;
        if (c >= 0x80 && c <= 0x83)
            out += c == 0x80 ? "<i>" : c == 0x81 ? "</i>" : c == 0x82 ? "<u>" : "</u>";
        else if (c < 8)
            colour(c);
        else
            out += "{" + blockName(c) + "}";
    }
    if (coloured) out += "</font>";
}

// `pieces`: a room for the lines' bytes.
void decodeText(std::string_view field, TextCodes& codes, DecodedText& text, std::vector<std::string_view>& pieces)
{
    const size_t padding = field.find(static_cast<char>(Padding));
    field = field.substr(0, padding);
    for (std::string& cell : text.cells)
        cell.clear();
    text.framings.clear();
    text.breaks = 0;
    pieces.clear();
    size_t start = 0;
    bool breaksSeen = false;
    for (size_t i = 0; i <= field.size();) {
        i = std::min(field.find(static_cast<char>(LineBreak), i), field.size());
        pieces.push_back(field.substr(start, i - start));
        size_t run = i;
        while (run < field.size() && static_cast<unsigned char>(field[run]) == LineBreak)
            ++run;
        if (run > i && !breaksSeen) {
            text.breaks = static_cast<int>(run - i);
            breaksSeen = true;
        }
        // A longer run of breaks than the usual one leaves empty lines between.
        for (size_t empty = (run - i) / static_cast<size_t>(std::max(text.breaks, 1)); empty > 1; --empty)
            pieces.emplace_back();
        if (run == field.size()) break;
        start = i = run;
    }
    size_t first = 0, last = pieces.size();
    while (first < last && pieces[first].empty())
        ++first;
    while (last > first && pieces[last - 1].empty())
        --last;
    for (size_t i = first; i < last; ++i) {
        const size_t line = i - first;
        std::string& cell = text.cells[std::min<size_t>(line, 2)];
        if (line > 2) cell += "\\N";
        decodeLine(pieces[i], codes, text.framings.emplace_back(), cell);
    }
}

unsigned char teletextColour(std::string_view colour)
{
    const uint32_t rgb = ColourRgb(colour).value_or(0xFFFFFF);
    return static_cast<unsigned char>((rgb >> 23 & 1) | (rgb >> 14 & 2) | (rgb >> 5 & 4));
}

// The line's codes after `out`: its framing around its text.
void encodeLine(std::string& out, std::string_view line, const Framing& framing, TextCodes& codes, int row)
{
    const bool plain = !MayHoldMarkup(line);
    std::vector<MarkupPiece> pieces;
    if (!plain) pieces = SplitMarkup(line);
    unsigned char first = White;
    size_t from = 0;
    if (!pieces.empty() && pieces[0].kind == MarkupPiece::ColourOn) {
        first = teletextColour(pieces[0].text);
        from = 1;
    }
    const size_t start = out.size();
    out += framing.prefix;
    size_t colourAt = out.size();
    while (colourAt > start && static_cast<unsigned char>(out[colourAt - 1]) >= 8)
        --colourAt;
    if (colourAt > start)
        out[colourAt - 1] = static_cast<char>(first);
    else if (first != White)
        out += static_cast<char>(first);
    if (plain) {
        codes.encode(line, row, out);
        out += framing.suffix;
        return;
    }
    for (size_t i = from; i < pieces.size(); ++i) {
        const MarkupPiece& piece = pieces[i];
        switch (piece.kind) {
        case MarkupPiece::Text:
            codes.encode(piece.text, row, out);
            break;
        case MarkupPiece::ItalicOn:
        case MarkupPiece::ItalicOff:
        case MarkupPiece::UnderlineOn:
        case MarkupPiece::UnderlineOff:
            out += static_cast<char>(
                0x80 + (piece.kind - MarkupPiece::ItalicOn) % 2 + (piece.kind >= MarkupPiece::UnderlineOn ? 2 : 0));
            break;
        case MarkupPiece::ColourOn:
            out += static_cast<char>(teletextColour(piece.text));
            break;
        case MarkupPiece::ColourOff:
            // Teletext colours last to the end of the row: white again only before more text.
            if (std::any_of(pieces.begin() + static_cast<std::ptrdiff_t>(i), pieces.end(),
                    [](const MarkupPiece& p) { return p.kind == MarkupPiece::Text; }))
                out += static_cast<char>(White);
            break;
        case MarkupPiece::Block:
            if (const std::optional<unsigned char> code = codeOfBlock(piece.text)) out += static_cast<char>(*code);
            break;
        default: // bold and other formats' tags: nothing to say them with
            break;
        }
    }
    out += framing.suffix;
}

// The row's text lines, none empty at the end.
void rowLines(const SubtitleTable& table, int row, std::vector<std::string_view>& lines)
{
    TextLines(table.cell(SubtitleTable::Line1, row), table.cell(SubtitleTable::Line2, row),
        table.cell(SubtitleTable::Line3, row), lines);
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
}

// "prefix:suffix" in hex; what is not hex, nothing.
void readFraming(std::string_view text, Framing& framing)
{
    const size_t colon = text.find(':');
    framing.prefix.clear();
    framing.suffix.clear();
    AppendFromHex(framing.prefix, text.substr(0, colon));
    if (colon != std::string_view::npos) AppendFromHex(framing.suffix, text.substr(colon + 1));
}

int subtitleNumber(std::string_view block)
{
    return static_cast<unsigned char>(block[1]) | static_cast<unsigned char>(block[2]) << 8;
}

class Reader {
public:
    Reader(SubtitleTable& table, int firstRow, double framerate)
        : table_(table)
        , row_(firstRow)
        , framerate_(framerate)
        , open_(firstRow == 1)
    {
    }

    // The blocks as they come: a window of the file in memory, however long.
    void read(LineReader& lines)
    {
        keepsFile_ = lines.keepsFile();
        asRead_ = lines.rowsAsRead();
        gsi_.assign(lines.readBytes(GsiSize));
        if (gsi_.size() < GsiSize)
            throw Error(stlError("GSI block",
                "the file holds " + std::to_string(gsi_.size())
                    + " bytes, fewer than the 1024 of its General Subtitle Information block"));
        const std::optional<int> rate = timeCodeRate(gsi_);
        if (!rate)
            throw Error(stlError("GSI block",
                "the disk format code '" + std::string(field(gsi_, DiskFormat))
                    + "' is not one of STL25.01, STL30.01 (STLnn.01)"));
        const CodeTable* table = codeTableOf(field(gsi_, CodeTableField));
        if (!table)
            throw Error(stlError("GSI block",
                "the character code table '" + std::string(field(gsi_, CodeTableField))
                    + "' is not one of 00 (Latin), 01 (Cyrillic), 02 (Arabic), 03 (Greek) and 04 (Hebrew)"));
        codes_.emplace(*table);
        rate_ = *rate;
        size_t blocks = 0, rest = 0;
        try {
            while (!lines.atEnd()) {
                const std::string_view block = lines.readBytes(TtiSize);
                if (block.size() < TtiSize) {
                    rest = block.size();
                    break;
                }
                take(blocks++, block);
            }
            finishSubtitle();
            if (rest)
                throw Error(blockError(blocks, "the file ends " + std::to_string(rest) + " bytes into the block"));
            const std::optional<int> counted = digitsValue(field(gsi_, BlockCount));
            if (counted && static_cast<size_t>(*counted) != blocks)
                throw Error(stlError("GSI block",
                    "it counts " + std::to_string(*counted) + " TTI blocks, the file holds " + std::to_string(blocks)
                        + " (all of them were read)"));
        } catch (...) {
            keepDocument();
            throw;
        }
        keepDocument();
    }

private:
    void take(size_t index, std::string_view block)
    {
        const unsigned char extension = static_cast<unsigned char>(block[3]);
        if (!pending_.empty() && subtitleNumber(pending_) != subtitleNumber(block)) finishSubtitle();
        if (extension == UserData) {
            finishSubtitle();
            before_ += block;
            return;
        }
        if (pending_.empty()) pendingIndex_ = index;
        pending_ += block;
        if (extension == LastBlock) finishSubtitle();
    }

    // The hidden cell is put together in its room, and the blocks kept back
    // to back: a string and a hex text of each block, made anew, took most
    // of a subtitle's time.
    void finishSubtitle()
    {
        if (pending_.empty()) return;
        blocks_.swap(pending_);
        pending_.clear();
        if (blocks_[15] == 1) { // a comment: kept, not shown
            before_ += blocks_;
            return;
        }
        const std::string_view blocks = blocks_;
        const std::optional<int64_t> in = readTimeCode(blocks.substr(5, 4), rate_);
        const std::optional<int64_t> out = readTimeCode(blocks.substr(9, 4), rate_);
        if (!in || !out)
            throw Error(blockError(
                pendingIndex_, "its time codes are not time codes at " + std::to_string(rate_) + " frames a second"));
        if (!timing_) {
            // Times count from the programme's start when the first subtitle comes after it.
            const std::optional<int64_t> start = readTimeCode(timeCodeDigits(field(gsi_, ProgrammeStart)), rate_);
            offset_ = start && *start <= *in ? *start : 0;
            timing_.emplace(rate_, framerate_, offset_);
        }
        std::string_view field = blocks.substr(TextOffset);
        if (blocks.size() > TtiSize) {
            textField_.clear();
            for (size_t at = 0; at < blocks.size(); at += TtiSize) {
                const std::string_view part = blocks.substr(at + TextOffset, TextSize);
                textField_ += part.substr(0, part.find(static_cast<char>(Padding)));
            }
            field = textField_;
        }
        decodeText(field, *codes_, text_, pieces_);
        const std::string& line1 = text_.cells[0];
        const std::string& line2 = text_.cells[1];
        const std::string& line3 = text_.cells[2];
        // Going to another format, a row keeps its blocks only to count the comments before it.
        const bool keep = keepsFile_ || !before_.empty();
        if (keep) {
            cells_.assign({ line1, line2, line3 });
            keepRow(blocks);
        }
        before_.clear();
        const IntText from(timing_->toFrame(*in)), to(timing_->toFrame(*out));
        StoreRow(table_, row_, from.view(), to.view(), line1, line2, line3, keep ? std::string_view(kept_) : "");
        // A writer of rows as they come takes the header with the first.
        if (++rows_ == 1) keepDocument(false);
    }

    // The hidden cell of the subtitle decoded in text_, as JoinKept would join its
    // lines, written into its room at once.
    void keepRow(std::string_view blocks)
    {
        char counts[4][24];
        const auto count = [&](int i, size_t value) {
            return std::string_view(
                counts[i], static_cast<size_t>(std::to_chars(counts[i], counts[i] + 24, value).ptr - counts[i]));
        };
        // No writer asks whether a row that reaches it as read was edited, and
        // framings serve only to make an edited row's blocks anew.
        static const decltype(text_.framings) none;
        const auto& framings = asRead_ ? none : text_.framings;
        const std::string print = asRead_ ? std::string() : CellsFingerprint(cells_);
        const size_t beforeBlocks = before_.size() / TtiSize;
        const std::string_view breaks = count(0, static_cast<size_t>(text_.breaks)), lines = count(1, framings.size()),
                               before = count(3, beforeBlocks);
        const std::string_view rawSize = count(2, blocks.size());
        const size_t blocksSize = asRead_ ? rawSize.size() + 2 + blocks.size() : blocks.size() * 2;
        size_t size = Tag.size() + print.size() + blocksSize + breaks.size() + lines.size() + before.size() + 5
            + beforeBlocks * (TtiSize * 2 + 1);
        for (const auto& [prefix, suffix] : framings)
            size += (prefix.size() + suffix.size()) * 2 + 2;
        kept_.resize(size);
        char* to = kept_.data();
        const auto put = [&](std::string_view text) {
            std::memcpy(to, text.data(), text.size());
            to += text.size();
        };
        put(Tag);
        *to++ = '\n';
        put(print);
        *to++ = '\n';
        if (asRead_) {
            *to++ = '*';
            put(rawSize);
        } else {
            to = PutHex(to, blocks);
        }
        *to++ = '\n';
        put(breaks);
        *to++ = '\n';
        put(lines);
        for (const auto& [prefix, suffix] : framings) {
            *to++ = '\n';
            to = PutHex(to, prefix);
            *to++ = ':';
            to = PutHex(to, suffix);
        }
        *to++ = '\n';
        put(before);
        for (size_t at = 0; at < before_.size(); at += TtiSize) {
            *to++ = '\n';
            to = PutHex(to, std::string_view(before_).substr(at, TtiSize));
        }
        if (asRead_) {
            *to++ = '\n';
            put(blocks);
        }
    }

    // "HHMMSSFF" as the four bytes a TTI block holds.
    static std::string timeCodeDigits(std::string_view text)
    {
        std::string bytes(4, '\x7F');
        for (size_t i = 0; i < 4; ++i)
            if (const std::optional<int> v = digitsValue(text.substr(i * 2, 2))) bytes[i] = static_cast<char>(*v);
        return bytes;
    }

    // At the end, with the blocks after the last subtitle.
    void keepDocument(bool end = true)
    {
        if (!open_ || rows_ == 0) return;
        const std::string gsi = ToHex(gsi_), rows = std::to_string(rows_), offset = std::to_string(offset_);
        std::vector<std::string> after;
        if (end) {
            before_ += pending_;
            for (size_t at = 0; at < before_.size(); at += TtiSize)
                after.push_back(ToHex(std::string_view(before_).substr(at, TtiSize)));
        }
        std::vector<std::string_view> lines = { gsi, rows, offset };
        for (const std::string& a : after)
            lines.emplace_back(a);
        table_.setDocumentData(JoinKept(Tag, lines));
    }

    SubtitleTable& table_;
    int row_;
    double framerate_;
    bool open_;
    bool keepsFile_ = true, asRead_ = false;
    std::string gsi_;
    std::optional<TextCodes> codes_;
    int rate_ = 25;
    int64_t offset_ = 0;
    std::optional<Timing> timing_;
    std::string pending_, blocks_, before_; // TTI blocks back to back
    size_t pendingIndex_ = 0;
    int rows_ = 0;
    // Rooms used again subtitle after subtitle.
    std::string textField_, kept_;
    DecodedText text_;
    std::vector<std::string_view> pieces_, cells_;
};

std::string defaultGsi(int rate)
{
    std::string gsi(GsiSize, ' ');
    const auto put = [&](Field f, const std::string& value) { gsi.replace(f.at, f.size, value.substr(0, f.size)); };
    put({ 0, 3 }, "850");
    put(DiskFormat, "STL" + FormatInt(rate, 2) + ".01");
    put(DisplayStandard, "1");
    put(CodeTableField, "00");
    put({ 14, 2 }, "00");
    const std::string today = QDate::currentDate().toString(QStringLiteral("yyMMdd")).toStdString();
    put(CreationDate, today);
    put(RevisionDate, today);
    put({ 236, 2 }, "00");
    put(MaxCharacters, "40");
    put(MaxRows, "23");
    put(TimeCodeStatus, "1");
    put(ProgrammeStart, "00000000");
    put(DiskCount, "1");
    put(DiskNumber, "1");
    return gsi;
}

// The time code rate a table from another format is written at.
int rateFor(double framerate)
{
    for (int rate : { 24, 25, 30, 48, 50, 60 })
        if (std::fabs(framerate - rate) < 0.1) return rate;
    return 25;
}

// The GSI block counts the TTI blocks in five digits.
constexpr int64_t MaxBlocks = 99999;

std::string tooManyBlocks(const std::string& need)
{
    return "EBU STL: a file holds at most " + std::to_string(MaxBlocks)
        + " TTI blocks (its GSI block counts them in five digits); these subtitles need " + need
        + ". Save them in several files.";
}

// A hidden cell's lines one after another as SplitKept and ReadLineGroup
// give them, with no list of them all: what a save leaves out is asked of
// every row.
class KeptCursor {
public:
    // False for data that EBU STL did not keep.
    bool start(std::string_view data)
    {
        if (!IsKeptBy(data, Tag)) return false;
        const size_t end = data.find('\n');
        more_ = end != std::string_view::npos;
        rest_ = more_ ? data.substr(end + 1) : std::string_view();
        return true;
    }
    bool atEnd() const { return !more_; }
    // The next line; an empty one past the end.
    std::string_view line()
    {
        if (!more_) return {};
        const size_t end = rest_.find('\n');
        const std::string_view line = rest_.substr(0, end);
        more_ = end != std::string_view::npos;
        if (more_) rest_.remove_prefix(end + 1);
        return line;
    }
    // The count a group of lines starts with (its lines follow, as many as are left).
    size_t groupCount()
    {
        const std::string_view text = line();
        size_t count = 0;
        std::from_chars(text.data(), text.data() + text.size(), count);
        return count;
    }

private:
    std::string_view rest_;
    bool more_ = false;
};

class Writer : public RowWriter {
public:
    Writer(const SubtitleTable& table, const WriteContext& context, TextSink& out)
        : table_(&table)
        , streamed_(out.rewritable())
        , asRead_(context.rowsAsRead)
    {
        std::vector<std::string_view> doc;
        if (SplitKept(table.documentData(), Tag, doc)) {
            gsi_ = FromHex(KeptLine(doc, GsiLine)).value_or("");
            offset_ = digitsValue(KeptLine(doc, OffsetLine)).value_or(0);
        }
        kept_ = gsi_.size() == GsiSize && timeCodeRate(gsi_) && codeTableOf(field(gsi_, CodeTableField));
        if (!kept_) {
            gsi_ = defaultGsi(rateFor(context.framerate));
            offset_ = 0;
        }
        timing_.emplace(*timeCodeRate(gsi_), context.framerate, offset_);
        codes_.emplace(*codeTableOf(field(gsi_, CodeTableField)));
        teletext_ = isTeletext(gsi_);
        // Where the output can go back, the header goes first and its counts
        // are put right at the end; elsewhere every block waits for them.
        if (streamed_) out.write(gsi_);
    }

    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override
    {
        table_ = &table;
        for (int r = firstRow; r <= lastRow; ++r)
            row(r);
        if (streamed_) {
            out.write(blocks_);
            blocks_.clear();
        }
    }

    // The header counts what came after it: written or put right at the end.
    // What the document kept after its last subtitle is complete only now.
    void finish(const SubtitleTable& table, TextSink& out) override
    {
        int keptRows = -1;
        std::vector<std::string_view> doc;
        if (kept_ && SplitKept(table.documentData(), Tag, doc)) {
            keptRows = digitsValue(KeptLine(doc, RowsLine)).value_or(-1);
            for (size_t i = AfterLines; i < doc.size(); ++i)
                putRaw(FromHex(doc[i]).value_or(""));
        }
        const std::string written = gsi_;
        if (changed_ || rows_ != keptRows) updateCounts();
        if (!streamed_) {
            out.write(gsi_);
            out.write(blocks_);
            return;
        }
        out.write(blocks_);
        if (gsi_ != written) out.rewrite(0, gsi_);
    }

private:
    // The rows' own rooms are used again row after row: made anew, they took
    // most of a row's time.
    void row(int row)
    {
        framings_.clear();
        rowBlocks_.clear();
        int breaks = teletext_ ? 2 : 1;
        std::string_view print;
        bool unedited = false;
        const std::string_view extra = table_->cell(SubtitleTable::Extra, row);
        if (keptCell_.start(extra)) {
            // The lines in the order RowLine gives them.
            print = keptCell_.line();
            const std::string_view blocks = keptCell_.line(), breaksRead = keptCell_.line();
            framingTexts_.clear();
            for (size_t framings = keptCell_.groupCount(); framings && !keptCell_.atEnd(); --framings)
                framingTexts_.push_back(keptCell_.line());
            for (size_t before = keptCell_.groupCount(); before && !keptCell_.atEnd(); --before)
                putRaw(FromHex(keptCell_.line()).value_or(""));
            size_t rawSize = 0;
            if (asRead_ && print.empty() && blocks.substr(0, 1) == "*"
                && std::from_chars(blocks.data() + 1, blocks.data() + blocks.size(), rawSize).ec == std::errc()
                && rawSize <= extra.size())
                rowBlocks_.assign(extra.substr(extra.size() - rawSize, rawSize / TtiSize * TtiSize));
            else if (AppendFromHex(rowBlocks_, blocks))
                rowBlocks_.resize(rowBlocks_.size() / TtiSize * TtiSize);
            // A row as read keeps its blocks: the framings only make new ones.
            unedited = asRead_ && print.empty() && !rowBlocks_.empty();
            if (!unedited)
                for (std::string_view framing : framingTexts_)
                    readFraming(framing, framings_.emplace_back());
            const int read = digitsValue(breaksRead).value_or(0);
            if (read > 0) breaks = std::min(read, 8);
        }
        rowLines(*table_, row, lines_);
        const auto edited = [&] {
            cells_.assign({ table_->cell(SubtitleTable::Line1, row), table_->cell(SubtitleTable::Line2, row),
                table_->cell(SubtitleTable::Line3, row) });
            return CellsFingerprint(cells_) != print;
        };
        if (rowBlocks_.empty() || (!unedited && edited())) {
            makeBlocks(row, breaks);
            changed_ = true;
        }
        setTimes(row);
        for (size_t at = 0; at < rowBlocks_.size(); at += TtiSize)
            putRaw(std::string_view(rowBlocks_).substr(at, TtiSize));
        ++rows_;
    }

    // A block as it is, but for a subtitle number that must go up.
    void putRaw(std::string_view block)
    {
        if (block.size() != TtiSize) return;
        const unsigned char extension = static_cast<unsigned char>(block[3]);
        bool renumbered = false;
        if (extension != UserData) {
            if (!continuing_) {
                lastNumber_ = std::max(subtitleNumber(block), lastNumber_ + 1);
                ++subtitles_;
                groups_.set(static_cast<unsigned char>(block[0]));
            }
            continuing_ = extension != LastBlock;
            if (subtitleNumber(block) != lastNumber_) {
                renumbered = true;
                changed_ = true;
            }
        }
        if (++blockCount_ > MaxBlocks)
            throw WriteRefused(tooManyBlocks("more (row " + std::to_string(rows_ + 1) + " is past the count)"));
        blocks_ += block;
        if (renumbered) {
            const size_t at = blocks_.size() - TtiSize;
            blocks_[at + 1] = static_cast<char>(lastNumber_ & 0xFF);
            blocks_[at + 2] = static_cast<char>(lastNumber_ >> 8 & 0xFF);
        }
    }

    // Time codes from the cells, unless the ones read still stand for their frames.
    void setTimes(int row)
    {
        const int rate = timing_->rate();
        const auto timeCode = [&](int column, size_t at) {
            const int64_t frame = FrameOfCell(table_->cell(column, row));
            const std::optional<int64_t> read = readTimeCode(std::string_view(rowBlocks_).substr(at, 4), rate);
            return read && timing_->toFrame(*read) == frame ? *read : timing_->toTimeCode(frame);
        };
        const int64_t in = timeCode(SubtitleTable::From, 5), out = timeCode(SubtitleTable::To, 9);
        if (firstIn_ < 0) firstIn_ = in;
        for (size_t at = 0; at < rowBlocks_.size(); at += TtiSize) {
            char before[8];
            std::memcpy(before, rowBlocks_.data() + at + 5, sizeof before);
            putTimeCode(rowBlocks_, at + 5, in, rate);
            putTimeCode(rowBlocks_, at + 9, out, rate);
            changed_ = changed_ || std::memcmp(before, rowBlocks_.data() + at + 5, sizeof before) != 0;
        }
    }

    // The row's blocks made anew in rowBlocks_, on the first one read (if any).
    void makeBlocks(int row, int breaks)
    {
        const size_t keptLines = framings_.size();
        std::array<char, TtiSize> base;
        if (rowBlocks_.size() >= TtiSize) {
            std::memcpy(base.data(), rowBlocks_.data(), TtiSize);
        } else {
            base.fill(static_cast<char>(Padding));
            std::fill_n(base.begin(), 16, '\0');
            base[13] = 22;
            base[14] = 2; // centred
        }
        const Framing& fallback = teletext_ ? teletextFraming_ : plainFraming_;
        text_.clear();
        for (size_t i = 0; i < lines_.size(); ++i) {
            if (i) text_.append(static_cast<size_t>(breaks), static_cast<char>(LineBreak));
            encodeLine(text_, lines_[i], keptLines ? framings_[std::min(i, keptLines - 1)] : fallback, *codes_, row);
        }
        // The last line stays on the row it was on.
        if (keptLines && lines_.size() && lines_.size() != keptLines) {
            const int bottom = static_cast<unsigned char>(base[13]) + static_cast<int>(keptLines - 1) * breaks;
            base[13]
                = static_cast<char>(std::max(bottom - static_cast<int>(lines_.size() - 1) * breaks, teletext_ ? 1 : 0));
        } else if (!keptLines) {
            base[13]
                = static_cast<char>(std::max(22 - static_cast<int>(lines_.size() ? lines_.size() - 1 : 0) * breaks, 1));
        }
        rowBlocks_.clear();
        size_t at = 0, count = 0;
        do {
            size_t size = std::min(TextSize, text_.size() - at);
            // A diacritical mark stays with its letter.
            if (at + size < text_.size() && size > 1
                && codes_->startsPair(static_cast<unsigned char>(text_[at + size - 1])))
                --size;
            const size_t block = rowBlocks_.size();
            rowBlocks_.append(base.data(), TtiSize);
            std::memset(&rowBlocks_[block + TextOffset], Padding, TextSize);
            if (size) std::memcpy(&rowBlocks_[block + TextOffset], text_.data() + at, size);
            rowBlocks_[block + 3] = static_cast<char>(count++);
            at += size;
        } while (at < text_.size());
        rowBlocks_[rowBlocks_.size() - TtiSize + 3] = static_cast<char>(LastBlock);
    }

    void updateCounts()
    {
        const auto put = [&](Field f, int64_t value) {
            const int64_t most = f.size == 5 ? 99999 : 999;
            gsi_.replace(f.at, f.size, FormatInt(std::min(value, most), static_cast<int>(f.size)));
        };
        put(BlockCount, blockCount_);
        put(SubtitleCount, subtitles_);
        put(GroupCount, std::max<int64_t>(static_cast<int64_t>(groups_.count()), 1));
        if (firstIn_ >= 0) gsi_.replace(FirstInCue.at, FirstInCue.size, timeCodeText(firstIn_, timing_->rate()));
    }

    const SubtitleTable* table_;
    bool streamed_, asRead_;
    std::vector<std::string_view> framingTexts_;
    bool kept_ = false; // the table's own header is written
    std::string gsi_;
    int64_t offset_ = 0;
    std::optional<Timing> timing_;
    std::optional<TextCodes> codes_;
    bool teletext_ = true;
    std::string blocks_;
    int64_t blockCount_ = 0, subtitles_ = 0, firstIn_ = -1;
    int lastNumber_ = -1, rows_ = 0;
    std::bitset<256> groups_;
    bool changed_ = false, continuing_ = false;
    KeptCursor keptCell_;
    std::vector<std::string_view> lines_, cells_;
    std::vector<Framing> framings_;
    std::string rowBlocks_, text_; // the row's TTI blocks, its text field's bytes
    const Framing teletextFraming_ { "\x0D\x07\x0B\x0B", "\x0A\x0A" }, plainFraming_;
};

} // namespace

bool LooksLikeEbuStl(const DetectionInput& input)
{
    const std::string_view head = input.head;
    return head.size() >= 11 && digitsValue(head.substr(0, 3)) && head.substr(3, 3) == "STL"
        && digitsValue(head.substr(6, 2)) && head.substr(8, 3) == ".01";
}

void ReadEbuStl(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    Reader(table, firstRow, framerate).read(lines);
}

std::unique_ptr<RowWriter> MakeEbuStlWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out)
{
    return std::make_unique<Writer>(table, context, out);
}

void WriteEbuStl(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    // Each row takes a block at least: too many are refused before anything is written.
    if (lastRow - firstRow + 1 > MaxBlocks)
        throw WriteRefused(tooManyBlocks(std::to_string(lastRow - firstRow + 1) + " or more"));
    WriteAllRows(MakeEbuStlWriter, table, firstRow, lastRow, context, out);
}

namespace {

bool isCommentBlock(std::string_view hex)
{
    if (hex.size() != TtiSize * 2) return false;
    const std::string block = FromHex(hex).value_or("");
    return block.size() == TtiSize && block[15] == 1 && static_cast<unsigned char>(block[3]) == LastBlock;
}

int commentBlocks(const std::vector<std::string_view>& blocks)
{
    return static_cast<int>(std::count_if(blocks.begin(), blocks.end(), isCommentBlock));
}

class LeftOut : public LeftOutCount {
public:
    std::string_view tag() const override { return Tag; }
    void rows(const SubtitleTable& table, int firstRow, int lastRow) override
    {
        KeptCursor kept;
        for (int row = firstRow; row <= lastRow; ++row) {
            const std::string_view extra = table.cell(SubtitleTable::Extra, row);
            if (extra.empty() || !kept.start(extra)) continue;
            for (size_t line = 0; line < FramingLines; ++line)
                kept.line();
            for (size_t framings = kept.groupCount(); framings && !kept.atEnd(); --framings)
                kept.line();
            for (size_t before = kept.groupCount(); before && !kept.atEnd(); --before)
                comments_ += isCommentBlock(kept.line()) ? 1 : 0;
        }
    }

    std::vector<std::string> items(const SubtitleTable& table) const override
    {
        int comments = comments_;
        std::vector<std::string_view> kept;
        if (SplitKept(table.documentData(), Tag, kept))
            comments += commentBlocks(std::vector<std::string_view>(
                kept.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(AfterLines, kept.size())), kept.end()));
        if (!comments) return {};
        return { std::to_string(comments) + (comments == 1 ? " comment subtitle" : " comment subtitles") };
    }

private:
    int comments_ = 0;
};

} // namespace

std::unique_ptr<LeftOutCount> EbuStlLeftOut(std::string_view target)
{
    if (target == Tag) return nullptr;
    return std::make_unique<LeftOut>();
}

std::vector<std::string> EbuStlDataLeftOut(const SubtitleTable& table, std::string_view target)
{
    const std::unique_ptr<LeftOutCount> count = EbuStlLeftOut(target);
    if (!count) return {};
    count->rows(table, 1, table.rowCount() - 1);
    return count->items(table);
}

} // namespace tessel
