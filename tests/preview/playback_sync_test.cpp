#include "preview/playback_sync.h"
#include "test_support.h"
#include "window_fakes.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Fill;

namespace {

struct FakeMovie : MovieTextView {
    QString timeCode;
    QString subtitle = QStringLiteral("untouched");
    int subtitleChanges = 0;
    void setTimeCode(const QString& text) override { timeCode = text; }
    void setSubtitleText(const QString& text) override
    {
        subtitle = text;
        ++subtitleChanges;
    }
};

struct Switches : PlaybackSwitches {
    bool select = true;
    bool scroll = true;
    bool autoSelect() const override { return select; }
    bool autoScroll() const override { return scroll; }
};

class PlaybackSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fill(table, { { "100", "150", "one", "two", "three" }, { "200", "250", "A & B" }, { "300", "350", "last" } });
    }
    SubtitleTable table;
    test::FakeGridView grid;
    FakeMovie movie;
    Switches switches;
    PlaybackSync sync { table, grid, movie, switches };
};

} // namespace

TEST_F(PlaybackSyncTest, TimerShowsTimeCodeAndTheRowOfThePlayingFrame)
{
    EXPECT_EQ(sync.lastShownRow(), 0);
    sync.ProcessTimer(210, 5000);
    EXPECT_EQ(movie.timeCode, "210/5000");
    EXPECT_EQ(movie.subtitle, "A & B\n\n");
    EXPECT_EQ(sync.lastShownRow(), 2);
    EXPECT_EQ(grid.current, 2); // selected, quietly
    EXPECT_EQ(grid.quietSelections, 1);
    EXPECT_EQ(grid.lastQuietColumn, 0);
}

TEST_F(PlaybackSyncTest, TextChangesOnlyWhenTheRowChanges)
{
    sync.ProcessTimer(120, 5000);
    sync.ProcessTimer(130, 5000);
    EXPECT_EQ(movie.subtitle, "one\ntwo\nthree");
    EXPECT_EQ(movie.subtitleChanges, 1);
    sync.ProcessTimer(175, 5000); // the gap
    EXPECT_EQ(movie.subtitle, "");
    EXPECT_EQ(sync.lastShownRow(), -1);
    EXPECT_EQ(grid.current, 1);
    EXPECT_EQ(movie.subtitleChanges, 2);
}

TEST_F(PlaybackSyncTest, NoSubtitlesLoadedOnlyUpdatesTheTimeCode)
{
    table.setCell(SubtitleTable::From, 1, "");
    sync.ProcessTimer(320, 400);
    EXPECT_EQ(movie.timeCode, "320/400");
    EXPECT_EQ(movie.subtitle, "untouched");
    EXPECT_EQ(sync.lastShownRow(), 0);
    EXPECT_EQ(grid.current, 1);
}

TEST_F(PlaybackSyncTest, WithoutAutoSelectTheGridStillScrolls)
{
    switches.select = false;
    grid.visible = 1;
    sync.ProcessTimer(320, 400);
    EXPECT_EQ(grid.quietSelections, 0);
    EXPECT_EQ(grid.current, 1);
    EXPECT_EQ(grid.top, 2); // row 3 past top 1 + 1 visible row: top becomes 3 - 1
    EXPECT_EQ(movie.subtitle, "last\n\n");
}

TEST_F(PlaybackSyncTest, WithoutAutoScrollTheTopRowStays)
{
    switches.scroll = false;
    grid.visible = 1;
    sync.ProcessTimer(320, 400);
    EXPECT_EQ(grid.current, 3);
    EXPECT_EQ(grid.top, 1);
}

TEST_F(PlaybackSyncTest, ShowSubtitleTextOfNoRowIsEmpty)
{
    for (int row : { 0, -1, 4 }) {
        sync.ShowSubtitleText(row);
        EXPECT_EQ(movie.subtitle, "") << row;
    }
    sync.ShowSubtitleText(1);
    EXPECT_EQ(movie.subtitle, "one\ntwo\nthree");
    EXPECT_EQ(sync.lastShownRow(), 0); // only the timer keeps track
}

TEST(ScrollToRow, ScrollsOnlyPastTheRowBelowTheVisibleOnes)
{
    struct Case {
        int row, top, visible, expected;
    };
    const Case cases[] = {
        { 5, 10, 5, 5 },
        { 10, 10, 5, 10 },
        { 14, 10, 5, 10 },
        { 15, 10, 5, 10 },
        { 16, 10, 5, 11 },
        { 40, 10, 5, 35 },
        { 3, 1, 0, 3 },
        { 1, 1, 1, 1 },
        { 2, 1, 1, 1 },
        { 3, 1, 1, 2 },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScrolledTopRow(c.row, c.top, c.visible), c.expected) << c.row << " " << c.top << " " << c.visible;
}

TEST_F(PlaybackSyncTest, ARowMadeCurrentByATimingKeyStaysWhileThePictureDoes)
{
    // Row 1 ended at 150 by a key, row 2 made current; the picture still shows 150.
    grid.current = 2;
    sync.holdSelectionAt(150);
    sync.ProcessTimer(150, 400);
    sync.ProcessTimer(150, 400);
    EXPECT_EQ(grid.current, 2);
    EXPECT_EQ(movie.subtitle, "one\ntwo\nthree"); // the picture's own subtitle all the same
    sync.ProcessTimer(151, 400); // the picture moved on: following again
    sync.ProcessTimer(150, 400);
    EXPECT_EQ(grid.current, 1);
}

// The picture paused in row 2: whatever changes the table under the text
// shown, or moves the picture, the text becomes the row at the picture as
// the table holds it now. A row shown by selecting or editing stays while
// the picture stays.
TEST_F(PlaybackSyncTest, TheTextFollowsTheTableAndThePicture)
{
    sync.ProcessTimer(210, 400);
    ASSERT_EQ(movie.subtitle, "A & B\n\n");
    table.deleteRow(2); // row 3 moves up into row 2, out of the picture's frames
    sync.ProcessTimer(210, 400);
    EXPECT_EQ(movie.subtitle, "");

    Fill(table, { { "100", "150", "one" }, { "200", "250", "before" } });
    sync.ProcessTimer(210, 400);
    ASSERT_EQ(movie.subtitle, "before\n\n");
    SubtitleTable opened; // another file of as many rows
    Fill(opened, { { "100", "150", "uno" }, { "200", "250", "dos" } });
    table.replaceWith(opened);
    sync.ProcessTimer(210, 400);
    EXPECT_EQ(movie.subtitle, "dos\n\n");

    sync.ShowSubtitleText(1); // selected without seeking, or an undo in row 1 shown
    sync.ProcessTimer(210, 400);
    EXPECT_EQ(movie.subtitle, "uno\n\n");
    table.setCell(SubtitleTable::Line1, 2, "dos!"); // undone or edited elsewhere
    sync.ProcessTimer(211, 400); // a step inside row 2
    EXPECT_EQ(movie.subtitle, "dos!\n\n");

    table.setCell(SubtitleTable::From, 1, ""); // no subtitles left
    table.setRowCount(2);
    sync.ProcessTimer(211, 400);
    EXPECT_EQ(movie.subtitle, "");
}
