#include "formats/ssa.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/text_utils.h"
#include "core/timecode.h"
#include "formats/time_format.h"

#include <algorithm>

namespace tessel {
namespace {

const char* const ScriptInfo[] = {
    "[Script Info]",
    "Title: <untitled>",
    "Original Script: <unknown>",
    "Synch Point: Side 1 0m00s",
    "ScriptType: v4.00",
    "Collisions: Normal",
    "PlayResY: 1024",
    "PlayDepth: 0",
    "Timer: 100,0000",
    "",
    "[V4 Styles]",
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, TertiaryColour, BackColour, Bold, Italic, "
    "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, AlphaLevel, Encoding",
};

const char* const EventsHeader[] = {
    "",
    "[Events]",
    "Format: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text",
};

constexpr size_t StartField = 1, EndField = 2, TextField = 9, FieldCount = 10;

// The first nine commas separate fields; the text keeps its own commas. An
// empty text after the ninth comma is still a field.
void splitFields(std::string_view line, std::vector<std::string>& fields)
{
    SplitText(line, ",", fields, false, static_cast<int>(FieldCount));
    if (fields.size() < FieldCount && std::count(line.begin(), line.end(), ',') >= 9) fields.resize(FieldCount);
}

const std::string& field(const std::vector<std::string>& fields, size_t index)
{
    if (index >= fields.size()) throw Error("List index out of bounds (" + std::to_string(index) + ")");
    return fields[index];
}

// H:MM:SS.cc, read as four digit runs; missing ones are 0.
constexpr ClockTimeFormat Time { ClockTimeFormat::Hundredths, '.', 1 };

std::string timeFrame(std::string_view time, double framerate)
{
    int position = 1;
    return IntToStr(TimeToFrame(ReadClockTime(time, position, Time), framerate));
}

// The file has no form for a time before the film starts: such a time is
// written as the start itself.
std::string ssaTime(int32_t frame, double framerate)
{
    return FormatClockTime(std::max(FrameToTime(frame, framerate), 0), Time);
}

std::string dialogueText(const SubtitleTable& table, int row)
{
    std::string text(table.cell(SubtitleTable::Line1, row));
    for (int column : { SubtitleTable::Line2, SubtitleTable::Line3 }) {
        if (table.cell(column, row).empty()) continue;
        text += "\\n";
        text += table.cell(column, row);
    }
    return text;
}

} // namespace

// Only the name tells: a file named ".ssa" in any case, unless its first line is empty.
bool LooksLikeSSA(const DetectionInput& input)
{
    return !input.firstLine.empty() && HasExtension(input.fileName, ".ssa");
}

void ReadSSA(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    int row = firstRow;
    std::vector<std::string> fields, texts;
    while (!lines.atEnd()) {
        const std::string_view line = lines.readLine();
        if (line.find("Dialogue:") == std::string_view::npos) continue;
        splitFields(line, fields);
        // Times are written as they are read, so a line that lacks its text field
        // leaves them in the row (where that row exists) before the error.
        const std::string from = timeFrame(field(fields, StartField), framerate);
        if (row < table.rowCount()) table.setCell(SubtitleTable::From, row, from);
        const std::string to = timeFrame(field(fields, EndField), framerate);
        if (row < table.rowCount()) table.setCell(SubtitleTable::To, row, to);
        SplitText(RemoveBlocks(field(fields, TextField), "{\\", "}"), "\\n", texts, true, MaxStoredPieces);
        StoreRow(table, row, from, to, PieceOrEmpty(texts, 0), PieceOrEmpty(texts, 1), PieceOrEmpty(texts, 2));
    }
}

namespace {

class Writer : public RowWriter {
public:
    Writer(const WriteContext& context, TextSink& out)
        : framerate_(context.framerate)
    {
        for (const char* line : ScriptInfo)
            out.line(line);
        out.line(context.ssa.styleLine());
        for (const char* line : EventsHeader)
            out.line(line);
    }

    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override
    {
        for (int row = firstRow; row <= lastRow; ++row) {
            const int32_t start = StrToInt(table.cell(SubtitleTable::From, row));
            const int32_t end = StrToInt(table.cell(SubtitleTable::To, row));
            out.line("Dialogue: Marked=0," + ssaTime(start, framerate_) + "," + ssaTime(end, framerate_)
                + ",*Default,NTP,0000,0000,0000,," + dialogueText(table, row));
        }
    }

    void finish(const SubtitleTable&, TextSink&) override { }

private:
    double framerate_;
};

} // namespace

std::unique_ptr<RowWriter> MakeSSAWriter(const SubtitleTable&, const WriteContext& context, TextSink& out)
{
    return std::make_unique<Writer>(context, out);
}

void WriteSSA(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeSSAWriter, table, firstRow, lastRow, context, out);
}

} // namespace tessel
