#pragma once
#include "core/subtitle_table.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

// The table drawn on the picture by the player itself (libass), as it will
// look: written to a file in the document's own format when that is ASS or
// WebVTT, otherwise as SubRip with its markup, which the player then loads or
// reloads without a seek or a pause. Only what the player needs is written:
// the rows around the playing position (again when playback leaves them), or
// the current row alone; the writing and the player's reload run on a thread
// of their own, a short while after the change, the latest change only.
namespace tessel {

class MpvCore;
class VideoPlayer;

class StyledSubtitles : public QObject, private TableRecorder {
    Q_OBJECT
public:
    enum class Rows { All, Current };

    // `player` must outlive this object.
    StyledSubtitles(SubtitleTable& table, VideoPlayer& player, QObject* parent = nullptr);
    ~StyledSubtitles() override;
    StyledSubtitles(const StyledSubtitles&) = delete;
    StyledSubtitles& operator=(const StyledSubtitles&) = delete;

    void setEnabled(bool enabled);
    bool isEnabled() const { return enabled_; }
    void setRows(Rows rows);
    Rows rows() const { return rows_; }
    void setCurrentRow(int row);
    // Rows drawn too, at their times, above the table's (a translation's
    // original, as plain text); nullptr: none.
    void setOriginal(std::shared_ptr<const SubtitleTable> original);

    // $XDG_RUNTIME_DIR/tessel, or else $XDG_CACHE_HOME/tessel (~/.cache/tessel).
    static QString Folder();
    // Empty until the first file is written.
    QString fileName() const { return file_; }
    // Seconds around the playing position that are written.
    static constexpr double SecondsBehind = 30, SecondsAhead = 120;

signals:
    // The player was told to show what the table held at `revision`.
    void shown(quint64 revision);
    // Writing or loading failed; what was shown before stays.
    void failed(const QString& reason);

private:
    struct Job;
    void cellsChanging(int, unsigned, const std::string_view*) override { changed(); }
    void rowsInserted(int, int) override { changed(); }
    void rowsRemoving(int, int) override { changed(); }
    void documentDataChanging(std::string_view) override { changed(); }
    void changed();
    void movieChanged();
    void followPlayback();
    void send();
    void post(std::unique_ptr<Job> job);
    void work();
    void run(Job& job);
    void showOriginal(Job& job, MpvCore& mpv);

    SubtitleTable& table_;
    VideoPlayer& player_;
    bool enabled_ = false;
    Rows rows_ = Rows::All;
    int currentRow_ = 1;
    std::shared_ptr<const SubtitleTable> original_;
    QTimer soon_;
    QString file_, originalFile_;
    int movie_ = 0; // counts the movies opened: each one starts without our tracks
    std::optional<std::pair<int32_t, int32_t>> written_; // frames around the position last written

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::unique_ptr<Job> next_; // the latest job not yet taken
    bool stopping_ = false;
    // Only the thread touches these.
    int tracksOfMovie_ = -1; // the movie our tracks were added to
    long long originalTrack_ = -1;
    std::shared_ptr<const SubtitleTable> originalShown_;
    std::pair<int32_t, int32_t> originalWindow_;
    QString shownFile_;
};

} // namespace tessel
