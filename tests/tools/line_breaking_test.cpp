#include "test_support.h"
#include "tools/line_breaking.h"

#include <gtest/gtest.h>

using namespace tessel;

// Each case worked by hand from the costs in line_breaking.h (the longest
// line less the shortest, the bonuses and penalties, the pyramid), which
// follow the published rules: one line when it fits, break after punctuation
// and before conjunctions, never between an article, a pronoun or an
// auxiliary and what follows, a bottom-heavy pyramid.
TEST(LineBreaking, HandWorkedBreaks)
{
    struct Case {
        const char* text;
        int chars, lines;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        // 43 characters: 19/23 is the most even; "the|lazy" would end a line with an article.
        { "The quick brown fox jumps over the lazy dog", 42, 2, { "The quick brown fox", "jumps over the lazy dog" } },
        { "Short line\nhere", 42, 2, { "Short line here" } },
        // 4/9 and 9/4 cost the same: the lower line is the longer.
        { "Tell Mary soon", 10, 2, { "Tell", "Mary soon" } },
        // After the comma (12/26: 2*(14-16) = -4) rather than the even "will|be" after an auxiliary (24).
        { "Wait for me, I will be back in a minute", 30, 2, { "Wait for me,", "I will be back in a minute" } },
        // Before the preposition: 23/25, 2*(2-4) = -4; "in|the" ends a line with a preposition (33).
        { "I told you <i>that the man in the blue coat</i> was here", 42, 2,
            { "I told you <i>that the man", "in the blue coat</i> was here" } },
        // Markup next to the break goes with its own side: closing up, opening down.
        { "<i>I told you that the man</i> <b>in the blue coat</b> was here", 42, 2,
            { "<i>I told you that the man</i>", "<b>in the blue coat</b> was here" } },
        { "{\\an8}Où est la gare? Je cherche le train de nuit.", 30, 2,
            { "{\\an8}Où est la gare?", "Je cherche le train de nuit." } },
        // Right to left, in logical order: after the comma (12/20) before the even 16/16.
        { "אני לא יודע, אבל אולי נלך מחר לים", 20, 2, { "אני לא יודע,", "אבל אולי נלך מחר לים" } },
        // No spaces: ICU breaks between ideographs; after the ideographic comma (18/14).
        { "私は昨日友達と一緒に映画館へ行って、とても面白い映画を見ました。", 20, 2,
            { "私は昨日友達と一緒に映画館へ行って、", "とても面白い映画を見ました。" } },
        { "One two three four five six", 10, 3, { "One two", "three four", "five six" } },
        // A dialogue keeps its speakers' lines.
        { "- Are you coming with us tonight?\n- No.", 20, 2, { "- Are you coming with us tonight?", "- No." } },
        // Too long for two lines of 10: the shortest longest line there is (19/19).
        { "Tomorrow morning we leave for the coast", 10, 2, { "Tomorrow morning we", "leave for the coast" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(BreakText(c.text, LineLimits { c.chars, c.lines }), c.expected) << c.text;
}

TEST(LineBreaking, UnbreakJoinsOnlyWhatFitsOneLine)
{
    EXPECT_EQ(UnbreakText("<i>Hello</i>\nthere", 11), std::optional<std::string>("<i>Hello</i> there"));
    EXPECT_EQ(UnbreakText("Hello\nthere", 10), std::nullopt);
    EXPECT_EQ(UnbreakText("- Hi.\n- Hello.", 42), std::nullopt);
    EXPECT_EQ(UnbreakText("One line", 42), std::nullopt);
}

TEST(LineBreaking, PlansListOnlyTheRowsThatChange)
{
    SubtitleTable table;
    test::Fill(table,
        { { "0", "1", "Already short" }, { "1", "2", "Fits on", "one line" },
            { "2", "3", "The quick brown fox jumps over the lazy dog" } });
    const std::vector<RowChange> breaks = PlanBreakLines(table, LineLimits { 42, 2 });
    ASSERT_EQ(breaks.size(), 2u);
    EXPECT_EQ(breaks[0].rows[0].text, "Fits on one line");
    EXPECT_EQ(breaks[1].first, 3);
    ApplyRowChanges(table, breaks);
    EXPECT_EQ(test::Rows(table)[2], (test::Row { "2", "3", "The quick brown fox", "jumps over the lazy dog", "" }));
    EXPECT_TRUE(PlanUnbreak(table, 42, 1).empty());
    EXPECT_EQ(PlanUnbreak(table, 42, 3).size(), 0u); // 43 characters
    EXPECT_EQ(PlanUnbreak(table, 43).size(), 1u);
}
