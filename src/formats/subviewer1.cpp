#include "formats/subviewer1.h"

#include "core/numbers.h"
#include "core/text_utils.h"
#include "core/timecode.h"
#include "formats/time_format.h"

namespace tessel {
namespace {

const char* const Header[] = {
    "[TITLE]",
    "",
    "[AUTHOR]",
    "",
    "[SOURCE]",
    "",
    "[FILEPATH]",
    "",
    "[DELAY]",
    "0",
    "[CD TRACK]",
    "0",
    "[BEGIN]",
    "******** START SCRIPT ********",
};

constexpr ClockTimeFormat Time { ClockTimeFormat::WholeSeconds };

// [hh:mm:ss], read as three digit runs wherever they stand in the line.
int64_t timeLineFrame(std::string_view line, double framerate)
{
    int position = 1;
    return TimeToFrame(ReadClockTime(line, position, Time), framerate);
}

std::string timeLine(int32_t frame, double framerate)
{
    return "[" + FormatClockTime(FrameToTime(frame, framerate), Time) + "]";
}

std::string joinedText(const SubtitleTable& table, int row)
{
    std::string text(table.cell(SubtitleTable::Line1, row));
    for (int column : { SubtitleTable::Line2, SubtitleTable::Line3 })
        if (!table.cell(column, row).empty()) (text += '|') += table.cell(column, row);
    return text;
}

void skipToScript(LineReader& lines, std::string& inHand)
{
    while (!lines.atEnd() && inHand.find("* START SCRIPT *") == std::string::npos)
        inHand = lines.readLine();
}

} // namespace

bool LooksLikeSubViewer1(const DetectionInput& input)
{
    return input.firstLine.find("[TITLE]") != std::string_view::npos;
}

void ReadSubViewer1(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    int row = firstRow;
    std::string inHand;
    skipToScript(lines, inHand);
    // The end of one subtitle is the start of the next; 0 means "read a start line".
    int64_t pendingEnd = 0;
    std::vector<std::string> pieces;
    while (!lines.atEnd() && inHand != "[END]") {
        const int64_t start = pendingEnd == 0 ? timeLineFrame(lines.readLine(), framerate) : pendingEnd;
        SplitText(lines.readLine(), "|", pieces, false, MaxStoredPieces);
        if (lines.atEnd()) break;
        inHand = lines.readLine();
        int64_t end = timeLineFrame(inHand, framerate);
        if (end == 0) end = CheckedAdd(start, FramesForSeconds(framerate, 2.5L));
        pendingEnd = end;
        // An empty text is a pause block, or a row that started with "|".
        if (pieces.empty() || pieces[0].empty()) continue;
        StoreRow(
            table, row, IntToStr(start), IntToStr(end), pieces[0], PieceOrEmpty(pieces, 1), PieceOrEmpty(pieces, 2));
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
        const int lastTableRow = table.rowCount() - 1;
        for (int row = firstRow; row <= lastRow; ++row) {
            const int32_t start = ReadFrameCell(table.cell(SubtitleTable::From, row));
            const int32_t end = ReadFrameCell(table.cell(SubtitleTable::To, row));
            out.line(timeLine(start, framerate_));
            out.line(joinedText(table, row));
            if (row >= lastTableRow) continue;
            // Only a real pause needs its end written: otherwise the next start ends it.
            const int32_t nextStart = ReadFrameCell(table.cell(SubtitleTable::From, row + 1));
            if (static_cast<int64_t>(nextStart) - end <= 30) continue;
            out.line(timeLine(end, framerate_));
            out.line("");
        }
    }

    void finish(const SubtitleTable&, TextSink& out) override
    {
        out.line("[END]");
        out.line("******** End Script ********");
    }

private:
    double framerate_;
};

} // namespace

std::unique_ptr<RowWriter> MakeSubViewer1Writer(const SubtitleTable&, const WriteContext& context, TextSink& out)
{
    return std::make_unique<Writer>(context, out);
}

void WriteSubViewer1(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeSubViewer1Writer, table, firstRow, lastRow, context, out);
}

} // namespace tessel
