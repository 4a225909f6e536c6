#include "formats/subrip.h"

#include "core/numbers.h"
#include "core/timecode.h"
#include "formats/time_format.h"

namespace tessel {
namespace {

int32_t readTime(std::string_view line, int& position)
{
    const int32_t h = ReadNextNumber(line, position);
    const int32_t m = ReadNextNumber(line, position);
    const int32_t s = ReadNextNumber(line, position);
    const int32_t ms = ReadNextNumber(line, position);
    return TimeValuesToMilisecond(h, m, s, ms);
}

bool digitsAt(std::string_view line, size_t at, size_t count)
{
    for (size_t i = at; i < at + count; ++i)
        if (static_cast<unsigned char>(line[i] - '0') > 9) return false;
    return true;
}

int32_t number(std::string_view line, size_t at, size_t count)
{
    int32_t v = 0;
    for (size_t i = at; i < at + count; ++i)
        v = v * 10 + (line[i] - '0');
    return v;
}

// "hh:mm:ss,mmm --> hh:mm:ss,mmm" as it almost always stands: the same eight
// numbers the digit-run scan finds, read without scanning. Anything else
// (more digits, other separators, a shorter line) takes the general scan.
bool readUsualTimes(std::string_view line, int32_t& start, int32_t& end)
{
    if (line.size() < 29 || line.substr(12, 5) != " --> ") return false;
    if (line.size() > 29 && static_cast<unsigned char>(line[29] - '0') <= 9) return false;
    for (size_t base : { size_t(0), size_t(17) }) {
        if (!digitsAt(line, base, 2) || !digitsAt(line, base + 3, 2) || !digitsAt(line, base + 6, 2)
            || !digitsAt(line, base + 9, 3))
            return false;
        for (size_t sep : { base + 2, base + 5, base + 8 })
            if (static_cast<unsigned char>(line[sep] - '0') <= 9) return false;
    }
    start = TimeValuesToMilisecond(number(line, 0, 2), number(line, 3, 2), number(line, 6, 2), number(line, 9, 3));
    end = TimeValuesToMilisecond(number(line, 17, 2), number(line, 20, 2), number(line, 23, 2), number(line, 26, 3));
    return true;
}

} // namespace

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
            int32_t start = 0, end = 0;
            if (!readUsualTimes(timeLine, start, end)) {
                int position = 1;
                start = readTime(timeLine, position);
                end = readTime(timeLine, position);
            }
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

void WriteSubRip(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    std::string block;
    for (int row = firstRow; row <= lastRow; ++row) {
        block.clear();
        AppendInt(block, row, 1);
        block += "\r\n";
        const double fps = context.framerate;
        AppendClockTime(block, FrameToTime(ReadFrameCell(table.cell(SubtitleTable::From, row)), fps), ',');
        block += " --> ";
        AppendClockTime(block, FrameToTime(ReadFrameCell(table.cell(SubtitleTable::To, row)), fps), ',');
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

} // namespace tessel
