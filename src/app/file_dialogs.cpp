#include "app/file_dialogs.h"

#include "formats/registry.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace tessel::app {
namespace {

// "*.*" would hide files without a dot on this platform.
QString nameFilter(const char* description, const char* patterns)
{
    QString list = QString::fromLatin1(patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
    if (list == QLatin1String("*.*")) list = QStringLiteral("*");
    return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(description), list);
}

// The save dialog refuses a name in a folder that does not exist, as the
// dialog itself, so nothing after it (the framerate prompt, the export
// settings) is asked.
class SaveDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QFileInfo file(files.first());
            if (!file.isDir() && !file.absoluteDir().exists()) {
                QMessageBox box(QMessageBox::Warning, windowTitle(),
                    QStringLiteral("%1\nThe folder does not exist.\nPlease verify the correct folder name was given.")
                        .arg(QDir::toNativeSeparators(file.absolutePath())),
                    QMessageBox::Ok, this);
                box.setObjectName(QStringLiteral("FolderMissingMessage"));
                box.exec();
                return;
            }
        }
        QFileDialog::accept();
    }
};

// The file types show their descriptions only.
template <typename Dialog>
std::unique_ptr<QFileDialog> makeDialog(const char* name, const QString& title, const QStringList& filters)
{
    std::unique_ptr<QFileDialog> dialog = std::make_unique<Dialog>(nullptr, title);
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
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
    : open_(makeDialog<QFileDialog>("OpenSubtitleDialog", QStringLiteral("Open Subtitle file"), OpenSubtitleFilters()))
    , save_(makeDialog<SaveDialog>("SaveSubtitleDialog", QStringLiteral("Save Subtitle file"), SaveSubtitleFilters()))
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

int QtSubtitleFileDialogs::saveFileType() const { return saveTypeOf(save_->selectedNameFilter()); }

void QtSubtitleFileDialogs::offerSaveFile(const QString& fileName, int fileType)
{
    const QStringList filters = save_->nameFilters();
    if (fileType >= 1 && fileType <= filters.size()) {
        save_->selectNameFilter(filters[fileType - 1]);
        saveTypeChanged(filters[fileType - 1]);
    }
    save_->selectFile(fileName);
}

void QtSubtitleFileDialogs::saveTypeChanged(const QString& filter)
{
    save_->setDefaultSuffix(SaveTypeExtension(saveTypeOf(filter)));
}

// The dialog names a file type by its whole filter or, with the patterns
// hidden, by its description alone; 0 for neither.
int QtSubtitleFileDialogs::saveTypeOf(const QString& filter) const
{
    const QStringList filters = save_->nameFilters();
    for (int i = 0; i < filters.size(); ++i)
        if (filter == filters[i] || filter == filters[i].section(QStringLiteral(" ("), 0, 0)) return i + 1;
    return 0;
}

} // namespace tessel::app
