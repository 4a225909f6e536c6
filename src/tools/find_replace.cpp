#include "tools/find_replace.h"

#include "core/errors.h"

#include <algorithm>

namespace tessel {
namespace {

QString qText(const Utf16Text& t)
{
    return QString(reinterpret_cast<const QChar*>(t.units.data()), static_cast<qsizetype>(t.units.size()));
}

bool touchesMarkup(const std::vector<TextSpan>& markup, TextSpan m)
{
    return std::any_of(markup.begin(), markup.end(), [m](const TextSpan& s) {
        return m.start == m.end ? s.start < m.start && m.start < s.end : m.start < s.end && s.start < m.end;
    });
}

// Where a field's byte offset falls: the cell, and the offset in it.
void placeInCell(const std::string& text, FoundMatch& match)
{
    match.column = match.field;
    match.offsetInCell = match.span.start;
    if (match.field != SubtitleTable::Line1) return;
    size_t lineStart = 0;
    for (size_t i = 0; i < match.span.start; ++i)
        if (text[i] == '\n') {
            ++match.column;
            lineStart = i + 1;
        }
    match.column = std::min<int>(match.column, SubtitleTable::Line3);
    match.offsetInCell = match.span.start - lineStart;
}

void setField(NewRow& row, int field, std::string text)
{
    if (field == SubtitleTable::From)
        row.from = std::move(text);
    else if (field == SubtitleTable::To)
        row.to = std::move(text);
    else
        row.text = std::move(text);
}

} // namespace

TextSearch::TextSearch(const FindOptions& options)
    : options_(options)
{
    if (options.pattern.empty()) throw Error("There is nothing to find.");
    QString pattern = QString::fromStdString(options.pattern);
    if (!options.regex) pattern = QRegularExpression::escape(pattern);
    if (options.wholeWords) pattern = QStringLiteral("(?<!\\w)(?:") + pattern + QStringLiteral(")(?!\\w)");
    QRegularExpression::PatternOptions flags
        = QRegularExpression::UseUnicodePropertiesOption | QRegularExpression::MultilineOption;
    if (!options.matchCase) flags |= QRegularExpression::CaseInsensitiveOption;
    expression_.setPattern(pattern);
    expression_.setPatternOptions(flags);
    if (!expression_.isValid())
        throw Error("The regular expression is not valid: " + expression_.errorString().toStdString()
            + " (at character " + std::to_string(expression_.patternErrorOffset() + 1) + ").");
    expression_.optimize();
}

std::vector<TextSpan> TextSearch::matches(std::string_view text) const
{
    std::vector<TextSpan> found;
    const Utf16Text utf16 = ToUtf16(text);
    const QString subject = qText(utf16);
    std::vector<TextSpan> markup;
    bool markupKnown = false;
    auto it = expression_.globalMatch(subject);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const TextSpan span { utf16.byteOf[static_cast<size_t>(m.capturedStart())],
            utf16.byteOf[static_cast<size_t>(m.capturedEnd())] };
        if (!markupKnown) {
            markup = MarkupSpans(text);
            markupKnown = true;
        }
        if (!touchesMarkup(markup, span)) found.push_back(span);
    }
    return found;
}

std::string TextSearch::replacement(std::string_view text, TextSpan match, std::string_view with) const
{
    if (!options_.regex) return std::string(with);
    const Utf16Text utf16 = ToUtf16(text);
    const auto at = std::lower_bound(utf16.byteOf.begin(), utf16.byteOf.end(), match.start) - utf16.byteOf.begin();
    const QRegularExpressionMatch m = expression_.match(
        qText(utf16), at, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
    std::string out;
    for (size_t i = 0; i < with.size(); ++i) {
        if (with[i] != '\\' || i + 1 == with.size()) {
            out += with[i];
            continue;
        }
        const char c = with[++i];
        if (c >= '0' && c <= '9')
            out += m.captured(c - '0').toStdString();
        else if (c == 'n')
            out += '\n';
        else if (c == 't')
            out += '\t';
        else if (c == '\\')
            out += '\\';
        else
            (out += '\\') += c;
    }
    return out;
}

std::string TextSearch::FieldText(const SubtitleTable& table, int row, int field)
{
    return field == SubtitleTable::Line1 ? RowText(table, row) : std::string(table.cell(field, row));
}

std::vector<int> TextSearch::fields() const
{
    if (options_.allColumns) return { SubtitleTable::From, SubtitleTable::To, SubtitleTable::Line1 };
    return { SubtitleTable::Line1 };
}

std::optional<FoundMatch> TextSearch::findFrom(
    const SubtitleTable& table, int row, int field, size_t offset, bool backwards) const
{
    const std::vector<int> order = fields();
    const int rows = table.rowCount() - 1;
    if (rows < 1) return std::nullopt;
    row = std::clamp(row, 1, rows);
    auto f = std::find(order.begin(), order.end(), field);
    auto fieldIndex = f == order.end() ? size_t(0) : static_cast<size_t>(f - order.begin());
    // The starting field is looked at twice: the part after the place first, the part before it last.
    const size_t steps = static_cast<size_t>(rows) * order.size();
    for (size_t step = 0; step <= steps; ++step) {
        const int r = row, fld = order[fieldIndex];
        const std::string text = FieldText(table, r, fld);
        const std::vector<TextSpan> spans = text.empty() ? std::vector<TextSpan>() : matches(text);
        const bool first = step == 0, last = step == steps;
        std::optional<TextSpan> pick;
        if (!backwards) {
            for (const TextSpan& s : spans)
                if ((!first || s.start >= offset) && (!last || s.start < offset)) {
                    pick = s;
                    break;
                }
        } else {
            for (auto s = spans.rbegin(); s != spans.rend(); ++s)
                if ((!first || s->start < offset) && (!last || s->start >= offset)) {
                    pick = *s;
                    break;
                }
        }
        if (pick) {
            FoundMatch match { r, fld, *pick };
            placeInCell(text, match);
            return match;
        }
        if (!backwards) {
            if (++fieldIndex == order.size()) {
                fieldIndex = 0;
                row = row == rows ? 1 : row + 1;
            }
        } else if (fieldIndex-- == 0) {
            fieldIndex = order.size() - 1;
            row = row == 1 ? rows : row - 1;
        }
    }
    return std::nullopt;
}

std::optional<RowChange> PlanReplaceOne(
    const SubtitleTable& table, const TextSearch& search, const FoundMatch& match, std::string_view with)
{
    if (match.row < 1 || match.row >= table.rowCount()) return std::nullopt;
    const std::string text = TextSearch::FieldText(table, match.row, match.field);
    const std::vector<TextSpan> spans = search.matches(text);
    if (std::find(spans.begin(), spans.end(), match.span) == spans.end()) return std::nullopt;
    NewRow row = CopyRow(table, match.row);
    setField(row, match.field,
        text.substr(0, match.span.start) + search.replacement(text, match.span, with) + text.substr(match.span.end));
    return RowChange { match.row, 1, { std::move(row) } };
}

std::vector<RowChange> PlanReplaceAll(
    const SubtitleTable& table, const TextSearch& search, std::string_view with, int* count)
{
    std::vector<RowChange> changes;
    int total = 0;
    for (int r = 1; r < table.rowCount(); ++r) {
        std::optional<NewRow> row;
        for (int field : search.fields()) {
            const std::string text = TextSearch::FieldText(table, r, field);
            if (text.empty()) continue;
            const std::vector<TextSpan> spans = search.matches(text);
            if (spans.empty()) continue;
            std::string changed;
            size_t done = 0;
            for (const TextSpan& s : spans) {
                changed.append(text, done, s.start - done);
                changed += search.replacement(text, s, with);
                done = s.end;
            }
            changed.append(text, done, std::string::npos);
            total += static_cast<int>(spans.size());
            if (changed == text) continue;
            if (!row) row = CopyRow(table, r);
            setField(*row, field, std::move(changed));
        }
        if (row) changes.push_back({ r, 1, { std::move(*row) } });
    }
    if (count) *count = total;
    return changes;
}

} // namespace tessel
