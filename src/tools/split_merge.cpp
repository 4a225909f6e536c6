#include "tools/split_merge.h"

#include "core/markup.h"
#include "core/numbers.h"
#include "core/text_utils.h"
#include "tools/reading_check.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

namespace tessel {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

// Each line trimmed, blank ones left out, empty markup pairs gone.
std::string tidy(std::string_view text) { return JoinLines(TextLines(DropEmptyMarkupPairs(text))); }

std::string flatText(std::string_view text)
{
    std::string flat;
    for (const std::string& line : TextLines(text))
        flat += (flat.empty() ? "" : " ") + line;
    return flat;
}

// The text cut at each position (outside markup), what is open at a cut
// closed before it and opened again after.
std::vector<std::string> cutText(std::string_view text, const std::vector<size_t>& cuts)
{
    std::vector<std::string> parts;
    std::string opening;
    size_t from = 0;
    for (size_t cut : cuts) {
        const OpenMarkup open = MarkupOpenAt(text, cut);
        parts.push_back(tidy(opening + std::string(trimmed(text.substr(from, cut - from))) + open.closing));
        opening = open.reopening;
        from = cut;
    }
    parts.push_back(tidy(opening + std::string(trimmed(text.substr(from)))));
    return parts;
}

std::optional<std::pair<int32_t, int32_t>> rowFrames(const SubtitleTable& table, int row)
{
    const auto start = TryStrToInt(table.cell(SubtitleTable::From, row));
    const auto end = TryStrToInt(table.cell(SubtitleTable::To, row));
    if (!start || !end) return std::nullopt;
    return std::make_pair(*start, *end);
}

// Parts of one row as rows with their share of its time.
std::optional<RowChange> partsAsRows(
    const SubtitleTable& table, int row, const std::vector<std::string>& parts, int gap, std::string& problem)
{
    const auto frames = rowFrames(table, row);
    if (!frames) {
        problem = "The subtitle's frames are not whole numbers.";
        return std::nullopt;
    }
    std::vector<int> weights;
    for (const std::string& part : parts)
        weights.push_back(ReadingCharacters(part));
    const auto shares = ShareTime(frames->first, frames->second, weights, gap);
    if (shares.empty()) {
        problem = "The subtitle is too short to split with " + std::to_string(gap) + " frame(s) between the parts.";
        return std::nullopt;
    }
    RowChange change { row, 1, {} };
    const std::string extra(table.cell(SubtitleTable::Extra, row));
    for (size_t i = 0; i < parts.size(); ++i)
        change.rows.push_back({ IntToStr(shares[i].first), IntToStr(shares[i].second), parts[i], extra });
    return change;
}

// The two texts as lines, if they fit `lines` lines of `charsPerLine`; or
// else broken again to fit, if they can.
std::optional<std::string> mergedText(std::string_view a, std::string_view b, const LineLimits& limits)
{
    std::vector<std::string> lines = TextLines(a);
    for (std::string& line : TextLines(b))
        lines.push_back(std::move(line));
    const std::string asLines = JoinLines(lines);
    if (TextFits(asLines, limits)) return asLines;
    const std::string rebroken = JoinLines(BreakText(asLines, limits));
    if (TextFits(rebroken, limits)) return rebroken;
    return std::nullopt;
}

} // namespace

int MinGapFrames(const ReadingProfile& profile, double framerate)
{
    if (!profile.minGap) return 0;
    return static_cast<int>(std::clamp<int64_t>(profile.minGap->atLeastFrames(framerate), 0, INT_MAX / 4));
}

std::vector<std::pair<int32_t, int32_t>> ShareTime(int32_t start, int32_t end, const std::vector<int>& weights, int gap)
{
    const auto k = static_cast<int64_t>(weights.size());
    const int64_t available = int64_t(end) - start - int64_t(gap) * (k - 1);
    if (k == 0 || gap < 0 || available < k) return {};
    int64_t total = 0;
    for (int w : weights)
        total += std::max(w, 0);
    std::vector<std::pair<int32_t, int32_t>> shares;
    int64_t partStart = start, done = 0;
    for (int64_t i = 0; i < k; ++i) {
        done += total > 0 ? std::max(weights[static_cast<size_t>(i)], 0) : 1;
        const int64_t share = std::llround(static_cast<double>(available) * done / (total > 0 ? total : k));
        // Every part keeps a frame, and leaves one for each part after it.
        const int64_t latest = end - (k - 1 - i) * (int64_t(gap) + 1);
        const int64_t partEnd = std::clamp(start + share + gap * i, partStart + 1, latest);
        shares.emplace_back(static_cast<int32_t>(partStart), static_cast<int32_t>(partEnd));
        partStart = partEnd + gap;
    }
    return shares;
}

TextToolResult PlanSplit(const SubtitleTable& table, int row, std::optional<size_t> position, int gap)
{
    TextToolResult result;
    const std::string text = RowText(table, row);
    if (!position) position = BestCut(text);
    if (!position) {
        result.problem = "No place to split this subtitle.";
        return result;
    }
    size_t cut = std::min(*position, text.size());
    for (const TextSpan& span : MarkupSpans(text))
        if (span.start < cut && cut < span.end) cut = span.end;
    const std::vector<std::string> parts = cutText(text, { cut });
    if (IsMarkupOnly(parts[0]) || IsMarkupOnly(parts[1])) {
        result.problem = "Nothing to split there: one part would have no text.";
        return result;
    }
    result.change = partsAsRows(table, row, parts, gap, result.problem);
    return result;
}

TextToolResult PlanMerge(const SubtitleTable& table, int row, int charsPerLine)
{
    TextToolResult result;
    if (row < 1 || row + 1 >= table.rowCount()) {
        result.problem = "There is no next subtitle to merge with.";
        return result;
    }
    std::vector<std::string> lines = TextLines(RowText(table, row));
    for (std::string& line : TextLines(RowText(table, row + 1)))
        lines.push_back(std::move(line));
    std::string text = JoinLines(lines);
    if (lines.size() > static_cast<size_t>(TextLineCount))
        text = JoinLines(BreakText(text, LineLimits { charsPerLine, TextLineCount }));
    NewRow merged = CopyRow(table, row);
    merged.to = std::string(table.cell(SubtitleTable::To, row + 1));
    merged.text = std::move(text);
    result.change = RowChange { row, 2, { std::move(merged) } };
    return result;
}

namespace {

// Parts of a flat text, from one cut place to another. Place n stands for
// the text's start (as a segment's start) and its end (as a segment's end).
class Segments {
public:
    Segments(const std::string& flat, const LineLimits& limits)
        : limits_(limits)
        , places_(CutPlaces(flat))
        , n_(places_.size())
        , total_(ReadingCharacters(flat))
    {
    }
    size_t n() const { return n_; }
    int total() const { return total_; }
    const CutPlace& place(size_t i) const { return places_[i]; }
    int chars(size_t i, size_t j) const
    {
        const int before = i == n_ ? 0 : total_ - places_[i].charsAfter;
        const int after = j == n_ ? total_ : places_[j].charsBefore;
        return after - before;
    }
    // A segment longer than this cannot fit.
    bool tooLong(size_t i, size_t j) const { return chars(i, j) > limits_.charsPerLine * limits_.lines; }
    // Whether the segment breaks into the lines allowed: the fewest lines,
    // each as long as it can be, at the text's own break places.
    bool fits(size_t i, size_t j)
    {
        if (tooLong(i, j)) return false;
        const auto known = fits_.find({ i, j });
        if (known != fits_.end()) return known->second;
        const int end = j == n_ ? total_ : places_[j].charsBefore;
        int start = i == n_ ? 0 : total_ - places_[i].charsAfter;
        int lines = 1;
        size_t k = i == n_ ? 0 : i + 1;
        while (end - start > limits_.charsPerLine && lines <= limits_.lines) {
            size_t farthest = n_;
            for (; k < j && k < n_ && places_[k].charsBefore - start <= limits_.charsPerLine; ++k)
                farthest = k;
            if (farthest == n_) break; // a word longer than a line
            start = total_ - places_[farthest].charsAfter;
            ++lines;
        }
        const bool fit = end - start <= limits_.charsPerLine && lines <= limits_.lines;
        fits_[{ i, j }] = fit;
        return fit;
    }
    // Segment starts that end at j, nearest first, while not too long.
    template <typename Visit> void eachStart(size_t j, const Visit& visit)
    {
        for (size_t i = std::min(j, n_); i-- > 0;) {
            if (tooLong(i, j)) break;
            visit(i);
        }
        visit(n_);
    }

private:
    LineLimits limits_;
    std::vector<CutPlace> places_;
    size_t n_;
    int total_;
    std::map<std::pair<size_t, size_t>, bool> fits_;
};

// Very long texts are cut greedily: each part as long as it can be.
constexpr int MostPartsWeighed = 20;

std::optional<std::vector<size_t>> greedyParts(Segments& s)
{
    std::vector<size_t> cuts;
    size_t i = s.n();
    while (!s.fits(i, s.n())) {
        size_t best = s.n();
        for (size_t j = i == s.n() ? 0 : i + 1; j < s.n() && !s.tooLong(i, j); ++j)
            if (s.fits(i, j)) best = j;
        if (best == s.n()) return std::nullopt;
        cuts.push_back(s.place(best).start);
        i = best;
    }
    return cuts;
}

// The fewest parts that each fit; of those, the cuts of most bonus and the
// parts of the most even length.
std::optional<std::vector<size_t>> bestParts(const std::string& flat, const LineLimits& limits)
{
    Segments s(flat, limits);
    const size_t n = s.n();
    if (s.total() > MostPartsWeighed * limits.charsPerLine * limits.lines) return greedyParts(s);
    // fewest[j]: the fewest parts that cover the text up to place j's end.
    std::vector<int> fewest(n + 1, INT_MAX);
    for (size_t j = 0; j <= n; ++j)
        s.eachStart(j, [&](size_t i) {
            const int before = i == n ? 0 : fewest[i];
            if (before != INT_MAX && before + 1 < fewest[j] && s.fits(i, j)) fewest[j] = before + 1;
        });
    if (fewest[n] == INT_MAX || fewest[n] < 2) return std::nullopt;
    const auto parts = static_cast<size_t>(fewest[n]);
    const double ideal = static_cast<double>(s.total()) / static_cast<double>(parts);
    const double Never = 1e300;
    // cost[j][k]: the least cost of k parts up to place j's end, and where the last one starts.
    std::vector<std::vector<double>> cost(n + 1, std::vector<double>(parts + 1, Never));
    std::vector<std::vector<size_t>> from(n + 1, std::vector<size_t>(parts + 1, n));
    for (size_t j = 0; j <= n; ++j) {
        const double bonus = j < n ? s.place(j).bonus : 0;
        s.eachStart(j, [&](size_t i) {
            for (size_t k = 1; k <= parts; ++k) {
                const double before = i == n ? (k == 1 ? 0 : Never) : (k == 1 ? Never : cost[i][k - 1]);
                if (before >= Never || !s.fits(i, j)) continue;
                const double c = before + std::abs(s.chars(i, j) - ideal) - bonus;
                if (c < cost[j][k]) {
                    cost[j][k] = c;
                    from[j][k] = i;
                }
            }
        });
    }
    std::vector<size_t> cuts;
    for (size_t j = n, k = parts; k > 1; --k) {
        j = from[j][k];
        cuts.push_back(s.place(j).start);
    }
    std::reverse(cuts.begin(), cuts.end());
    return cuts;
}

} // namespace

SplitLongPlan PlanSplitLong(const SubtitleTable& table, const LineLimits& limits, int gap)
{
    SplitLongPlan plan;
    for (int row = 1; row < table.rowCount(); ++row) {
        const std::string text = RowText(table, row);
        if (TextFits(text, limits) || TextFits(JoinLines(BreakText(text, limits)), limits)) continue;
        const std::string flat = flatText(text);
        const auto cuts = bestParts(flat, limits);
        if (!cuts) continue; // a word longer than a line: nothing to gain
        std::vector<std::string> parts = cutText(flat, *cuts);
        for (std::string& part : parts)
            part = JoinLines(BreakText(part, limits));
        std::string problem;
        if (auto change = partsAsRows(table, row, parts, gap, problem))
            plan.changes.push_back(std::move(*change));
        else
            plan.tooShort.push_back(row);
    }
    return plan;
}

std::vector<RowChange> PlanMergeShort(const SubtitleTable& table, const MergeShortOptions& options)
{
    std::vector<RowChange> changes;
    for (int row = 1; row < table.rowCount();) {
        auto frames = rowFrames(table, row);
        RowChange change { row, 1, { CopyRow(table, row) } };
        NewRow& merged = change.rows[0];
        while (frames && row + change.count < table.rowCount()
            && int64_t(frames->second) - frames->first < options.maxDuration) {
            const int next = row + change.count;
            const auto nextFrames = rowFrames(table, next);
            if (!nextFrames || int64_t(nextFrames->first) - frames->second >= options.maxGap) break;
            const auto text = mergedText(merged.text, RowText(table, next), options.limits);
            if (!text) break;
            merged.text = *text;
            merged.to = std::string(table.cell(SubtitleTable::To, next));
            frames->second = nextFrames->second;
            ++change.count;
        }
        row += change.count;
        if (change.count > 1) changes.push_back(std::move(change));
    }
    return changes;
}

} // namespace tessel
