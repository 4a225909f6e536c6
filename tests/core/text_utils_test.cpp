#include "core/text_utils.h"

#include <gtest/gtest.h>

using namespace tessel;
using Pieces = std::vector<std::string>;

TEST(TextUtils, SplitText)
{
    struct Case {
        const char* text;
        const char* sep;
        bool ignoreCase;
        int max;
        Pieces pieces;
    };
    const Case cases[] = {
        { "a,,b", ",", false, -1, { "a", "", "b" } },
        { ",a,", ",", false, -1, { "", "a" } },
        { "", ",", false, -1, {} },
        { "1,2,3,4", ",", false, 2, { "1", "2,3,4" } },
        { "1,2,3,4", ",", false, 1, { "1,2,3,4" } },
        { "a\\Nb", "\\n", true, -1, { "a", "b" } },
        { "a\\Nb", "\\n", false, -1, { "a\\Nb" } },
        { "abc", "", false, -1, { "abc" } },
        { "a|", "|", false, -1, { "a" } },
        { "|", "|", false, -1, { "" } },
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitText(c.text, c.sep, c.ignoreCase, c.max), c.pieces) << c.text;
}

TEST(TextUtils, FindFrom)
{
    EXPECT_EQ(FindFrom(0, "abc", "b", true), 2);
    EXPECT_EQ(FindFrom(3, "abcb", "B", true), 4);
    EXPECT_EQ(FindFrom(5, "abc", "c", true), 0);
    EXPECT_EQ(FindFrom(1, "abc", "", true), 0);
    EXPECT_EQ(FindFrom(1, "abc", "B", false), 0);
    EXPECT_EQ(FindFrom(1, "xÉté", "été", true), 2); // locale folding of accented letters
}

TEST(TextUtils, ReplaceAllText)
{
    EXPECT_EQ(ReplaceAllText("aaa", "a", "aa", false), "aaaaaa");
    EXPECT_EQ(ReplaceAllText("abc", "", "x", true), "abc");
    EXPECT_EQ(ReplaceAllText("\"\"\"\"", "\"\"", "\"", true), "\"\"");
    EXPECT_EQ(ReplaceAllText("ab AB aB", "ab", "x", true), "x x x");
    EXPECT_EQ(ReplaceAllText("Café CAFÉ", "café", "tea", true), "tea tea");
}

// Ignoring case compares the single-character upper cases of Unicode: a
// dotless i is an I and a long s an S, a sharp s has no single upper case.
TEST(TextUtils, ReplaceIgnoringCaseBeyondAscii)
{
    const struct {
        const char *text, *searched, *replacement, *expected;
    } cases[] = {
        { "ıI i", "i", "x", "xx x" },
        { "ſt ST st", "st", "x", "x x x" },
        { " l  L 日本 l ", " l ", " I ", " I  I 日本 I " },
        { "Ölçü öLÇÜ olcu", "ölçü", "-", "- - olcu" },
        { "κΚ𝐀𝐀", "Κ𝐀", "k", "κk𝐀" },
        { "straße STRASSE", "ß", "ss", "strasse STRASSE" },
        { "„“ ''", "''", "\"", "„“ \"" },
        { "café", "made", "built", "café" },
        // A zero-width no-break space (a byte-order mark left inside a file) is a character like any other.
        { "\xEF\xBB\xBFhello é", "hello", "x", "\xEF\xBB\xBFx é" },
        { "\xEF\xBB\xBFhéllo", "héllo", "x", "\xEF\xBB\xBFx" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAllText(c.text, c.searched, c.replacement, true), c.expected) << c.text << " / " << c.searched;
    std::string out = "kept";
    EXPECT_FALSE(ReplaceAllTextTo(out, "Ελλάδα", "x", "y", true));
    EXPECT_EQ(out, "kept");
    EXPECT_TRUE(ReplaceAllTextTo(out, "ΕΛΛΆΔΑ", "άδα", "", true));
    EXPECT_EQ(out, "ΕΛΛ");
}

TEST(TextUtils, RemoveBlocksAndTrim)
{
    EXPECT_EQ(RemoveBlocks("ab{\\i1}cd{\\b0}e", "{\\", "}"), "abcde");
    EXPECT_EQ(RemoveBlocks("ab{\\i1 cd", "{\\", "}"), "abi1 cd");
    EXPECT_EQ(TrimBlanks("\t a b \r"), "a b");
    EXPECT_EQ(TrimLeftBlanks("  a "), "a ");
    EXPECT_EQ(TrimRightBlanks("  a "), "  a");
    EXPECT_EQ(CharacterCount("héllo"), 5);
    EXPECT_EQ(DropLastCharacter("hé"), "h");
}
