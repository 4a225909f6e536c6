#include "preview/playback_controls.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QLabel>
#include <QSignalBlocker>
#include <array>
#include <stdexcept>
#include <string>
#include <utility>

namespace tessel {
namespace {

// The controls that need a movie, in the order they are enabled.
std::array<QWidget*, 7> movieOnlyControls(const PlaybackControls& c)
{
    return { c.SeekMovieCheckBox, c.AutoSelectCheckBox, c.AutoScrollCheckBox, c.MovieTracker, c.BtnPlay,
        c.BtnPlayCurrent, c.BtnStop };
}

} // namespace

void RequireAllControls(const PlaybackControls& c)
{
    const std::array<std::pair<const void*, const char*>, 13> named = { {
        { c.ButtonOpenMovie, "ButtonOpenMovie" },
        { c.BtnPlay, "BtnPlay" },
        { c.BtnStop, "BtnStop" },
        { c.BtnPlayCurrent, "BtnPlayCurrent" },
        { c.TrckBarSpeed, "TrckBarSpeed" },
        { c.MovieTracker, "MovieTracker" },
        { c.SeekMovieCheckBox, "SeekMovieCheckBox" },
        { c.AutoSelectCheckBox, "AutoSelectCheckBox" },
        { c.AutoScrollCheckBox, "AutoScrollCheckBox" },
        { c.LabelMovieInfoLength, "LabelMovieInfoLength" },
        { c.LabelMovieInfoFrames, "LabelMovieInfoFrames" },
        { c.LabelMovieInfoFPS, "LabelMovieInfoFPS" },
        { c.LabelMovieInfoSize, "LabelMovieInfoSize" },
    } };
    for (const auto& [control, name] : named)
        if (!control) throw std::invalid_argument(std::string("Playback control not given: ") + name);
}

void EnableMovieControls(const PlaybackControls& controls)
{
    for (QWidget* control : movieOnlyControls(controls))
        control->setEnabled(true);
}

void ResetMovieControls(const PlaybackControls& controls)
{
    for (QWidget* control : movieOnlyControls(controls))
        control->setEnabled(false);
    controls.LabelMovieInfoLength->setText(QStringLiteral("0:00:00,000"));
    controls.LabelMovieInfoFrames->setText(QStringLiteral("0"));
    controls.LabelMovieInfoFPS->setText(QStringLiteral("0"));
    controls.LabelMovieInfoSize->setText(QStringLiteral("0x0"));
    // Not a seek: the range goes because the movie went.
    const QSignalBlocker quiet(controls.MovieTracker);
    controls.MovieTracker->setRange(0, 0);
}

} // namespace tessel
