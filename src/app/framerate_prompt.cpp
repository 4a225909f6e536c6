#include "app/framerate_prompt.h"

#include "app/placement.h"
#include "app/regional.h"
#include "app/widget_helpers.h"
#include "app/window_font.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "core/timecode.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace tessel::app {

FrameratePromptDialog::FrameratePromptDialog(MessageSink& messages, char decimalSeparator, const QWidget* mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , messages_(&messages)
    , decimalSeparator_(decimalSeparator)
    , mainWindow_(mainWindow)
    , videoChooser_(platformVideoChooser())
{
    setObjectName(QStringLiteral("FormChooseFPS"));
    setFont(WindowFont());
    setModal(true);
    label_ = MakeLabel(this, "LabelText", QString());
    label_->setAlignment(Qt::AlignCenter);
    const QStringList presets = FrameratePresets(decimalSeparator);
    dropDown_ = MakeEditableDropDown(this, "FPSDropDown", presets, presets.first());
    QPushButton* ok = MakeButton(this, "Button1", QStringLiteral("OK"));
    ok->setDefault(true);
    QPushButton* detect = MakeButton(this, "BtnAutodetect", QStringLiteral("Autodetect"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->addWidget(label_, 0, 0, 1, 3);
    grid->addWidget(detect, 1, 0);
    grid->addWidget(dropDown_, 1, 1);
    grid->addWidget(ok, 1, 2);
    setFixedSize(217, 69);
    connect(ok, &QPushButton::clicked, this, &FrameratePromptDialog::confirm);
    connect(detect, &QPushButton::clicked, this, &FrameratePromptDialog::autodetect);
}

double FrameratePromptDialog::ChooseFramerate(const QString& caption, const QString& prompt)
{
    PlaceCentredOver(*this, mainWindow_);
    label_->setText(prompt);
    setWindowTitle(caption);
    exec();
    const std::optional<double> rate = framerate();
    if (!rate) throw ConversionError("'" + dropDown_->currentText().toStdString() + "' is not a valid framerate");
    return *rate;
}

// 0 or a negative rate would make every time a division by zero or run
// backwards, so they are refused like any other text that is not a rate.
std::optional<double> FrameratePromptDialog::framerate() const
{
    const std::optional<double> rate = TryStrToFloat(dropDown_->currentText().toStdString(), decimalSeparator_);
    if (!rate || !(*rate > 0)) return std::nullopt;
    return rate;
}

void FrameratePromptDialog::confirm()
{
    if (framerate())
        accept();
    else
        messages_->showError(InvalidFramerateMessage);
}

void FrameratePromptDialog::autodetect()
{
    const std::optional<QString> file = videoChooser_();
    if (!file) return;
    const std::optional<long double> rate = AviFileFramerate(file->toStdString());
    if (!rate) {
        messages_->showError(FpsDetectionFailedMessage);
        return;
    }
    dropDown_->setEditText(QString::fromStdString(FormatFloatThreeDecimals(*rate, decimalSeparator_, false)));
}

void FrameratePromptDialog::reject() { }

VideoFileChooser FrameratePromptDialog::platformVideoChooser()
{
    auto* dialog = new QFileDialog(this, QStringLiteral("Choose video file"));
    dialog->setObjectName(QStringLiteral("OpenVideoDialog"));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(QStringLiteral("AVI video (*.avi)"));
    dialog->setDefaultSuffix(QStringLiteral("avi"));
    dialog->setFilter(dialog->filter() | QDir::Hidden);
    return [dialog]() -> std::optional<QString> {
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
        return dialog->selectedFiles().first();
    };
}

} // namespace tessel::app
