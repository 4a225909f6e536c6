#include "formats/sami.h"

#include "core/numbers.h"
#include "core/timecode.h"

#include <QChar>
#include <array>
#include <cstring>

namespace tessel {
namespace {

using TextLines = std::array<std::string, 3>;

const char* const Header[] = {
    "<sami>",
    "<head>",
    "<title>My Movie</title>",
    "<style type=\"text/css\"><!--",
    "P {",
    "margin-left: 8pt;",
    "margin-right: 8pt;",
    "font-size: 14pt;",
    "text-align: center;",
    "font-family: tahoma, arial, sans-serif;",
    "font-weight: bold; color: white; background-color: black;",
    "}",
    ".encc {",
    "name: \"English\";",
    "lang: en;",
    "}",
    "#normal {name: \"normal\";}-->",
    "</style>",
    "</head>",
    "<body>",
    "",
};

// The line upper-cased contains "<SAMI>". One code point at a time: the full
// mapping only adds expansions such as "ß" to "SS", none of which can form the
// tag, and expanding them in place takes quadratic time on a long line. No
// character upper-cases to "<", so only the places of a "<" need a look.
bool containsSamiTag(std::string_view line)
{
    static constexpr char32_t Rest[] = U"SAMI>";
    for (size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
        const std::u32string next = FirstCharacters(line.substr(at + 1), 5);
        size_t matched = 0;
        while (matched < next.size()) {
            const char32_t c = next[matched];
            const char32_t upper = c < 0x80 ? (c >= 'a' && c <= 'z' ? c - 32 : c) : QChar::toUpper(c);
            if (upper != Rest[matched]) break;
            ++matched;
        }
        if (matched == 5) return true;
    }
    return false;
}

// Where `tag` (lower-case) stands in `text` from `from` on, or npos: tags are
// matched without regard to case, ASCII letters only. In place, since a copy
// of every line in lower case cost more than the searches.
size_t findTag(std::string_view text, std::string_view tag, size_t from = 0)
{
    const auto same = [](char c, char t) { return c == t || (t >= 'a' && t <= 'z' && c == t - 32); };
    const bool letter = tag[0] >= 'a' && tag[0] <= 'z';
    const char last = tag.back();
    if (letter && !(last >= 'a' && last <= 'z') && tag.size() > 1) {
        // "start=": its '=' has no case, and each one found is the end of the next candidate.
        const size_t n = tag.size() - 1;
        for (size_t at = from + n; at < text.size(); ++at) {
            const void* found = std::memchr(text.data() + at, last, text.size() - at);
            if (!found) break;
            at = static_cast<size_t>(static_cast<const char*>(found) - text.data());
            size_t matched = 0;
            while (matched < n && same(text[at - n + matched], tag[matched]))
                ++matched;
            if (matched == n) return at - n;
        }
        return std::string_view::npos;
    }
    for (size_t at = from; at + tag.size() <= text.size(); ++at) {
        if (!letter) {
            // "<" and "&" have no case: memchr finds them fastest.
            const void* found = std::memchr(text.data() + at, tag[0], text.size() - tag.size() + 1 - at);
            if (!found) break;
            at = static_cast<size_t>(static_cast<const char*>(found) - text.data());
        } else if (!same(text[at], tag[0])) {
            continue;
        }
        size_t matched = 1;
        while (matched < tag.size() && same(text[at + matched], tag[matched]))
            ++matched;
        if (matched == tag.size()) return at;
    }
    return std::string_view::npos;
}

// A piece in hand: a view into the line it came from. The line stays while
// the next piece of the file is taken, so no piece is copied.
struct Piece {
    std::string_view text;
    void clear() { text = {}; }
};

// The file's lines, each cut before every "<sync" after its first character:
// a line holding several subtitles is read as one piece per subtitle, and no
// piece holds two sync tags.
class SyncPieces {
public:
    explicit SyncPieces(LineReader& lines)
        : lines_(lines)
    {
    }
    bool atEnd() const { return !pending_ && lines_.atEnd(); }

    void next(Piece& piece)
    {
        if (!pending_) {
            line_ = lines_.readLine();
            at_ = 0;
        }
        const size_t cut = findTag(line_, "<sync", at_ + 1);
        const size_t end = cut == std::string_view::npos ? line_.size() : cut;
        piece.text = line_.substr(at_, end - at_);
        pending_ = cut != std::string_view::npos;
        at_ = cut;
    }

private:
    LineReader& lines_;
    std::string_view line_;
    size_t at_ = 0;
    bool pending_ = false;
};

bool findSync(SyncPieces& pieces, Piece& piece)
{
    // A piece holds a sync tag only at its start: SyncPieces cuts before every other.
    while (findTag(piece.text.substr(0, 5), "<sync") == std::string_view::npos) {
        if (pieces.atEnd()) return false;
        pieces.next(piece);
    }
    return true;
}

// Digits after "start="; without it only the sync tag itself is scanned, so
// that a number in the text is never taken for a time.
int64_t syncFrame(const Piece& piece, double framerate)
{
    std::string_view scanned = piece.text;
    int position = 1;
    const size_t start = findTag(piece.text, "start=");
    if (start != std::string_view::npos) {
        position = static_cast<int>(start) + 1;
    } else {
        const size_t tag = findTag(piece.text, "<sync");
        scanned = scanned.substr(tag, piece.text.find('>', tag) - tag);
    }
    const int32_t milliseconds = ReadNextNumber(scanned, position);
    return RoundTiesEven(static_cast<long double>(milliseconds) / 1000.0L * framerate);
}

// Moves to the paragraph line; true when it is the sync piece itself.
bool findParagraph(SyncPieces& pieces, Piece& piece)
{
    bool same = true;
    while (!pieces.atEnd() && findTag(piece.text, "<p ") == std::string_view::npos) {
        pieces.next(piece);
        same = false;
    }
    return same;
}

// The piece's text with every "&nbsp;" taken out, in `room` when there is one.
std::string_view withoutNbsp(const Piece& piece, std::string& room)
{
    static constexpr std::string_view Nbsp = "&nbsp;";
    size_t at = findTag(piece.text, Nbsp);
    if (at == std::string_view::npos) return piece.text;
    room.clear();
    size_t from = 0;
    for (; at != std::string_view::npos; at = findTag(piece.text, Nbsp, from)) {
        room.append(piece.text, from, at - from);
        from = at + Nbsp.size();
    }
    room.append(piece.text, from);
    return room;
}

// Every tag separates text lines; empty pieces are skipped, a fourth is dropped.
// A paragraph without ">" is scanned from its first character; a ">" outside
// a tag is left out of the text around it.
void paragraphLines(std::string_view line, TextLines& texts)
{
    for (std::string& t : texts)
        t.clear();
    size_t count = 0;
    bool collecting = true;
    const size_t open = line.find('>');
    line.remove_prefix(open == std::string_view::npos ? 0 : open);
    while (!line.empty()) {
        size_t mark = 0;
        while (mark < line.size() && line[mark] != '<' && line[mark] != '>')
            ++mark;
        if (mark == line.size()) mark = std::string_view::npos;
        const std::string_view run = line.substr(0, mark);
        if (collecting && count < texts.size()) texts[count] += run;
        if (mark == std::string_view::npos) break;
        if (line[mark] == '<') {
            collecting = false;
            if (count < texts.size() && !texts[count].empty()) ++count;
        } else {
            collecting = true;
        }
        line.remove_prefix(mark + 1);
    }
}

// The previous row ends where a subtitle or a clearing paragraph begins.
void setPreviousEnd(SubtitleTable& table, int previous, int64_t frame, bool onlyIfEmpty)
{
    if (previous < 1 || previous >= table.rowCount()) return;
    if (onlyIfEmpty && !table.cell(SubtitleTable::To, previous).empty()) return;
    table.setCell(SubtitleTable::To, previous, IntToStr(frame));
}

std::string syncLine(int32_t frame, double framerate)
{
    return "  <sync start=" + FormatFloatWhole(Divide(frame, framerate) * 1000.0L) + ">";
}

std::string paragraphLine(const SubtitleTable& table, int row)
{
    std::string line = "  <p class=encc>";
    line += table.cell(SubtitleTable::Line1, row);
    for (int column : { SubtitleTable::Line2, SubtitleTable::Line3 }) {
        if (table.cell(column, row).empty()) continue;
        line += "<br>";
        line += table.cell(column, row);
    }
    return line;
}

void writeSubtitle(const SubtitleTable& table, int row, double framerate, TextSink& out)
{
    const int32_t start = ReadFrameCell(table.cell(SubtitleTable::From, row));
    const int32_t end = ReadFrameCell(table.cell(SubtitleTable::To, row));
    out.line(syncLine(start, framerate));
    out.line(paragraphLine(table, row));
    if (row >= table.rowCount() - 1) return;
    // Only a pause of more than five frames is worth a clearing paragraph.
    const int32_t next = ReadFrameCell(table.cell(SubtitleTable::From, row + 1));
    if (static_cast<int64_t>(next) - end <= 5) return;
    out.line(syncLine(end, framerate));
    out.line("  <p class=encc>&nbsp;");
}

} // namespace

bool LooksLikeSAMI(const DetectionInput& input) { return containsSamiTag(input.firstLine); }

void ReadSAMI(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    SyncPieces pieces(lines);
    Piece piece;
    int row = firstRow;
    std::string room;
    TextLines texts;
    // The last subtitle read, stored once its end is known (the next
    // subtitle or the file's end), so that it is written into the table once.
    struct Pending {
        bool held = false;
        std::string from, to;
        TextLines texts;
    } last;
    const auto setEnd = [&](int64_t frame, bool onlyIfEmpty) {
        if (!last.held)
            setPreviousEnd(table, row - 1, frame, onlyIfEmpty);
        else if (!onlyIfEmpty || last.to.empty())
            last.to = IntToStr(frame);
    };
    const auto store = [&] {
        if (!last.held) return;
        StoreRow(table, row, last.from, last.to, last.texts[0], last.texts[1], last.texts[2]);
        last.held = false;
    };
    int64_t lastStart = 0;
    try {
        while (!pieces.atEnd()) {
            if (!findSync(pieces, piece)) break;
            const int64_t frame = syncFrame(piece, framerate);
            const bool sameLine = findParagraph(pieces, piece);
            paragraphLines(withoutNbsp(piece, room), texts);
            // Move past a line holding both tags, or its sync would be found again.
            if (sameLine) piece.clear();
            if (texts[0].empty()) {
                setEnd(frame, false);
                continue;
            }
            setEnd(CheckedAdd(frame, -1), true);
            store();
            last.held = true;
            last.from = IntToStr(frame);
            last.to.clear();
            std::swap(last.texts, texts);
            lastStart = frame;
        }
        if (last.held) last.to = IntToStr(CheckedAdd(lastStart, FramesForSeconds(framerate, 4)));
    } catch (...) {
        store();
        throw;
    }
    store();
}

namespace {

class Writer : public RowWriter {
public:
    Writer(const WriteContext& context, TextSink& out)
        : framerate_(context.framerate)
    {
        for (const char* line : Header)
            out.line(line);
    }

    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override
    {
        for (int row = firstRow; row <= lastRow; ++row)
            writeSubtitle(table, row, framerate_, out);
    }

    void finish(const SubtitleTable&, TextSink& out) override
    {
        out.line("</body>");
        out.line("</sami>");
    }

private:
    double framerate_;
};

} // namespace

std::unique_ptr<RowWriter> MakeSAMIWriter(const SubtitleTable&, const WriteContext& context, TextSink& out)
{
    return std::make_unique<Writer>(context, out);
}

void WriteSAMI(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeSAMIWriter, table, firstRow, lastRow, context, out);
}

} // namespace tessel
