#pragma once
#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <optional>

// The "Open movie" dialog: its title and filters, and the dialog itself
// behind an interface that tests answer.
namespace tessel {

inline const QString OpenVideoDialogTitle = QStringLiteral("Open Movie file");
inline const QString VideoFilterList = QStringLiteral(
    "All supported video files|*.avi;*.mpg;*.mpg;*.mpeg;*.asf;*.wmv;*.mov|Audio-Video Interleave (AVI)|*.avi|"
    "MPEG-1 Video (MPG)|*.mpg;*.mpeg;|Advanced Streaming file (ASF)|*.asf;|Windows Media file (WMV)|*.wmv;|"
    "Quicktime video (MOV)|*.mov;|All files|*.*");

// "description|pattern;pattern|..." as Qt's "description (pattern pattern)"
// filters. "*.*" means every file, with or without an extension.
QStringList NameFilters(const QString& filterList);

class OpenFileDialog {
public:
    virtual ~OpenFileDialog() = default;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<QString> Execute(const QString& title, const QStringList& nameFilters) = 0;
};

class QtOpenFileDialog : public OpenFileDialog {
public:
    explicit QtOpenFileDialog(QWidget* parent, QFileDialog::Options options = {})
        : parent_(parent)
        , options_(options)
    {
    }
    std::optional<QString> Execute(const QString& title, const QStringList& nameFilters) override;

private:
    QWidget* parent_;
    QFileDialog::Options options_;
};

} // namespace tessel
