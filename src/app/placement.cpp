#include "app/placement.h"

#include <QWidget>

namespace tessel::app {

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

void PlaceCentredOver(QWidget& dialog, const QWidget* mainWindow)
{
    if (mainWindow) dialog.move(CentredOver(mainWindow->frameGeometry(), dialog.frameGeometry().size()));
}

void PlaceThirdDownOver(QWidget& dialog, const QWidget* mainWindow)
{
    if (mainWindow) dialog.move(ThirdDownOver(mainWindow->frameGeometry(), dialog.frameGeometry().size()));
}

} // namespace tessel::app
