#pragma once
#include "core/subtitle_table.h"

#include <QMainWindow>
#include <functional>

// The main window's layout: the top panel (tool pager, playback controls, file
// buttons, movie track bar), the subtitle grid and the status bar. Commands
// are connected from outside; the window only asks its close guard before it
// closes and says when it is shown and when it has closed.
namespace tessel::app {

class AdjustPage;
class CheckPage;
class FileButtons;
class PlaybackPanel;
class ReadingPage;
class RepairPage;
class SubtitleGrid;
class SubtitleModel;
class ToolPager;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(SubtitleTable& table, char decimalSeparator, QWidget* parent = nullptr);

    SubtitleTable& table() { return table_; }
    SubtitleGrid& grid() const { return *grid_; }
    ToolPager& pager() const { return *pager_; }
    AdjustPage& adjustPage() const { return *adjustPage_; }
    RepairPage& repairPage() const { return *repairPage_; }
    CheckPage& checkPage() const { return *checkPage_; }
    ReadingPage& readingPage() const { return *readingPage_; }
    PlaybackPanel& playback() const { return *playback_; }
    FileButtons& fileButtons() const { return *fileButtons_; }

    // Asked before the window closes; false keeps it open.
    void setCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }

signals:
    void shown();
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildTopPanel(char decimalSeparator);
    QWidget* buildToolColumn(QWidget* parent, char decimalSeparator);

    SubtitleTable& table_;
    SubtitleModel* model_ = nullptr;
    SubtitleGrid* grid_ = nullptr;
    ToolPager* pager_ = nullptr;
    AdjustPage* adjustPage_ = nullptr;
    RepairPage* repairPage_ = nullptr;
    CheckPage* checkPage_ = nullptr;
    ReadingPage* readingPage_ = nullptr;
    PlaybackPanel* playback_ = nullptr;
    FileButtons* fileButtons_ = nullptr;
    std::function<bool()> closeGuard_;
};

} // namespace tessel::app
