#include "core/errors.h"
#include "test_support.h"
#include "tools/find_replace.h"

#include <gtest/gtest.h>

using namespace tessel;

namespace {

// The row's lines after Replace all, and how many matches there were.
std::pair<std::vector<std::string>, int> replaceAll(
    const FindOptions& options, std::vector<std::string> lines, const std::string& with)
{
    SubtitleTable table;
    lines.resize(3);
    test::Fill(table, { { "0", "1", lines[0], lines[1], lines[2] } });
    int count = 0;
    ApplyRowChanges(table, PlanReplaceAll(table, TextSearch(options), with, &count));
    const test::Row row = test::Rows(table)[0];
    std::vector<std::string> after(row.begin() + 2, row.end());
    while (!after.empty() && after.back().empty())
        after.pop_back();
    return { after, count };
}

} // namespace

TEST(FindReplace, PatternTable)
{
    struct Case {
        FindOptions options; // pattern, regex, match case, whole words
        std::vector<std::string> lines;
        std::string with;
        std::vector<std::string> expected;
        int count;
    };
    const Case cases[] = {
        // The line break is "\n", and "^" and "$" hold at each line.
        { { "\\n", true }, { "Hello", "there" }, " ", { "Hello there" }, 1 },
        { { "there\\nfriend", true }, { "Hi there", "friend" }, "X", { "Hi X" }, 1 },
        { { "^- ", true }, { "- Hi.", "- Bye." }, "", { "Hi.", "Bye." }, 2 },
        { { "$", true }, { "a", "b" }, ".", { "a.", "b." }, 2 },
        { { "(,) ", true }, { "Yes, sir" }, "\\1\\n", { "Yes,", "sir" }, 1 },
        { { "(\\w+) (\\w+)", true }, { "hello world" }, "\\2 \\1", { "world hello" }, 1 },
        // Unicode classes: capitals, letters and digits of any script.
        { { "\\p{Lu}{2,}", true, true }, { "NASA and \u00c9COLE, not Eva" }, "X", { "X and X, not Eva" }, 2 },
        { { "\\w+", true }, { "\u00e7a \u00e9t\u00e9" }, "w", { "w w" }, 2 },
        { { "[\u0430-\u044f]+", true }, { "\u041f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440" }, "x", { "x x" },
            2 },
        { { "\\d+", true }, { "Room 12, floor \u0663" }, "#", { "Room #, floor #" }, 2 },
        // Plain text: case folded beyond ASCII, whole words, never inside markup.
        { { "\u00e4" }, { "\u00c4rger \u00e4rger" }, "a", { "arger arger" }, 2 },
        { { "caf\u00e9", false, false, true }, { "caf\u00e9 caf\u00e9s" }, "bar", { "bar caf\u00e9s" }, 1 },
        { { "i" }, { "<i>Hi</i> {\\i1}I{\\i0}" }, "y", { "<i>Hy</i> {\\i1}y{\\i0}" }, 2 },
        { { "a.b" }, { "a.b axb" }, "-", { "- axb" }, 1 },
    };
    for (const Case& c : cases) {
        const auto [lines, count] = replaceAll(c.options, c.lines, c.with);
        EXPECT_EQ(lines, c.expected) << c.options.pattern;
        EXPECT_EQ(count, c.count) << c.options.pattern;
    }
    EXPECT_THROW(TextSearch(FindOptions { "(", true }), Error);
    EXPECT_THROW(TextSearch(FindOptions {}), Error);
}

TEST(FindReplace, FindsForwardAndBackRoundTheTable)
{
    SubtitleTable table;
    test::Fill(table, { { "10", "20", "one x", "two x" }, { "30", "40", "none" }, { "50", "x", "x three" } });
    const TextSearch text(FindOptions { "x" });
    auto m = text.findFrom(table, 1, SubtitleTable::Line1, 0, false);
    ASSERT_TRUE(m);
    EXPECT_EQ(std::make_tuple(m->row, m->column, m->offsetInCell), std::make_tuple(1, 2, size_t(4)));
    m = text.findFrom(table, 1, SubtitleTable::Line1, m->span.end, false);
    EXPECT_EQ(std::make_tuple(m->row, m->column, m->offsetInCell), std::make_tuple(1, 3, size_t(4)));
    m = text.findFrom(table, 3, SubtitleTable::Line1, 1, false); // round to the top
    EXPECT_EQ(std::make_pair(m->row, m->span.start), std::make_pair(1, size_t(4)));
    m = text.findFrom(table, 1, SubtitleTable::Line1, 0, true); // round to the bottom
    EXPECT_EQ(std::make_pair(m->row, m->span.start), std::make_pair(3, size_t(0)));
    // All columns: the To cell of row 3 comes before its text.
    const TextSearch all(FindOptions { "x", false, false, false, true });
    m = all.findFrom(table, 2, SubtitleTable::From, 0, false);
    EXPECT_EQ(std::make_pair(m->row, m->column), std::make_pair(3, int(SubtitleTable::To)));
    const auto change = PlanReplaceOne(table, all, *m, "60");
    ASSERT_TRUE(change);
    EXPECT_EQ(change->rows[0].to, "60");
}
