#pragma once
#include "preview/mpv_core.h"

#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

// The movie player control: a native child window that mpv draws into, with
// positions in seconds or in frames, a play range, a speed factor and a
// periodic timer event.
namespace tessel {

class VideoPlayer : public QWidget, private MpvListener {
    Q_OBJECT
public:
    enum DisplayMode { TimeMode = 0, FrameMode = 1 };
    // Fired every TimerInterval milliseconds while a movie is open.
    static constexpr int TimerInterval = 50;

    explicit VideoPlayer(QWidget* parent = nullptr);
    ~VideoPlayer() override;

    // Opens the movie; openComplete() or openFailed() follows. The commands
    // below throw Error when mpv refuses them.
    void setFileName(const QString& fileName);
    QString fileName() const { return fileName_; }
    bool isOpen() const { return state_ == State::Open; }
    bool isPlaying() const { return isOpen() && !paused_; }
    // A seek has been asked for and the picture is not there yet.
    bool isSeeking() const { return seekPending_; }

    // The unit of every duration and position below.
    void setDisplayMode(DisplayMode mode) { mode_ = mode; }
    DisplayMode displayMode() const { return mode_; }
    double duration() const;
    double currentPosition() const;
    // Seeks exactly, playing or not. No movie: nothing happens. In frames,
    // frame n is shown; in seconds, the frame that covers that time.
    void setCurrentPosition(double position);
    // The frame the window shows (or will show once a seek asked for is
    // done), counted as the table counts frames: from the film's start at
    // the movie's frame rate, the n-th picture being frame n. 0 without a movie.
    int frameOnScreen() const;
    int frameCount() const; // from the length; the last frame is one less
    // Where the pictures stand within their frames, as a fraction of a frame
    // (0 to 1): a container may start the picture a little after the sound
    // (Matroska by the sound's priming, 21 ms for AAC), and every picture is
    // that much later than its frame's start. Frame positions count from it.
    double picturePhase() const { return phase_; }
    // Moves the picture this many frames from the frame on screen, within the
    // movie; playing or not. stepFrames() pauses first.
    void seekFrames(int frames);
    void stepFrames(int frames);
    // The picture as decoded, for checking what is on screen; none without a movie.
    std::optional<QImage> currentPicture() const;
    // The play range of run(); -1 and -1: the whole movie.
    void setSelectionStart(double position);
    void setSelectionEnd(double position);
    // Speed factor; kept for the next movie too.
    void setRate(double rate);
    double rate() const { return rate_; }
    double appliedRate() const { return appliedRate_; } // as mpv reports it

    void run(); // plays from the current position within the play range
    void pause(); // holds the picture; no movie: nothing happens
    void stop(); // pauses at the start of the play range
    void close(); // unloads the movie

    // The player's libmpv, whose commands may be sent from any thread while
    // this object lives (the styled subtitles do); nullptr before the first movie.
    MpvCore* mpv() const { return core_.get(); }

    int imageSourceWidth() const { return width_; }
    int imageSourceHeight() const { return height_; }
    double framesPerSecond() const { return framesPerSecond_; }

signals:
    void timer();
    void openComplete();
    // mpv started or stopped playing (pausing, the end of the play range or
    // of the movie).
    void playingChanged(bool playing);
    // The movie could not be opened, or stopped being readable; it is closed.
    void openFailed(const QString& reason);
    void mouseDown(Qt::MouseButton button, const QPoint& position);
    // A command of the player's own (stopping at the end of the play range)
    // was refused.
    void controlFailed(const QString& reason);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    enum class State { Closed, Opening, Open };

    void mpvFileLoaded(long long entry) override;
    void mpvFileFailed(long long entry, const QString& reason) override;
    void mpvPlaybackRestarted(long long entry) override;
    void mpvPropertyChanged(MpvProperty property, std::optional<double> value) override;

    MpvCore& core();
    void resetMovie();
    void readOpenedMovie();
    std::optional<QString> unplayable();
    void fail(const QString& reason);
    void positionChanged(std::optional<double> seconds);
    void pausedChanged(bool paused);
    void stopAtRangeEnd();
    void seekSeconds(double seconds);
    void seekFrame(double frame);
    void seekTo(double seconds, double target);
    void sendSeek(double target);
    double toSeconds(double position) const;
    double fromSeconds(double seconds) const;
    // The frame whose picture stands at (or nearest to) this time, and back.
    int frameAt(double seconds) const;
    int lastFrame() const;
    double frameTime(double frame) const;
    std::optional<double> rangeEndSeconds() const;
    double rangeStartSeconds() const;

    std::unique_ptr<MpvCore> core_;
    QTimer timer_;
    QString fileName_;
    State state_ = State::Closed;
    long long entry_ = -1; // mpv's playlist entry of this movie
    bool loaded_ = false;
    DisplayMode mode_ = TimeMode;
    double durationSeconds_ = 0;
    double framesPerSecond_ = 0;
    double phase_ = 0; // picturePhase()
    int width_ = 0;
    int height_ = 0;
    double positionSeconds_ = 0;
    bool seekPending_ = false;
    // One seek at a time, so that each restart of playback answers the seek
    // sent last; a seek asked for meanwhile waits (the latest one only).
    bool seekInFlight_ = false;
    std::optional<double> nextSeek_; // mpv's target
    bool paused_ = true;
    bool endReached_ = false;
    double rate_ = 1.0;
    double appliedRate_ = 1.0;
    double selectionStart_ = -1; // seconds; negative: none
    double selectionEnd_ = -1;
};

// Which of mpv's video outputs to ask for on this platform; the environment
// variables TESSEL_MPV_VO and TESSEL_MPV_AO override the choice.
MpvOptions ChooseMpvOptions(const QString& platformName, quint64 windowId);

// container-fps arrives as a float: give 23.976... and its kin their exact
// value back, so that frame positions stay exact over long movies.
double ExactFrameRate(double reported);

} // namespace tessel
