#include "app/waveform_wiring.h"

#include "app/commands.h"
#include "app/main_window.h"
#include "app/playback_wiring.h"
#include "app/subtitle_grid.h"
#include "app/subtitle_model.h"
#include "app/timing_keys_wiring.h"
#include "app/window_places.h"
#include "audio/peak_cache.h"
#include "core/edit_history.h"
#include "preview/movie_window.h"
#include "preview/playback_controller.h"
#include "preview/waveform_view.h"
#include "preview/waveform_window.h"
#include "preview/window_frame.h"
#include "tools/keyboard_timing.h"

#include <QItemSelectionModel>
#include <cmath>

namespace tessel::app {
namespace {

constexpr int WindowHeight = 200;
// Each drag merges its moves into one undo step under its own key.
constexpr quint64 DragKeyBase = quint64(0x57415645) << 32;

VideoPlayer& playerOf(const ToolContext& context)
{
    return static_cast<TFormMovie*>(context.movieWindow)->videoPlayer();
}

} // namespace

WaveformWiring::WaveformWiring(const ToolContext& context, PlaybackWiring& playback, TimingKeys& keys)
    : context_(context)
    , playback_(playback)
    , cache_(std::make_unique<PeakCache>())
    , window_(std::make_unique<WaveformWindow>(context.table, cache_.get()))
{
    keys.addWindow(window_.get());
    connectPlayer();
    connectGrid();
    connectView();
    KeepPlace(*window_, QStringLiteral("waveform"), [this] { return belowMainWindow(); });
    Command reopen;
    reopen.id = QStringLiteral("waveform.show");
    reopen.name = QStringLiteral("Waveform window");
    reopen.description = QStringLiteral("Shows the Waveform window (the movie's sound under the rows) again");
    reopen.key = QKeySequence(Qt::Key_F4);
    // On the grid like the timing keys: elsewhere F4 opens a drop-down list.
    reopen.scope = KeyScope::Grid;
    reopen.run = [this] { showWindow(true); };
    context_.commands->add(std::move(reopen));
}

WaveformWiring::~WaveformWiring() = default;

void WaveformWiring::connectPlayer()
{
    VideoPlayer& player = playerOf(context_);
    WaveformWindow* window = window_.get();
    QObject::connect(&player, &VideoPlayer::openComplete, window, [this, &player] {
        window_->openMovie(player.fileName(), player.framesPerSecond(),
            static_cast<int64_t>(std::llround(player.frameCount() * 1000.0 / player.framesPerSecond())));
        showWindow(false);
    });
    QObject::connect(&player, &VideoPlayer::openFailed, window, [window] { window->closeMovie(); });
    QObject::connect(&player, &VideoPlayer::timer, window, [window, &player] {
        if (window->isVisible())
            window->view().setPlayPosition(player.frameOnScreen(), player.isPlaying(), player.rate());
    });
}

void WaveformWiring::connectGrid()
{
    SubtitleGrid& grid = context_.mainWindow.grid();
    WaveformView* view = &window_->view();
    QObject::connect(grid.selectionModel(), &QItemSelectionModel::currentChanged, view,
        [view, &grid] { view->setCurrentRow(grid.currentTableRow()); });
    const SubtitleModel* model = &grid.subtitleModel();
    auto changed = [view] { view->contentChanged(); };
    QObject::connect(model, &QAbstractItemModel::dataChanged, view, changed);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, view, changed);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, view, changed);
    QObject::connect(model, &QAbstractItemModel::modelReset, view, changed);
}

void WaveformWiring::connectView()
{
    WaveformView* view = &window_->view();
    ErrorReport& errors = context_.errors;
    QObject::connect(view, &WaveformView::seekRequested, view,
        [this, &errors](int frame) { errors.run([&] { playerOf(context_).setCurrentPosition(frame); }); });
    QObject::connect(
        view, &WaveformView::edgeDragged, view, [this, &errors](int row, bool end, int frame, quint64 drag) {
            errors.run([&] { moveEdge(row, end, frame, drag); });
        });
    QObject::connect(view, &WaveformView::rowActivated, view, [this, &errors](int row) {
        errors.run([&] {
            SubtitleGrid& grid = context_.mainWindow.grid();
            // As a click in the grid: the movie goes there.
            const int column = grid.currentTableColumn();
            grid.selectCell(column, row);
            playback_.controller().SubtitleGridSelectCell(column, row);
        });
    });
}

void WaveformWiring::moveEdge(int row, bool end, int frame, quint64 drag)
{
    {
        EditHistory::Step step(context_.history, end ? "Move end" : "Move start", DragKeyBase | (drag & 0xffffffff));
        if (end)
            SetRowEnd(context_.table, row, frame);
        else
            SetRowStart(context_.table, row, frame);
    }
    const VideoPlayer& player = playerOf(context_);
    if (player.isOpen())
        playback_.controller().ProcessTimer(
            static_cast<int>(std::lround(player.currentPosition())), static_cast<int>(std::lround(player.duration())));
}

void WaveformWiring::showWindow(bool activate)
{
    window_->setAttribute(Qt::WA_ShowWithoutActivating, !activate);
    window_->show();
    if (activate) {
        window_->raise();
        window_->activateWindow();
    }
    SubtitleGrid& grid = context_.mainWindow.grid();
    window_->view().setCurrentRow(grid.currentTableRow());
}

// As wide as the main window, right under its frame (or above it when the
// screen has no room below), its view WindowHeight pixels high.
QRect WaveformWiring::belowMainWindow() const
{
    const QRect main = OuterGeometry(context_.mainWindow);
    const QMargins frame = GuessedFrame(*window_, &context_.mainWindow);
    return BelowOrAbove(main, WindowHeight + frame.top() + frame.bottom(), WorkAreaFor(main));
}

} // namespace tessel::app
