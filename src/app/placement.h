#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where the dialogs appear over the main window. Sizes and positions are the
// outer (frame) ones; halves and thirds drop their remainder.
namespace tessel::app {

QPoint CentredOver(const QRect& mainFrame, const QSize& dialogFrame);
QPoint ThirdDownOver(const QRect& mainFrame, const QSize& dialogFrame);

// Moves the dialog; nothing happens without a main window.
void PlaceCentredOver(QWidget& dialog, const QWidget* mainWindow);
void PlaceThirdDownOver(QWidget& dialog, const QWidget* mainWindow);

} // namespace tessel::app
