#include "app/timing_keys_wiring.h"

#include "app/main_window.h"
#include "app/playback_panel.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "app/subtitle_model.h"
#include "core/edit_history.h"
#include "preview/movie_window.h"
#include "preview/playback_controller.h"
#include "tools/keyboard_timing.h"

#include <QHelpEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QToolButton>
#include <QToolTip>
#include <cmath>

namespace tessel::app {

struct TimingKeys::Key {
    std::vector<QKeySequence> keys;
    const char* what;
    std::function<void(TimingKeys&)> action; // empty: a key wired elsewhere
};

const std::vector<TimingKeys::Key>& TimingKeys::Keys()
{
    using K = QKeySequence;
    static const std::vector<Key> keys = {
        { { K(Qt::Key_F5) }, "play or pause", &TimingKeys::playOrPause },
        { { K(Qt::SHIFT | Qt::Key_F5) }, "play the current subtitle", &TimingKeys::playCurrentRow },
        { { K(Qt::Key_F6) }, "one frame back (pauses)", [](TimingKeys& t) { t.step(-1); } },
        { { K(Qt::Key_F7) }, "one frame forward (pauses)", [](TimingKeys& t) { t.step(1); } },
        { { K(Qt::SHIFT | Qt::Key_F6), K(Qt::SHIFT | Qt::Key_F7) }, "one second back, forward", {} },
        { { K(Qt::CTRL | Qt::Key_F6), K(Qt::CTRL | Qt::Key_F7) }, "five seconds back, forward", {} },
        { { K(Qt::Key_F8) }, "start of the current subtitle at the frame on screen", &TimingKeys::setStart },
        { { K(Qt::SHIFT | Qt::Key_F8), K(Qt::CTRL | Qt::Key_F8) }, "start one frame earlier, later", {} },
        { { K(Qt::Key_F9) }, "end at the frame on screen", &TimingKeys::setEnd },
        { { K(Qt::SHIFT | Qt::Key_F9), K(Qt::CTRL | Qt::Key_F9) }, "end one frame earlier, later", {} },
        { { K(Qt::Key_F10) },
            "end at the frame on screen, on to the next subtitle (starting 2 frames later if it has no start)",
            &TimingKeys::setEndAndGoOn },
        { { K(Qt::Key_F4) }, "show the Waveform window", {} },
    };
    return keys;
}

QString TimingKeys::KeyList()
{
    QStringList lines;
    for (const Key& key : Keys()) {
        QStringList names;
        for (const QKeySequence& sequence : key.keys)
            names << sequence.toString(QKeySequence::NativeText);
        lines << names.join(QStringLiteral(", ")) + QStringLiteral(": ") + QLatin1String(key.what);
    }
    return lines.join(QLatin1Char('\n'));
}

TimingKeys::TimingKeys(const ToolContext& context, PlaybackWiring& playback)
    : context_(context)
    , playback_(playback)
{
    addShortcuts(&context_.mainWindow.grid(), Qt::WidgetShortcut); // not while a cell is being edited
    showKeysInTooltips();
}

TimingKeys::~TimingKeys() = default;

void TimingKeys::addWindow(QWidget* window) { addShortcuts(window, Qt::WindowShortcut); }

// The pairs of a row share one line of the list; each key gets its action here.
void TimingKeys::addShortcuts(QWidget* widget, Qt::ShortcutContext context)
{
    const std::vector<std::pair<QKeySequence, std::function<void(TimingKeys&)>>> pairs = {
        { QKeySequence(Qt::SHIFT | Qt::Key_F6), [](TimingKeys& t) { t.jump(-1); } },
        { QKeySequence(Qt::SHIFT | Qt::Key_F7), [](TimingKeys& t) { t.jump(1); } },
        { QKeySequence(Qt::CTRL | Qt::Key_F6), [](TimingKeys& t) { t.jump(-5); } },
        { QKeySequence(Qt::CTRL | Qt::Key_F7), [](TimingKeys& t) { t.jump(5); } },
        { QKeySequence(Qt::SHIFT | Qt::Key_F8), [](TimingKeys& t) { t.nudgeStart(-1); } },
        { QKeySequence(Qt::CTRL | Qt::Key_F8), [](TimingKeys& t) { t.nudgeStart(1); } },
        { QKeySequence(Qt::SHIFT | Qt::Key_F9), [](TimingKeys& t) { t.nudgeEnd(-1); } },
        { QKeySequence(Qt::CTRL | Qt::Key_F9), [](TimingKeys& t) { t.nudgeEnd(1); } },
    };
    auto add = [&](const QKeySequence& key, const std::function<void(TimingKeys&)>& action) {
        auto* shortcut = new QShortcut(key, widget);
        shortcut->setContext(context);
        connect(shortcut, &QShortcut::activated, this, [this, action] { context_.errors.run([&] { action(*this); }); });
    };
    for (const Key& key : Keys())
        if (key.action) add(key.keys.front(), key.action);
    for (const auto& [key, action] : pairs)
        add(key, action);
}

// The buttons keep their own hints; the keys show under them.
void TimingKeys::showKeysInTooltips()
{
    const PlaybackPanel& panel = context_.mainWindow.playback();
    for (QToolButton* button : { panel.play(), panel.stop(), panel.playCurrent() })
        button->installEventFilter(this);
}

bool TimingKeys::eventFilter(QObject* watched, QEvent* event)
{
    auto* button = qobject_cast<QToolButton*>(watched);
    if (button && event->type() == QEvent::ToolTip) {
        const QString text = button->toolTip() + QStringLiteral("\n\nKeys (grid or Waveform window):\n") + KeyList();
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, button);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

VideoPlayer& TimingKeys::player() const { return static_cast<TFormMovie*>(context_.movieWindow)->videoPlayer(); }

bool TimingKeys::movieOpen() const { return player().isOpen(); }

int TimingKeys::currentRow() const { return context_.mainWindow.grid().currentTableRow(); }

int TimingKeys::frameOnScreen() const { return player().frameOnScreen(); }

void TimingKeys::change(const char* name, const std::function<void(int row)>& change)
{
    const int row = currentRow();
    if (!movieOpen() || row < 1 || row >= context_.table.rowCount()) return;
    {
        EditHistory::Step step(context_.history, name);
        change(row);
    }
    refreshMovieText();
}

// What the next timer event would show, at once.
void TimingKeys::refreshMovieText()
{
    const VideoPlayer& movie = player();
    playback_.controller().ProcessTimer(
        static_cast<int>(std::lround(movie.currentPosition())), static_cast<int>(std::lround(movie.duration())));
}

void TimingKeys::setStart()
{
    change("Set start", [this](int row) { SetRowStart(context_.table, row, frameOnScreen()); });
}

void TimingKeys::setEnd()
{
    change("Set end", [this](int row) { SetRowEnd(context_.table, row, frameOnScreen()); });
}

// The next row becomes current without seeking: the movie plays on.
void TimingKeys::setEndAndGoOn()
{
    const int frame = frameOnScreen();
    change("Set end and go on", [this, frame](int row) {
        const int next = SetEndAndGoOn(context_.table, row, frame);
        if (next == row) return;
        SubtitleGrid& grid = context_.mainWindow.grid();
        playback_.gridView().selectCellQuietly(grid.currentTableColumn(), next);
        grid.scrollTo(grid.currentIndex());
        playback_.controller().sync().holdSelectionAt(frame);
    });
}

void TimingKeys::nudgeStart(int frames)
{
    change("Nudge start", [this, frames](int row) { NudgeStart(context_.table, row, frames); });
}

void TimingKeys::nudgeEnd(int frames)
{
    change("Nudge end", [this, frames](int row) { NudgeEnd(context_.table, row, frames); });
}

void TimingKeys::step(int frames) { player().stepFrames(frames); }

void TimingKeys::jump(int seconds)
{
    VideoPlayer& movie = player();
    movie.seekFrames(static_cast<int>(std::lround(seconds * movie.framesPerSecond())));
}

void TimingKeys::playOrPause()
{
    if (!movieOpen()) return;
    if (player().isPlaying())
        playback_.controller().BtnStopClick();
    else
        playback_.controller().BtnPlayClick();
}

void TimingKeys::playCurrentRow()
{
    if (movieOpen()) playback_.controller().BtnPlayCurrentClick();
}

} // namespace tessel::app
