#pragma once
#include "core/edit_history.h"
#include "core/subtitle_table.h"
#include "core/user_prompts.h"
#include "formats/encoding.h"
#include "tools/sync.h"
#include "tools/sync_table.h"

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableWidget;

// The "Synchronise" window: a proposal for the whole file, made on a thread
// of its own, from the film's speech or from a reference subtitle file
// (offset, speed ratio, each segment's rows and offset, a score, and the
// subtitles before and after over the sound), applied as one undo step; and
// the sync points the user set, with each one's residual, applied the same
// way. Cancel stops the work and leaves the table as it was.
namespace tessel {
class PeakCache;
class WaveformSource;
} // namespace tessel

namespace tessel::app {

class ErrorReport;
class MainWindow;
class SubtitleFileDialogs;
class SyncStrip;

// The movie open in the editor; an empty file name: none.
struct MovieState {
    QString file;
    int stream = -1; // the sound track the Waveform window shows
    double fps = 0;
};

struct SyncServices {
    SubtitleTable& table;
    EditHistory& history;
    MainWindow& mainWindow;
    MessageSink& messages;
    ErrorReport& errors;
    SubtitleFileDialogs& dialogs; // chooses the reference file
    FramerateSource& framerate; // asked when the reference file needs one
    EncodingChooser* encoding = nullptr;
    std::function<MovieState()> movie;
    // The rate the table's frames are counted at (the movie's when one is open).
    std::function<double()> framesPerSecond;
    const PeakCache* cache = nullptr;
    WaveformSource* waveform = nullptr; // its decoding tells the voices too
};

class SyncWindow : public QWidget {
    Q_OBJECT
public:
    enum Source { Speech, Reference, Points };

    SyncWindow(const SyncServices& services, QWidget* parent);
    ~SyncWindow() override;

    // Shows the window on that source; with a movie open, speech starts
    // finding at once, a reference once a file is chosen.
    void open(Source source);
    Source source() const;
    // Makes a proposal for the chosen source; the points' plan at once.
    void find();
    void cancel();
    // The proposal (or the points' plan) as one undo step; false when
    // nothing was applied.
    bool apply();
    bool busy() const { return worker_.joinable() || waiting_; }
    const std::optional<SyncResult>& proposal() const { return proposal_; }
    void setReferenceFile(const QString& fileName);
    // Fills the points' list again from the table.
    void refreshPoints();

    QRadioButton* speechChoice() const { return speech_; }
    QRadioButton* referenceChoice() const { return reference_; }
    QRadioButton* pointsChoice() const { return points_; }
    QCheckBox* splits() const { return splits_; }
    QPushButton* findButton() const { return find_; }
    QPushButton* applyButton() const { return apply_; }
    QPushButton* cancelButton() const { return cancel_; }
    QProgressBar* progress() const { return progress_; }
    QLabel* status() const { return status_; }
    QLabel* summary() const { return summary_; }
    QLabel* warning() const { return warning_; }
    QTableWidget* segments() const { return segments_; }
    QTableWidget* pointList() const { return pointList_; }
    SyncStrip& strip() const { return *strip_; }

signals:
    // A proposal came, or the work ended without one.
    void finished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Job;
    void buildLayout();
    void sourceChanged();
    void chooseReference();
    void startSpeech();
    void startReference();
    void run(std::shared_ptr<Job> job);
    void done(quint64 generation, std::optional<SyncResult> result, QString error);
    void showProposal();
    void clearProposal();
    void setBusy(bool busy);
    void pointEdited(int row, int column);
    void removePoint();
    void clearPoints();
    bool applyPoints();

    SyncServices services_;
    QRadioButton* speech_ = nullptr;
    QRadioButton* reference_ = nullptr;
    QRadioButton* points_ = nullptr;
    QLabel* movieName_ = nullptr;
    QLineEdit* referenceFile_ = nullptr;
    QCheckBox* splits_ = nullptr;
    QPushButton* find_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* warning_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QTableWidget* segments_ = nullptr;
    QTableWidget* pointList_ = nullptr;
    SyncStrip* strip_ = nullptr;
    bool filling_ = false;

    // The work on its own thread; its messages come back queued and are
    // dropped when another job began meanwhile.
    std::thread worker_;
    std::atomic<bool> stop_ { false };
    quint64 generation_ = 0;
    bool waiting_ = false; // for the Waveform window's decoding
    QMetaObject::Connection waitConnection_;

    // What the proposal was made from.
    TimedRows rows_;
    uint64_t revision_ = 0;
    bool fromReference_ = false;
    std::optional<SyncResult> proposal_;
    // The speech of the last film, kept for another try.
    QString speechFile_;
    int speechStream_ = -1;
    std::shared_ptr<const SyncTarget> speechTarget_;
};

} // namespace tessel::app
