#include "app/error_report.h"
#include "app/main_window.h"
#include "app/reading_page.h"
#include "app/tool_pager.h"
#include "app/tool_wiring.h"
#include "fakes.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

using tessel::test::CountingPause;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;
using tessel::test::ScriptedCheckDialog;
using tessel::test::TempDir;
using tessel::test::WriteFile;

namespace {

// Every test reads its profiles from a folder of its own.
class ReadingWiringTest : public ::testing::Test {
protected:
    TempDir config;
    bool folderSet = setConfigHome();
    SubtitleTable table;
    EditHistory history { table }; // outlives the window's undo stack
    MainWindow window { table, ',' };
    ScriptedCheckDialog dialog { {}, CheckIgnore };
    RecordingMessages messages;
    ErrorReport errors { messages };
    CountingPause pause;
    bool wired = wire();
    ReadingPage& page = window.readingPage();

    ~ReadingWiringTest() override { qunsetenv("XDG_CONFIG_HOME"); }
    bool setConfigHome()
    {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path("config")));
        return QDir().mkpath(QString::fromStdString(config.path("config/tessel/profiles")));
    }
    bool wire()
    {
        WireTools({ table, history, window, dialog, errors, messages, ',', nullptr, &pause });
        return true;
    }
    void writeProfile(const std::string& name, const std::string& text)
    {
        WriteFile(config.path("config/tessel/profiles/") + name, text);
    }
    QStringList profileNames() const
    {
        QStringList names;
        for (int i = 0; i < page.profile()->count(); ++i)
            names << page.profile()->itemText(i);
        return names;
    }
};

} // namespace

TEST_F(ReadingWiringTest, APageAfterCheckWithTheProfilesTheRulesAndTheFramerate)
{
    ASSERT_TRUE(folderSet && wired);
    window.show();
    EXPECT_EQ(window.pager().currentPage()->objectName(), "TabSheetAdjust");
    const auto* button = Child<QPushButton>(window, "TabSheetReadingButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Reading");
    EXPECT_EQ(profileNames(), (QStringList { "Netflix English (adults)", "Netflix English (children)", "Relaxed" }));
    EXPECT_EQ(page.profile()->toolTip(),
        "20 characters/s, 42 characters a line, 2 lines, at least 5/6 s, at most 7 s, gap 2 frames, starts and ends "
        "within 0.5 s of a shot change go onto it (ends: or 2 frames before)\nbuilt-in");
    for (int i = 0; i < ReadingRuleCount; ++i)
        EXPECT_TRUE(page.rule(static_cast<ReadingRule>(i))->isChecked());
    EXPECT_EQ(page.framerate()->currentText(), "23,976");
    EXPECT_EQ(page.framerate()->count(), 5);
    EXPECT_FALSE(page.autoFix()->isChecked());
    EXPECT_EQ(page.go()->text(), "Go!");
    window.pager().setCurrentIndex(3);
    EXPECT_TRUE(page.isVisible());
    if (const QByteArray shot = qgetenv("TESSEL_READING_SHOT"); !shot.isEmpty()) {
        EXPECT_TRUE(window.grab().save(QString::fromLocal8Bit(shot)));
    }
}

TEST_F(ReadingWiringTest, GoPausesTheMovieAsksThroughTheDialogAndIsOneUndoStep)
{
    Fill(table, { { "0", "10", "Hi" }, { "12", "20", "Hi" }, { "100", "110", "a", "b", "c" } });
    page.framerate()->setCurrentText("25");
    page.autoFix()->setChecked(true);
    const size_t steps = history.undoCount();
    page.go()->click();
    EXPECT_EQ(pause.pauses, 1);
    // Rows 2 and 3 were lengthened to 5/6 s (21 frames at 25) without asking;
    // row 1 has no room and row 3 too many lines.
    ASSERT_EQ(dialog.shown.size(), 2u);
    EXPECT_EQ(dialog.shown[0].message, "Shown 10 frames (0,4 s), minimum 21 frames (0,84 s).");
    EXPECT_EQ(dialog.shown[1].message, "3 lines, limit 2.");
    EXPECT_EQ(Rows(table),
        (std::vector<Row> {
            { "0", "10", "Hi", "", "" }, { "12", "33", "Hi", "", "" }, { "100", "121", "a", "b", "c" } }));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "The reading speed and layout check is complete.\n2 corrected by Auto-fix.");
    ASSERT_EQ(history.undoCount(), steps + 1);
    EXPECT_EQ(history.undoName(), "Check reading speed");
    history.undo();
    EXPECT_EQ(table.cell(SubtitleTable::To, 2), "20");
    EXPECT_EQ(table.cell(SubtitleTable::To, 3), "110");
}

TEST_F(ReadingWiringTest, OnlyTheTickedRulesAtTheGivenFramerate)
{
    Fill(table, { { "0", "20", "Hi" } });
    page.framerate()->setCurrentText("24");
    page.go()->click(); // 20 frames are 5/6 s at 24
    EXPECT_TRUE(dialog.shown.empty());
    page.framerate()->setCurrentText("25");
    page.rule(ReadingRule::MinDuration)->setChecked(false);
    page.go()->click();
    EXPECT_TRUE(dialog.shown.empty());
    page.rule(ReadingRule::MinDuration)->setChecked(true);
    page.go()->click();
    ASSERT_EQ(dialog.shown.size(), 1u);
    EXPECT_EQ(dialog.shown[0].window.markColumn, SubtitleTable::To);
}

TEST_F(ReadingWiringTest, AFramerateThatIsNoNumberAboveZeroChangesNothing)
{
    Fill(table, { { "0", "5", "Hi" } });
    for (const char* rate : { "abc", "0", "", "25.0.0" }) {
        messages.messages.clear();
        page.framerate()->setCurrentText(QString::fromLatin1(rate));
        page.go()->click();
        ASSERT_EQ(messages.messages.size(), 1u) << rate;
        EXPECT_EQ(messages.messages[0].title, "Error");
        EXPECT_EQ(messages.messages[0].text, "Invalid framerate!");
    }
    EXPECT_TRUE(dialog.shown.empty());
}

TEST_F(ReadingWiringTest, ProfileFilesAreReadWhenThePageComesIntoViewAndBadOnesAreToldOnce)
{
    writeProfile("strict.profile", "name = Strict\nmax-chars-per-line = 2\n");
    writeProfile("broken.profile", "name = Broken\nmax-lines = lots\n");
    window.show();
    window.pager().setCurrentIndex(3);
    EXPECT_EQ(profileNames().last(), "Strict");
    page.profile()->setCurrentIndex(3);
    Fill(table, { { "0", "100", "abc" } });
    page.go()->click();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[0].text,
        QString::fromStdString("These profile files were skipped:\n" + config.path("config/tessel/profiles/")
            + "broken.profile:2: max-lines: 'lots' is not a whole number"));
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
    ASSERT_EQ(dialog.shown.size(), 1u);
    EXPECT_EQ(dialog.shown[0].message, "Line 1: 3 characters, limit 2.");
    messages.messages.clear();
    page.go()->click();
    EXPECT_EQ(messages.messages.size(), 1u); // only "Done" this time
    // A new file shows when the page comes into view again; the choice stays.
    writeProfile("a.profile", "name = Another\n");
    window.pager().setCurrentIndex(0);
    window.pager().setCurrentIndex(3);
    EXPECT_EQ(profileNames().mid(3), (QStringList { "Another", "Strict" }));
    EXPECT_EQ(page.profile()->currentText(), "Strict");
}
