#pragma once
#include "core/markup.h"
#include "core/subtitle_table.h"
#include "tools/row_changes.h"

#include <QRegularExpression>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Find and replace over the table with plain text or a regular expression
// (QRegularExpression: PCRE2 with Unicode classes, so "\w" and "\b" know
// "é" and "ж"). A row's text is its lines joined by "\n", so "\n" in a
// pattern matches the break between two lines and "^" and "$" each line's
// start and end. No match reaches into markup: "i" is not found in "<i>".
namespace tessel {

struct FindOptions {
    std::string pattern;
    bool regex = false;
    bool matchCase = false;
    bool wholeWords = false;
    bool allColumns = false; // the From and To cells too
};

// Where a match is: the row, the field (From, To, or the text: Line1 stands
// for the joined lines) and the bytes in the field's text.
struct FoundMatch {
    int row = 0;
    int field = SubtitleTable::Line1;
    TextSpan span;
    // The cell the match starts in, and where in that cell.
    int column = SubtitleTable::Line1;
    size_t offsetInCell = 0;
};

class TextSearch {
public:
    // Throws Error naming what is wrong with a regular expression, or an empty pattern.
    explicit TextSearch(const FindOptions& options);

    const FindOptions& options() const { return options_; }
    // In order, none overlapping and none touching markup.
    std::vector<TextSpan> matches(std::string_view text) const;
    // What replaces a match: for a regular expression "\0".."\9" are its
    // groups, "\n" a line break, "\t" a tab and "\\" a backslash; plain text
    // is put in as it is.
    std::string replacement(std::string_view text, TextSpan match, std::string_view with) const;

    // The field's text: the From or To cell, or the lines joined.
    static std::string FieldText(const SubtitleTable& table, int row, int field);
    // The fields searched, in order.
    std::vector<int> fields() const;

    // The first match after (or, backwards, the last before) the place,
    // going round the table once; `after` is the match last found, if any.
    std::optional<FoundMatch> findFrom(
        const SubtitleTable& table, int row, int field, size_t offset, bool backwards) const;

private:
    FindOptions options_;
    QRegularExpression expression_;
};

// The match as found is still there: its text changes, and the row is
// listed as one change.
std::optional<RowChange> PlanReplaceOne(
    const SubtitleTable& table, const TextSearch& search, const FoundMatch& match, std::string_view with);
// Every match; `count` is how many there were.
std::vector<RowChange> PlanReplaceAll(
    const SubtitleTable& table, const TextSearch& search, std::string_view with, int* count = nullptr);

} // namespace tessel
