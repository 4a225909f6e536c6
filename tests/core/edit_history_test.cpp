#include "core/edit_history.h"
#include "core/table_changes.h"
#include "fakes.h"
#include "formats/file_commands.h"
#include "test_support.h"
#include "tools/repair.h"
#include "tools/row_editing.h"
#include "tools/timing_check.h"
#include "tools/timing_tools.h"

#include <Qt>
#include <functional>
#include <gtest/gtest.h>
#include <random>

using namespace tessel;

namespace {

using test::Generate;
std::string Snapshot(const SubtitleTable& table) { return test::AllCells(table); }

struct Kind {
    const char* name;
    std::function<void(SubtitleTable&)> change;
};

const std::vector<Kind>& Kinds()
{
    static const std::vector<Kind> kinds = {
        { "typing in a cell",
            [](SubtitleTable& t) {
                for (const char* s : { "H", "He", "Hel", "Hello" })
                    t.setCell(SubtitleTable::Line1, 3, s);
            } },
        { "cut", [](SubtitleTable& t) { HandleCellKey(t, SubtitleTable::Line1, 2, Qt::Key_X, true, ""); } },
        { "paste", [](SubtitleTable& t) { HandleCellKey(t, SubtitleTable::To, 5, Qt::Key_V, true, "12345"); } },
        { "delete key",
            [](SubtitleTable& t) { HandleCellKey(t, SubtitleTable::Line2, 4, Qt::Key_Delete, false, ""); } },
        { "insert row", [](SubtitleTable& t) { InsertNewRow(t, 2); } },
        { "delete row", [](SubtitleTable& t) { DeleteRow(t, t.rowCount() / 2); } },
        { "delete last row", [](SubtitleTable& t) { DeleteRow(t, t.rowCount() - 1); } },
        { "framerate conversion",
            [](SubtitleTable& t) {
                test::RecordingMessages m;
                ConvertFramerate(t, "25", "23.976", '.', m);
            } },
        { "add frames", [](SubtitleTable& t) { AddFrames(t, 3, "-17", true); } },
        { "change start", [](SubtitleTable& t) { ChangeStart(t, 1, "1000", false); } },
        { "expand delay", [](SubtitleTable& t) { ExpandDelay(t, "30"); } },
        { "user replace", [](SubtitleTable& t) { UserReplace(t, "é", "e\xCC\x81"); } },
        { "auto repair, every item",
            [](SubtitleTable& t) {
                std::array<bool, AutoRepairItemCount> all;
                all.fill(true);
                RunAutoRepair(t, all);
            } },
        { "delete empty rows", [](SubtitleTable& t) { DeleteEmptyRows(t); } },
        { "timing check with auto-fix",
            [](SubtitleTable& t) {
                test::CheckFixture f;
                CheckTiming(t, true, true, f.services());
            } },
        { "cut off the table", [](SubtitleTable& t) { t.setRowCount(t.rowCount() / 3); } },
        { "grow the table", [](SubtitleTable& t) { t.setRowCount(t.rowCount() + 40); } },
        { "append a file",
            [](SubtitleTable& t) {
                test::TempDir dir;
                std::string text;
                for (int i = 0; i < 50; ++i)
                    text += "{" + std::to_string(i * 10) + "}{" + std::to_string(i * 10 + 5) + "}A|B\r\n";
                test::WriteFile(dir.path("a.sub"), text);
                FixedFramerate fps(25);
                test::RecordingMessages messages;
                LoadSubtitles(t, dir.path("a.sub"), true, fps, messages);
            } },
        { "hidden cell and document data",
            [](SubtitleTable& t) {
                t.setCell(SubtitleTable::Extra, 2, "Comment,1,Sign");
                t.setDocumentData("[Script Info]\nTitle: edited");
            } },
        { "side data",
            [](SubtitleTable& t) {
                t.setSideData("sync-points", "3 250");
                t.setSideData("original", "");
                t.setSideData("other", "x");
                t.setSideData("sync-points", "3 250\n9 900");
            } },
        { "everything in one step",
            [](SubtitleTable& t) {
                for (const Kind& k : Kinds())
                    if (std::string(k.name) != "everything in one step") k.change(t);
            } },
    };
    return kinds;
}

class EveryStep : public ::testing::TestWithParam<int> { };

// Do, undo, redo and undo again, over every kind of step, at two sizes.
TEST_P(EveryStep, UndoGivesTheTableBeforeAndRedoTheTableAfter)
{
    for (const Kind& kind : Kinds()) {
        SubtitleTable table;
        Generate(table, GetParam(), 7);
        EditHistory history(table);
        history.clear(true);
        const std::string before = Snapshot(table);
        {
            EditHistory::Step step(history, kind.name);
            kind.change(table);
        }
        const std::string after = Snapshot(table);
        ASSERT_NE(before, after) << kind.name << ": the step should change something";
        ASSERT_TRUE(history.canUndo()) << kind.name;
        EXPECT_EQ(history.undoName(), kind.name);
        EXPECT_TRUE(history.isModified()) << kind.name;
        ASSERT_TRUE(history.undo()) << kind.name;
        EXPECT_EQ(Snapshot(table), before) << kind.name;
        EXPECT_FALSE(history.isModified()) << kind.name;
        ASSERT_TRUE(history.redo()) << kind.name;
        EXPECT_EQ(Snapshot(table), after) << kind.name;
        ASSERT_TRUE(history.undo()) << kind.name;
        EXPECT_EQ(Snapshot(table), before) << kind.name;
        EXPECT_EQ(history.undoCount(), 0u) << kind.name;
    }
}

// The journal's way forward: the table before plus the recorded changes
// gives the table after.
TEST_P(EveryStep, ForwardReplayRebuildsTheTable)
{
    for (const Kind& kind : Kinds()) {
        SubtitleTable table, copy;
        Generate(table, GetParam(), 11);
        Generate(copy, GetParam(), 11);
        ForwardRecorder forward;
        table.addRecorder(&forward);
        kind.change(table);
        table.removeRecorder(&forward);
        ReplayForward(copy, ChangeRecord::FromBytes(forward.take().data()));
        EXPECT_EQ(Snapshot(copy), Snapshot(table)) << kind.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, EveryStep, ::testing::Values(60, 100000));

TEST(EditHistory, ToolsThatChangeNothingAddNoStep)
{
    SubtitleTable table;
    test::Fill(table, { { "10", "20", "a" }, { "30", "40", "b" } });
    EditHistory history(table);
    history.clear(true);
    {
        EditHistory::Step step(history, "replace");
        UserReplace(table, "zzz", "y");
        table.setCell(SubtitleTable::Line1, 1, "a"); // the same text again
    }
    EXPECT_FALSE(history.canUndo());
    EXPECT_FALSE(history.isModified());
}

TEST(EditHistory, TypingMergesWhileTheKeyStaysAndStopsAtUndoOrSave)
{
    SubtitleTable table;
    test::Fill(table, { { "10", "20", "" } });
    EditHistory history(table);
    history.clear(true);
    auto type = [&](const char* text, uint64_t key) {
        EditHistory::Step step(history, "Edit cell", key);
        table.setCell(SubtitleTable::Line1, 1, text);
    };
    type("a", 1);
    type("ab", 1);
    type("abc", 1);
    EXPECT_EQ(history.undoCount(), 1u);
    type("x", 2); // another editor
    EXPECT_EQ(history.undoCount(), 2u);
    history.markSaved();
    type("xy", 2); // saving ends the merge: undo goes back to what was saved
    EXPECT_EQ(history.undoCount(), 3u);
    history.undo();
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "x");
    EXPECT_FALSE(history.isModified());
    history.undo();
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "abc");
    EXPECT_TRUE(history.isModified());
    history.undo();
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "");
}

TEST(EditHistory, SavedPointAndModifiedState)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "a" } });
    EditHistory history(table);
    history.clear(false);
    EXPECT_TRUE(history.isModified()) << "a start that was never saved";
    history.markSaved();
    EXPECT_FALSE(history.isModified());
    table.setCell(SubtitleTable::Line1, 1, "b"); // outside any step: a step of its own
    EXPECT_TRUE(history.isModified());
    EXPECT_EQ(history.undoName(), "Change");
    history.undo();
    EXPECT_FALSE(history.isModified());
    history.redo();
    history.markSaved();
    history.undo();
    EXPECT_TRUE(history.isModified());
    // A new step where the saved state was redoable makes it unreachable.
    table.setCell(SubtitleTable::Line1, 1, "c");
    EXPECT_FALSE(history.canRedo());
    table.setCell(SubtitleTable::Line1, 1, "b");
    EXPECT_TRUE(history.isModified()) << "the same text, but not the saved state";
}

TEST(EditHistory, UnrecordedChangesStartANewHistory)
{
    SubtitleTable table;
    EditHistory history(table);
    table.setCell(SubtitleTable::Line1, 1, "x");
    {
        EditHistory::Unrecorded open(history);
        test::Fill(table, { { "1", "2", "opened" } });
    }
    EXPECT_FALSE(history.canUndo());
    EXPECT_TRUE(history.isModified());
    history.markSaved();
    EXPECT_FALSE(history.isModified());
}

// The limit drops the oldest steps, never the newest, however big it is.
TEST(EditHistory, MemoryLimitDropsTheOldestSteps)
{
    SubtitleTable table;
    Generate(table, 2000, 3);
    EditHistory history(table, 4096);
    for (int i = 0; i < 5; ++i) {
        EditHistory::Step step(history, "shift");
        AddFrames(table, 1, "1", false);
    }
    EXPECT_EQ(history.undoCount(), 1u);
    EXPECT_GT(history.memoryUsed(), 4096u);
    const std::string after = Snapshot(table);
    history.undo();
    history.redo();
    EXPECT_EQ(Snapshot(table), after);
    for (int i = 0; i < 10; ++i) {
        EditHistory::Step step(history, "type");
        table.setCell(SubtitleTable::Line1, 1, std::to_string(i));
    }
    EXPECT_LE(history.memoryUsed(), 4096u);
    EXPECT_GT(history.undoCount(), 1u);
}

// What a step keeps is the text of the cells it changed, not the table.
TEST(EditHistory, AStepHoldsAboutTheCellsItChanged)
{
    SubtitleTable table;
    Generate(table, 100000, 5);
    size_t cellBytes = 0;
    for (int row = 1; row < table.rowCount(); ++row)
        cellBytes += table.cell(SubtitleTable::From, row).size() + table.cell(SubtitleTable::To, row).size();
    EditHistory history(table);
    {
        EditHistory::Step step(history, "shift");
        AddFrames(table, 1, "1", false);
    }
    EXPECT_LE(history.memoryUsed(), 2 * cellBytes);
    EXPECT_GT(history.memoryUsed(), cellBytes / 2);
}

TEST(EditHistory, UndoReportsTheFirstChangedCell)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "a" }, { "3", "4", "b" }, { "5", "6", "c" } });
    EditHistory history(table);
    {
        EditHistory::Step step(history, "two cells");
        table.setCell(SubtitleTable::Line2, 3, "x");
        table.setCell(SubtitleTable::To, 2, "9");
    }
    const auto cell = history.undo();
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->row, 2);
    EXPECT_EQ(cell->column, SubtitleTable::To);
    {
        EditHistory::Step step(history, "insert");
        table.insertRow(2);
    }
    EXPECT_EQ(history.undo()->column, -1);
}

// A cancelled cell edit goes entirely, leaving nothing to redo; steps of
// another editor stay.
TEST(EditHistory, WithdrawTakesBackOnlyTheStepsOfItsKey)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "saved" } });
    EditHistory history(table);
    history.clear(true);
    auto type = [&](const char* text, uint64_t key) {
        EditHistory::Step step(history, "Edit cell", key);
        table.setCell(SubtitleTable::Line1, 1, text);
    };
    type("a", 1);
    type("b", 2);
    type("bc", 2);
    int withdrawals = 0;
    history.addObserver([&](EditHistory::Event e) { withdrawals += e == EditHistory::Event::Withdrawn; });
    EXPECT_FALSE(history.withdraw(1)) << "not the last step";
    EXPECT_TRUE(history.withdraw(2));
    EXPECT_EQ(withdrawals, 1);
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "a");
    EXPECT_FALSE(history.canRedo());
    EXPECT_EQ(history.undoCount(), 1u);
    EXPECT_TRUE(history.withdraw(1));
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "saved");
    EXPECT_FALSE(history.isModified());
}

// However long the typing, its step keeps the cell's first text only.
TEST(EditHistory, TypingInOneCellKeepsOneOldText)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "before" } });
    EditHistory history(table);
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += 'x';
        EditHistory::Step step(history, "Edit cell", 9);
        table.setCell(SubtitleTable::Line1, 1, text);
    }
    EXPECT_EQ(history.undoCount(), 1u);
    EXPECT_LT(history.memoryUsed(), 64u);
    history.undo();
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "before");
    history.redo();
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), text);
}

// Followers see steps, undo and redo, and not what Unrecorded hides.
TEST(EditHistory, FollowersMissWhatUnrecordedHides)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "a" } });
    EditHistory history(table);
    ForwardRecorder follower;
    history.addFollower(&follower);
    {
        EditHistory::Unrecorded opening(history);
        test::Fill(table, { { "5", "6", "opened" }, { "7", "8", "file" } });
    }
    EXPECT_TRUE(follower.empty());
    SubtitleTable copy;
    test::Fill(copy, { { "5", "6", "opened" }, { "7", "8", "file" } });
    {
        EditHistory::Step step(history, "edit");
        table.setCell(SubtitleTable::Line1, 2, "changed");
        table.insertRow(1);
    }
    history.undo();
    history.redo();
    ReplayForward(copy, follower.take());
    EXPECT_EQ(Snapshot(copy), Snapshot(table));
    history.removeFollower(&follower);
}

TEST(ChangeRecord, DamagedBytesAreRefused)
{
    SubtitleTable table;
    test::Fill(table, { { "1", "2", "abc" } });
    ForwardRecorder forward;
    table.addRecorder(&forward);
    table.setCell(SubtitleTable::Line1, 1, "changed text");
    table.insertRow(1);
    table.removeRecorder(&forward);
    const std::string bytes = forward.take().data();
    // A cut between two operations leaves a shorter record; anywhere else it is refused.
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        try {
            EXPECT_LT(ChangeRecord::FromBytes(bytes.substr(0, cut)).operationCount(), 2u) << cut;
        } catch (const std::runtime_error&) {
        }
    }
    EXPECT_THROW(ChangeRecord::FromBytes("Z\x02"), std::runtime_error);
}

} // namespace

TEST(EditHistory, ChangesBeforeAStepStayAStepOfTheirOwn)
{
    SubtitleTable table;
    EditHistory history(table);
    table.setCell(SubtitleTable::Line1, 1, "typed"); // outside any step
    {
        EditHistory::Step step(history, "Tool");
        table.setCell(SubtitleTable::Line2, 1, "tool");
    }
    EXPECT_EQ(history.undoCount(), 2u);
    EXPECT_EQ(history.undoName(), "Tool");
    history.undo();
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "typed");
    EXPECT_EQ(table.cell(SubtitleTable::Line2, 1), "");
    EXPECT_EQ(history.undoName(), "Change");
}
