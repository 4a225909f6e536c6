#include "fakes.h"
#include "test_support.h"
#include "tools/width_check.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::CheckFixture;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;
using tessel::test::ScriptedCheckDialog;
using tessel::test::TenPixelFont;

namespace {

const QString Done = QStringLiteral("The subtitles text width check is complete.");

std::string tooLong(const std::string& fitting)
{
    return "This text is too long. Please correct. [" + fitting + "<--]";
}

} // namespace

TEST(WidthCheck, LimitIsNinetyEightPercentTiesToEven)
{
    struct Case {
        int32_t screen;
        int limit;
    };
    const Case cases[] = { { 640, 627 }, { 380, 372 }, { 420, 412 }, { 480, 470 }, { 512, 502 }, { 800, 784 },
        { 1024, 1004 }, { 0, 0 } };
    for (const Case& c : cases)
        EXPECT_EQ(TextWidthLimit(c.screen), c.limit) << c.screen;
}

TEST(WidthCheck, ReportsEachTooWideLineWithThePartThatFits)
{
    // Screen 100: limit 98, so 9 characters fit at 10 px each.
    struct Case {
        std::string screen;
        std::vector<Row> rows;
        std::vector<std::string> findings;
        std::vector<int> columns;
    };
    const Case cases[] = {
        { "100", { { "1", "2", "123456789", "1234567890", "abcdefghijkl" } },
            { tooLong("123456789"), tooLong("abcdefghi") }, { 3, 4 } },
        { "0", { { "1", "2", "a", "", "bc" } }, { tooLong(""), tooLong("") },
            { 2, 4 } }, // everything non-empty is too wide
        { "100", { { "1", "2", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9" } },
            { tooLong("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9") },
            { 2 } }, // whole characters
        { "  50", { { "1", "2", "1234" }, { "3", "4", "", "12345" } }, { tooLong("1234") },
            { 3 } }, // 49: 50 px is one too many
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, c.rows);
        CheckFixture fixture;
        TenPixelFont font;
        EXPECT_EQ(CheckTextWidth(table, c.screen, font, fixture.services()), CheckOutcome::Completed);
        std::vector<std::string> findings;
        std::vector<int> columns;
        for (const auto& shown : fixture.dialog.shown) {
            findings.push_back(shown.message);
            columns.push_back(shown.window.markColumn);
            EXPECT_FALSE(shown.autoFixEnabled);
        }
        EXPECT_EQ(findings, c.findings) << c.screen;
        EXPECT_EQ(columns, c.columns) << c.screen;
        EXPECT_EQ(fixture.video.pauses, 1);
        ASSERT_EQ(fixture.messages.messages.size(), 1u);
        EXPECT_EQ(fixture.messages.messages[0].title, "Done");
        EXPECT_EQ(fixture.messages.messages[0].text, Done);
        EXPECT_EQ(fixture.messages.messages[0].icon, MessageIcon::Information);
    }
}

TEST(WidthCheck, RefusesAWidthThatIsNotAWholeNumberOrNegative)
{
    for (const char* screen : { "640px", "", "-1", "-640", "6 40" }) {
        SubtitleTable table;
        Fill(table, { { "1", "2", "some text" } });
        CheckFixture fixture;
        TenPixelFont font;
        EXPECT_EQ(CheckTextWidth(table, screen, font, fixture.services()), CheckOutcome::Invalid) << screen;
        EXPECT_TRUE(fixture.dialog.shown.empty());
        EXPECT_EQ(fixture.video.pauses, 0);
        ASSERT_EQ(fixture.messages.messages.size(), 1u);
        EXPECT_EQ(fixture.messages.messages[0].title, "Error");
        EXPECT_EQ(fixture.messages.messages[0].text, "Invalid screen width!");
        EXPECT_EQ(fixture.messages.messages[0].icon, MessageIcon::Error);
    }
}

TEST(WidthCheck, CancelEndsWithoutTheCompletionMessage)
{
    SubtitleTable table;
    Fill(table, { { "1", "2", "far too long a line" }, { "3", "4", "another long line" } });
    CheckFixture fixture;
    fixture.dialog = ScriptedCheckDialog({ CheckCancel });
    TenPixelFont font;
    EXPECT_EQ(CheckTextWidth(table, "100", font, fixture.services()), CheckOutcome::Cancelled);
    EXPECT_EQ(fixture.dialog.shown.size(), 1u);
    EXPECT_TRUE(fixture.messages.messages.empty());
}

TEST(WidthCheck, EditsFromTheDialogAreReadWhenTheirCellComesUp)
{
    SubtitleTable table;
    Fill(table, { { "1", "2", "far too long a line", "also far too long" } });
    CheckFixture fixture;
    fixture.dialog = ScriptedCheckDialog({ CheckChange });
    fixture.dialog.edit = [](CheckWindow& window) {
        window.rows[0][2] = "short";
        window.rows[0][3] = "fits now";
    };
    TenPixelFont font;
    CheckTextWidth(table, "100", font, fixture.services());
    EXPECT_EQ(fixture.dialog.shown.size(), 1u); // Line 2 was fixed in the dialog of Line 1
    EXPECT_EQ(Rows(table)[0], (Row { "1", "2", "short", "fits now", "" }));
}

TEST(WidthCheck, FontDescriptionNamesBoldAndPoints)
{
    EXPECT_EQ(FontDescription("Arial", true, 20), "Arial, Bold, 20pt");
    EXPECT_EQ(FontDescription("Tahoma", false, 12), "Tahoma, 12pt");
}
