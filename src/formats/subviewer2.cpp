#include "formats/subviewer2.h"

#include "core/numbers.h"
#include "core/text_utils.h"
#include "core/timecode.h"
#include "formats/time_format.h"

namespace tessel {
namespace {

const char* const Header[] = {
    "[INFORMATION]",
    "[TITLE]SubViewer 2",
    "[AUTHOR]",
    "[SOURCE]",
    "[PRG]",
    "[FILEPATH]",
    "[DELAY]0",
    "[CD TRACK]0",
    "[COMMENT]",
    "[END INFORMATION]",
    "[SUBTITLE]",
    "[COLF]&HFFFFFF,[STYLE]bd,[SIZE]18,[FONT]Arial",
};

// hh:mm:ss.cc. The point before the hundredths is what other programs read;
// the comma form is not. Reading takes either.
constexpr ClockTimeFormat Time { ClockTimeFormat::Hundredths, '.' };

std::string readTime(std::string_view line, int& position, double framerate)
{
    return IntToStr(TimeToFrame(ReadClockTime(line, position, Time), framerate));
}

std::string formatTime(std::string_view frameCell, double framerate)
{
    return FormatClockTime(FrameToTime(ReadFrameCell(frameCell), framerate), Time);
}

std::string joinedText(const SubtitleTable& table, int row)
{
    std::string text(table.cell(SubtitleTable::Line1, row));
    for (int column : { SubtitleTable::Line2, SubtitleTable::Line3 })
        if (!table.cell(column, row).empty()) (text += "[br]") += table.cell(column, row);
    return text;
}

// Passes over the header tags and the empty lines other programs put after
// them; leaves the first time line in hand.
std::string skipHeader(LineReader& lines)
{
    std::string inHand(lines.readLine());
    while (!lines.atEnd() && (inHand.empty() || inHand[0] == '['))
        inHand = lines.readLine();
    return inHand;
}

} // namespace

bool LooksLikeSubViewer2(const DetectionInput& input)
{
    return input.firstLine.find("[INFORMATION]") != std::string_view::npos;
}

void ReadSubViewer2(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    int row = firstRow;
    std::string timeLine = skipHeader(lines);
    bool first = true;
    // Kept across blocks: a block that fails part-way is stored with what the
    // previous block left in the values it did not reach.
    std::string from, to;
    std::vector<std::string> pieces;
    while (!lines.atEnd()) {
        try {
            if (!first) timeLine = lines.readLine();
            first = false;
            int position = 1;
            from = readTime(timeLine, position, framerate);
            to = readTime(timeLine, position, framerate);
            SplitText(lines.readLine(), "[br]", pieces, false, MaxStoredPieces);
            if (!lines.atEnd()) lines.readLine();
        } catch (...) {
            StoreRow(table, row, from, to, PieceOrEmpty(pieces, 0), PieceOrEmpty(pieces, 1), PieceOrEmpty(pieces, 2));
            throw;
        }
        StoreRow(table, row, from, to, PieceOrEmpty(pieces, 0), PieceOrEmpty(pieces, 1), PieceOrEmpty(pieces, 2));
    }
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
        for (int row = firstRow; row <= lastRow; ++row) {
            out.line(formatTime(table.cell(SubtitleTable::From, row), framerate_) + ","
                + formatTime(table.cell(SubtitleTable::To, row), framerate_));
            out.line(joinedText(table, row));
            out.line("");
        }
    }

    void finish(const SubtitleTable&, TextSink&) override { }

private:
    double framerate_;
};

} // namespace

std::unique_ptr<RowWriter> MakeSubViewer2Writer(const SubtitleTable&, const WriteContext& context, TextSink& out)
{
    return std::make_unique<Writer>(context, out);
}

void WriteSubViewer2(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeSubViewer2Writer, table, firstRow, lastRow, context, out);
}

} // namespace tessel
