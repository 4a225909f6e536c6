#pragma once
#include "audio/waveform_source.h"
#include "core/subtitle_table.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QProgressBar;
class QScrollBar;

// The "Waveform" window: the open movie's sound with the subtitle rows over
// it (see WaveformView), a choice of sound track when there are several, a
// progress bar while the sound is read, and what went wrong reading it. A
// window of its own; closing it only hides it.
namespace tessel {

class PeakCache;
class WaveformView;

class WaveformWindow : public QWidget {
    Q_OBJECT
public:
    // `cache` may be nullptr.
    WaveformWindow(const SubtitleTable& table, const PeakCache* cache);
    ~WaveformWindow() override;

    WaveformView& view() { return *view_; }
    WaveformSource& source() { return source_; }
    QComboBox& trackChoice() { return *tracks_; }
    QProgressBar& progress() { return *progress_; }
    QLabel& message() { return *message_; }
    QScrollBar& scrollBar() { return *scroll_; }

    void openMovie(const QString& fileName, double framesPerSecond, int64_t lengthMs);
    void closeMovie();
    // Another line of controls under the sound track's.
    void addBar(QWidget* bar);

private:
    void buildLayout();
    void tracksFound();
    void peaksAdded();
    void finished();
    void trackPicked(int index);
    void syncScrollBar();

    WaveformSource source_;
    WaveformView* view_ = nullptr;
    QComboBox* tracks_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* message_ = nullptr;
    QScrollBar* scroll_ = nullptr;
};

} // namespace tessel
