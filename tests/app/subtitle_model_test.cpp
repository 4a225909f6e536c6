#include "app/subtitle_model.h"
#include "formats/ass.h"
#include "test_support.h"

#include <QColor>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::app;

TEST(SubtitleModel, IsAViewOfTheTableBelowItsHeaderRow)
{
    SubtitleTable table;
    SubtitleModel model(table);
    tessel::test::Fill(table, { { "1", "2", "a" }, { "3", "4", "b", "c" } });
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 5);
    EXPECT_EQ(model.data(model.index(1, 3), Qt::DisplayRole).toString(), "c");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Line 1");
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

TEST(SubtitleModel, EditsWriteTheTableAndAreAnnounced)
{
    SubtitleTable table;
    SubtitleModel model(table);
    QSignalSpy edited(&model, &SubtitleModel::cellEdited);
    EXPECT_TRUE(model.setData(model.index(0, 2), QStringLiteral("Grüße"), Qt::EditRole));
    EXPECT_EQ(table.cell(2, 1), "Grüße");
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited[0][0].toInt(), 2);
    EXPECT_EQ(edited[0][1].toInt(), 1);
    model.setData(model.index(0, 2), QStringLiteral("Grüße"), Qt::EditRole); // unchanged text
    EXPECT_EQ(edited.count(), 1);
}

TEST(SubtitleModel, FollowsTableChanges)
{
    SubtitleTable table;
    SubtitleModel model(table);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    table.insertRow(1);
    table.setCell(0, 2, "7");
    table.deleteRow(1);
    {
        SubtitleTable::BulkChange bulk(table);
        table.setRowCount(1000);
        for (int row = 1; row < 1000; ++row)
            table.setCell(0, row, std::to_string(row));
    }
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model.rowCount(), 999);
    EXPECT_EQ(model.data(model.index(998, 0), Qt::DisplayRole).toString(), "999");
}

// Comment events of a script are greyed; every other row keeps the grid's colours.
TEST(SubtitleModel, CommentEventsOfAScriptAreGreyed)
{
    const std::string script = "[Script Info]\n[Events]\n"
                               "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
                               "Comment: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,a note\n"
                               "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Comment: shown\n";
    SubtitleTable table;
    SubtitleModel model(table);
    LineReader lines(script);
    ReadAss(lines, table, 1, 25);
    EXPECT_EQ(model.data(model.index(0, 2), Qt::ForegroundRole).value<QColor>(), QColor(Qt::gray));
    EXPECT_FALSE(model.data(model.index(1, 2), Qt::ForegroundRole).isValid());
    table.setRow(1, "0", "25", "plain", "", "");
    EXPECT_FALSE(model.data(model.index(0, 2), Qt::ForegroundRole).isValid());
}
