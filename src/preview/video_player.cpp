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
    // Notifications queued before the seek carry the old position: ask once.
    seekInFlight_ = false;
    seekPending_ = false;
    if (core_) positionSeconds_ = core_->readDouble("time-pos").value_or(positionSeconds_);
}

// The first picture is there: what the movie is can be read now.
void VideoPlayer::readOpenedMovie()
{
    width_ = static_cast<int>(core_->readDouble("width").value_or(0));
    height_ = static_cast<int>(core_->readDouble("height").value_or(0));
    framesPerSecond_ = ExactFrameRate(core_->readDouble("container-fps").value_or(0));
    durationSeconds_ = std::max(core_->readDouble("duration").value_or(0), 0.0); // none: a length of zero
    positionSeconds_ = core_->readDouble("time-pos").value_or(0);
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
// stop at the range's end is told through controlFailed.
void VideoPlayer::positionChanged(std::optional<double> seconds)
{
    if (!isOpen() || seekPending_ || !seconds) return;
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

double VideoPlayer::currentPosition() const { return fromSeconds(positionSeconds_); }

void VideoPlayer::setCurrentPosition(double position)
{
    if (!isOpen()) return;
    if (mode_ == FrameMode)
        seekFrame(position);
    else
        seekSeconds(position);
}

int VideoPlayer::frameOnScreen() const
{
    return isOpen() ? static_cast<int>(std::lround(positionSeconds_ * framesPerSecond_)) : 0;
}

int VideoPlayer::frameCount() const
{
    return isOpen() ? static_cast<int>(std::lround(durationSeconds_ * framesPerSecond_)) : 0;
}

void VideoPlayer::seekFrames(int frames)
{
    if (!isOpen()) return;
    const long target = std::clamp(long(frameOnScreen()) + frames, 0L, long(std::max(frameCount() - 1, 0)));
    seekFrame(double(target));
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

// The frame that covers the time; a time computed from a frame number may
// come out a hair short of that frame's start.
void VideoPlayer::seekSeconds(double seconds) { seekFrame(std::floor(seconds * framesPerSecond_ + 1e-6)); }

// An exact seek shows the first frame whose time is at or after its target
// (mpv allows a few milliseconds' slack). Aiming a quarter of a frame early
// lands on frame n even where the container rounded the frames' times, as
// Matroska's milliseconds do at 24000/1001 fps; aiming at the middle of the
// frame would show the next one.
void VideoPlayer::seekFrame(double frame) { seekTo(frame / framesPerSecond_, (frame - 0.25) / framesPerSecond_); }

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

void VideoPlayer::pause()
{
    if (!isOpen()) return;
    core_->setFlag("pause", true);
    paused_ = true;
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
    return framesPerSecond_ > 0 ? position / framesPerSecond_ : 0;
}

double VideoPlayer::fromSeconds(double seconds) const
{
    return mode_ == TimeMode ? seconds : seconds * framesPerSecond_;
}

void VideoPlayer::mousePressEvent(QMouseEvent* event)
{
    emit mouseDown(event->button(), event->position().toPoint());
    event->accept();
}

} // namespace tessel
