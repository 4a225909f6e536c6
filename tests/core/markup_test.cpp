#include "core/markup.h"

#include <gtest/gtest.h>

using namespace tessel;

TEST(Markup, SpansAsTheReadingCheckCountsThem)
{
    const std::string text = "a < b <i>c</i> {\\b1}d{ e\n<f}g>";
    std::vector<std::string> found;
    for (const TextSpan& s : MarkupSpans(text))
        found.push_back(text.substr(s.start, s.end - s.start));
    // "a < b" is no tag, and the "{" has no "}" on its own line.
    EXPECT_EQ(found, (std::vector<std::string> { "<i>", "</i>", "{\\b1}", "<f}g>" }));
    EXPECT_EQ(StripMarkup(text), "a < b c d{ e\n");
    EXPECT_TRUE(IsMarkupOnly(" <i> {\\an8}</i>"));
}

TEST(Markup, WhatIsOpenAtACut)
{
    struct Case {
        const char* text;
        std::string closing, reopening;
    };
    const Case cases[] = {
        { "<i><font color=\"red\">ab", "</font></i>", "<i><font color=\"red\">" },
        { "<i><b>a</i>b", "", "" }, // closing the outer one closes what it holds
        { "<v Bob><br>a<00:01.000>", "</v>", "<v Bob>" },
        { "{\\an8\\i1}a{\\i0\\b1}", "", "{\\an8\\b1}" },
        { "{\\i1\\fnArial}a{\\r}b{\\fs20}", "", "{\\fs20}" },
        { "{\\t(\\i1)\\k20\\pos(1,2)}a", "", "{\\pos(1,2)}" },
        { "{a comment}<i>", "</i>", "<i>" },
    };
    for (const Case& c : cases) {
        const std::string text = c.text;
        const OpenMarkup open = MarkupOpenAt(text, text.size());
        EXPECT_EQ(open.closing, c.closing) << c.text;
        EXPECT_EQ(open.reopening, c.reopening) << c.text;
    }
    EXPECT_TRUE(IsClosingMarkup("{\\i0\\b0}"));
    EXPECT_FALSE(IsClosingMarkup("{\\i0\\b1}"));
}

TEST(Markup, EmptyPairsGoAndTheSpaceBetweenWordsStays)
{
    EXPECT_EQ(DropEmptyMarkupPairs("<i></i>Hello"), "Hello");
    EXPECT_EQ(DropEmptyMarkupPairs("a<i> </i>b"), "a b");
    EXPECT_EQ(DropEmptyMarkupPairs("<b><i></i></b>x{\\i1}{\\i0}"), "x");
    EXPECT_EQ(DropEmptyMarkupPairs("<i>x</i><b></i>"), "<i>x</i><b></i>");
    EXPECT_EQ(SplitLines(JoinLines({ "a", "", "c", "", "" })), (std::vector<std::string> { "a", "", "c" }));
}
