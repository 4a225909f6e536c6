#include "app/file_dialogs.h"

#include "formats/registry.h"

#include <QFileDialog>

namespace tessel::app {
namespace {

// "*.*" would hide files without a dot on this platform.
QString nameFilter(const char* description, const char* patterns)
{
    QString list = QString::fromLatin1(patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
    if (list == QLatin1String("*.*")) list = QStringLiteral("*");
    return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(description), list);
}

std::unique_ptr<QFileDialog> makeDialog(const char* name, const QString& title, const QStringList& filters)
{
    auto dialog = std::make_unique<QFileDialog>(nullptr, title);
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setSizeGripEnabled(true);
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.first());
    return dialog;
}

std::optional<QString> chosenFile(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString file = dialog.selectedFiles().first();
    dialog.selectFile(file); // offered again next time
    return file;
}

} // namespace

QStringList OpenSubtitleFilters()
{
    QStringList filters;
    for (const FileFilter& f : OpenFileFilters())
        filters << nameFilter(f.description, f.patterns);
    return filters;
}

QStringList SaveSubtitleFilters()
{
    QStringList filters;
    for (int type = 1; const FormatInfo* f = FormatBySaveType(type); ++type)
        filters << nameFilter(f->saveDescription, f->savePattern);
    return filters;
}

QString SaveTypeExtension(int fileType)
{
    const FormatInfo* format = FormatBySaveType(fileType);
    return format ? QString::fromLatin1(format->extension) : QString();
}

QtSubtitleFileDialogs::QtSubtitleFileDialogs()
    : open_(makeDialog("OpenSubtitleDialog", QStringLiteral("Open Subtitle file"), OpenSubtitleFilters()))
    , save_(makeDialog("SaveSubtitleDialog", QStringLiteral("Save Subtitle file"), SaveSubtitleFilters()))
{
    open_->setAcceptMode(QFileDialog::AcceptOpen);
    open_->setFileMode(QFileDialog::ExistingFile);
    save_->setAcceptMode(QFileDialog::AcceptSave);
    save_->setFileMode(QFileDialog::AnyFile);
    save_->setDefaultSuffix(SaveTypeExtension(1));
    QObject::connect(save_.get(), &QFileDialog::filterSelected, save_.get(),
        [this](const QString& filter) { saveTypeChanged(filter); });
}

QtSubtitleFileDialogs::~QtSubtitleFileDialogs() = default;

std::optional<QString> QtSubtitleFileDialogs::chooseSubtitleFile() { return chosenFile(*open_); }

std::optional<SaveChoice> QtSubtitleFileDialogs::chooseSaveFile()
{
    const std::optional<QString> file = chosenFile(*save_);
    if (!file) return std::nullopt;
    return SaveChoice { *file, saveFileType() };
}

int QtSubtitleFileDialogs::saveFileType() const
{
    return static_cast<int>(save_->nameFilters().indexOf(save_->selectedNameFilter())) + 1;
}

void QtSubtitleFileDialogs::saveTypeChanged(const QString& filter)
{
    const int type = static_cast<int>(save_->nameFilters().indexOf(filter)) + 1;
    save_->setDefaultSuffix(SaveTypeExtension(type));
}

} // namespace tessel::app
