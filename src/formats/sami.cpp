#include "formats/sami.h"

#include "core/numbers.h"
#include "core/timecode.h"

#include <QChar>
#include <array>

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

// Tags are matched without regard to case, ASCII letters only.
std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

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

    // The next piece and its lower-case form.
    void next(std::string& piece, std::string& lower)
    {
        if (!pending_) {
            line_ = lines_.readLine();
            lower_ = lowerAscii(line_);
            at_ = 0;
        }
        const size_t cut = lower_.find("<sync", at_ + 1);
        const size_t end = cut == std::string::npos ? line_.size() : cut;
        piece.assign(line_, at_, end - at_);
        lower.assign(lower_, at_, end - at_);
        pending_ = cut != std::string::npos;
        at_ = cut;
    }

private:
    LineReader& lines_;
    std::string line_, lower_;
    size_t at_ = 0;
    bool pending_ = false;
};

// A piece in hand, kept with its lower-case form.
struct Piece {
    std::string text, lower;
    void clear()
    {
        text.clear();
        lower.clear();
    }
};

bool findSync(SyncPieces& pieces, Piece& piece)
{
    while (piece.lower.find("<sync") == std::string::npos) {
        if (pieces.atEnd()) return false;
        pieces.next(piece.text, piece.lower);
    }
    return true;
}

// Digits after "start="; without it only the sync tag itself is scanned, so
// that a number in the text is never taken for a time.
int64_t syncFrame(const Piece& piece, double framerate)
{
    std::string_view scanned = piece.text;
    int position = 1;
    const size_t start = piece.lower.find("start=");
    if (start != std::string::npos) {
        position = static_cast<int>(start) + 1;
    } else {
        const size_t tag = piece.lower.find("<sync");
        scanned = scanned.substr(tag, piece.lower.find('>', tag) - tag);
    }
    const int32_t milliseconds = ReadNextNumber(scanned, position);
    return RoundTiesEven(static_cast<long double>(milliseconds) / 1000.0L * framerate);
}

// Moves to the paragraph line; true when it is the sync piece itself.
bool findParagraph(SyncPieces& pieces, Piece& piece)
{
    bool same = true;
    while (!pieces.atEnd() && piece.lower.find("<p ") == std::string::npos) {
        pieces.next(piece.text, piece.lower);
        same = false;
    }
    return same;
}

std::string withoutNbsp(const Piece& piece)
{
    static constexpr std::string_view Nbsp = "&nbsp;";
    std::string text;
    size_t from = 0, at;
    while ((at = piece.lower.find(Nbsp, from)) != std::string::npos) {
        text.append(piece.text, from, at - from);
        from = at + Nbsp.size();
    }
    text.append(piece.text, from);
    return text;
}

// Every tag separates text lines; empty pieces are skipped, a fourth is dropped.
// A paragraph without ">" is scanned from its first character.
TextLines paragraphLines(std::string_view line)
{
    const size_t open = line.find('>');
    TextLines texts;
    size_t count = 0;
    std::string piece;
    bool collecting = true;
    auto take = [&] {
        if (!piece.empty() && count < texts.size()) texts[count++] = piece;
        piece.clear();
    };
    for (char c : line.substr(open == std::string_view::npos ? 0 : open)) {
        if (c == '<') {
            collecting = false;
            take();
        } else if (c == '>') {
            collecting = true;
        } else if (collecting) {
            piece += c;
        }
    }
    take();
    return texts;
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
    bool stored = false;
    int64_t lastStart = 0;
    while (!pieces.atEnd()) {
        if (!findSync(pieces, piece)) break;
        const int64_t frame = syncFrame(piece, framerate);
        const bool sameLine = findParagraph(pieces, piece);
        const TextLines texts = paragraphLines(withoutNbsp(piece));
        // Move past a line holding both tags, or its sync would be found again.
        if (sameLine) piece.clear();
        if (texts[0].empty()) {
            setPreviousEnd(table, row - 1, frame, false);
            continue;
        }
        setPreviousEnd(table, row - 1, CheckedAdd(frame, -1), true);
        StoreRow(table, row, IntToStr(frame), "", texts[0], texts[1], texts[2]);
        stored = true;
        lastStart = frame;
    }
    if (stored) setPreviousEnd(table, row - 1, CheckedAdd(lastStart, FramesForSeconds(framerate, 4)), false);
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
