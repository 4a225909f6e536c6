#pragma once
#include <QWidget>

class QCheckBox;
class QSlider;
class QToolButton;

// The playback controls under the tool pager, and the movie track bar along
// the bottom of the top panel. Everything but the speed bar stays disabled
// until a movie has been opened; the movie preview connects them.
namespace tessel::app {

class PlaybackPanel : public QWidget {
    Q_OBJECT
public:
    explicit PlaybackPanel(QWidget* parent = nullptr);

    // The track bar lives in the top panel, which places it.
    QSlider* createMovieTracker(QWidget* parent);

    QToolButton* play() const { return play_; }
    QToolButton* stop() const { return stop_; }
    QToolButton* playCurrent() const { return playCurrent_; }
    QSlider* speed() const { return speed_; }
    QSlider* movieTracker() const { return movieTracker_; }
    QCheckBox* seekMovie() const { return seekMovie_; }
    QCheckBox* autoSelect() const { return autoSelect_; }
    QCheckBox* autoScroll() const { return autoScroll_; }

private:
    QToolButton* makeSpeedButton(const char* name, const QString& hint, int standardIcon);
    QWidget* buildCheckBoxes();

    QToolButton* play_ = nullptr;
    QToolButton* stop_ = nullptr;
    QToolButton* playCurrent_ = nullptr;
    QSlider* speed_ = nullptr;
    QSlider* movieTracker_ = nullptr;
    QCheckBox* seekMovie_ = nullptr;
    QCheckBox* autoSelect_ = nullptr;
    QCheckBox* autoScroll_ = nullptr;
};

} // namespace tessel::app
