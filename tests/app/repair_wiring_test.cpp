#include "app/editor.h"
#include "app/main_window.h"
#include "app/repair_page.h"
#include "app/tool_pager.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::Fill;
using tessel::test::Row;
using tessel::test::Rows;

namespace {

class RepairWiringTest : public ::testing::Test {
protected:
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    Editor editor { EditorOverrides { &messages, &questions, &files, nullptr, nullptr, ',' } };
    SubtitleTable& table = editor.table();
    RepairPage& page = editor.mainWindow().repairPage();
    QListWidget& list = *page.autoRepairList();

    void tick(std::initializer_list<int> indexes)
    {
        for (int index : indexes)
            list.item(index)->setCheckState(Qt::Checked);
    }
};

} // namespace

TEST_F(RepairWiringTest, UserReplaceIgnoresCaseAndNeedsAFindText)
{
    Fill(table, { { "1", "2", "Hello you", "HELLO", "say hello" } });
    page.replaceTo()->setText(QStringLiteral("x"));
    page.replaceGo()->click(); // nothing to find
    EXPECT_EQ(Rows(table)[0], (Row { "1", "2", "Hello you", "HELLO", "say hello" }));
    page.replaceFrom()->setText(QStringLiteral("Hello"));
    page.replaceTo()->clear();
    page.replaceGo()->click();
    EXPECT_EQ(Rows(table)[0], (Row { "1", "2", " you", "", "say " }));
}

TEST_F(RepairWiringTest, AutoRepairRunsTheTickedItemsInIndexOrderSelectingEach)
{
    // Captions removed first leave an empty row for "Delete empty lines";
    // '' becomes " before "" becomes ".
    Fill(table, { { "1", "2", "[music]" }, { "3", "4", "''\"" } });
    std::vector<int> selected;
    QObject::connect(&list, &QListWidget::currentRowChanged, [&](int row) { selected.push_back(row); });
    tick({ 5, 1, 4, 0 });
    page.autoRepairGo()->click();
    EXPECT_EQ(Rows(table), (std::vector<Row> { { "3", "4", "\"", "", "" } }));
    EXPECT_EQ(selected, (std::vector<int> { 0, 1, 4, 5 }));
    EXPECT_EQ(list.currentRow(), 5);
    EXPECT_TRUE(list.item(5)->isSelected());
}

TEST_F(RepairWiringTest, DoubleClickTogglesTheSelectedItem)
{
    MainWindow& window = editor.mainWindow();
    window.pager().setCurrentIndex(1);
    window.show();
    const QRect rect = list.visualItemRect(list.item(2));
    const QPoint onCaption(rect.right() - 10, rect.center().y()); // away from the tick box
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, onCaption);
    ASSERT_EQ(list.currentRow(), 2);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, onCaption);
    EXPECT_TRUE(page.repairTicked(2));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, onCaption);
    EXPECT_FALSE(page.repairTicked(2));
    for (int index : { 0, 1, 3, 4, 5, 6 })
        EXPECT_FALSE(page.repairTicked(index)) << index;
}

// Also on the list's empty part, below the items: the selected item toggles.
TEST_F(RepairWiringTest, DoubleClickBelowTheItemsTogglesTheSelectedItem)
{
    MainWindow& window = editor.mainWindow();
    window.pager().setCurrentIndex(1);
    list.setFixedHeight(400); // room below the seven items
    window.show();
    list.setCurrentRow(4);
    const QRect last = list.visualItemRect(list.item(list.count() - 1));
    const QPoint belowTheItems(last.center().x(), last.bottom() + 3);
    ASSERT_LT(belowTheItems.y(), list.viewport()->height());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, belowTheItems);
    EXPECT_TRUE(page.repairTicked(4));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, belowTheItems);
    EXPECT_FALSE(page.repairTicked(4));
}
