#pragma once
#include "media/film_subtitles.h"

#include <QDialog>

class QListWidget;

// The question which subtitle track of a film to open: every subtitle
// track with its codec, language and title; those that cannot be read as
// text (pictures) are shown but cannot be chosen. Enter opens the selected
// one; Cancel opens none.
namespace tessel::app {

class TrackDialog : public QDialog {
    Q_OBJECT
public:
    TrackDialog(const std::string& fileName, const std::vector<FilmTrack>& tracks, const QWidget* mainWindow);

    // The selected track's number, or nothing.
    std::optional<int> chosenTrack() const;
    QListWidget* list() const { return list_; }

private:
    std::vector<FilmTrack> tracks_;
    QListWidget* list_ = nullptr;
};

class DialogTrackChooser : public TrackChooser {
public:
    explicit DialogTrackChooser(const QWidget* mainWindow)
        : mainWindow_(mainWindow)
    {
    }
    std::optional<int> ChooseTrack(const std::string& fileName, const std::vector<FilmTrack>& tracks) override;

private:
    const QWidget* mainWindow_;
};

// "Track 3: ass, fre, "French styled" (forced)".
QString TrackCaption(const FilmTrack& track);

} // namespace tessel::app
