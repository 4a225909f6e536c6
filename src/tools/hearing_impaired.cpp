#include "tools/hearing_impaired.h"

#include "core/markup.h"
#include "core/text_utils.h"

#include <QList>
#include <QString>
#include <algorithm>

namespace tessel {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// For each byte, whether it is markup.
std::vector<bool> markupBytes(std::string_view text)
{
    std::vector<bool> bytes(text.size());
    for (const TextSpan& s : MarkupSpans(text))
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(s.start),
            bytes.begin() + static_cast<std::ptrdiff_t>(s.end), true);
    return bytes;
}

// Takes out every text from `open` to its matching `close`, across lines;
// markup in between stays for the tidying to judge.
std::string removeEnclosed(std::string_view text, char open, char close)
{
    const std::vector<bool> markup = markupBytes(text);
    std::vector<bool> drop(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != open || markup[i]) continue;
        int depth = 0;
        size_t j = i;
        for (; j < text.size(); ++j) {
            if (markup[j]) continue;
            if (text[j] == open) ++depth;
            if (text[j] == close && --depth == 0) break;
        }
        if (j == text.size()) break; // never closed: left as it is
        for (size_t k = i; k <= j; ++k)
            drop[k] = !markup[k];
        i = j;
    }
    std::string kept;
    for (size_t i = 0; i < text.size(); ++i)
        if (!drop[i]) kept += text[i];
    return kept;
}

// Where a line's own text starts: after leading markup, spaces and a dialogue dash.
size_t textStart(std::string_view line, bool pastDash)
{
    const std::vector<TextSpan> spans = MarkupSpans(line);
    size_t i = 0;
    bool dashSeen = false;
    while (i < line.size()) {
        const auto span = std::find_if(spans.begin(), spans.end(), [i](const TextSpan& s) { return s.start == i; });
        if (span != spans.end())
            i = span->end;
        else if (isSpace(line[i]))
            ++i;
        else if (pastDash && line[i] == '-' && !dashSeen) {
            dashSeen = true;
            ++i;
        } else
            break;
    }
    return i;
}

// "JOHN: ", "DR. WHO: ", "MAN #2: ": capitals (no small letter), at least two characters, then a colon.
std::string removeSpeakerLabel(const std::string& line)
{
    const size_t start = textStart(line, true);
    const size_t colon = line.find(':', start);
    if (colon == std::string::npos || colon - start < 2) return line;
    if (colon + 1 < line.size() && !isSpace(line[colon + 1])) return line; // "10:30", "http://"
    const QString label = QString::fromUtf8(line.data() + start, static_cast<qsizetype>(colon - start));
    bool capital = false;
    for (QChar c : label) {
        if (c.isLower() || (!c.isLetterOrNumber() && !c.isSpace() && !QStringLiteral(".'-&#").contains(c))) return line;
        capital = capital || c.isUpper();
    }
    if (!capital) return line;
    size_t after = colon + 1;
    while (after < line.size() && isSpace(line[after]))
        ++after;
    return line.substr(0, start) + line.substr(after);
}

bool isMusicSign(char32_t c) { return c == U'\u266A' || c == U'\u266B' || c == U'\u266C' || c == U'\u2669'; }

// "♪", "♪♪", "- ♪": nothing but music signs after a dialogue dash.
bool isMusicOnly(const QString& visible)
{
    bool sign = false;
    QString v = visible.trimmed();
    if (v.startsWith(QLatin1Char('-'))) v.remove(0, 1);
    for (const char32_t c : v.toUcs4()) {
        if (isMusicSign(c))
            sign = true;
        else if (!QChar::isSpace(c))
            return false;
    }
    return sign;
}

bool isSung(const QString& visible)
{
    const std::u32string v = visible.trimmed().toStdU32String();
    return !v.empty() && (isMusicSign(v.front()) || isMusicSign(v.back()));
}

bool isDash(const std::string& line)
{
    const std::string v = TrimBlanks(StripMarkup(line));
    return v.rfind("-", 0) == 0;
}

std::string collapseSpaces(const std::string& line)
{
    const std::vector<bool> markup = markupBytes(line);
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ' ' && !out.empty() && out.back() == ' ' && !markup[i]) continue;
        out += line[i];
    }
    return TrimBlanks(out);
}

// A line left with markup alone joins its markup to the next line, or to the
// line before when it was the last; a dash alone goes.
std::vector<std::string> closeUp(const std::vector<std::string>& lines)
{
    std::vector<std::string> out;
    std::string carried;
    for (const std::string& line : lines) {
        const std::string visible = TrimBlanks(StripMarkup(line));
        if (visible.empty() || visible == "-") {
            std::string markup;
            for (const TextSpan& s : MarkupSpans(line))
                markup += line.substr(s.start, s.end - s.start);
            carried += markup;
            continue;
        }
        out.push_back(carried + line);
        carried.clear();
    }
    if (!carried.empty()) {
        if (out.empty())
            out.push_back(carried);
        else
            out.back() += carried;
    }
    return out;
}

} // namespace

std::string RemoveHearingImpaired(std::string_view text, const HearingImpairedOptions& options)
{
    // Most subtitles hold nothing of it: no bracket, colon or music sign (U+2669..U+266C: E2 99 A9..AC).
    if (text.find_first_of("[(:") == std::string_view::npos && text.find("\xE2\x99") == std::string_view::npos)
        return std::string(text);
    std::string t(text);
    if (options.brackets) t = removeEnclosed(t, '[', ']');
    if (options.parentheses) t = removeEnclosed(t, '(', ')');
    bool removed = t != text;
    const std::vector<std::string> before = SplitLines(text);
    const auto dashes = std::count_if(before.begin(), before.end(), isDash);
    std::vector<std::string> lines;
    for (std::string line : SplitLines(t)) {
        if (options.speakerLabels) {
            std::string unlabelled = removeSpeakerLabel(line);
            removed = removed || unlabelled != line;
            line = std::move(unlabelled);
        }
        const QString visible = QString::fromStdString(StripMarkup(line));
        if ((options.musicSigns && isMusicOnly(visible)) || (options.sungLines && isSung(visible))) {
            removed = true;
            // Its markup may close what another line opened.
            std::string markup;
            for (const TextSpan& s : MarkupSpans(line))
                markup += line.substr(s.start, s.end - s.start);
            line = markup;
        }
        lines.push_back(collapseSpaces(line));
    }
    // Nothing went: the text stays as it was, spaces and all.
    if (!removed) return std::string(text);
    lines = closeUp(lines);
    if (dashes >= 2 && lines.size() == 1 && isDash(lines[0])) {
        const size_t dash = lines[0].find('-', textStart(lines[0], false));
        if (dash != std::string::npos) lines[0] = collapseSpaces(lines[0].erase(dash, 1));
    }
    for (std::string& line : lines)
        line = collapseSpaces(DropEmptyMarkupPairs(line));
    return JoinLines(lines);
}

std::vector<RowChange> PlanRemoveHearingImpaired(const SubtitleTable& table, const HearingImpairedOptions& options)
{
    std::vector<RowChange> changes;
    for (int row = 1; row < table.rowCount(); ++row) {
        const std::string text = RowText(table, row);
        std::string result = RemoveHearingImpaired(text, options);
        if (result == text) continue;
        if (IsMarkupOnly(result) && !IsMarkupOnly(text)) {
            changes.push_back({ row, 1, {} });
            continue;
        }
        NewRow copy = CopyRow(table, row);
        copy.text = std::move(result);
        changes.push_back({ row, 1, { std::move(copy) } });
    }
    return changes;
}

} // namespace tessel
