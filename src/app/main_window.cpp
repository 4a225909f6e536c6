#include "app/main_window.h"

#include "app/adjust_page.h"
#include "app/check_page.h"
#include "app/file_buttons.h"
#include "app/playback_panel.h"
#include "app/qt_messages.h"
#include "app/reading_page.h"
#include "app/repair_page.h"
#include "app/subtitle_grid.h"
#include "app/subtitle_model.h"
#include "app/tool_pager.h"
#include "app/window_font.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QSlider>
#include <QStatusBar>
#include <QVBoxLayout>

namespace tessel::app {

MainWindow::MainWindow(SubtitleTable& table, char decimalSeparator, QWidget* parent)
    : QMainWindow(parent)
    , table_(table)
{
    setObjectName(QStringLiteral("FormEditor"));
    setWindowTitle(ApplicationTitle);
    setFont(WindowFont());
    model_ = new SubtitleModel(table_, this);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildTopPanel(decimalSeparator));
    grid_ = new SubtitleGrid(*model_, central);
    layout->addWidget(grid_, 1);
    setCentralWidget(central);
    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBarMain"));
    setStatusBar(status);
    setMinimumSize(600, 400);
    resize(600, 449);
    pager_->setCurrentIndex(0); // "Adjust" first
}

QWidget* MainWindow::buildTopPanel(char decimalSeparator)
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelMain"));
    panel->setFixedHeight(235);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(4, 4, 4, 2);
    row->setSpacing(6);
    // The controls keep to the top right; the free space grows on the left.
    row->addStretch(1);
    row->addWidget(buildToolColumn(panel, decimalSeparator));
    fileButtons_ = new FileButtons(panel);
    row->addWidget(fileButtons_);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(row, 1);
    column->addWidget(playback_->createMovieTracker(panel));
    return panel;
}

QWidget* MainWindow::buildToolColumn(QWidget* parent, char decimalSeparator)
{
    auto* tools = new QWidget(parent);
    tools->setFixedWidth(470);
    pager_ = new ToolPager(tools);
    adjustPage_ = new AdjustPage(decimalSeparator, pager_);
    repairPage_ = new RepairPage(pager_);
    checkPage_ = new CheckPage(pager_);
    pager_->addPage(adjustPage_, QStringLiteral("Adjust"));
    pager_->addPage(repairPage_, QStringLiteral("Repair"));
    pager_->addPage(checkPage_, QStringLiteral("Check"));
    readingPage_ = new ReadingPage(decimalSeparator, pager_);
    pager_->addPage(readingPage_, QStringLiteral("Reading"));
    playback_ = new PlaybackPanel(tools);
    auto* column = new QVBoxLayout(tools);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(pager_, 1);
    column->addWidget(playback_);
    return tools;
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    emit shown();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (closeGuard_ && !closeGuard_()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed();
}

} // namespace tessel::app
