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
// empty text after the ninth comma is still a field; other empty fields at
// the end are none.
void splitFields(std::string_view line, std::vector<std::string_view>& fields)
{
    fields.clear();
    size_t comma;
    while (fields.size() + 1 < FieldCount && (comma = line.find(',')) != std::string_view::npos) {
        fields.push_back(line.substr(0, comma));
        line.remove_prefix(comma + 1);
    }
    if (!line.empty() || fields.size() + 1 == FieldCount) fields.push_back(line);
}

std::string_view field(const std::vector<std::string_view>& fields, size_t index)
{
    if (index >= fields.size()) throw Error("List index out of bounds (" + std::to_string(index) + ")");
    return fields[index];
}

// The text's lines at "\n" in either case: at most MaxStoredPieces, the
// last holding the rest; an empty rest is no line.
size_t splitLines(std::string_view text, std::string_view (&lines)[MaxStoredPieces])
{
    size_t count = 0;
    for (size_t from = 0; count + 1 < MaxStoredPieces;) {
        const size_t at = text.find('\\', from);
        if (at == std::string_view::npos || at + 1 >= text.size()) break;
        if (text[at + 1] != 'n' && text[at + 1] != 'N') {
            from = at + 1;
            continue;
        }
        lines[count++] = text.substr(0, at);
        text.remove_prefix(at + 2);
        from = 0;
    }
    if (!text.empty()) lines[count++] = text;
    return count;
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
void appendSsaTime(std::string& out, int32_t frame, double framerate)
{
    AppendClockTime(out, std::max(FrameToTime(frame, framerate), 0), Time);
}

void appendDialogueText(std::string& text, const SubtitleTable& table, int row)
{
    text += table.cell(SubtitleTable::Line1, row);
    for (int column : { SubtitleTable::Line2, SubtitleTable::Line3 }) {
        if (table.cell(column, row).empty()) continue;
        text += "\\n";
        text += table.cell(column, row);
    }
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
    std::vector<std::string_view> fields;
    std::string plain;
    std::string_view texts[MaxStoredPieces];
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
        std::string_view text = field(fields, TextField);
        if (text.find("{\\") != std::string_view::npos) {
            plain = RemoveBlocks(text, "{\\", "}");
            text = plain;
        }
        const size_t count = splitLines(text, texts);
        for (size_t i = count; i < 3; ++i)
            texts[i] = {};
        StoreRow(table, row, from, to, texts[0], texts[1], texts[2]);
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
            line_.assign("Dialogue: Marked=0,");
            appendSsaTime(line_, start, framerate_);
            line_ += ',';
            appendSsaTime(line_, end, framerate_);
            line_ += ",*Default,NTP,0000,0000,0000,,";
            appendDialogueText(line_, table, row);
            out.line(line_);
        }
    }

    void finish(const SubtitleTable&, TextSink&) override { }

private:
    double framerate_;
    std::string line_;
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
