#include "app/adjust_page.h"
#include "app/editor.h"
#include "app/main_window.h"
#include "app/subtitle_grid.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;

namespace {

class AdjustWiringTest : public ::testing::Test {
protected:
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    Editor editor { EditorOverrides { &messages, &questions, &files, nullptr, nullptr, ',' } };
    SubtitleTable& table = editor.table();
    MainWindow& window = editor.mainWindow();
    AdjustPage& page = window.adjustPage();

    void convert(const QString& from, const QString& to)
    {
        page.frameRateFrom()->setCurrentText(from);
        page.frameRateTo()->setCurrentText(to);
        page.frameRateGo()->click();
    }
    // Rows 1..count starting at frames 10, 20, ...
    void fillStarts(int count)
    {
        std::vector<Row> rows;
        for (int n = 1; n <= count; ++n)
            rows.push_back({ std::to_string(n * 10), std::to_string(n * 10 + 5), "Line" });
        Fill(table, rows);
    }
    std::vector<std::string> starts() const
    {
        std::vector<std::string> list;
        for (int row = 1; row < table.rowCount(); ++row)
            list.emplace_back(table.cell(SubtitleTable::From, row));
        return list;
    }
};

} // namespace

TEST_F(AdjustWiringTest, FramerateConversionRescalesEveryFrameWithTheCommaSeparator)
{
    Fill(table, { { "25", "1000", "a" } });
    convert(QStringLiteral("25"), QStringLiteral("23,976"));
    EXPECT_EQ(Rows(table)[0], (Row { "24", "959", "a", "", "" }));
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(AdjustWiringTest, RefusedFramerateWarnsAndChangesNothing)
{
    const std::pair<const char*, const char*> rates[] = { { "abc", "25" }, { "0", "25" }, { "25", "abc" } };
    for (const auto& [from, to] : rates) {
        Fill(table, { { "25", "1000" } });
        messages.messages.clear();
        convert(QString::fromLatin1(from), QString::fromLatin1(to));
        ASSERT_EQ(messages.messages.size(), 1u) << from << " => " << to;
        EXPECT_EQ(messages.messages[0].title, "Error");
        EXPECT_EQ(messages.messages[0].text, "Invalid framerate.");
        EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
        EXPECT_EQ(Rows(table)[0], (Row { "25", "1000", "", "", "" }));
    }
}

TEST_F(AdjustWiringTest, ConversionBeyond32BitsStopsAndSaysWhere)
{
    Fill(table, { { "10", "20" }, { "3000000", "3000001" }, { "30", "40" } });
    convert(QStringLiteral("1"), QStringLiteral("1000"));
    EXPECT_EQ(starts(), (std::vector<std::string> { "10000", "3000000", "30" }));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].title, "Error");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(messages.messages[0].text.contains(QStringLiteral("row 2"))) << messages.messages[0].text.toStdString();
}

TEST_F(AdjustWiringTest, AddFramesStartsAtTheCurrentRowWhenTicked)
{
    const std::pair<bool, std::vector<std::string>> cases[] = {
        { true, { "10", "20", "35", "45", "55" } },
        { false, { "15", "25", "35", "45", "55" } },
    };
    for (const auto& [ticked, expected] : cases) {
        fillStarts(5);
        window.grid().selectCell(2, 3);
        page.adjustStart()->setChecked(ticked);
        page.addFramesCount()->setText(QStringLiteral("5"));
        page.addFrames()->click();
        EXPECT_EQ(starts(), expected) << ticked;
        EXPECT_EQ(table.cell(SubtitleTable::To, 3), "40");
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(AdjustWiringTest, AddFramesSkipsBadCellsSilentlyButReportsFramesBeyond32Bits)
{
    Fill(table, { { "", "20" }, { "2147483600", "2147483640" }, { "30", "40" } });
    window.grid().selectCell(0, 1);
    page.addFramesCount()->setText(QStringLiteral("100"));
    page.addFrames()->click();
    EXPECT_EQ(starts(), (std::vector<std::string> { "", "2147483600", "130" }));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].title, "Error");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(
        messages.messages[0].text, "Add frames left 1 row unchanged: the new frame numbers would not fit in 32 bits.");

    messages.messages.clear();
    page.addFramesCount()->setText(QStringLiteral("ten"));
    page.addFrames()->click();
    EXPECT_EQ(starts(), (std::vector<std::string> { "", "2147483600", "130" }));
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(AdjustWiringTest, ChangeStartMovesTheCurrentRowToTheNewStart)
{
    Fill(table, { { "500", "550" }, { "1000", "1050" }, { "1200", "1250" } });
    window.grid().selectCell(0, 2);
    page.changeToStartFrame()->setText(QStringLiteral("900"));
    page.changeStart()->click();
    EXPECT_EQ(starts(), (std::vector<std::string> { "500", "900", "1100" }));
    page.adjustStart()->setChecked(false);
    page.changeToStartFrame()->setText(QStringLiteral("1000"));
    page.changeStart()->click();
    EXPECT_EQ(starts(), (std::vector<std::string> { "600", "1000", "1200" }));
}

TEST_F(AdjustWiringTest, ExpandDelayStopsShortOfTheNextStart)
{
    Fill(table, { { "100", "150" }, { "155", "200" } });
    page.expandDelayFrames()->setText(QStringLiteral("10"));
    page.expandDelay()->click();
    EXPECT_EQ(table.cell(SubtitleTable::To, 1), "154");
    EXPECT_EQ(table.cell(SubtitleTable::To, 2), "210");
}

TEST_F(AdjustWiringTest, DoubleClickOnARowCopiesItsStartIntoChangeStart)
{
    Fill(table, { { "1234", "1300" }, { "", "20" } });
    window.show();
    SubtitleGrid& grid = window.grid();
    const std::pair<int, const char*> cases[] = { { 1, "1234" }, { 2, "0" } };
    for (const auto& [row, expected] : cases) {
        const QRect cell = grid.visualRect(grid.model()->index(row - 1, 3));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
        EXPECT_EQ(page.changeToStartFrame()->text(), expected) << row;
    }
}

// A double click on the table is one wherever it lands: below the rows or on
// the header row it copies the current row's start as well.
TEST_F(AdjustWiringTest, DoubleClickOffTheRowsCopiesTheCurrentRowsStart)
{
    Fill(table, { { "1234", "1300" }, { "77", "90" } });
    window.show();
    SubtitleGrid& grid = window.grid();
    grid.selectCell(2, 2);
    const QRect lastRow = grid.visualRect(grid.model()->index(1, 0));
    const QPoint belowTheRows(lastRow.center().x(), lastRow.bottom() + 20);
    ASSERT_LT(belowTheRows.y(), grid.viewport()->height());
    QHeaderView* header = grid.horizontalHeader();
    const QPoint onTheHeader(header->sectionViewportPosition(3) + 10, header->height() / 2);
    for (QWidget* area : { grid.viewport(), header->viewport() }) {
        page.changeToStartFrame()->setText(QStringLiteral("untouched"));
        QTest::mouseDClick(area, Qt::LeftButton, {}, area == grid.viewport() ? belowTheRows : onTheHeader);
        EXPECT_EQ(page.changeToStartFrame()->text(), "77") << (area == grid.viewport() ? "rows" : "header");
        EXPECT_EQ(grid.currentTableRow(), 2);
    }
}

TEST_F(AdjustWiringTest, CurrentCellAndTopRowStayAcrossAShift)
{
    fillStarts(200);
    window.show();
    SubtitleGrid& grid = window.grid();
    grid.selectCell(3, 120);
    grid.setTopRow(110);
    page.adjustStart()->setChecked(false);
    page.addFramesCount()->setText(QStringLiteral("1"));
    page.addFrames()->click();
    EXPECT_EQ(table.cell(SubtitleTable::From, 1), "11");
    EXPECT_EQ(grid.currentTableRow(), 120);
    EXPECT_EQ(grid.currentTableColumn(), 3);
    EXPECT_EQ(grid.topRow(), 110);
}
