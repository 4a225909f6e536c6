#include "app/track_dialog.h"

#include "app/placement.h"
#include "app/widget_helpers.h"
#include "app/window_font.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessel::app {

QString TrackCaption(const FilmTrack& track)
{
    QString text = QStringLiteral("Track %1: %2").arg(track.number).arg(QString::fromStdString(track.codec));
    if (!track.language.empty()) text += QStringLiteral(", ") + QString::fromStdString(track.language);
    if (!track.title.empty()) text += QStringLiteral(", \"%1\"").arg(QString::fromStdString(track.title));
    QStringList flags;
    if (track.isDefault) flags << QStringLiteral("default");
    if (track.forced) flags << QStringLiteral("forced");
    if (track.kind == TrackKind::Picture)
        flags << (track.readable() ? QStringLiteral("pictures, read by OCR")
                                   : QStringLiteral("pictures, not read as text"));
    else if (!track.readable())
        flags << QStringLiteral("not read here");
    if (!flags.isEmpty()) text += QStringLiteral(" (%1)").arg(flags.join(QStringLiteral(", ")));
    return text;
}

TrackDialog::TrackDialog(const std::string& fileName, const std::vector<FilmTrack>& tracks, const QWidget* mainWindow)
    : QDialog(nullptr)
    , tracks_(tracks)
{
    setObjectName(QStringLiteral("TrackDialog"));
    setWindowTitle(QStringLiteral("Subtitle tracks"));
    setFont(WindowFont());
    setModal(true);
    const QString name = QFileInfo(QString::fromStdString(fileName)).fileName();
    QLabel* label = MakeLabel(this, "TrackQuestion",
        QStringLiteral("\"%1\" holds several subtitle tracks.\nChoose the one to open:").arg(name));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("TrackList"));
    int first = -1;
    for (const FilmTrack& track : tracks_) {
        auto* item = new QListWidgetItem(TrackCaption(track), list_);
        if (!track.readable())
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        else if (first < 0 || (track.isDefault && !tracks_[static_cast<size_t>(first)].isDefault))
            first = list_->count() - 1;
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("TrackOk"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("TrackCancel"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    resize(480, 260);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
    list_->setCurrentRow(first);
    list_->setFocus();
    PlaceCentredOver(*this, mainWindow);
}

std::optional<int> TrackDialog::chosenTrack() const
{
    const int row = list_->currentRow();
    if (row < 0 || static_cast<size_t>(row) >= tracks_.size() || !tracks_[static_cast<size_t>(row)].readable())
        return std::nullopt;
    return tracks_[static_cast<size_t>(row)].number;
}

std::optional<int> DialogTrackChooser::ChooseTrack(const std::string& fileName, const std::vector<FilmTrack>& tracks)
{
    TrackDialog dialog(fileName, tracks, mainWindow_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosenTrack();
}

} // namespace tessel::app
