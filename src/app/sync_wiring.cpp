#include "app/sync_wiring.h"

#include "app/commands.h"
#include "app/main_window.h"
#include "app/placement.h"
#include "app/subtitle_grid.h"
#include "app/window_places.h"
#include "audio/peak_cache.h"
#include "core/errors.h"
#include "preview/window_frame.h"
#include "tools/sync_points.h"

#include <QStatusBar>
#include <QTimer>

namespace tessel::app {

SyncWiring::SyncWiring(const SyncServices& services, CommandRegistry& commands, std::function<int()> frameOnScreen)
    : cache_(std::make_unique<PeakCache>())
    , services_(services)
    , frameOnScreen_(std::move(frameOnScreen))
{
    if (!services_.cache) services_.cache = cache_.get();
    services_.table.addRecorder(this);
    closingHook_ = services_.history.addClosingHook([this] { followRowMoves(); });
    // A replay brings the points back as they were: the moves it made are in it.
    historyObserver_ = services_.history.addObserver([this](EditHistory::Event event) {
        if (event != EditHistory::Event::StepAdded && event != EditHistory::Event::StepMerged) rowMoves_.clear();
    });
    registerCommands(commands);
}

SyncWiring::~SyncWiring()
{
    services_.history.removeObserver(historyObserver_);
    services_.history.removeClosingHook(closingHook_);
    services_.table.removeRecorder(this);
}

SyncWindow& SyncWiring::window()
{
    if (!window_) {
        window_ = new SyncWindow(services_, &services_.mainWindow);
        // The first time a third down over the main window; then where the user left it.
        KeepPlace(*window_, QStringLiteral("synchronise"), [this] {
            const QWidget& main = services_.mainWindow;
            const QSize outer = window_->size().grownBy(GuessedFrame(*window_, &main));
            return QRect(ThirdDownOver(OuterGeometry(main), outer), outer);
        });
    }
    return *window_;
}

int SyncWiring::currentRow() const { return services_.mainWindow.grid().currentTableRow(); }

QString SyncWiring::pointUnavailable(bool needsPoint) const
{
    const int row = currentRow();
    if (row < 1 || row >= services_.table.rowCount()) return QStringLiteral("needs a current subtitle");
    if (!needsPoint) return {};
    for (const SyncPoint& p : ReadSyncPoints(services_.table))
        if (p.row == row) return {};
    return QStringLiteral("the current row has no sync point");
}

void SyncWiring::registerCommands(CommandRegistry& commands)
{
    const auto add = [&](const char* id, const char* name, const char* description, QKeySequence key, KeyScope scope,
                         std::function<void()> run, std::function<QString()> unavailable = {}) {
        Command command;
        command.id = QLatin1String(id);
        command.name = QString::fromUtf8(name);
        command.description = QString::fromUtf8(description);
        command.key = key;
        command.scope = scope;
        command.inGridMenu = true;
        command.run = std::move(run);
        command.unavailable = std::move(unavailable);
        commands.add(std::move(command));
    };
    const auto hasPoints = [this] {
        return ReadSyncPoints(services_.table).empty() ? QStringLiteral("there are no sync points") : QString();
    };
    add("sync.open", "Synchronise\u2026",
        "Fit the whole file to the movie's speech or to a reference file: offset, speed, cuts",
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Y), KeyScope::Window,
        [this] { window().open(services_.movie().file.isEmpty() ? SyncWindow::Reference : SyncWindow::Speech); });
    add(
        "sync.setPoint", "Set sync point", "The current row must start at the frame on screen (a sync point)",
        QKeySequence(Qt::ALT | Qt::Key_P), KeyScope::Grid, [this] { setPoint(); },
        [this] {
            if (frameOnScreen_() < 0) return QStringLiteral("needs a movie");
            return pointUnavailable(false);
        });
    add(
        "sync.removePoint", "Remove sync point", "The current row is no sync point any more", {}, KeyScope::Window,
        [this] { removePoint(); }, [this] { return pointUnavailable(true); });
    add("sync.points", "Sync points\u2026", "List and edit the sync points, each with its residual", {},
        KeyScope::Window, [this] { window().open(SyncWindow::Points); });
    add(
        "sync.toPoints", "Sync to points",
        "Map every row by straight lines between the sync points, rounded to frames (one undo step)", {},
        KeyScope::Window, [this] { syncToPoints(); }, hasPoints);
    add(
        "sync.clearPoints", "Clear sync points", "Remove every sync point (one undo step)", {}, KeyScope::Window,
        [this] { clearPoints(); }, hasPoints);
}

void SyncWiring::setPoint()
{
    const int frame = frameOnScreen_();
    const int row = currentRow();
    if (frame < 0 || row < 1 || row >= services_.table.rowCount()) return;
    {
        EditHistory::Step step(services_.history, "Set sync point");
        SetSyncPoint(services_.table, row, frame);
    }
    services_.mainWindow.statusBar()->showMessage(tr("Row %1 must start at frame %2: sync point set (%3 in all).")
                                                      .arg(row)
                                                      .arg(frame)
                                                      .arg(ReadSyncPoints(services_.table).size()),
        5000);
}

void SyncWiring::removePoint()
{
    EditHistory::Step step(services_.history, "Remove sync point");
    SetSyncPoint(services_.table, currentRow(), std::nullopt);
}

void SyncWiring::clearPoints()
{
    EditHistory::Step step(services_.history, "Clear sync points");
    ClearSyncPoints(services_.table);
}

void SyncWiring::syncToPoints()
{
    const PointSyncPlan plan = PlanPointSync(services_.table, ReadSyncPoints(services_.table));
    int changed = 0;
    {
        EditHistory::Step step(services_.history, "Sync to points");
        changed = ApplyPointSync(services_.table, plan);
    }
    QStringList residuals;
    for (const PointSyncPlan::Point& p : plan.points)
        residuals << tr("row %1 %2").arg(p.row).arg(p.residual, 0, 'f', 1);
    services_.mainWindow.statusBar()->showMessage(
        tr("Synchronised to %1 points, %2 rows changed; residuals in frames: %3")
            .arg(plan.points.size())
            .arg(changed)
            .arg(residuals.join(QStringLiteral(", "))));
}

void SyncWiring::rowsInserted(int row, int count)
{
    // A reader stores its rows one after the other: one move.
    if (!rowMoves_.empty() && rowMoves_.back().second > 0 && rowMoves_.back().first + rowMoves_.back().second == row)
        rowMoves_.back().second += count;
    else
        rowMoves_.emplace_back(row, count);
}

void SyncWiring::rowsRemoving(int row, int count) { rowMoves_.emplace_back(row, -count); }

void SyncWiring::sideDataChanging(std::string_view key, std::string_view)
{
    if (key != SyncPointsKey) return;
    // Whoever sets the points sets them for the rows as they stand.
    rowMoves_.clear();
    pointsChanged();
}

// Inside the step that moved rows: the points move with them, and undo takes
// both back together.
void SyncWiring::followRowMoves()
{
    if (rowMoves_.empty()) return;
    const std::vector<std::pair<int, int>> moves = std::exchange(rowMoves_, {});
    std::vector<SyncPoint> points = ReadSyncPoints(services_.table);
    if (points.empty()) return;
    const std::vector<SyncPoint> before = points;
    for (const auto& [row, count] : moves) {
        if (count > 0)
            PointsAfterInsert(points, row, count);
        else
            PointsAfterRemove(points, row, -count);
    }
    if (points != before) services_.table.setSideData(SyncPointsKey, EncodeSyncPoints(points));
}

// The window's list follows undo, redo and the keys, once the change is done.
void SyncWiring::pointsChanged()
{
    if (!window_ || refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        if (window_ && window_->source() == SyncWindow::Points) window_->refreshPoints();
    });
}

} // namespace tessel::app
