#include "test_support.h"
#include "tools/hearing_impaired.h"

#include <gtest/gtest.h>

using namespace tessel;

TEST(HearingImpaired, RemovesWhatTheOptionsNameAndTidiesUp)
{
    const HearingImpairedOptions defaults;
    HearingImpairedOptions keepBrackets, sung;
    keepBrackets.brackets = false;
    sung.sungLines = true;
    struct Case {
        const char* text;
        HearingImpairedOptions options;
        const char* expected;
    };
    const Case cases[] = {
        { "[door slams]", defaults, "" },
        { "JOHN: Where were you?\n- (laughs) Hello.", defaults, "Where were you?\n- Hello." },
        // One speaker left: no dialogue dash.
        { "- [sighs]\n- I know.", defaults, "I know." },
        { "<i>[music playing]</i>\nHello", defaults, "Hello" },
        // What the first line opened stays open for the next.
        { "<i>[to John]\nCome here.</i>", defaults, "<i>Come here.</i>" },
        { "(he\nlaughs) OK [so [very] sad]", defaults, "OK" },
        { "DR. WHO: Run!\nMr. Smith: hello", defaults, "Run!\nMr. Smith: hello" },
        { "It's 10:30 now.  See: http://x.org", defaults, "It's 10:30 now.  See: http://x.org" },
        { "[door slams] Hi", keepBrackets, "[door slams] Hi" },
        { "\u266A \u266A\nWho's there?", defaults, "Who's there?" },
        { "\u266A Happy birthday \u266A", defaults, "\u266A Happy birthday \u266A" },
        { "\u266A Happy birthday \u266A\nThanks!", sung, "Thanks!" },
        { "{\\i1}(whispers){\\i0} Quiet!", defaults, "Quiet!" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(RemoveHearingImpaired(c.text, c.options), c.expected) << c.text;
}

TEST(HearingImpaired, RowsLeftEmptyGo)
{
    SubtitleTable table;
    test::Fill(table, { { "0", "1", "[thunder]" }, { "1", "2", "Hello" }, { "2", "3", "ANNA:", "(gasps)" } });
    const std::vector<RowChange> changes = PlanRemoveHearingImpaired(table, {});
    ASSERT_EQ(changes.size(), 2u);
    ApplyRowChanges(table, changes);
    EXPECT_EQ(test::Rows(table), (std::vector<test::Row> { { "1", "2", "Hello", "", "" } }));
}
