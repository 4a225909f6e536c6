#pragma once
#include "preview/movie_pause.h"

#include <memory>

class QWidget;

// Where the movie preview meets the main window: the playback controls, the
// "Open movie" button and the "Movie info" box drive the preview's controller;
// the grid's selections seek the movie and its in-place edits show the edited
// row under the picture.
namespace tessel {
class MessageSink;
class OpenFileDialog;
class PlaybackController;
class SubtitleGridView;
class SubtitleTable;
class TFormMovie;
} // namespace tessel

namespace tessel::app {

class ErrorReport;
class MainWindow;

// The movie window for the editor, placed beside the main window; it has no
// parent there, so the editor owns it.
std::unique_ptr<QWidget> CreateMovieWindow(MainWindow& mainWindow);

struct PlaybackServices {
    SubtitleTable& table;
    MessageSink& messages;
    ErrorReport& errors;
    OpenFileDialog* videoDialog = nullptr; // nullptr: the platform's open dialog
};

class PlaybackWiring {
public:
    // Nothing when the movie window is not the preview's.
    static std::unique_ptr<PlaybackWiring> Create(
        MainWindow& mainWindow, QWidget* movieWindow, const PlaybackServices& services);

    PlaybackWiring(MainWindow& mainWindow, TFormMovie& movieWindow, const PlaybackServices& services);
    ~PlaybackWiring();
    PlaybackWiring(const PlaybackWiring&) = delete;
    PlaybackWiring& operator=(const PlaybackWiring&) = delete;

    PlaybackController& controller() { return *controller_; }
    // Makes a cell changed by undo or redo current without seeking the
    // movie, and shows its row's text under the picture.
    void showChangedCell(int column, int row);
    // The grid as playback sees it: selections made here do not seek.
    SubtitleGridView& gridView();
    // What the checks call first, so that they never run under a playing movie.
    VideoPause& videoPause() { return pause_; }

private:
    class GridView;

    void connectGrid(MainWindow& mainWindow, ErrorReport& errors);

    std::unique_ptr<GridView> gridView_;
    std::unique_ptr<OpenFileDialog> platformDialog_;
    // Holds references to the two above: it goes first.
    std::unique_ptr<PlaybackController> controller_;
    MoviePause pause_;
};

} // namespace tessel::app
