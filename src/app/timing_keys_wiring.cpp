#include "app/timing_keys_wiring.h"

#include "app/main_window.h"
#include "app/playback_panel.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "core/edit_history.h"
#include "core/numbers.h"
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

namespace {

struct Binding {
    QKeyCombination key;
    void (*action)(TimingKeys&);
};

const Binding Bindings[] = {
    { Qt::Key_F5, [](TimingKeys& t) { t.playOrPause(); } },
    { Qt::SHIFT | Qt::Key_F5, [](TimingKeys& t) { t.playCurrentRow(); } },
    { Qt::Key_F6, [](TimingKeys& t) { t.step(-1); } },
    { Qt::Key_F7, [](TimingKeys& t) { t.step(1); } },
    { Qt::SHIFT | Qt::Key_F6, [](TimingKeys& t) { t.jump(-1); } },
    { Qt::SHIFT | Qt::Key_F7, [](TimingKeys& t) { t.jump(1); } },
    { Qt::CTRL | Qt::Key_F6, [](TimingKeys& t) { t.jump(-5); } },
    { Qt::CTRL | Qt::Key_F7, [](TimingKeys& t) { t.jump(5); } },
    { Qt::Key_F8, [](TimingKeys& t) { t.setStart(); } },
    { Qt::SHIFT | Qt::Key_F8, [](TimingKeys& t) { t.nudgeStart(-1); } },
    { Qt::CTRL | Qt::Key_F8, [](TimingKeys& t) { t.nudgeStart(1); } },
    { Qt::Key_F9, [](TimingKeys& t) { t.setEnd(); } },
    { Qt::SHIFT | Qt::Key_F9, [](TimingKeys& t) { t.nudgeEnd(-1); } },
    { Qt::CTRL | Qt::Key_F9, [](TimingKeys& t) { t.nudgeEnd(1); } },
    { Qt::Key_F10, [](TimingKeys& t) { t.setEndAndGoOn(); } },
    { Qt::CTRL | Qt::SHIFT | Qt::Key_F8, [](TimingKeys& t) { t.setStart(false); } },
    { Qt::CTRL | Qt::SHIFT | Qt::Key_F9, [](TimingKeys& t) { t.setEnd(false); } },
    { Qt::CTRL | Qt::SHIFT | Qt::Key_F10, [](TimingKeys& t) { t.setEndAndGoOn(false); } },
};

// As the tooltips list them; F4 belongs to the Waveform window's wiring.
const char* const KeyHelp[][2] = {
    { "F5", "play or pause" },
    { "Shift+F5", "play the current subtitle" },
    { "F6, F7", "one frame back, forward (pauses)" },
    { "Shift+F6, Shift+F7", "one second back, forward" },
    { "Ctrl+F6, Ctrl+F7", "five seconds back, forward" },
    { "F8", "start of the current subtitle at the frame on screen" },
    { "Shift+F8, Ctrl+F8", "start one frame earlier, later" },
    { "F9", "end at the frame on screen" },
    { "Shift+F9, Ctrl+F9", "end one frame earlier, later" },
    { "F10", "end at the frame on screen, on to the next subtitle (starting 2 frames later if it has no start)" },
    { "Ctrl+Shift+F8, F9, F10", "as F8, F9, F10 without snapping to a shot change" },
    { "F4", "show the Waveform window" },
};

} // namespace

QString TimingKeys::KeyList()
{
    QStringList lines;
    for (const auto& [keys, what] : KeyHelp)
        lines << QLatin1String(keys) + QStringLiteral(": ") + QLatin1String(what);
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

void TimingKeys::addShortcuts(QWidget* widget, Qt::ShortcutContext context)
{
    for (const Binding& binding : Bindings) {
        auto* shortcut = new QShortcut(QKeySequence(binding.key), widget);
        shortcut->setContext(context);
        connect(shortcut, &QShortcut::activated, this,
            [this, action = binding.action] { context_.errors.run([&] { action(*this); }); });
    }
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

int TimingKeys::snapped(int frame, bool snap) const
{
    return snap && snap_ ? static_cast<int>(snap_(frame, std::nullopt)) : frame;
}

void TimingKeys::setStart(bool snap)
{
    change("Set start", [this, snap](int row) { SetRowStart(context_.table, row, snapped(frameOnScreen(), snap)); });
}

void TimingKeys::setEnd(bool snap)
{
    change("Set end", [this, snap](int row) { SetRowEnd(context_.table, row, snapped(frameOnScreen(), snap)); });
}

// The next row becomes current without seeking: the movie plays on.
void TimingKeys::setEndAndGoOn(bool snap)
{
    const int frame = frameOnScreen();
    change("Set end and go on", [this, frame, snap](int row) {
        const int next = SetEndAndGoOn(context_.table, row, snapped(frame, snap));
        if (next == row) return;
        SubtitleGrid& grid = context_.mainWindow.grid();
        playback_.gridView().selectCellQuietly(grid.currentTableColumn(), next);
        grid.scrollTo(grid.currentIndex());
        playback_.controller().sync().holdSelectionAt(frame);
    });
}

// A nudge that heads for a shot change nearby lands on it.
void TimingKeys::snapNudged(int column, int row, std::optional<int32_t> before)
{
    const std::optional<int32_t> after = TryStrToInt(context_.table.cell(column, row));
    if (!snap_ || !before || !after) return;
    const int64_t frame = snap_(*after, *before);
    if (frame != *after) context_.table.setCell(column, row, IntToStr(frame));
}

void TimingKeys::nudgeStart(int frames)
{
    change("Nudge start", [this, frames](int row) {
        const std::optional<int32_t> before = TryStrToInt(context_.table.cell(SubtitleTable::From, row));
        if (NudgeStart(context_.table, row, frames)) snapNudged(SubtitleTable::From, row, before);
    });
}

void TimingKeys::nudgeEnd(int frames)
{
    change("Nudge end", [this, frames](int row) {
        const std::optional<int32_t> before = TryStrToInt(context_.table.cell(SubtitleTable::To, row));
        if (NudgeEnd(context_.table, row, frames)) snapNudged(SubtitleTable::To, row, before);
    });
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
