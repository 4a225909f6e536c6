#include "app/colour_panel.h"
#include "app/editor.h"
#include "app/export_dialog.h"
#include "app/main_window.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

void pressOk(QWidget* dialog) { Child<QAbstractButton>(*dialog, "Button1")->click(); }

} // namespace

TEST(ExportDialog, DefaultsGiveTheDocumentedStyleLine)
{
    ExportDialog dialog(',', nullptr);
    const SsaExportAnswer answer = dialog.answer();
    EXPECT_EQ(answer.settings.styleLine(),
        "Style: Default,Arial,56,16777215,65535,65280,-2147483640,-1,0,1,1,1,2,30,30,30,0,134");
    EXPECT_EQ(answer.fpsText, "23,976");
    EXPECT_EQ(Child<QLineEdit>(dialog, "CheckFontNameEdit")->text(), "Arial, Bold, 56pt");
    EXPECT_EQ(dialog.windowTitle(), "Sub Station Alpha");
}

TEST(ExportDialog, ControlsReachTheStyleFields)
{
    ExportDialog dialog('.', nullptr);
    Child<QComboBox>(dialog, "PositionHorizontal")->setCurrentIndex(0); // "Top"
    Child<QComboBox>(dialog, "PositionVertical")->setCurrentIndex(2); // "Right"
    Child<QSlider>(dialog, "AlphaLevel")->setValue(9);
    Child<QComboBox>(dialog, "OutlineSize")->setCurrentIndex(0); // "off"
    Child<QComboBox>(dialog, "ShadowSize")->setCurrentIndex(4);
    Child<QSpinBox>(dialog, "MarginLeft")->setValue(-7);
    Child<QSpinBox>(dialog, "MarginRight")->setValue(12);
    Child<QSpinBox>(dialog, "MarginVertical")->setValue(100000);
    Child<QComboBox>(dialog, "FPSDropDown")->setEditText("25");
    const SsaExportAnswer answer = dialog.answer();
    EXPECT_EQ(answer.settings.alignment(), 7);
    EXPECT_EQ(answer.settings.alphaLevel * 10, 90);
    EXPECT_EQ(answer.settings.outlineIndex, 0);
    EXPECT_EQ(answer.settings.shadowIndex, 4);
    EXPECT_EQ(std::make_tuple(answer.settings.marginLeft, answer.settings.marginRight, answer.settings.marginVertical),
        std::make_tuple(-7, 12, 100000));
    EXPECT_EQ(answer.fpsText, "25");
}

TEST(ExportDialog, AlignmentFollowsBothPositionLists)
{
    ExportDialog dialog('.', nullptr);
    const int expected[3][3] = { { 5, 6, 7 }, { 9, 10, 11 }, { 1, 2, 3 } }; // Top, Middle, Bottom x Left, Center, Right
    for (int v = 0; v < 3; ++v)
        for (int h = 0; h < 3; ++h) {
            Child<QComboBox>(dialog, "PositionHorizontal")->setCurrentIndex(v);
            Child<QComboBox>(dialog, "PositionVertical")->setCurrentIndex(h);
            EXPECT_EQ(dialog.answer().settings.alignment(), expected[v][h]) << v << "," << h;
        }
}

TEST(ExportDialog, FontAndColourChoicesReachTheSettings)
{
    ExportDialog dialog('.', nullptr);
    QFont chosen(QStringLiteral("Tahoma"), 20);
    chosen.setItalic(true);
    dialog.setFontChooser([chosen](const QFont&) { return chosen; });
    dialog.setColourChooser([](const QColor&) { return QColor(255, 0, 0); });
    dialog.chooseFont();
    Child<ColourPanel>(dialog, "Color1")->clicked();
    Child<ColourPanel>(dialog, "ColorOutline")->clicked();
    const SsaExportSettings s = dialog.answer().settings;
    EXPECT_EQ(Child<QLineEdit>(dialog, "CheckFontNameEdit")->text(), "Tahoma, Italic, 20pt");
    EXPECT_EQ(std::make_tuple(s.fontName, s.fontPointSize, s.bold, s.italic),
        std::make_tuple(std::string("Tahoma"), 20, false, true));
    EXPECT_EQ(s.primaryColour, 255);
    EXPECT_EQ(s.outlineColour, 255);
    EXPECT_EQ(s.secondaryColour, 65535);

    dialog.setFontChooser([](const QFont&) { return std::nullopt; }); // cancelled
    dialog.chooseFont();
    EXPECT_EQ(dialog.answer().settings.fontName, "Tahoma");
}

TEST(ExportDialog, ShowsCompactAtEverySaveAndFullAfterAdvanced)
{
    ExportDialog dialog('.', nullptr);
    struct Seen {
        int height = 0;
        bool advancedEnabled = false;
        bool positionVisible = false;
    };
    Seen compact, full, again;
    auto look = [](QWidget* d) {
        return Seen { d->frameGeometry().height(), Child<QWidget>(*d, "ButtonAdvanced")->isEnabled(),
            Child<QWidget>(*d, "GroupBox2")->isVisible() };
    };
    WhenModal(QStringLiteral("FormSSAExport"), [&](QWidget* d) {
        compact = look(d);
        Child<QAbstractButton>(*d, "ButtonAdvanced")->click();
        full = look(d);
        Child<QSpinBox>(*d, "MarginLeft")->setValue(44);
        d->close(); // only OK ends it
        pressOk(d);
    });
    dialog.AskExportSettings();
    WhenModal(QStringLiteral("FormSSAExport"), [&](QWidget* d) {
        again = look(d);
        pressOk(d);
    });
    const SsaExportAnswer second = dialog.AskExportSettings();
    EXPECT_EQ(compact.height, ExportDialog::CompactHeight);
    EXPECT_TRUE(compact.advancedEnabled);
    EXPECT_FALSE(compact.positionVisible);
    EXPECT_EQ(full.height, ExportDialog::FullHeight);
    EXPECT_FALSE(full.advancedEnabled);
    EXPECT_TRUE(full.positionVisible);
    EXPECT_EQ(again.height, ExportDialog::CompactHeight);
    EXPECT_TRUE(again.advancedEnabled);
    EXPECT_EQ(second.settings.marginLeft, 44);
}

TEST(ExportDialog, SaveWritesTheDialogsValuesIntoTheStyleLine)
{
    tessel::test::TempDir dir;
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    Editor editor { EditorOverrides { &messages, &questions, &files, nullptr, nullptr, ',' } };
    tessel::test::Fill(editor.table(), { { "100", "150", "Hello", "", "World" } });
    const std::string target = dir.path("out.ssa");
    files.saveAnswers.push_back(SaveChoice { QString::fromStdString(target), 8 });
    WhenModal(QStringLiteral("FormSSAExport"), [](QWidget* d) {
        Child<QComboBox>(*d, "FPSDropDown")->setEditText("25");
        Child<QComboBox>(*d, "PositionHorizontal")->setCurrentIndex(0);
        Child<QComboBox>(*d, "PositionVertical")->setCurrentIndex(2);
        Child<QSlider>(*d, "AlphaLevel")->setValue(9);
        pressOk(d);
    });
    Child<QAbstractButton>(editor.mainWindow(), "ButtonSaveSubtitles")->click();
    const std::string written = tessel::test::ReadFile(target);
    EXPECT_NE(
        written.find("\r\nStyle: Default,Arial,56,16777215,65535,65280,-2147483640,-1,0,1,1,1,7,30,30,30,90,134\r\n"),
        std::string::npos)
        << written;
    EXPECT_NE(written.find("Dialogue: Marked=0,0:00:04.00,0:00:06.00,*Default,NTP,0000,0000,0000,,Hello\\nWorld"),
        std::string::npos)
        << written;
    EXPECT_TRUE(messages.messages.empty());
}
