#include "preview/window_frame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace tessel {
namespace {

constexpr const char* RememberedFrame = "tesselFrame";

// The frame as Qt reports it now. While the window manager is still making
// it, Qt may report one that does not wrap the window: none yet.
QMargins reportedFrame(const QWidget& window)
{
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    const QMargins margins { client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
        frame.bottom() - client.bottom() };
    if (margins.left() < 0 || margins.top() < 0 || margins.right() < 0 || margins.bottom() < 0) return {};
    return margins;
}

QString watchName(const char* purpose) { return QStringLiteral("waits for the frame: ") + QLatin1String(purpose); }

// Waits for the window's frame on the window's own events: being framed moves
// the client (or resizes it), or at least shows it anew, so one of them comes
// with the frame.
class FramedWatch : public QObject {
public:
    FramedWatch(QWidget& window, const char* purpose, std::function<void()> framed)
        : QObject(&window)
        , window_(window)
        , framed_(std::move(framed))
    {
        setObjectName(watchName(purpose));
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Show && type != QEvent::Paint)
            return false;
        if (reportedFrame(window_).isNull()) return false;
        window_.removeEventFilter(this);
        // After the event: what runs may move or resize the window again.
        QMetaObject::invokeMethod(
            &window_, [framed = std::move(framed_)] { framed(); }, Qt::QueuedConnection);
        deleteLater();
        return false;
    }

private:
    QWidget& window_;
    std::function<void()> framed_;
};

} // namespace

bool FramesComeLater()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

QMargins FrameMargins(const QWidget& window)
{
    const QMargins frame = reportedFrame(window);
    if (frame.isNull()) return window.property(RememberedFrame).value<QMargins>();
    // The frame of a window stays what it is; only Qt's report of it comes and goes.
    const_cast<QWidget&>(window).setProperty(RememberedFrame, QVariant::fromValue(frame));
    return frame;
}

bool IsFramed(const QWidget& window) { return !FrameMargins(window).isNull(); }

QRect OuterGeometry(const QWidget& window) { return window.geometry().marginsAdded(FrameMargins(window)); }

void MoveFrameTo(QWidget& window, QPoint position)
{
    if (!IsFramed(window)) {
        window.move(position);
        return;
    }
    const QMargins frame = FrameMargins(window);
    window.setGeometry(QRect(position + QPoint(frame.left(), frame.top()), window.size()));
}

QMargins GuessedFrame(const QWidget& window, const QWidget* reference)
{
    if (IsFramed(window) || !reference || !FramesComeLater()) return FrameMargins(window);
    return FrameMargins(*reference);
}

void WhenFramed(QWidget& window, const char* purpose, std::function<void()> framed)
{
    if (!FramesComeLater()) return;
    if (IsFramed(window)) {
        framed();
        return;
    }
    for (QObject* waiting : window.findChildren<QObject*>(watchName(purpose), Qt::FindDirectChildrenOnly))
        delete waiting;
    new FramedWatch(window, purpose, std::move(framed));
}

void SetOuterSizes(QWidget& window, QSize size, QSize minimum)
{
    if (!FramesComeLater()) {
        window.setMinimumSize(minimum);
        window.resize(size);
        return;
    }
    const auto fit = [&window, size, minimum] {
        const QMargins frame = FrameMargins(window);
        const QSize border(frame.left() + frame.right(), frame.top() + frame.bottom());
        window.setMinimumSize(minimum - border);
        window.resize(size - border);
    };
    fit();
    if (IsFramed(window)) return;
    QPointer<QWidget> guarded(&window);
    WhenFramed(window, "outer sizes", [guarded, size, fit] {
        if (guarded && guarded->size() == size) fit();
    });
}

} // namespace tessel
