#include "formats/webvtt.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/timecode.h"
#include "formats/ass.h"
#include "formats/kept_data.h"
#include "formats/time_format.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>

namespace tessel {
namespace {

// The hidden cell: the cue's identifier (or nothing), its timing line in four
// parts as read (start time, what stands between the times, end time, the
// settings after it), the payload lines past the third (counted), then the
// lines between the cue before and this one: blank lines, NOTE blocks.
enum RowLine : size_t { IdLine, StartLine, ArrowLine, EndLine, SettingsLine, MoreTextLines };
// The document data: whether the file's times had hours, how many lines came
// before the first cue (the header line, STYLE, REGION and NOTE blocks), those
// lines, then the lines after the last cue.
enum DocumentLine : size_t { HoursLine, BeforeLines };
constexpr std::string_view Tag = "webvtt";
constexpr std::string_view Arrow = "-->";

std::string error(int lineNumber, const std::string& what)
{
    return "WebVTT, line " + std::to_string(lineNumber) + ": " + what;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\f'; }

size_t skipBlanks(std::string_view s, size_t i)
{
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return i;
}

size_t digitsFrom(std::string_view s, size_t i)
{
    size_t end = i;
    while (end < s.size() && isDigit(s[end]))
        ++end;
    return end;
}

int64_t number(std::string_view digits)
{
    int64_t value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

struct Timestamp {
    size_t end = 0; // just after it; 0: there is none
    int32_t milliseconds = 0;
    bool hours = false;
};

// [hh:]mm:ss.ttt at `i`, as the format defines it: minutes and seconds of two
// digits below 60, three digits of milliseconds; hours of any length, and a
// first field that is not two digits below 60 is hours. A comma before the
// milliseconds, as SubRip writes them, is read too.
Timestamp timestampAt(std::string_view s, size_t i)
{
    Timestamp t;
    // The usual hh:mm:ss.ttt, two a cue, read at once.
    if (s.size() - i >= 12 && s[i + 2] == ':' && s[i + 5] == ':' && (s[i + 8] == '.' || s[i + 8] == ',')
        && (s.size() - i == 12 || !isDigit(s[i + 12]))) {
        int d[9];
        bool digits = true;
        for (int k = 0, at = 0; k < 12; ++k) {
            if (k == 2 || k == 5 || k == 8) continue;
            d[at] = s[i + static_cast<size_t>(k)] - '0';
            digits = digits && static_cast<unsigned>(d[at]) < 10u;
            ++at;
        }
        const int minutes = d[2] * 10 + d[3], seconds = d[4] * 10 + d[5];
        if (digits && minutes < 60 && seconds < 60) {
            t.hours = true;
            t.milliseconds
                = (d[0] * 10 + d[1]) * 3600000 + minutes * 60000 + seconds * 1000 + d[6] * 100 + d[7] * 10 + d[8];
            t.end = i + 12;
            return t;
        }
    }
    size_t end = digitsFrom(s, i);
    if (end == i || end - i > 9) return {};
    int64_t fields[3] = { 0, number(s.substr(i, end - i)), 0 };
    t.hours = end - i != 2 || fields[1] > 59;
    if (end >= s.size() || s[end] != ':') return {};
    i = end + 1;
    end = digitsFrom(s, i);
    if (end - i != 2) return {};
    fields[2] = number(s.substr(i, 2));
    if (t.hours || (end < s.size() && s[end] == ':')) {
        if (end >= s.size() || s[end] != ':') return {};
        t.hours = true;
        i = end + 1;
        end = digitsFrom(s, i);
        if (end - i != 2) return {};
        fields[0] = fields[1];
        fields[1] = fields[2];
        fields[2] = number(s.substr(i, 2));
    }
    if (end >= s.size() || (s[end] != '.' && s[end] != ',')) return {};
    i = end + 1;
    end = digitsFrom(s, i);
    if (end - i != 3 || fields[1] > 59 || fields[2] > 59) return {};
    const int64_t ms = fields[0] * 3600000 + fields[1] * 60000 + fields[2] * 1000 + number(s.substr(i, 3));
    if (ms > std::numeric_limits<int32_t>::max()) return {};
    t.milliseconds = static_cast<int32_t>(ms);
    t.end = end;
    return t;
}

// A kept time text: the blanks before it allowed, nothing after it.
std::optional<int32_t> keptTime(std::string_view text)
{
    const size_t at = skipBlanks(text, 0);
    const Timestamp t = timestampAt(text, at);
    if (!t.end || t.end != text.size()) return std::nullopt;
    return t.milliseconds;
}

struct Timing {
    std::string_view start, arrow, end, settings;
    Timestamp from, to;
};

std::optional<Timing> parseTiming(std::string_view line)
{
    Timing t;
    t.from = timestampAt(line, skipBlanks(line, 0));
    if (!t.from.end) return std::nullopt;
    size_t i = skipBlanks(line, t.from.end);
    if (line.substr(i, Arrow.size()) != Arrow) return std::nullopt;
    const size_t toAt = skipBlanks(line, i + Arrow.size());
    t.to = timestampAt(line, toAt);
    if (!t.to.end) return std::nullopt;
    t.start = line.substr(0, t.from.end);
    t.arrow = line.substr(t.from.end, toAt - t.from.end);
    t.end = line.substr(toAt, t.to.end - toAt);
    t.settings = line.substr(t.to.end);
    return t;
}

bool holdsArrow(std::string_view line) { return line.find(Arrow) != std::string_view::npos; }

// The first word of a block's first line: "NOTE", "STYLE", "REGION".
bool startsBlock(std::string_view line, std::string_view word)
{
    return line.substr(0, word.size()) == word && (line.size() == word.size() || isBlank(line[word.size()]));
}

class Reader {
public:
    Reader(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
        : lines_(lines)
        , table_(table)
        , row_(firstRow)
        , framerate_(framerate)
        , open_(firstRow == 1)
    {
    }

    void read()
    {
        // The format ends a line at CR, LF or CR LF.
        lines_.setCarriageReturnEnds(true);
        try {
            std::string line;
            if (!next(line) || !IsWebVttHeader(line))
                throw Error(error(1, "a WebVTT file starts with the line WEBVTT"));
            before_.push_back(line);
            bool inBlock = true; // the header's block
            while (next(line)) {
                if (line.empty()) {
                    inBlock = false;
                    pending().push_back(line);
                } else if (holdsArrow(line)) {
                    cue({}, line);
                    inBlock = false;
                } else if (inBlock) {
                    pending().push_back(line);
                } else {
                    // A block's first line names the cue when the second is its timing line.
                    std::string following;
                    const bool more = next(following);
                    if (more && holdsArrow(following)) {
                        cue(line, following);
                        continue;
                    }
                    if (more) hold(following);
                    pending().push_back(line);
                    inBlock = true;
                }
            }
        } catch (...) {
            keepDocument();
            throw;
        }
        keepDocument();
    }

private:
    bool next(std::string& line)
    {
        if (haveHeld_) {
            haveHeld_ = false;
            line.swap(held_);
            ++lineNumber_;
            return true;
        }
        if (lines_.atEnd()) return false;
        line.assign(lines_.readLine());
        ++lineNumber_;
        return true;
    }
    void hold(std::string& line)
    {
        held_.swap(line);
        haveHeld_ = true;
        --lineNumber_;
    }
    std::vector<std::string>& pending() { return sawCue_ ? between_ : before_; }

    void cue(const std::string& id, const std::string& timingLine)
    {
        const std::optional<Timing> timing = parseTiming(timingLine);
        if (!timing) return skip(id, timingLine);
        const IntText fromText(TimeToFrame(timing->from.milliseconds, framerate_)),
            toText(TimeToFrame(timing->to.milliseconds, framerate_));
        const std::string_view from = fromText.view(), to = toText.view();
        // The payload ends at a blank line, or where a line holding "-->" starts the next cue.
        // Its lines' rooms are used again from cue to cue.
        std::vector<std::string>& text = text_;
        size_t lines = 0;
        while (true) {
            if (lines == text.size()) text.emplace_back();
            std::string& line = text[lines];
            if (!next(line)) break;
            if (line.empty() || holdsArrow(line)) {
                hold(line);
                break;
            }
            ++lines;
        }
        for (size_t i = lines; i < std::max<size_t>(lines, 3); ++i) {
            if (i == text.size()) text.emplace_back();
            text[i].clear();
        }
        const bool first = !sawCue_;
        // Rows going to another format need the hidden cell only for what it
        // tells that format leaves out: a cue with none of that (blank lines
        // before it tell nothing) needs none.
        if (!lines_.keepsFile() && !first && id.empty() && lines <= 3
            && skipBlanks(timing->settings, 0) >= timing->settings.size()
            && std::all_of(between_.begin(), between_.end(), [](const std::string& l) { return l.empty(); })) {
            StoreRow(table_, row_, from, to, text[0], text[1], text[2]);
            between_.clear();
            return;
        }
        // The hidden cell as JoinKept makes it, put together in place.
        extra_.assign(Tag);
        const auto keep = [&](std::string_view line) {
            extra_ += '\n';
            extra_ += line;
        };
        for (const std::string_view part :
            { std::string_view(id), timing->start, timing->arrow, timing->end, timing->settings })
            keep(part);
        extra_ += '\n';
        AppendInt(extra_, static_cast<int64_t>(lines > 3 ? lines - 3 : 0), 1);
        for (size_t i = 3; i < lines; ++i)
            keep(text[i]);
        if (first) {
            sawCue_ = true;
            hours_ = timing->from.hours;
        } else {
            for (const std::string& l : between_)
                keep(l);
        }
        StoreRow(table_, row_, from, to, text[0], text[1], text[2], extra_);
        between_.clear();
        // What comes before the cues is known now: a writer of rows as they
        // come starts with it.
        if (first) keepDocument();
    }

    // A block whose timing line does not parse is no cue: it stays with the
    // lines around the cues as it was, up to a blank line or a line that
    // starts the next block.
    void skip(const std::string& id, const std::string& timingLine)
    {
        lines_.noteSkipped(lineNumber_ - (id.empty() ? 0 : 1));
        if (!id.empty()) pending().push_back(id);
        pending().push_back(timingLine);
        std::string line;
        while (next(line)) {
            if (line.empty() || holdsArrow(line)) {
                hold(line);
                return;
            }
            pending().push_back(std::move(line));
        }
    }

    // As with every reader: a file that gave no rows leaves the table alone.
    void keepDocument()
    {
        if (!open_ || !sawCue_) return;
        std::vector<std::string_view> lines = { hours_ ? "1" : "" };
        std::string count;
        AppendLineGroup(lines, count, before_);
        for (const std::string& l : between_)
            lines.emplace_back(l);
        table_.setDocumentData(JoinKept(Tag, lines, { lines_.byteOrderMark(), lines_.lineFeedsOnly() }));
    }

    LineReader& lines_;
    SubtitleTable& table_;
    int row_;
    double framerate_;
    bool open_;
    int lineNumber_ = 0;
    std::string held_;
    bool haveHeld_ = false;
    bool sawCue_ = false, hours_ = false;
    std::vector<std::string> before_, between_;
    std::vector<std::string> text_; // a cue's payload lines
    std::string extra_;
};

void appendTime(std::string& out, int32_t milliseconds, bool hours)
{
    const int64_t ms = std::max(milliseconds, 0);
    if (hours || ms >= 3600000) {
        AppendInt(out, ms / 3600000, 2);
        out += ':';
    }
    AppendInt(out, ms / 60000 % 60, 2);
    out += ':';
    AppendInt(out, ms / 1000 % 60, 2);
    out += '.';
    AppendInt(out, ms % 1000, 3);
}

class Writer : public RowWriter {
public:
    Writer(const SubtitleTable& table, const WriteContext& context, TextSink& out)
        : framerate_(context.framerate)
    {
        std::vector<std::string_view> doc;
        if (SplitKept(table.documentData(), Tag, doc)) {
            hours_ = !KeptLine(doc, HoursLine).empty();
            size_t index = BeforeLines;
            for (std::string_view line : ReadLineGroup(doc, index))
                put(out, line);
            afterKeptLines_ = true;
            keptDocument_ = true;
        } else {
            put(out, "WEBVTT");
        }
    }

    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override
    {
        for (int r = firstRow; r <= lastRow; ++r)
            row(table, r, out);
    }

    // The lines after the last cue, from the document as it is now.
    void finish(const SubtitleTable& table, TextSink& out) override
    {
        if (!keptDocument_) {
            put(out, "");
            return;
        }
        std::vector<std::string_view> doc;
        SplitKept(table.documentData(), Tag, doc);
        size_t index = BeforeLines;
        ReadLineGroup(doc, index);
        for (size_t i = index; i < doc.size(); ++i)
            put(out, doc[i]);
    }

private:
    void row(const SubtitleTable& table, int row, TextSink& out)
    {
        std::vector<std::string_view> more, before;
        const bool kept = SplitKept(table.cell(SubtitleTable::Extra, row), Tag, kept_);
        if (kept) {
            size_t index = MoreTextLines;
            more = ReadLineGroup(kept_, index);
            before.assign(kept_.begin() + static_cast<std::ptrdiff_t>(std::min(index, kept_.size())), kept_.end());
        }
        // A cue needs a blank line after the text of the cue before it, unless
        // a line that ends that text anyway comes first (a block that was
        // skipped); after the file's own lines it stands as it was read.
        const bool needsBlank
            = before.empty() ? !(kept && afterKeptLines_) : !(before.front().empty() || holdsArrow(before.front()));
        if (!lastBlank_ && needsBlank) put(out, "");
        for (std::string_view line : before)
            put(out, line);
        afterKeptLines_ = false;
        if (kept && !KeptLine(kept_, IdLine).empty()) put(out, KeptLine(kept_, IdLine));
        line_.clear();
        time(table.cell(SubtitleTable::From, row), kept ? KeptLine(kept_, StartLine) : std::string_view());
        line_ += kept ? KeptLine(kept_, ArrowLine) : " --> ";
        time(table.cell(SubtitleTable::To, row), kept ? KeptLine(kept_, EndLine) : std::string_view());
        if (kept) line_ += KeptLine(kept_, SettingsLine);
        put(out, line_);
        // An empty line would end the cue; "-->" would start another.
        for (int column : { SubtitleTable::Line1, SubtitleTable::Line2, SubtitleTable::Line3 })
            if (!table.cell(column, row).empty()) putText(out, table.cell(column, row));
        for (std::string_view line : more)
            if (!line.empty()) putText(out, line);
    }

    void put(TextSink& out, std::string_view line)
    {
        out.line(line);
        lastBlank_ = line.empty();
    }
    void putText(TextSink& out, std::string_view text)
    {
        if (!holdsArrow(text)) return put(out, text);
        std::string escaped;
        for (size_t at; (at = text.find(Arrow)) != std::string_view::npos; text.remove_prefix(at + Arrow.size()))
            (escaped += text.substr(0, at)) += "--&gt;";
        put(out, escaped += text);
    }
    // The time as read while it still stands for the cell's frame, else the frame's own.
    void time(std::string_view cell, std::string_view read)
    {
        const int32_t frame = FrameOfCell(cell);
        const std::optional<int32_t> ms = keptTime(read);
        if (ms && TimeToFrame(*ms, framerate_) == frame)
            line_ += read;
        else
            appendTime(line_, FrameToTime(frame, framerate_), hours_);
    }

    double framerate_;
    bool hours_ = false, keptDocument_ = false, lastBlank_ = false, afterKeptLines_ = false;
    std::vector<std::string_view> kept_;
    std::string line_;
};

// NOTE, STYLE and REGION blocks among kept lines.
struct Blocks {
    int notes = 0;
    bool styles = false, regions = false;

    void count(const std::vector<std::string_view>& lines, size_t from)
    {
        bool blockStart = true;
        for (size_t i = from; i < lines.size(); ++i)
            take(lines[i], blockStart);
    }
    void take(std::string_view line, bool& blockStart)
    {
        if (blockStart) {
            notes += startsBlock(line, "NOTE");
            styles = styles || startsBlock(line, "STYLE");
            regions = regions || startsBlock(line, "REGION");
        }
        blockStart = line.empty();
    }
};

// The lines of a hidden cell after its tag's, one at a time, as SplitKept
// gives them: a row's cell is not split into a vector for one look.
class KeptLines {
public:
    explicit KeptLines(std::string_view data)
    {
        const size_t tagEnd = data.find('\n');
        done_ = tagEnd == std::string_view::npos;
        if (!done_) rest_ = data.substr(tagEnd + 1);
    }
    bool done() const { return done_; }
    // The next line; past the last, an empty one.
    std::string_view next()
    {
        if (done_) return {};
        const size_t end = rest_.find('\n');
        const std::string_view line = rest_.substr(0, end);
        if (end == std::string_view::npos)
            done_ = true;
        else
            rest_.remove_prefix(end + 1);
        return line;
    }

private:
    std::string_view rest_;
    bool done_ = false;
};

std::string counted(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

bool IsWebVttHeader(std::string_view firstLine)
{
    return firstLine.substr(0, 6) == "WEBVTT" && (firstLine.size() == 6 || firstLine[6] == ' ' || firstLine[6] == '\t');
}

bool LooksLikeWebVtt(const DetectionInput& input)
{
    // A file whose lines end at CR alone is one line to detection.
    const bool crHeader = input.head.substr(0, 7) == "WEBVTT\r";
    return IsWebVttHeader(input.firstLine) || crHeader
        || (HasExtension(input.fileName, ".vtt") && !HasAssContent(input.head));
}

namespace {

class LeftOut : public LeftOutCount {
public:
    std::string_view tag() const override { return Tag; }
    void rows(const SubtitleTable& table, int firstRow, int lastRow) override
    {
        for (int row = firstRow; row <= lastRow; ++row) {
            const std::string_view extra = table.cell(SubtitleTable::Extra, row);
            if (extra.empty() || !IsKeptBy(extra, Tag)) continue;
            KeptLines lines(extra);
            static_assert(IdLine == 0 && SettingsLine == 4 && MoreTextLines == 5);
            ids_ += !lines.next().empty();
            for (size_t i = IdLine + 1; i < SettingsLine; ++i)
                lines.next();
            const std::string_view s = lines.next();
            settings_ += skipBlanks(s, 0) < s.size();
            // A count of lines, as many as there are at most (as ReadLineGroup reads it).
            const std::string_view countText = lines.next();
            size_t count = 0;
            std::from_chars(countText.data(), countText.data() + countText.size(), count);
            size_t skipped = 0;
            for (; skipped < count && !lines.done(); ++skipped)
                lines.next();
            moreText_ += static_cast<int>(skipped);
            bool blockStart = true;
            while (!lines.done())
                blocks_.take(lines.next(), blockStart);
        }
    }

    std::vector<std::string> items(const SubtitleTable& table) const override
    {
        std::vector<std::string> items;
        Blocks blocks = blocks_;
        std::vector<std::string_view> lines;
        if (SplitKept(table.documentData(), Tag, lines)) blocks.count(lines, BeforeLines + 1);
        if (blocks.styles) items.emplace_back("styles");
        if (blocks.regions) items.emplace_back("regions");
        if (blocks.notes) items.push_back(counted(blocks.notes, "note", "notes"));
        if (ids_) items.push_back("the identifiers of " + counted(ids_, "cue", "cues"));
        if (settings_) items.push_back("the settings of " + counted(settings_, "cue", "cues"));
        if (moreText_) items.push_back(counted(moreText_, "text line past the third", "text lines past the third"));
        return items;
    }

private:
    Blocks blocks_;
    int ids_ = 0, settings_ = 0, moreText_ = 0;
};

} // namespace

std::unique_ptr<LeftOutCount> WebVttLeftOut(std::string_view target)
{
    if (target == Tag) return nullptr;
    return std::make_unique<LeftOut>();
}

std::vector<std::string> WebVttDataLeftOut(const SubtitleTable& table, std::string_view target)
{
    const std::unique_ptr<LeftOutCount> count = WebVttLeftOut(target);
    if (!count) return {};
    count->rows(table, 1, table.rowCount() - 1);
    return count->items(table);
}

void ReadWebVtt(LineReader& lines, SubtitleTable& table, int firstRow, double framerate)
{
    Reader(lines, table, firstRow, framerate).read();
}

std::unique_ptr<RowWriter> MakeWebVttWriter(const SubtitleTable& table, const WriteContext& context, TextSink& out)
{
    return std::make_unique<Writer>(table, context, out);
}

void WriteWebVtt(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeWebVttWriter, table, firstRow, lastRow, context, out);
}

} // namespace tessel
