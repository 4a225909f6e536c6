#pragma once
#include "core/user_prompts.h"

#include <QDialog>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

// The framerate prompt: one dialog for the whole run, so the text last chosen
// is offered again. It ends only through OK with a usable framerate; there is
// no Cancel and no close box.
namespace tessel::app {

using VideoFileChooser = std::function<std::optional<QString>()>;

class FrameratePromptDialog : public QDialog, public FramerateSource {
    Q_OBJECT
public:
    FrameratePromptDialog(MessageSink& messages, char decimalSeparator, const QWidget* mainWindow);

    double ChooseFramerate(const QString& caption, const QString& prompt) override;

    // Button1Click: closes the dialog when the text is a framerate above 0.
    void confirm();
    // BtnAutodetectClick: the framerate of an AVI file's first stream.
    void autodetect();

    void setVideoChooser(VideoFileChooser chooser) { videoChooser_ = std::move(chooser); }
    void setMessages(MessageSink& messages) { messages_ = &messages; }
    QComboBox* dropDown() const { return dropDown_; }

public slots:
    void reject() override; // Escape and the window manager's close do nothing

private:
    std::optional<double> framerate() const;
    VideoFileChooser platformVideoChooser();

    MessageSink* messages_;
    char decimalSeparator_;
    const QWidget* mainWindow_;
    VideoFileChooser videoChooser_;
    QLabel* label_ = nullptr;
    QComboBox* dropDown_ = nullptr;
};

inline const QString InvalidFramerateMessage = QStringLiteral("Invalid framerate!");
inline const QString FpsDetectionFailedMessage = QStringLiteral("FPS detection failed!");

} // namespace tessel::app
