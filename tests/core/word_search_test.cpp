#include "core/word_search.h"

#include <gtest/gtest.h>

using tessel::WordSearch;

// What a user types into the command palette, and whether it finds a command
// named and described as given; hand-worked.
TEST(WordSearch, EveryWordInAnyOrderCaseAndAccentsIgnored)
{
    const struct {
        const char* query;
        const char* text;
        bool found;
    } cases[] = {
        { "", "Merge with next", true }, // nothing typed: everything
        { "merge", "Merge with next", true },
        { "MERGE", "Merge with next", true },
        { "next merge", "Merge with next", true }, // any order
        { "  next   merge ", "Merge with next", true },
        { "merge previous", "Merge with next", false }, // every word
        { "syn", "Synchronise with the sound", true }, // part of a word
        { "resume", "Résumé of the film", true }, // accents in the text
        { "résumé", "Resume playback", true }, // accents in the query
        { "RÉSUMÉ", "résumé", true },
        { "lodz", "Łódź", true }, // a stroke is no accent, but users type it plain
        { "strasse", "Straße", true },
        { "oeuvre", "Œuvre", true },
        { "e\u0301te\u0301", "été", true }, // combining accents typed
        { "fete", "Fête", true },
        { "feet", "Fête", false },
        { "брат", "Брат", true }, // other scripts
        { "hearing brackets", "Remove hearing-impaired text: brackets, parentheses", true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(WordSearch(QString::fromUtf8(c.query)).matches(WordSearch::Fold(QString::fromUtf8(c.text))), c.found)
            << c.query << " / " << c.text;
    EXPECT_TRUE(WordSearch(QStringLiteral(" \t ")).isEmpty());
}
