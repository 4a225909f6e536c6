#include "formats/simple_timecode.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/text_utils.h"
#include "core/timecode.h"
#include "formats/time_format.h"

namespace tessel {
namespace {

constexpr int PrefixCharacters = 9; // "hh:mm:ss:"
constexpr ClockTimeFormat Time { ClockTimeFormat::WholeSeconds };

// Byte length of the first `count` characters of a UTF-8 text (all of it if shorter).
size_t prefixBytes(std::string_view text, int count)
{
    size_t i = 0;
    while (i < text.size()) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && count-- == 0) break;
        ++i;
    }
    return i;
}

// The frame of a line's time prefix; the rest of the line goes to `text`.
int64_t readTimedLine(std::string_view line, std::string& text, double framerate)
{
    const size_t cut = prefixBytes(line, PrefixCharacters);
    const std::string_view prefix = line.substr(0, cut);
    text = line.substr(cut);
    int position = 1;
    // Nine characters hold no run too long for 32 bits, but "999999999" as
    // hours is past any time: read like a prefix without a time.
    int32_t milliseconds = 0;
    try {
        milliseconds = ReadClockTime(prefix, position, Time);
    } catch (const ConversionError&) {
        // stays 0
    }
    return TimeToFrame(milliseconds, framerate);
}

int64_t defaultEnd(int64_t start, double framerate) { return CheckedAdd(start, FramesForSeconds(framerate, 2.5L)); }

void storeIfText(SubtitleTable& table, int& row, int64_t start, int64_t end, const std::vector<std::string>& pieces)
{
    if (pieces.empty() || pieces[0].empty()) return;
    StoreRow(table, row, IntToStr(start), IntToStr(end), pieces[0], PieceOrEmpty(pieces, 1), PieceOrEmpty(pieces, 2));
}

std::string timePrefix(int32_t frame, double framerate)
{
    return FormatClockTime(FrameToTime(frame, framerate), Time) + ":";
}

std::string joinedText(const SubtitleTable& table, int row)
{
    std::string text(table.cell(SubtitleTable::Line1, row));
    for (int column : { SubtitleTable::Line2, SubtitleTable::Line3 })
        if (!table.cell(column, row).empty()) (text += '|') += table.cell(column, row);
    return text;
}

} // namespace

// A first line of more than eight characters with a digit in the first and
// eighth place and ":" in the third; the others are not looked at.
bool LooksLikeSimpleTimeCode(const DetectionInput& input)
{
    const std::u32string start = FirstCharacters(input.firstLine, 9);
    const auto digit = [](char32_t c) { return c >= '0' && c <= '9'; };
    return start.size() > 8 && digit(start[0]) && start[2] == ':' && digit(start[7]);
}

void ReadSimpleTimeCode(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    int row = firstRow;
    // Each line's time ends the subtitle before it; 0 means "read a start line".
    int64_t pendingEnd = 0;
    std::string text;
    std::vector<std::string> pieces;
    for (;;) {
        int64_t start = pendingEnd;
        if (pendingEnd == 0) {
            if (lines.atEnd()) break;
            start = readTimedLine(lines.readLine(), text, framerate);
        }
        SplitText(text, "|", pieces, false, MaxStoredPieces);
        if (lines.atEnd()) {
            // Nothing follows to end the last line: unless it only closes the
            // subtitle before it (a pause line), it shows for the default time.
            if (!TrimBlanks(text).empty()) storeIfText(table, row, start, defaultEnd(start, framerate), pieces);
            break;
        }
        int64_t end = readTimedLine(lines.readLine(), text, framerate);
        if (end == 0) end = defaultEnd(start, framerate);
        pendingEnd = end;
        storeIfText(table, row, start, end, pieces);
    }
}

namespace {

class Writer : public RowWriter {
public:
    explicit Writer(const WriteContext& context)
        : framerate_(context.framerate)
    {
    }

    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override
    {
        const int lastTableRow = table.rowCount() - 1;
        for (int row = firstRow; row <= lastRow; ++row) {
            const int32_t start = ReadFrameCell(table.cell(SubtitleTable::From, row));
            end_ = ReadFrameCell(table.cell(SubtitleTable::To, row));
            wrote_ = true;
            out.line(timePrefix(start, framerate_) + joinedText(table, row));
            if (row >= lastTableRow) continue;
            const int32_t nextStart = ReadFrameCell(table.cell(SubtitleTable::From, row + 1));
            if (static_cast<int64_t>(nextStart) - end_ > 30) out.line(timePrefix(end_, framerate_) + " ");
        }
    }

    // The format has no closing line: a pause line at the last end lets the
    // last subtitle read back with its own end.
    void finish(const SubtitleTable&, TextSink& out) override
    {
        if (wrote_) out.line(timePrefix(end_, framerate_) + " ");
    }

private:
    double framerate_;
    int32_t end_ = 0;
    bool wrote_ = false;
};

} // namespace

std::unique_ptr<RowWriter> MakeSimpleTimeCodeWriter(const SubtitleTable&, const WriteContext& context, TextSink&)
{
    return std::make_unique<Writer>(context);
}

void WriteSimpleTimeCode(
    const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeSimpleTimeCodeWriter, table, firstRow, lastRow, context, out);
}

} // namespace tessel
