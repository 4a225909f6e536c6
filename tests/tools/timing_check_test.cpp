#include "fakes.h"
#include "test_support.h"
#include "tools/timing_check.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::CheckFixture;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;
using tessel::test::ScriptedCheckDialog;

namespace {

const std::string Overlap = "This subtitle start before the previous one ends.";
const std::string TooShort = "This subtitle is visible for too short time.";
const QString Done = QStringLiteral("The subtitles timing check is complete.");

std::string chars(int n) { return std::string(static_cast<size_t>(n), 'x'); }

std::vector<Row> full(std::vector<Row> rows)
{
    for (Row& row : rows)
        row.resize(5);
    return rows;
}

void expectDone(const CheckFixture& fixture)
{
    ASSERT_EQ(fixture.messages.messages.size(), 1u);
    EXPECT_EQ(fixture.messages.messages[0].title, "Done");
    EXPECT_EQ(fixture.messages.messages[0].text, Done);
    EXPECT_EQ(fixture.messages.messages[0].icon, MessageIcon::Information);
}

} // namespace

TEST(TimingCheck, NeedIsCharactersTimes1398RoundedPlus30)
{
    struct Case {
        int characters;
        int64_t need;
    };
    const Case cases[] = { { 0, 30 }, { 5, 37 }, { 20, 58 }, { 40, 86 } };
    for (const Case& c : cases)
        EXPECT_EQ(NeededFrames(c.characters), c.need) << c.characters;
}

// Each finding answered with Auto-Fix, which writes the proposed value.
TEST(TimingCheck, FindingsAndWhatAutoFixInTheDialogWrites)
{
    struct Case {
        std::vector<Row> rows;
        bool shortTime;
        std::vector<std::string> findings;
        std::vector<Row> fixed;
    };
    const std::string twenty = chars(20), ten = chars(10), forty = chars(40);
    const Case cases[] = {
        { { { "100", "150" }, { "150", "200" } }, false, {},
            { { "100", "150" }, { "150", "200" } } }, // start on the end: fine
        { { { "100", "150" }, { "149", "200" } }, false, { Overlap }, { { "100", "150" }, { "151", "200" } } },
        { { { "100", "160", twenty } }, true, {}, { { "100", "160", twenty } } }, // 58 is not above 70
        { { { "100", "160", twenty, ten, ten } }, true, { TooShort },
            { { "100", "186", twenty, ten, ten } } }, // 86 > 70
        { { { "100", "160", forty } }, false, {}, { { "100", "160", forty } } }, // only when asked
        { { { "100", "106", "ab\xc3\xa9\xc3\xa9" } }, true, { TooShort },
            { { "100", "136", "ab\xc3\xa9\xc3\xa9" } } }, // characters, not bytes
        { { { "100", "150" }, { "abc", "" } }, false, { Overlap },
            { { "100", "150" }, { "151", "" } } }, // a bad cell reads 0, stays
        // The too-short test keeps the start read before the dialog: 50 + 30.
        { { { "100", "150" }, { "50", "60" } }, true, { Overlap, TooShort }, { { "100", "150" }, { "151", "80" } } },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, c.rows);
        CheckFixture fixture;
        fixture.dialog = ScriptedCheckDialog({}, CheckAutoFix);
        EXPECT_EQ(CheckTiming(table, false, c.shortTime, fixture.services()), CheckOutcome::Completed);
        std::vector<std::string> findings;
        for (const auto& shown : fixture.dialog.shown) {
            findings.push_back(shown.message);
            EXPECT_TRUE(shown.autoFixEnabled);
        }
        EXPECT_EQ(findings, c.findings) << c.rows[0][0];
        EXPECT_EQ(Rows(table), full(c.fixed)) << c.rows[0][0];
        EXPECT_EQ(fixture.video.pauses, 1);
        expectDone(fixture);
    }
}

TEST(TimingCheck, AutoFixCorrectsWithoutAsking)
{
    struct Case {
        std::vector<Row> rows;
        bool shortTime;
        std::vector<Row> fixed;
    };
    const Case cases[] = {
        { { { "abc", "x" } }, false, { { "0", "0" } } }, // bad cells become "0"
        { { { "abc", "40", "hi" } }, true, { { "0", "40", "hi" } } }, // then tested with start 0: 33 <= 50
        { { { "100", "150" }, { "149", "160" } }, true, { { "100", "150" }, { "151", "181" } } }, // 151 + 30
        // Row 3 is compared with row 2's end as it stands: untouched here, moved below.
        { { { "100", "300" }, { "200", "250" }, { "290", "400" } }, false,
            { { "100", "300" }, { "301", "250" }, { "290", "400" } } },
        { { { "100", "300" }, { "200", "250" }, { "240", "400" } }, true,
            { { "100", "300" }, { "301", "331" }, { "332", "400" } } },
        { { { "100", "150" }, { "10", "" } }, false, { { "100", "150" }, { "151", "0" } } },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, c.rows);
        CheckFixture fixture;
        EXPECT_EQ(CheckTiming(table, true, c.shortTime, fixture.services()), CheckOutcome::Completed);
        EXPECT_TRUE(fixture.dialog.shown.empty());
        EXPECT_EQ(Rows(table), full(c.fixed)) << c.rows[0][0];
        expectDone(fixture);
    }
}

TEST(TimingCheck, BadCellsStayWithoutAutoFix)
{
    SubtitleTable table;
    Fill(table, { { "abc", "x", "hi" } });
    CheckFixture fixture;
    CheckTiming(table, false, false, fixture.services());
    EXPECT_EQ(Rows(table), full({ { "abc", "x", "hi" } }));
}

TEST(TimingCheck, CancelStopsButKeepsEarlierCorrections)
{
    SubtitleTable table;
    Fill(table, { { "100", "150" }, { "140", "200" }, { "190", "300" }, { "250", "400" } });
    CheckFixture fixture;
    fixture.dialog = ScriptedCheckDialog({ CheckAutoFix, CheckCancel });
    EXPECT_EQ(CheckTiming(table, false, false, fixture.services()), CheckOutcome::Cancelled);
    EXPECT_EQ(fixture.dialog.shown.size(), 2u);
    EXPECT_EQ(Rows(table), full({ { "100", "150" }, { "151", "200" }, { "190", "300" }, { "250", "400" } }));
    EXPECT_TRUE(fixture.messages.messages.empty());
}

TEST(TimingCheck, ChangeInTheDialogReachesTheTableAndTheNextRow)
{
    SubtitleTable table;
    Fill(table, { { "100", "150" }, { "140", "200" }, { "210", "300" } });
    CheckFixture fixture;
    fixture.dialog = ScriptedCheckDialog({ CheckChange });
    // The user fixes row 2 by hand and also lengthens it past row 3's start.
    fixture.dialog.edit = [](CheckWindow& window) {
        window.rows[1][0] = "160";
        window.rows[1][1] = "250";
    };
    CheckTiming(table, false, false, fixture.services());
    ASSERT_EQ(fixture.dialog.shown.size(), 2u);
    EXPECT_EQ(fixture.dialog.shown[1].window.markRow, 3);
    EXPECT_EQ(table.cell(SubtitleTable::From, 2), "160");
    EXPECT_EQ(table.cell(SubtitleTable::From, 3), "210"); // the second finding was ignored
}
