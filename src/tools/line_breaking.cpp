#include "tools/line_breaking.h"

#include "core/errors.h"
#include "core/markup.h"
#include "core/text_utils.h"
#include "tools/reading_check.h"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <unicode/brkiter.h>
#include <unicode/unistr.h>
#include <unordered_set>

namespace tessel {
namespace {

constexpr int SentenceBonus = 24, ClauseBonus = 16, ConjunctionBonus = 8, PrepositionBonus = 4;
constexpr int NoBreakPenalty = 12, HyphenPenalty = 20;

constexpr std::string_view Conjunctions[] = { "and", "but", "or", "nor", "so", "yet", "because", "although", "though",
    "while", "whereas", "unless", "until", "if", "when", "whenever", "where", "wherever", "since", "that", "which",
    "who", "whom", "whose", "whether", "than", "as", "once" };
constexpr std::string_view Prepositions[] = { "about", "above", "across", "against", "along", "among", "around", "at",
    "before", "after", "behind", "below", "beneath", "beside", "between", "beyond", "by", "despite", "down", "during",
    "except", "for", "from", "in", "inside", "into", "like", "near", "of", "off", "on", "onto", "out", "over", "past",
    "through", "to", "toward", "towards", "under", "upon", "via", "with", "without" };
// Words a line should not end with: they belong to the word after them
// (articles, possessives, subject pronouns, auxiliaries, titles).
constexpr std::string_view Binding[]
    = { "a", "an", "the", "my", "your", "his", "its", "our", "their", "this", "these", "those", "i", "he", "she", "we",
          "they", "will", "would", "shall", "should", "can", "could", "may", "might", "must", "am", "is", "are", "was",
          "were", "be", "been", "have", "has", "had", "do", "does", "did", "mr.", "mrs.", "ms.", "dr.", "st." };

// Looked up for every break place of every row: hashed once.
using WordSet = std::unordered_set<std::string_view>;
template <size_t N> WordSet wordSet(const std::string_view (&list)[N])
{
    return WordSet(std::begin(list), std::end(list));
}
const WordSet& conjunctions()
{
    static const WordSet set = wordSet(Conjunctions);
    return set;
}
const WordSet& prepositions()
{
    static const WordSet set = wordSet(Prepositions);
    return set;
}
const WordSet& binding()
{
    static const WordSet set = wordSet(Binding);
    return set;
}
bool listed(const WordSet& set, const std::string& word) { return !word.empty() && set.count(word) > 0; }

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The code point that ends at `end`.
char32_t codePointBefore(std::string_view text, size_t end)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    size_t start = end - 1;
    while (start > 0 && isContinuation(byte(start)) && end - start < 4)
        --start;
    const unsigned char lead = byte(start);
    const size_t length = end - start;
    if (length == 1 || lead < 0xC0) return byte(end - 1);
    char32_t cp = length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (size_t k = start + 1; k < end; ++k)
        cp = (cp << 6) | (byte(k) & 0x3F);
    return cp;
}

bool endsSentence(char32_t c)
{
    return c == '.' || c == '!' || c == '?' || c == U'\u2026' || c == U'\u3002' || c == U'\uFF01' || c == U'\uFF1F'
        || c == U'\u061F';
}
bool endsClause(char32_t c)
{
    return c == ',' || c == ';' || c == ':' || c == U'\u2013' || c == U'\u2014' || c == U'\u3001' || c == U'\uFF0C'
        || c == U'\uFF1B' || c == U'\uFF1A' || c == U'\u060C' || c == U'\u061B';
}
bool closesQuote(char32_t c)
{
    return c == '"' || c == '\'' || c == ')' || c == U'\u201D' || c == U'\u2019' || c == U'\u00BB';
}

bool isWordEdge(char c)
{
    return c == '"' || c == '\'' || c == '(' || c == '-' || c == ',' || c == '.' || c == '!' || c == '?' || c == ';'
        || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

std::string lowerAscii(std::string_view word)
{
    std::string s(word);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The word starting at `start`, lower case, without the quotes and marks around it.
std::string wordAfter(std::string_view v, size_t start)
{
    size_t end = v.find(' ', start);
    if (end == std::string_view::npos) end = v.size();
    while (start < end && isWordEdge(v[start]) && static_cast<unsigned char>(v[start]) < 0x80)
        ++start;
    while (end > start && isWordEdge(v[end - 1]) && static_cast<unsigned char>(v[end - 1]) < 0x80)
        --end;
    return lowerAscii(v.substr(start, end - start));
}

// The word ending at `end`, lower case, its punctuation kept.
std::string wordBefore(std::string_view v, size_t end)
{
    const size_t space = v.rfind(' ', end == 0 ? 0 : end - 1);
    size_t start = space == std::string_view::npos || space >= end ? 0 : space + 1;
    while (start < end && (v[start] == '"' || v[start] == '\'' || v[start] == '('))
        ++start;
    return lowerAscii(v.substr(start, end - start));
}

icu::BreakIterator& lineBreaker()
{
    thread_local std::unique_ptr<icu::BreakIterator> iterator;
    if (!iterator) {
        UErrorCode status = U_ZERO_ERROR;
        iterator.reset(icu::BreakIterator::createLineInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !iterator) throw Error("ICU's line-break iterator is not available.");
    }
    return *iterator;
}

int placeBonus(std::string_view v, size_t a, size_t c)
{
    int bonus = 0;
    const char32_t last = codePointBefore(v, a);
    const std::string before = wordBefore(v, a);
    bool sentence = endsSentence(last);
    if (closesQuote(last) && a > 1) sentence = endsSentence(codePointBefore(v, a - 1));
    if (listed(binding(), before) || listed(conjunctions(), before) || listed(prepositions(), before)) {
        sentence = false;
        bonus -= NoBreakPenalty;
    }
    if (sentence)
        bonus += SentenceBonus;
    else if (endsClause(last))
        bonus += ClauseBonus;
    if (a == c) return last == '-' || last == U'\u2010' ? bonus - HyphenPenalty : bonus;
    const std::string after = wordAfter(v, c);
    if (listed(conjunctions(), after))
        bonus += ConjunctionBonus;
    else if (listed(prepositions(), after))
        bonus += PrepositionBonus;
    if (after == "not") bonus -= NoBreakPenalty;
    return bonus;
}

} // namespace

LineLimits LineLimitsOf(const ReadingProfile& profile)
{
    LineLimits limits;
    if (profile.maxCharsPerLine) limits.charsPerLine = *profile.maxCharsPerLine;
    if (profile.maxLines) limits.lines = std::clamp(*profile.maxLines, 1, TextLineCount);
    return limits;
}

std::vector<std::string> TextLines(std::string_view text)
{
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(text))
        if (std::string trimmed = TrimBlanks(line); !trimmed.empty()) lines.push_back(std::move(trimmed));
    return lines;
}

bool IsDialogue(const std::vector<std::string>& lines)
{
    if (lines.size() < 2) return false;
    // The first speaker's dash is left out in some styles.
    return std::all_of(lines.begin() + 1, lines.end(), [](const std::string& line) {
        const std::string v = TrimLeftBlanks(StripMarkup(line));
        return v.rfind("-", 0) == 0 || v.rfind("\u2013", 0) == 0 || v.rfind("\u2014", 0) == 0;
    });
}

namespace {

std::string joinFlat(const std::vector<std::string>& lines)
{
    std::string flat;
    for (const std::string& line : lines)
        flat += (flat.empty() ? "" : " ") + line;
    return flat;
}

// A way to break: cut places by index, its longest line and cost (doubled, with the pyramid's tie-break).
struct Choice {
    std::vector<size_t> cuts;
    int longest = INT_MAX;
    int cost = INT_MAX;
};

Choice evaluate(const std::vector<CutPlace>& places, const std::vector<size_t>& cuts, int total)
{
    Choice choice { cuts, 0, 0 };
    std::vector<int> lengths;
    int done = 0, bonus = 0;
    for (size_t k : cuts) {
        lengths.push_back(places[k].charsBefore - done);
        done = total - places[k].charsAfter;
        bonus += places[k].bonus;
    }
    lengths.push_back(total - done);
    const auto [shortest, longest] = std::minmax_element(lengths.begin(), lengths.end());
    choice.longest = *longest;
    choice.cost = 2 * (*longest - *shortest - bonus);
    for (size_t i = 0; i + 1 < lengths.size(); ++i)
        choice.cost += lengths[i] > lengths[i + 1];
    return choice;
}

// The best way to break into `lineCount` lines: among those that fit if any.
Choice bestChoice(const std::vector<CutPlace>& places, int lineCount, int total, int limit)
{
    Choice best;
    bool bestFits = false;
    const auto consider = [&](const std::vector<size_t>& cuts) {
        const Choice c = evaluate(places, cuts, total);
        const bool fits = c.longest <= limit;
        if ((fits && !bestFits)
            || (fits == bestFits
                && (fits ? c.cost < best.cost
                         : c.longest < best.longest || (c.longest == best.longest && c.cost < best.cost)))) {
            best = c;
            bestFits = fits;
        }
    };
    if (lineCount == 2)
        for (size_t i = 0; i < places.size(); ++i)
            consider({ i });
    else
        for (size_t i = 0; i < places.size(); ++i)
            for (size_t j = i + 1; j < places.size(); ++j)
                if (places[j].charsBefore > places[i].charsBefore) consider({ i, j });
    return best;
}

std::vector<std::string> linesAt(std::string_view flat, const std::vector<CutPlace>& places, const Choice& choice)
{
    std::vector<std::string> lines;
    std::string opening;
    size_t from = 0;
    for (size_t k : choice.cuts) {
        const CutPlace& p = places[k];
        lines.push_back(opening + std::string(flat.substr(from, p.end - from)) + p.closing);
        opening = p.opening;
        from = p.start;
    }
    lines.push_back(opening + std::string(flat.substr(from)));
    return lines;
}

} // namespace

std::vector<CutPlace> CutPlaces(std::string_view text)
{
    const VisibleText visible = WithoutMarkup(text);
    std::string v = visible.text;
    for (char& c : v)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    std::vector<int> chars(v.size() + 1);
    for (size_t i = 0; i < v.size(); ++i)
        chars[i + 1] = chars[i] + !isContinuation(static_cast<unsigned char>(v[i]));
    const Utf16Text utf16 = ToUtf16(v);
    const std::vector<size_t>& byteOf = utf16.byteOf;
    const icu::UnicodeString units(
        reinterpret_cast<const UChar*>(utf16.units.data()), static_cast<int32_t>(utf16.units.size()));
    icu::BreakIterator& breaker = lineBreaker();
    breaker.setText(units);
    const std::vector<TextSpan> markup = MarkupSpans(text);
    std::vector<CutPlace> places;
    for (int32_t p = breaker.first(); p != icu::BreakIterator::DONE; p = breaker.next()) {
        const size_t b = byteOf[static_cast<size_t>(p)];
        size_t a = b, c = b;
        while (a > 0 && v[a - 1] == ' ')
            --a;
        while (c < v.size() && v[c] == ' ')
            ++c;
        if (a == 0 || c >= v.size() || (!places.empty() && places.back().start == visible.origin[c])) continue;
        CutPlace place;
        place.end = visible.origin[a - 1] + 1;
        place.start = visible.origin[c];
        place.charsBefore = chars[a];
        place.charsAfter = chars[v.size()] - chars[c];
        place.bonus = placeBonus(v, a, c);
        for (const TextSpan& span : markup)
            if (span.start >= place.end && span.end <= place.start) {
                const std::string_view m = text.substr(span.start, span.end - span.start);
                (IsClosingMarkup(m) ? place.closing : place.opening) += m;
            }
        places.push_back(std::move(place));
    }
    return places;
}

std::vector<std::string> BreakText(std::string_view text, const LineLimits& limits)
{
    std::vector<std::string> lines = TextLines(text);
    if (lines.empty() || IsDialogue(lines)) return lines;
    const std::string flat = joinFlat(lines);
    const int total = ReadingCharacters(flat);
    if (total <= limits.charsPerLine || limits.lines <= 1) return { flat };
    const std::vector<CutPlace> places = CutPlaces(flat);
    if (places.empty()) return { flat };
    const int most = std::min(std::clamp(limits.lines, 1, TextLineCount), static_cast<int>(places.size()) + 1);
    Choice choice;
    for (int count = 2; count <= most; ++count) {
        choice = bestChoice(places, count, total, limits.charsPerLine);
        if (choice.longest <= limits.charsPerLine) break;
    }
    return linesAt(flat, places, choice);
}

std::optional<std::string> UnbreakText(std::string_view text, int charsPerLine)
{
    const std::vector<std::string> lines = TextLines(text);
    if (lines.size() < 2 || IsDialogue(lines)) return std::nullopt;
    std::string flat = joinFlat(lines);
    if (ReadingCharacters(flat) > charsPerLine) return std::nullopt;
    return flat;
}

bool TextFits(std::string_view text, const LineLimits& limits)
{
    const std::vector<std::string> lines = TextLines(text);
    if (static_cast<int>(lines.size()) > limits.lines) return false;
    return std::all_of(lines.begin(), lines.end(),
        [&](const std::string& line) { return ReadingCharacters(line) <= limits.charsPerLine; });
}

std::optional<size_t> BestCut(std::string_view text)
{
    const std::vector<std::string> lines = SplitLines(text);
    std::vector<size_t> breaks;
    for (size_t i = text.find('\n'); i != std::string_view::npos && i < text.size(); i = text.find('\n', i + 1))
        if (!IsMarkupOnly(text.substr(0, i)) && !IsMarkupOnly(text.substr(i + 1))) breaks.push_back(i);
    if (!breaks.empty()) {
        const int total = ReadingCharacters(text);
        return *std::min_element(breaks.begin(), breaks.end(), [&](size_t x, size_t y) {
            return std::abs(2 * ReadingCharacters(text.substr(0, x)) - total)
                < std::abs(2 * ReadingCharacters(text.substr(0, y)) - total);
        });
    }
    const std::vector<CutPlace> places = CutPlaces(text);
    if (places.empty()) return std::nullopt;
    const Choice choice = bestChoice(places, 2, ReadingCharacters(text), INT_MAX);
    return places[choice.cuts.at(0)].start;
}

namespace {

template <typename Rebreak>
std::vector<RowChange> planEachRow(const SubtitleTable& table, int row, const Rebreak& rebreak)
{
    std::vector<RowChange> changes;
    const int first = row > 0 ? row : 1, last = row > 0 ? row : table.rowCount() - 1;
    for (int r = first; r <= last && r < table.rowCount(); ++r) {
        const std::string text = RowText(table, r);
        std::optional<std::string> changed = rebreak(text);
        if (!changed || *changed == text) continue;
        NewRow copy = CopyRow(table, r);
        copy.text = std::move(*changed);
        changes.push_back({ r, 1, { std::move(copy) } });
    }
    return changes;
}

} // namespace

std::vector<RowChange> PlanBreakLines(const SubtitleTable& table, const LineLimits& limits, int row)
{
    return planEachRow(table, row, [&](const std::string& text) -> std::optional<std::string> {
        // One line that fits, already trimmed: nothing to do.
        if (text.find('\n') == std::string::npos && (text.empty() || (text.front() != ' ' && text.back() != ' '))
            && ReadingCharacters(text) <= limits.charsPerLine)
            return std::nullopt;
        return JoinLines(BreakText(text, limits));
    });
}

std::vector<RowChange> PlanUnbreak(const SubtitleTable& table, int charsPerLine, int row)
{
    return planEachRow(table, row, [&](const std::string& text) { return UnbreakText(text, charsPerLine); });
}

} // namespace tessel
