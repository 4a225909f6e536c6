#include "formats/scc.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/timecode.h"
#include "formats/encoding.h"
#include "formats/kept_data.h"
#include "formats/markup.h"
#include "formats/time_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <deque>
#include <exception>
#include <initializer_list>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace tessel {
namespace {

constexpr std::string_view Tag = "scc";
constexpr std::string_view Header = "Scenarist_SCC V1.0";
constexpr double Rate = 30000.0 / 1001;
constexpr int Rows = 15, Columns = 32, MaxCaptionRows = 4;
// Room for any time code: PutInt asks room for 48 characters for the hours.
constexpr size_t TimeCodeRoom = 64;

// The hidden cell: the row's fingerprint as read (times and text), then
// "row column" of each of its lines on the screen, 1-based rows.
enum RowLine : size_t { PrintLine, PlacesLine, RowFileLines };
// In the rows line of a file read for a save as SCC while it is read: each
// row carries the file's lines read up to it, and the file keeps the rest.
constexpr std::string_view LinesWithRows = "*";
// The document data: "1" for drop-frame time codes, how many rows were read,
// then the file's lines as they were.
enum DocumentLine : size_t { DropLine, RowsLine, FileLines };

// Control codes of caption channel 1, parity removed.
enum : uint16_t {
    ResumeLoading = 0x1420,
    Backspace = 0x1421,
    DeleteToEnd = 0x1424,
    RollUp2 = 0x1425,
    RollUp4 = 0x1427,
    ResumeDirect = 0x1429,
    TextRestart = 0x142A,
    ResumeText = 0x142B,
    EraseDisplayed = 0x142C,
    CarriageReturn = 0x142D,
    EraseNonDisplayed = 0x142E,
    EndOfCaption = 0x142F
};

const char* const ColourNames[7] = { "white", "green", "blue", "cyan", "red", "yellow", "magenta" };

// The basic characters that differ from ASCII, the special characters
// (0x11 0x30-0x3F) and the extended ones (0x12 and 0x13, 0x20-0x3F).
constexpr std::array<const char*, 0x80> BasicCharacters = [] {
    std::array<const char*, 0x80> table {};
    table[0x2A] = "á";
    table[0x5C] = "é";
    table[0x5E] = "í";
    table[0x5F] = "ó";
    table[0x60] = "ú";
    table[0x7B] = "ç";
    table[0x7C] = "÷";
    table[0x7D] = "Ñ";
    table[0x7E] = "ñ";
    table[0x7F] = "█";
    return table;
}();
// From a table: looked up for every character read.
const char* basicCharacter(unsigned char c) { return c < 0x80 ? BasicCharacters[c] : nullptr; }
constexpr const char* Special[16] = { "®", "°", "½", "¿", "™", "¢", "£", "♪", "à", " ", "è", "â", "ê", "î", "ô", "û" };
constexpr const char* Extended[2][32] = {
    { "Á", "É", "Ó", "Ú", "Ü", "ü", "‘", "¡", "*", "’", "—", "©", "℠", "•", "“", "”", //
        "À", "Â", "Ç", "È", "Ê", "Ë", "ë", "Î", "Ï", "ï", "Ô", "Ù", "ù", "Û", "«", "»" },
    { "Ã", "ã", "Í", "Ì", "ì", "Ò", "ò", "Õ", "õ", "{", "}", "\\", "^", "_", "|", "~", //
        "Ä", "ä", "Ö", "ö", "ß", "¥", "¤", "¦", "Å", "å", "Ø", "ø", "┌", "┐", "└", "┘" },
};

// The first byte of a preamble address code and whether the second has 0x20
// set, for rows 1 to 15.
constexpr std::pair<uint8_t, bool> RowCodes[Rows] = { { 0x11, false }, { 0x11, true }, { 0x12, false }, { 0x12, true },
    { 0x15, false }, { 0x15, true }, { 0x16, false }, { 0x16, true }, { 0x17, false }, { 0x17, true }, { 0x10, false },
    { 0x13, false }, { 0x13, true }, { 0x14, false }, { 0x14, true } };

int rowOfCode(uint8_t first, uint8_t second)
{
    // The row of each first byte 0x10-0x17 and 0x20 bit, -1 for none.
    static constexpr std::array<int8_t, 16> Row = [] {
        std::array<int8_t, 16> table {};
        for (int8_t& row : table)
            row = -1;
        for (int row = Rows - 1; row >= 0; --row)
            table[static_cast<size_t>((RowCodes[row].first - 0x10) * 2 + (RowCodes[row].second ? 1 : 0))]
                = static_cast<int8_t>(row);
        return table;
    }();
    if (first < 0x10 || first > 0x17) return -1;
    return Row[static_cast<size_t>((first - 0x10) * 2 + ((second & 0x20) ? 1 : 0))];
}

// Each byte with its top bit set where that makes its count of bits odd.
constexpr std::array<uint8_t, 256> Parity = [] {
    std::array<uint8_t, 256> table {};
    for (int b = 0; b < 256; ++b) {
        int bits = 0;
        for (int v = b; v; v >>= 1)
            bits += v & 1;
        table[static_cast<size_t>(b)] = static_cast<uint8_t>(bits % 2 ? b : b | 0x80);
    }
    return table;
}();
uint8_t withParity(uint8_t b) { return Parity[b]; }

// Bytes as sent (parity and all) that show as the ASCII character they are.
constexpr std::array<bool, 256> PlainByte = [] {
    std::array<bool, 256> table {};
    for (int b = 0; b < 256; ++b) {
        const int c = b & 0x7F;
        table[static_cast<size_t>(b)]
            = Parity[static_cast<size_t>(c)] == b && c >= 0x20 && !BasicCharacters[static_cast<size_t>(c)];
    }
    return table;
}();

std::string error(int lineNumber, const std::string& what)
{
    return "SCC, line " + std::to_string(lineNumber) + ": " + what;
}

// Four bytes compared as one: a style is compared for every character written.
struct Style {
    uint8_t colour = 0; // ColourNames
    bool italic = false, underline = false;
    uint8_t unused = 0;
    bool operator==(const Style& o) const
    {
        uint32_t a, b;
        std::memcpy(&a, this, sizeof a);
        std::memcpy(&b, &o, sizeof b);
        return a == b;
    }
};
static_assert(sizeof(Style) == 4);

// A character is at most three bytes of UTF-8: a string in each cell took much of the reading.
struct Cell {
    char bytes[3] = {};
    uint8_t size = 0; // 0: nothing there
    Style style;
};
static_assert(std::is_trivially_copyable_v<Cell>);
// Cells are put and looked at as eight bytes at once, the character's first.
static_assert(sizeof(Cell) == 8 && offsetof(Cell, size) == 3 && offsetof(Cell, style) == 4);
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);

// A cell holds a character's UTF-8 bytes as they are: every character the
// tables give fits.
constexpr bool fitsCells()
{
    const auto fits = [](const char* c) { return !c || std::char_traits<char>::length(c) <= sizeof(Cell::bytes); };
    for (const char* c : BasicCharacters)
        if (!fits(c)) return false;
    for (const char* c : Special)
        if (!fits(c)) return false;
    for (const auto& table : Extended)
        for (const char* c : table)
            if (!fits(c)) return false;
    return true;
}
static_assert(fitsCells());

struct Screen {
    std::array<std::array<Cell, Columns>, Rows> cells;
    uint32_t used = 0; // the rows that may hold something: the others are not looked at
    void mark(int row) { used |= 1u << row; }
    // The lowest row whose bit is set in `rows` (not 0).
    static size_t firstOf(uint32_t rows) { return static_cast<size_t>(__builtin_ctz(rows)); }
    bool mayHold(int row) const { return used >> row & 1; }
    // Cell by cell, and only the rows used: a screen made anew for every erase took a quarter of the reading.
    void clear()
    {
        // An empty cell is all zero bytes: a row at once.
        for (uint32_t rows = used; rows; rows &= rows - 1)
            std::memset(static_cast<void*>(cells[firstOf(rows)].data()), 0, sizeof cells[0]);
        used = 0;
    }
    bool rowEmpty(int row) const
    {
        return !mayHold(row)
            || std::all_of(cells[row].begin(), cells[row].end(), [](const Cell& c) { return c.size == 0; });
    }
};

// A cell with nothing, or a space (a mid-row code shows as one).
bool blankCell(const Cell& c) { return c.size == 0 || (c.size == 1 && c.bytes[0] == ' '); }

// Whether shownLines would give any line, without making them.
bool showsAnything(const Screen& screen)
{
    for (uint32_t rows = screen.used; rows; rows &= rows - 1)
        for (const Cell& cell : screen.cells[Screen::firstOf(rows)])
            if (!blankCell(cell)) return true;
    return false;
}

// The rows of a screen that show something, top to bottom, as markup,
// appended to `out` as three cells: the first line, the second, the others
// joined by "\N" (`ends`: where each cell ends). Each line's row (from 1)
// and first column go into `places`. Returns the count of lines.
size_t shownLines(const Screen& screen, std::string& out, size_t (&ends)[3], std::pair<int, int>* places)
{
    size_t count = 0;
    // The rows used, top to bottom.
    for (uint32_t rows = screen.used; rows; rows &= rows - 1) {
        const int row = static_cast<int>(Screen::firstOf(rows));
        const auto& cells = screen.cells[static_cast<size_t>(row)];
        int first = 0, last = Columns - 1;
        while (first < Columns && blankCell(cells[first]))
            ++first;
        while (last >= first && blankCell(cells[last]))
            --last;
        if (first > last) continue;
        if (count > 2)
            out += "\\N";
        else if (count > 0)
            ends[count - 1] = out.size();
        places[count++] = { row + 1, first };
        // The characters since the last change of style go in at once.
        char run[(Columns + 1) * sizeof(Cell::bytes)];
        // Most lines are plain characters of a byte and blanks: copied as they are, a cell looked at once.
        size_t length = 0;
        for (int col = first; col <= last; ++col) {
            const Cell& cell = cells[col];
            // Size 1 and the plain style, looked at as one: the bytes after the character's.
            uint64_t bits;
            std::memcpy(&bits, &cell, sizeof bits);
            if (bits >> 24 == 1) {
                run[length++] = cell.bytes[0];
            } else if (blankCell(cell)) {
                run[length++] = ' ';
            } else {
                length = 0;
                break;
            }
        }
        if (length) {
            out.append(run, length);
            continue;
        }
        Style style;
        const auto close = [&] {
            out.append(run, length);
            length = 0;
            if (style.underline) out += "</u>";
            if (style.italic) out += "</i>";
            if (style.colour) out += "</font>";
        };
        // Spaces (a mid-row code shows as one) go outside the tags around them.
        size_t spaces = 0;
        for (int col = first; col <= last; ++col) {
            const Cell& cell = cells[col];
            if (blankCell(cell)) {
                ++spaces;
                continue;
            }
            if (!(cell.style == style)) {
                close();
                out.append(spaces, ' ');
                style = cell.style;
                if (style.colour) out += FontTag(ColourNames[style.colour]);
                if (style.italic) out += "<i>";
                if (style.underline) out += "<u>";
            } else {
                for (; spaces; --spaces)
                    run[length++] = ' ';
            }
            spaces = 0;
            // All three bytes, so that the copy is of a fixed size; only the character's count.
            std::memcpy(run + length, cell.bytes, sizeof cell.bytes);
            length += cell.size;
        }
        close();
    }
    // The cells after the last line's end with it.
    for (size_t i = std::min<size_t>(count, 3) - (count ? 1 : 0); i < 3; ++i)
        ends[i] = out.size();
    return count;
}

int64_t toFrames(int64_t sccFrame, double framerate)
{
    if (std::fabs(framerate - Rate) < 0.01) return sccFrame;
    // Its milliseconds rounded as llround rounds them, in whole numbers (a half is exact either way).
    const int64_t ms
        = sccFrame >= 0 ? (sccFrame * 2002 + 30) / 60 : std::llround(static_cast<long double>(sccFrame) * 1001 / 30);
    return TimeToFrame(static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX)), framerate);
}

int64_t toSccFrame(int64_t frame, double framerate)
{
    if (std::fabs(framerate - Rate) < 0.01) return std::max<int64_t>(frame, 0);
    // Rounded as llround would: 30 ms / 1001 is never a half, and below 0 it becomes 0.
    return std::max<int64_t>((int64_t(FrameToTime(frame, framerate)) * 60 + 1001) / 2002, 0);
}

// Rows made where the pairs are decoded, to be stored in the table where
// the file is read: their cells one after another, each row's text lines
// first, then its times and hidden cell.
class RowBatch {
public:
    enum Cell { Line1, Line2, Line3, From, To, Extra, Cells };
    static constexpr size_t AfterLines = std::numeric_limits<size_t>::max();
    // The cells of the row being made are appended here, each ended in turn.
    std::string& text() { return text_; }
    void endCell(size_t end) { ends_.push_back(end); }
    // `line`: the batch's line whose pairs made it.
    void endRow(size_t line) { lines_.push_back(line); }
    size_t rows() const { return lines_.size(); }
    size_t line(size_t row) const { return lines_[row]; }
    std::string_view cell(size_t row, Cell i) const
    {
        const size_t at = row * Cells + i, begin = at ? ends_[at - 1] : 0;
        return std::string_view(text_).substr(begin, ends_[at] - begin);
    }
    void clear()
    {
        text_.clear();
        ends_.clear();
        lines_.clear();
    }

private:
    std::string text_;
    std::vector<size_t> ends_, lines_;
};

// A CEA-608 decoder for caption channel 1 that turns what the screen shows
// into rows.
class Decoder {
public:
    // `keep`: rows keep what a save as SCC needs to write them again as they
    // were; `asRead`: but no fingerprint, as they reach it unchanged (the
    // file's lines read up to them are added where they are stored).
    Decoder(double framerate, bool keep, bool asRead)
        : framerate_(framerate)
        , keep_(keep)
        , asRead_(asRead)
    {
    }
    // Where the rows go from now on, and the line of the batch whose pairs are decoded.
    void rowsInto(RowBatch& out) { out_ = &out; }
    void atLine(size_t line) { line_ = line; }

    // A plain character at `column` of a row in the style of now, the column moved on (to the last at most).
    void putPlain(std::array<Cell, Columns>& row, int& column, uint8_t c) const
    {
        putPlain(row, column, c, plainCell());
    }
    // The cell of a plain character in the style of now, less the character: a cell is put in one store.
    uint64_t plainCell() const
    {
        uint32_t style;
        std::memcpy(&style, &style_, sizeof style);
        return uint64_t { 1 } << 24 | uint64_t { style } << 32;
    }
    static void putPlain(std::array<Cell, Columns>& row, int& column, uint8_t c, uint64_t cell)
    {
        cell |= c;
        std::memcpy(static_cast<void*>(&row[static_cast<size_t>(column)]), &cell, sizeof cell);
        column = std::min(column + 1, Columns - 1);
    }

    // A byte whose parity is wrong was damaged on the way: as ffmpeg does, a
    // character is dropped and a control code with one is ignored.
    void pair(uint8_t a, uint8_t b, int64_t frame)
    {
        frame_ = frame;
        // Most pairs are two plain characters (or one and a padding null) for caption one: written at once.
        if (PlainByte[a] && (PlainByte[b] || b == 0x80) && channelOne_ && !textMode_) {
            lastControl_ = 0;
            Screen& screen = target();
            auto& row = screen.cells[static_cast<size_t>(row_base_)];
            putPlain(row, column_, a & 0x7F);
            if (b != 0x80) putPlain(row, column_, b & 0x7F);
            screen.mark(row_base_);
            shownChanged();
            return;
        }
        // Control codes come twice, so that a lost one is not missed: the second does nothing. Kept as sent,
        // parity and all (a code with a wrong one is never kept), it is told before anything else.
        const auto sent = static_cast<uint16_t>(a << 8 | b);
        if (sent == lastControl_) {
            lastControl_ = 0;
            return;
        }
        const bool goodA = withParity(a & 0x7F) == a, goodB = withParity(b & 0x7F) == b;
        a &= 0x7F;
        b &= 0x7F;
        if (a >= 0x10 && a <= 0x1F) {
            if (!goodA || !goodB) return;
            lastControl_ = sent;
            channelOne_ = a < 0x18;
            if (channelOne_) control(a, b);
            return;
        }
        lastControl_ = 0;
        if (!channelOne_ || textMode_) return;
        if (goodA && a >= 0x20) character(a);
        if (goodB && b >= 0x20) character(b);
    }

    // The pairs of a line from `frame` on. Runs of plain characters loaded for
    // a pop-on caption, most of a file, are put in their cells in a loop of
    // their own.
    void pairs(const uint16_t* words, size_t count, int64_t frame)
    {
        for (size_t i = 0; i < count;) {
            if (mode_ == Mode::PopOn && channelOne_ && !textMode_) {
                auto& row = hidden().cells[static_cast<size_t>(row_base_)];
                const size_t first = i;
                int column = column_;
                const uint64_t cell = plainCell();
                for (; i < count; ++i) {
                    const auto a = static_cast<uint8_t>(words[i] >> 8), b = static_cast<uint8_t>(words[i] & 0xFF);
                    if (!PlainByte[a] || !(PlainByte[b] || b == 0x80)) break;
                    putPlain(row, column, a & 0x7F, cell);
                    if (b != 0x80) putPlain(row, column, b & 0x7F, cell);
                }
                if (i > first) {
                    column_ = column;
                    hidden().mark(row_base_);
                    lastControl_ = 0;
                    frame_ = frame + static_cast<int64_t>(i) - 1;
                }
                if (i == count) break;
            }
            pair(static_cast<uint8_t>(words[i] >> 8), static_cast<uint8_t>(words[i] & 0xFF),
                frame + static_cast<int64_t>(i));
            ++i;
        }
    }

    void finish(int64_t lastFrame)
    {
        // A caption never taken off stays for three seconds or to the last byte sent.
        if (open_) storeRow(std::max(lastFrame + 1, start_ + 90));
    }

private:
    Screen& target() { return mode_ == Mode::PopOn ? hidden() : shown(); }

    void control(uint8_t a, uint8_t b)
    {
        const uint8_t channelFree = static_cast<uint8_t>(a & ~0x08);
        if ((channelFree == 0x14 || channelFree == 0x15) && b >= 0x20 && b <= 0x2F) {
            if (channelFree == 0x14) command(static_cast<uint16_t>(0x1400 | b));
            return;
        }
        if (channelFree == 0x17 && b >= 0x21 && b <= 0x23) {
            column_ = std::min(column_ + (b - 0x20), Columns - 1);
            return;
        }
        if (channelFree == 0x11 && b >= 0x20 && b <= 0x2F) { // a mid-row code: a space, then the new style
            put(" ");
            style_.underline = b & 1;
            if (b >= 0x2E) {
                style_.italic = true;
            } else {
                style_.colour = (b - 0x20) / 2;
                style_.italic = false;
            }
            return;
        }
        if (channelFree == 0x11 && b >= 0x30 && b <= 0x3F) return put(Special[b - 0x30]);
        if ((channelFree == 0x12 || channelFree == 0x13) && b >= 0x20 && b <= 0x3F) {
            // It takes the place of the plain character sent before it for older decoders.
            if (column_ > 0) --column_;
            return put(Extended[channelFree - 0x12][b - 0x20]);
        }
        if (channelFree >= 0x10 && channelFree <= 0x17 && b >= 0x40) preamble(channelFree, b);
    }

    void preamble(uint8_t a, uint8_t b)
    {
        const int row = rowOfCode(a, b);
        if (row < 0) return;
        if (mode_ == Mode::RollUp && row != row_base_ && !shown().rowEmpty(row_base_)) {
            // Roll-up rows move with their base row.
            Screen moved;
            for (int i = 0; i < rollRows_; ++i) {
                const int from = row_base_ - i, to = row - i;
                if (from >= 0 && to >= 0) {
                    moved.cells[to] = shown().cells[from];
                    moved.mark(to);
                }
            }
            shown() = moved;
        }
        row_base_ = row;
        const int code = b & 0x1F;
        style_ = Style();
        style_.underline = code & 1;
        if (code >= 0x10) {
            column_ = (code - 0x10) / 2 * 4;
        } else {
            column_ = 0;
            if (code >= 0x0E)
                style_.italic = true;
            else
                style_.colour = code / 2;
        }
    }

    void command(uint16_t code)
    {
        switch (code) {
        case ResumeLoading:
            mode_ = Mode::PopOn;
            textMode_ = false;
            break;
        case ResumeDirect:
            mode_ = Mode::PaintOn;
            textMode_ = false;
            break;
        case TextRestart:
        case ResumeText:
            textMode_ = true;
            break;
        case Backspace:
            if (column_ > 0) target().cells[row_base_][--column_] = Cell();
            shownChanged();
            break;
        case DeleteToEnd:
            for (int col = column_; col < Columns; ++col)
                target().cells[row_base_][col] = Cell();
            shownChanged();
            break;
        case EraseDisplayed:
            change([&] { shown().clear(); });
            break;
        case EraseNonDisplayed:
            hidden().clear();
            break;
        case EndOfCaption:
            change([&] { shownAt_ ^= 1; }); // the screens trade places, not their cells
            mode_ = Mode::PopOn;
            break;
        case CarriageReturn:
            if (mode_ != Mode::RollUp) break;
            change([&] {
                for (int i = rollRows_ - 1; i > 0; --i)
                    if (row_base_ - i >= 0) {
                        shown().cells[row_base_ - i] = shown().cells[row_base_ - i + 1];
                        shown().mark(row_base_ - i);
                    }
                if (row_base_ - rollRows_ + 1 > 0) shown().cells[row_base_ - rollRows_] = {};
                shown().cells[row_base_] = {};
            });
            column_ = 0;
            break;
        default:
            if (code >= RollUp2 && code <= RollUp4) {
                if (mode_ != Mode::RollUp) {
                    change([&] { shown().clear(); });
                    hidden().clear();
                }
                mode_ = Mode::RollUp;
                textMode_ = false;
                rollRows_ = code - RollUp2 + 2;
                column_ = 0;
            }
        }
    }

    void character(uint8_t c)
    {
        if (const char* special = basicCharacter(c)) return put(special);
        const char plain = static_cast<char>(c);
        put(std::string_view(&plain, 1));
    }

    void put(std::string_view text)
    {
        if (textMode_) return;
        Screen& screen = target();
        Cell& cell = screen.cells[row_base_][column_];
        std::memcpy(cell.bytes, text.data(), text.size());
        cell.size = static_cast<uint8_t>(text.size());
        cell.style = style_;
        screen.mark(row_base_);
        column_ = std::min(column_ + 1, Columns - 1);
        shownChanged();
    }

    // What the screen shows grew: a row starts when it shows something at all.
    void shownChanged()
    {
        if (mode_ == Mode::PopOn) return;
        if (!open_ && showsAnything(shown())) {
            open_ = true;
            start_ = frame_;
        }
    }

    // What the screen shows is replaced: the row showing it ends here.
    template <typename Change> void change(Change&& apply)
    {
        if (open_) storeRow(frame_);
        apply();
        open_ = showsAnything(shown());
        start_ = frame_;
    }

    void storeRow(int64_t end)
    {
        // Made in the batch's text, where the lines of the screen go at once.
        std::string& out = out_->text();
        const size_t start = out.size();
        size_t ends[3];
        std::pair<int, int> places[Rows];
        const size_t count = shownLines(shown(), out, ends, places);
        open_ = false;
        if (count == 0 || end <= start_) {
            out.resize(start);
            return;
        }
        for (size_t e : ends)
            out_->endCell(e);
        const IntText fromText(toFrames(start_, framerate_)), toText(toFrames(end, framerate_));
        out += fromText.view();
        out_->endCell(out.size());
        out += toText.view();
        out_->endCell(out.size());
        if (keep_) {
            // The places go only into the hidden cell.
            char placesText[Rows * 8]; // "15 31," a line
            char* at = placesText;
            for (size_t i = 0; i < count; ++i) {
                if (i) *at++ = ',';
                at = PutInt(at, places[i].first, 1);
                *at++ = ' ';
                at = PutInt(at, places[i].second, 1);
            }
            std::string print;
            if (!asRead_) {
                const std::string_view text(out);
                const auto cell = [&](size_t from, size_t to) { return text.substr(from, to - from); };
                const size_t fromEnd = ends[2] + fromText.view().size();
                cells_.assign({ cell(ends[2], fromEnd), cell(fromEnd, out.size()), cell(start, ends[0]),
                    cell(ends[0], ends[1]), cell(ends[1], ends[2]) });
                print = CellsFingerprint(cells_);
            }
            kept_.assign({ print, std::string_view(placesText, static_cast<size_t>(at - placesText)) });
            JoinKeptInto(extra_, Tag, kept_);
            out += extra_;
        }
        out_->endCell(out.size());
        out_->endRow(line_);
    }

    enum class Mode { PopOn, RollUp, PaintOn };
    RowBatch* out_ = nullptr;
    double framerate_;
    bool keep_, asRead_;
    size_t line_ = 0;
    Screen screens_[2];
    int shownAt_ = 0;
    Screen& shown() { return screens_[shownAt_]; }
    Screen& hidden() { return screens_[shownAt_ ^ 1]; }
    Mode mode_ = Mode::PopOn;
    bool textMode_ = false, channelOne_ = true, open_ = false;
    int row_base_ = Rows - 1, column_ = 0, rollRows_ = 2;
    Style style_;
    uint16_t lastControl_ = 0; // the last control code taken, as sent; 0 once anything else came
    int64_t frame_ = 0, start_ = 0;
    std::string extra_;
    std::vector<std::string_view> cells_, kept_;
};

constexpr std::array<int8_t, 256> HexDigit = [] {
    std::array<int8_t, 256> table {};
    for (int c = 0; c < 256; ++c)
        table[static_cast<size_t>(c)] = static_cast<int8_t>(c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f'                                           ? c - 'a' + 10
                : c >= 'A' && c <= 'F'                                           ? c - 'A' + 10
                                                                                 : -1);
    return table;
}();

// Four hex digits at `text`, or -1.
int hexAt(const char* text)
{
    const auto d = [&](int i) { return HexDigit[static_cast<unsigned char>(text[i])]; };
    const int a = d(0), b = d(1), c = d(2), e = d(3);
    return (a | b | c | e) < 0 ? -1 : a << 12 | b << 8 | c << 4 | e;
}

// Two hex digits as they lie in memory (the first the low byte) to their value, -1 for any other two bytes:
// a word is read in two looks instead of four.
const int16_t* hexPairs()
{
    static const std::vector<int16_t> table = [] {
        std::vector<int16_t> pairs(1 << 16);
        for (size_t i = 0; i < pairs.size(); ++i) {
            const int high = HexDigit[i & 0xFF], low = HexDigit[i >> 8];
            pairs[i] = static_cast<int16_t>((high | low) < 0 ? -1 : high << 4 | low);
        }
        return pairs;
    }();
    return table.data();
}

std::optional<int> hexWord(std::string_view word)
{
    if (word.size() != 4) return std::nullopt;
    int value = 0;
    for (char c : word) {
        const int d = HexDigit[static_cast<unsigned char>(c)];
        if (d < 0) return std::nullopt;
        value = value << 4 | d;
    }
    return value;
}

// The pairs of one caption, sent from its load to its display.
struct Caption {
    std::vector<uint16_t> load; // all but the end of caption
    int64_t display = 0, end = 0;
};

// The bytes of the UTF-8 character its lead byte starts, as the rows are
// cut into characters everywhere here (a stray byte counted as a lead).
size_t utf8Length(unsigned char lead) { return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4; }

// CEA-608 characters for UTF-8 text: the basic ones two to a pair, the others
// in pairs of their own, each extended one after a plain stand-in.
class PairWriter {
public:
    // `words`: room for all the pairs (a character takes at most four, a
    // mid-row code three and the space it stands for one).
    PairWriter(uint16_t* words, int row)
        : at_(words)
        , row_(row)
    {
    }
    void text(std::string_view text)
    {
        for (size_t i = 0; i < text.size();) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            const size_t length = utf8Length(c);
            character(text.substr(i, length));
            i += length;
        }
    }
    void control(uint16_t code)
    {
        flush();
        *at_++ = code;
        *at_++ = code;
    }
    uint16_t* end() const { return at_; }
    void flush()
    {
        if (pending_ < 0) return;
        *at_++ = static_cast<uint16_t>(pending_ << 8);
        pending_ = -1;
    }

    // One character of UTF-8 (a piece's).
    void character(std::string_view ch)
    {
        if (ch.size() == 1 && static_cast<unsigned char>(ch[0]) < 0x80 && Same[static_cast<unsigned char>(ch[0])])
            return plain(static_cast<uint8_t>(ch[0]));
        other(ch);
    }
    template <typename Range> void characters(const Range& pieces)
    {
        for (const auto& p : pieces) {
            const auto c = static_cast<unsigned char>(p.text[0]);
            if (p.text.size() == 1 && c < 0x80 && Same[c])
                plain(c);
            else
                other(p.text);
        }
    }

    // Most are ASCII sent as themselves: told from a table made before anything runs.
    static constexpr std::array<bool, 0x80> Same = [] {
        std::array<bool, 0x80> table {};
        for (int b = 0x20; b < 0x7F; ++b)
            table[static_cast<size_t>(b)] = !BasicCharacters[static_cast<size_t>(b)];
        return table;
    }();

private:
    void other(std::string_view ch)
    {
        const CharCode code = codeOf(ch);
        switch (code.kind) {
        case CharCode::Plain:
            return plain(code.plain);
        case CharCode::Special:
            return control(code.control);
        case CharCode::Extended:
            plain(code.plain);
            return control(code.control);
        default:
            throw UnencodableText("SCC, row " + std::to_string(row_) + ": the character '" + std::string(ch)
                + "' has no code in CEA-608 captions");
        }
    }

    // What a character is sent as: looking through every table for each character took a third of a row's time.
    struct CharCode {
        enum Kind : uint8_t { None, Plain, Special, Extended } kind = None;
        uint8_t plain = 0; // the character, or the stand-in before an extended one
        uint16_t control = 0;
    };
    static uint64_t keyOf(std::string_view ch)
    {
        uint64_t key = ch.size();
        for (char c : ch)
            key = key << 8 | static_cast<unsigned char>(c);
        return key;
    }
    static CharCode codeOf(std::string_view ch)
    {
        // The first of the tables that has it gives its code, as when they were looked through in turn.
        struct Codes {
            std::array<CharCode, 0x80> ascii;
            std::vector<std::pair<uint64_t, CharCode>> others; // by key
            void add(std::string_view ch, CharCode code)
            {
                if (ch.size() == 1) {
                    CharCode& c = ascii[static_cast<unsigned char>(ch[0])];
                    if (c.kind == CharCode::None) c = code;
                    return;
                }
                const uint64_t key = keyOf(ch);
                for (const auto& other : others)
                    if (other.first == key) return;
                others.emplace_back(key, code);
            }
            Codes()
            {
                for (uint8_t b = 0x20; b < 0x7F; ++b)
                    if (!basicCharacter(b))
                        add(std::string_view(reinterpret_cast<const char*>(&b), 1), { CharCode::Plain, b, 0 });
                for (uint8_t b = 0x20; b < 0x80; ++b)
                    if (const char* s = basicCharacter(b)) add(s, { CharCode::Plain, b, 0 });
                for (int i = 0; i < 16; ++i)
                    if (i != 9) add(Special[i], { CharCode::Special, 0, static_cast<uint16_t>(0x1130 + i) });
                for (int set = 0; set < 2; ++set)
                    for (int i = 0; i < 32; ++i)
                        add(Extended[set][i],
                            { CharCode::Extended, standIn(Extended[set][i]),
                                static_cast<uint16_t>((0x12 + set) << 8 | (0x20 + i)) });
                std::sort(others.begin(), others.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            }
        };
        static const Codes codes;
        if (ch.size() == 1 && static_cast<unsigned char>(ch[0]) < 0x80)
            return codes.ascii[static_cast<unsigned char>(ch[0])];
        const uint64_t key = keyOf(ch);
        const auto found = std::lower_bound(codes.others.begin(), codes.others.end(), key,
            [](const std::pair<uint64_t, CharCode>& a, uint64_t k) { return a.first < k; });
        return found != codes.others.end() && found->first == key ? found->second : CharCode();
    }
    static uint8_t standIn(std::string_view ch)
    {
        static const std::pair<const char*, char> stand[] = { { "ÁÀÂÃÄÅ", 'A' }, { "ÉÈÊË", 'E' }, { "ÍÌÎÏ", 'I' },
            { "ÓÒÔÕÖØ", 'O' }, { "ÚÙÛÜ", 'U' }, { "Ç", 'C' }, { "ãäå", 'a' }, { "ëè", 'e' }, { "ïì", 'i' },
            { "òõöø", 'o' }, { "üù", 'u' }, { "ß", 's' }, { "«“", '"' }, { "»”", '"' }, { "‘’", '\'' } };
        for (const auto& [from, to] : stand)
            if (std::string_view(from).find(ch) != std::string_view::npos) return static_cast<uint8_t>(to);
        return ch == "{" ? '[' : ch == "}" ? ']' : ch == "—" ? '-' : '.';
    }
    void plain(uint8_t c)
    {
        if (pending_ < 0) {
            pending_ = c;
            return;
        }
        *at_++ = static_cast<uint16_t>(pending_ << 8 | c);
        pending_ = -1;
    }

    uint16_t* at_;
    int row_;
    int pending_ = -1; // a character waiting for the second of its pair
};

// Views of the row's cells: a string for each character took much of a row's time.
struct Piece {
    std::string_view text; // one character
    Style style;
    bool isSpace = false; // told once: asked of every piece again and again
    bool space() const { return isSpace; }
};

// A stretch of a row's pieces.
struct Pieces {
    const Piece* first = nullptr;
    const Piece* last = nullptr;
    const Piece* begin() const { return first; }
    const Piece* end() const { return last; }
    size_t size() const { return static_cast<size_t>(last - first); }
    bool empty() const { return first == last; }
    const Piece& operator[](size_t i) const { return first[i]; }
    const Piece& front() const { return *first; }
};

// A line of markup as the characters it shows, each with its style, added
// to `out`; false when it holds no markup, so that every style is the first.
bool styledCharacters(std::string_view line, std::vector<Piece>& out)
{
    Style style;
    std::vector<int> colours;
    const auto text = [&](std::string_view text) {
        out.reserve(out.size() + text.size());
        for (size_t i = 0; i < text.size();) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            const size_t length = utf8Length(c);
            out.push_back({ text.substr(i, length), style, length == 1 && c == ' ' });
            i += length;
        }
    };
    if (!MayHoldMarkup(line)) {
        text(line);
        return false;
    }
    for (const MarkupPiece& piece : SplitMarkup(line)) {
        switch (piece.kind) {
        case MarkupPiece::Text:
            text(piece.text);
            break;
        case MarkupPiece::ItalicOn:
        case MarkupPiece::ItalicOff:
            style.italic = piece.kind == MarkupPiece::ItalicOn;
            break;
        case MarkupPiece::UnderlineOn:
        case MarkupPiece::UnderlineOff:
            style.underline = piece.kind == MarkupPiece::UnderlineOn;
            break;
        case MarkupPiece::ColourOn: {
            const uint32_t rgb = ColourRgb(piece.text).value_or(0xFFFFFF);
            const bool r = rgb >> 23 & 1, g = rgb >> 15 & 1, b = rgb >> 7 & 1;
            // white, green, blue, cyan, red, yellow, magenta; black shows white.
            const int index = r && g && b ? 0 : r && g ? 5 : r && b ? 6 : g && b ? 3 : r ? 4 : g ? 1 : b ? 2 : 0;
            colours.push_back(style.colour);
            style.colour = index;
            break;
        }
        case MarkupPiece::ColourOff:
            style.colour = colours.empty() ? 0 : colours.back();
            if (!colours.empty()) colours.pop_back();
            break;
        default:
            break;
        }
    }
    return true;
}

// A line takes a cell for each character, and a mid-row code where the
// style changes (in the place of a space next to it where there is one).
size_t tokenCount(Pieces line)
{
    size_t count = 0;
    Style style;
    bool lastIsSpace = false;
    for (const Piece& p : line) {
        if (!(p.style == style)) {
            style = p.style;
            if (p.space()) {
                ++count;
                lastIsSpace = false;
                continue;
            }
            if (!lastIsSpace) ++count;
        }
        ++count;
        lastIsSpace = p.space();
    }
    return count;
}

// How many of a line's first pieces fit a row: the cells tokenCount counts of
// them, a change of style taking one (a space's, when it follows or is one).
size_t piecesThatFit(Pieces line)
{
    size_t cells = 0, fit = 0;
    Style style;
    bool lastIsSpace = false;
    for (const Piece& p : line) {
        const bool space = p.space();
        if (!(p.style == style)) {
            style = p.style;
            cells += space ? 1 : lastIsSpace ? 1 : 2;
            lastIsSpace = false;
        } else {
            ++cells;
            lastIsSpace = space;
        }
        if (cells > static_cast<size_t>(Columns)) break;
        ++fit;
    }
    return std::max<size_t>(fit, 1);
}

// A line as a stretch of the row's pieces (from first, before last), and
// the cells it takes.
struct LineSpan {
    size_t first, last, cells;
};

// Lines longer than a row broken at their last space that fits: the
// stretches are cut, the pieces stay where they are.
void wrap(const std::vector<Piece>& pieces, std::vector<LineSpan>& lines, std::vector<LineSpan>& out)
{
    const auto of = [&](size_t first, size_t last) { return Pieces { pieces.data() + first, pieces.data() + last }; };
    out.clear();
    for (LineSpan line : lines) {
        while (line.cells > static_cast<size_t>(Columns)) {
            const Pieces text = of(line.first, line.last);
            const size_t fit = piecesThatFit(text);
            size_t cut = std::min(fit, text.size() - 1);
            while (cut > 0 && !text[cut].space())
                --cut;
            if (cut == 0) cut = fit;
            const bool space = cut < text.size() && text[cut].space();
            out.push_back({ line.first, line.first + cut, tokenCount(of(line.first, line.first + cut)) });
            line.first += cut + (space ? 1 : 0);
            line.cells = tokenCount(of(line.first, line.last));
        }
        out.push_back(line);
    }
    lines.swap(out);
}

uint16_t midRowCode(const Style& s)
{
    return static_cast<uint16_t>(0x1100 | (s.italic ? 0x2E : 0x20 + s.colour * 2) | (s.underline ? 1 : 0));
}

// The line's cells as tokenCount counts them, sent as they come: a space
// waits until the next piece tells whether a mid-row code takes its cell.
void sendCells(Pieces line, PairWriter& out)
{
    // With no change of style no space waits: the pieces go as they are.
    if (std::all_of(line.begin(), line.end(), [](const Piece& p) { return p.style == Style(); }))
        return out.characters(line);
    Style style;
    bool heldSpace = false;
    const auto release = [&] {
        if (heldSpace) out.text(" ");
        heldSpace = false;
    };
    for (const Piece& p : line) {
        if (!(p.style == style)) {
            style = p.style;
            if (p.space()) {
                release();
                out.control(midRowCode(style));
                continue;
            }
            heldSpace = false;
            out.control(midRowCode(style));
        }
        release();
        if (p.space())
            heldSpace = true;
        else
            out.character(p.text);
    }
    release();
}

// ENM, RCL, then each line placed by its preamble code and tab offset, into `words`.
void loadWords(const std::vector<Piece>& pieces, const std::vector<LineSpan>& lines,
    const std::vector<std::pair<int, int>>& places, int tableRow, std::vector<uint16_t>& room,
    std::vector<uint16_t>& words)
{
    size_t most = 8 * lines.size();
    for (const LineSpan& line : lines)
        most += 8 * (line.last - line.first);
    // Written in place in `room` (a push of each pair took a tenth of a row's time), then copied: loads made
    // with the room of the most they might take held many times their size.
    if (room.size() < most + 4) room.resize(most + 4);
    room[0] = room[1] = EraseNonDisplayed;
    room[2] = room[3] = ResumeLoading;
    PairWriter out(room.data() + 4, tableRow);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Pieces line { pieces.data() + lines[i].first, pieces.data() + lines[i].last };
        const int cells = static_cast<int>(lines[i].cells);
        int row = Rows - static_cast<int>(lines.size()) + static_cast<int>(i) + 1;
        int column = std::max(0, (Columns - cells) / 2);
        const bool styled = !line.empty() && !(line.front().style == Style());
        if (places.size() == lines.size()) {
            row = std::clamp(places[i].first, 1, Rows);
            // The place read is where the text starts, after the code before it.
            // An edit that made the line longer moves it left rather than off the row's end.
            column = std::clamp(places[i].second - (styled ? 1 : 0), 0, std::max(0, Columns - cells));
        }
        const auto [first, high] = RowCodes[row - 1];
        out.control(static_cast<uint16_t>(first << 8 | 0x40 | (high ? 0x20 : 0) | (0x10 + column / 4 * 2)));
        if (column % 4) out.control(static_cast<uint16_t>(0x1720 + column % 4));
        sendCells(line, out);
        out.flush();
    }
    words.assign(room.data(), out.end());
}

// The load of lines with no markup, at most four rows of the screen, as most
// are: what loadWords sends for them, straight from the text (the characters
// of plain ASCII two to a pair as they are, a line of it longer than a row
// broken as wrap breaks it). False for any other lines.
bool plainLoad(const std::vector<std::string_view>& texts, const std::vector<std::pair<int, int>>& places, int tableRow,
    std::vector<uint16_t>& room, std::vector<uint16_t>& words)
{
    // A line's characters as styledCharacters counts them: each a cell.
    const auto characters = [](std::string_view text) {
        size_t count = 0;
        for (size_t i = 0; i < text.size(); ++count) {
            const auto c = static_cast<unsigned char>(text[i]);
            i += utf8Length(c);
        }
        return count;
    };
    struct Row {
        std::string_view text;
        bool ascii;
        size_t cells;
    };
    std::array<Row, MaxCaptionRows> rows;
    size_t count = 0, lines = 0, bytes = 0;
    const auto add = [&](std::string_view text, bool ascii, size_t cells) {
        if (count == rows.size()) return false;
        rows[count++] = { text, ascii, cells };
        return true;
    };
    for (std::string_view text : texts) {
        if (text.empty()) continue;
        ++lines;
        if (MayHoldMarkup(text)) return false;
        bytes += text.size();
        const bool ascii = std::all_of(text.begin(), text.end(), [](char ch) {
            const auto c = static_cast<unsigned char>(ch);
            return c < 0x80 && PairWriter::Same[c];
        });
        if (!ascii) {
            size_t cells = characters(text);
            // Broken as the ASCII lines below, counted in characters: where each of a row's first starts.
            while (cells > static_cast<size_t>(Columns)) {
                std::array<size_t, Columns + 2> starts;
                for (size_t k = 0, i = 0; k < starts.size(); ++k) {
                    starts[k] = i;
                    if (i < text.size()) i += utf8Length(static_cast<unsigned char>(text[i]));
                }
                const auto spaceAt = [&](size_t k) { return text[starts[k]] == ' '; };
                size_t cut = Columns;
                while (cut > 0 && !spaceAt(cut))
                    --cut;
                if (cut == 0) cut = Columns;
                if (!add(text.substr(0, starts[cut]), false, cut)) return false;
                const size_t skip = cut + (spaceAt(cut) ? 1 : 0);
                text.remove_prefix(starts[skip]);
                cells -= skip;
            }
            if (!add(text, false, cells)) return false;
            continue;
        }
        // At the last space that leaves a row's characters before it, or after a row's characters.
        constexpr size_t Fit = Columns;
        while (text.size() > Fit) {
            size_t cut = Fit;
            while (cut > 0 && text[cut] != ' ')
                --cut;
            if (cut == 0) cut = Fit;
            if (!add(text.substr(0, cut), true, cut)) return false;
            text.remove_prefix(cut + (text[cut] == ' ' ? 1 : 0));
        }
        if (!add(text, true, text.size())) return false;
    }
    // The places read are of the lines as they were.
    const bool placed = count == lines && places.size() == count;
    // A character takes at most four pairs (a code and a stand-in waiting before it).
    if (room.size() < 4 * bytes + 8 * count + 4) room.resize(4 * bytes + 8 * count + 4);
    uint16_t* at = room.data();
    const auto control = [&](uint16_t code) {
        *at++ = code;
        *at++ = code;
    };
    control(EraseNonDisplayed);
    control(ResumeLoading);
    for (size_t i = 0; i < count; ++i) {
        const std::string_view text = rows[i].text;
        const int cells = static_cast<int>(rows[i].cells);
        int row = Rows - static_cast<int>(count) + static_cast<int>(i) + 1;
        int column = std::max(0, (Columns - cells) / 2);
        if (placed) {
            row = std::clamp(places[i].first, 1, Rows);
            column = std::clamp(places[i].second, 0, std::max(0, Columns - cells));
        }
        const auto [first, high] = RowCodes[static_cast<size_t>(row - 1)];
        control(static_cast<uint16_t>(first << 8 | 0x40 | (high ? 0x20 : 0) | (0x10 + column / 4 * 2)));
        if (column % 4) control(static_cast<uint16_t>(0x1720 + column % 4));
        if (!rows[i].ascii) {
            PairWriter out(at, tableRow);
            out.text(text);
            out.flush();
            at = out.end();
            continue;
        }
        size_t k = 0;
        for (; k + 1 < text.size(); k += 2)
            *at++ = static_cast<uint16_t>(
                static_cast<unsigned char>(text[k]) << 8 | static_cast<unsigned char>(text[k + 1]));
        if (k < text.size()) *at++ = static_cast<uint16_t>(static_cast<unsigned char>(text[k]) << 8);
    }
    words.assign(room.data(), at);
    return true;
}

std::vector<std::pair<int, int>> keptPlaces(std::string_view text)
{
    std::vector<std::pair<int, int>> places;
    while (!text.empty()) {
        const std::string_view one = text.substr(0, text.find(','));
        const size_t space = one.find(' ');
        places.emplace_back(TryStrToInt(one.substr(0, space)).value_or(Rows),
            space == std::string_view::npos ? 0 : TryStrToInt(one.substr(space + 1)).value_or(0));
        text.remove_prefix(std::min(text.size(), one.size() + 1));
    }
    return places;
}

// Each byte's two digits with its parity bit, from a table: bit counts and digits a byte at a time cost more.
constexpr std::array<std::array<char, 2>, 256> HexWithParity = [] {
    constexpr char digits[] = "0123456789abcdef";
    std::array<std::array<char, 2>, 256> table {};
    for (size_t c = 0; c < 256; ++c) {
        const uint8_t b = Parity[c];
        table[c] = { digits[b >> 4], digits[b & 0xF] };
    }
    return table;
}();

inline char* putWord(char* out, uint16_t word)
{
    std::memcpy(out, HexWithParity[word >> 8].data(), 2);
    std::memcpy(out + 2, HexWithParity[word & 0x7F].data(), 2);
    return out + 4;
}

// Whether a table kept from an SCC file is unedited: it is written as it was read.
class KeptFile {
public:
    explicit KeptFile(const SubtitleTable& table)
    {
        if (SplitKept(table.documentData(), Tag, doc_)) {
            drop_ = KeptLine(doc_, DropLine) == "1";
            linesWithRows_ = KeptLine(doc_, RowsLine) == LinesWithRows;
            keptRows_ = TryStrToInt(KeptLine(doc_, RowsLine)).value_or(-1);
        }
    }
    bool drop() const { return drop_; }
    bool linesWithRows() const { return linesWithRows_; }

    // Rows as read (WriteContext::rowsAsRead) carry no fingerprint.
    bool unedited(const SubtitleTable& table, int firstRow, int lastRow, bool asRead) const
    {
        // Rows that carry the file's lines are all of the file's, as read.
        if (linesWithRows_) return asRead && firstRow == 1 && lastRow == table.rowCount() - 1;
        if (keptRows_ != lastRow - firstRow + 1 || firstRow != 1 || doc_.size() <= FileLines) return false;
        std::vector<std::string_view> kept;
        for (int row = firstRow; row <= lastRow; ++row) {
            if (!SplitKept(table.cell(SubtitleTable::Extra, row), Tag, kept)) return false;
            if (asRead && KeptLine(kept, PrintLine).empty()) continue;
            const std::string print = CellsFingerprint({ table.cell(SubtitleTable::From, row),
                table.cell(SubtitleTable::To, row), table.cell(SubtitleTable::Line1, row),
                table.cell(SubtitleTable::Line2, row), table.cell(SubtitleTable::Line3, row) });
            if (print != KeptLine(kept, PrintLine)) return false;
        }
        return true;
    }
    void write(const SubtitleTable& table, TextSink& out) const
    {
        if (linesWithRows_) writeRows(table, 1, table.rowCount() - 1, out);
        writeRest(out);
    }
    // The file's lines the rows carry.
    static void writeRows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out)
    {
        // Gathered with their line ends and written some at a time: two writes a line took a tenth of the
        // saving.
        std::string text;
        for (int row = firstRow; row <= lastRow; ++row) {
            const std::string_view extra = table.cell(SubtitleTable::Extra, row);
            if (!IsKeptBy(extra, Tag)) continue;
            // The file's lines follow the tag's line and the row's own.
            size_t at = 0;
            for (size_t line = 0; line <= RowFileLines && at != std::string_view::npos; ++line) {
                at = extra.find('\n', at);
                if (at != std::string_view::npos) ++at;
            }
            if (at == std::string_view::npos) continue;
            // Each LF becomes CR LF, and the last line gets one: at most one more byte a byte, and two.
            const size_t used = text.size();
            text.resize(used + 2 * (extra.size() - at) + 2);
            char* to = text.data() + used;
            const char* from = extra.data() + at;
            const char* const end = extra.data() + extra.size();
            for (;;) {
                const auto* lf = static_cast<const char*>(std::memchr(from, '\n', static_cast<size_t>(end - from)));
                const char* const lineEnd = lf ? lf : end;
                std::memcpy(to, from, static_cast<size_t>(lineEnd - from));
                to += lineEnd - from;
                *to++ = '\r';
                *to++ = '\n';
                if (!lf) break;
                from = lf + 1;
            }
            text.resize(static_cast<size_t>(to - text.data()));
            if (text.size() >= (1 << 16)) {
                out.write(text);
                text.clear();
            }
        }
        if (!text.empty()) out.write(text);
    }
    // Those the file kept: all, or those after the last row's.
    void writeRest(TextSink& out) const
    {
        for (size_t i = FileLines; i < doc_.size(); ++i)
            out.line(doc_[i]);
    }

private:
    std::vector<std::string_view> doc_;
    bool linesWithRows_ = false;
    bool drop_ = true;
    int keptRows_ = -1;
};

char* PutSccTimeCode(char* out, int64_t frame, bool dropFrame);

// Whether the frame's time code has two digits of hours: below the first frame
// that has three, found once (the labels grow with the frames).
bool fitsTimeCode(int64_t frame, bool drop)
{
    static const auto firstPast = [](bool drop) {
        int64_t low = 0, high = int64_t(1) << 40;
        while (low < high) {
            const int64_t middle = low + (high - low) / 2;
            char text[TimeCodeRoom];
            if (PutSccTimeCode(text, middle, drop) - text == 11)
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    };
    static const int64_t past[2] = { firstPast(false), firstPast(true) };
    return frame < past[drop ? 1 : 0];
}

// Time codes count to 99 hours: a later one is written with three digits,
// which no reader (ours neither) takes.
std::string refusedTime(const std::string& what, int64_t frame, bool drop)
{
    return "SCC: a time code counts at most 99:59:59;29; " + what + " at " + SccTimeCode(frame, drop)
        + ". Save the later rows in a file of their own, their times made earlier.";
}

// A row's caption, made from its cells alone: on the reading thread while
// the rows before are written, or by the writer itself. Its pieces, lines
// and load are made in buffers kept from row to row: their allocations took
// a quarter of a row's time.
class CaptionMaker {
public:
    explicit CaptionMaker(double framerate)
        : framerate_(framerate)
    {
    }

    // `lineNote` tells of lines left out, or stays empty; messages name the row `asRow`.
    Caption make(const SubtitleTable& table, int row, int asRow, std::string& lineNote)
    {
        TextLines(table.cell(SubtitleTable::Line1, row), table.cell(SubtitleTable::Line2, row),
            table.cell(SubtitleTable::Line3, row), texts_);
        Caption c;
        if (!spareLoads_.empty()) {
            c.load = std::move(spareLoads_.back());
            spareLoads_.pop_back();
        }
        c.display = toSccFrame(FrameOfCell(table.cell(SubtitleTable::From, row)), framerate_);
        c.end = std::max(toSccFrame(FrameOfCell(table.cell(SubtitleTable::To, row)), framerate_), c.display + 1);
        lineNote.clear();
        places_.clear();
        if (SplitKept(table.cell(SubtitleTable::Extra, row), Tag, kept_))
            places_ = keptPlaces(KeptLine(kept_, PlacesLine));
        if (plainLoad(texts_, places_, asRow, room_, c.load)) return c;
        pieces_.clear();
        lines_.clear();
        bool styled = false;
        for (std::string_view text : texts_)
            if (!text.empty()) {
                const size_t first = pieces_.size();
                styled = styledCharacters(text, pieces_) || styled;
                lines_.push_back({ first, pieces_.size(), 0 });
            }
        // Without markup every character takes a cell and no style changes.
        for (LineSpan& line : lines_)
            line.cells = styled ? tokenCount({ pieces_.data() + line.first, pieces_.data() + line.last })
                                : line.last - line.first;
        const size_t before = lines_.size();
        if (std::any_of(lines_.begin(), lines_.end(), [](const LineSpan& l) { return l.cells > size_t(Columns); }))
            wrap(pieces_, lines_, wrapped_);
        if (lines_.size() > static_cast<size_t>(MaxCaptionRows)) {
            lineNote = "SCC: row " + std::to_string(asRow) + " needs " + std::to_string(lines_.size())
                + " rows of 32 characters; the rows past the fourth were left out";
            lines_.resize(MaxCaptionRows);
        }
        // The places read are of the lines as they were.
        if (lines_.size() != before) places_.clear();
        loadWords(pieces_, lines_, places_, asRow, room_, c.load);
        return c;
    }

    // The load of a caption written, its room used again.
    void recycle(std::vector<uint16_t>&& load) { spareLoads_.push_back(std::move(load)); }

private:
    double framerate_;
    std::vector<std::string_view> texts_; // a row's text lines
    std::vector<Piece> pieces_;
    std::vector<LineSpan> lines_, wrapped_;
    std::vector<std::string_view> kept_;
    std::vector<std::pair<int, int>> places_;
    std::vector<uint16_t> room_;
    std::vector<std::vector<uint16_t>> spareLoads_;
};

// Captions scheduled and written as the rows come. Each caption's times are
// marked first (its end of caption, the erasures at its end), then its load
// is placed in the free frames before it, caption by caption; a frame is
// written once nothing can change it any more. Written whole (all rows given
// before finish) this is the schedule of all the rows at once; given in
// blocks, a caption is placed only once the marks of every caption it could
// meet are known (the rows in order of their start; otherwise it throws and
// the table is written whole).
class Writer : public RowWriter {
public:
    Writer(const WriteContext& context, bool drop, bool whole, TextSink& out)
        : framerate_(context.framerate)
        , notes_(context.notes)
        , drop_(drop)
        , whole_(whole)
        , maker_(context.framerate)
        , aheadMaker_(context.framerate)
    {
        out.line(Header);
    }

    // The captions are made here, on the reading thread, while the rows before are written.
    void prepare(const SubtitleTable& table, int firstRow, int lastRow, PreparedRows as) override
    {
        {
            const std::lock_guard<std::mutex> lock(aheadMutex_);
            for (std::vector<uint16_t>& load : written_)
                aheadMaker_.recycle(std::move(load));
            written_.clear();
        }
        block_.resize(static_cast<size_t>(lastRow - firstRow + 1));
        size_t made = 0;
        for (int row = firstRow, asRow = as.numbered ? as.numbered : firstRow; row <= lastRow; ++row) {
            if (as.skipped && as.skipped(table.cell(SubtitleTable::Extra, row))) continue;
            Prepared& p = block_[made++];
            p.row = asRow;
            p.caption = aheadMaker_.make(table, row, asRow++, p.lineNote);
        }
        block_.resize(made);
        const std::lock_guard<std::mutex> lock(aheadMutex_);
        ahead_ = true;
        // Handed over whole where nothing waits before them: the captions are not moved one by one.
        if (prepared_.empty())
            prepared_.swap(block_);
        else
            std::move(block_.begin(), block_.end(), std::back_inserter(prepared_));
    }

    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override
    {
        {
            const std::lock_guard<std::mutex> lock(aheadMutex_);
            ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(readyAt_));
            readyAt_ = 0;
            if (ready_.empty())
                ready_.swap(prepared_);
            else
                std::move(prepared_.begin(), prepared_.end(), std::back_inserter(ready_));
            prepared_.clear();
        }
        std::string lineNote;
        for (int row = firstRow; row <= lastRow; ++row) {
            Caption c;
            if (readyAt_ < ready_.size() && ready_[readyAt_].row == row) {
                c = std::move(ready_[readyAt_].caption);
                lineNote = std::move(ready_[readyAt_].lineNote);
                ++readyAt_;
            } else {
                c = maker_.make(table, row, row, lineNote);
            }
            if (!lineNote.empty()) note(lineNotes_, std::move(lineNote));
            if (!whole_) {
                if (c.display < known_) throw Error("SCC: the rows are not in order of their start");
                if (!fitsTimeCode(c.end, drop_))
                    throw WriteRefused(refusedTime("row " + std::to_string(row) + " ends", c.end, drop_));
            }
            known_ = std::max(known_, c.display);
            set(c.display, EndOfCaption); // marked at once: nothing before it is changed by it
            captions_.push_back({ std::move(c), -1, row });
            // A block of rows is some thousands: placed and written a few hundred at a time, the frames
            // held stay in the cache instead of growing through fresh memory.
            if (!whole_ && (row - firstRow) % AdvanceEvery == AdvanceEvery - 1) advance(false, out);
        }
        if (!whole_) advance(false, out);
    }

    void finish(const SubtitleTable&, TextSink& out) override
    {
        advance(true, out);
        sendFrames(std::numeric_limits<int64_t>::max(), out);
        putLine(out);
        flush(out);
        out.line("");
        if (notes_) {
            for (std::string& note : lineNotes_)
                notes_->push_back(std::move(note));
            for (std::string& note : lateNotes_)
                notes_->push_back(std::move(note));
        }
    }

private:
    // Written whole, all the rows' notes come before the late ones, as they
    // are told; as the rows come, they are kept in that order to the end.
    void note(std::vector<std::string>& kept, std::string text)
    {
        if (!notes_) return;
        if (whole_)
            notes_->push_back(std::move(text));
        else
            kept.push_back(std::move(text));
    }

    struct Pending {
        Caption caption;
        int64_t erase;
        int row;
    };
    struct Prepared {
        int row;
        Caption caption;
        std::string lineNote;
    };

    // The frames from base_ on, 0 where nothing is sent (no pair is 0).
    uint16_t at(int64_t f) const
    {
        touch(f);
        return f - base_ < static_cast<int64_t>(sent_.size()) ? sent_[static_cast<size_t>(f - base_)] : 0;
    }
    void set(int64_t f, uint16_t word)
    {
        touch(f);
        const auto i = static_cast<size_t>(f - base_);
        // Grown some frames ahead: a frame at a time took as long as the frames' bytes. Frames past the last
        // set are sent as nothing either way. Zeros by default, not as a value: those are cleared at once.
        if (i >= sent_.size()) sent_.resize(std::max(i + 1, sent_.size() + 4096));
        if (undo_) undo_->emplace_back(f, sent_[i]);
        sent_[i] = word;
    }
    void erase(int64_t f)
    {
        if (at(f)) set(f, 0);
    }
    void touch(int64_t f) const
    {
        // Below base_ is written already: a caption that reaches there cannot be placed as a whole table would be.
        if (f < base_) throw Error("SCC: a caption reaches frames already written");
        reached_ = std::max(reached_, f);
    }

    bool free(int64_t frame) const { return frame >= 0 && !at(frame); }

    int64_t freeFrom(int64_t f) const
    {
        while (!free(f))
            ++f;
        return f;
    }

    // A caption's load in pieces that must not be parted: a control code
    // and its repetition, or one pair of characters.
    static void units(const std::vector<uint16_t>& load, std::vector<std::pair<size_t, size_t>>& out)
    {
        // Written in place: as many units as words at most.
        out.resize(load.size());
        auto* unit = out.data();
        const uint16_t* const words = load.data();
        size_t i = 0;
        for (; i + 1 < load.size(); ++unit) {
            const size_t length = words[i] == words[i + 1] ? 2 : 1;
            *unit = { i, length };
            i += length;
        }
        if (i < load.size()) *unit++ = { i, 1 };
        out.resize(static_cast<size_t>(unit - out.data()));
    }
    bool freeRun(int64_t at, size_t count) const
    {
        for (size_t k = 0; k < count; ++k)
            if (!free(at + static_cast<int64_t>(k))) return false;
        return true;
    }

    // Where each unit goes, the last just before `display`, none before
    // `earliest`, into `at`, its words put there; false when they do not fit
    // (and nothing is put).
    bool placeBefore(const std::vector<std::pair<size_t, size_t>>& pieces, const std::vector<uint16_t>& load,
        int64_t earliest, int64_t display, std::vector<int64_t>& at)
    {
        at.resize(pieces.size());
        if (pieces.empty()) return true;
        // Room up to `display`, made once. Frames past the last set are sent as nothing either way.
        if (display - base_ > static_cast<int64_t>(sent_.size()))
            sent_.resize(std::max(static_cast<size_t>(display - base_), sent_.size() + 4096));
        const int64_t held = static_cast<int64_t>(sent_.size());
        // The frames free just below `display` (looked at down to the first one that is not, or as many as
        // the load takes): the last units go there one after another, as they would unit by unit.
        int64_t cursor = display;
        size_t u = pieces.size();
        {
            const int64_t lowest = std::max(std::max(earliest, base_), display - static_cast<int64_t>(load.size()));
            int64_t f = display - 1;
            while (f >= lowest && (f - base_ >= held || !sent_[static_cast<size_t>(f - base_)]))
                --f;
            if (f < display - 1) reached_ = std::max(reached_, display - 1);
            if (f >= lowest) reached_ = std::max(reached_, f);
            for (; u > 0 && cursor - static_cast<int64_t>(pieces[u - 1].second) > f; --u) {
                cursor -= static_cast<int64_t>(pieces[u - 1].second);
                at[u - 1] = cursor;
            }
            if (u < pieces.size()) {
                const size_t first = pieces[u].first;
                std::copy(
                    load.begin() + static_cast<std::ptrdiff_t>(first), load.end(), sent_.begin() + (cursor - base_));
            }
        }
        // Every frame looked at from here on lies below `display`: in the room made, and not above reached_
        // (what touch() would mark). A unit is one word or two.
        uint16_t* const frames = sent_.data();
        while (u-- > 0) {
            const auto length = static_cast<int64_t>(pieces[u].second);
            int64_t p = cursor - length;
            for (const int64_t lowest = std::max(earliest, base_); p >= lowest; --p) {
                const uint16_t* run = frames + (p - base_);
                if (!run[0] && (length == 1 || !run[1])) break;
            }
            if (p < base_ && p >= earliest) touch(p); // written already: it throws
            if (p < earliest) {
                // The frames filled were free.
                for (size_t v = u + 1; v < pieces.size(); ++v)
                    for (size_t k = 0; k < pieces[v].second; ++k)
                        sent_[static_cast<size_t>(at[v] - base_) + k] = 0;
                return false;
            }
            at[u] = p;
            uint16_t* const to = frames + (p - base_);
            const uint16_t* const from = load.data() + pieces[u].first;
            to[0] = from[0];
            if (length == 2) to[1] = from[1];
            cursor = p;
        }
        return true;
    }
    void placeFrom(
        const std::vector<std::pair<size_t, size_t>>& pieces, int64_t earliest, std::vector<int64_t>& at) const
    {
        at.clear();
        int64_t cursor = earliest;
        for (const auto& piece : pieces) {
            while (!freeRun(cursor, piece.second))
                ++cursor;
            at.push_back(cursor);
            cursor += static_cast<int64_t>(piece.second);
        }
    }

    // Each caption shows at its frame and goes at its end (or when the next
    // one replaces it); its load is sent in the free frames before, after the
    // caption before it was shown, never between a code and its repetition.
    // Every caption's end of caption is marked first, then the erasures at
    // the ends (a second one after each where there is room), then each
    // load in turn: `last` once no more rows come.
    void advance(bool last, TextSink& out)
    {
        const int64_t unbounded = std::numeric_limits<int64_t>::max();
        // Later rows mark frames from the last start known on.
        const int64_t later = last ? unbounded : known_;
        for (; marked_ < captions_.size(); ++marked_) {
            Pending& p = captions_[marked_];
            const bool next = marked_ + 1 < captions_.size();
            if (!last && (!next || p.caption.end >= later)) break;
            if ((!next || captions_[marked_ + 1].caption.display > p.caption.end) && free(p.caption.end)) {
                p.erase = p.caption.end;
                set(p.erase, EraseDisplayed);
            }
        }
        const int64_t unmarked = std::min(later, markedFrom(marked_));
        for (; seconded_ < marked_; ++seconded_) {
            const int64_t f = captions_[seconded_].erase;
            if (!last && f + 1 >= unmarked) break;
            if (f >= 0 && free(f + 1)) set(f + 1, EraseDisplayed);
        }
        // What is not marked yet lies at or after this frame.
        const int64_t bound = last ? unbounded : std::min(later, markedFrom(seconded_));
        while (placed_ < seconded_) {
            if (!last && captions_[placed_].caption.display >= bound - Margin) break;
            std::vector<std::pair<int64_t, uint16_t>>& undo = undoRoom_;
            undo.clear();
            undo_ = last ? nullptr : &undo;
            reached_ = 0;
            std::string lateNote;
            const int64_t earliest = place(captions_[placed_], lateNote);
            undo_ = nullptr;
            if (reached_ >= bound) {
                // It met frames still to be marked: it waits for more rows. Undone in the order it was done,
                // backwards; its load's frames were free before.
                const auto restore
                    = [&](size_t i) { sent_[static_cast<size_t>(undo[i].first - base_)] = undo[i].second; };
                for (size_t i = undo.size(); i-- > filledAt_;)
                    restore(i);
                for (size_t u = 0; u < units_.size(); ++u)
                    for (size_t k = 0; k < units_[u].second; ++k)
                        sent_[static_cast<size_t>(at_[u] + static_cast<int64_t>(k) - base_)] = 0;
                for (size_t i = filledAt_; i-- > 0;)
                    restore(i);
                break;
            }
            if (!lateNote.empty()) note(lateNotes_, std::move(lateNote));
            earliest_ = earliest;
            ++placed_;
        }
        if (last) return;
        // Frames before the next caption to place, and before every mark to come, are settled.
        int64_t settled = std::min(earliest_, bound);
        if (placed_ < captions_.size()) settled = std::min(settled, captions_[placed_].caption.display);
        sendFrames(settled, out);
        const size_t done = std::min(placed_, seconded_);
        {
            const std::lock_guard<std::mutex> lock(aheadMutex_);
            for (size_t i = 0; i < done; ++i) {
                if (ahead_)
                    written_.push_back(std::move(captions_[i].caption.load));
                else
                    maker_.recycle(std::move(captions_[i].caption.load));
            }
        }
        captions_.erase(captions_.begin(), captions_.begin() + static_cast<std::ptrdiff_t>(done));
        marked_ -= done;
        seconded_ -= done;
        placed_ -= done;
    }

    // The least end among captions from `from` on: the marks still to be made there lie from it on.
    int64_t markedFrom(size_t from) const
    {
        int64_t least = std::numeric_limits<int64_t>::max();
        for (size_t i = from; i < captions_.size(); ++i)
            least = std::min(least, captions_[i].caption.end);
        return least;
    }

    // Places the caption's load; returns where the next may start.
    int64_t place(Pending& p, std::string& lateNote)
    {
        Caption& c = p.caption;
        std::vector<std::pair<size_t, size_t>>& pieces = units_;
        std::vector<int64_t>& at = at_;
        units(c.load, pieces);
        int64_t display = c.display;
        const bool before = placeBefore(pieces, c.load, earliest_, display, at);
        if (!before) {
            erase(c.display);
            placeFrom(pieces, earliest_, at);
            display = pieces.empty() ? c.display : freeFrom(at.back() + static_cast<int64_t>(pieces.back().second));
            display = std::max(display, c.display);
            const int64_t late = display - c.display;
            lateNote = "SCC: row " + std::to_string(p.row) + " is shown " + std::to_string(late)
                + (late == 1 ? " frame" : " frames") + " late: its " + std::to_string(c.load.size() + 2)
                + " byte pairs do not fit before it";
            set(display, EndOfCaption);
            if (p.erase >= 0 && p.erase <= display) {
                erase(p.erase);
                erase(p.erase + 1);
                p.erase = freeFrom(display + 2);
                set(p.erase, EraseDisplayed);
            }
        }
        if (undo_) filledAt_ = undo_->size();
        if (!before && !pieces.empty()) {
            // The frames were all looked at (touched) and found free: they are filled as they are, the room
            // made once, and cleared again (not each undone) if the caption has to wait.
            const auto top = static_cast<size_t>(at.back() + static_cast<int64_t>(pieces.back().second) - base_);
            if (top > sent_.size()) sent_.resize(std::max(top, sent_.size() + 4096));
            for (size_t u = 0; u < pieces.size(); ++u)
                for (size_t k = 0; k < pieces[u].second; ++k)
                    sent_[static_cast<size_t>(at[u] + static_cast<int64_t>(k) - base_)] = c.load[pieces[u].first + k];
        }
        if (free(display + 1)) {
            set(display + 1, EndOfCaption);
            return display + 2;
        }
        return display + 1;
    }

    // The frames before `end`, a line from each frame that follows a gap.
    void sendFrames(int64_t end, TextSink& out)
    {
        const size_t count = end <= base_                       ? 0
            : static_cast<uint64_t>(end - base_) < sent_.size() ? static_cast<size_t>(end - base_)
                                                                : sent_.size();
        const uint16_t* frames = sent_.data();
        for (size_t sent = 0; sent < count;) {
            // Most frames send nothing: looked at eight at a time.
            for (uint64_t four[2]; sent + 8 <= count; sent += 8) {
                std::memcpy(four, frames + sent, sizeof four);
                if (four[0] | four[1]) break;
            }
            while (sent < count && !frames[sent])
                ++sent;
            if (sent == count) break;
            sendWord(base_ + static_cast<int64_t>(sent), frames[sent], out);
            // The words that go on in its line, with room made for some hundred at a time.
            uint16_t previous = frames[sent++];
            for (;;) {
                const size_t stop = sent + std::min<size_t>(count - sent, 256);
                char* at = room(5 * (stop - sent));
                for (; sent < stop; ++sent) {
                    const uint16_t word = frames[sent];
                    if (!word || startsLine(word, previous)) break;
                    *at++ = ' ';
                    at = putWord(at, word);
                    previous = word;
                }
                used_ = static_cast<size_t>(at - text_.data());
                if (sent < stop || sent == count) break;
            }
            previous_ = base_ + static_cast<int64_t>(sent) - 1;
            previousWord_ = previous;
        }
        sent_.erase(sent_.begin(), sent_.begin() + static_cast<std::ptrdiff_t>(count));
        base_ += static_cast<int64_t>(count);
        if (sent_.empty() && end != std::numeric_limits<int64_t>::max()) base_ = std::max(base_, end);
        flush(out);
    }
    // A caption shown or taken off starts a line of its own: readers that
    // take a line's time for all of it (ffmpeg) then agree.
    static bool startsLine(uint16_t word, uint16_t previous)
    {
        // Both codes share their first byte: most words are told apart by it alone.
        static_assert((EndOfCaption >> 8) == (EraseDisplayed >> 8));
        return (word >> 8) == (EndOfCaption >> 8) && (word == EndOfCaption || word == EraseDisplayed)
            && word != previous;
    }
    void sendWord(int64_t frame, uint16_t word, TextSink& out)
    {
        char* at;
        if (frame != previous_ + 1 || startsLine(word, previousWord_)) {
            putLine(out);
            at = room(2 + TimeCodeRoom + 6);
            *at++ = '\r';
            *at++ = '\n';
            char* const code = at;
            at = PutSccTimeCode(at, frame, drop_);
            lineOpen_ = true;
            if (at - code != 11) {
                used_ = static_cast<size_t>(at - text_.data());
                throw WriteRefused(refusedTime("the captions go on", frame, drop_));
            }
            *at++ = '\t';
        } else {
            at = room(5);
            *at++ = ' ';
        }
        used_ = static_cast<size_t>(putWord(at, word) - text_.data());
        previous_ = frame;
        previousWord_ = word;
    }
    // Room for `count` more characters after those used.
    char* room(size_t count)
    {
        if (used_ + count > text_.size()) text_.resize(std::max(text_.size() * 2, used_ + count));
        return text_.data() + used_;
    }
    // The text waits in text_, the line being written last, and goes out some lines at a time.
    void putLine(TextSink& out)
    {
        if (!lineOpen_) return;
        char* at = room(2);
        *at++ = '\r';
        *at++ = '\n';
        used_ += 2;
        done_ = used_;
        lineOpen_ = false;
        if (done_ >= (1 << 16)) flush(out);
    }
    void flush(TextSink& out)
    {
        out.write(std::string_view(text_.data(), done_));
        std::copy(text_.data() + done_, text_.data() + used_, text_.data());
        used_ -= done_;
        done_ = 0;
    }

    // How far before the marks still to come a caption is placed: one that
    // runs into them (a load shown late) is placed again with more rows.
    static constexpr int64_t Margin = 900;
    static constexpr int AdvanceEvery = 256;

    double framerate_;
    std::vector<std::string>* notes_;
    bool drop_, whole_;
    std::deque<Pending> captions_; // from the first not yet placed
    size_t marked_ = 0, seconded_ = 0, placed_ = 0; // captions whose erasures, second erasures, load are placed
    int64_t known_ = 0; // the latest start of the rows given
    int64_t earliest_ = 0;
    std::vector<uint16_t> sent_;
    int64_t base_ = 0;
    mutable int64_t reached_ = 0;
    std::vector<std::pair<int64_t, uint16_t>>* undo_ = nullptr;
    std::vector<std::pair<int64_t, uint16_t>> undoRoom_;
    size_t filledAt_ = 0; // how many were to undo when the load was put in
    std::vector<std::pair<size_t, size_t>> units_; // of the caption placed, and where they go
    std::vector<int64_t> at_;
    std::vector<std::string> lineNotes_, lateNotes_;
    int64_t previous_ = -2;
    uint16_t previousWord_ = 0;
    std::string text_; // its first used_ characters, done_ of them whole lines
    size_t used_ = 0, done_ = 0;
    bool lineOpen_ = false;
    CaptionMaker maker_;
    // Captions made on the reading thread, and the loads written to be used there again.
    CaptionMaker aheadMaker_;
    std::mutex aheadMutex_;
    std::vector<Prepared> block_, prepared_; // the block being made; those made, not yet taken
    std::vector<std::vector<uint16_t>> written_;
    std::vector<Prepared> ready_; // taken from prepared_, on the writing thread, from readyAt_ on
    size_t readyAt_ = 0;
    bool ahead_ = false;
};

// Writes the time code at `out` and returns its end.
char* PutSccTimeCode(char* out, int64_t frame, bool dropFrame)
{
    frame = std::max<int64_t>(frame, 0);
    if (dropFrame) {
        const int64_t tens = frame / 17982, rest = frame % 17982;
        frame += 18 * tens + (rest < 2 ? 0 : 2 * ((rest - 2) / 1798));
    }
    const int64_t ff = frame % 30, seconds = frame / 30;
    static constexpr std::array<std::array<char, 2>, 100> Digits = [] {
        std::array<std::array<char, 2>, 100> table {};
        for (size_t v = 0; v < 100; ++v)
            table[v] = { static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10) };
        return table;
    }();
    const auto two = [](char* at, int64_t v) {
        std::memcpy(at, Digits[static_cast<size_t>(v)].data(), 2);
        return at + 2;
    };
    const int64_t hours = seconds / 3600;
    out = hours < 100 ? two(out, hours) : PutInt(out, hours, 2);
    *out++ = ':';
    out = two(out, seconds / 60 % 60);
    *out++ = ':';
    out = two(out, seconds % 60);
    *out++ = dropFrame ? ';' : ':';
    return two(out, ff);
}

} // namespace

std::string SccTimeCode(int64_t frame, bool dropFrame)
{
    char text[TimeCodeRoom];
    return std::string(text, PutSccTimeCode(text, frame, dropFrame));
}

int64_t SccFrameOf(std::string_view t)
{
    if (t.size() != 11 || t[2] != ':' || t[5] != ':') return -1;
    // Two digits at a look, as the byte pairs' hex digits are read.
    static const std::vector<int8_t> twoDigits = [] {
        std::vector<int8_t> values(1 << 16, -1);
        for (int tens = 0; tens < 10; ++tens)
            for (int ones = 0; ones < 10; ++ones)
                values[static_cast<size_t>(('0' + tens) | ('0' + ones) << 8)] = static_cast<int8_t>(tens * 10 + ones);
        return values;
    }();
    int64_t fields[4];
    for (int i = 0; i < 4; ++i) {
        uint16_t two;
        std::memcpy(&two, t.data() + i * 3, sizeof two);
        fields[i] = twoDigits[two];
    }
    if ((fields[0] | fields[1] | fields[2] | fields[3]) < 0) return -1;
    if (fields[1] > 59 || fields[2] > 59 || fields[3] > 29) return -1;
    const bool drop = t[8] == ';' || t[8] == '.' || t[8] == ',';
    if (!drop && t[8] != ':') return -1;
    const int64_t minutes = fields[0] * 60 + fields[1];
    const int64_t frames = ((fields[0] * 60 + fields[1]) * 60 + fields[2]) * 30 + fields[3];
    return drop ? frames - 2 * (minutes - minutes / 10) : frames;
}

bool LooksLikeScc(const DetectionInput& input) { return input.firstLine.substr(0, 13) == "Scenarist_SCC"; }

namespace {

size_t decodingBatch = 0;

// Some lines of an SCC file as read: each line's first frame, its byte pairs
// and (when the lines are kept) its text after an LF.
// Room that resize leaves as it is (not zeroed): a line's words are written into it at once.
template <typename T> struct UnsetRoom : std::allocator<T> {
    template <typename U> struct rebind {
        using other = UnsetRoom<U>;
    };
    template <typename U> void construct(U* at) noexcept { ::new (static_cast<void*>(at)) U; }
    template <typename U, typename... Args> void construct(U* at, Args&&... args)
    {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};

struct PairBatch {
    struct Line {
        int64_t frame;
        size_t wordsEnd, textEnd;
    };
    std::vector<Line> lines;
    std::vector<uint16_t, UnsetRoom<uint16_t>> words;
    std::string text;
    bool full() const
    {
        return decodingBatch ? lines.size() >= decodingBatch : words.size() >= (1 << 15) || lines.size() >= (1 << 12);
    }
    void clear()
    {
        lines.clear();
        words.clear();
        text.clear();
    }
};

// The pairs decoded into rows, batch by batch.
class DecodingStage {
public:
    DecodingStage(double framerate, bool keep, bool asRead)
        : decoder_(framerate, keep, asRead)
    {
    }
    void decode(const PairBatch& in, RowBatch& out)
    {
        decoder_.rowsInto(out);
        size_t word = 0;
        for (size_t i = 0; i < in.lines.size(); ++i) {
            const PairBatch::Line& line = in.lines[i];
            if (word == line.wordsEnd) continue;
            decoder_.atLine(i);
            // The last frame of a line with pairs.
            last_ = std::max(last_, line.frame + static_cast<int64_t>(line.wordsEnd - word) - 1);
            decoder_.pairs(in.words.data() + word, line.wordsEnd - word, line.frame);
            word = line.wordsEnd;
        }
    }
    // A row still shown: after every line.
    void finish(RowBatch& out)
    {
        decoder_.rowsInto(out);
        decoder_.atLine(RowBatch::AfterLines);
        decoder_.finish(last_);
    }

private:
    Decoder decoder_;
    int64_t last_ = 0;
};

// Decodes the batches given, in turn, on a thread of its own while the next are read.
class DecodingThread {
public:
    explicit DecodingThread(DecodingStage& stage)
        : stage_(stage)
        , thread_([this] { run(); })
    {
    }
    ~DecodingThread()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    void give(const PairBatch& in, RowBatch& out)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back({ &in, &out });
        }
        changed_.notify_all();
    }
    // How many of the batches given are decoded; waits for `least` of them. What failed there throws here.
    size_t done(size_t least = 0)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return done_ >= least || error_; });
        if (error_) std::rethrow_exception(error_);
        return done_;
    }

private:
    struct Job {
        const PairBatch* in;
        RowBatch* out;
    };
    void run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return !jobs_.empty() || stopping_; });
            if (stopping_) return;
            const Job job = jobs_.front();
            lock.unlock();
            std::exception_ptr error;
            try {
                stage_.decode(*job.in, *job.out);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            jobs_.pop_front();
            if (error) {
                error_ = error;
                jobs_.clear();
            } else {
                ++done_;
            }
            changed_.notify_all();
        }
    }

    DecodingStage& stage_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    size_t done_ = 0;
    std::exception_ptr error_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace

void SetSccDecodingBatch(size_t lines) { decodingBatch = lines; }

void ReadScc(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    const bool open = firstRow == 1, keepLines = open && lines.keepsFile();
    // Rows going to a save as SCC as they are read take the lines with them: the file is not held whole.
    const bool asRead = keepLines && lines.rowsAsRead();
    DecodingStage stage(framerate, lines.keepsFile(), asRead);
    const int16_t* const pairs = hexPairs();
    // The pairs of a large file are decoded on a second core while the next lines are read: the table is
    // filled here, where the windows of the file are handed on.
    // A ring of batches: some decoded there while the next is filled here, so that neither side waits for
    // the other's slower moments.
    constexpr size_t Ring = 8;
    PairBatch batches[Ring];
    RowBatch made[Ring];
    std::unique_ptr<DecodingThread> thread; // gone before the batches it may be given
    const bool twoCores = std::thread::hardware_concurrency() > 1;
    size_t given = 0, stored = 0; // batches given to the thread, and those of them whose rows are stored
    int row = firstRow;
    bool drop = false;
    int lineNumber = 0;
    int rowsKept = 0;
    std::string fileLines, joined; // the lines read after the last row stored, each after an LF
    const auto keepDocument = [&](bool withLines) {
        const int rows = row - firstRow;
        if (!open || rows == 0) return;
        rowsKept = rows;
        const std::string count = asRead ? std::string(LinesWithRows) : std::to_string(rows);
        std::string doc = JoinKept(Tag, { drop ? "1" : "0", count }, { lines.byteOrderMark(), lines.lineFeedsOnly() });
        if (withLines) doc += fileLines;
        table.setDocumentData(doc);
    };
    // The rows made of a batch's pairs; rows as read take the file's lines up to the line they were made at.
    const auto store = [&](RowBatch& rows, const PairBatch& batch) {
        size_t taken = 0;
        for (size_t i = 0; i < rows.rows(); ++i) {
            std::string_view extra = rows.cell(i, RowBatch::Extra);
            if (asRead) {
                const size_t line = rows.line(i);
                const size_t end = line < batch.lines.size() ? batch.lines[line].textEnd : batch.text.size();
                joined.assign(extra);
                joined += fileLines;
                joined.append(batch.text, taken, end - taken);
                fileLines.clear();
                taken = end;
                extra = joined;
            }
            StoreRow(table, row, rows.cell(i, RowBatch::From), rows.cell(i, RowBatch::To),
                rows.cell(i, RowBatch::Line1), rows.cell(i, RowBatch::Line2), rows.cell(i, RowBatch::Line3), extra);
        }
        if (keepLines) fileLines.append(batch.text, taken);
        rows.clear();
        // A writer of rows as they come sees the file is SCC's from the first row on.
        if (rowsKept == 0) keepDocument(false);
    };
    // The rows of the batches decoded, up to the first `least` given.
    const auto storeDone = [&](size_t least) {
        const size_t done = thread ? thread->done(least) : 0;
        for (; stored < done; ++stored) {
            store(made[stored % Ring], batches[stored % Ring]);
            batches[stored % Ring].clear();
        }
    };
    // The batch being filled is decoded: there, or here once all before it are.
    const auto hand = [&](bool last) {
        if (last || !twoCores) {
            storeDone(given);
            PairBatch& batch = batches[given % Ring];
            stage.decode(batch, made[given % Ring]);
            store(made[given % Ring], batch);
            batch.clear();
            return;
        }
        if (!thread) thread = std::make_unique<DecodingThread>(stage);
        thread->give(batches[given % Ring], made[given % Ring]);
        ++given;
        // The next batch to fill is free once the one given Ring batches ago is stored.
        storeDone(given + 1 > Ring ? given + 1 - Ring : 0);
    };
    try {
        while (!lines.atEnd()) {
            const std::string_view line = lines.readLine();
            ++lineNumber;
            PairBatch& batch = batches[given % Ring];
            if (keepLines) {
                batch.text += '\n';
                batch.text += line;
            }
            batch.lines.push_back({ 0, batch.words.size(), batch.text.size() });
            if (lineNumber == 1) {
                if (line.substr(0, Header.size()) != Header)
                    throw Error(error(1, "an SCC file starts with the line " + std::string(Header)));
                continue;
            }
            const size_t begin = line.find_first_not_of(" \t");
            if (begin == std::string_view::npos) continue;
            const std::string_view timeCode = line.substr(begin, 11);
            const int64_t start = SccFrameOf(timeCode);
            if (start < 0)
                throw Error(
                    error(lineNumber, "'" + std::string(timeCode) + "' is not a time code hh:mm:ss:ff or hh:mm:ss;ff"));
            drop = drop || timeCode[8] != ':';
            batch.lines.back().frame = start;
            const std::string_view rest = line.substr(begin + 11);
            auto& words = batch.words;
            // Blanks looked for by hand: find_first_of and find_first_not_of took a third of the reading.
            const auto blank = [](char c) { return c == ' ' || c == '\t'; };
            // Nearly every line is words of four hex digits, each after one blank: read in a loop of their own
            // into room made for as many as the line can hold, until something else comes.
            size_t at = 0;
            {
                size_t count = words.size();
                words.resize(count + rest.size() / 5);
                uint16_t* const out = words.data();
                const char* p = rest.data();
                const char* const stop = p + rest.size();
                while (stop - p >= 5 && blank(*p) && (stop - p == 5 || blank(p[5]))) {
                    uint16_t first, second;
                    std::memcpy(&first, p + 1, 2);
                    std::memcpy(&second, p + 3, 2);
                    const int high = pairs[first], low = pairs[second];
                    if ((high | low) < 0) break;
                    out[count++] = static_cast<uint16_t>(high << 8 | low);
                    p += 5;
                }
                words.resize(count);
                at = static_cast<size_t>(p - rest.data());
            }
            for (;;) {
                while (at < rest.size() && blank(rest[at]))
                    ++at;
                if (at == rest.size()) break;
                // Nearly every word is four hex digits and a blank or the line's end.
                size_t end = at + 4;
                int value = end <= rest.size() && (end == rest.size() || blank(rest[end])) ? hexAt(&rest[at]) : -1;
                if (value < 0) {
                    end = at + 1;
                    while (end < rest.size() && !blank(rest[end]))
                        ++end;
                    const std::string_view word = rest.substr(at, end - at);
                    const std::optional<int> read = hexWord(word);
                    if (!read) {
                        batch.lines.back().wordsEnd = words.size();
                        throw Error(
                            error(lineNumber, "'" + std::string(word) + "' is not a byte pair of four hex digits"));
                    }
                    value = *read;
                }
                words.push_back(static_cast<uint16_t>(value));
                // A blank after the word was seen already.
                at = end < rest.size() ? end + 1 : end;
            }
            batch.lines.back().wordsEnd = words.size();
            if (batch.full()) hand(false);
        }
        if (lineNumber == 0) throw Error(error(1, "an SCC file starts with the line " + std::string(Header)));
        hand(true);
        stage.finish(made[0]);
        store(made[0], PairBatch());
    } catch (...) {
        // The pairs read before the error are decoded as they would have been one by one.
        try {
            hand(true);
        } catch (...) {
        }
        keepDocument(true);
        throw;
    }
    keepDocument(true);
}

// The lines of an SCC file as they come with its rows, read for this save.
class LinesWriter : public RowWriter {
public:
    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override
    {
        KeptFile::writeRows(table, firstRow, lastRow, out);
    }
    void finish(const SubtitleTable& table, TextSink& out) override { KeptFile(table).writeRest(out); }
};

std::unique_ptr<RowWriter> MakeSccWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out)
{
    if (IsKeptBy(table.documentData(), Tag)) {
        if (context.rowsAsRead && KeptFile(table).linesWithRows()) return std::make_unique<LinesWriter>();
        // Otherwise a table of an SCC file may be written as it was read: that is told from all of it.
        return nullptr;
    }
    return std::make_unique<Writer>(context, true, false, out);
}

void WriteScc(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    const KeptFile kept(table);
    if (kept.unedited(table, firstRow, lastRow, context.rowsAsRead)) return kept.write(table, out);
    // A row past the last time code is refused before anything is written.
    for (int row = firstRow; row <= lastRow; ++row) {
        const int64_t display = toSccFrame(FrameOfCell(table.cell(SubtitleTable::From, row)), context.framerate);
        const int64_t end
            = std::max(toSccFrame(FrameOfCell(table.cell(SubtitleTable::To, row)), context.framerate), display + 1);
        if (!fitsTimeCode(end, kept.drop()))
            throw WriteRefused(refusedTime("row " + std::to_string(row) + " ends", end, kept.drop()));
    }
    Writer writer(context, kept.drop(), true, out);
    writer.rows(table, firstRow, lastRow, out);
    writer.finish(table, out);
}

} // namespace tessel
