#pragma once
#include <QWidget>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;

// The Waveform window's line about the film's shot changes: how many there
// are, the sensitivity they are found at, whether edges snap to them, the
// progress of a search with a button to stop it (or to search again), and
// what went wrong. Controls only; the wiring gives them meaning.
namespace tessel {

class ShotBar : public QWidget {
    Q_OBJECT
public:
    explicit ShotBar(QWidget* parent = nullptr);

    QLabel& count() { return *count_; }
    QSpinBox& sensitivity() { return *sensitivity_; }
    QCheckBox& snap() { return *snap_; }
    QProgressBar& progress() { return *progress_; }
    QPushButton& stopOrFind() { return *button_; }
    QLabel& message() { return *message_; }

    // While searching: the progress and "Stop"; after a search that did
    // not reach the end: "Find" again; after a whole one: neither.
    void showSearching(double progress);
    void showDone(bool complete, const QString& message);
    void showCount(int cuts);

private:
    QLabel* count_ = nullptr;
    QSpinBox* sensitivity_ = nullptr;
    QCheckBox* snap_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* button_ = nullptr;
    QLabel* message_ = nullptr;
};

} // namespace tessel
