#include "app/commands.h"
#include "app/editor.h"
#include "app/file_actions.h"
#include "app/main_window.h"
#include "app/named_files.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "app/subtitle_model.h"
#include "app/translation_wiring.h"
#include "fakes.h"
#include "preview/movie_window.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAction>
#include <QLabel>
#include <QTest>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

// At 25 fps: the original's rows are frames 0-50, 75-125 and 150-200.
const char* const English = "1\n00:00:00,000 --> 00:00:02,000\nGood evening.\n\n"
                            "2\n00:00:03,000 --> 00:00:05,000\nHow are you?\nWell?\n\n"
                            "3\n00:00:06,000 --> 00:00:08,000\nFine.\n";

// The movie window's choices are remembered in a folder of the test's own.
struct ConfigHome {
    TempDir dir;
    ConfigHome() { qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.path("config"))); }
    ~ConfigHome() { qunsetenv("XDG_CONFIG_HOME"); }
};

class TranslationWiringTest : public ::testing::Test {
protected:
    ConfigHome config;
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    FixedFramerate fps { 25 };
    Editor editor { EditorOverrides { &messages, &questions, &files, &fps }, CreateMovieWindow };
    SubtitleModel& model = editor.mainWindow().grid().subtitleModel();
    TempDir folder;
    std::string original = folder.path("film.en.srt");

    void SetUp() override { WriteFile(original, English); }
    void settle() { QTest::qWait(0); }
    QString shown(int row, int column = 0)
    {
        return model.index(row - 1, SubtitleTable::ColumnCount + column).data().toString();
    }
    void run(const char* id) { EXPECT_TRUE(editor.commands().run(QLatin1String(id))) << id; }
};

} // namespace

TEST_F(TranslationWiringTest, TheOriginalIsReadOnlyColumnsThatUndoTakesAway)
{
    Fill(editor.table(), { { "0", "50", "Bonsoir." }, { "75", "125", "Comment allez-vous ?" }, { "150", "200" } });
    editor.history().markSaved();
    EXPECT_EQ(model.columnCount(), 5);
    editor.translation().openOriginal(QString::fromStdString(original));
    settle();
    ASSERT_EQ(model.columnCount(), 7); // two lines in use
    EXPECT_EQ(model.headerData(5, Qt::Horizontal, Qt::DisplayRole), "Original 1");
    EXPECT_EQ(shown(2), "How are you?");
    EXPECT_EQ(shown(2, 1), "Well?");
    EXPECT_EQ(model.flags(model.index(1, 5)), Qt::NoItemFlags);
    EXPECT_TRUE(model.index(1, 5).data(Qt::ToolTipRole).toString().contains("0:00:03,000 - 0:00:05,000"));
    EXPECT_FALSE(editor.history().isModified()); // nothing to save yet
    EXPECT_TRUE(messages.messages.empty());

    editor.history().undo();
    settle();
    EXPECT_EQ(model.columnCount(), 5);
    editor.history().redo();
    settle();
    EXPECT_EQ(shown(3), "Fine.");
    run("translation.columns");
    EXPECT_EQ(model.columnCount(), 5);
}

// Inserting, deleting and undoing keep each original beside the rows it belongs to.
TEST_F(TranslationWiringTest, ByRowNumberThePairingFollowsInsertedAndDeletedRows)
{
    Fill(editor.table(), { { "0", "10", "un" }, { "10", "20", "deux" }, { "20", "30", "trois" } });
    editor.translation().openOriginal(QString::fromStdString(original));
    ASSERT_EQ(editor.translation().pairingMode(), PairingMode::ByRow);
    SubtitleGrid& grid = editor.mainWindow().grid();
    grid.selectCell(2, 2);
    grid.menuItemInsert()->trigger();
    settle();
    EXPECT_EQ(shown(2), "");
    EXPECT_EQ(shown(3), "How are you?");
    grid.selectCell(2, 3);
    grid.menuItemDelete()->trigger();
    settle();
    EXPECT_EQ(shown(2), "How are you?"); // beside the row before, not hidden
    EXPECT_EQ(shown(3), "Fine.");
    editor.history().undo();
    settle();
    EXPECT_EQ(shown(3), "How are you?");
    editor.history().undo();
    settle();
    EXPECT_EQ(shown(2), "How are you?");
    EXPECT_EQ(shown(3), "Fine.");
}

// A split row's original stays beside its first part; a merge puts the
// next row's original beside the merged row, and undo puts both back.
TEST_F(TranslationWiringTest, SplitAndMergedRowsKeepEveryOriginalInSight)
{
    Fill(editor.table(),
        { { "0", "50", "Bonsoir, mesdames", "et messieurs." }, { "75", "125", "Comment allez-vous ?" },
            { "150", "200", "Bien." } });
    editor.translation().openOriginal(QString::fromStdString(original));
    ASSERT_EQ(editor.translation().pairingMode(), PairingMode::ByRow);
    SubtitleGrid& grid = editor.mainWindow().grid();
    grid.selectCell(2, 1);
    run("text.split");
    settle();
    ASSERT_EQ(editor.table().rowCount() - 1, 4);
    EXPECT_EQ(shown(1), "Good evening.");
    EXPECT_EQ(shown(2), "");
    EXPECT_EQ(shown(3), "How are you?");
    EXPECT_EQ(shown(4), "Fine.");
    grid.selectCell(2, 3);
    run("text.merge");
    settle();
    EXPECT_EQ(shown(3), "How are you? / Fine.");
    EXPECT_EQ(shown(3, 1), "Well?");
    editor.history().undo();
    editor.history().undo();
    settle();
    EXPECT_EQ(shown(2), "How are you?");
    EXPECT_EQ(shown(3), "Fine.");
}

TEST_F(TranslationWiringTest, StartingTheTranslationIsOneStepAndTheMovieShowsBothTexts)
{
    OpenCommandLine(editor, { QStringLiteral("--original"), QString::fromStdString(original) });
    run("translation.start");
    EXPECT_EQ(Rows(editor.table()),
        (std::vector<Row> { { "0", "50", "", "", "" }, { "75", "125", "", "", "" }, { "150", "200", "", "", "" } }));
    EXPECT_EQ(editor.history().undoName(), "Start translation from original");
    EXPECT_TRUE(editor.history().isModified());
    editor.table().setCell(SubtitleTable::Line1, 1, "Bonsoir.");
    settle();
    EXPECT_EQ(shown(1), "Good evening.");

    auto& movie = *qobject_cast<TFormMovie*>(editor.movieWindow());
    movie.setSubtitleText("Bonsoir.\n\n");
    run("movie.showBoth"); // the picture is at frame 0: the first original row
    EXPECT_FALSE(movie.originalMemo().isHidden());
    EXPECT_EQ(movie.originalMemo().text(), "Good evening.");
    EXPECT_EQ(movie.subtitleMemo().text(), "Bonsoir.\n\n");
    run("movie.showOriginal");
    EXPECT_EQ(movie.subtitleMemo().text(), "Good evening.");
    run("translation.close");
    settle();
    EXPECT_EQ(movie.subtitleMemo().text(), "Bonsoir.\n\n");
    EXPECT_FALSE(editor.commands().run(QStringLiteral("movie.showBoth")));
}

TEST_F(TranslationWiringTest, TheOriginalsReadingCheckIsReportedAndChangesNothing)
{
    editor.translation().openOriginal(QString::fromStdString(original));
    const std::string before = editor.table().sideData(OriginalSideKey);
    run("translation.readingCheck");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].title, "Done");
    EXPECT_TRUE(messages.messages[0].text.contains("film.en.srt")) << messages.messages[0].text.toStdString();
    EXPECT_EQ(editor.table().sideData(OriginalSideKey), before);
}
