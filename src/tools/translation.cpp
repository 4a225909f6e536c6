#include "tools/translation.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "tools/reading_check.h"

#include <algorithm>
#include <charconv>

namespace tessel {
namespace {

constexpr std::string_view OriginalMagic = "tessel-original-1";

// Fields as "<length>:<bytes>", so that any bytes survive.
void putField(std::string& out, std::string_view field)
{
    out += std::to_string(field.size());
    out += ':';
    out += field;
}

class FieldReader {
public:
    explicit FieldReader(std::string_view data)
        : data_(data)
    {
    }
    std::string_view next()
    {
        const size_t colon = data_.find(':', at_);
        size_t length = 0;
        const char* first = data_.data() + at_;
        const char* last = colon == std::string_view::npos ? first : data_.data() + colon;
        const auto [end, error] = std::from_chars(first, last, length);
        if (colon == std::string_view::npos || error != std::errc() || end != last || last == first
            || length > data_.size() - colon - 1)
            throw Error("The original kept with the document is damaged.");
        at_ = colon + 1 + length;
        return data_.substr(colon + 1, length);
    }
    int number()
    {
        const std::optional<int32_t> value = TryStrToInt(next());
        if (!value || *value < 0) throw Error("The original kept with the document is damaged.");
        return *value;
    }
    bool atEnd() const { return at_ == data_.size(); }
    size_t remaining() const { return data_.size() - at_; }

private:
    std::string_view data_;
    size_t at_ = 0;
};

bool hasText(const SubtitleTable& table, int row)
{
    for (int column = SubtitleTable::Line1; column <= SubtitleTable::Line3; ++column)
        if (!table.cell(column, row).empty()) return true;
    return false;
}

int rowCharacters(const SubtitleTable& table, int row)
{
    int characters = 0;
    for (int column = SubtitleTable::Line1; column <= SubtitleTable::Line3; ++column)
        characters += ReadingCharacters(table.cell(column, row));
    return characters;
}

} // namespace

std::optional<FrameSpan> RowSpan(const SubtitleTable& table, int row)
{
    const std::optional<int32_t> start = TryReadFrameCell(table.cell(SubtitleTable::From, row));
    const std::optional<int32_t> end = TryReadFrameCell(table.cell(SubtitleTable::To, row));
    if (!start || !end) return std::nullopt;
    return FrameSpan { *start, *end };
}

OriginalSubtitles MakeOriginal(const SubtitleTable& table, std::string fileName, std::string format, double framerate)
{
    auto copy = std::make_shared<SubtitleTable>();
    copy->setRowCount(table.rowCount());
    OriginalSubtitles original { std::move(fileName), std::move(format), framerate, nullptr, {} };
    original.spans.reserve(table.rowCount() - 1);
    for (int row = 1; row < table.rowCount(); ++row) {
        copy->setRow(row, table.cell(0, row), table.cell(1, row), table.cell(2, row), table.cell(3, row),
            table.cell(4, row), table.cell(5, row));
        original.spans.push_back(RowSpan(table, row));
    }
    copy->setDocumentData(table.documentData());
    original.table = std::move(copy);
    return original;
}

std::string EncodeOriginal(const OriginalSubtitles& original)
{
    const SubtitleTable& table = *original.table;
    std::string out;
    putField(out, OriginalMagic);
    putField(out, original.fileName);
    putField(out, original.format);
    putField(out, FormatFloatThreeDecimals(original.framerate, '.', true));
    putField(out, table.documentData());
    putField(out, std::to_string(table.rowCount() - 1));
    for (int row = 1; row < table.rowCount(); ++row)
        for (int column = 0; column < SubtitleTable::CellCount; ++column)
            putField(out, table.cell(column, row));
    return out;
}

OriginalSubtitles DecodeOriginal(std::string_view data)
{
    FieldReader in(data);
    if (in.next() != OriginalMagic) throw Error("The original kept with the document is damaged.");
    OriginalSubtitles original;
    original.fileName = in.next();
    original.format = in.next();
    original.framerate = TryStrToFloat(in.next(), '.').value_or(0);
    const std::string documentData(in.next());
    const int rows = in.number();
    // Six fields a row, "0:" at the least: a damaged count asks for no more.
    if (static_cast<size_t>(rows) > in.remaining() / 12) throw Error("The original kept with the document is damaged.");
    auto table = std::make_shared<SubtitleTable>();
    table->setRowCount(rows + 1);
    std::array<std::string_view, SubtitleTable::CellCount> cells;
    for (int row = 1; row <= rows; ++row) {
        for (auto& cell : cells)
            cell = in.next();
        table->setRow(row, cells[0], cells[1], cells[2], cells[3], cells[4], cells[5]);
        original.spans.push_back(RowSpan(*table, row));
    }
    if (!in.atEnd()) throw Error("The original kept with the document is damaged.");
    table->setDocumentData(documentData);
    original.table = std::move(table);
    return original;
}

SpanIndex::SpanIndex(const std::vector<std::optional<FrameSpan>>& spans)
{
    for (int i = 0; i < static_cast<int>(spans.size()); ++i)
        if (spans[i]) byStart_.emplace_back(*spans[i], i);
    std::stable_sort(
        byStart_.begin(), byStart_.end(), [](const auto& a, const auto& b) { return a.first.start < b.first.start; });
    latestEnd_.resize(byStart_.size());
    for (size_t k = 0; k < byStart_.size(); ++k)
        latestEnd_[k] = std::max(byStart_[k].first.end, k ? latestEnd_[k - 1] : INT32_MIN);
}

std::vector<int> SpanIndex::at(int32_t frame) const
{
    const auto past = std::upper_bound(
        byStart_.begin(), byStart_.end(), frame, [](int32_t f, const auto& s) { return f < s.first.start; });
    std::vector<int> found;
    for (auto k = past - byStart_.begin() - 1; k >= 0 && latestEnd_[k] > frame; --k)
        if (byStart_[k].first.end > frame) found.push_back(byStart_[k].second);
    std::sort(found.begin(), found.end());
    return found;
}

PairingChoice DefaultPairing(int originalRows, int tableRows)
{
    if (originalRows != tableRows) return { PairingMode::ByTime, {} };
    return { PairingMode::ByRow, RowAnchors(originalRows, tableRows) };
}

std::vector<int> RowAnchors(int originalRows, int tableRows)
{
    std::vector<int> anchors(std::max(originalRows, 0));
    for (int i = 0; i < originalRows; ++i)
        anchors[i] = std::min(i + 1, std::max(tableRows, 1));
    return anchors;
}

std::string EncodePairing(const PairingChoice& choice)
{
    if (choice.mode == PairingMode::ByTime) return "time";
    std::string out = "rows";
    for (int anchor : choice.anchors) {
        out += ' ';
        out += std::to_string(anchor);
    }
    return out;
}

PairingChoice DecodePairing(std::string_view data, int originalRows, int tableRows)
{
    if (data == "time") return { PairingMode::ByTime, {} };
    if (data.substr(0, 4) != "rows") return DefaultPairing(originalRows, tableRows);
    PairingChoice choice { PairingMode::ByRow, {} };
    const char* at = data.data() + 4;
    const char* end = data.data() + data.size();
    while (at < end && *at == ' ') {
        int anchor = 0;
        const auto [next, error] = std::from_chars(at + 1, end, anchor);
        if (error != std::errc() || anchor < 1 || anchor >= tableRows + 1) break;
        choice.anchors.push_back(anchor);
        at = next;
    }
    if (at != end || static_cast<int>(choice.anchors.size()) != originalRows)
        choice.anchors = RowAnchors(originalRows, tableRows);
    return choice;
}

void AnchorsAfterInsert(std::vector<int>& anchors, int row, int count)
{
    for (int& anchor : anchors)
        if (anchor >= row) anchor += count;
}

void AnchorsAfterRemove(std::vector<int>& anchors, int row, int count)
{
    for (int& anchor : anchors) {
        if (anchor >= row + count)
            anchor -= count;
        else if (anchor >= row)
            anchor = std::max(row - 1, 1);
    }
}

Pairing::Pairing(const OriginalSubtitles& original, const SubtitleTable& table, const PairingChoice& choice)
{
    const int rows = table.rowCount() - 1;
    const int count = original.rowCount();
    rowOf_.assign(count, 1);
    unpaired_.assign(count, false);
    continued_.assign(rows + 1, -1);
    if (choice.mode == PairingMode::ByRow) {
        const std::vector<int> anchors
            = static_cast<int>(choice.anchors.size()) == count ? choice.anchors : RowAnchors(count, rows);
        for (int i = 0; i < count; ++i)
            rowOf_[i] = std::clamp(anchors[i], 1, rows);
    } else {
        pairByTime(original, table);
    }
    index(rows);
}

// The table's rows by start, with the latest end among each and those before
// it, so that the search for overlaps stops where no earlier row reaches.
void Pairing::pairByTime(const OriginalSubtitles& original, const SubtitleTable& table)
{
    struct Timed {
        FrameSpan span;
        int row;
    };
    std::vector<Timed> timed;
    timed.reserve(table.rowCount() - 1);
    for (int row = 1; row < table.rowCount(); ++row)
        if (const std::optional<FrameSpan> span = RowSpan(table, row)) timed.push_back({ *span, row });
    std::stable_sort(
        timed.begin(), timed.end(), [](const Timed& a, const Timed& b) { return a.span.start < b.span.start; });
    std::vector<int32_t> latestEnd(timed.size());
    for (size_t k = 0; k < timed.size(); ++k)
        latestEnd[k] = std::max(timed[k].span.end, k ? latestEnd[k - 1] : INT32_MIN);
    const int rows = table.rowCount() - 1;
    for (int i = 0; i < original.rowCount(); ++i) {
        const std::optional<FrameSpan>& span = original.spans[i];
        unpaired_[i] = true;
        if (!span) {
            rowOf_[i] = std::min(i + 1, rows);
            continue;
        }
        // The first row starting at or after the original's end.
        const auto past = std::lower_bound(
            timed.begin(), timed.end(), span->end, [](const Timed& t, int32_t frame) { return t.span.start < frame; });
        int64_t best = 0;
        int bestRow = 0;
        std::vector<int> overlapping;
        for (auto k = past - timed.begin() - 1; k >= 0 && latestEnd[k] > span->start; --k) {
            const int64_t overlap
                = int64_t(std::min(span->end, timed[k].span.end)) - std::max(span->start, timed[k].span.start);
            if (overlap <= 0) continue;
            overlapping.push_back(timed[k].row);
            if (overlap > best || (overlap == best && timed[k].row < bestRow)) {
                best = overlap;
                bestRow = timed[k].row;
            }
        }
        if (bestRow) {
            unpaired_[i] = false;
            rowOf_[i] = bestRow;
            for (int row : overlapping)
                if (row != bestRow && continued_[row] < 0) continued_[row] = i;
            continue;
        }
        // Beside the last row starting before it, or the first row of all.
        const auto after = std::upper_bound(timed.begin(), timed.end(), span->start,
            [](int32_t frame, const Timed& t) { return frame < t.span.start; });
        rowOf_[i] = after != timed.begin() ? (after - 1)->row : timed.empty() ? 1 : timed.front().row;
    }
}

void Pairing::index(int rows)
{
    firsts_.assign(rows + 2, 0);
    for (int row : rowOf_)
        ++firsts_[row];
    int total = 0;
    for (int& first : firsts_)
        total += std::exchange(first, total);
    byRow_.assign(rowOf_.size(), 0);
    std::vector<int> fill(firsts_.begin(), firsts_.end());
    for (int i = 0; i < static_cast<int>(rowOf_.size()); ++i)
        byRow_[fill[rowOf_[i]]++] = i;
}

std::vector<int> Pairing::originalsBeside(int row) const
{
    if (row < 0 || row + 1 >= static_cast<int>(firsts_.size())) return {};
    return { byRow_.begin() + firsts_[row], byRow_.begin() + firsts_[row + 1] };
}

int Pairing::continued(int row) const
{
    return row >= 0 && row < static_cast<int>(continued_.size()) ? continued_[row] : -1;
}

void StartTranslation(SubtitleTable& table, const OriginalSubtitles& original, bool copyText)
{
    const SubtitleTable& from = *original.table;
    SubtitleTable::BulkChange bulk(table);
    table.setRowCount(std::max(from.rowCount(), 2));
    for (int row = 1; row < from.rowCount(); ++row) {
        const auto text = [&](int column) { return copyText ? from.cell(column, row) : std::string_view(); };
        table.setRow(row, from.cell(SubtitleTable::From, row), from.cell(SubtitleTable::To, row),
            text(SubtitleTable::Line1), text(SubtitleTable::Line2), text(SubtitleTable::Line3),
            from.cell(SubtitleTable::Extra, row));
    }
    if (from.rowCount() < 2) table.setRow(1, {}, {}, {}, {}, {});
    table.setDocumentData(from.documentData());
}

std::vector<TranslationFinding> CheckTranslation(
    const SubtitleTable& table, const OriginalSubtitles& original, const Pairing& pairing, double maxRatio)
{
    std::vector<TranslationFinding> findings;
    const SubtitleTable& source = *original.table;
    for (int row = 1; row <= pairing.tableRows(); ++row) {
        int originalCharacters = 0;
        int first = 0;
        for (int i : pairing.originalsBeside(row)) {
            if (!pairing.unpaired(i)) {
                originalCharacters += rowCharacters(source, i + 1);
                if (!first) first = i + 1;
            }
            const bool missing = pairing.unpaired(i) || !hasText(table, row);
            if (missing && hasText(source, i + 1)) {
                const std::optional<FrameSpan>& span = original.spans[i];
                findings.push_back({ TranslationFinding::Untranslated, pairing.unpaired(i) ? 0 : row, i + 1,
                    span ? std::optional<int32_t>(span->start) : std::nullopt, 0 });
            }
        }
        if (originalCharacters == 0) continue;
        const double ratio = double(rowCharacters(table, row)) / originalCharacters;
        if (ratio > maxRatio) {
            const std::optional<FrameSpan> span = RowSpan(table, row);
            findings.push_back({ TranslationFinding::TooLong, row, first,
                span ? std::optional<int32_t>(span->start) : std::nullopt, ratio });
        }
    }
    return findings;
}

} // namespace tessel
