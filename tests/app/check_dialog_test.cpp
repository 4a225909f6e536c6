#include "app/check_dialog.h"
#include "app/placement.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

CheckWindow threeRows()
{
    CheckWindow window;
    window.rows[0] = { "100", "150", "a", "", "" };
    window.rows[1] = { "149", "200", "b", "", "" };
    window.rows[2] = { "300", "350", "c", "", "" };
    window.rowsFilled = 3;
    window.markRow = 2;
    window.markColumn = 0;
    return window;
}

} // namespace

TEST(CheckDialog, ShowsTheRowsTheMessageAndTheMarkedCell)
{
    CheckDialog dialog(nullptr);
    CheckWindow window = threeRows();
    QString info, cell;
    bool autoFixEnabled = false, autoFixDefault = false;
    int currentRow = -1, currentColumn = -1;
    WhenModal(QStringLiteral("FormCheck"), [&](QWidget* d) {
        info = Child<QLabel>(*d, "LblInfoText")->text();
        auto* grid = Child<QTableWidget>(*d, "SubtitleGrid");
        cell = grid->item(2, 2)->text();
        currentRow = grid->currentRow();
        currentColumn = grid->currentColumn();
        auto* autoFix = Child<QPushButton>(*d, "BtnAutoFix");
        autoFixEnabled = autoFix->isEnabled();
        autoFixDefault = autoFix->isDefault();
        autoFix->click();
    });
    const int result = dialog.Exec(window, QStringLiteral("This subtitle start before the previous one ends."), true);
    EXPECT_EQ(result, CheckAutoFix);
    EXPECT_EQ(info, "This subtitle start before the previous one ends.");
    EXPECT_EQ(cell, "c");
    EXPECT_EQ(std::make_pair(currentRow, currentColumn), std::make_pair(1, 0));
    EXPECT_TRUE(autoFixEnabled);
    EXPECT_TRUE(autoFixDefault);
    EXPECT_EQ(std::make_pair(dialog.markRow(), dialog.markColumn()), std::make_pair(2, 0));
    EXPECT_EQ(dialog.windowTitle(), "Check & Correct");
    EXPECT_EQ(dialog.size(), QSize(591, 144));
}

TEST(CheckDialog, ChangeHandsBackTheEditedRows)
{
    CheckDialog dialog(nullptr);
    SubtitleTable table;
    tessel::test::Fill(table, { { "100", "150", "a" }, { "149", "200", "b" }, { "300", "350", "c" } });
    WhenModal(QStringLiteral("FormCheck"), [](QWidget* d) {
        Child<QTableWidget>(*d, "SubtitleGrid")->item(1, 0)->setText(QStringLiteral("151"));
        Child<QAbstractButton>(*d, "BtnChange")->click();
    });
    EXPECT_TRUE(ShowCheckDialog(table, dialog, 2, 0, "This subtitle start before the previous one ends.", "151"));
    EXPECT_EQ(table.cell(0, 2), "151");
}

TEST(CheckDialog, EscapeIgnoresAndAutoFixNeedsAProposal)
{
    CheckDialog dialog(nullptr);
    CheckWindow window = threeRows();
    bool autoFixEnabled = true;
    WhenModal(QStringLiteral("FormCheck"), [&](QWidget* d) {
        autoFixEnabled = Child<QWidget>(*d, "BtnAutoFix")->isEnabled();
        QTest::keyClick(d, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.Exec(window, QStringLiteral("This text is too long."), false), CheckIgnore);
    EXPECT_FALSE(autoFixEnabled);
}

TEST(CheckDialog, ClosingWithoutAButtonKeepsTheLastAnswer)
{
    CheckDialog dialog(nullptr);
    CheckWindow window = threeRows();
    WhenModal(QStringLiteral("FormCheck"), [](QWidget* d) { Child<QAbstractButton>(*d, "BtnCancel")->click(); });
    EXPECT_EQ(dialog.Exec(window, QString(), false), CheckCancel);
    WhenModal(QStringLiteral("FormCheck"), [](QWidget* d) { d->close(); });
    EXPECT_EQ(dialog.Exec(window, QString(), false), CheckCancel);
}

TEST(CheckDialog, LastRowShowsTheTwoRowsBeforeItWithTheBottomRowMarked)
{
    CheckDialog dialog(nullptr);
    SubtitleTable table;
    std::vector<tessel::test::Row> rows;
    for (int i = 1; i <= 10; ++i)
        rows.push_back({ std::to_string(i * 10), std::to_string(i * 10 + 5) });
    tessel::test::Fill(table, rows);
    QStringList shown;
    WhenModal(QStringLiteral("FormCheck"), [&](QWidget* d) {
        auto* grid = Child<QTableWidget>(*d, "SubtitleGrid");
        for (int r = 0; r < 3; ++r)
            shown << grid->item(r, 0)->text();
        Child<QAbstractButton>(*d, "BtnIgnore")->click();
    });
    EXPECT_TRUE(ShowCheckDialog(table, dialog, 10, 1, "This subtitle is visible for too short time.", ""));
    EXPECT_EQ(shown, QStringList({ "80", "90", "100" }));
    EXPECT_EQ(std::make_pair(dialog.markRow(), dialog.markColumn()), std::make_pair(3, 1));
}

TEST(Placement, DialogsGoOverTheMainWindow)
{
    const QRect main(100, 50, 600, 449);
    EXPECT_EQ(CentredOver(main, QSize(217, 69)), QPoint(100 + 191, 50 + 190));
    EXPECT_EQ(CentredOver(main, QSize(287, 108)), QPoint(100 + 156, 50 + 170));
    EXPECT_EQ(ThirdDownOver(main, QSize(591, 144)), QPoint(100 + 300 - 295, 50 + 149 - 72));
    EXPECT_EQ(CentredOver(QRect(0, 0, 100, 100), QSize(201, 201)), QPoint(-50, -50)); // halves drop towards zero
}
