#pragma once
#include "app/font_choice.h"
#include "formats/file_commands.h"

#include <QDialog>
#include <QFont>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

// The "Sub Station Alpha" export settings, asked at every save in that format:
// compact with only the base settings at first, every group after
// "Advanced". One dialog for the whole run, so each setting keeps its value.
namespace tessel::app {

class ColourPanel;

class ExportDialog : public QDialog, public ExportSettingsSource {
    Q_OBJECT
public:
    static constexpr int CompactHeight = 108; // window heights, frame included
    static constexpr int FullHeight = 280;
    static constexpr int PictureRowHeight = 28; // the video size, for a picture format

    ExportDialog(char decimalSeparator, const QWidget* mainWindow);

    SsaExportAnswer AskExportSettings() override;
    // The same, with the video size the pictures are drawn for.
    SsaExportAnswer AskPictureExportSettings() override;
    // What the controls hold now.
    SsaExportAnswer answer() const;

    void showCompact();
    void showAdvanced(); // ButtonAdvancedClick
    void chooseFont(); // ButtonFontBrowseClick
    void chooseColour(ColourPanel* panel);

    void setFontChooser(FontChooser chooser) { fontChooser_ = std::move(chooser); }
    void setColourChooser(ColourChooser chooser) { colourChooser_ = std::move(chooser); }

public slots:
    void reject() override; // only OK ends the dialog

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildBasePart();
    QWidget* buildBaseSettings(QWidget* parent);
    QWidget* buildAdvancedPart();
    QWidget* buildPosition(QWidget* parent);
    QWidget* buildMargins(QWidget* parent);
    QWidget* buildColours(QWidget* parent);
    QWidget* buildOutline(QWidget* parent);
    QWidget* buildAlpha(QWidget* parent);
    QSpinBox* makeMargin(QWidget* parent, const char* name);
    ColourPanel* makeColourPanel(QWidget* parent, const char* name, const QColor& colour);
    void setWindowHeight(int height);
    int pictureRowHeight() const;
    SsaExportSettings fontSettings() const; // the font's fields; the rest at their defaults

    const QWidget* mainWindow_;
    int windowHeight_ = CompactHeight;
    QFont font_;
    int charset_;
    FontChooser fontChooser_;
    ColourChooser colourChooser_;
    QComboBox* fps_ = nullptr;
    QLineEdit* fontName_ = nullptr;
    QPushButton* advancedButton_ = nullptr;
    QWidget* advancedPart_ = nullptr;
    QComboBox* positionHorizontal_ = nullptr;
    QComboBox* positionVertical_ = nullptr;
    QSpinBox* marginLeft_ = nullptr;
    QSpinBox* marginVertical_ = nullptr;
    QSpinBox* marginRight_ = nullptr;
    ColourPanel* colour1_ = nullptr;
    ColourPanel* colour2_ = nullptr;
    ColourPanel* colour3_ = nullptr;
    ColourPanel* colourOutline_ = nullptr;
    QComboBox* outlineSize_ = nullptr;
    QComboBox* shadowSize_ = nullptr;
    QSlider* alphaLevel_ = nullptr;
    QLabel* pictureSizeLabel_ = nullptr;
    QComboBox* pictureSize_ = nullptr;
    bool asksPictureSize_ = false;
};

} // namespace tessel::app
