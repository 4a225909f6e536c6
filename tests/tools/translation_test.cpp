#include "core/edit_history.h"
#include "core/errors.h"
#include "test_support.h"
#include "tools/translation.h"

#include <gtest/gtest.h>

using namespace tessel;
using tessel::test::Fill;
using tessel::test::Row;

namespace {

std::vector<Row> timed(const std::vector<std::pair<int, int>>& spans, const std::string& text = "x")
{
    std::vector<Row> rows;
    for (const auto& [from, to] : spans)
        rows.push_back({ std::to_string(from), std::to_string(to), text });
    return rows;
}

OriginalSubtitles originalOf(const std::vector<Row>& rows)
{
    SubtitleTable table;
    Fill(table, rows);
    return MakeOriginal(table, "film.en.srt", "subrip", 25);
}

} // namespace

// Worked by hand: each original beside the row it overlaps longest, never twice.
TEST(Translation, PairingByTime)
{
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> rows, originals;
        std::vector<std::vector<int>> beside; // per table row
        std::vector<int> unpaired, continued; // originals; per table row (-1: none)
    };
    const Case cases[] = {
        { "same times", { { 0, 10 }, { 10, 20 } }, { { 0, 10 }, { 10, 20 } }, { { 0 }, { 1 } }, {}, { -1, -1 } },
        { "a split row", { { 0, 6 }, { 6, 10 } }, { { 0, 10 } }, { { 0 }, {} }, {}, { -1, 0 } },
        { "merged rows", { { 0, 20 } }, { { 0, 10 }, { 10, 20 } }, { { 0, 1 } }, {}, { -1 } },
        { "the longest overlap", { { 0, 4 }, { 4, 10 } }, { { 2, 10 } }, { {}, { 0 } }, {}, { 0, -1 } },
        { "between rows", { { 0, 10 }, { 30, 40 } }, { { 15, 20 } }, { { 0 }, {} }, { 0 }, { -1, -1 } },
        { "before every row", { { 10, 20 } }, { { 0, 5 } }, { { 0 } }, { 0 }, { -1 } },
        { "rows out of order", { { 30, 40 }, { 0, 10 } }, { { 0, 10 }, { 30, 40 } }, { { 1 }, { 0 } }, {}, { -1, -1 } },
    };
    for (const Case& c : cases) {
        SubtitleTable table;
        Fill(table, timed(c.rows));
        const OriginalSubtitles original = originalOf(timed(c.originals));
        const Pairing pairing(original, table, { PairingMode::ByTime, {} });
        for (int row = 1; row <= static_cast<int>(c.rows.size()); ++row) {
            EXPECT_EQ(pairing.originalsBeside(row), c.beside[row - 1]) << c.name << " row " << row;
            EXPECT_EQ(pairing.continued(row), c.continued[row - 1]) << c.name << " row " << row;
        }
        for (int i = 0; i < original.rowCount(); ++i)
            EXPECT_EQ(pairing.unpaired(i), std::count(c.unpaired.begin(), c.unpaired.end(), i) == 1) << c.name;
    }
}

TEST(Translation, AnchorsMoveWithTheRows)
{
    std::vector<int> anchors = RowAnchors(5, 4);
    EXPECT_EQ(anchors, (std::vector<int> { 1, 2, 3, 4, 4 }));
    AnchorsAfterInsert(anchors, 2, 2);
    EXPECT_EQ(anchors, (std::vector<int> { 1, 4, 5, 6, 6 }));
    AnchorsAfterRemove(anchors, 4, 2); // rows 4 and 5 go: their originals stand beside row 3
    EXPECT_EQ(anchors, (std::vector<int> { 1, 3, 3, 4, 4 }));
    AnchorsAfterRemove(anchors, 1, 1); // the first row goes: its original stands beside the new first
    EXPECT_EQ(anchors, (std::vector<int> { 1, 2, 2, 3, 3 }));
    EXPECT_EQ(DecodePairing(EncodePairing({ PairingMode::ByRow, anchors }), 5, 3).anchors, anchors);
    EXPECT_EQ(DecodePairing("rows 1 9", 2, 3).anchors, RowAnchors(2, 3)); // past the table: the default
    EXPECT_EQ(DecodePairing("", 3, 4).mode, PairingMode::ByTime);
}

TEST(Translation, TheOriginalSurvivesItsSideDataAndDamageIsRefused)
{
    SubtitleTable table;
    Fill(table, { { "0", "10", "a:b", "7:x" }, { "", "x", "", "", "\xff\x01" } });
    table.setCell(SubtitleTable::Extra, 2, "extra\nlines");
    table.setDocumentData("kept\ndata");
    const OriginalSubtitles original = MakeOriginal(table, "a:b.srt", "ass", 23.976);
    const std::string encoded = EncodeOriginal(original);
    const OriginalSubtitles back = DecodeOriginal(encoded);
    EXPECT_EQ(back.fileName, "a:b.srt");
    EXPECT_EQ(back.format, "ass");
    EXPECT_DOUBLE_EQ(back.framerate, 23.976);
    EXPECT_EQ(test::AllCells(*back.table), test::AllCells(table));
    EXPECT_EQ(back.table->documentData(), "kept\ndata");
    ASSERT_EQ(back.rowCount(), 2);
    EXPECT_FALSE(back.spans[1]); // "x" is no frame
    for (const std::string& damaged : { encoded.substr(0, encoded.size() - 1), encoded + "1:x", std::string("9:"),
             std::string("17:tessel-original-10:0:0:0:9:999999999") })
        EXPECT_THROW(DecodeOriginal(damaged), Error);
}

TEST(Translation, StartingCopiesTimesAndHiddenCellsAndTheCheckFindsLongAndMissingText)
{
    const OriginalSubtitles original
        = originalOf({ { "0", "10", "Yes." }, { "10", "20", "No way!" }, { "30", "40", "Bye." } });
    SubtitleTable table;
    StartTranslation(table, original, false);
    EXPECT_EQ(test::Rows(table)[1], (Row { "10", "20", "", "", "" }));
    // "Yes." has 4 characters, "Oui, bien sûr." 14: 3.5 times. "No way!" has none beside it.
    table.setCell(SubtitleTable::Line1, 1, "Oui, bien sûr.");
    table.setCell(SubtitleTable::Line1, 3, "Salut.");
    const Pairing pairing(original, table, DefaultPairing(3, 3));
    const std::vector<TranslationFinding> found = CheckTranslation(table, original, pairing, 1.5);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].kind, TranslationFinding::TooLong);
    EXPECT_EQ(found[0].row, 1);
    EXPECT_DOUBLE_EQ(found[0].ratio, 3.5);
    EXPECT_EQ(found[1].kind, TranslationFinding::Untranslated);
    EXPECT_EQ(found[1].row, 2);
    EXPECT_EQ(found[1].start, 10);
}

// Data that follows the rows is brought up to date inside the step: one undo takes both back.
TEST(Translation, ClosingHooksJoinTheStepTheyClose)
{
    SubtitleTable table;
    EditHistory history(table);
    history.addClosingHook([&] { table.setSideData("rows", std::to_string(table.rowCount() - 1)); });
    {
        EditHistory::Step step(history, "Insert");
        table.insertRow(1);
    }
    table.insertRow(1); // a loose change
    history.closeLooseChanges();
    EXPECT_EQ(table.sideData("rows"), "3");
    EXPECT_EQ(history.undoCount(), 2u);
    history.undo();
    EXPECT_EQ(table.sideData("rows"), "2");
    history.undo();
    EXPECT_EQ(table.sideData("rows"), "");
    EXPECT_EQ(table.rowCount(), 2);
}
