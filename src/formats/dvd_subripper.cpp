#include "formats/dvd_subripper.h"

#include "core/numbers.h"
#include "core/text_utils.h"
#include "core/timecode.h"
#include "formats/time_format.h"

#include <algorithm>
#include <array>

namespace tessel {
namespace {

using TextLines = std::array<std::string, 3>;

const char* const Header[] = {
    "{HEAD",
    "DISCID=",
    "DVDTITLE=",
    "CODEPAGE=",
    "FORMAT=ASCII",
    "LANG=en",
    "TITLE=1",
    "ORIGINAL=",
    "AUTHOR=",
    "WEB=",
    "INFO=",
    "LICENSE=",
    "}",
};

// "{T hh:mm:ss:cc", read as four digit runs whatever separates them.
constexpr ClockTimeFormat Time { ClockTimeFormat::Hundredths, ':' };

int64_t timeLineFrame(std::string_view line, double framerate)
{
    int position = 1;
    return TimeToFrame(ReadClockTime(line, position, Time), framerate);
}

void skipHeader(LineReader& lines)
{
    std::string_view line;
    while (!lines.atEnd() && line != "}")
        line = lines.readLine();
}

// The table holds three lines; a fourth and later ones join the third so that
// no text is lost.
void takeTextLine(TextLines& texts, size_t index, std::string_view line)
{
    if (index < texts.size()) {
        texts[index] = line;
    } else if (!line.empty()) {
        if (!texts[2].empty()) texts[2] += ' ';
        texts[2] += line;
    }
}

// Runs on to the closing "}"; a line the file ends with is not taken.
void readBlockText(LineReader& lines, TextLines& texts)
{
    for (auto& text : texts)
        text.clear();
    size_t count = 0;
    std::string_view line = lines.readLine();
    while (!lines.atEnd() && line != "}") {
        takeTextLine(texts, count++, line);
        line = lines.readLine();
    }
}

// Display time grows by one frame per character shown.
int64_t longestEnd(int64_t start, const TextLines& texts, double framerate)
{
    int64_t characters = 0;
    for (const auto& text : texts)
        characters += CharacterCount(text);
    return CheckedAdd(CheckedAdd(start, FramesForSeconds(framerate, 2.5L)), characters);
}

std::string timeLine(int32_t frame, double framerate)
{
    return "{T " + FormatClockTime(FrameToTime(frame, framerate), Time);
}

} // namespace

bool LooksLikeDVDSubripper(const DetectionInput& input)
{
    return input.firstLine.find("{HEAD") != std::string_view::npos;
}

void ReadDVDSubripper(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    skipHeader(lines);
    int row = firstRow;
    int64_t nextStart = 0;
    TextLines texts;
    while (!lines.atEnd()) {
        // The time line after a block was read already: that subtitle starts a frame later.
        const int64_t start = nextStart == 0 ? timeLineFrame(lines.readLine(), framerate) : CheckedAdd(nextStart, 1);
        readBlockText(lines, texts);
        nextStart = lines.atEnd() ? CheckedAdd(start, FramesForSeconds(framerate, 5))
                                  : timeLineFrame(lines.readLine(), framerate);
        if (texts[0].empty()) continue;
        const int64_t end = std::min(nextStart, longestEnd(start, texts, framerate));
        StoreRow(table, row, IntToStr(start), IntToStr(end), texts[0], texts[1], texts[2]);
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
            out.line(timeLine(StrToInt(table.cell(SubtitleTable::From, row)), framerate_));
            for (int column : { SubtitleTable::Line1, SubtitleTable::Line2, SubtitleTable::Line3 })
                if (!table.cell(column, row).empty()) out.line(table.cell(column, row));
            out.line("}");
        }
    }

    void finish(const SubtitleTable&, TextSink&) override { }

private:
    double framerate_;
};

} // namespace

std::unique_ptr<RowWriter> MakeDVDSubripperWriter(const SubtitleTable&, const WriteContext& context, TextSink& out)
{
    return std::make_unique<Writer>(context, out);
}

void WriteDVDSubripper(
    const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeDVDSubripperWriter, table, firstRow, lastRow, context, out);
}

} // namespace tessel
