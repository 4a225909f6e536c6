#include "window_fakes.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <xcb/xcb.h>

namespace tessel::test {
namespace {

// Nothing once the script has run out: the user cancelled.
template <typename T> std::optional<T> nextAnswer(std::deque<std::optional<T>>& answers)
{
    std::optional<T> answer;
    if (answers.empty()) return answer;
    answer.swap(answers.front());
    answers.pop_front();
    return answer;
}

} // namespace

std::optional<QString> ScriptedFileDialogs::chooseSubtitleFile()
{
    ++opensShown;
    return nextAnswer(openAnswers);
}

std::optional<app::SaveChoice> ScriptedFileDialogs::chooseSaveFile() { return nextAnswer(saveAnswers); }

std::optional<QString> ScriptedVideoDialog::Execute(const QString& t, const QStringList& f)
{
    ++shown;
    title = t;
    filters = f;
    return answer;
}

void FakeGridView::selectCellQuietly(int column, int row)
{
    lastQuietColumn = column;
    current = row;
    ++quietSelections;
}

void WhenModal(const QString& name, std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, name, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || (!name.isEmpty() && modal->objectName() != name)) return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

std::string MicroDvdLines(int first, int count)
{
    std::string text;
    for (int n = first; n < first + count; ++n)
        text += "{" + std::to_string(n * 10) + "}{" + std::to_string(n * 10 + 5) + "}Line " + std::to_string(n) + "\n";
    return text;
}

std::optional<QString> MissingWindowManager()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return QStringLiteral("needs an X screen with a window manager (tests/with-window-manager runs one)");
    static const bool framed = [] {
        QWidget probe;
        probe.resize(100, 100);
        probe.show();
        return QTest::qWaitFor([&] { return probe.frameGeometry() != probe.geometry(); }, 5000);
    }();
    if (!framed) return QStringLiteral("no window manager frames the windows on this X screen");
    return std::nullopt;
}

} // namespace tessel::test

namespace tessel::test {

QRect ManagerFrame(const QWidget& window)
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !window.windowHandle()) return window.frameGeometry();
    xcb_connection_t* connection = x11->connection();
    xcb_window_t frame = static_cast<xcb_window_t>(window.winId());
    for (;;) { // up to the child of the root window
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, frame), nullptr);
        if (!tree) return {};
        const xcb_window_t parent = tree->parent, root = tree->root;
        std::free(tree);
        if (parent == root || parent == XCB_NONE) break;
        frame = parent;
    }
    xcb_get_geometry_reply_t* geometry
        = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, frame), nullptr);
    if (!geometry) return {};
    const int border = geometry->border_width;
    const QRect outer(geometry->x, geometry->y, geometry->width + 2 * border, geometry->height + 2 * border);
    std::free(geometry);
    return outer;
}

} // namespace tessel::test
