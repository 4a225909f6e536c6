#include "core/recovery_journal.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QDir>
#include <QProcess>
#include <filesystem>
#include <random>

using namespace tessel;
using tessel::test::ReadFile;
using tessel::test::TempDir;
using tessel::test::WriteFile;

// The editor in a process of its own (tests/probe), killed with SIGKILL as a
// crash would end it, then started again to recover.
namespace {

class RecoveryProcessTest : public ::testing::Test {
protected:
    RecoveryProcessTest()
    {
        QDir().mkpath(QString::fromStdString(dir.path("states")));
        WriteFile(dir.path("in.sub"), test::MicroDvdLines(1, 8));
    }
    std::string recoveryFolder() const { return dir.path("state") + "/tessel/recovery"; }

    QProcessEnvironment environment(const std::string& stateHome) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_STATE_HOME"), QString::fromStdString(stateHome));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }
    // Edits until it says it is ready, then dies without a chance to clean up.
    void editAndKill()
    {
        QProcess probe;
        probe.setProcessEnvironment(environment(dir.path("state")));
        probe.start(QStringLiteral(TESSEL_EDITOR_PROBE),
            { QStringLiteral("edit"), QString::fromStdString(dir.path("in.sub")),
                QString::fromStdString(dir.path("states")) });
        QByteArray said;
        while (!said.contains("ready\n") && probe.waitForReadyRead(60000))
            said += probe.readAllStandardOutput();
        ASSERT_TRUE(said.contains("ready\n")) << said.toStdString() << probe.readAllStandardError().toStdString();
        probe.kill(); // SIGKILL
        ASSERT_TRUE(probe.waitForFinished(10000));
    }
    // Starts it again, recovering; what it printed.
    std::string recover()
    {
        QProcess probe;
        probe.setProcessEnvironment(environment(dir.path("state")));
        probe.start(QStringLiteral(TESSEL_EDITOR_PROBE),
            { QStringLiteral("recover"), QString::fromStdString(dir.path("recovered")) });
        EXPECT_TRUE(probe.waitForFinished(60000));
        EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
        return probe.readAllStandardOutput().toStdString();
    }
    // Each state the editor went through: the journal's size then, and the table.
    std::vector<std::pair<size_t, std::string>> states() const
    {
        std::vector<std::pair<size_t, std::string>> list;
        for (int n = 0;; ++n) {
            const std::string path = dir.path("states/" + std::to_string(n));
            if (!std::filesystem::exists(path)) break;
            const std::string text = ReadFile(path);
            const size_t newline = text.find('\n');
            list.emplace_back(std::stoul(text.substr(0, newline)), text.substr(newline + 1));
        }
        return list;
    }

    TempDir dir;
};

} // namespace

TEST_F(RecoveryProcessTest, AKilledEditorIsRecoveredWhenItStartsAgain)
{
    editAndKill();
    const auto edited = states();
    ASSERT_GE(edited.size(), 8u);
    ASSERT_EQ(RecoverySlot::List(recoveryFolder()).size(), 1u);

    const std::string said = recover();
    EXPECT_EQ(ReadFile(dir.path("recovered")), edited.back().second);
    EXPECT_NE(said.find("question: An editor that ended without saving left changes to \"" + dir.path("in.sub")
                  + "\".\nLast change: "),
        std::string::npos)
        << said;
    EXPECT_NE(said.find(", 8 rows."), std::string::npos) << said;
    EXPECT_NE(said.find("modified: 1"), std::string::npos) << said;
    EXPECT_EQ(said.find("message:"), std::string::npos) << said;
    EXPECT_TRUE(RecoverySlot::List(recoveryFolder()).empty()) << "the clean end removes the slot";
}

TEST_F(RecoveryProcessTest, AJournalCutAtARandomByteRecoversUpToItsLastCompleteChange)
{
    editAndKill();
    const auto edited = states();
    const std::vector<std::string> slotPaths = RecoverySlot::List(recoveryFolder());
    ASSERT_EQ(slotPaths.size(), 1u);
    const std::string journal = ReadFile(slotPaths.front() + "/journal");
    ASSERT_EQ(journal.size(), edited.back().first);
    const std::string snapshot = ReadFile(slotPaths.front() + "/snapshot");

    std::mt19937 random(std::random_device {}());
    for (int attempt = 0; attempt < 3; ++attempt) {
        const size_t cut = edited.front().first + random() % (journal.size() - edited.front().first);
        QDir().mkpath(QString::fromStdString(slotPaths.front()));
        WriteFile(slotPaths.front() + "/snapshot", snapshot);
        WriteFile(slotPaths.front() + "/journal", journal.substr(0, cut));
        size_t expected = 0;
        while (expected + 1 < edited.size() && edited[expected + 1].first <= cut)
            ++expected;
        const std::string said = recover();
        EXPECT_EQ(ReadFile(dir.path("recovered")), edited[expected].second) << "cut at " << cut;
        const bool cutInARecord = cut != edited[expected].first;
        EXPECT_EQ(said.find("message: The recovery journal of \"" + dir.path("in.sub")
                      + "\" ends in the middle of a change. The subtitles were recovered up to the last "
                        "complete change ("
                      + std::to_string(expected) + " changes after the last snapshot).")
                != std::string::npos,
            cutInARecord)
            << "cut at " << cut << ": " << said;
    }
}

TEST_F(RecoveryProcessTest, AnUnwritableRecoveryFolderIsOneWarningAndEditingGoesOn)
{
    WriteFile(dir.path("file"), "a file where the folder would go");
    QProcess probe;
    probe.setProcessEnvironment(environment(dir.path("file")));
    probe.start(QStringLiteral(TESSEL_EDITOR_PROBE), { QStringLiteral("unwritable") });
    ASSERT_TRUE(probe.waitForFinished(60000));
    const std::string said = probe.readAllStandardOutput().toStdString();
    EXPECT_EQ(probe.exitCode(), 0) << said;
    EXPECT_NE(said.find("rows: 4"), std::string::npos) << said;
    EXPECT_NE(said.find("status: Crash recovery is off: cannot create the folder " + dir.path("file")
                  + "/tessel/recovery. Save your changes yourself."),
        std::string::npos)
        << said;
    EXPECT_EQ(said.find("message:"), std::string::npos) << said;
}

// A disk that does not answer (a pipe nobody reads where the snapshot goes)
// holds up quitting a couple of seconds at most, and the editor ends.
TEST_F(RecoveryProcessTest, AHungDiskHoldsUpQuittingTwoSecondsAtMost)
{
    QProcess probe;
    probe.setProcessEnvironment(environment(dir.path("state")));
    probe.start(QStringLiteral(TESSEL_EDITOR_PROBE), { QStringLiteral("hung") });
    ASSERT_TRUE(probe.waitForFinished(60000));
    EXPECT_EQ(probe.exitCode(), 0) << probe.readAllStandardError().toStdString();
    const std::string said = probe.readAllStandardOutput().toStdString();
    const size_t at = said.find("quit in ");
    ASSERT_NE(at, std::string::npos) << said;
    EXPECT_LT(std::stoi(said.substr(at + 8)), 2 * RecoveryJournal::QuitPatience.count()) << said;
}
