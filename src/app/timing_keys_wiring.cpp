#include "app/timing_keys_wiring.h"

#include "app/commands.h"
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
#include <QToolButton>
#include <QToolTip>
#include <cmath>

namespace tessel::app {

namespace {

struct Binding {
    const char* id;
    const char* name;
    const char* description;
    QKeyCombination key;
    void (*action)(TimingKeys&);
    bool onRow; // changes the current row
};

const Binding Bindings[] = {
    { "timing.playPause", "Play or pause", "Plays the movie, or pauses it", Qt::Key_F5,
        [](TimingKeys& t) { t.playOrPause(); }, false },
    { "timing.playRow", "Play the current subtitle", "Plays the movie from the current subtitle's start to its end",
        Qt::SHIFT | Qt::Key_F5, [](TimingKeys& t) { t.playCurrentRow(); }, false },
    { "timing.frameBack", "One frame back", "Steps the movie one frame back and pauses it", Qt::Key_F6,
        [](TimingKeys& t) { t.step(-1); }, false },
    { "timing.frameForward", "One frame forward", "Steps the movie one frame forward and pauses it", Qt::Key_F7,
        [](TimingKeys& t) { t.step(1); }, false },
    { "timing.secondBack", "One second back", "Moves the movie one second back", Qt::SHIFT | Qt::Key_F6,
        [](TimingKeys& t) { t.jump(-1); }, false },
    { "timing.secondForward", "One second forward", "Moves the movie one second forward", Qt::SHIFT | Qt::Key_F7,
        [](TimingKeys& t) { t.jump(1); }, false },
    { "timing.fiveSecondsBack", "Five seconds back", "Moves the movie five seconds back", Qt::CTRL | Qt::Key_F6,
        [](TimingKeys& t) { t.jump(-5); }, false },
    { "timing.fiveSecondsForward", "Five seconds forward", "Moves the movie five seconds forward",
        Qt::CTRL | Qt::Key_F7, [](TimingKeys& t) { t.jump(5); }, false },
    { "timing.setStart", "Set start", "The current subtitle starts at the frame on screen", Qt::Key_F8,
        [](TimingKeys& t) { t.setStart(); }, true },
    { "timing.startEarlier", "Start one frame earlier", "The current subtitle starts one frame earlier",
        Qt::SHIFT | Qt::Key_F8, [](TimingKeys& t) { t.nudgeStart(-1); }, true },
    { "timing.startLater", "Start one frame later", "The current subtitle starts one frame later",
        Qt::CTRL | Qt::Key_F8, [](TimingKeys& t) { t.nudgeStart(1); }, true },
    { "timing.setEnd", "Set end", "The current subtitle ends at the frame on screen (the last frame it shows)",
        Qt::Key_F9, [](TimingKeys& t) { t.setEnd(); }, true },
    { "timing.endEarlier", "End one frame earlier", "The current subtitle ends one frame earlier",
        Qt::SHIFT | Qt::Key_F9, [](TimingKeys& t) { t.nudgeEnd(-1); }, true },
    { "timing.endLater", "End one frame later", "The current subtitle ends one frame later", Qt::CTRL | Qt::Key_F9,
        [](TimingKeys& t) { t.nudgeEnd(1); }, true },
    { "timing.setEndAndGoOn", "Set end and go on",
        "The current subtitle ends at the frame on screen and the next becomes current, starting 2 frames later if "
        "it has no start",
        Qt::Key_F10, [](TimingKeys& t) { t.setEndAndGoOn(); }, true },
    { "timing.setStartUnsnapped", "Set start without snapping",
        "The current subtitle starts at the frame on screen, whatever shot change is near",
        Qt::CTRL | Qt::SHIFT | Qt::Key_F8, [](TimingKeys& t) { t.setStart(false); }, true },
    { "timing.setEndUnsnapped", "Set end without snapping",
        "The current subtitle ends at the frame on screen, whatever shot change is near",
        Qt::CTRL | Qt::SHIFT | Qt::Key_F9, [](TimingKeys& t) { t.setEnd(false); }, true },
    { "timing.setEndAndGoOnUnsnapped", "Set end and go on without snapping",
        "As Set end and go on, whatever shot change is near", Qt::CTRL | Qt::SHIFT | Qt::Key_F10,
        [](TimingKeys& t) { t.setEndAndGoOn(false); }, true },
};

} // namespace

QString TimingKeys::keyList() const
{
    const CommandRegistry& registry = *context_.commands;
    QStringList lines;
    for (const Binding& binding : Bindings)
        if (const Command* command = registry.find(QLatin1String(binding.id)))
            if (const QString keys = KeysText(registry.keys(*command)); !keys.isEmpty())
                lines << keys + QStringLiteral(": ") + command->name;
    // The Waveform window's own key.
    if (const Command* command = registry.find(QStringLiteral("waveform.show")))
        if (const QString keys = KeysText(registry.keys(*command)); !keys.isEmpty())
            lines << keys + QStringLiteral(": ") + command->name;
    return lines.join(QLatin1Char('\n'));
}

TimingKeys::TimingKeys(const ToolContext& context, PlaybackWiring& playback)
    : context_(context)
    , playback_(playback)
{
    registerCommands();
    showKeysInTooltips();
}

TimingKeys::~TimingKeys() = default;

void TimingKeys::addWindow(QWidget* window) { context_.commands->addWindow(window); }

// On the grid (not while a cell is being edited) and in the windows added.
void TimingKeys::registerCommands()
{
    for (const Binding& binding : Bindings) {
        Command command;
        command.id = QLatin1String(binding.id);
        command.name = QLatin1String(binding.name);
        command.description = QLatin1String(binding.description);
        command.key = QKeySequence(binding.key);
        command.scope = KeyScope::Grid;
        command.run = [this, action = binding.action] { action(*this); };
        command.unavailable = [this, onRow = binding.onRow] {
            if (!movieOpen()) return QStringLiteral("needs a movie");
            const int row = currentRow();
            if (onRow && (row < 1 || row >= context_.table.rowCount()))
                return QStringLiteral("needs a current subtitle");
            return QString();
        };
        context_.commands->add(std::move(command));
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
        const QString text = button->toolTip() + QStringLiteral("\n\nKeys (grid or Waveform window):\n") + keyList();
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
