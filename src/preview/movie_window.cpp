#include "preview/movie_window.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/user_prompts.h"
#include "preview/window_follow.h"
#include "preview/window_frame.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

namespace tessel {
namespace {

constexpr int InitialFontSize = 11;
constexpr int LowestMemoLine = 13; // the memo never gets lower than three of these

QLabel* whiteLabel(const QString& objectName, const QString& text, Qt::Alignment alignment, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText); // "&" is shown as itself
    label->setAlignment(alignment);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Window, Qt::black);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    return label;
}

} // namespace

TFormMovie::TFormMovie(QWidget* mainWindow)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , mainWindow_(mainWindow)
{
    setObjectName(QStringLiteral("FormMovie"));
    setWindowTitle(QStringLiteral("Movie"));
    setAttribute(Qt::WA_QuitOnClose, false); // closing the main window alone ends the program
    if (mainWindow) setFont(mainWindow->font()); // the face every window of the program uses
    buildPanel();
    buildZoomMenu();
    // Where the main window really is, and how large both are with their
    // frames, shows only once the window manager has placed and framed them;
    // their outer sizes are fitted on the same news, so placing waits for that.
    QPointer<TFormMovie> self(this);
    const auto placeAgain = [self] {
        QMetaObject::invokeMethod(
            self, [self] { self->placeBesideMainWindow(); }, Qt::QueuedConnection);
    };
    WhenFramed(*this, "movie window placement", placeAgain);
    if (mainWindow_) WhenFramed(*mainWindow_, "movie window placement", placeAgain);
    SetOuterSizes(*this, QSize(240, 220), QSize(150, 150));
    placeBesideMainWindow();
    // Every modal dialog of the program comes up above this always-on-top window.
    qApp->installEventFilter(this);
}

// Beside the main window, inside the work area.
void TFormMovie::placeBesideMainWindow()
{
    if (!mainWindow_) return;
    const QScreen* screen = mainWindow_->screen();
    if (!screen) return;
    MoveFrameTo(
        *this, BesideMainWindow(OuterGeometry(*mainWindow_), OuterGeometry(*this).size(), screen->availableGeometry()));
}

// In the stay-on-top layer too, and shown after this window: above it. Set
// on the platform window, before it is mapped.
bool TFormMovie::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched != this && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        QWindow* window = widget->isWindow() && widget->isModal() ? widget->windowHandle() : nullptr;
        if (window && !(window->flags() & Qt::WindowStaysOnTopHint))
            window->setFlags(window->flags() | Qt::WindowStaysOnTopHint);
    }
    return QWidget::eventFilter(watched, event);
}

void TFormMovie::showEvent(QShowEvent* event)
{
    if (!shownBefore_) placeBesideMainWindow(); // the main window may have moved since
    shownBefore_ = true;
    QWidget::showEvent(event);
}

void TFormMovie::buildPanel()
{
    PnlMovie = new QFrame(this);
    PnlMovie->setObjectName(QStringLiteral("PnlMovie"));
    PnlMovie->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    QPalette black = PnlMovie->palette();
    black.setColor(QPalette::Window, Qt::black);
    PnlMovie->setPalette(black);
    PnlMovie->setAutoFillBackground(true);
    (new QVBoxLayout(this))->setContentsMargins(0, 0, 0, 0);
    layout()->addWidget(PnlMovie);

    pictureArea_ = new QWidget(PnlMovie);
    VideoPlayer_ = new VideoPlayer(pictureArea_);
    VideoPlayer_->setObjectName(QStringLiteral("VideoPlayer"));
    VideoPlayer_->hide();
    auto* pictureLayout = new QVBoxLayout(pictureArea_);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    pictureLayout->addWidget(VideoPlayer_);

    TimeCode
        = whiteLabel(QStringLiteral("TimeCode"), QStringLiteral("0/0"), Qt::AlignRight | Qt::AlignVCenter, PnlMovie);
    TimeCode->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    QFont bold = TimeCode->font();
    bold.setBold(true);
    TimeCode->setFont(bold);
    SubtitleMemo = whiteLabel(QStringLiteral("SubtitleMemo"), QString(), Qt::AlignHCenter | Qt::AlignTop, PnlMovie);
    SubtitleMemo->setFixedHeight(3 * LowestMemoLine);
    OriginalMemo = whiteLabel(QStringLiteral("OriginalMemo"), QString(), Qt::AlignHCenter | Qt::AlignTop, PnlMovie);
    QPalette dim = OriginalMemo->palette();
    dim.setColor(QPalette::WindowText, QColor(160, 160, 160));
    OriginalMemo->setPalette(dim);
    OriginalMemo->hide();
    setLabelFontSize(InitialFontSize);

    auto* panelLayout = new QVBoxLayout(PnlMovie);
    panelLayout->setContentsMargins(PnlMovie->contentsMargins());
    panelLayout->setSpacing(0);
    panelLayout->addWidget(pictureArea_, 1);
    panelLayout->addWidget(TimeCode);
    panelLayout->addWidget(OriginalMemo);
    panelLayout->addWidget(SubtitleMemo);

    connect(VideoPlayer_, &VideoPlayer::openComplete, this, &TFormMovie::VideoPlayerOpenComplete);
    connect(VideoPlayer_, &VideoPlayer::openFailed, this, &TFormMovie::VideoPlayerOpenFailed);
    connect(VideoPlayer_, &VideoPlayer::timer, this, &TFormMovie::VideoPlayerTimer);
    connect(VideoPlayer_, &VideoPlayer::mouseDown, this, &TFormMovie::VideoPlayerMouseDown);
}

void TFormMovie::buildZoomMenu()
{
    PopupZoom = new QMenu(this);
    PopupZoom->setObjectName(QStringLiteral("PopupZoom"));
    const std::pair<const char*, int> items[]
        = { { "N251", 25 }, { "N501", 50 }, { "N751", 75 }, { "N1001", 100 }, { "N1501", 150 }, { "N2001", 200 } };
    for (const auto& [name, percentage] : items) {
        QAction* item = PopupZoom->addAction(QStringLiteral("%1%").arg(percentage));
        item->setObjectName(QLatin1String(name));
        connect(item, &QAction::triggered, this, [this, p = percentage] { ZoomMovie(p); });
    }
    PopupZoom->addSeparator();
    PopupZoom->addAction(QStringLiteral("Cancel"))->setObjectName(QStringLiteral("Cancel1"));
}

void TFormMovie::attach(
    const PlaybackControls& controls, MessageSink& messages, std::function<void(int, int)> processTimer)
{
    RequireAllControls(controls);
    controls_ = controls;
    messages_ = &messages;
    processTimer_ = std::move(processTimer);
}

void TFormMovie::setTimeCode(const QString& text) { TimeCode->setText(text); }

void TFormMovie::setSubtitleText(const QString& text)
{
    translationText_ = text;
    showTexts();
}

void TFormMovie::setShownText(ShownText shown)
{
    shownText_ = shown;
    OriginalMemo->setVisible(shown == ShownText::Both);
    showTexts();
    fitOriginalMemo();
}

void TFormMovie::setOriginalText(const QString& text)
{
    originalText_ = text;
    showTexts();
}

void TFormMovie::showTexts()
{
    SubtitleMemo->setText(shownText_ == ShownText::Original ? originalText_ : translationText_);
    OriginalMemo->setText(shownText_ == ShownText::Both ? originalText_ : QString());
}

// Four fifths of the memo's font, three lines high.
void TFormMovie::fitOriginalMemo()
{
    QFont font = SubtitleMemo->font();
    font.setPixelSize(std::max(QFontInfo(font).pixelSize() * 4 / 5, 8));
    OriginalMemo->setFont(font);
    OriginalMemo->setFixedHeight(3 * QFontMetrics(font).height());
}

void TFormMovie::setLabelFontSize(int pixels)
{
    for (QLabel* label : { TimeCode, SubtitleMemo }) {
        QFont font = label->font();
        font.setPixelSize(pixels);
        label->setFont(font);
    }
}

void TFormMovie::setLabelLineHeight(int lineHeight)
{
    for (QLabel* label : { TimeCode, SubtitleMemo })
        label->setFont(FontForLineHeight(label->font(), lineHeight));
}

void TFormMovie::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

// The labels' font follows the room left for the picture.
void TFormMovie::FormResize()
{
    const int size = CalculateFontSize(height() - SubtitleMemo->height() - TimeCode->sizeHint().height());
    setLabelLineHeight(size);
    SubtitleMemo->setFixedHeight(3 * std::max(size, LowestMemoLine));
    fitOriginalMemo();
}

void TFormMovie::ZoomMovie(int percentage)
{
    const QSize picture
        = ZoomedPictureSize(VideoPlayer_->imageSourceWidth(), VideoPlayer_->imageSourceHeight(), percentage);
    const int size = CalculateFontSize(picture.height());
    SubtitleMemo->setFixedHeight(3 * size);
    const int panelBorder = PnlMovie->width() - PnlMovie->contentsRect().width();
    const int original = OriginalMemo->isHidden() ? 0 : OriginalMemo->height();
    resize(picture.width() + panelBorder, picture.height() + 4 * size + original);
}

void TFormMovie::closeEvent(QCloseEvent* event)
{
    event->ignore(); // stays for the whole run
}

void TFormMovie::contextMenuEvent(QContextMenuEvent* event) { PopupZoom->popup(event->globalPos()); }

void TFormMovie::VideoPlayerMouseDown(Qt::MouseButton button, const QPoint&)
{
    if (button == Qt::RightButton) PopupZoom->popup(QCursor::pos());
}

void TFormMovie::HidePicture() { VideoPlayer_->hide(); }

void TFormMovie::VideoPlayerTimer()
{
    VideoPlayer_->setDisplayMode(VideoPlayer::FrameMode);
    const int length = RoundTiesEvenToInt32(VideoPlayer_->duration());
    const int position = RoundTiesEvenToInt32(VideoPlayer_->currentPosition());
    if (processTimer_) processTimer_(position, length);
}

void TFormMovie::VideoPlayerOpenComplete()
{
    VideoPlayer_->show();
    VideoPlayer_->setDisplayMode(VideoPlayer::FrameMode);
    const double frames = VideoPlayer_->duration();
    VideoPlayer_->setDisplayMode(VideoPlayer::TimeMode);
    const double seconds = VideoPlayer_->duration();
    VideoPlayer_->setDisplayMode(VideoPlayer::FrameMode);
    std::optional<MovieInfo> info;
    try {
        info = ComputeMovieInfo(frames, seconds, VideoPlayer_->imageSourceWidth(), VideoPlayer_->imageSourceHeight(),
            QLocale::system().decimalPoint());
    } catch (const MathError&) {
        movieUnusable(QStringLiteral("its length is too long to be shown"));
        return;
    }
    if (!info) {
        movieUnusable(QStringLiteral("its length reads as zero"));
        return;
    }
    fillMovieInfo(*info);
}

void TFormMovie::fillMovieInfo(const MovieInfo& info)
{
    if (!controls_) return;
    controls_->LabelMovieInfoLength->setText(info.length);
    controls_->LabelMovieInfoFrames->setText(info.framesText);
    controls_->LabelMovieInfoFPS->setText(info.framesPerSecond);
    controls_->LabelMovieInfoSize->setText(info.size);
    {
        const QSignalBlocker quiet(controls_->MovieTracker); // the maximum is no seek
        controls_->MovieTracker->setMaximum(info.frames);
    }
    EnableMovieControls(*controls_);
}

void TFormMovie::movieUnusable(const QString& reason)
{
    VideoPlayer_->close();
    VideoPlayerOpenFailed(reason);
}

// Whatever was open before is gone too: nothing stays enabled that needs a movie.
void TFormMovie::VideoPlayerOpenFailed(const QString& reason)
{
    HidePicture();
    setTimeCode(QStringLiteral("0/0"));
    if (controls_) ResetMovieControls(*controls_);
    if (messages_)
        messages_->showError(QStringLiteral("Cannot play the movie \"%1\": %2.").arg(VideoPlayer_->fileName(), reason));
}

} // namespace tessel
