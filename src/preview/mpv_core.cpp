#include "preview/mpv_core.h"

#include "core/errors.h"

#include <QByteArray>
#include <QMetaObject>
#include <array>
#include <clocale>
#include <cstring>
#include <mpv/client.h>
#include <new>
#include <vector>

namespace tessel {
namespace {

struct Observed {
    MpvProperty property;
    const char* name;
    mpv_format format;
};

// One line per observed property; the reply id is the index.
constexpr std::array<Observed, 4> ObservedProperties = { {
    { MpvProperty::TimePosition, "time-pos", MPV_FORMAT_DOUBLE },
    { MpvProperty::Paused, "pause", MPV_FORMAT_FLAG },
    { MpvProperty::EndReached, "eof-reached", MPV_FORMAT_FLAG },
    { MpvProperty::Speed, "speed", MPV_FORMAT_DOUBLE },
} };

// Fixed for every movie: only the picture, nothing of mpv's own interface,
// and no subtitles but the ones being edited.
constexpr std::array<std::array<const char*, 2>, 16> FixedOptions = { {
    { "idle", "yes" },
    { "keep-open", "yes" },
    { "pause", "yes" },
    { "hr-seek", "yes" },
    { "osc", "no" },
    { "osd-level", "0" },
    { "input-default-bindings", "no" },
    { "input-vo-keyboard", "no" },
    { "input-cursor", "no" },
    { "cursor-autohide", "no" },
    { "load-scripts", "no" },
    { "ytdl", "no" },
    { "sub-auto", "no" },
    { "sid", "no" },
    { "audio-display", "no" },
    { "terminal", "no" },
} };

std::optional<double> propertyValue(const mpv_event_property& property)
{
    switch (property.format) {
    case MPV_FORMAT_DOUBLE:
        return *static_cast<double*>(property.data);
    case MPV_FORMAT_FLAG:
        return *static_cast<int*>(property.data) ? 1.0 : 0.0;
    default:
        return std::nullopt;
    }
}

int setOption(mpv_handle* handle, const char* name, const QString& value)
{
    return mpv_set_option_string(handle, name, value.toUtf8().constData());
}

void requireOption(mpv_handle* handle, const char* name, const QString& value)
{
    const int status = setOption(handle, name, value);
    if (status < 0)
        throw Error(QStringLiteral("The video player refused the option %1=%2: %3")
                        .arg(QLatin1String(name), value, QString::fromUtf8(mpv_error_string(status)))
                        .toStdString());
}

} // namespace

MpvCore::MpvCore(const MpvOptions& options, MpvListener& listener)
    : listener_(listener)
{
    // libmpv refuses to start under any other numeric locale.
    std::setlocale(LC_NUMERIC, "C");
    handle_ = mpv_create();
    if (!handle_) throw Error("The video player (libmpv) could not be started.");
    try {
        initialise(options);
    } catch (...) {
        mpv_terminate_destroy(handle_);
        throw;
    }
    observeProperties();
    mpv_set_wakeup_callback(handle_, &MpvCore::wakeUp, this);
}

MpvCore::~MpvCore()
{
    mpv_set_wakeup_callback(handle_, nullptr, nullptr);
    mpv_terminate_destroy(handle_);
}

void MpvCore::initialise(const MpvOptions& options)
{
    // Preferences only: a build of libmpv without one of them still plays.
    for (const auto& [name, value] : FixedOptions)
        setOption(handle_, name, QLatin1String(value));
    requireOption(handle_, "vo", options.videoOutput);
    if (!options.audioOutput.isEmpty()) requireOption(handle_, "ao", options.audioOutput);
    if (options.windowId != 0) requireOption(handle_, "wid", QString::number(options.windowId));
    const int status = mpv_initialize(handle_);
    if (status < 0)
        throw Error(QStringLiteral("The video player could not be initialised: %1")
                        .arg(QString::fromUtf8(mpv_error_string(status)))
                        .toStdString());
}

void MpvCore::observeProperties()
{
    for (size_t i = 0; i < ObservedProperties.size(); ++i)
        mpv_observe_property(handle_, i, ObservedProperties[i].name, ObservedProperties[i].format);
}

// Called on one of mpv's threads: only queue a drain on ours, once.
void MpvCore::wakeUp(void* core)
{
    auto* self = static_cast<MpvCore*>(core);
    if (self->drainQueued_.exchange(true)) return;
    QMetaObject::invokeMethod(
        &self->eventContext_, [self] { self->drainEvents(); }, Qt::QueuedConnection);
}

void MpvCore::drainEvents()
{
    drainQueued_ = false;
    for (;;) {
        const mpv_event* event = mpv_wait_event(handle_, 0);
        if (event->event_id == MPV_EVENT_NONE) return;
        dispatch(*event);
    }
}

void MpvCore::dispatch(const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        currentEntry_ = static_cast<mpv_event_start_file*>(event.data)->playlist_entry_id;
        break;
    case MPV_EVENT_FILE_LOADED:
        listener_.mpvFileLoaded(currentEntry_);
        break;
    case MPV_EVENT_END_FILE:
        fileEnded(event);
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        listener_.mpvPlaybackRestarted(currentEntry_);
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        propertyChanged(event);
        break;
    default:
        break;
    }
}

void MpvCore::propertyChanged(const mpv_event& event)
{
    if (event.reply_userdata >= ObservedProperties.size()) return;
    const auto& property = *static_cast<mpv_event_property*>(event.data);
    listener_.mpvPropertyChanged(ObservedProperties[event.reply_userdata].property, propertyValue(property));
}

// A replaced or stopped file also ends; only failures count.
void MpvCore::fileEnded(const mpv_event& event)
{
    const auto& ended = *static_cast<mpv_event_end_file*>(event.data);
    if (ended.reason != MPV_END_FILE_REASON_ERROR) return;
    listener_.mpvFileFailed(ended.playlist_entry_id, QString::fromUtf8(mpv_error_string(ended.error)));
}

// The entry tells this file's events from those of the file it replaces.
long long MpvCore::loadFile(const QString& fileName)
{
    const QByteArray name = fileName.toUtf8();
    const char* arguments[] = { "loadfile", name.constData(), nullptr };
    mpv_node result {};
    const int status = mpv_command_ret(handle_, arguments, &result);
    if (status < 0)
        throw Error(QStringLiteral("mpv refused to load the file: %1")
                        .arg(QString::fromUtf8(mpv_error_string(status)))
                        .toStdString());
    long long entry = -1;
    if (result.format == MPV_FORMAT_NODE_MAP)
        for (int i = 0; i < result.u.list->num; ++i)
            if (std::strcmp(result.u.list->keys[i], "playlist_entry_id") == 0) entry = result.u.list->values[i].u.int64;
    mpv_free_node_contents(&result);
    return entry;
}

int MpvCore::run(const QStringList& arguments) noexcept
{
    try {
        std::vector<QByteArray> utf8;
        for (const QString& argument : arguments)
            utf8.push_back(argument.toUtf8());
        std::vector<const char*> pointers;
        for (const QByteArray& argument : utf8)
            pointers.push_back(argument.constData());
        pointers.push_back(nullptr);
        return mpv_command(handle_, pointers.data());
    } catch (const std::bad_alloc&) {
        return MPV_ERROR_NOMEM;
    }
}

void MpvCore::command(const QStringList& arguments)
{
    const int status = run(arguments);
    if (status < 0) refused(arguments.join(QLatin1Char(' ')), status);
}

bool MpvCore::tryCommand(const QStringList& arguments) noexcept { return run(arguments) >= 0; }

void MpvCore::setDouble(const char* name, double value)
{
    const int status = mpv_set_property(handle_, name, MPV_FORMAT_DOUBLE, &value);
    if (status < 0) refused(QStringLiteral("%1 = %2").arg(QLatin1String(name)).arg(value), status);
}

void MpvCore::setFlag(const char* name, bool value)
{
    int flag = value ? 1 : 0;
    const int status = mpv_set_property(handle_, name, MPV_FORMAT_FLAG, &flag);
    if (status < 0)
        refused(QStringLiteral("%1 = %2").arg(QLatin1String(name), QLatin1String(value ? "yes" : "no")), status);
}

void MpvCore::refused(const QString& what, int status)
{
    throw Error(QStringLiteral("The video player refused \"%1\": %2.")
                    .arg(what, QString::fromUtf8(mpv_error_string(status)))
                    .toStdString());
}

std::optional<double> MpvCore::readDouble(const char* name) const
{
    double value = 0;
    if (mpv_get_property(handle_, name, MPV_FORMAT_DOUBLE, &value) < 0) return std::nullopt;
    return value;
}

std::optional<QString> MpvCore::readString(const char* name) const
{
    char* value = mpv_get_property_string(handle_, name);
    if (!value) return std::nullopt;
    QString text = QString::fromUtf8(value);
    mpv_free(value);
    return text;
}

std::optional<QImage> MpvCore::screenshot() const
{
    const char* arguments[] = { "screenshot-raw", "video", nullptr };
    mpv_node result {};
    if (mpv_command_ret(handle_, arguments, &result) < 0) return std::nullopt;
    int64_t width = 0, height = 0, stride = 0;
    const mpv_byte_array* data = nullptr;
    QByteArray format;
    if (result.format == MPV_FORMAT_NODE_MAP) {
        for (int i = 0; i < result.u.list->num; ++i) {
            const char* key = result.u.list->keys[i];
            const mpv_node& value = result.u.list->values[i];
            if (std::strcmp(key, "w") == 0) width = value.u.int64;
            if (std::strcmp(key, "h") == 0) height = value.u.int64;
            if (std::strcmp(key, "stride") == 0) stride = value.u.int64;
            if (std::strcmp(key, "format") == 0) format = value.u.string;
            if (std::strcmp(key, "data") == 0 && value.format == MPV_FORMAT_BYTE_ARRAY) data = value.u.ba;
        }
    }
    std::optional<QImage> image;
    // bgr0's bytes (blue, green, red, unused) are Qt's RGB32 on a little-endian machine.
    if (format == "bgr0" && data && width > 0 && height > 0 && stride >= width * 4
        && data->size >= size_t(stride * height))
        image
            = QImage(static_cast<const uchar*>(data->data), int(width), int(height), int(stride), QImage::Format_RGB32)
                  .copy();
    mpv_free_node_contents(&result);
    return image;
}

} // namespace tessel
