#pragma once
#include <QString>
#include <memory>
#include <optional>

class QFileDialog;

// The open and save dialogs of the subtitle commands, behind an interface so
// that tests can answer them. Each dialog is one object for the whole run and
// so opens with the folder, name and file type of its previous use.
namespace tessel::app {

struct SaveChoice {
    QString fileName;
    int fileType = 1; // 1..9, the save dialog's file types
};

class SubtitleFileDialogs {
public:
    virtual ~SubtitleFileDialogs() = default;
    // Open and Append share this dialog.
    virtual std::optional<QString> chooseSubtitleFile() = 0;
    virtual std::optional<SaveChoice> chooseSaveFile() = 0;
};

// The dialogs' file type lists, as Qt name filters.
QStringList OpenSubtitleFilters();
QStringList SaveSubtitleFilters();
// The extension the save dialog adds for file type 1..9.
QString SaveTypeExtension(int fileType);

class QtSubtitleFileDialogs : public SubtitleFileDialogs {
public:
    QtSubtitleFileDialogs();
    ~QtSubtitleFileDialogs() override;

    std::optional<QString> chooseSubtitleFile() override;
    std::optional<SaveChoice> chooseSaveFile() override;

    QFileDialog& openDialog() { return *open_; }
    QFileDialog& saveDialog() { return *save_; }
    int saveFileType() const;
    // Offers this name the next time, with its file type (1..) selected and
    // the type's extension as the default; a type out of range leaves the
    // selected one.
    void offerSaveFile(const QString& fileName, int fileType);
    // SaveSubtitleDialogTypeChange: the default extension follows the type.
    void saveTypeChanged(const QString& filter);

private:
    int saveTypeOf(const QString& filter) const;

    std::unique_ptr<QFileDialog> open_;
    std::unique_ptr<QFileDialog> save_;
};

} // namespace tessel::app
