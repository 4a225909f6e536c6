#include "test_support.h"
#include "tools/spell_check.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace tessel;

namespace {

// A proof-reader's afternoon: typos, names, contractions with both
// apostrophes, numbers, capitals, addresses, and the markup of SubRip, SSA and WebVTT.
const std::vector<test::Row> Film = {
    { "0", "10", "<i>Previously on the show...</i>" },
    { "10", "20", "I can't belive you did that, Jonathan." },
    { "20", "30", "{\\i1}We're runing out of time!{\\i0}" },
    { "30", "40", "- Where's the recieve form?", "- In the <b>drawer</b>." },
    { "40", "50", "It's the 2nd time this hapens since the 1990s." },
    { "50", "60", "NASA sent the pakage to me@exmple.com" },
    { "60", "70", "Don\u2019t worry, se\u00f1or, it\u2019s a caf\u00e9 thing." },
    { "70", "80", "<font color=\"#ff0000\">Definately</font> not!" },
    { "80", "90", "JOHN: Thier house is over there." },
    { "90", "100", "Visit www.exampel.org/page or http://www.wrld.org" },
    { "100", "110", "<v Bob>Wellcome home, Bob.</v>", "", "Third line, teh end." },
};

std::vector<std::string> ourWords(const SubtitleTable& table)
{
    Speller speller("en_US");
    std::vector<std::string> words;
    CheckSpelling(table, speller, 1, SubtitleTable::Line1, 0, [&](const SpellFinding& f) {
        words.push_back(f.word);
        return true;
    });
    return words;
}

class SpellCheckTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (InstalledDictionaries().empty()) GTEST_SKIP() << "no Hunspell dictionary installed";
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.path("config")));
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }
    test::TempDir dir;
};

} // namespace

// Hunspell's own command line on the same text with the markup taken out by
// a pattern of its own; our two rules on top: no word with a digit, no word
// without a small letter.
TEST_F(SpellCheckTest, FlagsWhatHunspellsCommandLineFlags)
{
    if (QStandardPaths::findExecutable(QStringLiteral("hunspell")).isEmpty()) GTEST_SKIP() << "no hunspell command";
    SubtitleTable table;
    test::Fill(table, Film);
    QString plain;
    for (const test::Row& row : Film)
        for (size_t c = 2; c < row.size(); ++c)
            plain += QString::fromStdString(row[c]) + QLatin1Char('\n');
    plain.remove(QRegularExpression(QStringLiteral("<[^>]*>|\\{[^}]*\\}")));
    QProcess hunspell;
    hunspell.start(QStringLiteral("hunspell"), { QStringLiteral("-l"), QStringLiteral("-d"), QStringLiteral("en_US") });
    hunspell.write(plain.toUtf8());
    hunspell.closeWriteChannel();
    ASSERT_TRUE(hunspell.waitForFinished(10000));
    std::vector<std::string> expected;
    for (const QString& word : QString::fromUtf8(hunspell.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        if (!word.contains(QRegularExpression(QStringLiteral("\\d"))) && word != word.toUpper())
            expected.push_back(word.toStdString());
    EXPECT_GE(expected.size(), 9u); // the text's typos are there to be found
    EXPECT_EQ(ourWords(table), expected);
}

TEST_F(SpellCheckTest, WordsAreFoundInTheirCellsAroundMarkup)
{
    Speller speller("en_US");
    const std::string cell = "<i>Helo</i> {\\b1}wrld{\\b0} <u>fi</u>ne";
    const std::vector<TextSpan> wrong = speller.misspelled(cell);
    ASSERT_EQ(wrong.size(), 2u);
    EXPECT_EQ(cell.substr(wrong[0].start, wrong[0].end - wrong[0].start), "Helo");
    EXPECT_EQ(cell.substr(wrong[1].start, wrong[1].end - wrong[1].start), "wrld");
    // "fine" across its tags is one correct word; a change of it keeps them.
    EXPECT_EQ(ReplaceWord(cell, wrong[0], "Hello"), "<i>Hello</i> {\\b1}wrld{\\b0} <u>fi</u>ne");
    EXPECT_EQ(ReplaceWord("<u>fi</u>nd", { 3, 11 }, "found"), "<u>found</u>");
}

TEST_F(SpellCheckTest, AddedWordsAreKeptPerLanguageForTheNextRun)
{
    {
        Speller speller("en_US");
        EXPECT_FALSE(speller.isCorrect("Zorblax"));
        const uint64_t before = speller.generation();
        speller.ignore("Quuxle");
        EXPECT_TRUE(speller.isCorrect("Quuxle"));
        speller.addToPersonal("Zorblax");
        EXPECT_TRUE(speller.isCorrect("Zorblax"));
        EXPECT_GT(speller.generation(), before);
    }
    EXPECT_EQ(test::ReadFile(dir.path("config/tessel/dictionaries/en_US.dic")), "Zorblax\n");
    Speller again("en_US");
    EXPECT_TRUE(again.isCorrect("Zorblax"));
    EXPECT_FALSE(again.isCorrect("Quuxle")); // ignoring lasts one run
    EXPECT_THROW(Speller("xx_NONE"), std::exception);
}
