#include "preview/video_player.h"

#include "core/errors.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

namespace tessel {

MpvOptions ChooseMpvOptions(const QString& platformName, quint64 windowId)
{
    // mpv can draw into a native window only where there is one.
    const bool embeddable = platformName == QLatin1String("xcb") || platformName == QLatin1String("windows");
    MpvOptions options;
    options.videoOutput = embeddable ? QStringLiteral("gpu,x11") : QStringLiteral("null");
    const QString forcedVideo = qEnvironmentVariable("TESSEL_MPV_VO");
    if (!forcedVideo.isEmpty()) options.videoOutput = forcedVideo;
    options.audioOutput = qEnvironmentVariable("TESSEL_MPV_AO");
    if (embeddable && options.videoOutput != QLatin1String("null")) options.windowId = windowId;
    return options;
}

double ExactFrameRate(double reported)
{
    constexpr double Tolerance = 2e-7; // above a float's rounding, below 29.97 against 30000/1001
    const double whole = std::round(reported);
    if (whole > 0 && std::abs(whole - reported) <= Tolerance * reported) return whole;
    const double ntsc = std::round(reported * 1.001);
    if (ntsc > 0 && std::abs(ntsc * 1000 / 1001 - reported) <= Tolerance * reported) return ntsc * 1000 / 1001;
    return reported;
}

VideoPlayer::VideoPlayer(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_DontCreateNativeAncestors);
    setContextMenuPolicy(Qt::PreventContextMenu); // the mouse-down event opens the zoom menu
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    timer_.setInterval(TimerInterval);
    connect(&timer_, &QTimer::timeout, this, &VideoPlayer::timer);
}

VideoPlayer::~VideoPlayer() = default;

// Started with the first movie, so that a window that never plays one costs nothing.
MpvCore& VideoPlayer::core()
{
    if (!core_) {
        const QString platform = QGuiApplication::platformName();
        const bool needsWindow = platform == QLatin1String("xcb") || platform == QLatin1String("windows");
        MpvListener& listener = *this;
        core_ = std::make_unique<MpvCore>(ChooseMpvOptions(platform, needsWindow ? winId() : 0), listener);
        core_->setDouble("speed", rate_);
    }
    return *core_;
}

void VideoPlayer::setFileName(const QString& fileName)
{
    close();
    fileName_ = fileName;
    if (!QFileInfo(fileName).isFile()) {
        fail(QStringLiteral("there is no such file"));
        return;
    }
    try {
        core().setFlag("pause", true);
        entry_ = core().loadFile(fileName);
        state_ = State::Opening;
    } catch (const Error& error) {
        fail(QString::fromUtf8(error.what()));
    }
}

void VideoPlayer::resetMovie()
{
    timer_.stop();
    state_ = State::Closed;
    entry_ = -1;
    loaded_ = false;
    durationSeconds_ = 0;
    framesPerSecond_ = 0;
    phase_ = 0;
    width_ = height_ = 0;
    positionSeconds_ = 0;
    seekPending_ = seekInFlight_ = false;
    nextSeek_.reset();
    paused_ = true;
    endReached_ = false;
    selectionStart_ = selectionEnd_ = -1;
}

void VideoPlayer::close()
{
    if (core_ && state_ != State::Closed) core_->tryCommand({ QStringLiteral("stop") }); // gone either way
    resetMovie();
}

void VideoPlayer::fail(const QString& reason)
{
    close();
    emit openFailed(reason);
}

void VideoPlayer::mpvFileLoaded(long long entry)
{
    if (state_ == State::Opening && entry == entry_) loaded_ = true;
}

void VideoPlayer::mpvFileFailed(long long entry, const QString& reason)
{
    if (state_ != State::Closed && entry == entry_) fail(reason);
}

void VideoPlayer::mpvPlaybackRestarted(long long entry)
{
    if (entry != entry_) return;
    if (state_ == State::Opening && loaded_) {
        readOpenedMovie();
        return;
    }
    if (nextSeek_) {
        const double target = *nextSeek_;
        nextSeek_.reset();
        sendSeek(target);
        return;
    }
    seekInFlight_ = false;
    seekPending_ = false;
    // Paused, the picture is the frame sought. Playing, notifications queued
    // before the seek carry the old position: ask once.
    if (core_ && !paused_) positionSeconds_ = core_->readDouble("time-pos").value_or(positionSeconds_);
}

// The first picture is there: what the movie is can be read now.
void VideoPlayer::readOpenedMovie()
{
    width_ = static_cast<int>(core_->readDouble("width").value_or(0));
    height_ = static_cast<int>(core_->readDouble("height").value_or(0));
    framesPerSecond_ = ExactFrameRate(core_->readDouble("container-fps").value_or(0));
    durationSeconds_ = std::max(core_->readDouble("duration").value_or(0), 0.0); // none: a length of zero
    positionSeconds_ = core_->readDouble("time-pos").value_or(0);
    // The first picture is on screen: its time tells where every picture stands.
    if (framesPerSecond_ > 0 && positionSeconds_ > 0) {
        const double first = positionSeconds_ * framesPerSecond_;
        phase_ = first - std::floor(first);
    }
    if (const std::optional<QString> reason = unplayable()) {
        fail(*reason);
        return;
    }
    state_ = State::Open;
    timer_.start();
    emit openComplete();
}

std::optional<QString> VideoPlayer::unplayable()
{
    const std::optional<QString> track = core_->readString("vid");
    if (!track || *track == QLatin1String("no")) return QStringLiteral("it holds no video that can be shown");
    if (width_ <= 0 || height_ <= 0) return QStringLiteral("no picture could be decoded from it");
    if (framesPerSecond_ <= 0) return QStringLiteral("its frame rate is unknown");
    return std::nullopt;
}

void VideoPlayer::mpvPropertyChanged(MpvProperty property, std::optional<double> value)
{
    switch (property) {
    case MpvProperty::TimePosition:
        positionChanged(value);
        break;
    case MpvProperty::Paused:
        pausedChanged(value.value_or(1) != 0);
        break;
    case MpvProperty::EndReached:
        endReached_ = value.value_or(0) != 0;
        break;
    case MpvProperty::Speed:
        appliedRate_ = value.value_or(appliedRate_);
        break;
    }
}

void VideoPlayer::pausedChanged(bool paused)
{
    paused_ = paused;
    if (isOpen()) emit playingChanged(!paused);
}

// Runs on mpv's events, outside any command of the user's: a refusal of the
// stop at the range's end is told through controlFailed. Only while playing:
// paused, mpv's position strays from the picture (at the end it is the
// sound's, and notifications from before a seek come late).
void VideoPlayer::positionChanged(std::optional<double> seconds)
{
    if (!isOpen() || seekPending_ || paused_ || !seconds) return;
    positionSeconds_ = *seconds;
    if (!isPlaying()) return;
    try {
        stopAtRangeEnd();
    } catch (const std::exception& error) {
        emit controlFailed(QString::fromUtf8(error.what()));
    }
}

void VideoPlayer::stopAtRangeEnd()
{
    const std::optional<double> end = rangeEndSeconds();
    const double halfFrame = 0.5 / framesPerSecond_;
    if (!end || positionSeconds_ < *end - halfFrame) return;
    pause();
    if (positionSeconds_ > *end + halfFrame) seekSeconds(*end);
}

double VideoPlayer::duration() const { return fromSeconds(durationSeconds_); }

// In frames, the frame on screen, so that the counter shows what F8 takes.
double VideoPlayer::currentPosition() const { return mode_ == FrameMode ? frameOnScreen() : positionSeconds_; }

void VideoPlayer::setCurrentPosition(double position)
{
    if (!isOpen()) return;
    if (mode_ == FrameMode)
        seekFrame(position);
    else
        seekSeconds(position);
}

// mpv's position runs past the last picture at the end.
int VideoPlayer::frameOnScreen() const { return isOpen() ? std::clamp(frameAt(positionSeconds_), 0, lastFrame()) : 0; }

int VideoPlayer::lastFrame() const { return std::max(frameCount() - 1, 0); }

int VideoPlayer::frameCount() const { return isOpen() ? frameAt(durationSeconds_) : 0; }

// Nearest, not the frame whose start the time passed: a picture starts a
// fraction of a frame late (the phase), or a hair early where the container
// rounded its time to the millisecond.
int VideoPlayer::frameAt(double seconds) const
{
    return static_cast<int>(std::lround(seconds * framesPerSecond_ - phase_));
}

double VideoPlayer::frameTime(double frame) const { return (frame + phase_) / framesPerSecond_; }

void VideoPlayer::seekFrames(int frames)
{
    if (!isOpen()) return;
    seekFrame(double(long(frameOnScreen()) + frames));
}

void VideoPlayer::stepFrames(int frames)
{
    pause();
    seekFrames(frames);
}

std::optional<QImage> VideoPlayer::currentPicture() const
{
    if (!isOpen()) return std::nullopt;
    return core_->screenshot();
}

// The frame whose picture covers the time; a time computed from a frame
// number may come out a hair short of that picture's.
void VideoPlayer::seekSeconds(double seconds) { seekFrame(std::floor(seconds * framesPerSecond_ - phase_ + 1e-6)); }

// An exact seek shows the first picture whose time is at or after its target
// (mpv allows a few milliseconds' slack). Aiming a quarter of a frame before
// frame n's picture lands on it even where the container rounded the
// pictures' times, as Matroska's milliseconds do at 24000/1001 fps, and
// clear of the picture before it.
void VideoPlayer::seekFrame(double frame)
{
    frame = std::clamp(frame, 0.0, double(lastFrame()));
    seekTo(frameTime(frame), frameTime(frame - 0.25));
}

void VideoPlayer::seekTo(double seconds, double target)
{
    const double end = std::max(durationSeconds_, 0.0);
    seconds = std::clamp(seconds, 0.0, end);
    target = std::clamp(target, 0.0, end);
    seekPending_ = true;
    positionSeconds_ = seconds;
    if (seekInFlight_)
        nextSeek_ = target;
    else
        sendSeek(target);
}

void VideoPlayer::sendSeek(double target)
{
    seekInFlight_ = core_->tryCommand(
        { QStringLiteral("seek"), QString::number(target, 'f', 9), QStringLiteral("absolute+exact") });
    if (!seekInFlight_) seekPending_ = false; // refused: no picture will come for it
}

void VideoPlayer::setSelectionStart(double position) { selectionStart_ = position < 0 ? -1 : toSeconds(position); }

void VideoPlayer::setSelectionEnd(double position) { selectionEnd_ = position < 0 ? -1 : toSeconds(position); }

double VideoPlayer::rangeStartSeconds() const { return std::max(selectionStart_, 0.0); }

std::optional<double> VideoPlayer::rangeEndSeconds() const
{
    if (selectionEnd_ < 0) return std::nullopt;
    return selectionEnd_;
}

void VideoPlayer::setRate(double rate)
{
    if (!(rate > 0)) return;
    if (core_) core_->setDouble("speed", rate); // a rate mpv refuses is not kept
    rate_ = rate;
}

void VideoPlayer::run()
{
    if (!isOpen()) return;
    const std::optional<double> end = rangeEndSeconds();
    const double halfFrame = 0.5 / framesPerSecond_;
    const bool outsideRange
        = end && (positionSeconds_ < rangeStartSeconds() - halfFrame || positionSeconds_ >= *end - halfFrame);
    if (outsideRange || (!end && endReached_)) seekSeconds(rangeStartSeconds());
    core_->setFlag("pause", false);
    paused_ = false;
}

// Playing, mpv's position runs a little ahead of or behind the picture; the
// frame it had reached is sought, so that the picture, the counter and the
// timing keys agree on it from here on.
void VideoPlayer::pause()
{
    if (!isOpen()) return;
    const bool wasPlaying = !paused_;
    core_->setFlag("pause", true);
    paused_ = true;
    if (wasPlaying && !seekPending_) seekFrame(frameAt(core_->readDouble("time-pos").value_or(positionSeconds_)));
}

void VideoPlayer::stop()
{
    if (!isOpen()) return;
    pause();
    seekSeconds(rangeStartSeconds());
}

double VideoPlayer::toSeconds(double position) const
{
    if (mode_ == TimeMode) return position;
    return framesPerSecond_ > 0 ? frameTime(position) : 0;
}

double VideoPlayer::fromSeconds(double seconds) const
{
    return mode_ == TimeMode ? seconds : seconds * framesPerSecond_ - phase_;
}

void VideoPlayer::mousePressEvent(QMouseEvent* event)
{
    emit mouseDown(event->button(), event->position().toPoint());
    event->accept();
}

} // namespace tessel
