#include "app/encoding_dialog.h"

#include "app/placement.h"
#include "app/widget_helpers.h"
#include "app/window_font.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessel::app {

EncodingDialog::EncodingDialog(
    const std::string& fileName, const QByteArray& bytes, const EncodingGuess& guess, const QWidget* mainWindow)
    : QDialog(nullptr)
    , bytes_(bytes)
{
    setObjectName(QStringLiteral("EncodingDialog"));
    setWindowTitle(QStringLiteral("Encoding"));
    setFont(WindowFont());
    setModal(true);
    const QString name = QFileInfo(QString::fromStdString(fileName)).fileName();
    // A text that is UTF-8 but for a few bytes shows the lines that hold them.
    const QString question = guess.strayLines.empty()
        ? QStringLiteral("The encoding of \"%1\" cannot be told for sure.\n"
                         "Choose the one in which its text reads right:")
              .arg(name)
        : QStringLiteral("\"%1\" is UTF-8, but %2 bytes that are not.\n"
                         "Choose the encoding in which those lines read right:")
              .arg(name,
                  QString::fromStdString(NameLines(guess.strayLines, guess.strayLineCount))
                          .replace(0, 1, QStringLiteral("l"))
                      + (guess.strayLineCount == 1 ? QStringLiteral(" holds") : QStringLiteral(" hold")));
    strayLines_.assign(guess.strayLines.begin(),
        guess.strayLines.begin()
            + std::min<std::ptrdiff_t>(std::ptrdiff_t(guess.strayLines.size()), EncodingPreviewLines));
    QLabel* label = MakeLabel(this, "EncodingQuestion", question);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("EncodingList"));
    for (const EncodingCandidate& candidate : guess.candidates) {
        names_.push_back(candidate.name);
        QString text = QString::fromLatin1(candidate.name);
        if (candidate.name.startsWith(MixedUtf8Name({})))
            text = QStringLiteral("UTF-8, those bytes as %1").arg(QString::fromLatin1(candidate.name.mid(6)));
        else if (!guess.strayLines.empty() && candidate.name == "UTF-8")
            text = QStringLiteral("UTF-8, those bytes as \uFFFD");
        if (candidate.confidence >= 0) text += QStringLiteral("  (%1% sure)").arg(candidate.confidence);
        list_->addItem(text);
    }
    preview_ = new QPlainTextEdit(this);
    preview_->setObjectName(QStringLiteral("EncodingPreview"));
    preview_->setReadOnly(true);
    preview_->setLineWrapMode(QPlainTextEdit::NoWrap);
    preview_->setFocusPolicy(Qt::NoFocus);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("EncodingOk"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("EncodingCancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    row->addWidget(preview_, 3);
    layout->addLayout(row, 1);
    layout->addWidget(buttons);
    resize(720, 360);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::currentRowChanged, this, &EncodingDialog::showPreview);
    connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
    list_->setCurrentRow(0);
    list_->setFocus();
    PlaceCentredOver(*this, mainWindow);
}

QByteArray EncodingDialog::chosenEncoding() const
{
    const int row = list_->currentRow();
    return row >= 0 && static_cast<size_t>(row) < names_.size() ? names_[static_cast<size_t>(row)] : QByteArray();
}

void EncodingDialog::showPreview()
{
    const QByteArray encoding = chosenEncoding();
    if (encoding.isEmpty())
        preview_->clear();
    else if (!strayLines_.empty())
        preview_->setPlainText(PreviewLines(bytes_, encoding, strayLines_));
    else
        preview_->setPlainText(PreviewText(bytes_, encoding, EncodingPreviewLines));
}

std::optional<QByteArray> DialogEncodingChooser::ChooseEncoding(
    const std::string& fileName, const QByteArray& bytes, const EncodingGuess& guess)
{
    EncodingDialog dialog(fileName, bytes, guess, mainWindow_);
    if (dialog.exec() != QDialog::Accepted || dialog.chosenEncoding().isEmpty()) return std::nullopt;
    return dialog.chosenEncoding();
}

} // namespace tessel::app
