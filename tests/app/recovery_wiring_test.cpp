#include "app/editor.h"
#include "app/file_actions.h"
#include "app/file_dialogs.h"
#include "app/framerate_prompt.h"
#include "app/main_window.h"
#include "app/recovery_wiring.h"
#include "core/recovery_journal.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <filesystem>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::AllCells;
using tessel::test::TempDir;

namespace {

class ScriptedRecovery : public RecoveryQuestions {
public:
    RecoveryAnswer askRecover(const QString& text) override
    {
        asked << text;
        return answers.empty() ? RecoveryAnswer::Discard : answers.takeFirst();
    }
    QList<RecoveryAnswer> answers;
    QStringList asked;
};

// What an editor that was killed leaves behind: its slot, unlocked.
std::string LeaveSlot(const std::string& folder, const RecoveryDocument& document, int rows, unsigned seed)
{
    SubtitleTable table;
    EditHistory history(table);
    RecoveryJournal journal(table, history);
    std::unique_ptr<RecoverySlot> slot = RecoverySlot::Create(folder);
    const std::string path = slot->path();
    journal.setDocument(document);
    journal.start(std::move(slot));
    tessel::test::Generate(table, rows, seed);
    journal.flush();
    journal.waitUntilWritten();
    return path; // the journal goes without finish(): the files stay
}

class RecoveryWiringTest : public ::testing::Test {
protected:
    EditorOverrides overrides()
    {
        EditorOverrides o { &messages, &questions, &files, nullptr, nullptr, ',' };
        o.recovery = &recovery;
        return o;
    }
    std::string folder() const { return dir.path("recovery"); }

    TempDir dir;
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    ScriptedRecovery recovery;
};

} // namespace

// One after another: the one discarded goes, the one recovered becomes the
// table, unsaved, with its file name and framerate offered for saving.
TEST_F(RecoveryWiringTest, LeftSlotsAreOfferedOneAfterAnother)
{
    LeaveSlot(folder(), {}, 3, 1);
    const std::string film = dir.path("b.srt");
    LeaveSlot(folder(), { film, 23.976 }, 40, 2);
    SubtitleTable expected;
    tessel::test::Generate(expected, 40, 2);
    recovery.answers = { RecoveryAnswer::Discard, RecoveryAnswer::Recover };
    {
        Editor editor(overrides());
        editor.startRecovery(folder());
        ASSERT_EQ(recovery.asked.size(), 2);
        EXPECT_TRUE(recovery.asked[0].startsWith("An editor that ended without saving left changes to untitled.\n"))
            << recovery.asked[0].toStdString();
        EXPECT_TRUE(recovery.asked[0].contains(", 3 rows.\n"));
        EXPECT_TRUE(recovery.asked[1].contains(QString::fromStdString("left changes to \"" + film + "\".\n")));
        EXPECT_EQ(AllCells(editor.table()), AllCells(expected));
        EXPECT_TRUE(editor.fileActions().isModified());
        EXPECT_FALSE(editor.history().canUndo());
        EXPECT_EQ(editor.fileActions().document().fileName, film);
        EXPECT_EQ(editor.frameratePrompt().dropDown()->currentText(), "23,976");
        EXPECT_EQ(editor.platformFileDialogs().saveDialog().selectedFiles().value(0).toStdString(), film);
        EXPECT_EQ(RecoverySlot::List(folder()).size(), 1u) << "the discarded one is gone, the recovered one kept";
        EXPECT_TRUE(messages.messages.empty());
    }
    EXPECT_TRUE(RecoverySlot::List(folder()).empty()) << "the clean end";
}

// A slot with nothing unsaved goes without a question; one that cannot be
// read is reported with its path and kept.
TEST_F(RecoveryWiringTest, AnUnreadableSlotIsReportedAndKept)
{
    const std::string damaged = LeaveSlot(folder(), {}, 5, 1);
    tessel::test::WriteFile(damaged + "/snapshot", "TESSEL RECOVERY SNAPSHOT 1\nnot the rest");
    QDir().mkpath(QString::fromStdString(folder() + "/0-empty"));
    {
        Editor editor(overrides());
        editor.startRecovery(folder());
        EXPECT_TRUE(recovery.asked.isEmpty());
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].title, "Error");
        EXPECT_EQ(messages.messages[0].text,
            QStringLiteral("The recovery folder %1 cannot be read (the snapshot is damaged). It is kept as it is.")
                .arg(QString::fromStdString(damaged)));
    }
    const std::vector<std::string> left = RecoverySlot::List(folder());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0], damaged);
    EXPECT_TRUE(std::filesystem::exists(damaged + "/snapshot"));
}

namespace {

// The one slot the editor keeps in `folder`, once its journal wrote it.
std::string OwnSlot(Editor& editor, const std::string& folder)
{
    editor.recovery()->journal().flush();
    editor.recovery()->journal().waitUntilWritten();
    const std::vector<std::string> found = RecoverySlot::List(folder);
    return found.size() == 1 ? found.front() : std::string();
}

void EditCell(Editor& editor, const char* text)
{
    EditHistory::Step step(editor.history(), "Edit cell");
    editor.table().setCell(SubtitleTable::Line1, 1, text);
}

} // namespace

// The save dialog offers a recovered file with its own type: what the file
// on disk is, or where it is gone what its name says. Enter then writes it
// in that type.
TEST_F(RecoveryWiringTest, TheSaveDialogOffersARecoveredFileWithItsOwnType)
{
    const std::string offset = dir.path("offset.srt");
    tessel::test::WriteFile(offset, "1\r\n00:00:01,000 --> 00:00:02,000\r\nOld\r\n\r\n");
    LeaveSlot(folder(), { offset, 25 }, 2, 3);
    recovery.answers = { RecoveryAnswer::Recover };
    FixedFramerate fps(25);
    EditorOverrides o = overrides();
    o.fileDialogs = nullptr; // the real dialogs
    o.framerate = &fps;
    Editor editor(o);
    editor.startRecovery(folder());
    QtSubtitleFileDialogs& dialogs = editor.platformFileDialogs();
    EXPECT_EQ(dialogs.saveFileType(), 2);
    EXPECT_EQ(dialogs.saveDialog().defaultSuffix(), "srt");
    WhenModal(QStringLiteral("SaveSubtitleDialog"), [](QWidget* dialog) {
        auto* replace = new QTimer(dialog); // "offset.srt already exists": yes
        replace->setInterval(10);
        QObject::connect(replace, &QTimer::timeout, [replace] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                replace->stop();
                box->button(QMessageBox::Yes)->click();
            }
        });
        replace->start();
        static_cast<QDialog*>(dialog)->accept();
    });
    Child<QAbstractButton>(editor.mainWindow(), "ButtonSaveSubtitles")->click();
    EXPECT_TRUE(tessel::test::ReadFile(offset).rfind("1\r\n00:", 0) == 0) << tessel::test::ReadFile(offset);
    EXPECT_EQ(editor.fileActions().documentFormat(), FormatCode::SubRip);

    // Gone from the disk: told by its name.
    QFile::remove(QString::fromStdString(offset));
    editor.fileActions().setDocument({ dir.path("gone.vtt"), 0 });
    EXPECT_EQ(dialogs.saveFileType(), 11);
    EXPECT_EQ(dialogs.saveDialog().selectedFiles().value(0).toStdString(), dir.path("gone.vtt"));
    EXPECT_TRUE(messages.messages.empty());
}

// After an Open that fails part way the slot names the file the table came
// from, with that table (the table itself: FileActionsTest).
TEST_F(RecoveryWiringTest, AfterAFailedOpenTheSlotHoldsTheTableAndItsFile)
{
    FixedFramerate fps(25);
    EditorOverrides o = overrides();
    o.framerate = &fps;
    Editor editor(o);
    editor.startRecovery(folder());
    questions.answer = true;
    const std::string good = dir.path("good.sub"), cut = dir.path("cut.srt");
    tessel::test::WriteFile(good, MicroDvdLines(1, 3));
    tessel::test::WriteFile(cut, "1\n00:00:01,000 --> 00:00:02,000\nOne\n\n2\n99999999999:00:05,000 --> x\n");
    editor.fileActions().openFile(QString::fromStdString(good));
    EditCell(editor, "edited");
    EXPECT_THROW(editor.fileActions().openFile(QString::fromStdString(cut)), std::exception);
    const RecoveredDocument recovered = ReadRecoverySlot(OwnSlot(editor, folder()));
    ASSERT_TRUE(recovered.table);
    EXPECT_EQ(AllCells(*recovered.table), AllCells(editor.table()));
    EXPECT_EQ(recovered.document.fileName, good);
}

// A write that fails (here: a folder where the snapshot's file goes) is tried
// again on a timer, not at the next edit; the warning stands while the edits
// are not on disk and goes once they are.
TEST_F(RecoveryWiringTest, AFailedWriteIsTriedAgainAndItsWarningGoesOnceTheEditsAreOnDisk)
{
    Editor editor(overrides());
    editor.startRecovery(folder());
    const std::string slot = OwnSlot(editor, folder());
    const QString blocker = QString::fromStdString(slot + "/snapshot.new");
    ASSERT_TRUE(QDir().mkpath(blocker));
    EditCell(editor, "not on disk yet");
    QStatusBar* status = editor.mainWindow().statusBar();
    const auto warned = [&] { return status->currentMessage().startsWith("Crash recovery is off: "); };
    ASSERT_TRUE(QTest::qWaitFor(warned, 5000));
    QTest::qWait(2 * RetryInterval + 500); // tried again, still failing
    EXPECT_TRUE(warned());
    ASSERT_TRUE(QDir().rmdir(blocker));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status->currentMessage().isEmpty(); }, 3 * RetryInterval));
    const RecoveredDocument recovered = ReadRecoverySlot(slot);
    ASSERT_TRUE(recovered.table);
    EXPECT_EQ(recovered.table->cell(SubtitleTable::Line1, 1), "not on disk yet");
}
