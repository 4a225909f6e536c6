#pragma once
#include <QMargins>
#include <QRect>
#include <QSize>
#include <functional>

class QWidget;

// Outer sizes and places of top-level windows. A window manager frames a
// window only some time after it is shown, so until then its frame is
// unknown: what depends on it is done with a guess and again once the frame
// is there. Without a window manager (the offscreen platform) there is
// nothing to wait for, and sizes are the windows' own.
namespace tessel {

// Whether frames come from a window manager after showing.
bool FramesComeLater();
// What the frame adds on each side, as far as known: the window's frame, or
// the one it had when last seen framed (Qt forgets it when a window is shown
// again), or nothing.
QMargins FrameMargins(const QWidget& window);
bool IsFramed(const QWidget& window);
// The window's place and size with its frame.
QRect OuterGeometry(const QWidget& window);
// Puts the window's frame's top-left corner at `position`. Where the frame is
// known this places the client under it: Qt's own frame position goes wrong
// when a window is shown again and Qt has forgotten its frame meanwhile.
void MoveFrameTo(QWidget& window, QPoint position);
// The window's frame, or before it has one, the frame of `reference` (a
// window of the same program that was framed already) as the best guess.
QMargins GuessedFrame(const QWidget& window, const QWidget* reference);

// Runs `framed` once a window manager has framed the window: right away when
// it has, never without a window manager. A later call for the same purpose
// replaces one still waiting.
void WhenFramed(QWidget& window, const char* purpose, std::function<void()> framed);

// Gives the window an outer (frame included) size and minimum: the client
// takes them whole until the window is framed, then what the frame leaves.
// A window resized meanwhile keeps its size.
void SetOuterSizes(QWidget& window, QSize size, QSize minimum);

} // namespace tessel
