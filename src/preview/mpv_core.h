#pragma once
#include <QImage>
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

// Observed: they change while a movie plays. Property changes reach the
// listener only after the events queued with them, so what a movie is (size,
// length, frame rate) is read once it has loaded, not observed.
enum class MpvProperty { TimePosition, Paused, EndReached, Speed };

// File events carry the playlist entry of the file they belong to, as
// loadFile() returned it.
class MpvListener {
public:
    virtual ~MpvListener() = default;
    virtual void mpvFileLoaded(long long entry) = 0;
    // The file could not be read.
    virtual void mpvFileFailed(long long entry, const QString& reason) = 0;
    // The picture is there after loading or a seek.
    virtual void mpvPlaybackRestarted(long long entry) = 0;
    // Flags arrive as 0 or 1; nothing: unavailable.
    virtual void mpvPropertyChanged(MpvProperty property, std::optional<double> value) = 0;
};

struct MpvOptions {
    QString videoOutput; // mpv's "vo"
    QString audioOutput; // mpv's "ao"; empty: mpv's default
    quint64 windowId = 0; // mpv's "wid"; 0: none
};

class MpvCore {
public:
    // Throws Error when libmpv cannot be started.
    MpvCore(const MpvOptions& options, MpvListener& listener);
    ~MpvCore();
    MpvCore(const MpvCore&) = delete;
    MpvCore& operator=(const MpvCore&) = delete;

    // Commands wait until mpv has taken them (not until they are done: a
    // seek's picture or a file's opening arrive as events later), so that
    // they reach mpv in the order given.
    // Replaces whatever was playing; returns the new playlist entry. Throws
    // Error when mpv refuses the command.
    long long loadFile(const QString& fileName);
    // These throw Error, with mpv's reason, when mpv refuses.
    void command(const QStringList& arguments);
    void setDouble(const char* name, double value);
    void setFlag(const char* name, bool value);
    // For cleaning up, where a refusal changes nothing: false when refused.
    bool tryCommand(const QStringList& arguments) noexcept;
    // For what cannot be observed; see MpvProperty.
    std::optional<double> readDouble(const char* name) const;
    std::optional<QString> readString(const char* name) const;
    // The video frame mpv holds, as decoded (no subtitles, no scaling).
    std::optional<QImage> screenshot() const;

private:
    void initialise(const MpvOptions& options);
    void observeProperties();
    void drainEvents();
    void dispatch(const mpv_event& event);
    void propertyChanged(const mpv_event& event);
    void fileEnded(const mpv_event& event);
    static void wakeUp(void* core);
    int run(const QStringList& arguments) noexcept;
    [[noreturn]] static void refused(const QString& what, int status);

    mpv_handle* handle_ = nullptr;
    MpvListener& listener_;
    QObject eventContext_; // queued drains die with it
    std::atomic<bool> drainQueued_ { false };
    long long currentEntry_ = -1; // the file mpv started last
};

} // namespace tessel
