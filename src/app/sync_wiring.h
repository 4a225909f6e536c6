#pragma once
#include "app/sync_window.h"

#include <QObject>
#include <memory>
#include <utility>
#include <vector>

// Where synchronisation meets the editor: the "Synchronise" window (its key
// and the grid's pop-up menu), and the sync points: a key sets the current
// row's point to the frame on screen, the pop-up menu lists, edits and
// clears them and syncs to them. Every change is one undo step; the points
// move with their rows when rows are inserted or deleted.
namespace tessel {
class PeakCache;
}

namespace tessel::app {

class CommandRegistry;

class SyncWiring : public QObject, private TableRecorder {
    Q_OBJECT
public:
    // `frameOnScreen` answers -1 without a movie. The speech is cached in the
    // waveform's folder when the services name no cache.
    SyncWiring(const SyncServices& services, CommandRegistry& commands, std::function<int()> frameOnScreen);
    ~SyncWiring() override;

    // Made when first opened, so that the editor starts as fast as without it.
    SyncWindow& window();
    bool windowMade() const { return window_ != nullptr; }

    void setPoint();
    void removePoint();
    void clearPoints();
    // All rows by the points, one undo step; the residuals go to the status bar.
    void syncToPoints();

private:
    void registerCommands(CommandRegistry& commands);
    QString pointUnavailable(bool needsPoint) const;
    int currentRow() const;
    void followRowMoves();
    void pointsChanged();

    // TableRecorder: the rows' moves, for the points.
    void cellsChanging(int, unsigned, const std::string_view*) override { }
    void rowsInserted(int row, int count) override;
    void rowsRemoving(int row, int count) override;
    void documentDataChanging(std::string_view) override { }
    void sideDataChanging(std::string_view key, std::string_view after) override;
    bool followsReplacement() const override { return true; }
    void tableReplaced() override { rowMoves_.clear(); }

    std::unique_ptr<PeakCache> cache_; // the waveform's folder: the speech lies beside the peaks
    SyncServices services_;
    std::function<int()> frameOnScreen_;
    SyncWindow* window_ = nullptr;
    std::vector<std::pair<int, int>> rowMoves_; // rows in (count > 0) or out since the step began
    int closingHook_ = 0, historyObserver_ = 0;
    bool refreshQueued_ = false;
};

} // namespace tessel::app
