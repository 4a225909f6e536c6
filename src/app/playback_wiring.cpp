#include "app/playback_wiring.h"

#include "app/error_report.h"
#include "app/file_buttons.h"
#include "app/main_window.h"
#include "app/playback_panel.h"
#include "app/subtitle_grid.h"
#include "app/subtitle_model.h"
#include "preview/movie_window.h"
#include "preview/playback_controller.h"
#include "preview/video_dialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

namespace tessel::app {

// The grid as playback sees it. A selection made for playback must not seek,
// so it is marked while it happens. It also notes the current cell when a
// left button goes down, to tell a click on that very cell, which moves
// nothing, from one that selects another.
class PlaybackWiring::GridView : public QObject, public SubtitleGridView {
public:
    explicit GridView(SubtitleGrid& grid)
        : grid_(grid)
    {
        grid_.viewport()->installEventFilter(this);
    }

    int currentRow() const override { return grid_.currentTableRow(); }
    // The view would scroll to its new current cell by itself; here only the
    // "Auto-scroll subtitles" rule may scroll.
    void selectCellQuietly(int column, int row) override
    {
        const bool autoScroll = grid_.hasAutoScroll();
        grid_.setAutoScroll(false);
        quiet_ = true;
        grid_.selectCell(column, row);
        quiet_ = false;
        grid_.setAutoScroll(autoScroll);
    }
    int topRow() const override { return grid_.topRow(); }
    void setTopRow(int row) override { grid_.setTopRow(row); }
    // The header row lies outside the viewport: every row inside is a subtitle row.
    int visibleRowCount() const override
    {
        return grid_.viewport()->height() / grid_.verticalHeader()->defaultSectionSize();
    }

    bool quiet() const { return quiet_; }
    bool wasCurrentAtPress(const QModelIndex& index) const { return index == currentAtPress_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            currentAtPress_
                = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton ? grid_.currentIndex() : QModelIndex();
        return QObject::eventFilter(watched, event);
    }

private:
    SubtitleGrid& grid_;
    bool quiet_ = false;
    QPersistentModelIndex currentAtPress_;
};

namespace {

PlaybackControls controlsOf(const MainWindow& mainWindow)
{
    const PlaybackPanel& panel = mainWindow.playback();
    const FileButtons& buttons = mainWindow.fileButtons();
    PlaybackControls c;
    c.ButtonOpenMovie = buttons.openMovie();
    c.BtnPlay = panel.play();
    c.BtnStop = panel.stop();
    c.BtnPlayCurrent = panel.playCurrent();
    c.TrckBarSpeed = panel.speed();
    c.MovieTracker = panel.movieTracker();
    c.SeekMovieCheckBox = panel.seekMovie();
    c.AutoSelectCheckBox = panel.autoSelect();
    c.AutoScrollCheckBox = panel.autoScroll();
    c.LabelMovieInfoLength = buttons.movieLength();
    c.LabelMovieInfoFrames = buttons.movieFrames();
    c.LabelMovieInfoFPS = buttons.movieFps();
    c.LabelMovieInfoSize = buttons.movieSize();
    return c;
}

} // namespace

std::unique_ptr<QWidget> CreateMovieWindow(MainWindow& mainWindow) { return std::make_unique<TFormMovie>(&mainWindow); }

std::unique_ptr<PlaybackWiring> PlaybackWiring::Create(
    MainWindow& mainWindow, QWidget* movieWindow, const PlaybackServices& services)
{
    auto* movie = qobject_cast<TFormMovie*>(movieWindow);
    if (!movie) return nullptr;
    return std::make_unique<PlaybackWiring>(mainWindow, *movie, services);
}

PlaybackWiring::PlaybackWiring(MainWindow& mainWindow, TFormMovie& movieWindow, const PlaybackServices& services)
    : gridView_(std::make_unique<GridView>(mainWindow.grid()))
    , platformDialog_(services.videoDialog ? nullptr : std::make_unique<QtOpenFileDialog>(&mainWindow))
    , controller_(std::make_unique<PlaybackController>(&mainWindow, controlsOf(mainWindow), *gridView_, services.table,
          movieWindow, services.videoDialog ? *services.videoDialog : *platformDialog_, services.messages))
    , pause_(movieWindow.videoPlayer())
{
    connectGrid(mainWindow, services.errors);
}

PlaybackWiring::~PlaybackWiring() = default;

SubtitleGridView& PlaybackWiring::gridView() { return *gridView_; }

// After a bulk change the grid puts its current cell back (there was none
// for a moment): that is no selection by the user, and must not seek. A click
// on the current cell selects it again: back to its row's start.
void PlaybackWiring::connectGrid(MainWindow& mainWindow, ErrorReport& errors)
{
    SubtitleGrid& grid = mainWindow.grid();
    PlaybackController* controller = controller_.get();
    GridView* view = gridView_.get();
    auto selectCell = [controller, &errors](const QModelIndex& cell) {
        errors.run([&] { controller->SubtitleGridSelectCell(cell.column(), cell.row() + 1); });
    };
    QObject::connect(grid.selectionModel(), &QItemSelectionModel::currentChanged, controller,
        [view, selectCell](const QModelIndex& current, const QModelIndex& previous) {
            if (!view->quiet() && current.isValid() && previous.isValid()) selectCell(current);
        });
    QObject::connect(&grid, &QAbstractItemView::pressed, controller, [view, selectCell](const QModelIndex& cell) {
        if (view->wasCurrentAtPress(cell)) selectCell(cell);
    });
    QObject::connect(&grid.subtitleModel(), &SubtitleModel::cellEdited, controller,
        [controller, &errors](int, int row) { errors.run([&] { controller->ShowSubtitleText(row); }); });
}

} // namespace tessel::app
