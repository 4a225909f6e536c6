#pragma once
class QAbstractButton;
class QAbstractSlider;
class QLabel;

// The main window's controls that the movie preview reads and drives. Every
// pointer must be set.
namespace tessel {

struct PlaybackControls {
    QAbstractButton* ButtonOpenMovie = nullptr;
    QAbstractButton* BtnPlay = nullptr;
    QAbstractButton* BtnStop = nullptr;
    QAbstractButton* BtnPlayCurrent = nullptr;
    QAbstractSlider* TrckBarSpeed = nullptr;
    QAbstractSlider* MovieTracker = nullptr;
    QAbstractButton* SeekMovieCheckBox = nullptr;
    QAbstractButton* AutoSelectCheckBox = nullptr;
    QAbstractButton* AutoScrollCheckBox = nullptr;
    QLabel* LabelMovieInfoLength = nullptr;
    QLabel* LabelMovieInfoFrames = nullptr;
    QLabel* LabelMovieInfoFPS = nullptr;
    QLabel* LabelMovieInfoSize = nullptr;
};

// Throws std::invalid_argument naming the first control left unset.
void RequireAllControls(const PlaybackControls& controls);

// Enabled once a movie is open, in this order.
void EnableMovieControls(const PlaybackControls& controls);

// Back to the state before any movie: nothing enabled that needs one, the
// "Movie info" texts at their first values, the track bar without a range.
void ResetMovieControls(const PlaybackControls& controls);

} // namespace tessel
