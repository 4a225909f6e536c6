#include "app/check_page.h"
#include "app/editor.h"
#include "app/error_report.h"
#include "app/main_window.h"
#include "app/tool_wiring.h"
#include "fakes.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::CountingPause;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;
using tessel::test::ScriptedCheckDialog;

namespace {

const std::string LongLine(100, 'W'); // far wider than 627 pixels in Arial Bold 20 pt

class CheckWiringTest : public ::testing::Test {
protected:
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    ScriptedCheckDialog dialog { {}, CheckIgnore };
    Editor editor { overrides() };
    SubtitleTable& table = editor.table();
    CheckPage& page = editor.mainWindow().checkPage();

    EditorOverrides overrides()
    {
        EditorOverrides o { &messages, &questions, &files, nullptr, nullptr, ',' };
        o.checkDialog = &dialog;
        return o;
    }
    void expectDone(const char* text)
    {
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].title, "Done");
        EXPECT_EQ(messages.messages[0].text, text);
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Information);
    }
};

} // namespace

TEST_F(CheckWiringTest, WidthCheckShowsEachTooLongLineThenSaysDone)
{
    Fill(table, { { "1", "2", "Hi", LongLine, "" }, { "3", "4", "", "", LongLine } });
    page.checkWidthNow()->click();
    ASSERT_EQ(dialog.shown.size(), 2u);
    const std::string& message = dialog.shown[0].message;
    EXPECT_EQ(message.rfind("This text is too long. Please correct. [WWW", 0), 0u) << message;
    EXPECT_EQ(message.substr(message.size() - 4), "<--]");
    EXPECT_LT(message.size(), LongLine.size());
    EXPECT_FALSE(dialog.shown[0].autoFixEnabled);
    EXPECT_EQ(dialog.shown[0].window.markColumn, SubtitleTable::Line2);
    EXPECT_EQ(dialog.shown[1].window.markColumn, SubtitleTable::Line3);
    expectDone("The subtitles text width check is complete.");
}

TEST_F(CheckWiringTest, WidthCheckRefusesAScreenWidthThatIsNoWholeNumber)
{
    Fill(table, { { "1", "2", LongLine } });
    for (const char* width : { "640px", "", "-640" }) {
        messages.messages.clear();
        page.screenPx()->setCurrentText(QString::fromLatin1(width));
        page.checkWidthNow()->click();
        ASSERT_EQ(messages.messages.size(), 1u) << width;
        EXPECT_EQ(messages.messages[0].title, "Error");
        EXPECT_EQ(messages.messages[0].text, "Invalid screen width!");
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    }
    EXPECT_TRUE(dialog.shown.empty());
}

TEST_F(CheckWiringTest, WidthCheckMeasuresInTheFontChosenOnThePage)
{
    Fill(table, { { "1", "2", std::string(60, 'W') } });
    page.setFontChooser([](const QFont&) { return QFont(QStringLiteral("Arial"), 4); });
    page.fontBrowse()->click();
    EXPECT_EQ(page.fontNameEdit()->text(), "Arial, 4pt");
    page.checkWidthNow()->click();
    EXPECT_TRUE(dialog.shown.empty());
    expectDone("The subtitles text width check is complete.");
}

TEST_F(CheckWiringTest, TimingCheckAsksAboutAnOverlapAndAppliesTheAutoFix)
{
    Fill(table, { { "100", "150", "a" }, { "149", "200", "b" }, { "200", "250", "c" } });
    dialog = ScriptedCheckDialog({ CheckAutoFix });
    page.checkTimingNow()->click();
    ASSERT_EQ(dialog.shown.size(), 1u);
    EXPECT_EQ(dialog.shown[0].message, "This subtitle start before the previous one ends.");
    EXPECT_TRUE(dialog.shown[0].autoFixEnabled);
    EXPECT_EQ(table.cell(SubtitleTable::From, 2), "151");
    expectDone("The subtitles timing check is complete.");
}

TEST_F(CheckWiringTest, TimingCheckWithAutoFixAndShortTimeTickedFixesWithoutAsking)
{
    Fill(table, { { "100", "160", std::string(40, 'a') }, { "abc", "400", "b" } });
    page.timingAutoFix()->setChecked(true);
    page.shortTime()->setChecked(true);
    page.checkTimingNow()->click();
    EXPECT_TRUE(dialog.shown.empty());
    EXPECT_EQ(Rows(table)[0][1], "186");
    EXPECT_EQ(Rows(table)[1][0], "187"); // "abc" read as 0, then moved past the fixed end
    expectDone("The subtitles timing check is complete.");
}

TEST_F(CheckWiringTest, CancelEndsACheckWithoutTheDoneMessage)
{
    Fill(table, { { "100", "150", LongLine }, { "149", "200", LongLine } });
    dialog = ScriptedCheckDialog({ CheckCancel });
    page.checkTimingNow()->click();
    dialog = ScriptedCheckDialog({ CheckCancel });
    page.checkWidthNow()->click();
    EXPECT_EQ(dialog.shown.size(), 1u);
    EXPECT_TRUE(messages.messages.empty());
}

TEST(CheckWiring, BothChecksPauseTheMovieFirst)
{
    SubtitleTable table;
    Fill(table, { { "100", "150", "a" } });
    EditHistory history(table);
    MainWindow window(table, ',');
    ScriptedCheckDialog dialog;
    RecordingMessages messages;
    ErrorReport errors(messages);
    CountingPause movie;
    WireTools({ table, history, window, dialog, errors, messages, ',', nullptr, &movie });
    window.checkPage().checkTimingNow()->click();
    EXPECT_EQ(movie.pauses, 1);
    window.checkPage().checkWidthNow()->click();
    EXPECT_EQ(movie.pauses, 2);
    EXPECT_EQ(messages.messages.size(), 2u);
}

TEST(CheckWiring, ByDefaultTheChecksAskThroughTheCheckDialog)
{
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    Editor editor { EditorOverrides { &messages, &questions, &files, nullptr, nullptr, ',' } };
    Fill(editor.table(), { { "100", "150", "a" }, { "149", "200", "b" } });
    QString shownInfo;
    WhenModal(QStringLiteral("FormCheck"), [&](QWidget* d) {
        shownInfo = Child<QLabel>(*d, "LblInfoText")->text();
        Child<QPushButton>(*d, "BtnAutoFix")->click();
    });
    editor.mainWindow().checkPage().checkTimingNow()->click();
    EXPECT_EQ(shownInfo, "This subtitle start before the previous one ends.");
    EXPECT_EQ(editor.table().cell(SubtitleTable::From, 2), "151");
    EXPECT_EQ(messages.texts(), QStringList { "The subtitles timing check is complete." });
}
