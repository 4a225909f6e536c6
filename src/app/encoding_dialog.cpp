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
    QLabel* label = MakeLabel(this, "EncodingQuestion",
        QStringLiteral("The encoding of \"%1\" cannot be told for sure.\n"
                       "Choose the one in which its text reads right:")
            .arg(name));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("EncodingList"));
    for (const EncodingCandidate& candidate : guess.candidates) {
        names_.push_back(candidate.name);
        QString text = QString::fromLatin1(candidate.name);
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
    preview_->setPlainText(encoding.isEmpty() ? QString() : PreviewText(bytes_, encoding, EncodingPreviewLines));
}

std::optional<QByteArray> DialogEncodingChooser::ChooseEncoding(
    const std::string& fileName, const QByteArray& bytes, const EncodingGuess& guess)
{
    EncodingDialog dialog(fileName, bytes, guess, mainWindow_);
    if (dialog.exec() != QDialog::Accepted || dialog.chosenEncoding().isEmpty()) return std::nullopt;
    return dialog.chosenEncoding();
}

} // namespace tessel::app
