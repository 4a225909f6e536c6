#include "formats/aqtitle.h"

#include "core/numbers.h"
#include "core/timecode.h"

#include <optional>

namespace tessel {
namespace {

int64_t markerFrame(std::string_view line)
{
    int position = 1;
    return ReadNextNumber(line, position);
}

void writeMarker(TextSink& out, int64_t frame) { out.line("-->> " + FormatInt(frame, 6)); }

void writeClearingBlock(TextSink& out, int64_t frame)
{
    writeMarker(out, frame);
    out.line("");
    out.line("");
}

} // namespace

// The first line starts like a marker, with "-".
bool LooksLikeAQTitle(const DetectionInput& input) { return !input.firstLine.empty() && input.firstLine[0] == '-'; }

// A subtitle shows on the frames strictly between its own marker and the next.
void ReadAQTitle(LineReader& lines, SubtitleTable& table, int firstRow, double)
{
    int row = firstRow;
    // The marker after a block ends that block and starts the next. Held apart
    // from its value: a following marker of 1 gives a real end of 0.
    std::optional<int64_t> pendingEnd;
    while (!lines.atEnd()) {
        int64_t start = 0;
        if (pendingEnd) {
            start = *pendingEnd + 2;
        } else {
            start = markerFrame(lines.readLine());
            if (start > 1) ++start;
        }
        const std::string line1(lines.readLine());
        const std::string line2(lines.readLine());
        if (lines.atEnd()) break;
        pendingEnd = markerFrame(lines.readLine()) - 1;
        if (line1.empty() && line2.empty()) continue; // a clearing block
        StoreRow(table, row, IntToStr(start), IntToStr(*pendingEnd), line1, line2, "");
    }
}

namespace {

class Writer : public RowWriter {
public:
    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override
    {
        const int lastTableRow = table.rowCount() - 1;
        for (int row = firstRow; row <= lastRow; ++row) {
            const int32_t start = ReadFrameCell(table.cell(SubtitleTable::From, row));
            const int32_t end = ReadFrameCell(table.cell(SubtitleTable::To, row));
            lastEnd_ = end;
            writeMarker(out, start);
            out.line(table.cell(SubtitleTable::Line1, row));
            out.line(table.cell(SubtitleTable::Line2, row)); // the format has no third line
            if (row >= lastTableRow) continue;
            // Short gaps need no clearing: the next marker ends the subtitle close enough.
            const int32_t nextStart = ReadFrameCell(table.cell(SubtitleTable::From, row + 1));
            if (static_cast<int64_t>(nextStart) - end > 5) writeClearingBlock(out, end);
        }
    }

    void finish(const SubtitleTable&, TextSink& out) override { writeClearingBlock(out, lastEnd_); }

private:
    int64_t lastEnd_ = 999999; // the closing marker of a file with no rows
};

} // namespace

std::unique_ptr<RowWriter> MakeAQTitleWriter(const SubtitleTable&, const WriteContext&, TextSink&)
{
    return std::make_unique<Writer>();
}

void WriteAQTitle(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeAQTitleWriter, table, firstRow, lastRow, context, out);
}

} // namespace tessel
