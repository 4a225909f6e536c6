#include "app/file_buttons.h"

#include "app/widget_helpers.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessel::app {

FileButtons::FileButtons(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("FileButtons"));
    setFixedWidth(97);
    openSubtitles_ = MakeButton(this, "ButtonOpenSubtitles", QStringLiteral("Open subtitles"));
    appendSubtitles_ = MakeButton(this, "ButtonAppendSubtitles", QStringLiteral("Append subtitles"));
    openMovie_ = MakeButton(this, "ButtonOpenMovie", QStringLiteral("Open movie"));
    saveSubtitles_ = MakeButton(this, "ButtonSaveSubtitles", QStringLiteral("Save subtitles"));
    quit_ = MakeButton(this, "ButtonQuit", QStringLiteral("Quit"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(openSubtitles_);
    column->addWidget(appendSubtitles_);
    column->addWidget(openMovie_);
    column->addWidget(buildMovieInfo());
    column->addWidget(saveSubtitles_);
    column->addWidget(quit_);
    column->addStretch(1);
}

QWidget* FileButtons::buildMovieInfo()
{
    QGroupBox* box = MakeGroupBox(this, "GroupBoxMovieInfo", QStringLiteral("Movie info"));
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 2);
    grid->setHorizontalSpacing(0);
    grid->setVerticalSpacing(0);
    movieLength_
        = addInfoPair(grid, 0, QStringLiteral("Length:"), "LabelMovieInfoLength", QStringLiteral("0:00:00,000"));
    movieFrames_ = addInfoPair(grid, 1, QStringLiteral("Frames:"), "LabelMovieInfoFrames", QStringLiteral("0"));
    movieFps_ = addInfoPair(grid, 2, QStringLiteral("FPS:"), "LabelMovieInfoFPS", QStringLiteral("0"));
    movieSize_ = addInfoPair(grid, 3, QStringLiteral("Size:"), "LabelMovieInfoSize", QStringLiteral("0x0"));
    narrowToFit(box);
    return box;
}

// The longest length beside its caption must fit the 97-pixel column in the
// window font. Where the face is too wide for that (its stand-ins for MS Sans
// Serif are), its letters are narrowed just enough; height and face stay.
void FileButtons::narrowToFit(QWidget* box)
{
    constexpr int Room = 97 - 6 - 4; // the box's frame, and a gap between caption and value
    const QFontMetrics metrics(box->font());
    const int needed = metrics.horizontalAdvance(QStringLiteral("Length:"))
        + metrics.horizontalAdvance(QStringLiteral("0:00:00,000"));
    if (needed <= Room) return;
    for (QLabel* label : box->findChildren<QLabel*>()) {
        QFont font = label->font();
        font.setStretch(100 * Room / needed);
        label->setFont(font);
    }
}

QLabel* FileButtons::addInfoPair(
    QGridLayout* grid, int row, const QString& caption, const char* name, const QString& value)
{
    // Caption and value share the cell, so the value may use all the width
    // the caption leaves in this narrow column.
    QWidget* box = grid->parentWidget();
    QLabel* label = MakeLabel(box, name, value);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(1);
    auto* captionLabel = new QLabel(caption, box);
    grid->addWidget(label, row, 0);
    grid->addWidget(captionLabel, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

} // namespace tessel::app
