#include "app/editor.h"
#include "app/encoding_dialog.h"
#include "app/main_window.h"
#include "fakes.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStringEncoder>
#include <QTest>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;
using tessel::test::Rows;
using tessel::test::TempDir;
using tessel::test::WriteFile;

namespace {

QByteArray encoded(const char* utf8, const char* encoding)
{
    QStringEncoder encoder(encoding);
    return encoder.encode(QString::fromUtf8(utf8));
}

// Two words of Russian in Windows-1251: too little for the detectors to agree.
const QByteArray Unsure = encoded("1\r\n00:00:01,000 --> 00:00:02,000\r\nOK, да.\r\n\r\n", "windows-1251");

class EncodingQuestionTest : public ::testing::Test {
protected:
    EncodingQuestionTest() { editor.mainWindow().show(); }

    void open(const std::string& name, const QByteArray& bytes)
    {
        WriteFile(dir.path(name), bytes.toStdString());
        files.openAnswers.push_back(QString::fromStdString(dir.path(name)));
        Child<QAbstractButton>(editor.mainWindow(), "ButtonOpenSubtitles")->click();
    }

    TempDir dir;
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    FixedFramerate framerate { 25 };
    FixedExportSettings exportSettings { SsaExportAnswer { SsaExportSettings {}, QStringLiteral("25") } };
    Editor editor { EditorOverrides { &messages, &questions, &files, &framerate, &exportSettings, '.' } };
    SubtitleTable& table = editor.table();
};

int rowOf(const QListWidget& list, const char* name)
{
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->text().startsWith(QLatin1String(name) + QLatin1Char(' '))
            || list.item(i)->text() == QLatin1String(name))
            return i;
    return -1;
}

} // namespace

// The user looks through the candidates, sees the text in each, and takes
// the one that reads right with Enter.
TEST_F(EncodingQuestionTest, TheChosenEncodingIsReadAfterAPreviewOfEach)
{
    QString firstPreview, cyrillicPreview;
    int firstRow = -1;
    WhenModal(QStringLiteral("EncodingDialog"), [&](QWidget* dialog) {
        auto* list = Child<QListWidget>(*dialog, "EncodingList");
        auto* preview = Child<QPlainTextEdit>(*dialog, "EncodingPreview");
        firstRow = list->currentRow();
        firstPreview = preview->toPlainText();
        const int cyrillic = rowOf(*list, "windows-1251");
        ASSERT_GE(cyrillic, 0);
        list->setCurrentRow(cyrillic);
        cyrillicPreview = preview->toPlainText();
        QTest::keyClick(list, Qt::Key_Return);
    });
    open("unsure.srt", Unsure);
    EXPECT_EQ(firstRow, 0); // the best guess
    EXPECT_TRUE(firstPreview.startsWith("1\n00:00:01,000 --> 00:00:02,000\nOK, ")) << firstPreview.toStdString();
    EXPECT_EQ(cyrillicPreview, QString::fromUtf8("1\n00:00:01,000 --> 00:00:02,000\nOK, да.\n"));
    EXPECT_EQ(Rows(table), (std::vector<tessel::test::Row> { { "25", "50", "OK, да.", "", "" } }));
    EXPECT_TRUE(messages.messages.empty());
}

// UTF-8 but for a byte: the question names its line and shows it, as each
// candidate reads it; Enter takes UTF-8 with the byte from Windows-1252.
TEST_F(EncodingQuestionTest, AStrayByteInUtf8IsShownOnItsLine)
{
    QString question, preview;
    WhenModal(QStringLiteral("EncodingDialog"), [&](QWidget* dialog) {
        question = Child<QLabel>(*dialog, "EncodingQuestion")->text();
        preview = Child<QPlainTextEdit>(*dialog, "EncodingPreview")->toPlainText();
        QTest::keyClick(Child<QListWidget>(*dialog, "EncodingList"), Qt::Key_Return);
    });
    open("mixed.srt",
        "1\r\n00:00:01,000 --> 00:00:02,000\r\nCaf\xC3\xA9\r\n\r\n2\r\n00:00:03,000 --> 00:00:04,000\r\n"
        "stray \xE9 byte\r\n");
    EXPECT_EQ(question,
        "\"mixed.srt\" is UTF-8, but line 7 holds bytes that are not.\n"
        "Choose the encoding in which those lines read right:");
    EXPECT_EQ(preview, QString::fromUtf8("7: stray é byte"));
    EXPECT_EQ(Rows(table),
        (std::vector<tessel::test::Row> { { "25", "50", "Café", "", "" }, { "75", "100", "stray é byte", "", "" } }));
}

TEST_F(EncodingQuestionTest, EscapeReadsNothing)
{
    open("first.srt", QByteArray("1\r\n00:00:01,000 --> 00:00:02,000\r\nkept\r\n"));
    const uint64_t revision = table.revision();
    WhenModal(QStringLiteral("EncodingDialog"),
        [](QWidget* dialog) { QTest::keyClick(Child<QListWidget>(*dialog, "EncodingList"), Qt::Key_Escape); });
    open("unsure.srt", Unsure);
    EXPECT_EQ(table.revision(), revision);
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 1), "kept");
    EXPECT_EQ(framerate.timesAsked(), 1);
    EXPECT_TRUE(messages.messages.empty());
}

// A clear text is read without a question (no dialog would be answered here).
TEST_F(EncodingQuestionTest, AClearTextIsNotAskedAbout)
{
    open("clear.srt",
        encoded("1\r\n00:00:01,000 --> 00:00:02,000\r\nKde jsi byl včera večer? Čekala jsem do půlnoci.\r\n\r\n"
                "2\r\n00:00:03,000 --> 00:00:04,000\r\nPromiň, musel jsem zůstat déle v kanceláři.\r\n\r\n"
                "3\r\n00:00:05,000 --> 00:00:06,000\r\nŠárka šla se Žofií ke školníkovi, Jiří.\r\n",
            "windows-1250"));
    EXPECT_EQ(table.cell(SubtitleTable::Line1, 3), "Šárka šla se Žofií ke školníkovi, Jiří.");
}

// Saving a script in another format says in the status bar what had no place there.
TEST_F(EncodingQuestionTest, WhatASaveLeftOutIsShownInTheStatusBar)
{
    open("script.ass",
        "[Script Info]\nScriptType: v4.00+\n\n[Events]\n"
        "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
        "Comment: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,a note\n"
        "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,shown\n");
    files.saveAnswers.push_back(SaveChoice { QString::fromStdString(dir.path("out.srt")), 2 });
    Child<QAbstractButton>(editor.mainWindow(), "ButtonSaveSubtitles")->click();
    EXPECT_EQ(editor.mainWindow().statusBar()->currentMessage(),
        "1 comment line was not written: subrip has no place for them");
    EXPECT_EQ(tessel::test::ReadFile(dir.path("out.srt")), "1\r\n00:00:01,000 --> 00:00:02,000\r\nshown\r\n\r\n");
    EXPECT_TRUE(messages.messages.empty());
}
