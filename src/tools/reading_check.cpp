#include "tools/reading_check.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "tools/shot_timing.h"

#include <QChar>
#include <algorithm>
#include <cmath>
#include <limits>

namespace tessel {
namespace {

constexpr std::array<std::string_view, ReadingRuleCount> RuleIds = { "reading-speed", "line-length", "line-count",
    "min-duration", "max-duration", "min-gap", "shot-change-in", "shot-change-out" };
constexpr std::array<std::string_view, ReadingRuleCount> RuleCaptions
    = { "Reading speed", "Characters per line", "Lines", "Minimum duration", "Maximum duration",
          "Gap between subtitles", "Start at a shot change", "End at a shot change" };

const QString DoneMessage = QStringLiteral("The reading speed and layout check is complete.");

// What a row is checked for, in the order a run meets them. The gap to the
// next subtitle comes first and the durations before the reading speed, so
// that a later fix of the same row never undoes an earlier one: every later
// end stays within the gap, and a shortened subtitle is not lengthened past
// its maximum again. The shot changes come last of the timing: their fixes
// are taken only where they break none of the rules before them.
enum Check {
    GapCheck,
    MaxDurationCheck,
    MinDurationCheck,
    SpeedCheck,
    InTimeCheck,
    OutTimeCheck,
    Line1Check,
    Line2Check,
    Line3Check,
    LinesCheck
};
constexpr int CheckCount = 10;
// How often one check of a row is looked at again after answers that changed
// the table; a fix needs two looks at most.
constexpr int MaxRounds = 16;
// Past every 32-bit frame number, from any start.
constexpr int64_t AnyEnd = int64_t(1) << 33;
constexpr int LinesPerRow = 3;

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// One code point from `i` on; bytes that are no valid UTF-8 count one each.
char32_t decode(std::string_view text, size_t& i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i++);
    int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t cp = more == 3 ? lead & 0x07 : more == 2 ? lead & 0x0F : more == 1 ? lead & 0x1F : lead;
    while (more-- > 0 && i < text.size() && isContinuation(byte(i)))
        cp = (cp << 6) | (byte(i++) & 0x3F);
    return cp;
}

bool isSpaceOrPunctuation(char32_t cp) { return QChar::isSpace(cp) || QChar::isPunct(cp); }

// "<i>", "</i>", "<font color=...>", "<00:00:01.500>": not "a < b".
bool opensTag(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '!';
}

// Tenths of a character per second as shown: rounded half away from zero,
// with the last bits of floating-point noise taken as exact.
int64_t shownTenths(int characters, int64_t frames, double framerate)
{
    const double v = characters * framerate * 10 / static_cast<double>(frames);
    return static_cast<int64_t>(std::floor(v + 0.5 + std::max(v, 1.0) * 1e-12));
}

std::string tenthsText(int64_t tenths, char separator)
{
    return IntToStr(tenths / 10) + separator + static_cast<char>('0' + tenths % 10);
}

// Limits are mostly whole numbers; those need no decimal formatting.
std::string limitText(double limit, char separator)
{
    if (limit == std::floor(limit)) return IntToStr(static_cast<int64_t>(limit));
    return FormatFloatThreeDecimals(limit, separator, true);
}

std::string framesText(int64_t frames, double framerate, char separator)
{
    return IntToStr(frames) + (frames == 1 || frames == -1 ? " frame (" : " frames (")
        + FormatFloatThreeDecimals(static_cast<long double>(frames) / framerate, separator, true) + " s)";
}

// White space and punctuation of the ASCII range, looked up rather than asked
// of Unicode's tables for every character.
struct AsciiClasses {
    std::array<bool, 128> spaceOrPunctuation {};
    std::array<bool, 128> space {};
    // ASCII with no meaning for the counting beyond its class: not a line
    // end, nor what may open markup.
    std::array<bool, 256> plain {};
    AsciiClasses()
    {
        for (char32_t c = 0; c < 128; ++c) {
            space[c] = QChar::isSpace(c);
            spaceOrPunctuation[c] = space[c] || QChar::isPunct(c);
            plain[c] = c != '{' && c != '<' && c != '\n' && c != '\r';
        }
    }
};

const AsciiClasses& asciiClasses()
{
    static const AsciiClasses classes;
    return classes;
}

// What one line holds for a reader: every character, those that are not
// white space, and those that are neither white space nor punctuation.
struct LineCount {
    int all = 0, visible = 0, letters = 0;
};

void countCharacter(LineCount& n, std::string_view line, size_t& i, const AsciiClasses& ascii)
{
    const auto lead = static_cast<unsigned char>(line[i]);
    ++n.all;
    if (lead < 0x80) {
        ++i;
        n.visible += !ascii.space[lead];
        n.letters += !ascii.spaceOrPunctuation[lead];
        return;
    }
    const char32_t cp = decode(line, i);
    if (!QChar::isSpace(cp)) ++n.visible;
    if (!isSpaceOrPunctuation(cp)) ++n.letters;
}

LineCount countLine(std::string_view line)
{
    LineCount n;
    // Once a closing brace or bracket is missing, it is missing for the rest:
    // remembering that keeps a line of ten million "{" linear.
    bool braceCloses = true, bracketCloses = true;
    const AsciiClasses& ascii = asciiClasses();
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (const auto byte = static_cast<unsigned char>(c); ascii.plain[byte]) {
            ++n.all;
            n.visible += !ascii.space[byte];
            n.letters += !ascii.spaceOrPunctuation[byte];
            ++i;
            continue;
        }
        if (c == '{' && braceCloses) {
            const size_t close = line.find('}', i + 1);
            if (close != std::string_view::npos) {
                i = close + 1;
                continue;
            }
            braceCloses = false;
        } else if (c == '<' && bracketCloses && i + 1 < line.size() && opensTag(line[i + 1])) {
            const size_t close = line.find('>', i + 2);
            if (close != std::string_view::npos) {
                i = close + 1;
                continue;
            }
            bracketCloses = false;
        } else if (c == '\n' || c == '\r') {
            ++i;
            continue;
        }
        countCharacter(n, line, i, ascii);
    }
    return n;
}

void applyProposal(SubtitleTable& table, const ReadingFinding& finding)
{
    if (finding.proposedStart) table.setCell(SubtitleTable::From, finding.row, IntToStr(*finding.proposedStart));
    if (finding.proposedEnd) table.setCell(SubtitleTable::To, finding.row, IntToStr(*finding.proposedEnd));
}

std::string proposalText(const ReadingFinding& finding)
{
    if (finding.proposedStart) return IntToStr(*finding.proposedStart);
    return finding.proposedEnd ? IntToStr(*finding.proposedEnd) : std::string();
}

} // namespace

std::string_view ReadingRuleId(ReadingRule rule) { return RuleIds[static_cast<size_t>(rule)]; }

std::string_view ReadingRuleCaption(ReadingRule rule) { return RuleCaptions[static_cast<size_t>(rule)]; }

int ReadingCharacters(std::string_view line, bool spacesAndPunctuation)
{
    const LineCount counts = countLine(line);
    return spacesAndPunctuation ? counts.all : counts.letters;
}

// What the checks of one row read from the table.
struct ReadingRules::Row {
    int row = 0;
    std::optional<int32_t> start, end, nextStart, previousEnd;
    bool last = false;
    std::array<int, LinesPerRow> lineCharacters {};
    int lines = 0; // lines with something to see
    int readingCharacters = 0;
};

ReadingRules::ReadingRules(const ReadingProfile& profile, double framerate, RuleSet rules)
    : profile_(profile)
    , framerate_(framerate)
    , rules_(rules)
{
    if (!(framerate > 0) || !std::isfinite(framerate)) throw Error("Invalid framerate!");
    if (profile_.minDuration) minDuration_ = profile_.minDuration->atLeastFrames(framerate);
    if (profile_.maxDuration) maxDuration_ = profile_.maxDuration->atMostFrames(framerate);
    if (profile_.minGap) minGap_ = profile_.minGap->atLeastFrames(framerate);
    if (profile_.maxCharsPerSecond) speedLimitTenths_ = *profile_.maxCharsPerSecond * 10 + 1e-9;
    if (profile_.shotChangeIn) shotIn_ = profile_.shotChangeIn->nearestFrames(framerate);
    if (profile_.shotChangeOut) shotOut_ = profile_.shotChangeOut->nearestFrames(framerate);
    if (profile_.shotChangeGap) shotGap_ = profile_.shotChangeGap->atLeastFrames(framerate);
}

void ReadingRules::setShotChanges(std::vector<int64_t> cuts)
{
    std::sort(cuts.begin(), cuts.end());
    cuts_ = std::move(cuts);
    hasCuts_ = true;
}

bool ReadingRules::checks(ReadingRule rule) const
{
    if (!rules_[static_cast<size_t>(rule)]) return false;
    switch (rule) {
    case ReadingRule::ReadingSpeed:
        return profile_.maxCharsPerSecond.has_value();
    case ReadingRule::LineLength:
        return profile_.maxCharsPerLine.has_value();
    case ReadingRule::LineCount:
        return profile_.maxLines.has_value();
    case ReadingRule::MinDuration:
        return profile_.minDuration.has_value();
    case ReadingRule::MaxDuration:
        return profile_.maxDuration.has_value();
    case ReadingRule::MinGap:
        return profile_.minGap.has_value();
    case ReadingRule::ShotChangeIn:
        return hasCuts_ && profile_.shotChangeIn.has_value();
    case ReadingRule::ShotChangeOut:
        return hasCuts_ && profile_.shotChangeOut.has_value();
    }
    return false;
}

ReadingRules::Row ReadingRules::readRow(const SubtitleTable& table, int row) const
{
    Row r;
    r.row = row;
    r.start = TryStrToInt(table.cell(SubtitleTable::From, row));
    r.end = TryStrToInt(table.cell(SubtitleTable::To, row));
    r.last = row + 1 >= table.rowCount();
    if (!r.last) r.nextStart = TryStrToInt(table.cell(SubtitleTable::From, row + 1));
    if (row > 1) r.previousEnd = TryStrToInt(table.cell(SubtitleTable::To, row - 1));
    if (!checks(ReadingRule::ReadingSpeed) && !checks(ReadingRule::LineLength) && !checks(ReadingRule::LineCount))
        return r;
    for (int i = 0; i < LinesPerRow; ++i) {
        const LineCount counts = countLine(table.cell(SubtitleTable::Line1 + i, row));
        r.lineCharacters[i] = counts.all;
        if (counts.visible > 0) ++r.lines;
        r.readingCharacters += profile_.countSpacesAndPunctuation ? counts.all : counts.letters;
    }
    return r;
}

// A later end for the row, as close to `wanted` as there is room for:
// never past the next start less the profile's gap, nor past the maximum
// duration when that is checked. Nothing when there is no room.
std::optional<int32_t> ReadingRules::laterEnd(const Row& r, int64_t wanted) const
{
    int64_t upper = std::numeric_limits<int32_t>::max();
    if (!r.last) {
        if (!r.nextStart) return std::nullopt; // the next start is unknown
        upper = int64_t(*r.nextStart) - minGap_;
    }
    if (checks(ReadingRule::MaxDuration)) upper = std::min(upper, int64_t(*r.start) + maxDuration_);
    const int64_t end = std::min(wanted, upper);
    if (end <= *r.end) return std::nullopt;
    return static_cast<int32_t>(end);
}

// The fewest frames that show `characters` within the limit, as shown.
int64_t ReadingRules::framesForSpeed(int characters) const
{
    // Shown as at most T tenths means below T + 0.5 tenths before rounding:
    // frames > characters * framerate * 10 / (T + 0.5). The steps after the
    // estimate only mend floating-point noise.
    const double most = std::floor(speedLimitTenths_);
    const double bound = characters * framerate_ * 10 / (most + 0.5);
    if (!(bound < AnyEnd)) return AnyEnd; // no frame number reaches that far
    const auto within = [&](int64_t frames) { return shownTenths(characters, frames, framerate_) <= most; };
    int64_t frames = std::max<int64_t>(1, static_cast<int64_t>(bound) + 1);
    for (int step = 0; step < 4 && frames > 1 && within(frames - 1); ++step)
        --frames;
    for (int step = 0; step < 4 && !within(frames); ++step)
        ++frames;
    return frames;
}

std::optional<ReadingFinding> ReadingRules::evaluate(const Row& r, int check, bool propose) const
{
    ReadingFinding f;
    f.row = r.row;
    f.start = r.start;
    const bool timed = r.start && r.end;
    const int64_t duration = timed ? int64_t(*r.end) - *r.start : 0;
    switch (check) {
    case GapCheck: {
        if (!checks(ReadingRule::MinGap) || !r.end || !r.nextStart) return std::nullopt;
        const int64_t gap = int64_t(*r.nextStart) - *r.end;
        if (gap >= minGap_) return std::nullopt;
        f.rule = ReadingRule::MinGap;
        f.measured = gap;
        f.limit = static_cast<double>(minGap_);
        const int64_t end = int64_t(*r.nextStart) - minGap_;
        if (propose && r.start && end > *r.start) f.proposedEnd = static_cast<int32_t>(end);
        return f;
    }
    case MaxDurationCheck:
        if (!checks(ReadingRule::MaxDuration) || !timed || duration <= maxDuration_) return std::nullopt;
        f.rule = ReadingRule::MaxDuration;
        f.measured = duration;
        f.limit = static_cast<double>(maxDuration_);
        if (propose) f.proposedEnd = static_cast<int32_t>(*r.start + maxDuration_);
        return f;
    case MinDurationCheck:
        if (!checks(ReadingRule::MinDuration) || !timed || duration >= minDuration_) return std::nullopt;
        f.rule = ReadingRule::MinDuration;
        f.measured = duration;
        f.limit = static_cast<double>(minDuration_);
        if (propose) f.proposedEnd = laterEnd(r, *r.start + minDuration_);
        return f;
    case SpeedCheck: {
        if (!checks(ReadingRule::ReadingSpeed) || !timed || r.readingCharacters == 0) return std::nullopt;
        f.endless = duration <= 0;
        if (!f.endless) {
            f.measured = shownTenths(r.readingCharacters, duration, framerate_);
            if (f.measured <= speedLimitTenths_) return std::nullopt;
        }
        f.rule = ReadingRule::ReadingSpeed;
        f.limit = *profile_.maxCharsPerSecond;
        if (propose) f.proposedEnd = laterEnd(r, *r.start + framesForSpeed(r.readingCharacters));
        return f;
    }
    case InTimeCheck:
        return inTime(r, propose);
    case OutTimeCheck:
        return outTime(r, propose);
    case LinesCheck:
        if (!checks(ReadingRule::LineCount) || r.lines <= *profile_.maxLines) return std::nullopt;
        f.rule = ReadingRule::LineCount;
        f.column = SubtitleTable::Line1 + std::min(*profile_.maxLines, LinesPerRow - 1);
        f.measured = r.lines;
        f.limit = *profile_.maxLines;
        return f;
    default: {
        const int line = check - Line1Check;
        if (!checks(ReadingRule::LineLength) || r.lineCharacters[line] <= *profile_.maxCharsPerLine)
            return std::nullopt;
        f.rule = ReadingRule::LineLength;
        f.column = SubtitleTable::Line1 + line;
        f.measured = r.lineCharacters[line];
        f.limit = *profile_.maxCharsPerLine;
        return f;
    }
    }
}

bool ReadingRules::onCut(int64_t frame) const { return std::binary_search(cuts_.begin(), cuts_.end(), frame); }

// Whether the row may start and end there: it still shows, overlaps neither
// neighbour, and passes every rule before the shot changes that it passed
// (one it failed it fails no worse).
bool ReadingRules::keepsRules(const Row& r, int64_t start, int64_t end) const
{
    if (!r.start || !r.end || end <= start) return false;
    if ((r.previousEnd && start < *r.previousEnd) || (r.nextStart && end > *r.nextStart)) return false;
    // Within a limit, or no further from it than it was.
    const auto kept = [](int64_t now, int64_t was, bool within, bool wasWithin, bool lowerIsWorse) {
        return within || (!wasWithin && (lowerIsWorse ? now >= was : now <= was));
    };
    if (checks(ReadingRule::MinGap)) {
        if (r.previousEnd) {
            const int64_t now = start - *r.previousEnd, was = int64_t(*r.start) - *r.previousEnd;
            if (!kept(now, was, now >= minGap_, was >= minGap_, true)) return false;
        }
        if (r.nextStart) {
            const int64_t now = *r.nextStart - end, was = int64_t(*r.nextStart) - *r.end;
            if (!kept(now, was, now >= minGap_, was >= minGap_, true)) return false;
        }
    }
    const int64_t now = end - start, was = int64_t(*r.end) - *r.start;
    if (checks(ReadingRule::MinDuration) && !kept(now, was, now >= minDuration_, was >= minDuration_, true))
        return false;
    if (checks(ReadingRule::MaxDuration) && !kept(now, was, now <= maxDuration_, was <= maxDuration_, false))
        return false;
    if (checks(ReadingRule::ReadingSpeed) && r.readingCharacters > 0) {
        const auto within = [&](int64_t frames) {
            return frames > 0 && shownTenths(r.readingCharacters, frames, framerate_) <= speedLimitTenths_;
        };
        if (!kept(now, was, within(now), within(was), true)) return false;
    }
    return true;
}

// An in-time near a cut, before or after it, belongs on it.
std::optional<ReadingFinding> ReadingRules::inTime(const Row& r, bool propose) const
{
    if (!checks(ReadingRule::ShotChangeIn) || !r.start) return std::nullopt;
    const int64_t start = *r.start;
    const int64_t cut = NearestCut(cuts_, start);
    if (cut < 0 || cut == start || std::llabs(cut - start) > shotIn_) return std::nullopt;
    if (r.end && cut >= *r.end) return std::nullopt; // a cut after the subtitle is none of its business
    ReadingFinding f;
    f.row = r.row;
    f.start = r.start;
    f.rule = ReadingRule::ShotChangeIn;
    f.column = SubtitleTable::From;
    f.measured = start - cut;
    f.limit = static_cast<double>(shotIn_);
    f.cut = cut;
    if (propose && r.end && keepsRules(r, cut, *r.end)) f.proposedStart = static_cast<int32_t>(cut);
    return f;
}

// An out-time near a cut belongs on it or the gap before it: before the cut,
// preferably at the gap; after it (the subtitle running into the next shot),
// preferably on the cut.
std::optional<ReadingFinding> ReadingRules::outTime(const Row& r, bool propose) const
{
    if (!checks(ReadingRule::ShotChangeOut) || !r.end) return std::nullopt;
    const int64_t end = *r.end;
    if (onCut(end) || onCut(end + shotGap_)) return std::nullopt;
    const auto next = std::upper_bound(cuts_.begin(), cuts_.end(), end);
    const int64_t ahead = next != cuts_.end() && *next - end <= shotOut_ ? *next : -1;
    int64_t behind = next != cuts_.begin() ? *std::prev(next) : -1;
    if (behind < 0 || end - behind > shotOut_ || !r.start || behind <= *r.start) behind = -1;
    if (ahead < 0 && behind < 0) return std::nullopt;
    const bool before = ahead >= 0 && (behind < 0 || ahead - end <= end - behind);
    const int64_t cut = before ? ahead : behind;
    ReadingFinding f;
    f.row = r.row;
    f.start = r.start;
    f.rule = ReadingRule::ShotChangeOut;
    f.measured = end - cut;
    f.limit = static_cast<double>(shotOut_);
    f.cut = cut;
    if (!propose || !r.start) return f;
    const std::array<int64_t, 2> targets
        = before ? std::array<int64_t, 2> { cut - shotGap_, cut } : std::array<int64_t, 2> { cut, cut - shotGap_ };
    for (int64_t target : targets)
        if (keepsRules(r, *r.start, target)) {
            f.proposedEnd = static_cast<int32_t>(target);
            break;
        }
    return f;
}

bool ReadingRules::forEachFinding(
    const SubtitleTable& table, int row, const std::function<bool(const ReadingFinding&)>& found, bool proposals) const
{
    Row facts = readRow(table, row);
    uint64_t revision = table.revision();
    for (int check = 0; check < CheckCount; ++check) {
        // A finding whose answer changed the table is looked at again, so
        // that what a fix or an edit left is not passed over; an answer that
        // changed nothing moves on.
        for (int round = 0; round < MaxRounds; ++round) {
            if (table.revision() != revision) {
                facts = readRow(table, row);
                revision = table.revision();
            }
            const std::optional<ReadingFinding> finding = evaluate(facts, check, proposals);
            if (!finding) break;
            if (!found(*finding)) return false;
            if (table.revision() == revision) break;
        }
    }
    return true;
}

std::string ReadingRules::message(const ReadingFinding& f, char separator) const
{
    const std::string limit = limitText(f.limit, separator);
    const auto frames = [&](int64_t n) { return framesText(n, framerate_, separator); };
    switch (f.rule) {
    case ReadingRule::ReadingSpeed:
        if (f.endless) return "Text shown for no time at all, reading speed limit " + limit + " characters/s.";
        return "Reading speed " + tenthsText(f.measured, separator) + " characters/s, limit " + limit + ".";
    case ReadingRule::LineLength:
        return "Line " + std::to_string(f.column - SubtitleTable::Line1 + 1) + ": " + IntToStr(f.measured)
            + " characters, limit " + limit + ".";
    case ReadingRule::LineCount:
        return IntToStr(f.measured) + " lines, limit " + limit + ".";
    case ReadingRule::MinDuration:
        return "Shown " + frames(f.measured) + ", minimum " + frames(static_cast<int64_t>(f.limit)) + ".";
    case ReadingRule::MaxDuration:
        return "Shown " + frames(f.measured) + ", maximum " + frames(static_cast<int64_t>(f.limit)) + ".";
    case ReadingRule::MinGap:
        return "Gap to the next subtitle " + frames(f.measured) + ", minimum " + frames(static_cast<int64_t>(f.limit))
            + ".";
    case ReadingRule::ShotChangeIn:
    case ReadingRule::ShotChangeOut: {
        const bool in = f.rule == ReadingRule::ShotChangeIn;
        return std::string(in ? "Starts " : "Ends ") + frames(std::llabs(f.measured))
            + (f.measured < 0 ? " before" : " after") + " the shot change at frame " + IntToStr(f.cut) + "; within "
            + frames(static_cast<int64_t>(f.limit))
            + (in ? " of a shot change a subtitle starts on it."
                  : " of a shot change a subtitle ends on it or " + frames(shotGap_) + " before it.");
    }
    }
    return {};
}

std::string ReadingRules::MeasuredText(const ReadingFinding& f)
{
    if (f.rule != ReadingRule::ReadingSpeed) return IntToStr(f.measured);
    return f.endless ? "inf" : tenthsText(f.measured, '.');
}

std::string ReadingRules::LimitText(const ReadingFinding& f) { return limitText(f.limit, '.'); }

void LintReading(
    const SubtitleTable& table, const ReadingRules& rules, const std::function<void(const ReadingFinding&)>& found)
{
    for (int row = 1; row < table.rowCount(); ++row)
        rules.forEachFinding(
            table, row,
            [&](const ReadingFinding& f) {
                found(f);
                return true;
            },
            false);
}

ReadingFixReport FixReading(SubtitleTable& table, const ReadingRules& rules)
{
    ReadingFixReport report;
    SubtitleTable::BulkChange bulk(table);
    for (int row = 1; row < table.rowCount(); ++row)
        rules.forEachFinding(table, row, [&](const ReadingFinding& f) {
            if (f.hasProposal()) {
                applyProposal(table, f);
                ++report.fixed;
            } else {
                ++report.left;
            }
            return true;
        });
    return report;
}

CheckOutcome CheckReading(
    SubtitleTable& table, const ReadingRules& rules, bool autoFix, const CheckServices& services, char decimalSeparator)
{
    services.video.Pause();
    int fixed = 0;
    for (int row = 1; row < table.rowCount(); ++row) {
        const bool goOn = rules.forEachFinding(table, row, [&](const ReadingFinding& f) {
            if (autoFix && f.hasProposal()) {
                applyProposal(table, f);
                ++fixed;
                return true;
            }
            const std::string proposal = proposalText(f);
            return ShowCheckDialog(
                table, services.dialog, f.row, f.column, rules.message(f, decimalSeparator), proposal);
        });
        if (!goOn) return CheckOutcome::Cancelled;
    }
    QString done = DoneMessage;
    if (fixed > 0) done += QStringLiteral("\n%1 corrected by Auto-fix.").arg(fixed);
    services.messages.showDone(done);
    return CheckOutcome::Completed;
}

} // namespace tessel
