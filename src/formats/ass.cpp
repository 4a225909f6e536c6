#include "formats/ass.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/timecode.h"
#include "formats/kept_data.h"
#include "formats/time_format.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unordered_map>

namespace tessel {
namespace {

// The hidden cell: the event's kind as written ("Dialogue: "), its fields
// before the text as read (times included, the last comma too), how many
// "\N" pieces its text had when trailing ones were empty (else nothing), and
// the lines that stood between the event before it and this one.
enum RowLine : size_t { KindLine, FieldsLine, PiecesLine, BeforeLines };
// The document data: how many lines come before the first event, those lines
// (the [Events] header and its Format line among them), then the lines after
// the last event.
constexpr std::string_view Tag = "ass";

constexpr ClockTimeFormat Time { ClockTimeFormat::Hundredths, '.', 1 };
constexpr std::string_view LineBreak = "\\N";

const char* const StandardFields[]
    = { "Layer", "Start", "End", "Style", "Name", "MarginL", "MarginR", "MarginV", "Effect", "Text" };

std::string error(int lineNumber, const std::string& what)
{
    return "Advanced SubStation Alpha, line " + std::to_string(lineNumber) + ": " + what;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string lowered(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Blanks before a line's name ("Format:", "Dialogue:") are allowed, as renderers allow them.
std::string_view leftTrimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}
bool named(std::string_view line, std::string_view name) { return startsWith(leftTrimmed(line), name); }

// "[Name]" with blanks around it allowed: the lower-cased name with brackets, or "".
std::string sectionName(std::string_view line)
{
    const std::string_view t = trimmed(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return {};
    return lowered(t);
}

// The fields of a Format line of [Events], by lower-cased name; Text last.
struct EventFormat {
    std::vector<std::string> names;
    size_t start = 0, end = 0;

    size_t count() const { return names.size(); }
    bool operator==(const EventFormat& other) const { return names == other.names; }
};

EventFormat standardFormat()
{
    EventFormat format;
    for (const char* name : StandardFields)
        format.names.push_back(lowered(name));
    format.start = 1;
    format.end = 2;
    return format;
}

// Throws (without a line number) when the line cannot be a format.
EventFormat parseFormat(std::string_view afterColon)
{
    EventFormat format;
    for (;;) {
        const size_t comma = afterColon.find(',');
        format.names.push_back(lowered(trimmed(afterColon.substr(0, comma))));
        if (comma == std::string_view::npos) break;
        afterColon.remove_prefix(comma + 1);
    }
    const auto at = [&](const char* name) {
        return static_cast<size_t>(std::find(format.names.begin(), format.names.end(), name) - format.names.begin());
    };
    format.start = at("start");
    format.end = at("end");
    if (format.names.back() != "text") throw Error("its Format line does not end with Text");
    if (format.start >= format.count() || format.end >= format.count())
        throw Error("its Format line names no Start or no End field");
    return format;
}

// The Format line of [Events] among the document's lines, or the standard one.
EventFormat documentFormat(const std::vector<std::string_view>& lines)
{
    bool inEvents = false;
    EventFormat format = standardFormat();
    for (std::string_view line : lines) {
        const std::string section = sectionName(line);
        if (!section.empty()) inEvents = section == "[events]";
        if (inEvents && named(line, "Format:")) {
            try {
                format = parseFormat(leftTrimmed(line).substr(7));
            } catch (const Error&) {
                // Read before with a line number; a damaged one is not used.
            }
        }
    }
    return format;
}

void splitFields(std::string_view fields, std::vector<std::string_view>& out)
{
    out.clear();
    for (;;) {
        const size_t comma = fields.find(',');
        out.push_back(fields.substr(0, comma));
        if (comma == std::string_view::npos) return;
        fields.remove_prefix(comma + 1);
    }
}

// The fields before the text of an event line's rest, `count` of them (with
// the text's own place last, empty); an event that ends before them all gets
// the missing ones empty. `short` tells so.
void eventFields(
    std::string_view rest, size_t count, std::vector<std::string_view>& fields, size_t& textAt, bool& isShort)
{
    // One pass over the short fields: a search per comma costs more than the
    // bytes. The vector keeps its size from event to event: no growing per field.
    fields.resize(count);
    isShort = false;
    size_t begin = 0, i = 0, n = 0;
    while (n + 1 < count) {
        while (i < rest.size() && rest[i] != ',')
            ++i;
        if (i == rest.size()) {
            isShort = true;
            break;
        }
        fields[n++] = rest.substr(begin, i - begin);
        begin = ++i;
    }
    textAt = isShort ? rest.size() : begin;
    // What is left before the text: the text's own place, or a short event's last field.
    fields[n++] = isShort ? rest.substr(begin) : std::string_view();
    for (; n < count; ++n)
        fields[n] = {};
}

// H:MM:SS.cc with blanks around it; the milliseconds, or -1 when it is not one.
int64_t timeOf(std::string_view text)
{
    const std::string_view t = trimmed(text);
    // The form every event has, H:MM:SS.cc (or HH), in one look: read twice a row by the reader and the writer.
    if (const size_t h = t.size() - 9; (h == 1 || h == 2) && t[h] == ':' && t[h + 3] == ':' && t[h + 6] == '.') {
        const auto digit = [&](size_t i) { return static_cast<unsigned>(t[i] - '0'); };
        const unsigned d[] = { h == 2 ? digit(0) : 0u, digit(h - 1), digit(h + 1), digit(h + 2), digit(h + 4),
            digit(h + 5), digit(h + 7), digit(h + 8) };
        if (std::all_of(std::begin(d), std::end(d), [](unsigned v) { return v < 10; }))
            return int64_t(d[0] * 10 + d[1]) * 3600000 + (d[2] * 10 + d[3]) * 60000 + (d[4] * 10 + d[5]) * 1000
                + (d[6] * 10 + d[7]) * 10;
    }
    size_t i = 0;
    int groups = 0;
    for (const char separator : { ':', ':', '.', '\0' }) {
        const size_t begin = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            ++i;
        if (i == begin) return -1;
        ++groups;
        if (separator == '\0') break;
        if (i >= t.size() || t[i] != separator) return -1;
        ++i;
    }
    if (i != t.size() || groups != 4) return -1;
    int position = 1;
    try {
        return ReadClockTime(t, position, Time);
    } catch (const Error&) {
        return -1;
    }
}

// Dialogue text into the three lines: "\N" breaks them; pieces past the
// third stay in Line 3 with their breaks. `pieces` is how many of the first
// three there were when the last of them are empty (which the cells cannot
// show), so that writing gives the same breaks back; otherwise 0.
void splitText(std::string_view text, std::string_view (&lines)[3], int& pieces)
{
    int count = 0;
    for (; count < 2; ++count) {
        const size_t at = text.find(LineBreak);
        if (at == std::string_view::npos) break;
        lines[count] = text.substr(0, at);
        text.remove_prefix(at + LineBreak.size());
    }
    lines[count] = text;
    for (int i = count + 1; i < 3; ++i)
        lines[i] = {};
    ++count;
    int shown = 0;
    for (int i = 0; i < 3; ++i)
        if (!lines[i].empty()) shown = i + 1;
    pieces = count > std::max(shown, 1) ? count : 0;
}

void joinText(const SubtitleTable& table, int row, int pieces, std::string& text)
{
    const std::string_view cells[3] = { table.cell(SubtitleTable::Line1, row), table.cell(SubtitleTable::Line2, row),
        table.cell(SubtitleTable::Line3, row) };
    int count = pieces;
    for (int i = 0; i < 3; ++i)
        if (!cells[i].empty()) count = std::max(count, i + 1);
    text.clear();
    for (int i = 0; i < count; ++i) {
        if (i) text += LineBreak;
        text += cells[i];
    }
}

// What a field holds in an event of our own, or one that had no such field.
std::string defaultField(const std::string& name)
{
    if (name == "layer" || name == "marginl" || name == "marginr" || name == "marginv") return "0";
    if (name == "style") return "Default";
    if (name == "marked") return "Marked=0";
    return {};
}

// Where each field of `to` but the text stands in `from`, or -1.
std::vector<int> fieldMap(const EventFormat& from, const EventFormat& to)
{
    std::unordered_map<std::string_view, int> at;
    for (size_t i = 0; i + 1 < from.count(); ++i)
        at.emplace(from.names[i], static_cast<int>(i));
    std::vector<int> map;
    for (size_t i = 0; i + 1 < to.count(); ++i) {
        const auto found = at.find(to.names[i]);
        map.push_back(found == at.end() ? -1 : found->second);
    }
    return map;
}

// The fields before the text, laid out as `to` wants them, from fields laid
// out as the map says.
std::string remapFields(const std::vector<std::string_view>& fields, const std::vector<int>& map, const EventFormat& to)
{
    std::string out;
    for (size_t i = 0; i < map.size(); ++i) {
        out += map[i] >= 0 ? std::string(fields[static_cast<size_t>(map[i])]) : defaultField(to.names[i]);
        out += ',';
    }
    return out;
}

// What a field of an event holds when it says nothing a SubRip-like file loses.
enum class FieldKind { Number, Style, Any, Other };

FieldKind fieldKind(const std::string& name)
{
    if (name == "layer" || name == "marginl" || name == "marginr" || name == "marginv") return FieldKind::Number;
    if (name == "style") return FieldKind::Style;
    if (name == "start" || name == "end" || name == "marked") return FieldKind::Any;
    return FieldKind::Other;
}

bool isDefault(FieldKind kind, std::string_view value)
{
    const std::string_view v = trimmed(value);
    switch (kind) {
    case FieldKind::Number:
        return v.find_first_not_of('0') == std::string_view::npos;
    case FieldKind::Style:
        return v == "Default" || v == "*Default";
    case FieldKind::Any:
        return true;
    case FieldKind::Other:
        break;
    }
    return v.empty();
}

// Whether the fields before an event's text (as its hidden cell holds them)
// say something another format loses, by the kinds of the document's fields.
bool saysMore(const std::vector<FieldKind>& kinds, std::string_view fields)
{
    const char *at = fields.data(), *end = fields.data() + fields.size();
    for (const FieldKind kind : kinds) {
        // The piece after the last comma is the text's place; the line ends at a line feed.
        const char* comma = at;
        while (comma != end && *comma != ',' && *comma != '\n')
            ++comma;
        if (comma == end || *comma == '\n') return false;
        if (!isDefault(kind, std::string_view(at, static_cast<size_t>(comma - at)))) return true;
        at = comma + 1;
    }
    return false;
}

std::vector<FieldKind> kindsOf(const SubtitleTable& table)
{
    std::vector<std::string_view> doc;
    const EventFormat format = SplitKept(table.documentData(), Tag, doc) ? documentFormat(doc) : standardFormat();
    std::vector<FieldKind> kinds;
    for (size_t i = 0; i + 1 < format.count(); ++i)
        kinds.push_back(fieldKind(format.names[i]));
    return kinds;
}

class Reader {
public:
    Reader(SubtitleTable& table, int firstRow, double framerate)
        : table_(table)
        , row_(firstRow)
        , framerate_(framerate)
        , open_(firstRow == 1)
    {
        // Appended events take the layout of the document they join.
        std::vector<std::string_view> docLines;
        if (!open_ && SplitKept(table.documentData(), Tag, docLines)) {
            size_t index = 0;
            target_ = documentFormat(ReadLineGroup(docLines, index));
        }
    }

    void read(LineReader& lines)
    {
        lines_ = &lines;
        try {
            while (!lines.atEnd()) {
                const std::string_view line = lines.readLine();
                ++lineNumber_;
                if (!take(line)) lines.noteSkipped(lineNumber_);
            }
            if (!seenEvents_)
                throw Error(error(lineNumber_, "the file ends without an [Events] section, so it holds no subtitles"));
        } catch (...) {
            keepDocument(lines);
            throw;
        }
        keepDocument(lines);
    }

private:
    // False for an event that cannot be read: it stays as it was written,
    // among the lines around the events.
    bool take(std::string_view line)
    {
        const std::string section = sectionName(line);
        bool read = true;
        if (!section.empty()) {
            if (inEvents_ && seenEvents_) eventsOver_ = true;
            inEvents_ = section == "[events]" && !eventsOver_;
            seenEvents_ = seenEvents_ || inEvents_;
        } else if (inEvents_ && named(line, "Format:") && !sawEvent_) {
            try {
                format_ = parseFormat(leftTrimmed(line).substr(7));
            } catch (const Error& e) {
                throw Error(error(lineNumber_, e.what()));
            }
        } else if (inEvents_ && (named(line, "Dialogue:") || named(line, "Comment:"))) {
            if (event(line)) return true;
            read = false;
        }
        (sawEvent_ ? between_ : before_).emplace_back(line);
        return read;
    }

    bool event(std::string_view line)
    {
        size_t kindEnd = line.find(':') + 1;
        while (kindEnd < line.size() && isBlank(line[kindEnd]))
            ++kindEnd;
        const std::string_view rest = line.substr(kindEnd);
        size_t textAt = 0;
        bool isShort = false;
        std::vector<std::string_view>& fields = fields_;
        eventFields(rest, format_.count(), fields, textAt, isShort);
        const int64_t start = timeOf(fields[format_.start]), end = timeOf(fields[format_.end]);
        if (start < 0 || end < 0) return false;
        const IntText fromText(TimeToFrame(static_cast<int32_t>(start), framerate_)),
            toText(TimeToFrame(static_cast<int32_t>(end), framerate_));
        const std::string_view from = fromText.view(), to = toText.view();
        if (!open_ && !target_) target_ = standardFormat();
        // The file's layout is settled by its first event.
        if (target_ && !sawEvent_ && !(*target_ == format_)) map_ = fieldMap(format_, *target_);
        // A short event keeps its fields as written: no comma is added to it.
        if (map_) remapped_ = remapFields(fields, *map_, *target_);
        const std::string_view remapped = map_ ? std::string_view(remapped_) : rest.substr(0, textAt);

        std::string_view text[3];
        int pieces = 0;
        splitText(isShort ? std::string_view() : rest.substr(textAt), text, pieces);
        const bool first = !sawEvent_;
        // Rows going to another format need the hidden cell only for what it
        // tells that format leaves out: a dialogue line with fields that say
        // nothing more needs none.
        if (!lines_->keepsFile() && !first && !map_ && !named(line, "Comment:")) {
            if (!kindsKnown_) kinds_ = kindsOf(table_);
            kindsKnown_ = true;
            if (!saysMore(kinds_, remapped)) {
                StoreRow(table_, row_, from, to, text[0], text[1], text[2]);
                between_.clear();
                return true;
            }
        }
        // The hidden cell as JoinKept makes it, put together in place.
        extra_.assign(Tag);
        for (const std::string_view part : { line.substr(0, kindEnd), remapped }) {
            extra_ += '\n';
            extra_ += part;
        }
        extra_ += '\n';
        if (pieces) AppendInt(extra_, pieces, 1);
        if (first) {
            sawEvent_ = true;
        } else {
            for (const std::string& l : between_) {
                extra_ += '\n';
                extra_ += l;
            }
        }
        StoreRow(table_, row_, from, to, text[0], text[1], text[2], extra_);
        between_.clear();
        // What comes before the events is known now: a writer of rows as
        // they come starts with it.
        if (first) keepDocument(*lines_);
        return true;
    }

    // An opened script's lines around its events become the document's,
    // once it gave rows: one that gave none leaves the table as it was.
    void keepDocument(const LineReader& reader)
    {
        if (!open_ || !sawEvent_) return;
        std::vector<std::string_view> lines;
        std::string count;
        AppendLineGroup(lines, count, before_);
        for (const std::string& l : between_)
            lines.emplace_back(l);
        table_.setDocumentData(JoinKept(Tag, lines, { reader.byteOrderMark(), reader.lineFeedsOnly() }));
    }

    SubtitleTable& table_;
    LineReader* lines_ = nullptr;
    int row_;
    double framerate_;
    bool open_;
    std::optional<EventFormat> target_; // the layout events are stored in, when not the file's own
    std::optional<std::vector<int>> map_; // from the file's layout to that one, when they differ
    EventFormat format_ = standardFormat();
    int lineNumber_ = 0;
    bool inEvents_ = false, seenEvents_ = false, eventsOver_ = false, sawEvent_ = false;
    std::vector<FieldKind> kinds_; // of the document's fields, once known
    bool kindsKnown_ = false;
    std::vector<std::string> before_; // the lines before the first event
    std::vector<std::string> between_; // since the last event
    // Each event's pieces, reused from one to the next.
    std::vector<std::string_view> fields_;
    std::string remapped_, extra_;
};

std::string colour(int32_t bgr, int alpha)
{
    char text[16];
    std::snprintf(text, sizeof text, "&H%02X%06X", alpha & 0xFF, static_cast<unsigned>(bgr) & 0xFFFFFFu);
    return text;
}

const char* const ScriptHeader[] = {
    "[Script Info]",
    "Title: <untitled>",
    "ScriptType: v4.00+",
    "WrapStyle: 0",
    "ScaledBorderAndShadow: yes",
    "PlayResY: 1024",
    "",
    "[V4+ Styles]",
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, "
    "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
    "MarginR, MarginV, Encoding",
};

const char* const EventsHeader[] = {
    "",
    "[Events]",
    "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text",
};

class Writer : public RowWriter {
public:
    Writer(const SubtitleTable& table, const WriteContext& context, TextSink& out)
        : framerate_(context.framerate)
    {
        std::vector<std::string_view> doc;
        if (SplitKept(table.documentData(), Tag, doc)) {
            size_t index = 0;
            const std::vector<std::string_view> before = ReadLineGroup(doc, index);
            format_ = documentFormat(before);
            for (std::string_view line : before)
                out.line(line);
        } else {
            for (const char* line : ScriptHeader)
                out.line(line);
            out.line(AssStyleLine(context.ssa));
            for (const char* line : EventsHeader)
                out.line(line);
        }
    }

    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override
    {
        for (int r = firstRow; r <= lastRow; ++r)
            row(table, r, out);
    }

    // The lines after the last event, from the document as it is now.
    void finish(const SubtitleTable& table, TextSink& out) override
    {
        std::vector<std::string_view> doc;
        if (!SplitKept(table.documentData(), Tag, doc)) return;
        size_t index = 0;
        ReadLineGroup(doc, index);
        for (size_t i = index; i < doc.size(); ++i)
            out.line(doc[i]);
    }

private:
    void row(const SubtitleTable& table, int row, TextSink& out)
    {
        std::vector<std::string_view>& fields = fields_;
        fields.clear();
        std::string_view kind = "Dialogue: ";
        int pieces = 0;
        size_t written = 0; // of a short event, the fields it had
        if (SplitKept(table.cell(SubtitleTable::Extra, row), Tag, kept_)) {
            for (size_t i = BeforeLines; i < kept_.size(); ++i)
                out.line(kept_[i]);
            kind = KeptLine(kept_, KindLine);
            splitFields(KeptLine(kept_, FieldsLine), fields);
            const std::string_view piecesText = KeptLine(kept_, PiecesLine);
            pieces = piecesText.empty() ? 0 : std::clamp(piecesText[0] - '0', 0, 3);
            // A layout that does not fit this document's: its fields are not used.
            if (fields.size() > format_.count() || std::max(format_.start, format_.end) >= fields.size())
                fields.clear();
            else if (fields.size() < format_.count()) {
                written = fields.size();
                fields.resize(format_.count());
            }
        }
        if (fields.empty()) {
            if (defaults_.empty()) {
                for (size_t i = 0; i + 1 < format_.count(); ++i)
                    defaults_.push_back(defaultField(format_.names[i]));
                defaults_.emplace_back();
            }
            fields.assign(defaults_.begin(), defaults_.end());
        }
        const std::string start = time(table.cell(SubtitleTable::From, row), fields[format_.start]);
        const std::string end = time(table.cell(SubtitleTable::To, row), fields[format_.end]);
        std::string& text = text_;
        joinText(table, row, pieces, text);
        // A short event with no text yet is written as short as it was read.
        const bool asShort = written && text.empty();
        const size_t count = asShort ? written : format_.count() - 1;
        line_.assign(kind);
        for (size_t i = 0; i < count; ++i) {
            if (i) line_ += ',';
            line_ += i == format_.start ? std::string_view(start)
                : i == format_.end      ? std::string_view(end)
                                        : fields[i];
        }
        if (!asShort) (line_ += ',') += text;
        out.line(line_);
    }

    // The time as read while it still stands for the cell's frame, else the frame's own.
    std::string time(std::string_view cell, std::string_view read) const
    {
        const int32_t frame = FrameOfCell(cell);
        const int64_t ms = timeOf(read);
        if (ms >= 0 && TimeToFrame(static_cast<int32_t>(ms), framerate_) == frame) return std::string(read);
        // The file has no form for a time before the film starts.
        return FormatClockTime(std::max(FrameToTime(frame, framerate_), 0), Time);
    }

    double framerate_;
    std::vector<std::string_view> kept_, fields_;
    EventFormat format_ = standardFormat();
    std::vector<std::string> defaults_; // the fields of a row with none of its own, made once
    std::string line_, text_;
};

} // namespace

bool HasAssContent(std::string_view head)
{
    LineReader lines(head);
    bool first = true;
    while (!lines.atEnd()) {
        const std::string_view line = trimmed(lines.readLine());
        if (first) {
            if (line.empty()) continue;
            if (lowered(line) != "[script info]") return false;
            first = false;
            continue;
        }
        const std::string lower = lowered(line);
        if (lower == "[v4+ styles]") return true;
        if (startsWith(lower, "scripttype:") && trimmed(std::string_view(lower).substr(11)) == "v4.00+") return true;
    }
    return false;
}

bool LooksLikeAss(const DetectionInput& input)
{
    return HasExtension(input.fileName, ".ass") || HasAssContent(input.head);
}

// Asked for every row a view shows: the kind is the line after the tag.
bool IsAssComment(std::string_view extra)
{
    return IsKeptBy(extra, Tag) && named(extra.substr(std::min(extra.size(), Tag.size() + 1)), "Comment:");
}

namespace {

class LeftOut : public LeftOutCount {
public:
    std::string_view tag() const override { return Tag; }
    void rows(const SubtitleTable& table, int firstRow, int lastRow) override
    {
        // The layout is the document's, settled before its first row.
        if (kinds_.empty()) kinds_ = kindsOf(table);
        for (int row = firstRow; row <= lastRow; ++row) {
            const std::string_view extra = table.cell(SubtitleTable::Extra, row);
            if (extra.empty() || !IsKeptBy(extra, Tag)) continue;
            // Only the first two lines after the tag's, each scanned once: not
            // split whole for every row.
            const size_t tagEnd
                = extra.size() > Tag.size() && extra[Tag.size()] == '\n' ? Tag.size() : extra.find('\n');
            if (tagEnd == std::string_view::npos) continue;
            const std::string_view kindLine = extra.substr(tagEnd + 1);
            if (named(kindLine, "Comment:")) {
                ++comments_;
                continue;
            }
            const size_t kindEnd = kindLine.find('\n');
            if (kindEnd == std::string_view::npos) continue;
            fieldRows_ += saysMore(kinds_, kindLine.substr(kindEnd + 1));
        }
    }

    std::vector<std::string> items(const SubtitleTable& table) const override
    {
        std::vector<std::string> items;
        std::vector<std::string_view> doc;
        if (SplitKept(table.documentData(), Tag, doc)) {
            bool styles = false, fonts = false, graphics = false;
            for (std::string_view line : doc) {
                styles = styles || named(line, "Style:");
                fonts = fonts || sectionName(line) == "[fonts]";
                graphics = graphics || sectionName(line) == "[graphics]";
            }
            if (styles) items.emplace_back("styles");
            if (fonts) items.emplace_back("fonts");
            if (graphics) items.emplace_back("graphics");
        }
        if (comments_)
            items.push_back(std::to_string(comments_) + (comments_ == 1 ? " comment line" : " comment lines"));
        if (fieldRows_)
            items.push_back("the layer, style, name, margins or effect of " + std::to_string(fieldRows_)
                + (fieldRows_ == 1 ? " line" : " lines"));
        return items;
    }

private:
    std::vector<FieldKind> kinds_;
    int comments_ = 0, fieldRows_ = 0;
};

} // namespace

std::unique_ptr<LeftOutCount> AssLeftOut(std::string_view target)
{
    if (target == Tag) return nullptr;
    return std::make_unique<LeftOut>();
}

std::vector<std::string> AssDataLeftOut(const SubtitleTable& table, std::string_view target)
{
    const std::unique_ptr<LeftOutCount> count = AssLeftOut(target);
    if (!count) return {};
    count->rows(table, 1, table.rowCount() - 1);
    return count->items(table);
}

std::string AssStyleLine(const SsaExportSettings& s)
{
    // Alignment as on a numeric keypad; AlphaLevel, tenths of transparency,
    // becomes the alpha of the text's own two colours. TertiaryColour has no
    // place of its own here: the outline colour took it.
    const int alignment = s.horizontalIndex + 1 + (s.verticalIndex == 0 ? 6 : s.verticalIndex == 1 ? 3 : 0);
    const int alpha = (s.alphaLevel * 255 + 5) / 10;
    const std::string c = ",";
    return "Style: Default," + s.fontName + c + std::to_string(s.fontPointSize) + c + colour(s.primaryColour, alpha) + c
        + colour(s.secondaryColour, alpha) + c + colour(s.outlineColour, 0) + c + colour(0, 0) + c
        + (s.bold ? "-1" : "0") + c + (s.italic ? "-1" : "0") + ",0,0,100,100,0,0,1," + std::to_string(s.outlineIndex)
        + c + std::to_string(s.shadowIndex) + c + std::to_string(alignment) + c + std::to_string(s.marginLeft) + c
        + std::to_string(s.marginRight) + c + std::to_string(s.marginVertical) + c + std::to_string(s.charset);
}

void ReadAss(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    Reader(table, firstRow, framerate).read(lines);
}

std::unique_ptr<RowWriter> MakeAssWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out)
{
    return std::make_unique<Writer>(table, context, out);
}

void WriteAss(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeAssWriter, table, firstRow, lastRow, context, out);
}

} // namespace tessel
