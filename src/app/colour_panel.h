#pragma once
#include <QColor>
#include <QFrame>

// A small panel filled with a colour; clicking it asks for another one.
namespace tessel::app {

class ColourPanel : public QFrame {
    Q_OBJECT
public:
    ColourPanel(const char* name, const QColor& colour, QWidget* parent = nullptr);

    QColor colour() const { return colour_; }
    void setColour(const QColor& colour);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QColor colour_;
};

} // namespace tessel::app
