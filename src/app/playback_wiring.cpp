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
#include <QHeaderView>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

namespace tessel::app {

// The grid as playback sees it.
class PlaybackWiring::GridView : public SubtitleGridView {
public:
    explicit GridView(SubtitleGrid& grid)
        : grid_(grid)
    {
    }

    int currentRow() const override { return grid_.currentTableRow(); }
    // The view would scroll to its new current cell by itself; here only the
    // "Auto-scroll subtitles" rule may scroll.
    void selectCellQuietly(int column, int row) override
    {
        const bool autoScroll = grid_.hasAutoScroll();
        grid_.setAutoScroll(false);
        grid_.selectCell(column, row);
        grid_.setAutoScroll(autoScroll);
    }
    int topRow() const override { return grid_.topRow(); }
    void setTopRow(int row) override { grid_.setTopRow(row); }
    // The header row lies outside the viewport: every row inside is a subtitle row.
    int visibleRowCount() const override
    {
        return grid_.viewport()->height() / grid_.verticalHeader()->defaultSectionSize();
    }

private:
    SubtitleGrid& grid_;
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
          movieWindow, services.videoDialog ? *services.videoDialog : *platformDialog_, services.messages,
          [&errors = services.errors](const std::function<void()>& command) { errors.run(command); }))
    , pause_(movieWindow.videoPlayer())
{
    connectGrid(mainWindow, services.errors);
}

PlaybackWiring::~PlaybackWiring() = default;

void PlaybackWiring::showChangedCell(int column, int row)
{
    gridView_->selectCellQuietly(column, row);
    controller_->ShowSubtitleText(row);
}

SubtitleGridView& PlaybackWiring::gridView() { return *gridView_; }

// Only the user's own selections seek; rows inserted, deleted or appended
// move the current cell without a word. After a bulk change the grid puts its
// current cell back (there was none for a moment): that is no selection by
// the user either. A click on the current cell selects it again: back to its
// row's start.
void PlaybackWiring::connectGrid(MainWindow& mainWindow, ErrorReport& errors)
{
    SubtitleGrid& grid = mainWindow.grid();
    PlaybackController* controller = controller_.get();
    QObject::connect(&grid, &SubtitleGrid::cellSelected, controller,
        [controller](int column, int row) { controller->SubtitleGridSelectCell(column, row); });
    QObject::connect(&grid.subtitleModel(), &SubtitleModel::cellEdited, controller,
        [controller, &errors](int, int row) { errors.run([&] { controller->ShowSubtitleText(row); }); });
}

} // namespace tessel::app
