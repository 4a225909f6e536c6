#pragma once
#include <QWidget>

class QGridLayout;
class QLabel;
class QPushButton;

// The right column of the top panel: the file and movie buttons and the
// "Movie info" box, which the movie preview fills.
namespace tessel::app {

class FileButtons : public QWidget {
    Q_OBJECT
public:
    explicit FileButtons(QWidget* parent = nullptr);

    QPushButton* openSubtitles() const { return openSubtitles_; }
    QPushButton* appendSubtitles() const { return appendSubtitles_; }
    QPushButton* openMovie() const { return openMovie_; }
    QPushButton* saveSubtitles() const { return saveSubtitles_; }
    QPushButton* quit() const { return quit_; }
    QLabel* movieLength() const { return movieLength_; }
    QLabel* movieFrames() const { return movieFrames_; }
    QLabel* movieFps() const { return movieFps_; }
    QLabel* movieSize() const { return movieSize_; }

private:
    QWidget* buildMovieInfo();
    void narrowToFit(QWidget* box);
    QLabel* addInfoPair(QGridLayout* grid, int row, const QString& caption, const char* name, const QString& value);

    QPushButton* openSubtitles_ = nullptr;
    QPushButton* appendSubtitles_ = nullptr;
    QPushButton* openMovie_ = nullptr;
    QPushButton* saveSubtitles_ = nullptr;
    QPushButton* quit_ = nullptr;
    QLabel* movieLength_ = nullptr;
    QLabel* movieFrames_ = nullptr;
    QLabel* movieFps_ = nullptr;
    QLabel* movieSize_ = nullptr;
};

} // namespace tessel::app
