#include "preview/styled_subtitles.h"

#include "core/numbers.h"
#include "core/timecode.h"
#include "formats/file_commands.h"
#include "formats/kept_data.h"
#include "formats/registry.h"
#include "preview/mpv_core.h"
#include "preview/video_player.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <cstdio>

namespace tessel {
namespace {

// Soon enough to show within a fifth of a second, late enough that a burst
// of changes (typing, a tool) is written once.
constexpr int Delay = 40;

const char* formatOf(std::string_view documentData)
{
    if (IsKeptBy(documentData, "ass")) return "ass";
    if (IsKeptBy(documentData, "webvtt")) return "webvtt";
    return "subrip";
}

std::optional<std::pair<int32_t, int32_t>> spanOf(std::string_view from, std::string_view to)
{
    const std::optional<int32_t> start = TryReadFrameCell(from), end = TryReadFrameCell(to);
    if (!start || !end) return std::nullopt;
    return std::make_pair(*start, *end);
}

void copyRow(SubtitleTable& into, int& at, const SubtitleTable::Image& image, int row)
{
    if (at >= into.rowCount()) into.setRowCount(at + 1);
    into.setRow(at++, image.cell(0, row), image.cell(1, row), image.cell(2, row), image.cell(3, row),
        image.cell(4, row), image.cell(5, row));
}

// mpv hands WebVTT to a decoder that drops the cue settings: such a table
// goes to the player as an ASS script whose override tags place each cue as
// its settings say ("line", "position", "align"), with the payload's i, b and
// u tags and its entities.
constexpr int PlayWidth = 384, PlayHeight = 288;

std::string assTime(int32_t frame, double framerate)
{
    const int64_t centiseconds = (int64_t(FrameToTime(std::max(frame, 0), framerate)) + 5) / 10;
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d.%02d", int(centiseconds / 360000), int(centiseconds / 6000 % 60),
        int(centiseconds / 100 % 60), int(centiseconds % 100));
    return text;
}

std::optional<double> percent(std::string_view value)
{
    if (value.empty() || value.back() != '%') return std::nullopt;
    return TryStrToFloat(value.substr(0, value.size() - 1), '.');
}

std::string placement(std::string_view settings)
{
    std::optional<double> linePercent, positionPercent;
    std::optional<int32_t> lineNumber;
    char side = 'C';
    for (const QString& setting : QString::fromUtf8(settings.data(), int(settings.size()))
                                      .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        const std::string item = setting.toStdString();
        const size_t colon = item.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = item.substr(0, colon);
        const std::string value = item.substr(colon + 1, item.find(',', colon) - colon - 1);
        if (key == "line") {
            linePercent = percent(value);
            if (!linePercent) lineNumber = TryStrToInt(value.size() > 1 && value[0] == '-' ? value.substr(1) : value);
            if (lineNumber && value[0] == '-') lineNumber = -*lineNumber - 1;
        } else if (key == "position") {
            positionPercent = percent(value);
        } else if (key == "align") {
            side = value == "start" || value == "left" ? 'L' : value == "end" || value == "right" ? 'R' : 'C';
        }
    }
    const bool top = (lineNumber && *lineNumber >= 0) || (linePercent && *linePercent < 50);
    const int alignment = (top ? 7 : 1) + (side == 'C' ? 1 : side == 'R' ? 2 : 0);
    std::string tags = "{\\an" + std::to_string(alignment);
    if (linePercent || positionPercent) {
        const double x = positionPercent ? *positionPercent * PlayWidth / 100
            : side == 'L'                ? 10
            : side == 'R'                ? PlayWidth - 10
                                         : PlayWidth / 2;
        const double y = linePercent ? *linePercent * PlayHeight / 100 : top ? 10 : PlayHeight - 10;
        tags += "\\pos(" + std::to_string(std::lround(x)) + "," + std::to_string(std::lround(y)) + ")";
    }
    return tags + "}";
}

std::string assText(const SubtitleTable& table, int row)
{
    QStringList lines;
    for (int column = SubtitleTable::Line1; column <= SubtitleTable::Line3; ++column)
        if (!table.cell(column, row).empty()) lines << table.text(column, row);
    QString text = lines.join(QStringLiteral("\\N"));
    for (const QString& tag : { QStringLiteral("i"), QStringLiteral("b"), QStringLiteral("u") }) {
        text.replace(QLatin1Char('<') + tag + QLatin1Char('>'), QStringLiteral("{\\") + tag + QStringLiteral("1}"));
        text.replace(QStringLiteral("</") + tag + QLatin1Char('>'), QStringLiteral("{\\") + tag + QStringLiteral("0}"));
    }
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&nbsp;"), QStringLiteral("\\h"))
        .remove(QStringLiteral("&lrm;"))
        .remove(QStringLiteral("&rlm;"));
    return text.replace(QStringLiteral("&amp;"), QStringLiteral("&")).toStdString();
}

void writeWebVttAsAss(const QString& path, const SubtitleTable& table, double framerate)
{
    WriteTextFile(path.toStdString(), [&](TextSink& out) {
        out.write("[Script Info]\nScriptType: v4.00+\nPlayResX: 384\nPlayResY: 288\nScaledBorderAndShadow: yes\n\n"
                  "[V4+ Styles]\nFormat: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
                  "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, "
                  "Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
                  "Style: Default,Liberation Sans,18,&H00FFFFFF,&H000000FF,&H00000000,&H80000000,0,0,0,0,100,100,0,"
                  "0,1,1,0,2,10,10,10,1\n\n[Events]\n"
                  "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n");
        std::vector<std::string_view> kept;
        for (int row = 1; row < table.rowCount(); ++row) {
            const auto span = spanOf(table.cell(0, row), table.cell(1, row));
            if (!span) continue;
            const bool hasKept = SplitKept(table.cell(SubtitleTable::Extra, row), "webvtt", kept);
            out.write("Dialogue: 0," + assTime(span->first, framerate) + "," + assTime(span->second, framerate)
                + ",Default,,0,0,0,," + placement(hasKept ? KeptLine(kept, 4) : std::string_view())
                + assText(table, row) + "\n");
        }
    });
}

void writeFile(const QString& path, const SubtitleTable& table, const char* format, double framerate)
{
    if (std::string_view(format) == "webvtt") return writeWebVttAsAss(path, table, framerate);
    WriteContext context;
    context.framerate = framerate;
    WriteTextFile(path.toStdString(),
        [&](TextSink& sink) { WriteSubtitles(table, *FormatById(format), context, OutputEncoding(), sink); });
}

} // namespace

struct StyledSubtitles::Job {
    std::shared_ptr<const SubtitleTable::Image> image; // nullptr: take our tracks away
    MpvCore* mpv = nullptr;
    int movie = 0;
    double framerate = 0;
    int32_t from = 0, to = 0; // frames around the position
    int row = 0; // the current row alone; 0: every row between from and to
    std::shared_ptr<const SubtitleTable> original;
    QString file, originalFile;
    quint64 revision = 0;
};

StyledSubtitles::StyledSubtitles(SubtitleTable& table, VideoPlayer& player, QObject* parent)
    : QObject(parent)
    , table_(table)
    , player_(player)
{
    soon_.setSingleShot(true);
    soon_.setInterval(Delay);
    connect(&soon_, &QTimer::timeout, this, &StyledSubtitles::send);
    connect(&player_, &VideoPlayer::openComplete, this, &StyledSubtitles::movieChanged);
    connect(&player_, &VideoPlayer::openFailed, this, &StyledSubtitles::movieChanged);
    connect(&player_, &VideoPlayer::timer, this, &StyledSubtitles::followPlayback);
    table_.addRecorder(this);
    thread_ = std::thread([this] { work(); });
}

StyledSubtitles::~StyledSubtitles()
{
    table_.removeRecorder(this);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    if (file_.isEmpty()) return;
    for (const char* extension : { ".ass", ".srt" })
        QFile::remove(file_ + QLatin1String(extension));
    QFile::remove(originalFile_);
}

QString StyledSubtitles::Folder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder;
    if (QDir::isAbsolutePath(runtime) && QDir(runtime).exists()) {
        folder = runtime + QStringLiteral("/tessel");
    } else {
        const QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
        folder = (QDir::isAbsolutePath(cache) ? cache : QDir::homePath() + QStringLiteral("/.cache"))
            + QStringLiteral("/tessel");
    }
    QDir().mkpath(folder);
    return folder;
}

void StyledSubtitles::setEnabled(bool enabled)
{
    if (enabled == enabled_) return;
    enabled_ = enabled;
    written_.reset();
    send();
}

void StyledSubtitles::setRows(Rows rows)
{
    rows_ = rows;
    changed();
}

void StyledSubtitles::setCurrentRow(int row)
{
    if (row == currentRow_) return;
    currentRow_ = row;
    if (rows_ == Rows::Current) changed();
}

void StyledSubtitles::setOriginal(std::shared_ptr<const SubtitleTable> original)
{
    original_ = std::move(original);
    changed();
}

void StyledSubtitles::changed()
{
    if (enabled_ && !soon_.isActive()) soon_.start();
}

// A new movie has none of our tracks.
void StyledSubtitles::movieChanged()
{
    ++movie_;
    written_.reset();
    if (enabled_) send();
}

// Rows a little before the position and two minutes ahead are on file;
// leaving them (playing on, or a seek) writes the rows around it again.
void StyledSubtitles::followPlayback()
{
    if (!enabled_ || !written_ || soon_.isActive()) return;
    const int32_t frame = player_.frameOnScreen();
    const double lead = SecondsBehind * player_.framesPerSecond();
    if (frame < written_->first || frame > written_->second - lead) send();
}

void StyledSubtitles::send()
{
    soon_.stop();
    if (!player_.isOpen() || !player_.mpv() || !(player_.framesPerSecond() > 0)) return;
    if (file_.isEmpty()) { // the folder is made only when it is needed
        const QString pid = QString::number(QCoreApplication::applicationPid());
        file_ = Folder() + QStringLiteral("/picture-%1").arg(pid);
        originalFile_ = Folder() + QStringLiteral("/picture-original-%1.srt").arg(pid);
    }
    auto job = std::make_unique<Job>();
    job->mpv = player_.mpv();
    job->movie = movie_;
    job->revision = table_.revision();
    if (enabled_) {
        const double fps = player_.framesPerSecond();
        const int32_t frame = player_.frameOnScreen();
        job->image = table_.image();
        job->framerate = fps;
        // An edit keeps the rows on file where they were while the position is among them.
        if (!written_ || frame < written_->first || frame > written_->second - SecondsBehind * fps)
            written_ = std::make_pair(frame - static_cast<int32_t>(std::lround(SecondsBehind * fps)),
                frame + static_cast<int32_t>(std::lround(SecondsAhead * fps)));
        job->from = written_->first;
        job->to = written_->second;
        job->row = rows_ == Rows::Current ? currentRow_ : 0;
        job->original = original_;
        job->file = file_
            + QLatin1String(formatOf(job->image->documentData()) == std::string_view("ass") ? ".ass"
                    : formatOf(job->image->documentData()) == std::string_view("webvtt")    ? ".vtt"
                                                                                            : ".srt");
        job->originalFile = originalFile_;
    }
    post(std::move(job));
}

void StyledSubtitles::post(std::unique_ptr<Job> job)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        next_ = std::move(job);
    }
    wake_.notify_one();
}

void StyledSubtitles::work()
{
    for (;;) {
        std::unique_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || next_; });
            if (stopping_) return;
            job = std::move(next_);
        }
        try {
            run(*job);
            QMetaObject::invokeMethod(
                this, [this, revision = job->revision] { emit shown(revision); }, Qt::QueuedConnection);
        } catch (const std::exception& error) {
            QMetaObject::invokeMethod(
                this, [this, reason = QString::fromUtf8(error.what())] { emit failed(reason); }, Qt::QueuedConnection);
        }
    }
}

void StyledSubtitles::run(Job& job)
{
    MpvCore& mpv = *job.mpv;
    const bool ours = tracksOfMovie_ == job.movie;
    if (!job.image) {
        if (ours) {
            mpv.tryCommand({ QStringLiteral("sub-remove") });
            if (originalTrack_ >= 0) mpv.tryCommand({ QStringLiteral("sub-remove"), QString::number(originalTrack_) });
        }
        tracksOfMovie_ = -1;
        originalTrack_ = -1;
        originalShown_ = nullptr;
        return;
    }
    const SubtitleTable::Image& image = *job.image;
    SubtitleTable part;
    int at = 1;
    if (job.row > 0 && job.row < image.rowCount()) {
        if (spanOf(image.cell(0, job.row), image.cell(1, job.row))) copyRow(part, at, image, job.row);
    } else if (job.row == 0) {
        for (int row = 1; row < image.rowCount(); ++row) {
            const auto span = spanOf(image.cell(0, row), image.cell(1, row));
            if (span && span->second > job.from && span->first < job.to) copyRow(part, at, image, row);
        }
    }
    part.setDocumentData(image.documentData());
    writeFile(job.file, part, formatOf(image.documentData()), job.framerate);
    if (!ours || shownFile_ != job.file) {
        if (ours) mpv.tryCommand({ QStringLiteral("sub-remove") });
        mpv.command({ QStringLiteral("sub-add"), job.file, QStringLiteral("select") });
        if (!ours) originalTrack_ = -1;
        tracksOfMovie_ = job.movie;
        shownFile_ = job.file;
    } else {
        mpv.command({ QStringLiteral("sub-reload") });
    }
    showOriginal(job, mpv);
}

// The original as plain text, as the player shows a second track: at the top.
void StyledSubtitles::showOriginal(Job& job, MpvCore& mpv)
{
    const std::pair<int32_t, int32_t> window(job.from, job.to);
    if (job.original && originalTrack_ >= 0 && job.original == originalShown_ && window == originalWindow_) return;
    if (originalTrack_ >= 0) mpv.tryCommand({ QStringLiteral("sub-remove"), QString::number(originalTrack_) });
    originalTrack_ = -1;
    originalShown_ = nullptr;
    if (!job.original) return;
    const SubtitleTable& original = *job.original;
    SubtitleTable part;
    int at = 1;
    for (int row = 1; row < original.rowCount(); ++row) {
        const auto span = spanOf(original.cell(0, row), original.cell(1, row));
        if (!span || span->second <= job.from || span->first >= job.to) continue;
        if (at >= part.rowCount()) part.setRowCount(at + 1);
        part.setRow(at++, original.cell(0, row), original.cell(1, row), original.cell(2, row), original.cell(3, row),
            original.cell(4, row));
    }
    writeFile(job.originalFile, part, "subrip", job.framerate);
    mpv.command({ QStringLiteral("sub-add"), job.originalFile, QStringLiteral("auto") });
    const int tracks = static_cast<int>(mpv.readDouble("track-list/count").value_or(0));
    for (int i = tracks - 1; i >= 0 && originalTrack_ < 0; --i) {
        const QByteArray prefix = "track-list/" + QByteArray::number(i) + '/';
        if (mpv.readString((prefix + "type").constData()) == QStringLiteral("sub")
            && mpv.readString((prefix + "external-filename").constData()) == job.originalFile)
            originalTrack_ = static_cast<long long>(mpv.readDouble((prefix + "id").constData()).value_or(-1));
    }
    if (originalTrack_ < 0) return;
    mpv.command({ QStringLiteral("set"), QStringLiteral("secondary-sid"), QString::number(originalTrack_) });
    originalShown_ = job.original;
    originalWindow_ = window;
}

} // namespace tessel
