#include "preview/shot_bar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>

namespace tessel {

ShotBar::ShotBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ShotChangeBar"));
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("ShotChangeCount"));
    sensitivity_ = new QSpinBox(this);
    sensitivity_->setObjectName(QStringLiteral("ShotChangeSensitivity"));
    sensitivity_->setPrefix(QStringLiteral("Sensitivity "));
    sensitivity_->setToolTip(QStringLiteral(
        "How readily a change of picture counts as a cut: 1 only the plainest, 100 any that stands out"));
    snap_ = new QCheckBox(QStringLiteral("Snap"), this);
    snap_->setObjectName(QStringLiteral("ShotChangeSnap"));
    snap_->setToolTip(QStringLiteral(
        "Starts and ends set by dragging or with the timing keys go onto a shot change nearby (Shift while dragging, "
        "Ctrl+Shift with F8, F9 and F10: never)"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("ShotChangeProgress"));
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(12);
    progress_->hide();
    button_ = new QPushButton(QStringLiteral("Stop"), this);
    button_->setObjectName(QStringLiteral("ShotChangeStop"));
    button_->hide();
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("ShotChangeMessage"));
    message_->setTextFormat(Qt::PlainText);
    message_->hide();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 2);
    row->addWidget(count_);
    row->addWidget(sensitivity_);
    row->addWidget(snap_);
    row->addWidget(progress_, 1);
    row->addWidget(button_);
    row->addWidget(message_, 1);
    row->addStretch(0);
}

void ShotBar::showSearching(double progress)
{
    progress_->setValue(static_cast<int>(std::lround(progress * 1000)));
    progress_->show();
    button_->setText(QStringLiteral("Stop"));
    button_->setToolTip(QStringLiteral("Stop looking for shot changes; those found stay"));
    button_->show();
    message_->hide();
}

void ShotBar::showDone(bool complete, const QString& message)
{
    progress_->hide();
    button_->setText(QStringLiteral("Find"));
    button_->setToolTip(QStringLiteral("Look for the film's shot changes again"));
    button_->setVisible(!complete);
    message_->setText(message);
    message_->setVisible(!message.isEmpty());
}

void ShotBar::showCount(int cuts)
{
    count_->setText(cuts == 1 ? QStringLiteral("1 shot change") : QStringLiteral("%1 shot changes").arg(cuts));
}

} // namespace tessel
