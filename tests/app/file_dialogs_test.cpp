#include "app/editor.h"
#include "app/file_actions.h"
#include "app/file_buttons.h"
#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

// The fourteen file types in their places, the later formats after the nine.
TEST(FileDialogs, OpenDialogListsTheFourteenFileTypes)
{
    const QStringList filters = OpenSubtitleFilters();
    ASSERT_EQ(filters.size(), 18);
    EXPECT_EQ(filters[0],
        "All supported subtitles (*.sub *.srt *.aqt *.smi *.ssa *.txt *.ass *.vtt *.ttml *.stl *.scc *.sup *.idx"
        " *.mkv *.webm *.mp4 *.m4v *.mov)");
    EXPECT_EQ(filters[8], "Sub Station Alpha 2.x, 4.x (*.ssa)");
    EXPECT_EQ(filters[9], "Simple Time-code (*.sub *.txt)");
    EXPECT_EQ(filters[10], "Advanced SubStation Alpha (*.ass)");
    EXPECT_EQ(filters[11], "WebVTT (*.vtt)");
    EXPECT_EQ(filters[12], "TTML, DFXP (*.ttml *.dfxp *.xml)");
    EXPECT_EQ(filters[13], "EBU STL (Tech 3264) (*.stl)");
    EXPECT_EQ(filters[14], "Scenarist Closed Captions (*.scc)");
    EXPECT_EQ(filters[15], "Blu-ray subtitles (PGS) (*.sup)");
    EXPECT_EQ(filters[16], "DVD subtitles (VobSub) (*.idx *.sub)");
    EXPECT_TRUE(filters[17].startsWith("All files ("));
}

TEST(FileDialogs, SaveTypesAndTheirExtensions)
{
    const QStringList filters = SaveSubtitleFilters();
    const std::pair<const char*, const char*> expected[]
        = { { "MicroDVD subtitles (*.sub)", "sub" }, { "SubRip subtitles (*.srt)", "srt" },
              { "SubViewer v. 1 subtitles (*.sub)", "sub" }, { "SubViewer v. 2 subtitles (*.sub)", "sub" },
              { "AQTitle subtitles (*.aqt)", "aqt" }, { "Microsoft SAMI (*.smi)", "smi" },
              { "DVD Subripper (*.sub)", "sub" }, { "Sub Station Alpha 4.0 (*.ssa)", "ssa" },
              { "Simple Time-code (*.txt)", "txt" }, { "Advanced SubStation Alpha (*.ass)", "ass" },
              { "WebVTT (*.vtt)", "vtt" }, { "TTML (IMSC 1.1 Text) (*.ttml)", "ttml" },
              { "EBU STL (Tech 3264) (*.stl)", "stl" }, { "Scenarist Closed Captions (*.scc)", "scc" },
              { "Blu-ray subtitles (PGS) (*.sup)", "sup" } }; // VobSub is read only
    ASSERT_EQ(filters.size(), 15);
    for (int type = 1; type <= 15; ++type) {
        EXPECT_EQ(filters[type - 1], expected[type - 1].first);
        EXPECT_EQ(SaveTypeExtension(type), expected[type - 1].second);
    }
}

TEST(FileDialogs, SaveDialogStartsWithMicroDvdAndItsExtension)
{
    QtSubtitleFileDialogs dialogs;
    EXPECT_EQ(dialogs.saveDialog().objectName(), "SaveSubtitleDialog");
    EXPECT_EQ(dialogs.saveDialog().windowTitle(), "Save Subtitle file");
    EXPECT_EQ(dialogs.openDialog().windowTitle(), "Open Subtitle file");
    EXPECT_TRUE(dialogs.saveDialog().testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialogs.saveDialog().defaultSuffix(), "sub");
    EXPECT_EQ(dialogs.saveFileType(), 1);
}

TEST(FileDialogs, ChosenSaveTypeSetsTheExtensionAddedToABareName)
{
    tessel::test::TempDir dir;
    QtSubtitleFileDialogs dialogs;
    dialogs.saveDialog().setDirectory(QString::fromStdString(dir.path("")));
    WhenModal(QStringLiteral("SaveSubtitleDialog"), [](QWidget* d) {
        auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        QTest::keyClick(types, Qt::Key_Down); // the user picks "SubRip subtitles"
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("out"));
        static_cast<QDialog*>(d)->accept();
    });
    const std::optional<SaveChoice> choice = dialogs.chooseSaveFile();
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->fileType, 2);
    EXPECT_EQ(choice->fileName, QString::fromStdString(dir.path("out.srt")));
    EXPECT_EQ(dialogs.saveDialog().defaultSuffix(), "srt");

    // The next save offers the same type and name again.
    QString offeredType;
    WhenModal(QStringLiteral("SaveSubtitleDialog"), [&](QWidget* d) {
        offeredType = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        static_cast<QDialog*>(d)->reject();
    });
    EXPECT_FALSE(dialogs.chooseSaveFile().has_value());
    EXPECT_EQ(offeredType, "SubRip subtitles");
}

// The file types show their descriptions; the patterns only filter.
TEST(FileDialogs, FileTypesShowTheirDescriptionsOnly)
{
    QtSubtitleFileDialogs dialogs;
    for (QFileDialog* dialog : { &dialogs.openDialog(), &dialogs.saveDialog() })
        EXPECT_TRUE(dialog->testOption(QFileDialog::HideNameFilterDetails)) << dialog->objectName().toStdString();
    QStringList shown;
    WhenModal(QStringLiteral("OpenSubtitleDialog"), [&](QWidget* d) {
        const auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; i < types->count(); ++i)
            shown << types->itemText(i);
        static_cast<QDialog*>(d)->reject();
    });
    EXPECT_FALSE(dialogs.chooseSubtitleFile().has_value());
    ASSERT_EQ(shown.size(), 18);
    EXPECT_EQ(shown[0], "All supported subtitles");
    EXPECT_EQ(shown[8], "Sub Station Alpha 2.x, 4.x");
    EXPECT_EQ(shown[10], "Advanced SubStation Alpha");
    EXPECT_EQ(shown[11], "WebVTT");
    EXPECT_EQ(shown[17], "All files");
}

// The folder must exist: the save dialog itself refuses the name and stays
// open, so the save never asks for a framerate.
TEST(FileDialogs, SaveRefusesANameInAFolderThatDoesNotExist)
{
    tessel::test::TempDir dir;
    RecordingMessages messages;
    FixedFramerate framerate(25);
    EditorOverrides overrides { &messages };
    overrides.framerate = &framerate;
    Editor editor(overrides);
    QtSubtitleFileDialogs& dialogs = editor.platformFileDialogs();
    dialogs.saveDialog().setDirectory(QString::fromStdString(dir.path("")));
    dialogs.saveDialog().selectNameFilter(SaveSubtitleFilters()[1]); // SubRip: asks for a framerate
    const QString missing = QString::fromStdString(dir.path("missing/out.srt"));
    QString refusal;
    bool stayedOpen = false;
    WhenModal(QStringLiteral("SaveSubtitleDialog"), [&](QWidget* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(missing);
        WhenModal(QStringLiteral("FolderMissingMessage"), [&](QWidget* box) {
            refusal = static_cast<QMessageBox*>(box)->text();
            static_cast<QMessageBox*>(box)->accept();
            QTimer::singleShot(0, dialog, [&stayedOpen, dialog] {
                stayedOpen = dialog->isVisible();
                static_cast<QDialog*>(dialog)->reject();
            });
        });
        static_cast<QDialog*>(dialog)->accept();
    });
    editor.mainWindow().fileButtons().saveSubtitles()->click();
    EXPECT_TRUE(refusal.startsWith(QString::fromStdString(dir.path("missing")))) << refusal.toStdString();
    EXPECT_TRUE(refusal.contains("The folder does not exist.")) << refusal.toStdString();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(framerate.timesAsked(), 0);
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_TRUE(messages.messages.empty());
}

// An opened file is offered by the next save with its own type, whatever the
// dialog was left at.
TEST(FileDialogs, TheSaveDialogOffersTheOpenedFileWithItsOwnType)
{
    tessel::test::TempDir dir;
    RecordingMessages messages;
    FixedFramerate framerate(25);
    EditorOverrides overrides { &messages };
    overrides.framerate = &framerate;
    Editor editor(overrides);
    QtSubtitleFileDialogs& dialogs = editor.platformFileDialogs();
    struct Case {
        const char* name;
        const char* content;
        int type;
        const char* extension;
    };
    for (const Case& c : {
             Case { "a.ass",
                 "[Script Info]\nScriptType: v4.00+\n\n[Events]\nFormat: Layer, Start, End, Style, Text\n"
                 "Dialogue: 0,0:00:01.00,0:00:02.00,Default,One\n",
                 10, "ass" },
             Case { "b.vtt", "WEBVTT\n\n00:01.000 --> 00:02.000\nOne\n", 11, "vtt" },
             Case { "offset.srt", "1\n00:00:01,000 --> 00:00:02,000\nOne\n", 2, "srt" },
             Case { "frames.txt", "{25}{50}One\n", 1, "sub" }, // MicroDVD, by its first line
         }) {
        tessel::test::WriteFile(dir.path(c.name), c.content);
        editor.fileActions().openFile(QString::fromStdString(dir.path(c.name)));
        EXPECT_EQ(dialogs.saveFileType(), c.type) << c.name;
        EXPECT_EQ(dialogs.saveDialog().defaultSuffix(), c.extension) << c.name;
        EXPECT_EQ(dialogs.saveDialog().selectedFiles().value(0).toStdString(), dir.path(c.name));
    }
    EXPECT_TRUE(messages.messages.empty());
}
