#include "app/placement.h"

#include "preview/window_frame.h"

#include <QPointer>
#include <QWidget>

namespace tessel::app {
namespace {

using PlacementRule = QPoint (*)(const QRect& mainFrame, const QSize& dialogFrame);

// Before its first showing a dialog has no frame yet: the main window's is
// the best guess of it.
QSize outerSize(const QWidget& dialog, const QWidget& mainWindow)
{
    return dialog.size().grownBy(GuessedFrame(dialog, &mainWindow));
}

// Placed with the guess first and again with the true frame, once the
// window manager has framed the dialog.
void place(QWidget& dialog, const QWidget* mainWindow, PlacementRule rule)
{
    if (!mainWindow) return;
    MoveFrameTo(dialog, rule(OuterGeometry(*mainWindow), outerSize(dialog, *mainWindow)));
    if (IsFramed(dialog)) return;
    QPointer<QWidget> guardedDialog(&dialog);
    QPointer<const QWidget> guardedMain(mainWindow);
    WhenFramed(dialog, "placement", [guardedDialog, guardedMain, rule] {
        if (guardedDialog && guardedMain)
            MoveFrameTo(*guardedDialog, rule(OuterGeometry(*guardedMain), OuterGeometry(*guardedDialog).size()));
    });
}

} // namespace

QPoint CentredOver(const QRect& mainFrame, const QSize& dialogFrame)
{
    const int top = mainFrame.top() + (mainFrame.height() - dialogFrame.height()) / 2;
    const int left = mainFrame.left() + (mainFrame.width() - dialogFrame.width()) / 2;
    return { left, top };
}

QPoint ThirdDownOver(const QRect& mainFrame, const QSize& dialogFrame)
{
    const int top = mainFrame.top() + mainFrame.height() / 3 - dialogFrame.height() / 2;
    const int left = mainFrame.left() + mainFrame.width() / 2 - dialogFrame.width() / 2;
    return { left, top };
}

void PlaceCentredOver(QWidget& dialog, const QWidget* mainWindow) { place(dialog, mainWindow, CentredOver); }

void PlaceThirdDownOver(QWidget& dialog, const QWidget* mainWindow) { place(dialog, mainWindow, ThirdDownOver); }

} // namespace tessel::app
