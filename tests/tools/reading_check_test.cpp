#include "core/errors.h"
#include "test_support.h"
#include "tool_fakes.h"
#include "tools/reading_check.h"

#include <gtest/gtest.h>
#include <random>

using namespace tessel;
using tessel::test::CheckFixture;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;
using tessel::test::ScriptedDialog;

namespace {

constexpr double Ntsc = 24000.0 / 1001.0;

const ReadingProfile& adults() { return BuiltInProfiles()[0]; }

ReadingRules::RuleSet only(ReadingRule rule)
{
    ReadingRules::RuleSet set {};
    set[static_cast<size_t>(rule)] = true;
    return set;
}

std::string chars(int n) { return std::string(static_cast<size_t>(n), 'x'); }

// Every finding with its proposal, the table unchanged.
std::vector<ReadingFinding> lint(const SubtitleTable& table, const ReadingRules& rules)
{
    std::vector<ReadingFinding> found;
    for (int row = 1; row < table.rowCount(); ++row)
        rules.forEachFinding(table, row, [&](const ReadingFinding& f) {
            found.push_back(f);
            return true;
        });
    return found;
}

} // namespace

TEST(ReadingCharacters, MarkupAndLineBreaksAreNotReadAndEveryCharacterCountsOnce)
{
    struct Case {
        const char* line;
        int all, withoutSpacesAndPunctuation;
    };
    const Case cases[] = {
        { "Hello", 5, 5 },
        { "<i>Hello</i>", 5, 5 },
        { "{\\i1}Hello{\\i0}", 5, 5 },
        { "{y:i}Hello", 5, 5 },
        { "<font color=\"#ff0000\">Red</font>", 3, 3 },
        { "<00:00:01.500>Now", 3, 3 },
        { "a < b > c", 9, 5 }, // a comparison, not a tag
        { "I <3 you", 8, 6 }, // nothing closes it; "<" is a symbol, not punctuation
        { "{unclosed", 9, 8 },
        { "Line\r\n", 4, 4 },
        { "\xC3\x87"
          "a va, gar\xC3\xA7on ?",
            15, 10 }, // "Ça va, garçon ?"
        { "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 3, 3 }, // three CJK characters, 9 bytes
        { "\xF0\x9F\x98\x80!", 2, 1 }, // an emoji (4 bytes) is read, "!" is punctuation
        { "\xE2\x80\x94 Non, dit-il.", 14, 8 }, // "— Non, dit-il.": the dash is punctuation
        { "", 0, 0 },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadingCharacters(c.line), c.all) << c.line;
        EXPECT_EQ(ReadingCharacters(c.line, false), c.withoutSpacesAndPunctuation) << c.line;
    }
}

TEST(ReadingCharacters, ALongLineOfOpeningBracesIsCountedInOnePass)
{
    EXPECT_EQ(ReadingCharacters(std::string(2'000'000, '{')), 2'000'000);
    EXPECT_EQ(ReadingCharacters(std::string(2'000'000, '<') + "a"), 2'000'001);
}

TEST(ReadingProfileFrames, SecondsBecomeWholeFramesAtTheFramerate)
{
    struct Case {
        double seconds, framerate;
        int64_t atLeast, atMost;
    };
    const Case cases[] = {
        { 5.0 / 6.0, 24, 20, 20 }, // exactly 20 frames
        { 5.0 / 6.0, 25, 21, 20 }, // 20.83
        { 5.0 / 6.0, Ntsc, 20, 19 }, // 19.98
        { 7, 25, 175, 175 }, { 7, Ntsc, 168, 167 }, // 167.83
        { 0.024, 25, 1, 0 }, // 0.6
        { 1, 23.976, 24, 23 }, // 23.976
    };
    for (const Case& c : cases) {
        const TimeSpan span { c.seconds, false, "" };
        EXPECT_EQ(span.atLeastFrames(c.framerate), c.atLeast) << c.seconds << " s at " << c.framerate;
        EXPECT_EQ(span.atMostFrames(c.framerate), c.atMost) << c.seconds << " s at " << c.framerate;
    }
}

// Each rule alone at its limit and one frame or character over, with the
// Netflix adult profile: 20 characters/s, 42 a line, 2 lines, 5/6 s to 7 s,
// a gap of 2 frames.
TEST(ReadingRulesTest, EachRuleAtItsLimitAndOneOver)
{
    struct Case {
        ReadingRule rule;
        double framerate;
        std::vector<Row> rows;
        int findings; // in row 1
        std::string measured, limit;
        std::optional<int32_t> proposedEnd;
    };
    const std::string l40 = chars(40), l42 = chars(42), l43 = chars(43);
    const Case cases[] = {
        // Reading speed: characters / (frames / framerate), shown with one decimal.
        { ReadingRule::ReadingSpeed, 25, { { "0", "50", l40 } }, 0, "", "", {} }, // 20.0
        { ReadingRule::ReadingSpeed, 25, { { "0", "49", l40 } }, 1, "20.4", "20", 50 }, // 20.41
        { ReadingRule::ReadingSpeed, 25, { { "0", "101", chars(41), chars(40) } }, 0, "", "", {} }, // 20.05 -> 20.0
        { ReadingRule::ReadingSpeed, 25, { { "0", "100", chars(41), chars(40) } }, 1, "20.3", "20",
            101 }, // 20.25 -> 20.3; 101 frames show 20.0
        { ReadingRule::ReadingSpeed, Ntsc, { { "0", "48", l40 } }, 0, "", "", {} }, // 19.98
        { ReadingRule::ReadingSpeed, Ntsc, { { "0", "47", l40 } }, 1, "20.4", "20", 48 }, // 20.40
        { ReadingRule::ReadingSpeed, Ntsc, { { "0", "61", chars(26), chars(25) } }, 0, "", "", {} }, // 20.046
        { ReadingRule::ReadingSpeed, 25, { { "10", "10", "Hi" } }, 1, "inf", "20", 13 }, // shown for no time
        // Line length: characters of one line.
        { ReadingRule::LineLength, 25, { { "0", "100", l42, l42 } }, 0, "", "", {} },
        { ReadingRule::LineLength, 25, { { "0", "100", l42, l43 } }, 1, "43", "42", {} },
        { ReadingRule::LineLength, 25, { { "0", "100", "<i>" + l42 + "</i>" } }, 0, "", "", {} },
        // Line count.
        { ReadingRule::LineCount, 25, { { "0", "100", "a", "b" } }, 0, "", "", {} },
        { ReadingRule::LineCount, 25, { { "0", "100", "a", "b", "c" } }, 1, "3", "2", {} },
        { ReadingRule::LineCount, 25, { { "0", "100", "a", "b", "{\\i1}" } }, 0, "", "", {} }, // nothing to read
        // Minimum duration 5/6 s: 21 frames at 25, 20 at 24000/1001.
        { ReadingRule::MinDuration, 25, { { "100", "121" } }, 0, "", "", {} },
        { ReadingRule::MinDuration, 25, { { "100", "120" } }, 1, "20", "21", 121 },
        { ReadingRule::MinDuration, Ntsc, { { "100", "120" } }, 0, "", "", {} },
        { ReadingRule::MinDuration, Ntsc, { { "100", "119" } }, 1, "19", "20", 120 },
        // Maximum duration 7 s: 175 frames at 25, 167 at 24000/1001.
        { ReadingRule::MaxDuration, 25, { { "100", "275" } }, 0, "", "", {} },
        { ReadingRule::MaxDuration, 25, { { "100", "276" } }, 1, "176", "175", 275 },
        { ReadingRule::MaxDuration, Ntsc, { { "100", "267" } }, 0, "", "", {} },
        { ReadingRule::MaxDuration, Ntsc, { { "100", "268" } }, 1, "168", "167", 267 },
        // Gap of 2 frames to the next subtitle: the earlier end moves back.
        { ReadingRule::MinGap, 25, { { "0", "50" }, { "52", "100" } }, 0, "", "", {} },
        { ReadingRule::MinGap, 25, { { "0", "51" }, { "52", "100" } }, 1, "1", "2", 50 },
        { ReadingRule::MinGap, Ntsc, { { "0", "60" }, { "52", "100" } }, 1, "-8", "2", 50 }, // an overlap
        { ReadingRule::MinGap, Ntsc, { { "51", "60" }, { "52", "100" } }, 1, "-8", "2", {} }, // no room
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, c.rows);
        const ReadingRules rules(adults(), c.framerate, only(c.rule));
        std::vector<ReadingFinding> found = lint(table, rules);
        const std::string what
            = std::string(ReadingRuleId(c.rule)) + " " + c.rows[0][1] + " at " + std::to_string(c.framerate);
        ASSERT_EQ(static_cast<int>(found.size()), c.findings) << what;
        if (found.empty()) continue;
        EXPECT_EQ(found[0].row, 1) << what;
        EXPECT_EQ(found[0].rule, c.rule) << what;
        EXPECT_EQ(ReadingRules::MeasuredText(found[0]), c.measured) << what;
        EXPECT_EQ(ReadingRules::LimitText(found[0]), c.limit) << what;
        EXPECT_EQ(found[0].proposedEnd, c.proposedEnd) << what;
    }
}

TEST(ReadingRulesTest, ALaterEndStopsShortOfTheNextSubtitleAndTheMaximum)
{
    struct Case {
        std::vector<Row> rows;
        std::optional<int32_t> proposedEnd;
    };
    // 80 characters at 25 fps need 100 frames; 5/6 s is 21 frames.
    const std::string text = chars(80);
    const Case cases[] = {
        { { { "0", "10", text }, { "200", "300" } }, 100 }, // room enough
        { { { "0", "10", text }, { "50", "300" } }, 48 }, // up to the next start less 2 frames
        { { { "0", "10", text }, { "12", "300" } }, {} }, // no room at all
        { { { "0", "10", text }, { "abc", "300" } }, {} }, // the next start is unknown
        { { { "0", "10", chars(200) } }, 175 }, // 250 frames wanted, 7 s at most
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, c.rows);
        ReadingRules::RuleSet set = only(ReadingRule::ReadingSpeed);
        set[static_cast<size_t>(ReadingRule::MaxDuration)] = true;
        const std::vector<ReadingFinding> found = lint(table, ReadingRules(adults(), 25, set));
        ASSERT_FALSE(found.empty()) << c.rows[0][1];
        EXPECT_EQ(found[0].rule, ReadingRule::ReadingSpeed);
        EXPECT_EQ(found[0].proposedEnd, c.proposedEnd) << c.rows.size();
    }
}

TEST(ReadingRulesTest, RulesThatAreUntickedOrLeftOutOfTheProfileAreNotChecked)
{
    SubtitleTable table;
    Fill(table, { { "0", "5", chars(50), "b", "c" }, { "6", "9" } });
    EXPECT_EQ(lint(table, ReadingRules(adults(), 25, ReadingRules::RuleSet {})).size(), 0u);
    ReadingProfile bare;
    bare.name = "bare";
    EXPECT_EQ(lint(table, ReadingRules(bare, 25)).size(), 0u);
    // Row 1 breaks every rule once, line length on line 1 only.
    std::vector<std::string> ids;
    for (const ReadingFinding& f : lint(table, ReadingRules(adults(), 25)))
        if (f.row == 1) ids.emplace_back(ReadingRuleId(f.rule));
    EXPECT_EQ(
        ids, (std::vector<std::string> { "min-gap", "min-duration", "reading-speed", "line-length", "line-count" }));
}

TEST(ReadingRulesTest, CellsThatAreNoNumbersSkipOnlyTheTimingRules)
{
    SubtitleTable table;
    Fill(table, { { "abc", "", chars(43) } });
    const std::vector<ReadingFinding> found = lint(table, ReadingRules(adults(), 25));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].rule, ReadingRule::LineLength);
    EXPECT_FALSE(found[0].start.has_value());
    SubtitleTable empty;
    EXPECT_TRUE(lint(empty, ReadingRules(adults(), 25)).empty());
}

// Whatever the rows, a fix never runs a subtitle into the next one or past
// the gap, and never ends one before it starts.
TEST(FixReadingTest, NeverCreatesAnOverlapOrAnEmptySubtitle)
{
    for (const double framerate : { 25.0, Ntsc }) {
        std::mt19937 random(7);
        SubtitleTable table;
        std::vector<Row> rows;
        int start = 0;
        for (int i = 0; i < 3000; ++i) {
            start += static_cast<int>(random() % 60);
            const int end = start + static_cast<int>(random() % 250) - 5;
            rows.push_back({ std::to_string(start), std::to_string(end), chars(static_cast<int>(random() % 90)) });
        }
        Fill(table, rows);
        const ReadingRules rules(adults(), framerate);
        const ReadingFixReport report = FixReading(table, rules);
        EXPECT_GT(report.fixed, 0);
        const int64_t gap = adults().minGap->atLeastFrames(framerate);
        for (int row = 1; row < table.rowCount(); ++row) {
            const int before = std::stoi(rows[static_cast<size_t>(row - 1)][1]);
            const int from = std::stoi(std::string(table.cell(SubtitleTable::From, row)));
            const int to = std::stoi(std::string(table.cell(SubtitleTable::To, row)));
            EXPECT_EQ(from, std::stoi(rows[static_cast<size_t>(row - 1)][0])) << row; // starts never move
            if (to == before) continue;
            EXPECT_GT(to, from) << row << " at " << framerate;
            if (row + 1 < table.rowCount() && to > before) {
                const int next = std::stoi(std::string(table.cell(SubtitleTable::From, row + 1)));
                EXPECT_LE(to, next - gap) << row << " at " << framerate;
            }
        }
    }
}

TEST(FixReadingTest, AppliesEveryProposalAndCountsWhatIsLeft)
{
    SubtitleTable table;
    // Too short with room; too long; too close to the next; too short without room, and three lines.
    Fill(table,
        { { "0", "10", "Hi" }, { "100", "400", "Hi" }, { "400", "420", "Hi" }, { "421", "430", "a", "b", "c" } });
    const ReadingFixReport report = FixReading(table, ReadingRules(adults(), 25));
    EXPECT_EQ(Rows(table),
        (std::vector<Row> { { "0", "21", "Hi", "", "" }, { "100", "275", "Hi", "", "" }, { "400", "419", "Hi", "", "" },
            { "421", "442", "a", "b", "c" } }));
    // Fixed: row 1's end, row 2's gap then its length, row 3's gap, row 4's
    // end (the last row has no next one to stop at). Left: row 3, too short
    // after its gap fix (19 < 21 frames, no room), and row 4's three lines.
    EXPECT_EQ(report.fixed, 5);
    EXPECT_EQ(report.left, 2);
}

TEST(CheckReadingTest, EachFindingGoesThroughTheDialogWithItsProposalBehindAutoFix)
{
    SubtitleTable table;
    Fill(table, { { "0", "10", "Hi" }, { "100", "200", chars(43) } });
    CheckFixture fixture;
    fixture.dialog = ScriptedDialog({ CheckAutoFix, CheckIgnore });
    EXPECT_EQ(CheckReading(table, ReadingRules(adults(), 25), false, fixture.services(), ','), CheckOutcome::Completed);
    EXPECT_EQ(fixture.video.pauses, 1);
    ASSERT_EQ(fixture.dialog.shown.size(), 2u);
    EXPECT_EQ(fixture.dialog.shown[0].message, "Shown 10 frames (0,4 s), minimum 21 frames (0,84 s).");
    EXPECT_TRUE(fixture.dialog.shown[0].autoFixEnabled);
    EXPECT_EQ(fixture.dialog.shown[0].window.markColumn, SubtitleTable::To);
    EXPECT_EQ(fixture.dialog.shown[1].message, "Line 1: 43 characters, limit 42.");
    EXPECT_FALSE(fixture.dialog.shown[1].autoFixEnabled);
    EXPECT_EQ(fixture.dialog.shown[1].window.markColumn, SubtitleTable::Line1);
    EXPECT_EQ(fixture.dialog.shown[1].window.markRow, 2);
    EXPECT_EQ(table.cell(SubtitleTable::To, 1), "21");
    ASSERT_EQ(fixture.messages.messages.size(), 1u);
    EXPECT_EQ(fixture.messages.messages[0].title, "Done");
    EXPECT_EQ(fixture.messages.messages[0].text, "The reading speed and layout check is complete.");
}

TEST(CheckReadingTest, AutoFixAsksOnlyAboutWhatItCannotFixAndCancelStops)
{
    SubtitleTable table;
    Fill(table, { { "0", "10", "Hi" }, { "12", "20", "Hi" }, { "100", "110", "a", "b", "c" } });
    CheckFixture fixture;
    fixture.dialog = ScriptedDialog({ CheckIgnore, CheckCancel });
    EXPECT_EQ(CheckReading(table, ReadingRules(adults(), 25), true, fixture.services(), '.'), CheckOutcome::Cancelled);
    // Row 1 has no room (the next starts at 12); rows 2 and 3 were lengthened
    // to 21 frames without asking, then row 3's lines were asked about.
    ASSERT_EQ(fixture.dialog.shown.size(), 2u);
    EXPECT_EQ(fixture.dialog.shown[0].message, "Shown 10 frames (0.4 s), minimum 21 frames (0.84 s).");
    EXPECT_FALSE(fixture.dialog.shown[0].autoFixEnabled);
    EXPECT_EQ(fixture.dialog.shown[1].message, "3 lines, limit 2.");
    EXPECT_EQ(table.cell(SubtitleTable::To, 2), "33");
    EXPECT_EQ(table.cell(SubtitleTable::To, 3), "121");
    EXPECT_TRUE(fixture.messages.messages.empty());
}

// A framerate typed as 1e9 makes the frames wanted for a long text run past
// any frame number: the proposal stops at the largest one, at once.
TEST(ReadingRulesTest, ExtremeFrameratesGiveBoundedProposals)
{
    SubtitleTable table;
    Fill(table, { { "0", "1", chars(100000) } });
    const std::vector<ReadingFinding> found = lint(table, ReadingRules(adults(), 1e9, only(ReadingRule::ReadingSpeed)));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].proposedEnd, 2147483647);
    EXPECT_THROW(ReadingRules(adults(), 0), Error);
    EXPECT_THROW(ReadingRules(adults(), -25), Error);
}
