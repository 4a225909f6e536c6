#include "app/playback_panel.h"

#include "app/widget_helpers.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace tessel::app {

PlaybackPanel::PlaybackPanel(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PlaybackPanel"));
    speed_ = new QSlider(Qt::Horizontal, this);
    speed_->setObjectName(QStringLiteral("TrckBarSpeed"));
    speed_->setRange(5, 15);
    speed_->setValue(10);
    speed_->setPageStep(1);
    speed_->setTickInterval(5);
    speed_->setTickPosition(QSlider::TicksBothSides);
    speed_->setToolTip(QStringLiteral("Playback speed (1.0x)"));
    stop_ = makeSpeedButton("BtnStop", QStringLiteral("Stop"), QStyle::SP_MediaStop);
    play_ = makeSpeedButton("BtnPlay", QStringLiteral("Play"), QStyle::SP_MediaPlay);
    playCurrent_
        = makeSpeedButton("BtnPlayCurrent", QStringLiteral("Play current subtitle"), QStyle::SP_MediaSeekForward);
    playCurrent_->hide();

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(speed_, 1);
    row->addWidget(buildCheckBoxes());
    row->addWidget(stop_, 0, Qt::AlignBottom);
    row->addWidget(play_, 0, Qt::AlignBottom);
    row->addWidget(playCurrent_, 0, Qt::AlignBottom);
}

QToolButton* PlaybackPanel::makeSpeedButton(const char* name, const QString& hint, int standardIcon)
{
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardIcon)));
    button->setAutoRaise(true);
    button->setFixedSize(25, 25);
    button->setEnabled(false);
    return button;
}

QWidget* PlaybackPanel::buildCheckBoxes()
{
    auto* boxes = new QWidget(this);
    seekMovie_ = MakeCheckBox(boxes, "SeekMovieCheckBox", QStringLiteral("Show position in movie"), true);
    autoSelect_ = MakeCheckBox(boxes, "AutoSelectCheckBox", QStringLiteral("Auto-select actual row"), true);
    autoScroll_ = MakeCheckBox(boxes, "AutoScrollCheckBox", QStringLiteral("Auto-scroll subtitles"), true);
    auto* column = new QVBoxLayout(boxes);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (QCheckBox* box : { seekMovie_, autoSelect_, autoScroll_ }) {
        box->setEnabled(false);
        column->addWidget(box);
    }
    return boxes;
}

QSlider* PlaybackPanel::createMovieTracker(QWidget* parent)
{
    movieTracker_ = new QSlider(Qt::Horizontal, parent);
    movieTracker_->setObjectName(QStringLiteral("MovieTracker"));
    movieTracker_->setRange(0, 0);
    movieTracker_->setTickInterval(1000);
    movieTracker_->setTickPosition(QSlider::TicksBelow);
    movieTracker_->setFixedHeight(18);
    movieTracker_->setEnabled(false);
    return movieTracker_;
}

} // namespace tessel::app
