#pragma once
#include "app/tool_wiring.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

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

    // Where a start or an end set or nudged here goes instead: a shot change
    // nearby (`from`: the cell's value before a nudge). None: where it is put.
    using Snap = std::function<int64_t(int64_t frame, std::optional<int64_t> from)>;
    void setSnap(Snap snap) { snap_ = std::move(snap); }

    // `snap` false: the frame on screen whatever shot change is near.
    void setStart(bool snap = true);
    void setEnd(bool snap = true);
    void setEndAndGoOn(bool snap = true);
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
    int snapped(int frame, bool snap) const;
    void snapNudged(int column, int row, std::optional<int32_t> before);

    ToolContext context_;
    PlaybackWiring& playback_;
    Snap snap_;
};

} // namespace tessel::app
