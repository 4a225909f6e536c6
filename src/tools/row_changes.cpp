#include "tools/row_changes.h"

#include "core/markup.h"

#include <algorithm>
#include <optional>

namespace tessel {

std::string RowText(const SubtitleTable& table, int row)
{
    std::vector<std::string> lines;
    for (int c = SubtitleTable::Line1; c <= SubtitleTable::Line3; ++c)
        lines.emplace_back(table.cell(c, row));
    return JoinLines(lines);
}

std::array<std::string, TextLineCount> LineCells(std::string_view text)
{
    std::array<std::string, TextLineCount> cells;
    const std::vector<std::string> lines = SplitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string& cell = cells[std::min<size_t>(i, TextLineCount - 1)];
        if (i >= TextLineCount && !cell.empty()) cell += ' ';
        cell += lines[i];
    }
    return cells;
}

NewRow CopyRow(const SubtitleTable& table, int row)
{
    return NewRow { std::string(table.cell(SubtitleTable::From, row)), std::string(table.cell(SubtitleTable::To, row)),
        RowText(table, row), std::string(table.cell(SubtitleTable::Extra, row)) };
}

namespace {

void storeRow(SubtitleTable& table, int row, const NewRow& r)
{
    const auto cells = LineCells(r.text);
    table.setRow(row, r.from, r.to, cells[0], cells[1], cells[2], r.extra);
}

} // namespace

// The rows each change keeps are written in place, those it drops go in one
// pass, and those it adds come in one pass after.
void ApplyRowChanges(SubtitleTable& table, const std::vector<RowChange>& changes)
{
    if (changes.empty()) return;
    std::optional<SubtitleTable::BulkChange> bulk;
    if (changes.size() > 1) bulk.emplace(table);
    std::vector<bool> gone;
    bool anyGone = false;
    for (const RowChange& change : changes) {
        const int kept = std::min<int>(change.count, static_cast<int>(change.rows.size()));
        for (int i = 0; i < kept; ++i)
            storeRow(table, change.first + i, change.rows[static_cast<size_t>(i)]);
        if (kept < change.count) {
            gone.resize(static_cast<size_t>(table.rowCount()));
            for (int r = change.first + kept; r < change.first + change.count; ++r)
                gone[static_cast<size_t>(r)] = anyGone = true;
        }
    }
    if (anyGone) {
        const auto goneCount = static_cast<int>(std::count(gone.begin(), gone.end(), true));
        // When every row goes the table keeps its first one: it is emptied instead.
        if (table.removeRowsWhere([&](int row) { return gone[static_cast<size_t>(row)]; }) < goneCount)
            table.setRow(1, "0", "0", "", "", "");
    }
    // Where each change starts now that rows above it went.
    std::vector<std::pair<int, int>> runs;
    std::vector<const RowChange*> growing;
    int removedAbove = 0, insertedAbove = 0;
    size_t next = 1;
    for (const RowChange& change : changes) {
        for (; anyGone && next < static_cast<size_t>(change.first); ++next)
            removedAbove += gone[next];
        const int extra = static_cast<int>(change.rows.size()) - change.count;
        if (extra > 0) {
            runs.emplace_back(change.first - removedAbove + insertedAbove + change.count, extra);
            growing.push_back(&change);
            insertedAbove += extra;
        }
    }
    if (runs.empty()) return;
    table.insertRowRuns(runs);
    for (size_t k = 0; k < runs.size(); ++k)
        for (int i = 0; i < runs[k].second; ++i)
            storeRow(table, runs[k].first + i, growing[k]->rows[static_cast<size_t>(growing[k]->count + i)]);
}

namespace {

std::string oneLine(std::string_view text)
{
    std::string s(text);
    for (size_t i = 0; (i = s.find('\n', i)) != std::string::npos;)
        s.replace(i, 1, " | ");
    return s;
}

} // namespace

std::string DescribeBefore(const SubtitleTable& table, const RowChange& change)
{
    std::string text;
    for (int r = change.first; r < change.first + change.count; ++r)
        text += (text.empty() ? "" : " / ") + oneLine(RowText(table, r));
    return text;
}

std::string DescribeAfter(const RowChange& change)
{
    if (change.rows.empty()) return "(removed)";
    std::string text;
    for (const NewRow& r : change.rows)
        text += (text.empty() ? "" : " / ") + oneLine(r.text);
    return text;
}

} // namespace tessel
