#include "preview/playback_controller.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/user_prompts.h"
#include "preview/movie_window.h"
#include "preview/video_dialog.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCursor>
#include <QEvent>
#include <QLocale>
#include <QScreen>
#include <QToolTip>

namespace tessel {

PlaybackController::PlaybackController(QWidget* mainWindow, const PlaybackControls& controls, SubtitleGridView& grid,
    const SubtitleTable& table, TFormMovie& movieWindow, OpenFileDialog& openVideoDialog, MessageSink& messages,
    ReportedRun report)
    : mainWindow_(mainWindow)
    , controls_(controls)
    , grid_(grid)
    , table_(table)
    , movie_(movieWindow)
    , openVideoDialog_(openVideoDialog)
    , messages_(messages)
    , report_(std::move(report))
    , sync_(table, grid, movieWindow, *this)
{
    RequireAllControls(controls_);
    applyInitialState();
    connectControls();
    movie_.attach(controls_, messages, [this](int position, int length) { ProcessTimer(position, length); });
    connect(&movie_.videoPlayer(), &VideoPlayer::controlFailed, this,
        [this](const QString& reason) { reported([&] { throw Error(reason.toStdString()); }); });
    if (mainWindow_) mainWindow_->installEventFilter(this);
}

void PlaybackController::reported(const std::function<void()>& command)
{
    if (report_) {
        report_(command);
        return;
    }
    try {
        command();
    } catch (const std::exception& error) {
        messages_.showError(QString::fromUtf8(error.what()));
    }
}

void PlaybackController::ignoringErrors(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception&) {
        // These commands leave the rest of their work undone, without a word.
    }
}

void PlaybackController::applyInitialState()
{
    ResetMovieControls(controls_);
    controls_.BtnPlay->setToolTip(QStringLiteral("Play"));
    controls_.BtnStop->setToolTip(QStringLiteral("Stop"));
    controls_.BtnPlayCurrent->setToolTip(QStringLiteral("Play current subtitle"));
    controls_.BtnPlayCurrent->hide();
    controls_.TrckBarSpeed->setRange(5, 15);
    controls_.TrckBarSpeed->setPageStep(1);
    controls_.TrckBarSpeed->setValue(10);
    controls_.TrckBarSpeed->setToolTip(QStringLiteral("Playback speed (1.0x)"));
    for (QAbstractButton* box :
        { controls_.SeekMovieCheckBox, controls_.AutoSelectCheckBox, controls_.AutoScrollCheckBox })
        box->setChecked(true);
}

void PlaybackController::connectControls()
{
    const auto reporting = [this](void (PlaybackController::*handler)()) {
        return [this, handler] { reported([&] { (this->*handler)(); }); };
    };
    connect(controls_.ButtonOpenMovie, &QAbstractButton::clicked, this,
        reporting(&PlaybackController::ButtonOpenMovieClick));
    connect(controls_.BtnPlay, &QAbstractButton::clicked, this, reporting(&PlaybackController::BtnPlayClick));
    connect(controls_.BtnStop, &QAbstractButton::clicked, this, reporting(&PlaybackController::BtnStopClick));
    connect(controls_.BtnPlayCurrent, &QAbstractButton::clicked, this, &PlaybackController::BtnPlayCurrentClick);
    connect(controls_.TrckBarSpeed, &QAbstractSlider::valueChanged, this,
        reporting(&PlaybackController::TrckBarSpeedChange));
    connect(controls_.MovieTracker, &QAbstractSlider::valueChanged, this, &PlaybackController::MovieTrackerChange);
}

bool PlaybackController::autoSelect() const { return controls_.AutoSelectCheckBox->isChecked(); }

bool PlaybackController::autoScroll() const { return controls_.AutoScrollCheckBox->isChecked(); }

void PlaybackController::ButtonOpenMovieClick()
{
    const std::optional<QString> chosen = openVideoDialog_.Execute(OpenVideoDialogTitle, NameFilters(VideoFilterList));
    if (chosen) OpenMovie(*chosen);
}

void PlaybackController::OpenMovie(const QString& fileName)
{
    VideoPlayer& player = movie_.videoPlayer();
    ignoringErrors([&] {
        player.stop();
        movie_.HidePicture();
    });
    player.setDisplayMode(VideoPlayer::FrameMode);
    player.setFileName(fileName);
}

void PlaybackController::BtnPlayClick()
{
    VideoPlayer& player = movie_.videoPlayer();
    player.setSelectionStart(-1);
    player.setSelectionEnd(-1);
    player.run();
}

void PlaybackController::BtnStopClick()
{
    movie_.videoPlayer().pause(); // holds the picture: the next play goes on from here
}

void PlaybackController::BtnPlayCurrentClick()
{
    ignoringErrors([this] { playCurrent(); });
}

// A cell that is no number stops it where it is found.
void PlaybackController::playCurrent()
{
    const int row = grid_.currentRow();
    if (!validRow(row)) return;
    const std::optional<int32_t> start = TryStrToInt(table_.cell(SubtitleTable::From, row));
    const std::optional<int32_t> end = TryStrToInt(table_.cell(SubtitleTable::To, row));
    if (!start || !end) return;
    VideoPlayer& player = movie_.videoPlayer();
    player.stop();
    player.setCurrentPosition(*start);
    player.setSelectionStart(*start);
    player.setSelectionEnd(*end);
    player.run();
    controls_.MovieTracker->setValue(*start);
    ShowSubtitleText(row);
}

void PlaybackController::TrckBarSpeedChange()
{
    const int position = controls_.TrckBarSpeed->value();
    if (position <= 0) return;
    movie_.videoPlayer().setRate(position / 10.0);
    const QString hint = QString::asprintf("speed (%1.1fx)", position / 10.0)
                             .replace(QLatin1Char('.'), QLocale::system().decimalPoint());
    controls_.TrckBarSpeed->setToolTip(hint);
    if (QToolTip::isVisible() && controls_.TrckBarSpeed->underMouse())
        QToolTip::showText(QCursor::pos(), hint, controls_.TrckBarSpeed);
}

void PlaybackController::MovieTrackerChange()
{
    ignoringErrors([this] { seekWithTracker(); });
}

void PlaybackController::seekWithTracker()
{
    if (controls_.MovieTracker->maximum() <= 0) return;
    if (controls_.SeekMovieCheckBox->isChecked())
        movie_.videoPlayer().setCurrentPosition(controls_.MovieTracker->value());
}

void PlaybackController::SubtitleGridSelectCell(int, int row)
{
    ignoringErrors([this, row] { selectCell(row); });
}

// A From cell that is no number leaves text and movie as they were.
void PlaybackController::selectCell(int row)
{
    if (!validRow(row)) return;
    const std::optional<int32_t> start = TryReadFrameCell(table_.cell(SubtitleTable::From, row));
    if (!start) return;
    ShowSubtitleText(row);
    if (!controls_.SeekMovieCheckBox->isChecked()) return;
    VideoPlayer& player = movie_.videoPlayer();
    player.setSelectionStart(-1);
    player.setSelectionEnd(-1);
    player.setCurrentPosition(*start);
    controls_.MovieTracker->setValue(*start);
}

bool PlaybackController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mainWindow_ && event->type() == QEvent::Move) mainWindowMoved();
    if (watched == mainWindow_ && event->type() == QEvent::Show) movie_.show();
    return QObject::eventFilter(watched, event);
}

void PlaybackController::mainWindowMoved()
{
    const QScreen* screen = mainWindow_->screen();
    if (!screen) return;
    const std::optional<QPoint> target = follower_.MainWindowMoved(
        mainWindow_->isVisible(), mainWindow_->pos(), movie_.frameGeometry(), screen->availableGeometry());
    if (target) movie_.move(*target);
}

} // namespace tessel
