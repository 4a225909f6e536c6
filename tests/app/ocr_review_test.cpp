// Picture subtitles in the editor: opened by OCR, reviewed row by row beside
// their pictures, the pictures gone once saved as text; and the video size
// the export settings ask for Blu-ray subtitles.
#include "app/commands.h"
#include "app/editor.h"
#include "app/export_dialog.h"
#include "app/file_actions.h"
#include "app/file_dialogs.h"
#include "app/ocr_review_window.h"
#include "app/ocr_wiring.h"
#include "formats/pgs.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

TEST(OcrReview, OpenedPicturesAreReviewedAndGoneOnceSavedAsText)
{
    TempDir dir;
    // "Helo" is not in the dictionary: that row is to be looked at.
    WriteFile(dir.path("a.sup"),
        WriteRows(WritePgs, { { "25", "75", "Helo, is anybody home?" }, { "100", "150", "<i>Good night.</i>" } }, 25));
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    FixedFramerate framerate { 25 };
    FixedExportSettings exportSettings { SsaExportAnswer { SsaExportSettings {}, QStringLiteral("25") } };
    Editor editor(EditorOverrides { &messages, &questions, &files, &framerate, &exportSettings, '.' });
    std::optional<std::string> asked;
    editor.ocr().setLanguageChooser([&](const PictureSubtitleSource& source) {
        asked = source.fileName;
        return std::optional<std::string>("eng");
    });
    EXPECT_TRUE(editor.commands().unavailableReason(*editor.commands().find("ocr.review")).size() > 0);
    editor.fileActions().openFile(QString::fromStdString(dir.path("a.sup")));
    EXPECT_EQ(asked, dir.path("a.sup"));
    EXPECT_EQ(Rows(editor.table()),
        (std::vector<Row> {
            { "25", "75", "Helo, is anybody home?", "", "" }, { "100", "150", "<i>Good night.</i>", "", "" } }));

    OcrReviewWindow& review = editor.ocr().reviewWindow();
    ASSERT_TRUE(review.isVisible()); // opened after the file was read
    ASSERT_EQ(review.rowCount(), 2);
    EXPECT_EQ(review.markedCount(), 1);
    EXPECT_EQ(review.current(), 0); // the marked row first
    EXPECT_EQ(review.reason(0), "Not in the dictionary: Helo");
    EXPECT_FALSE(review.picture()->pixmap().isNull());
    EXPECT_EQ(review.text()->toPlainText(), "Helo, is anybody home?");
    review.text()->setPlainText("Hello, is anybody home?");
    review.change();
    EXPECT_EQ(editor.table().cell(SubtitleTable::Line1, 1), "Hello, is anybody home?");
    EXPECT_EQ(review.markedCount(), 0);
    editor.history().undo();
    EXPECT_EQ(editor.table().cell(SubtitleTable::Line1, 1), "Helo, is anybody home?");
    review.refresh();
    EXPECT_EQ(review.markedCount(), 0); // changed once: looked at
    EXPECT_TRUE(editor.commands().unavailableReason(*editor.commands().find("ocr.review")).isEmpty());

    // Saved as Blu-ray subtitles they stay; as SubRip they go.
    files.saveAnswers.push_back(SaveChoice { QString::fromStdString(dir.path("b.sup")), 15 });
    editor.fileActions().saveSubtitles();
    EXPECT_EQ(editor.ocr().pictures().count(), 2u);
    files.saveAnswers.push_back(SaveChoice { QString::fromStdString(dir.path("b.srt")), 2 });
    editor.fileActions().saveSubtitles();
    EXPECT_EQ(editor.ocr().pictures().count(), 0u);
    EXPECT_EQ(review.rowCount(), 0);
    EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('\n').toStdString();
}

TEST(OcrReview, TheExportSettingsAskTheVideoSizeForPicturesOnly)
{
    ExportDialog dialog('.', nullptr);
    QComboBox* size = Child<QComboBox>(dialog, "PictureSizeDropDown");
    const auto answerWith = [&](const QString& text) {
        QTimer::singleShot(0, &dialog, [&] {
            EXPECT_TRUE(size->isVisible());
            size->setEditText(text);
            Child<QAbstractButton>(dialog, "Button1")->click();
        });
        return dialog.AskPictureExportSettings();
    };
    SsaExportAnswer answer = answerWith("1920x1080");
    EXPECT_EQ(std::make_pair(answer.pictureWidth, answer.pictureHeight), std::make_pair(1920, 1080));
    answer = answerWith("720x576");
    EXPECT_EQ(std::make_pair(answer.pictureWidth, answer.pictureHeight), std::make_pair(720, 576));
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_FALSE(size->isVisible()); // Sub Station Alpha: as ever
        Child<QAbstractButton>(dialog, "Button1")->click();
    });
    dialog.AskExportSettings();
}

// The README's picture: TESSEL_SHOTS_DIR=docs under Xvfb.
TEST(OcrReview, Screenshot)
{
    const QString folder = qEnvironmentVariable("TESSEL_SHOTS_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "TESSEL_SHOTS_DIR not set";
    TempDir dir;
    WriteFile(dir.path("film.sup"),
        WriteRows(WritePgs,
            { { "25", "87", "Where were you last night?", "- I waited for two hours." },
                { "100", "150", "<i>Previously on \"The Harbour\"...</i>" },
                { "175", "250", "It's 7:30, and <i>nobody</i> is here." },
                { "275", "325", "Björn says hello from Malmö." },
                { "350", "400", "Take the 8:15 to Boston.", "Don't forget the keys!" },
                { "425", "475", "That'll be $12.50, please." } },
            25));
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    FixedFramerate framerate { 25 };
    FixedExportSettings exportSettings { SsaExportAnswer { SsaExportSettings {}, QStringLiteral("25") } };
    Editor editor(EditorOverrides { &messages, &questions, &files, &framerate, &exportSettings, '.' });
    editor.ocr().setLanguageChooser([](const PictureSubtitleSource&) { return std::optional<std::string>("eng"); });
    editor.fileActions().openFile(QString::fromStdString(dir.path("film.sup")));
    OcrReviewWindow& review = editor.ocr().reviewWindow();
    review.resize(1000, 600);
    QTest::qWait(300);
    EXPECT_TRUE(review.grab().save(folder + QStringLiteral("/screenshot-ocr-review.png")));
}
