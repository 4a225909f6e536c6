#include "preview/waveform_window.h"

#include "preview/waveform_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cmath>

namespace tessel {

WaveformWindow::WaveformWindow(const SubtitleTable& table, const PeakCache* cache)
    : QWidget(nullptr, Qt::Window)
    , source_(cache)
{
    setObjectName(QStringLiteral("FormWaveform"));
    setWindowTitle(QStringLiteral("Waveform"));
    setAttribute(Qt::WA_QuitOnClose, false); // the main window alone ends the program
    view_ = new WaveformView(table, source_, this);
    buildLayout();
    connect(&source_, &WaveformSource::tracksFound, this, &WaveformWindow::tracksFound);
    connect(&source_, &WaveformSource::peaksAdded, this, &WaveformWindow::peaksAdded);
    connect(&source_, &WaveformSource::finished, this, &WaveformWindow::finished);
    connect(view_, &WaveformView::viewChanged, this, &WaveformWindow::syncScrollBar);
    connect(scroll_, &QScrollBar::valueChanged, view_, [this](int ms) { view_->setViewStart(ms); });
    resize(600, 200);
}

WaveformWindow::~WaveformWindow() { source_.close(); }

void WaveformWindow::buildLayout()
{
    tracks_ = new QComboBox(this);
    tracks_->setObjectName(QStringLiteral("WaveformTrack"));
    tracks_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    tracks_->hide();
    connect(tracks_, &QComboBox::activated, this, &WaveformWindow::trackPicked);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("WaveformProgress"));
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(12);
    progress_->hide();
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("WaveformMessage"));
    message_->setTextFormat(Qt::PlainText);
    message_->hide();
    scroll_ = new QScrollBar(Qt::Horizontal, this);
    scroll_->setObjectName(QStringLiteral("WaveformScroll"));

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(4, 2, 4, 2);
    bar->addWidget(tracks_);
    bar->addWidget(message_, 1);
    bar->addWidget(progress_, 1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(bar);
    column->addWidget(view_, 1);
    column->addWidget(scroll_);
}

void WaveformWindow::openMovie(const QString& fileName, double framesPerSecond, int64_t lengthMs)
{
    view_->setMovie(framesPerSecond, lengthMs);
    tracks_->hide();
    tracks_->clear();
    message_->hide();
    progress_->setValue(0);
    progress_->show();
    source_.open(fileName);
    syncScrollBar();
}

void WaveformWindow::addBar(QWidget* bar) { static_cast<QVBoxLayout*>(layout())->insertWidget(1, bar); }

void WaveformWindow::closeMovie()
{
    source_.close();
    view_->clearMovie();
    tracks_->hide();
    progress_->hide();
    message_->hide();
    syncScrollBar();
}

void WaveformWindow::tracksFound()
{
    const QSignalBlocker quiet(tracks_);
    tracks_->clear();
    for (const AudioTrack& track : source_.tracks()) {
        tracks_->addItem(QString::fromStdString(track.description), track.stream);
        if (track.stream == source_.stream()) tracks_->setCurrentIndex(tracks_->count() - 1);
    }
    tracks_->setVisible(source_.tracks().size() > 1);
}

void WaveformWindow::peaksAdded()
{
    progress_->setValue(static_cast<int>(std::lround(source_.progress() * 1000)));
    view_->contentChanged();
}

void WaveformWindow::finished()
{
    progress_->hide();
    message_->setText(source_.message());
    message_->setVisible(!source_.message().isEmpty());
    view_->contentChanged();
}

void WaveformWindow::trackPicked(int index)
{
    const int stream = tracks_->itemData(index).toInt();
    if (stream == source_.stream() && !source_.busy()) return;
    const QString fileName = source_.fileName();
    message_->hide();
    progress_->setValue(0);
    progress_->show();
    source_.open(fileName, stream);
    view_->contentChanged();
}

void WaveformWindow::syncScrollBar()
{
    const QSignalBlocker quiet(scroll_);
    const int visible = static_cast<int>(std::lround(view_->visibleMs()));
    scroll_->setRange(0, static_cast<int>(std::max<int64_t>(view_->lengthMs() - visible, 0)));
    scroll_->setPageStep(std::max(visible, 1));
    scroll_->setSingleStep(std::max(visible / 10, 1));
    scroll_->setValue(static_cast<int>(std::lround(view_->viewStart())));
}

} // namespace tessel
