#pragma once
#include "preview/movie_metrics.h"
#include "preview/playback_controls.h"
#include "preview/playback_sync.h"
#include "preview/video_player.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QFrame;
class QLabel;
class QMenu;

namespace tessel {

class MessageSink;

// The movie window: the picture, the time code and the current subtitle, an
// always-on-top tool window beside the main window that cannot be closed.
// It does not take ownership of, or a parent in, the main window. Every
// modal dialog of the program comes up above it.
class TFormMovie : public QWidget, public MovieTextView {
    Q_OBJECT
public:
    // Placed beside the main window (see BesideMainWindow).
    explicit TFormMovie(QWidget* mainWindow);

    // What an opened movie fills and enables in the main window, where
    // failures are told, and who hears each timer event (position and length
    // in frames).
    void attach(const PlaybackControls& controls, MessageSink& messages,
        std::function<void(int position, int length)> processTimer);

    VideoPlayer& videoPlayer() { return *VideoPlayer_; }
    QLabel& timeCode() { return *TimeCode; }
    QLabel& subtitleMemo() { return *SubtitleMemo; }
    QMenu& popupZoom() { return *PopupZoom; }

    void setTimeCode(const QString& text) override;
    void setSubtitleText(const QString& text) override;

    // With the original of a translation: the text under the picture shows the
    // translation (as without one), the original, or both, the original above
    // in a smaller, dimmer line.
    enum class ShownText { Translation, Original, Both };
    void setShownText(ShownText shown);
    ShownText shownText() const { return shownText_; }
    void setOriginalText(const QString& text);
    QLabel& originalMemo() { return *OriginalMemo; }

    // Fits the window to a percentage of the movie's native size.
    void ZoomMovie(int percentage);
    // Takes the picture away until the next movie has opened.
    void HidePicture();

    void VideoPlayerOpenComplete();
    void VideoPlayerOpenFailed(const QString& reason);
    void VideoPlayerTimer();
    void VideoPlayerMouseDown(Qt::MouseButton button, const QPoint& position);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPanel();
    void buildZoomMenu();
    void placeBesideMainWindow();
    void FormResize();
    void setLabelFontSize(int pixels);
    // Three lines of the memo fit three times this height.
    void setLabelLineHeight(int lineHeight);
    void movieUnusable(const QString& reason);
    void fillMovieInfo(const MovieInfo& info);
    void showTexts();
    void fitOriginalMemo();

    QPointer<QWidget> mainWindow_;
    bool shownBefore_ = false;
    QFrame* PnlMovie = nullptr;
    QWidget* pictureArea_ = nullptr;
    VideoPlayer* VideoPlayer_ = nullptr;
    QLabel* TimeCode = nullptr;
    QLabel* SubtitleMemo = nullptr;
    QLabel* OriginalMemo = nullptr; // hidden but with an original shown beside
    ShownText shownText_ = ShownText::Translation;
    QString translationText_, originalText_;
    QMenu* PopupZoom = nullptr;
    std::optional<PlaybackControls> controls_;
    MessageSink* messages_ = nullptr;
    std::function<void(int, int)> processTimer_;
};

} // namespace tessel
