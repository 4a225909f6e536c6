#pragma once
#include "formats/encoding.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QPlainTextEdit;

// The question when a file's encoding is unsure: the candidates, the best
// guess selected, and the file's first lines as each one reads them. Enter
// takes the selected one; Cancel reads nothing.
namespace tessel::app {

class EncodingDialog : public QDialog {
    Q_OBJECT
public:
    EncodingDialog(
        const std::string& fileName, const QByteArray& bytes, const EncodingGuess& guess, const QWidget* mainWindow);

    QByteArray chosenEncoding() const;
    QListWidget* list() const { return list_; }
    QPlainTextEdit* preview() const { return preview_; }

private:
    void showPreview();

    const QByteArray& bytes_;
    std::vector<QByteArray> names_;
    std::vector<int> strayLines_; // shown instead of the first lines
    QListWidget* list_ = nullptr;
    QPlainTextEdit* preview_ = nullptr;
};

// Asks with a dialog made for each question, placed over the main window.
class DialogEncodingChooser : public EncodingChooser {
public:
    explicit DialogEncodingChooser(const QWidget* mainWindow)
        : mainWindow_(mainWindow)
    {
    }
    std::optional<QByteArray> ChooseEncoding(
        const std::string& fileName, const QByteArray& bytes, const EncodingGuess& guess) override;

private:
    const QWidget* mainWindow_;
};

// Lines of the file shown in the preview.
constexpr int EncodingPreviewLines = 20;

} // namespace tessel::app
