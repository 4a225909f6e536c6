#pragma once
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// The "Adjust" page: framerate conversion, shifting and expanding the timing.
// Only the controls live here; the timing tools are connected to them by the
// tool wiring.
namespace tessel::app {

class AdjustPage : public QWidget {
    Q_OBJECT
public:
    AdjustPage(char decimalSeparator, QWidget* parent = nullptr);

    QComboBox* frameRateFrom() const { return frameRateFrom_; }
    QComboBox* frameRateTo() const { return frameRateTo_; }
    QPushButton* frameRateGo() const { return frameRateGo_; }
    QLineEdit* addFramesCount() const { return addFramesCount_; }
    QPushButton* addFrames() const { return addFrames_; }
    QLineEdit* changeToStartFrame() const { return changeToStartFrame_; }
    QPushButton* changeStart() const { return changeStart_; }
    QCheckBox* adjustStart() const { return adjustStart_; }
    QLineEdit* expandDelayFrames() const { return expandDelayFrames_; }
    QPushButton* expandDelay() const { return expandDelay_; }

private:
    QWidget* buildFrameRateConvert(char decimalSeparator);
    QWidget* buildAdjustTime();
    QWidget* buildExpandDelay();

    QComboBox* frameRateFrom_ = nullptr;
    QComboBox* frameRateTo_ = nullptr;
    QPushButton* frameRateGo_ = nullptr;
    QLineEdit* addFramesCount_ = nullptr;
    QPushButton* addFrames_ = nullptr;
    QLineEdit* changeToStartFrame_ = nullptr;
    QPushButton* changeStart_ = nullptr;
    QCheckBox* adjustStart_ = nullptr;
    QLineEdit* expandDelayFrames_ = nullptr;
    QPushButton* expandDelay_ = nullptr;
};

} // namespace tessel::app
