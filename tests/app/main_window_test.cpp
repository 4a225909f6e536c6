#include "app/editor.h"
#include "app/main_window.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "app/tool_pager.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSlider>
#include <QToolButton>

using namespace tessel::app;
using namespace tessel::test;

namespace {

QString caption(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
    return QStringLiteral("<no caption>");
}

QStringList items(const QComboBox* box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

class MainWindowTest : public ::testing::Test {
protected:
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    Editor editor { EditorOverrides { &messages, &questions, &files, nullptr, nullptr, ',' } };
    MainWindow& window = editor.mainWindow();
};

} // namespace

TEST_F(MainWindowTest, StartsAsTheEditorWindowWithTheAdjustPageShown)
{
    window.show();
    EXPECT_EQ(window.objectName(), "FormEditor");
    EXPECT_EQ(window.windowTitle(), "Tessel Subtitles Editor");
    EXPECT_EQ(window.size(), QSize(600, 449));
    EXPECT_EQ(window.minimumSize(), QSize(600, 400));
    EXPECT_EQ(window.pager().currentPage()->objectName(), "TabSheetAdjust");
    EXPECT_TRUE(Child<QWidget>(window, "TabSheetAdjust")->isVisible());
    EXPECT_FALSE(Child<QWidget>(window, "TabSheetRepair")->isVisible());
    EXPECT_FALSE(Child<QWidget>(window, "TabSheetCheck")->isVisible());
    EXPECT_EQ(Child<QWidget>(window, "PanelMain")->height(), 235);
}

TEST_F(MainWindowTest, RefusesToShrinkBelowItsMinimum)
{
    window.show();
    window.resize(500, 300);
    EXPECT_EQ(window.size(), QSize(600, 400));
}

TEST_F(MainWindowTest, ControlsCarryTheirCaptionsAndInitialTexts)
{
    const std::pair<const char*, const char*> expected[] = {
        { "ButtonOpenSubtitles", "Open subtitles" },
        { "ButtonAppendSubtitles", "Append subtitles" },
        { "ButtonOpenMovie", "Open movie" },
        { "GroupBoxMovieInfo", "Movie info" },
        { "ButtonSaveSubtitles", "Save subtitles" },
        { "ButtonQuit", "Quit" },
        { "LabelMovieInfoLength", "0:00:00,000" },
        { "LabelMovieInfoFrames", "0" },
        { "LabelMovieInfoFPS", "0" },
        { "LabelMovieInfoSize", "0x0" },
        { "GroupBoxFrameRateConvert", "Framerate convert" },
        { "FrameRateFromDropDown", "23,976" },
        { "LabelFramerateTo", "=>" },
        { "FrameRateToDropDown", "23,976" },
        { "ButtonFrameRateGo", "Go!" },
        { "GroupBoxAdjustTime", "Adjust time" },
        { "AddFramesCount", "0" },
        { "ButtonAddFrames", "Add frames" },
        { "ChangeToStartFrame", "0" },
        { "ButtonChangeStart", "Change start" },
        { "AdjustStartCheckBox", "Start at current row" },
        { "GroupBoxExpandDelay", "Expand delay" },
        { "ExpandDelayFrames", "0" },
        { "BtnExpandDealy", "Add frames" },
        { "GroupBoxAutoRepair", "Auto-Repair" },
        { "ButtonAutoRepairGo", "Go!" },
        { "GroupBoxUserReplace", "Replace" },
        { "UserReplaceFromEdit", "" },
        { "LabelUserReplaceTo", "=>" },
        { "UserReplaceToEdit", "" },
        { "ButtonUserReplaceGo", "Go!" },
        { "GroupBoxCheckWidth", "Check text width" },
        { "LabelFont", "Font:" },
        { "CheckFontNameEdit", "Arial, Bold, 20pt" },
        { "ButtonFontBrowse", "..." },
        { "LabelScreen", "Screen:" },
        { "ComboBoxScreenPx", "640" },
        { "LabelPx", "px" },
        { "Button1", "Check now" },
        { "GroupBoxCheckTiming", "Check subtitles timing" },
        { "ChkBoxShortTime", "Check for too short delay" },
        { "ChkBoxCheckTimeAutoFix", "Auto-fix" },
        { "Button2", "Check Now" },
        { "SeekMovieCheckBox", "Show position in movie" },
        { "AutoSelectCheckBox", "Auto-select actual row" },
        { "AutoScrollCheckBox", "Auto-scroll subtitles" },
    };
    for (const auto& [name, text] : expected) {
        if (QWidget* w = Child<QWidget>(window, name)) {
            EXPECT_EQ(caption(w), QString::fromUtf8(text)) << name;
        }
    }
}

TEST_F(MainWindowTest, PlaybackControlsStartDisabledExceptTheSpeedBar)
{
    struct State {
        const char* name;
        bool enabled;
        const char* hint;
    };
    const State states[] = { { "BtnPlay", false, "Play" }, { "BtnStop", false, "Stop" },
        { "BtnPlayCurrent", false, "Play current subtitle" }, { "TrckBarSpeed", true, "Playback speed (1.0x)" },
        { "MovieTracker", false, "" }, { "SeekMovieCheckBox", false, "" }, { "AutoSelectCheckBox", false, "" },
        { "AutoScrollCheckBox", false, "" } };
    window.show();
    for (const State& s : states) {
        QWidget* w = Child<QWidget>(window, s.name);
        if (!w) continue;
        EXPECT_EQ(w->isEnabled(), s.enabled) << s.name;
        EXPECT_EQ(w->toolTip(), QString::fromLatin1(s.hint)) << s.name;
    }
    EXPECT_FALSE(Child<QWidget>(window, "BtnPlayCurrent")->isVisible());
    for (const char* name : { "SeekMovieCheckBox", "AutoSelectCheckBox", "AutoScrollCheckBox", "AdjustStartCheckBox" })
        EXPECT_TRUE(Child<QCheckBox>(window, name)->isChecked()) << name;
    for (const char* name : { "ChkBoxShortTime", "ChkBoxCheckTimeAutoFix" })
        EXPECT_FALSE(Child<QCheckBox>(window, name)->isChecked()) << name;
    auto* speed = Child<QSlider>(window, "TrckBarSpeed");
    EXPECT_EQ(std::make_tuple(speed->minimum(), speed->maximum(), speed->value(), speed->pageStep()),
        std::make_tuple(5, 15, 10, 1));
    auto* tracker = Child<QSlider>(window, "MovieTracker");
    EXPECT_EQ(
        std::make_tuple(tracker->minimum(), tracker->maximum(), tracker->tickInterval()), std::make_tuple(0, 0, 1000));
}

// One face for every window: the movie window's labels and the "Movie info"
// values are in the window font, 11 pixels high until the movie window sizes
// its labels to itself.
TEST(EditorWindows, ShareTheWindowFont)
{
    RecordingMessages messages;
    Editor editor(EditorOverrides { &messages }, CreateMovieWindow);
    const QFont windowFont = editor.mainWindow().font();
    EXPECT_EQ(windowFont.families().value(0), "MS Sans Serif");
    EXPECT_EQ(windowFont.pixelSize(), 11);
    for (const char* name : { "TimeCode", "SubtitleMemo" }) {
        const QFont font = Child<QLabel>(*editor.movieWindow(), name)->font();
        EXPECT_EQ(font.families(), windowFont.families()) << name;
        EXPECT_EQ(font.pixelSize(), 11) << name;
    }
    QList<QLabel*> movieInfo = Child<QWidget>(editor.mainWindow(), "GroupBoxMovieInfo")->findChildren<QLabel*>();
    EXPECT_EQ(movieInfo.size(), 8);
    for (const QLabel* label : movieInfo) {
        EXPECT_EQ(label->font().families(), windowFont.families()) << label->text().toStdString();
        EXPECT_EQ(label->font().pixelSize(), 11) << label->text().toStdString();
    }
}

TEST_F(MainWindowTest, PresetListsUseTheRegionalSeparator)
{
    const QStringList presets = { "23,976", "24", "25", "29,976", "30" };
    EXPECT_EQ(items(Child<QComboBox>(window, "FrameRateFromDropDown")), presets);
    EXPECT_EQ(items(Child<QComboBox>(window, "FrameRateToDropDown")), presets);
    EXPECT_EQ(items(Child<QComboBox>(window, "ComboBoxScreenPx")),
        QStringList({ "380", "420", "480", "512", "640", "800", "1024" }));

    Editor pointEditor { EditorOverrides { &messages, &questions, &files, nullptr, nullptr, '.' } };
    EXPECT_EQ(items(Child<QComboBox>(pointEditor.mainWindow(), "FrameRateFromDropDown")),
        QStringList({ "23.976", "24", "25", "29.976", "30" }));
    EXPECT_EQ(Child<QComboBox>(pointEditor.mainWindow(), "FrameRateToDropDown")->currentText(), "23.976");
}

TEST_F(MainWindowTest, AutoRepairListHoldsSevenUntickedRepairs)
{
    auto* list = Child<QListWidget>(window, "CheckListBoxAutoRepair");
    const QStringList expected = { "Remove [captions]", "Delete empty lines", "Fix stroke at begin of line",
        "Replace ` with '", "Replace '' with \"", "Replace \"\" with \"", "Replace single l with I" };
    ASSERT_EQ(list->count(), expected.size());
    for (int i = 0; i < list->count(); ++i) {
        EXPECT_EQ(list->item(i)->text(), expected[i]);
        EXPECT_EQ(list->item(i)->checkState(), Qt::Unchecked);
    }
}

TEST_F(MainWindowTest, GridShowsTheHeaderRowAndSixteenPixelRows)
{
    SubtitleGrid& grid = window.grid();
    EXPECT_EQ(grid.objectName(), "SubtitleGrid");
    EXPECT_FALSE(grid.verticalHeader()->isVisibleTo(&grid));
    EXPECT_EQ(grid.model()->rowCount(), 1);
    const QStringList headers = { "From", "To", "Line 1", "Line 2", "Line 3" };
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(grid.model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
    EXPECT_EQ(grid.horizontalHeader()->defaultAlignment(), Qt::AlignLeft | Qt::AlignVCenter);
    EXPECT_EQ(grid.rowHeight(0), 16);
    EXPECT_EQ(grid.selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectItems);
    EXPECT_TRUE(grid.tabKeyNavigation());
}

TEST(SubtitleGridColumns, LineColumnsShareTheWidthLeftByTheFrameColumns)
{
    const std::pair<int, int> cases[] = { { 743, 200 }, { 600, 152 }, { 744, 200 }, { 746, 201 }, { 143, 0 } };
    for (const auto& [grid, line] : cases)
        EXPECT_EQ(SubtitleGrid::LineColumnWidth(grid), line) << grid;
}

TEST_F(MainWindowTest, ResizeSetsTheColumnWidths)
{
    window.show();
    SubtitleGrid& grid = window.grid();
    const int besideGrid = window.width() - grid.width();
    window.resize(743 + besideGrid, 500);
    ASSERT_EQ(grid.width(), 743);
    const int expected[] = { 60, 60, 200, 200, 200 };
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(grid.columnWidth(c), expected[c]) << c;

    window.resize(600, 400);
    const int line = (grid.width() - 143) / 3;
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(grid.columnWidth(c), c < 2 ? 60 : line) << c;
}

TEST_F(MainWindowTest, GridPopUpMenuOffersInsertDeleteAndCancel)
{
    QMenu* menu = window.grid().popupMenu();
    EXPECT_EQ(menu->objectName(), "SubtitlesGridPopUpMenu");
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    // Undo and redo come below the original items, the registry's commands after them.
    EXPECT_EQ(texts.mid(0, 7),
        QStringList({ "&Insert new row", "&Delete selected row", "-", "&Cancel", "-", "Undo", "Redo" }));
}

// A right click opens the menu over the rows and over the header row alike.
TEST_F(MainWindowTest, GridPopUpMenuOpensOverTheRowsAndTheHeader)
{
    window.show();
    SubtitleGrid& grid = window.grid();
    for (QWidget* area : { grid.viewport(), grid.horizontalHeader()->viewport() }) {
        const QPoint inside(area->width() / 2, area->height() / 2);
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, inside, area->mapToGlobal(inside));
        QApplication::sendEvent(area, &rightClick);
        EXPECT_TRUE(grid.popupMenu()->isVisible()) << (area == grid.viewport() ? "rows" : "header");
        grid.popupMenu()->close();
    }
}

TEST_F(MainWindowTest, QuitClosesAnUnchangedTableWithoutAQuestion)
{
    window.show();
    Child<QAbstractButton>(window, "ButtonQuit")->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(questions.asked.isEmpty());
}

TEST_F(MainWindowTest, QuitAsksBeforeLosingEditsAndNoKeepsTheWindow)
{
    window.show();
    editor.table().setCell(2, 1, "typed");
    questions.answer = false;
    Child<QAbstractButton>(window, "ButtonQuit")->click();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(questions.asked.size(), 1);

    questions.answer = true;
    window.close(); // the title bar's close asks the same way
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(questions.asked.size(), 2);
}
