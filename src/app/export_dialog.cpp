#include "app/export_dialog.h"

#include "app/colour_panel.h"
#include "app/placement.h"
#include "app/regional.h"
#include "app/widget_helpers.h"
#include "app/window_font.h"
#include "preview/window_frame.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

namespace tessel::app {
namespace {

QColor fromSsa(int32_t colour) { return QColor(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff); }

int32_t toSsa(const QColor& colour) { return SsaColour(colour.red(), colour.green(), colour.blue()); }

QGridLayout* groupGrid(QGroupBox* box)
{
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(4, 0, 4, 2);
    grid->setSpacing(2);
    return grid;
}

const QStringList SizeItems
    = { QStringLiteral("off"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4") };

} // namespace

ExportDialog::ExportDialog(char decimalSeparator, const QWidget* mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , mainWindow_(mainWindow)
    , fontChooser_(PlatformFontChooser())
    , colourChooser_(PlatformColourChooser())
{
    const SsaExportSettings defaults;
    font_ = QFont(QString::fromStdString(defaults.fontName), defaults.fontPointSize,
        defaults.bold ? QFont::Bold : QFont::Normal, defaults.italic);
    charset_ = defaults.charset;
    setObjectName(QStringLiteral("FormSSAExport"));
    setWindowTitle(QStringLiteral("Sub Station Alpha"));
    setFont(WindowFont());
    setModal(true);
    const QStringList presets = FrameratePresets(decimalSeparator);
    fps_ = MakeEditableDropDown(this, "FPSDropDown", presets, presets.first());
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(buildBasePart());
    layout->addWidget(advancedPart_ = buildAdvancedPart());
    layout->addStretch(1);
    showCompact();
}

QWidget* ExportDialog::buildBasePart()
{
    auto* part = new QWidget(this);
    QPushButton* ok = MakeButton(part, "Button1", QStringLiteral("OK"));
    ok->setDefault(true);
    advancedButton_ = MakeButton(part, "ButtonAdvanced", QStringLiteral("Advanced"));
    auto* buttons = new QVBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(advancedButton_);
    auto* row = new QHBoxLayout(part);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(buildBaseSettings(part), 1);
    row->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(advancedButton_, &QPushButton::clicked, this, &ExportDialog::showAdvanced);
    return part;
}

QWidget* ExportDialog::buildBaseSettings(QWidget* parent)
{
    QGroupBox* base = MakeGroupBox(parent, "GroupBox1", QStringLiteral("Base settings"));
    fontName_ = MakeEdit(base, "CheckFontNameEdit", QString::fromStdString(fontSettings().fontDescription()));
    fontName_->setReadOnly(true);
    fontName_->setFocusPolicy(Qt::ClickFocus);
    QPushButton* browse = MakeButton(base, "ButtonFontBrowse", QStringLiteral("..."));
    browse->setFixedWidth(24);
    fps_->setParent(base);
    QGridLayout* grid = groupGrid(base);
    grid->addWidget(MakeLabel(base, "LabelFPS", QStringLiteral("FPS:")), 0, 0);
    grid->addWidget(fps_, 0, 1, 1, 2);
    grid->addWidget(MakeLabel(base, "LabelFont", QStringLiteral("Font:")), 1, 0);
    grid->addWidget(fontName_, 1, 1);
    grid->addWidget(browse, 1, 2);
    // Asked only for a picture format.
    pictureSizeLabel_ = MakeLabel(base, "LabelPictureSize", QStringLiteral("Video:"));
    pictureSize_ = MakeEditableDropDown(base, "PictureSizeDropDown",
        { QStringLiteral("1920x1080"), QStringLiteral("1280x720"), QStringLiteral("720x576"),
            QStringLiteral("720x480") },
        QStringLiteral("1920x1080"));
    grid->addWidget(pictureSizeLabel_, 2, 0);
    grid->addWidget(pictureSize_, 2, 1, 1, 2);
    pictureSizeLabel_->hide();
    pictureSize_->hide();
    connect(browse, &QPushButton::clicked, this, &ExportDialog::chooseFont);
    return base;
}

QWidget* ExportDialog::buildAdvancedPart()
{
    auto* part = new QWidget(this);
    auto* grid = new QGridLayout(part);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
    grid->addWidget(buildPosition(part), 0, 0);
    grid->addWidget(buildOutline(part), 0, 1);
    grid->addWidget(buildMargins(part), 1, 0, 1, 2);
    grid->addWidget(buildColours(part), 2, 0);
    grid->addWidget(buildAlpha(part), 2, 1);
    return part;
}

// PositionHorizontal holds the vertical choices, PositionVertical the
// horizontal ones; their labels say what they choose.
QWidget* ExportDialog::buildPosition(QWidget* parent)
{
    QGroupBox* box = MakeGroupBox(parent, "GroupBox2", QStringLiteral("Subtitles position"));
    positionHorizontal_ = MakeDropDownList(
        box, "PositionHorizontal", { QStringLiteral("Top"), QStringLiteral("Middle"), QStringLiteral("Bottom") }, 2);
    positionVertical_ = MakeDropDownList(
        box, "PositionVertical", { QStringLiteral("Left"), QStringLiteral("Center"), QStringLiteral("Right") }, 1);
    QGridLayout* grid = groupGrid(box);
    grid->addWidget(new QLabel(QStringLiteral("Vertical:"), box), 0, 0);
    grid->addWidget(positionHorizontal_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Horizontal:"), box), 1, 0);
    grid->addWidget(positionVertical_, 1, 1);
    return box;
}

QSpinBox* ExportDialog::makeMargin(QWidget* parent, const char* name)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(INT_MIN, INT_MAX);
    spin->setValue(30);
    spin->setFixedWidth(52);
    return spin;
}

QWidget* ExportDialog::buildMargins(QWidget* parent)
{
    QGroupBox* box = MakeGroupBox(parent, "GroupBox3", QStringLiteral("Margins"));
    marginLeft_ = makeMargin(box, "MarginLeft");
    marginVertical_ = makeMargin(box, "MarginVertical");
    marginRight_ = makeMargin(box, "MarginRight");
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(4, 0, 4, 2);
    row->setSpacing(2);
    const char* captions[] = { "Left:", "Vertical:", "Right:" };
    QSpinBox* spins[] = { marginLeft_, marginVertical_, marginRight_ };
    for (int i = 0; i < 3; ++i) {
        if (i > 0) row->addSpacing(6);
        row->addWidget(new QLabel(QString::fromLatin1(captions[i]), box));
        row->addWidget(spins[i]);
    }
    row->addStretch(1);
    return box;
}

ColourPanel* ExportDialog::makeColourPanel(QWidget* parent, const char* name, const QColor& colour)
{
    auto* panel = new ColourPanel(name, colour, parent);
    connect(panel, &ColourPanel::clicked, this, [this, panel] { chooseColour(panel); });
    return panel;
}

QWidget* ExportDialog::buildColours(QWidget* parent)
{
    const SsaExportSettings defaults;
    QGroupBox* box = MakeGroupBox(parent, "GroupBox4", QStringLiteral("Colors"));
    colour1_ = makeColourPanel(box, "Color1", fromSsa(defaults.primaryColour));
    colour2_ = makeColourPanel(box, "Color2", fromSsa(defaults.secondaryColour));
    colour3_ = makeColourPanel(box, "Color3", fromSsa(defaults.tertiaryColour));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(4, 0, 4, 2);
    row->setSpacing(2);
    const char* captions[] = { "#1", "#2", "#3" };
    ColourPanel* panels[] = { colour1_, colour2_, colour3_ };
    for (int i = 0; i < 3; ++i) {
        row->addWidget(new QLabel(QString::fromLatin1(captions[i]), box));
        row->addWidget(panels[i]);
    }
    row->addStretch(1);
    return box;
}

QWidget* ExportDialog::buildOutline(QWidget* parent)
{
    const SsaExportSettings defaults;
    QGroupBox* box = MakeGroupBox(parent, "GroupBox5", QStringLiteral("Outline, Shadow"));
    outlineSize_ = MakeDropDownList(box, "OutlineSize", SizeItems, defaults.outlineIndex);
    shadowSize_ = MakeDropDownList(box, "ShadowSize", SizeItems, defaults.shadowIndex);
    colourOutline_ = makeColourPanel(box, "ColorOutline", fromSsa(defaults.outlineColour));
    QGridLayout* grid = groupGrid(box);
    grid->addWidget(new QLabel(QStringLiteral("Outline:"), box), 0, 0);
    grid->addWidget(outlineSize_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Color:"), box), 0, 2, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Shadow:"), box), 1, 0);
    grid->addWidget(shadowSize_, 1, 1);
    grid->addWidget(colourOutline_, 1, 2, Qt::AlignCenter);
    return box;
}

QWidget* ExportDialog::buildAlpha(QWidget* parent)
{
    QGroupBox* box = MakeGroupBox(parent, "GroupBox6", QStringLiteral("Alpha Level"));
    alphaLevel_ = new QSlider(Qt::Horizontal, box);
    alphaLevel_->setObjectName(QStringLiteral("AlphaLevel"));
    alphaLevel_->setRange(0, 9);
    alphaLevel_->setTickInterval(1);
    alphaLevel_->setTickPosition(QSlider::TicksBelow);
    alphaLevel_->setPageStep(1);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(4, 0, 4, 2);
    row->addWidget(new QLabel(QStringLiteral("off"), box));
    row->addWidget(alphaLevel_, 1);
    row->addWidget(new QLabel(QStringLiteral("max"), box));
    return box;
}

SsaExportAnswer ExportDialog::AskExportSettings()
{
    showCompact();
    exec();
    return answer();
}

SsaExportAnswer ExportDialog::AskPictureExportSettings()
{
    asksPictureSize_ = true;
    pictureSizeLabel_->show();
    pictureSize_->show();
    showCompact();
    exec();
    asksPictureSize_ = false;
    pictureSizeLabel_->hide();
    pictureSize_->hide();
    return answer();
}

int ExportDialog::pictureRowHeight() const { return asksPictureSize_ ? PictureRowHeight : 0; }

SsaExportSettings ExportDialog::fontSettings() const
{
    SsaExportSettings s;
    s.fontName = font_.family().toStdString();
    s.fontPointSize = FontPointSize(font_);
    s.bold = font_.bold();
    s.italic = font_.italic();
    s.charset = charset_;
    return s;
}

SsaExportAnswer ExportDialog::answer() const
{
    SsaExportAnswer result { fontSettings(), fps_->currentText() };
    SsaExportSettings& s = result.settings;
    s.primaryColour = toSsa(colour1_->colour());
    s.secondaryColour = toSsa(colour2_->colour());
    s.tertiaryColour = toSsa(colour3_->colour());
    s.outlineColour = toSsa(colourOutline_->colour());
    s.outlineIndex = outlineSize_->currentIndex();
    s.shadowIndex = shadowSize_->currentIndex();
    s.verticalIndex = positionHorizontal_->currentIndex();
    s.horizontalIndex = positionVertical_->currentIndex();
    s.marginLeft = marginLeft_->value();
    s.marginRight = marginRight_->value();
    s.marginVertical = marginVertical_->value();
    s.alphaLevel = alphaLevel_->value();
    // "1280x720"; anything else keeps the default size.
    const QStringList size = pictureSize_->currentText().split(QLatin1Char('x'));
    if (size.size() == 2 && size[0].toInt() > 0 && size[1].toInt() > 0) {
        result.pictureWidth = size[0].toInt();
        result.pictureHeight = size[1].toInt();
    }
    return result;
}

void ExportDialog::showCompact()
{
    advancedPart_->hide();
    advancedButton_->setEnabled(true);
    setWindowHeight(CompactHeight + pictureRowHeight());
    PlaceCentredOver(*this, mainWindow_);
}

void ExportDialog::showAdvanced()
{
    advancedPart_->show();
    setWindowHeight(FullHeight + pictureRowHeight());
    PlaceCentredOver(*this, mainWindow_);
    advancedButton_->setEnabled(false);
}

// The frame is known only once the dialog is shown (and a window manager
// has framed it): until then the main window's stands for it, and the height
// is set again and the dialog placed again with the true one.
void ExportDialog::setWindowHeight(int height)
{
    windowHeight_ = height;
    const QMargins frame = GuessedFrame(*this, mainWindow_);
    setFixedSize(287, height - frame.top() - frame.bottom());
    if (IsFramed(*this)) return;
    WhenFramed(*this, "window height", [this] {
        setWindowHeight(windowHeight_);
        PlaceCentredOver(*this, mainWindow_);
    });
}

void ExportDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (OuterGeometry(*this).height() == windowHeight_) return;
    setWindowHeight(windowHeight_);
    PlaceCentredOver(*this, mainWindow_);
}

void ExportDialog::chooseFont()
{
    const std::optional<QFont> font = fontChooser_(font_);
    if (!font) return;
    font_ = *font;
    fontName_->setText(QString::fromStdString(fontSettings().fontDescription()));
}

void ExportDialog::chooseColour(ColourPanel* panel)
{
    const std::optional<QColor> colour = colourChooser_(panel->colour());
    if (colour) panel->setColour(*colour);
}

void ExportDialog::reject() { }

} // namespace tessel::app
