#pragma once
#include "core/subtitle_table.h"
#include "preview/playback_controls.h"
#include "preview/playback_sync.h"
#include "preview/window_follow.h"

#include <QObject>
#include <functional>

class QWidget;

// The main window's side of the movie preview: opening a movie, play, stop,
// speed, seeking from the grid and the track bar, the table following
// playback, and the movie window following the main window.
//
// How the main window sets it up, once its controls and the movie window
// exist:
//
//     movieWindow_ = std::make_unique<tessel::TFormMovie>(this);
//     tessel::PlaybackControls controls;
//     controls.ButtonOpenMovie = ButtonOpenMovie;   // ... and the other twelve
//     playback_ = std::make_unique<tessel::PlaybackController>(
//         this, controls, gridView, table, *movieWindow_, openVideoDialog, messages, report);
//
// where gridView implements SubtitleGridView over SubtitleGrid, openVideoDialog
// is e.g. a QtOpenFileDialog(this), messages the window's MessageSink and
// report runs a command through the window's general error report.
// The controller connects the buttons, track bars and the main window's move
// and show events itself. The main window still calls:
//   - SubtitleGridSelectCell(column, row) when the user selects a cell (not
//     for selections made through SubtitleGridView::selectCellQuietly);
//   - ShowSubtitleText(row) whenever the in-place editor changes a cell's text.
// Destroy the controller before the controls and the movie window.
namespace tessel {

class MessageSink;
class OpenFileDialog;
class TFormMovie;

// Runs a command so that an error it raises ends it and is reported.
using ReportedRun = std::function<void(const std::function<void()>& command)>;

// Refusals of the video player: play, stop (pause), the speed and opening
// a movie report them through `report`; selecting a row, the track bar,
// "Play current subtitle" and stopping the previous movie ignore them.
class PlaybackController : public QObject, private PlaybackSwitches {
    Q_OBJECT
public:
    // Puts the controls into their state before any movie and connects them.
    // Without `report`, errors are shown through `messages`.
    PlaybackController(QWidget* mainWindow, const PlaybackControls& controls, SubtitleGridView& grid,
        const SubtitleTable& table, TFormMovie& movieWindow, OpenFileDialog& openVideoDialog, MessageSink& messages,
        ReportedRun report = {});

    void ButtonOpenMovieClick();
    void OpenMovie(const QString& fileName);
    void BtnPlayClick();
    void BtnStopClick();
    void BtnPlayCurrentClick();
    void TrckBarSpeedChange();
    void MovieTrackerChange();
    void SubtitleGridSelectCell(int column, int row);
    void ShowSubtitleText(int row) { sync_.ShowSubtitleText(row); }
    void ProcessTimer(int position, int length) { sync_.ProcessTimer(position, length); }

    PlaybackSync& sync() { return sync_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool autoSelect() const override;
    bool autoScroll() const override;
    void applyInitialState();
    void connectControls();
    void mainWindowMoved();
    void reported(const std::function<void()>& command);
    static void ignoringErrors(const std::function<void()>& command);
    void selectCell(int row);
    void playCurrent();
    void seekWithTracker();
    bool validRow(int row) const { return row >= 1 && row < table_.rowCount(); }

    QWidget* mainWindow_;
    PlaybackControls controls_;
    SubtitleGridView& grid_;
    const SubtitleTable& table_;
    TFormMovie& movie_;
    OpenFileDialog& openVideoDialog_;
    MessageSink& messages_;
    ReportedRun report_;
    PlaybackSync sync_;
    MovieWindowFollower follower_;
};

} // namespace tessel
