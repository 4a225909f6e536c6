#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

struct mpv_handle;
struct mpv_event;

// The one place that talks to libmpv. Its events are drained on the thread
// that owns this object (the user-interface thread) and handed to a listener.
namespace tessel {

enum class MpvProperty {
    Duration,
    FramesPerSecond,
    Width,
    Height,
    TimePosition,
    Paused,
    EndReached,
    VideoTrack,
    Speed
};

class MpvListener {
public:
    virtual ~MpvListener() = default;
    virtual void mpvFileStarted() = 0;
    virtual void mpvFileLoaded() = 0;
    // The file being opened or played could not be read.
    virtual void mpvFileFailed(const QString& reason) = 0;
    virtual void mpvPlaybackRestarted() = 0;
    // Flags arrive as 0 or 1. VideoTrack: the track number, 0 for "no
    // video", nothing while mpv has not chosen. Nothing: unavailable.
    virtual void mpvPropertyChanged(MpvProperty property, std::optional<double> value) = 0;
};

struct MpvOptions {
    QString videoOutput;  // mpv's "vo"
    QString audioOutput;  // mpv's "ao"; empty: mpv's default
    quint64 windowId = 0; // mpv's "wid"; 0: none
};

class MpvCore {
public:
    // Throws Error when libmpv cannot be started.
    MpvCore(const MpvOptions& options, MpvListener& listener);
    ~MpvCore();
    MpvCore(const MpvCore&) = delete;
    MpvCore& operator=(const MpvCore&) = delete;

    // Asynchronous: results arrive as events.
    void command(const QStringList& arguments);
    void setDouble(const char* name, double value);
    void setFlag(const char* name, bool value);
    // Synchronous; for the rare read that cannot wait for an event.
    std::optional<double> readDouble(const char* name) const;

private:
    void initialise(const MpvOptions& options);
    void observeProperties();
    void drainEvents();
    void dispatch(const mpv_event& event);
    void propertyChanged(const mpv_event& event);
    void fileEnded(const mpv_event& event);
    static void wakeUp(void* core);

    mpv_handle* handle_ = nullptr;
    MpvListener& listener_;
    QObject eventContext_; // queued drains die with it
    std::atomic<bool> drainQueued_{false};
    long long currentEntry_ = -1; // playlist entry of the file being opened
};

} // namespace tessel
