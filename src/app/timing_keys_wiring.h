#pragma once
#include "app/tool_wiring.h"

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

namespace tessel {
class VideoPlayer;
}

// Timing a film from the keyboard: with a movie open and the grid focused (no
// cell being edited), or in the Waveform window, commands of the registry set
// the current row's start and end to the frame on screen, nudge them by a
// frame, step and jump the movie, and play. Their default keys are function
// keys, so that nothing clashes with the grid's own keys or with typing into
// a cell. Each change of the table is one undo step and shows at once in the
// grid and under the picture.
namespace tessel::app {

class PlaybackWiring;

class TimingKeys : public QObject {
    Q_OBJECT
public:
    TimingKeys(const ToolContext& context, PlaybackWiring& playback);
    ~TimingKeys() override;

    // Every command's keys (the registry's) while `window` is the active window.
    void addWindow(QWidget* window);

    // "F5: Play or pause" and the rest, one key a line, as the playback
    // buttons' tooltips show them: the keys in effect.
    QString keyList() const;

    void setStart();
    void setEnd();
    void setEndAndGoOn();
    void nudgeStart(int frames);
    void nudgeEnd(int frames);
    void step(int frames);
    void jump(int seconds);
    void playOrPause();
    void playCurrentRow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void registerCommands();
    void showKeysInTooltips();
    VideoPlayer& player() const;
    bool movieOpen() const;
    int currentRow() const;
    int frameOnScreen() const;
    // Runs `change` on the current row as one undo step named `name`, then
    // shows its effect under the picture at once.
    void change(const char* name, const std::function<void(int row)>& change);
    void refreshMovieText();

    ToolContext context_;
    PlaybackWiring& playback_;
};

} // namespace tessel::app
