#pragma once
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>

class QWidget;

// Windows of their own that the editor places itself (the Waveform window,
// the command palette, the Keys, Find, Spelling and Text tools windows...)
// open inside the screen's work area (the screen less its panels and docks)
// and come back where the user left them, size included, from one run to the
// next. One call per window, once, before it is first shown:
//
//     KeepPlace(*window, QStringLiteral("synchronise"));
//
// or with where it goes the very first time, as an outer (frame included)
// geometry; without one the window manager chooses:
//
//     KeepPlace(*window, QStringLiteral("waveform"), [this] { return belowMainWindow(); });
//
// Places (the client's geometry) are kept in
// $XDG_STATE_HOME/tessel/window-places.ini (by default ~/.local/state/tessel/)
// under the name, written when the window is hidden or destroyed. A remembered place that no longer fits (a smaller
// screen, a screen gone) is brought inside the work area nearest to it. Each time the window is shown again it is kept
// inside the work area the same way. Not for the movie window or the modal dialogs, whose places are fixed.
namespace tessel::app {

// The outer geometry a window takes the first time; a null rectangle leaves
// it to the window manager.
using FirstPlace = std::function<QRect()>;

void KeepPlace(QWidget& window, const QString& name, FirstPlace first = {});

// `outer` moved, and shrunk where it is larger, so that it lies inside `area`.
QRect FitInside(QRect outer, const QRect& area);
// A window `height` tall right below `anchor` and as wide as it, or right
// above it when there is no room below in `area`, else at the bottom of `area`.
QRect BelowOrAbove(const QRect& anchor, int height, const QRect& area);
// The work area of the screen `outer` lies mostly on (the nearest, or the
// primary screen, when it is on none).
QRect WorkAreaFor(const QRect& outer);

QString WindowPlacesFile();

} // namespace tessel::app
