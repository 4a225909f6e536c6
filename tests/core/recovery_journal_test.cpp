#include "core/recovery_journal.h"
#include "fakes.h"
#include "test_support.h"
#include "tools/repair.h"
#include "tools/row_editing.h"
#include "tools/timing_tools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <Qt>
#include <atomic>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace tessel;
using test::AllCells;

namespace {

// A table with its history and journal, as the editor keeps them, writing
// into a slot of a temporary recovery folder.
struct Journaled {
    explicit Journaled(int rows)
    {
        test::Generate(table, rows, 3);
        history.clear(true);
        slot = RecoverySlot::Create(folder());
        path = slot->path();
        journal.setDocument({ "/films/a.srt", 25 });
        journal.start(std::move(slot));
    }
    std::string folder() const { return dir.path("recovery"); }
    // What the editor's timer does within the second, and then waits for.
    void flush()
    {
        journal.flush();
        journal.waitUntilWritten();
    }
    void step(const char* name, const std::function<void(SubtitleTable&)>& change)
    {
        EditHistory::Step s(history, name);
        change(table);
    }
    size_t journalSize() const { return std::filesystem::file_size(path + "/journal"); }

    test::TempDir dir;
    SubtitleTable table;
    EditHistory history { table };
    RecoveryJournal journal { table, history };
    std::unique_ptr<RecoverySlot> slot;
    std::string path;
};

struct Action {
    const char* name;
    std::function<void(Journaled&)> act;
};

// Each kind of change the journal must carry, undo and redo included.
const std::vector<Action>& Actions()
{
    static const std::vector<Action> actions = {
        { "typing",
            [](Journaled& j) {
                for (const char* text : { "S", "Sa", "Sal", "Salut" }) {
                    EditHistory::Step s(j.history, "Edit cell", 7);
                    j.table.setCell(SubtitleTable::Line1, 4, text);
                }
            } },
        { "cut",
            [](Journaled& j) {
                j.step("Cut", [](auto& t) { HandleCellKey(t, SubtitleTable::From, 9, Qt::Key_X, true, ""); });
            } },
        { "insert row", [](Journaled& j) { j.step("Insert", [](auto& t) { InsertNewRow(t, 3); }); } },
        { "delete row", [](Journaled& j) { j.step("Delete", [](auto& t) { DeleteRow(t, 20); }); } },
        { "framerate conversion",
            [](Journaled& j) {
                j.step("Convert", [](auto& t) {
                    test::RecordingMessages m;
                    ConvertFramerate(t, "25", "23.976", '.', m);
                });
            } },
        { "undo", [](Journaled& j) { j.history.undo(); } },
        { "redo", [](Journaled& j) { j.history.redo(); } },
        { "undo twice",
            [](Journaled& j) {
                j.history.undo();
                j.history.undo();
            } },
        { "delete empty rows", [](Journaled& j) { j.step("Repair", [](auto& t) { DeleteEmptyRows(t); }); } },
        { "hidden cell and document data",
            [](Journaled& j) {
                j.step("Data", [](auto& t) {
                    t.setCell(SubtitleTable::Extra, 2, "Comment,1");
                    t.setDocumentData("[Script Info]\nTitle: changed");
                });
            } },
        { "side data",
            [](Journaled& j) {
                j.step("Points", [](auto& t) {
                    t.setSideData("sync-points", "4 100\n8 260");
                    t.setSideData("original", "1\n2");
                });
            } },
        { "outside any step", [](Journaled& j) { j.table.setCell(SubtitleTable::To, 1, "99999"); } },
        { "grow the table", [](Journaled& j) { j.step("Grow", [](auto& t) { t.setRowCount(t.rowCount() + 5); }); } },
    };
    return actions;
}

} // namespace

// After every kind of change, the slot read back gives the table byte for
// byte, as unsaved, with the file it came from.
TEST(RecoveryJournal, TheSlotGivesBackTheTableAfterEveryKindOfChange)
{
    Journaled j(3000);
    for (const Action& action : Actions()) {
        action.act(j);
        j.flush();
        const RecoveredDocument recovered = ReadRecoverySlot(j.path);
        ASSERT_TRUE(recovered.table) << action.name;
        EXPECT_EQ(AllCells(*recovered.table), AllCells(j.table)) << action.name;
        EXPECT_TRUE(recovered.unsaved) << action.name;
        EXPECT_FALSE(recovered.cutOff) << action.name;
        EXPECT_EQ(recovered.document, (RecoveryDocument { "/films/a.srt", 25 })) << action.name;
    }
}

// A crash cuts the journal anywhere: what is recovered is the table as it
// was after the last complete record, never anything else.
TEST(RecoveryJournal, AJournalCutAtAnyByteRecoversUpToItsLastCompleteRecord)
{
    Journaled j(40);
    j.step("first", [](auto& t) { t.setCell(SubtitleTable::Line1, 1, "first"); });
    j.flush(); // the snapshot: the journal is only its header
    std::vector<std::pair<size_t, std::string>> states { { j.journalSize(), AllCells(j.table) } };
    // One record each: one step, one undo or one redo between two flushes.
    for (const Action& action : Actions()) {
        if (std::string(action.name) == "typing" || std::string(action.name) == "undo twice") continue;
        action.act(j);
        j.flush();
        ASSERT_GT(j.journalSize(), states.back().first) << action.name;
        states.emplace_back(j.journalSize(), AllCells(j.table));
    }
    const std::string journal = test::ReadFile(j.path + "/journal");
    for (size_t cut = 0; cut <= journal.size(); ++cut) {
        test::WriteFile(j.path + "/journal", journal.substr(0, cut));
        const RecoveredDocument recovered = ReadRecoverySlot(j.path);
        size_t expected = 0;
        while (expected + 1 < states.size() && states[expected + 1].first <= cut)
            ++expected;
        ASSERT_TRUE(recovered.table);
        EXPECT_EQ(AllCells(*recovered.table), states[expected].second) << "cut at " << cut;
        EXPECT_EQ(recovered.cutOff, cut != states[expected].first && cut != 0) << "cut at " << cut;
        if (cut >= states[0].first) {
            EXPECT_EQ(recovered.changes, static_cast<int>(expected)) << "cut at " << cut;
        }
    }
}

TEST(RecoveryJournal, TheSnapshotKeepsTheSideData)
{
    Journaled j(30);
    j.step("Points", [](auto& t) { t.setSideData("sync-points", "4 100"); });
    j.history.clear(false); // starts over: a new snapshot
    j.flush();
    const RecoveredDocument recovered = ReadRecoverySlot(j.path);
    ASSERT_TRUE(recovered.table);
    EXPECT_EQ(recovered.changes, 0);
    EXPECT_EQ(recovered.table->sideData("sync-points"), "4 100");
}

TEST(RecoveryJournal, DamageInsideARecordEndsTheRecoveryThere)
{
    Journaled j(40);
    j.step("one", [](auto& t) { t.setCell(SubtitleTable::Line1, 1, "one"); });
    j.flush();
    const std::string afterOne = AllCells(j.table);
    j.step("two", [](auto& t) { t.setCell(SubtitleTable::Line1, 2, "two"); });
    j.flush();
    const size_t end = j.journalSize();
    j.step("three", [](auto& t) { t.setCell(SubtitleTable::Line1, 3, "three"); });
    j.flush();
    std::string journal = test::ReadFile(j.path + "/journal");
    journal[end - 2] ^= 0x20; // inside the record of "two"
    test::WriteFile(j.path + "/journal", journal);
    const RecoveredDocument recovered = ReadRecoverySlot(j.path);
    EXPECT_EQ(AllCells(*recovered.table), afterOne);
    EXPECT_TRUE(recovered.cutOff);
}

// Saving, and undoing back to what was saved, leave nothing to recover;
// the next change does.
TEST(RecoveryJournal, OnlyUnsavedChangesAreWorthRecovering)
{
    Journaled j(100);
    j.flush();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(j.path + "/snapshot"))) << "nothing was changed yet";
    j.step("edit", [](auto& t) { t.setCell(SubtitleTable::Line1, 5, "edited"); });
    j.flush();
    EXPECT_TRUE(ReadRecoverySlot(j.path).unsaved);
    j.history.markSaved();
    j.journal.setDocument({ "/films/b.sub", 25 });
    j.flush();
    RecoveredDocument recovered = ReadRecoverySlot(j.path);
    EXPECT_FALSE(recovered.unsaved);
    EXPECT_EQ(recovered.document.fileName, "/films/b.sub");
    j.step("again", [](auto& t) { t.setCell(SubtitleTable::Line1, 5, "again"); });
    j.flush();
    EXPECT_TRUE(ReadRecoverySlot(j.path).unsaved);
    j.history.undo();
    j.flush();
    recovered = ReadRecoverySlot(j.path);
    EXPECT_FALSE(recovered.unsaved);
    EXPECT_EQ(AllCells(*recovered.table), AllCells(j.table));
}

TEST(RecoveryJournal, AJournalLargerThanItsSnapshotBecomesANewSnapshot)
{
    Journaled j(10);
    const std::string big(60000, 'x');
    for (int i = 0; i < 12; ++i) {
        j.step("big", [&](auto& t) { t.setCell(SubtitleTable::Line1, 1 + i % 5, big + std::to_string(i)); });
        j.flush();
    }
    EXPECT_LT(j.journal.journalBytes(), 6 * big.size()) << "no compaction";
    EXPECT_GT(std::filesystem::file_size(j.path + "/snapshot"), big.size());
    EXPECT_EQ(AllCells(*ReadRecoverySlot(j.path).table), AllCells(j.table));
}

TEST(RecoveryJournal, TheCleanEndRemovesTheSlot)
{
    Journaled j(10);
    j.step("edit", [](auto& t) { t.setCell(SubtitleTable::Line1, 1, "x"); });
    j.flush();
    j.journal.finish();
    EXPECT_TRUE(RecoverySlot::List(j.folder()).empty());
}

TEST(RecoverySlot, ARunningEditorsSlotCannotBeClaimedAndADeadOnesCan)
{
    test::TempDir dir;
    const std::string folder = dir.path("recovery");
    std::string held;
    {
        const std::unique_ptr<RecoverySlot> slot = RecoverySlot::Create(folder);
        held = slot->path();
        EXPECT_EQ(RecoverySlot::Claim(held), nullptr);
    }
    // A lock file left by a process that is gone.
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    const std::string dead = folder + "/1-dead";
    QDir().mkpath(QString::fromStdString(dead));
    test::WriteFile(
        dead + ".lock", std::to_string(pid) + "\ntessel\n" + QSysInfo::machineHostName().toStdString() + "\n");
    EXPECT_EQ(RecoverySlot::List(folder).size(), 2u);
    for (const std::string& path : { held, dead }) {
        const std::unique_ptr<RecoverySlot> claimed = RecoverySlot::Claim(path);
        ASSERT_NE(claimed, nullptr) << path;
        claimed->remove();
    }
    EXPECT_TRUE(RecoverySlot::List(folder).empty());
}

// An editor that starts while another makes its slot, and offers what it
// finds (claiming each slot, removing those with nothing in them), never
// takes the other's new slot: that one is locked before it can be seen.
TEST(RecoverySlot, ASlotIsLockedBeforeAnotherEditorCanSeeIt)
{
    test::TempDir dir;
    const std::string folder = dir.path("recovery");
    QDir().mkpath(QString::fromStdString(folder));
    std::atomic<bool> done { false };
    std::atomic<int> mishaps { 0 }; // a slot lost or taken, a lock refused
    std::thread starting([&] {
        while (!done)
            for (const std::string& path : RecoverySlot::List(folder))
                try {
                    if (std::unique_ptr<RecoverySlot> slot = RecoverySlot::Claim(path)) slot->remove();
                } catch (const RecoveryError&) {
                    ++mishaps;
                }
    });
    for (int i = 0; i < 300; ++i)
        try {
            const std::unique_ptr<RecoverySlot> slot = RecoverySlot::Create(folder);
            mishaps += !QFileInfo(QString::fromStdString(slot->path())).isDir() || RecoverySlot::Claim(slot->path());
            slot->remove();
        } catch (const RecoveryError&) {
            ++mishaps;
        }
    done = true;
    starting.join();
    EXPECT_EQ(mishaps, 0);
}

TEST(RecoverySlot, ADamagedSnapshotIsRefusedNotHalfRead)
{
    Journaled j(200);
    j.step("edit", [](auto& t) { t.setCell(SubtitleTable::Line1, 1, "x"); });
    j.flush();
    const std::string snapshot = test::ReadFile(j.path + "/snapshot");
    for (size_t at : { size_t(0), snapshot.size() / 2, snapshot.size() - 1 }) {
        std::string damaged = snapshot;
        damaged[at] ^= 0x01;
        test::WriteFile(j.path + "/snapshot", damaged);
        EXPECT_THROW(ReadRecoverySlot(j.path), RecoveryError) << at;
    }
    test::WriteFile(j.path + "/snapshot", snapshot.substr(0, snapshot.size() - 3));
    EXPECT_THROW(ReadRecoverySlot(j.path), RecoveryError);
}

TEST(RecoverySlot, AFolderThatCannotBeCreatedIsReported)
{
    test::TempDir dir;
    test::WriteFile(dir.path("file"), "not a folder");
    EXPECT_THROW(RecoverySlot::Create(dir.path("file") + "/recovery"), RecoveryError);
}
