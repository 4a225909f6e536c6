#include "app/window_places.h"

#include "preview/window_frame.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <algorithm>
#include <limits>
#include <optional>

namespace tessel::app {
namespace {

// Lives as a child of its window and watches its showing, moves and hiding.
class PlaceKeeper : public QObject {
public:
    PlaceKeeper(QWidget& window, const QString& name, FirstPlace first)
        : QObject(&window)
        , window_(window)
        , name_(name)
        , first_(std::move(first))
    {
        setObjectName(QStringLiteral("keeps the place of ") + name);
        window.installEventFilter(this);
    }
    // The window is half gone by now: what was last seen of it is written.
    ~PlaceKeeper() override { save(); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Show: // before the window is mapped: a place given now is where it appears
            if (shown_) {
                putInside(window_.geometry());
            } else {
                shown_ = true;
                firstShow();
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (shown_ && window_.isVisible()) remember();
            break;
        case QEvent::Hide:
            save();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // Client geometries are what is kept and given: Qt always knows them,
    // while its report of a window's frame comes and goes; and a window
    // placed before its showing keeps its client where it was put.
    void firstShow()
    {
        std::optional<QRect> client = remembered();
        if (!client && first_) {
            const QRect outer = first_();
            if (!outer.isNull()) client = outer.marginsRemoved(frame());
        }
        putInside(client.value_or(window_.geometry()));
        // Placed with a guessed frame, or by the window manager: again once framed.
        if (FramesComeLater()) WhenFramed(window_, "kept place", [this] { putInside(window_.geometry()); });
    }

    // The client at `client`, moved (and shrunk where it must) so that its frame lies inside the work area.
    void putInside(const QRect& client)
    {
        const QMargins frame = this->frame();
        const QRect outer = client.marginsAdded(frame);
        const QRect fitted = FitInside(outer, WorkAreaFor(outer)).marginsRemoved(frame);
        const QRect wanted(
            fitted.topLeft(), fitted.size().expandedTo(window_.minimumSize()).boundedTo(window_.maximumSize()));
        if (wanted != window_.geometry()) window_.setGeometry(wanted);
    }

    // The window's frame, or until it has one, a guess from another window of the program.
    QMargins frame() const { return GuessedFrame(window_, reference()); }

    // Its parent, else a plain window (not a tool window, whose frame is thinner).
    QWidget* reference() const
    {
        if (QWidget* parent = window_.parentWidget()) return parent->window();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window != &window_ && window->windowType() == Qt::Window && window->isVisible() && IsFramed(*window))
                return window;
        return nullptr;
    }

    void remember() { place_ = window_.geometry(); }

    std::optional<QRect> remembered() const
    {
        const QRect client
            = QSettings(WindowPlacesFile(), QSettings::IniFormat).value(name_ + QStringLiteral("/client")).toRect();
        if (!client.isValid() || client.width() > 100000 || client.height() > 100000) return std::nullopt;
        return client;
    }

    void save()
    {
        if (!place_ || place_ == saved_) return;
        QSettings settings(WindowPlacesFile(), QSettings::IniFormat);
        settings.setValue(name_ + QStringLiteral("/client"), *place_);
        saved_ = place_;
    }

    QWidget& window_;
    QString name_;
    FirstPlace first_;
    bool shown_ = false;
    std::optional<QRect> place_, saved_;
};

long long distanceSquared(const QPoint& point, const QRect& rect)
{
    const long long dx = point.x() < rect.left() ? rect.left() - point.x() : std::max(0, point.x() - rect.right());
    const long long dy = point.y() < rect.top() ? rect.top() - point.y() : std::max(0, point.y() - rect.bottom());
    return dx * dx + dy * dy;
}

} // namespace

void KeepPlace(QWidget& window, const QString& name, FirstPlace first)
{
    new PlaceKeeper(window, name, std::move(first));
}

QRect FitInside(QRect outer, const QRect& area)
{
    if (area.isEmpty()) return outer;
    outer.setWidth(std::min(outer.width(), area.width()));
    outer.setHeight(std::min(outer.height(), area.height()));
    if (outer.right() > area.right()) outer.moveRight(area.right());
    if (outer.bottom() > area.bottom()) outer.moveBottom(area.bottom());
    if (outer.left() < area.left()) outer.moveLeft(area.left());
    if (outer.top() < area.top()) outer.moveTop(area.top());
    return outer;
}

QRect BelowOrAbove(const QRect& anchor, int height, const QRect& area)
{
    const QRect below(anchor.left(), anchor.bottom() + 1, anchor.width(), height);
    if (area.isEmpty() || below.bottom() <= area.bottom()) return below;
    const QRect above(anchor.left(), anchor.top() - height, anchor.width(), height);
    if (above.top() >= area.top()) return above;
    return FitInside(below, area);
}

QRect WorkAreaFor(const QRect& outer)
{
    const QPoint centre = outer.center();
    QScreen* nearest = QGuiApplication::screenAt(centre);
    long long best = std::numeric_limits<long long>::max();
    if (!nearest)
        for (QScreen* screen : QGuiApplication::screens())
            if (const long long d = distanceSquared(centre, screen->geometry()); d < best) {
                best = d;
                nearest = screen;
            }
    if (!nearest) nearest = QGuiApplication::primaryScreen();
    return nearest ? nearest->availableGeometry() : QRect();
}

QString WindowPlacesFile()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base = QDir::isAbsolutePath(state) ? state : QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/tessel/window-places.ini");
}

} // namespace tessel::app
