#include "app/colour_panel.h"

#include <QMouseEvent>

namespace tessel::app {

ColourPanel::ColourPanel(const char* name, const QColor& colour, QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QString::fromLatin1(name));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setCursor(Qt::PointingHandCursor);
    setFixedSize(24, 18);
    setColour(colour);
}

void ColourPanel::setColour(const QColor& colour)
{
    colour_ = colour;
    QPalette p = palette();
    p.setColor(QPalette::Window, colour);
    setPalette(p);
}

void ColourPanel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) emit clicked();
    QFrame::mousePressEvent(event);
}

} // namespace tessel::app
