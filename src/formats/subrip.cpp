#include "formats/subrip.h"

#include "core/numbers.h"
#include "core/timecode.h"
#include "formats/time_format.h"

namespace tessel {
namespace {

constexpr ClockTimeFormat Time { ClockTimeFormat::Milliseconds, ',' };

} // namespace

// The first line is the first counter, "1", and nothing else.
bool LooksLikeSubRip(const DetectionInput& input) { return input.firstLine == "1"; }

void ReadSubRip(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    int row = firstRow;
    // Kept across blocks: a block that fails part-way is stored with what the
    // previous block left in the values it did not reach.
    std::string from, to, text[3];
    while (!lines.atEnd()) {
        try {
            lines.readLine(); // counter
            const std::string_view timeLine = lines.readLine();
            int position = 1;
            const int32_t start = ReadClockTime(timeLine, position, Time);
            const int32_t end = ReadClockTime(timeLine, position, Time);
            from = IntToStr(TimeToFrame(start, framerate));
            to = IntToStr(TimeToFrame(end, framerate));
            for (auto& t : text)
                t.clear();
            int count = 0;
            std::string_view line = lines.readLine();
            while (!line.empty()) {
                if (count < 3)
                    text[count] = line;
                else
                    (text[2] += ' ') += line; // a fourth line and more join the third
                ++count;
                if (lines.atEnd()) break;
                line = lines.readLine();
            }
        } catch (...) {
            StoreRow(table, row, from, to, text[0], text[1], text[2]);
            throw;
        }
        StoreRow(table, row, from, to, text[0], text[1], text[2]);
    }
}

namespace {

class Writer : public RowWriter {
public:
    explicit Writer(const WriteContext& context)
        : framerate_(context.framerate)
    {
    }
    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override;
    void finish(const SubtitleTable&, TextSink&) override { }

private:
    double framerate_;
    std::string block_;
};

void Writer::rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out)
{
    std::string& block = block_;
    for (int row = firstRow; row <= lastRow; ++row) {
        block.clear();
        AppendInt(block, row, 1);
        block += "\r\n";
        const double fps = framerate_;
        AppendClockTime(block, FrameToTime(ReadFrameCell(table.cell(SubtitleTable::From, row)), fps), Time);
        block += " --> ";
        AppendClockTime(block, FrameToTime(ReadFrameCell(table.cell(SubtitleTable::To, row)), fps), Time);
        block += "\r\n";
        // Only non-empty lines: an empty one would end the block early when read.
        for (int column : { SubtitleTable::Line1, SubtitleTable::Line2, SubtitleTable::Line3 }) {
            const std::string_view text = table.cell(column, row);
            if (text.empty()) continue;
            block += text;
            block += "\r\n";
        }
        block += "\r\n";
        out.write(block);
    }
}

} // namespace

std::unique_ptr<RowWriter> MakeSubRipWriter(const SubtitleTable&, const WriteContext& context, TextSink&)
{
    return std::make_unique<Writer>(context);
}

void WriteSubRip(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeSubRipWriter, table, firstRow, lastRow, context, out);
}

} // namespace tessel
